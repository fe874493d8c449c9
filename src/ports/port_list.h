// What the port-type list and the port dialogs share: the spooler's ports
// as one list, the list-view style every port list gets, and the tests
// that sort a port into its type.
#pragma once

#include <string>
#include <vector>

#include "base/controls.h"
#include "platform/spooler.h"

namespace ports {

// The spooler's ports at level 2, in its order: a size query, then the
// fill. Empty when the spooler cannot say.
std::vector<platform::PortInfo2> SpoolerPorts(platform::Spooler& spooler);

// Grid lines and full-row selection on, hover selection off; the other
// extended style bits stay as they are.
void ApplyPortListStyle(app::ListView& list);

// The Standard TCP/IP port monitor's description, English or Chinese.
bool IsTcpIpDescription(const std::string& description);

}  // namespace ports
