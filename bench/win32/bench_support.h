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

#include "app/installer_dialog.h"
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
    int OwnedMessageBox(const std::string& text, const std::string&, std::uint32_t style) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return (style & 0xF) == platform::mb::kRetryCancel ? platform::mb::kIdCancel : platform::mb::kIdOk;
    }
    int ShowSerialPrompt() override { return app::InstallerDialog::kPortCancelled; }
    // No operator: no port dialog can be shown.
    int RunModal(int, platform::DialogHandler&) override { return -1; }
    int AppMessageBox(const std::string& text, std::uint32_t) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return platform::mb::kIdOk;
    }
    void EndDialog(int) override {}
    bool SetTimer(int, std::uint32_t) override { return true; }
    void KillTimer(int) override {}

private:
    std::map<int, std::string> text_;
    std::map<int, bool> enabled_;
};

}  // namespace bench
