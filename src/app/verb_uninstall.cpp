// /uninstall /name <printer>: the printer, and the driver and monitor only it
// used, removed by the removal sequence; no dialog is needed, so the run is
// this call alone, its boxes answered by the prompt policy.
#include "app/unattended_install.h"
#include "install/printer_removal.h"

namespace app {

int Uninstall(platform::Spooler& spooler, platform::ServiceManager& services,
              platform::Threads& threads, platform::Files& files, platform::SystemInfo& system,
              const cli::Options& options, InstallLog& log) {
    PromptPolicy policy(options, log);
    install::PrinterRemoval removal(spooler, services, threads, files, system, policy, log);
    return removal.Run(options.printerName.value_or(std::string()));
}

}  // namespace app
