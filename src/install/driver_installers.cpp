#include "install/driver_installers.h"

#include "app/installer_dialog.h"

namespace install {

// The file copying, driver registration and printer creation come with the
// driver installation itself; until then an Install leaves the dialog ready
// for another attempt.
void ReceiptDriverInstaller::Install() { dialog_.installButton.Enable(true); }

void LabelDriverInstaller::Install() { dialog_.installButton.Enable(true); }

}  // namespace install
