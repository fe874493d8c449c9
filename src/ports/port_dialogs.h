// The two dialogs in which the operator picks the port of a new printer:
// ParallelPortDialog (template 137) lists the spooler's LPT ports,
// TcpIpPortDialog (template 129) its Standard TCP/IP ports and lets the
// operator add, configure and delete them through the port monitor.
//
// Both read the ports from the spooler themselves, so their rows need not
// match the installer's parallelPorts and tcpipPorts (those skip USB-named
// ports and look at the first 256 ports only). A row chosen with OK
// therefore comes back twice: as kChoiceBase + row, and as the port name
// the row showed, which is what the installer goes by.
//
// Enter counts as OK and Escape as Cancel. OK with no row selected keeps
// the dialog open and asks for a row: it never ends with a code that is
// not a row.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/controls.h"
#include "platform/spooler.h"
#include "platform/window.h"

namespace ports {

class PortListDialog : public platform::DialogHandler {
public:
    // The port of the row chosen with OK; empty for any other ending.
    const std::string& ChosenPort() const { return chosenPort_; }

protected:
    explicit PortListDialog(platform::Spooler& spooler) : spooler_(spooler) {}

    void Bind(platform::DialogWindow& dialog);
    platform::DialogWindow& Window() { return *window_; }
    app::ListView& PortList() { return *portList_; }
    // Rebuilds the list from the spooler's ports that `keep` accepts, in
    // the spooler's order, and selects row 0.
    void FillPortList(bool (*keep)(const platform::PortInfo2& port));
    // The first row with the selected state, from the top; -1 for none.
    int FirstSelectedRow();
    // The name row `row` shows.
    std::string PortOfRow(int row) const;
    // OK: ends with the first selected row, or asks for one.
    void ChooseSelectedRow();
    void EndCancelled();

    platform::Spooler& spooler_;

private:
    platform::DialogWindow* window_ = nullptr;
    std::optional<app::ListView> portList_;
    std::vector<std::string> listedPorts_;  // the names of the rows, in row order
    std::string chosenPort_;
};

class ParallelPortDialog : public PortListDialog {
public:
    explicit ParallelPortDialog(platform::Spooler& spooler) : PortListDialog(spooler) {}

    void OnInitDialog(platform::DialogWindow& dialog) override;
    bool OnCommand(int id) override;
    void OnClose() override { OnCancelButton(); }

    void OnOkButton() { ChooseSelectedRow(); }
    void OnCancelButton() { EndCancelled(); }
};

class TcpIpPortDialog : public PortListDialog {
public:
    explicit TcpIpPortDialog(platform::Spooler& spooler) : PortListDialog(spooler) {}

    void OnInitDialog(platform::DialogWindow& dialog) override;
    bool OnCommand(int id) override;
    void OnClose() override { OnCancelButton(); }

    void FillTcpIpPortList();
    void OnAddPort();
    void OnConfigurePort();
    void OnDeletePort();
    void OnOkButton();
    void OnCancelButton() { EndCancelled(); }
};

}  // namespace ports
