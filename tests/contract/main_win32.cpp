// The contract cases against the Win32 adapters (run under Wine).
//   contract_win32.exe [--windows-bits=32|64]
// The runner says which Windows it set up; without it the program asks
// GetNativeSystemInfo, which the cases do not check.
#include <windows.h>
#include <sddl.h>

#include <cstdlib>
#include <cstring>
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

int WindowsBits(int argc, char** argv) {
    const char kOption[] = "--windows-bits=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kOption, sizeof kOption - 1) == 0) {
            return std::atoi(argv[i] + sizeof kOption - 1);
        }
    }
    SYSTEM_INFO info = {};
    ::GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? 64 : 32;
}

// Wine's spooler runs inside this process and so has its word size; real
// 64-bit Windows would want "Windows x64" from a 32-bit program too.
#ifdef _WIN64
constexpr const char* kNativeEnvironment = "Windows x64";
#else
constexpr const char* kNativeEnvironment = "Windows NT x86";
#endif

// The DACL of `path` in its text form.
std::string ReadAccess(const std::string& path) {
    DWORD size = 0;
    ::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::string buffer(size ? size : 1, '\0');
    if (!::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, &buffer[0], size, &size)) {
        return std::string();
    }
    LPSTR text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorA(
            &buffer[0], SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        return std::string();
    }
    std::string access = text;
    ::LocalFree(text);
    return access;
}

}  // namespace

int main(int argc, char** argv) {
    win32::Win32Machine machine;
    contract::ContractTarget target{machine.spooler, machine.registry, machine.services,
                                    machine.files,   machine.profile,  machine.system,
                                    machine.threads};
    target.isSimulator = false;
    target.nativeEnvironment = kNativeEnvironment;
    target.windowsBits = WindowsBits(argc, argv);
    target.processBits = static_cast<int>(sizeof(void*) * 8);
    target.writeFile = WriteRealFile;
    target.setLastError = [](std::uint32_t error) { ::SetLastError(error); };
    target.lastError = [] { return static_cast<std::uint32_t>(::GetLastError()); };
    target.readAccess = ReadAccess;
    target.isWine = ::GetProcAddress(::GetModuleHandleA("ntdll"), "wine_get_version") != nullptr;
    return contract::RunAll(target);
}
