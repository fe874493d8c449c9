// Thin handles on the dialog's controls, so the logic reads like the dialog
// it drives: installButton.Enable(), driverCombo.AddString(...). Each call
// becomes one window message through the dialog window.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window.h"

namespace app {

class Control {
public:
    Control(platform::DialogWindow& window, int id) : window_(window), id_(id) {}
    int Id() const { return id_; }
    void Enable(bool enable) { window_.EnableControl(id_, enable); }
    bool IsEnabled() { return window_.IsControlEnabled(id_); }
    void SetText(const std::string& text) { window_.SetControlText(id_, text); }
    std::string GetText() { return window_.GetControlText(id_); }

protected:
    platform::DialogWindow& window_;
    int id_;
};

class Button : public Control {
public:
    using Control::Control;
};

class ProgressBar : public Control {
public:
    using Control::Control;
    void SetPos(int position) { window_.ProgressSetPos(id_, position); }
};

class ComboBox : public Control {
public:
    using Control::Control;
    void ResetContent() { window_.ComboResetContent(id_); }
    int AddString(const std::string& text) { return window_.ComboAddString(id_, text); }
    int SetCurSel(int index) { return window_.ComboSetCurSel(id_, index); }
    int GetCurSel() { return window_.ComboGetCurSel(id_); }
    int GetCount() { return window_.ComboGetCount(id_); }
};

class ListView : public Control {
public:
    using Control::Control;
    void DeleteAllItems() { window_.ListViewDeleteAllItems(id_); }
    int GetColumnCount() { return window_.ListViewGetColumnCount(id_); }
    void DeleteColumn(int column) { window_.ListViewDeleteColumn(id_, column); }
    std::uint32_t GetExtendedStyle() { return window_.ListViewGetExtendedStyle(id_); }
    void SetExtendedStyle(std::uint32_t style) { window_.ListViewSetExtendedStyle(id_, style); }
    void InsertColumn(int column, const std::string& text) {
        window_.ListViewInsertColumn(id_, column, text);
    }
    void SetColumnWidth(int column, int width) {
        window_.ListViewSetColumnWidth(id_, column, width);
    }
    void InsertItem(int row, const std::string& text) {
        window_.ListViewInsertItem(id_, row, text);
    }
    void SetItemText(int row, int subItem, const std::string& text) {
        window_.ListViewSetItemText(id_, row, subItem, text);
    }
    void SetItemState(int row, std::uint32_t state, std::uint32_t mask) {
        window_.ListViewSetItemState(id_, row, state, mask);
    }
    std::uint32_t GetItemState(int row, std::uint32_t mask) {
        return window_.ListViewGetItemState(id_, row, mask);
    }
    int GetItemCount() { return window_.ListViewGetItemCount(id_); }
};

}  // namespace app
