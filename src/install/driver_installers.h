// The two installation sequences, one per driver family. Each reads the
// operator's choices from the dialog's fields and shows its own outcome
// (status line, progress, the Install button's caption) before it returns.
#pragma once

namespace app {
class InstallerDialog;
}

namespace install {

class ReceiptDriverInstaller {
public:
    explicit ReceiptDriverInstaller(app::InstallerDialog& dialog) : dialog_(dialog) {}
    void Install();

private:
    app::InstallerDialog& dialog_;
};

class LabelDriverInstaller {
public:
    explicit LabelDriverInstaller(app::InstallerDialog& dialog) : dialog_(dialog) {}
    void Install();

private:
    app::InstallerDialog& dialog_;
};

}  // namespace install
