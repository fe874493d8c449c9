// The test page: a short RAW job through the spooler that proves a receipt
// printer prints, not just that a queue exists. The page is ESC/POS, the
// command language of the receipt models: a few lines naming the printer,
// its model, its port and the time, then a feed and a cut. The job has to
// leave the queue within 30 s; a job still queued then says why in its
// status bits (offline, paper out, error).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/exit_codes.h"
#include "base/install_log.h"
#include "install/installed_printer.h"
#include "platform/spooler.h"
#include "platform/threads.h"

namespace app {

// The page for `printer`, `time` as the page should show it.
std::vector<std::uint8_t> TestPageBytes(const install::InstalledPrinter& printer,
                                        const std::string& time);

// The words for a job's status bits ("offline, paper out"); empty for none.
std::string JobStatusWords(std::uint32_t status);

class TestPage {
public:
    static constexpr std::uint64_t kWaitMs = 30000;
    static constexpr std::uint32_t kPollMs = 500;

    TestPage(platform::Spooler& spooler, platform::Threads& threads, InstallLog& log)
        : spooler_(spooler), threads_(threads), log_(log) {}

    // Prints on `printerName` and waits for the job to leave the queue. A
    // label printer gets no page: success, so the rest of the run decides.
    RunOutcome Print(const std::string& printerName, const std::string& time);

private:
    RunOutcome Send(platform::PrinterHandle handle, const install::InstalledPrinter& printer,
                    const std::string& time);
    RunOutcome AwaitJob(platform::PrinterHandle handle, std::uint32_t jobId,
                        const install::InstalledPrinter& printer);

    platform::Spooler& spooler_;
    platform::Threads& threads_;
    InstallLog& log_;
};

}  // namespace app
