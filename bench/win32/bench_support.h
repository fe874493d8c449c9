// What the Windows benchmarks share: a clock, the process's CPU time, a
// median, and a dialog window kept in memory that answers every box with
// OK (Cancel for Retry/Cancel), for a bench to override where it measures.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "base/installer_dialog.h"
#include "platform/window.h"

namespace bench {

inline double NowMs() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1e3 / static_cast<double>(frequency.QuadPart);
}

inline double CpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) * 1e-4;
    };
    return ms(kernel) + ms(user);
}

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Polls a service every millisecond until it reaches the state.
inline bool WaitServiceState(SC_HANDLE service, DWORD target) {
    SERVICE_STATUS status{};
    for (int i = 0; i < 60000; ++i) {
        if (!QueryServiceStatus(service, &status)) return false;
        if (status.dwCurrentState == target) return true;
        Sleep(1);
    }
    return false;
}

// The spooler stopped if it runs, then with start started again: the least
// a stop and a start can cost.
inline bool BareSpooler(bool start) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, "Spooler", SERVICE_ALL_ACCESS);
    SERVICE_STATUS status{};
    bool ok = service != nullptr;
    if (ok && QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED) {
        ok = ControlService(service, SERVICE_CONTROL_STOP, &status) &&
             WaitServiceState(service, SERVICE_STOPPED);
    }
    if (ok && start)
        ok = StartServiceA(service, 0, nullptr) && WaitServiceState(service, SERVICE_RUNNING);
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return ok;
}

class HeadlessWindow : public platform::DialogWindow {
public:
    platform::WindowHandle Handle() const override { return 0; }
    void SetControlText(int id, const std::string& text) override { text_[id] = text; }
    std::string GetControlText(int id) override { return text_[id]; }
    void EnableControl(int id, bool enable) override { enabled_[id] = enable; }
    bool IsControlEnabled(int id) override {
        const auto found = enabled_.find(id);
        return found == enabled_.end() || found->second;
    }
    int GetCheck(int) override { return 0; }
    void SetCheck(int, int) override {}
    void ComboResetContent(int) override {}
    int ComboAddString(int, const std::string&) override { return 0; }
    int ComboSetCurSel(int, int index) override { return index; }
    int ComboGetCurSel(int) override { return 0; }
    int ComboGetCount(int) override { return 0; }
    void ListViewDeleteAllItems(int) override {}
    int ListViewGetColumnCount(int) override { return 0; }
    void ListViewDeleteColumn(int, int) override {}
    std::uint32_t ListViewGetExtendedStyle(int) override { return 0; }
    void ListViewSetExtendedStyle(int, std::uint32_t) override {}
    void ListViewInsertColumn(int, int, const std::string&) override {}
    void ListViewSetColumnWidth(int, int, int) override {}
    void ListViewInsertItem(int, int, const std::string&) override {}
    void ListViewSetItemText(int, int, int, const std::string&) override {}
    void ListViewSetItemState(int, int, std::uint32_t, std::uint32_t) override {}
    std::uint32_t ListViewGetItemState(int, int, std::uint32_t) override { return 0; }
    int ListViewGetItemCount(int) override { return 0; }
    void ProgressSetPos(int, int) override {}
    void SendUpdateData() override {}
    void PostStartupFinished() override {}
    int ShowMessageBox(const platform::MessageBoxRequest& box) override {
        std::fprintf(stderr, "message: %s\n", box.text.c_str());
        return (box.style & 0xF) == platform::mb::kRetryCancel ? platform::mb::kIdCancel
                                                               : platform::mb::kIdOk;
    }
    int ShowSerialPrompt() override { return app::InstallerDialog::kPortCancelled; }
    // No operator: no port dialog can be shown.
    int RunModal(int, platform::DialogHandler&) override { return -1; }
    void EndDialog(int) override {}
    bool SetTimer(int, std::uint32_t) override { return true; }
    void KillTimer(int) override {}

private:
    std::map<int, std::string> text_;
    std::map<int, bool> enabled_;
};

}  // namespace bench
