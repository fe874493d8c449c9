#include "ports/port_dialogs.h"

#include "base/dialog_ids.h"
#include "base/messages.h"
#include "ports/port_list.h"
#include "base/port_types.h"
#include "base/text.h"

namespace ports {
namespace {

using platform::lv::kFocused;
using platform::lv::kSelected;

constexpr const char* kSelectRowText = "Please select a port from the list.";
constexpr const char* kPromptCaption = "Prompt";
constexpr const char* kNoTcpIpPortText =
    "There is no available TCP/IP port\r\nClick \"Add port\" to create a new port";

bool IsParallelPort(const platform::PortInfo2& port) {
    return text::StartsWith(port.portName, "LPT");
}
bool IsTcpIpPort(const platform::PortInfo2& port) {
    return IsTcpIpDescription(port.description);
}

// Enter reaches a dialog without an IDOK button as IDOK, Escape as IDCANCEL.
constexpr int kEnter = platform::mb::kIdOk;
constexpr int kEscape = platform::mb::kIdCancel;

}  // namespace

void PortListDialog::Bind(platform::DialogWindow& dialog) {
    window_ = &dialog;
    portList_.emplace(dialog, IDC_PORT_LIST);
}

void PortListDialog::FillPortList(bool (*keep)(const platform::PortInfo2& port)) {
    app::ListView& list = PortList();
    list.DeleteAllItems();
    for (int n = list.GetColumnCount(); n > 0; --n) list.DeleteColumn(0);
    listedPorts_.clear();
    const std::vector<platform::PortInfo2> entries = SpoolerPorts(spooler_);
    ApplyPortListStyle(list);
    list.InsertColumn(0, "Port");
    list.InsertColumn(1, "Description");
    list.SetColumnWidth(0, kDialogPortColumnWidth);
    list.SetColumnWidth(1, kDialogDescriptionColumnWidth);
    // Every port the spooler has, however many: unlike the installer's own
    // lists, nothing beyond the first 256 is left out.
    for (const platform::PortInfo2& port : entries) {
        if (!keep(port)) continue;
        const int row = static_cast<int>(listedPorts_.size());
        list.InsertItem(row, port.portName);
        list.SetItemText(row, 1, port.description);
        listedPorts_.push_back(port.portName);
    }
    list.SetItemState(0, kSelected, kSelected | kFocused);
}

int PortListDialog::FirstSelectedRow() {
    app::ListView& list = PortList();
    const int rows = list.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        if ((list.GetItemState(row, kSelected) & kSelected) != 0) return row;
    }
    return -1;
}

std::string PortListDialog::PortOfRow(int row) const {
    if (row < 0 || row >= static_cast<int>(listedPorts_.size())) return std::string();
    return listedPorts_[static_cast<std::size_t>(row)];
}

void PortListDialog::ChooseSelectedRow() {
    const int row = FirstSelectedRow();
    if (row < 0) {
        // Ending here would abandon the installation the operator meant to
        // go on with: ask for a row instead.
        Window().ShowMessageBox(app::OwnedBox(app::Message::kNoPortRowChosen, kSelectRowText,
                                              kPromptCaption, platform::mb::kOk));
        return;
    }
    chosenPort_ = PortOfRow(row);
    Window().EndDialog(kChoiceBase + row);
}

void PortListDialog::EndCancelled() {
    chosenPort_.clear();
    Window().EndDialog(kChoiceCancelled);
}

// --- Parallel port ---------------------------------------------------------

void ParallelPortDialog::OnInitDialog(platform::DialogWindow& dialog) {
    Bind(dialog);
    FillPortList(IsParallelPort);
}

bool ParallelPortDialog::OnCommand(int id) {
    switch (id) {
        case IDC_PORT_OK:
        case kEnter: OnOkButton(); return true;
        case IDC_PORT_CANCEL:
        case kEscape: OnCancelButton(); return true;
        default: return false;
    }
}

// --- TCP/IP port -----------------------------------------------------------

void TcpIpPortDialog::OnInitDialog(platform::DialogWindow& dialog) {
    Bind(dialog);
    FillTcpIpPortList();
}

bool TcpIpPortDialog::OnCommand(int id) {
    switch (id) {
        case IDC_ADD_PORT: OnAddPort(); return true;
        case IDC_CONFIGURE_PORT: OnConfigurePort(); return true;
        case IDC_DELETE_PORT: OnDeletePort(); return true;
        case IDC_PORT_OK:
        case kEnter: OnOkButton(); return true;
        case IDC_PORT_CANCEL:
        case kEscape: OnCancelButton(); return true;
        default: return false;
    }
}

void TcpIpPortDialog::FillTcpIpPortList() {
    FillPortList(IsTcpIpPort);
}

void TcpIpPortDialog::OnAddPort() {
    // The monitor's wizard runs inside the call, owned by this dialog.
    const bool added = spooler_.AddPortA(Window().Handle(), kTcpIpMonitor).IsOne();
    FillTcpIpPortList();
    // The new port comes last in the spooler's order; a cancelled or failed
    // wizard leaves row 0 selected and says nothing.
    const int rows = PortList().GetItemCount();
    if (added && rows > 0) PortList().SetItemState(rows - 1, kSelected, kSelected | kFocused);
}

void TcpIpPortDialog::OnConfigurePort() {
    if (PortList().GetItemCount() == 0) return;
    const int row = FirstSelectedRow();
    if (row < 0) return;
    const platform::BoolResult configured =
        spooler_.ConfigurePortA(Window().Handle(), PortOfRow(row));
    if (configured.IsOne()) return;
    if (configured.lastError == platform::error::kNotSupported) {
        Window().ShowMessageBox(
            app::OwnedBox(app::Message::kPortNotConfigured,
                          "Failed to configure printer port.\r\nThe request is not supported.",
                          "Configure Port", platform::mb::kOk));
    } else if (configured.lastError == platform::error::kAdapterHardwareError) {
        Window().ShowMessageBox(
            app::OwnedBox(app::Message::kPortNotConfigured,
                          "Failed to configure printer port.\r\nA hardware error occurred. ",
                          "Configure Por", platform::mb::kOk));
    }
}

void TcpIpPortDialog::OnDeletePort() {
    const int row = PortList().GetItemCount() > 0 ? FirstSelectedRow() : -1;
    if (row >= 0) {
        const platform::BoolResult deleted =
            spooler_.DeletePortA(Window().Handle(), PortOfRow(row));
        if (!deleted.IsOne() && deleted.lastError == platform::error::kNotSupported) {
            Window().ShowMessageBox(
                app::OwnedBox(app::Message::kPortNotDeleted,
                              "Failed to delete port.The request is not supported.", "Delete Port",
                              platform::mb::kOk));
        }
    }
    FillTcpIpPortList();
}

void TcpIpPortDialog::OnOkButton() {
    if (PortList().GetItemCount() == 0) {
        Window().ShowMessageBox(app::OwnedBox(app::Message::kNoTcpIpPort, kNoTcpIpPortText,
                                              kPromptCaption, platform::mb::kOk));
        return;
    }
    ChooseSelectedRow();
}

}  // namespace ports
