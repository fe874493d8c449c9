// The contract cases against the Win32 adapters (run under Wine).
#include <windows.h>

#include <string>

#include "contract.h"
#include "platform/win32/win32_platform.h"

namespace {

// Creates each missing folder of `path`'s parent, then the file.
bool WriteRealFile(const std::string& path, const std::string& bytes) {
    for (std::size_t slash = path.find('\\', 3); slash != std::string::npos;
         slash = path.find('\\', slash + 1)) {
        ::CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    }
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

#ifdef _WIN64
constexpr const char* kNativeEnvironment = "Windows x64";
#else
constexpr const char* kNativeEnvironment = "Windows NT x86";
#endif

}  // namespace

int main() {
    win32::Win32Machine machine;
    contract::ContractTarget target{machine.spooler, machine.registry, machine.services,
                                    machine.files,   machine.profile,  machine.system,
                                    machine.threads,
                                    false,
                                    kNativeEnvironment,
                                    WriteRealFile,
                                    [](std::uint32_t error) { ::SetLastError(error); }};
    return contract::RunAll(target);
}
