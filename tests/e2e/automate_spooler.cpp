// automate.exe: the spooler's and the registry's view.
#include "automate.h"

namespace automate {

// --- The spooler's and the registry's view --------------------------------

std::string Field(const char* text) {
    return text != nullptr ? text : "(null)";
}

// The spooler's Enum* calls: asked once for the size, then for the records.
template <typename Enumerate>
std::vector<BYTE> EnumRecords(const char* what, DWORD& count, Enumerate enumerate) {
    DWORD needed = 0;
    count = 0;
    enumerate(nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!enumerate(buffer.data(), needed, &needed, &count))
        Fail(std::string(what) + " failed, error " + std::to_string(::GetLastError()));
    return buffer;
}

void Automation::FileExists(const std::string& args) {
    const std::string path = Trim(args);
    Emit("file " + path,
         ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ? "yes" : "no");
}

void Automation::Printers() {
    DWORD count = 0;
    const std::vector<BYTE> buffer =
        EnumRecords("EnumPrintersA", count, [](BYTE* data, DWORD size, DWORD* needed, DWORD* got) {
            return ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, got);
        });
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        Emit("printer", Field(printers[i].pPrinterName) + " | " + Field(printers[i].pPortName) +
                            " | " + Field(printers[i].pDriverName));
    Emit("printers", std::to_string(count));
}

// The spooler's ports, in its order, with their descriptions.
void Automation::Ports() {
    DWORD count = 0;
    const std::vector<BYTE> buffer =
        EnumRecords("EnumPortsA", count, [](BYTE* data, DWORD size, DWORD* needed, DWORD* got) {
            return ::EnumPortsA(nullptr, 2, data, size, needed, got);
        });
    const auto* ports = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        Emit("port", Field(ports[i].pPortName) + " | " + Field(ports[i].pDescription));
    Emit("ports", std::to_string(count));
}

void Automation::DefaultPrinter() {
    char name[512] = {};
    DWORD size = sizeof(name);
    if (::GetDefaultPrinterA(name, &size))
        Emit("default printer", name);
    else
        Emit("default printer", "none (error " + std::to_string(::GetLastError()) + ")");
}

void Automation::Monitors() {
    DWORD count = 0;
    const std::vector<BYTE> buffer =
        EnumRecords("EnumMonitorsA", count, [](BYTE* data, DWORD size, DWORD* needed, DWORD* got) {
            return ::EnumMonitorsA(nullptr, 2, data, size, needed, got);
        });
    const auto* monitors = reinterpret_cast<const MONITOR_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        Emit("monitor", Field(monitors[i].pName) + " | " + Field(monitors[i].pEnvironment) + " | " +
                            Field(monitors[i].pDLLName));
    Emit("monitors", std::to_string(count));
}

// drivers <environment>: the drivers registered for it, with their version.
void Automation::Drivers(const std::string& args) {
    std::string environment = Trim(args);
    DWORD count = 0;
    const std::vector<BYTE> buffer = EnumRecords(
        "EnumPrinterDriversA", count, [&](BYTE* data, DWORD size, DWORD* needed, DWORD* got) {
            return ::EnumPrinterDriversA(nullptr, &environment[0], 2, data, size, needed, got);
        });
    const auto* drivers = reinterpret_cast<const DRIVER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        Emit("driver", Field(drivers[i].pName) + " | " + Field(drivers[i].pEnvironment) + " | " +
                           std::to_string(drivers[i].cVersion));
    Emit("drivers " + environment, std::to_string(count));
}

// driver-add <name>: a driver record whose files are placeholders, in the
// environment of this program's spooler (under Wine the spooler runs inside
// the calling program: "Windows NT x86" for a 32-bit one). The spooler keeps
// the names and skips the copies that fail.
void Automation::DriverAdd(const std::string& args) {
    std::string name = Trim(args);
    DRIVER_INFO_3A driver = {};
    driver.cVersion = 3;
    driver.pName = &name[0];
    driver.pDriverPath = const_cast<char*>("e2edrv.dll");
    driver.pDataFile = const_cast<char*>("e2edrv.gpd");
    driver.pConfigFile = const_cast<char*>("e2eui.dll");
    driver.pDefaultDataType = const_cast<char*>("RAW");
    if (!::AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES))
        Fail("AddPrinterDriverExA failed, error " + std::to_string(::GetLastError()));
    Emit("driver added", name);
}

// driver-delete <environment> | <name>: gone afterwards, whether it was
// there or not. Wine answers an unknown name with 1801, Windows with 1797.
void Automation::DriverDelete(const std::string& args) {
    std::vector<std::string> parts = Fields(args, 2);
    if (!::DeletePrinterDriverA(nullptr, &parts[0][0], &parts[1][0]) &&
        ::GetLastError() != ERROR_UNKNOWN_PRINTER_DRIVER &&
        ::GetLastError() != ERROR_INVALID_PRINTER_NAME)
        Fail("DeletePrinterDriverA failed, error " + std::to_string(::GetLastError()));
    Emit("driver deleted", parts[1] + " | " + parts[0]);
}

// monitor-delete <environment> | <name>: gone afterwards, whether it was
// there or not.
void Automation::MonitorDelete(const std::string& args) {
    std::vector<std::string> parts = Fields(args, 2);
    if (!::DeleteMonitorA(nullptr, &parts[0][0], &parts[1][0]) &&
        ::GetLastError() != ERROR_UNKNOWN_PRINT_MONITOR)
        Fail("DeleteMonitorA failed, error " + std::to_string(::GetLastError()));
    Emit("monitor deleted", parts[1]);
}

// printer-add <name> | <port> | <driver>
void Automation::PrinterAdd(const std::string& args) {
    std::vector<std::string> parts = Fields(args, 3);
    PRINTER_INFO_2A info = {};
    info.pPrinterName = &parts[0][0];
    info.pPortName = &parts[1][0];
    info.pDriverName = &parts[2][0];
    info.pPrintProcessor = const_cast<char*>("WinPrint");
    info.pDatatype = const_cast<char*>("RAW");
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    const HANDLE printer = ::AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (printer == nullptr) Fail("AddPrinterA failed, error " + std::to_string(::GetLastError()));
    ::ClosePrinter(printer);
    Emit("printer added", parts[0]);
}

// printer-delete <name>: gone afterwards, whether it was there or not.
void Automation::PrinterDelete(const std::string& args) {
    std::string name = Trim(args);
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!::OpenPrinterA(&name[0], &printer, &defaults)) {
        Emit("printer deleted", name + " (was not there)");
        return;
    }
    const BOOL deleted = ::DeletePrinter(printer);
    const DWORD error = ::GetLastError();
    ::ClosePrinter(printer);
    if (!deleted) Fail("DeletePrinter " + name + " failed, error " + std::to_string(error));
    Emit("printer deleted", name);
}

// registry <key> | <value>: one line per string of a REG_MULTI_SZ, the
// number of a REG_DWORD, the text of a REG_SZ, "(missing)" when absent.
void Automation::RegistryGet(const std::string& args) {
    const std::vector<std::string> parts = Fields(args, 2);
    std::string subKey;
    const HKEY root = RootOf(parts[0], subKey);
    const std::string key = "registry " + parts[1];
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &handle) !=
        ERROR_SUCCESS) {
        Emit(key, "(missing)");
        return;
    }
    DWORD type = 0;
    DWORD size = 0;
    LONG result = ::RegQueryValueExA(handle, parts[1].c_str(), nullptr, &type, nullptr, &size);
    std::vector<char> data(size + 2, '\0');
    if (result == ERROR_SUCCESS)
        result = ::RegQueryValueExA(handle, parts[1].c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &size);
    ::RegCloseKey(handle);
    if (result != ERROR_SUCCESS) {
        Emit(key, "(missing)");
        return;
    }
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof(number));
        Emit(key, std::to_string(number));
    } else if (type == REG_MULTI_SZ) {
        int strings = 0;
        for (const char* text = data.data(); text < data.data() + size && *text != '\0';
             text += std::strlen(text) + 1) {
            Emit(key, text);
            ++strings;
        }
        Emit(key + " strings", std::to_string(strings));
    } else {
        Emit(key, data.data());
    }
}

// registry-set <key> | <value> | <text>: a REG_SZ, the key made if need be.
void Automation::RegistrySet(const std::string& args) {
    const std::vector<std::string> parts = Fields(args, 3);
    std::string subKey;
    const HKEY root = RootOf(parts[0], subKey);
    HKEY handle = nullptr;
    LONG result = ::RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0,
                                    KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &handle, nullptr);
    if (result == ERROR_SUCCESS) {
        result = ::RegSetValueExA(handle, parts[1].c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(parts[2].c_str()),
                                  static_cast<DWORD>(parts[2].size() + 1));
        ::RegCloseKey(handle);
    }
    if (result != ERROR_SUCCESS)
        Fail("cannot set " + parts[0] + " " + parts[1] + ", error " + std::to_string(result));
    Emit("registry set", parts[0] + " | " + parts[1]);
}

// registry-key <key>: the key, made if need be.
void Automation::RegistryKey(const std::string& args) {
    const std::string path = Trim(args);
    std::string subKey;
    const HKEY root = RootOf(path, subKey);
    HKEY handle = nullptr;
    const LONG result =
        ::RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                          nullptr, &handle, nullptr);
    if (result != ERROR_SUCCESS) Fail("cannot make " + path + ", error " + std::to_string(result));
    ::RegCloseKey(handle);
    Emit("registry key", path);
}

// registry-delete <key> | <value>: gone afterwards, whether it was there or not.
void Automation::RegistryDelete(const std::string& args) {
    const std::vector<std::string> parts = Fields(args, 2);
    std::string subKey;
    const HKEY root = RootOf(parts[0], subKey);
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, subKey.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &handle) ==
        ERROR_SUCCESS) {
        const LONG result = ::RegDeleteValueA(handle, parts[1].c_str());
        ::RegCloseKey(handle);
        if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
            Fail("cannot delete " + parts[0] + " " + parts[1] + ", error " +
                 std::to_string(result));
    }
    Emit("registry deleted", parts[0] + " | " + parts[1]);
}

}  // namespace automate
