#include "app/test_page.h"

#include "base/exit_codes.h"

namespace app {

using install::FindInstalledPrinter;
using install::InstalledPrinter;
using install::OurDriverFamily;
using install::PrinterLookup;
namespace {

namespace spool = platform::spool;

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kGs = 0x1D;
constexpr std::uint8_t kFeedLines = 4;

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

RunOutcome Failed(const std::string& reason) {
    return {exitcode::kFailure, reason};
}

// GetJobA on the handle that has just printed the job cannot fail for the
// handle or the call unless the spooler keeps no queue it reports on (Wine
// hands a RAW job straight to the port and answers ERROR_INVALID_HANDLE).
bool KeepsNoJobs(std::uint32_t error) {
    return error == platform::error::kInvalidHandle || error == platform::error::kNotSupported ||
           error == platform::error::kCallNotImplemented;
}

}  // namespace

std::vector<std::uint8_t> TestPageBytes(const InstalledPrinter& printer, const std::string& time) {
    const std::string text =
        "Test page\n"
        "Printer: " +
        printer.name +
        "\n"
        "Model:   " +
        printer.driver +
        "\n"
        "Port:    " +
        printer.port +
        "\n"
        "Time:    " +
        time + "\n";
    std::vector<std::uint8_t> bytes = {kEsc, '@'};  // initialise: no mode of an earlier job
    bytes.insert(bytes.end(), text.begin(), text.end());
    // Feed the text past the cutter, then a partial cut.
    const std::uint8_t tail[] = {kEsc, 'd', kFeedLines, kGs, 'V', 66, 0};
    bytes.insert(bytes.end(), std::begin(tail), std::end(tail));
    return bytes;
}

std::string JobStatusWords(std::uint32_t status) {
    struct Bit {
        std::uint32_t bit;
        const char* word;
    };
    constexpr Bit kBits[] = {
        {spool::kJobOffline, "offline"},
        {spool::kJobPaperOut, "paper out"},
        {spool::kJobError, "error"},
        {spool::kJobUserIntervention, "needs the operator"},
        {spool::kJobBlockedDevq, "blocked"},
        {spool::kJobPaused, "paused"},
        {spool::kJobDeleting, "being deleted"},
        {spool::kJobDeleted, "deleted"},
        {spool::kJobRestart, "restarting"},
        {spool::kJobSpooling, "spooling"},
        {spool::kJobPrinting, "printing"},
    };
    std::string words;
    for (const Bit& bit : kBits) {
        if ((status & bit.bit) != 0) words += (words.empty() ? "" : ", ") + std::string(bit.word);
    }
    return words;
}

RunOutcome TestPage::Print(const std::string& printerName, const std::string& time) {
    InstalledPrinter printer;
    std::uint32_t error = 0;
    switch (FindInstalledPrinter(spooler_, printerName, printer, error)) {
        case PrinterLookup::Failed:
            return Failed("the printers could not be listed (error " + std::to_string(error) + ")");
        case PrinterLookup::Absent:
            return {exitcode::kInvalidCommandLine,
                    "there is no printer " + Quoted(printerName) + " to print a test page on"};
        case PrinterLookup::Found: break;
    }
    const auto family = OurDriverFamily(printer.driver);
    if (!family) {
        return {exitcode::kInvalidCommandLine,
                "the printer " + Quoted(printer.name) + " has the driver " +
                    Quoted(printer.driver) +
                    ", which this installer does not install: no test page"};
    }
    if (*family == catalogue::DriverFamily::Label) {
        log_.Write("no test page: the test print is not offered for label printers (" +
                   Quoted(printer.name) + ")");
        return {exitcode::kSuccess, std::string()};
    }
    platform::PrinterHandle handle = 0;
    const platform::PrinterDefaults defaults{std::string("RAW"), spool::kPrinterAccessUse};
    const platform::BoolResult opened = spooler_.OpenPrinterA(printer.name, handle, defaults);
    if (!opened.IsOne()) {
        return Failed("the printer " + Quoted(printer.name) +
                      " could not be opened for the test page (error " +
                      std::to_string(opened.lastError) + ")");
    }
    const RunOutcome outcome = Send(handle, printer, time);
    (void)spooler_.ClosePrinter(handle);
    return outcome;
}

RunOutcome TestPage::Send(platform::PrinterHandle handle, const InstalledPrinter& printer,
                          const std::string& time) {
    std::uint32_t error = 0;
    const platform::DocInfo1 doc{std::string("Test page"), std::nullopt, std::string("RAW")};
    const std::uint32_t jobId = spooler_.StartDocPrinterA(handle, 1, doc, error);
    if (jobId == 0) {
        return Failed("the test page could not be started on " + Quoted(printer.name) + " (error " +
                      std::to_string(error) + ")");
    }
    const std::vector<std::uint8_t> bytes = TestPageBytes(printer, time);
    std::uint32_t written = 0;
    const platform::BoolResult wrote = spooler_.WritePrinter(handle, bytes, written);
    // The job is ended in any case: a job left open would hold the queue.
    const platform::BoolResult ended = spooler_.EndDocPrinter(handle);
    if (!wrote.IsOne() || written != bytes.size()) {
        return Failed("the test page could not be written to " + Quoted(printer.name) + " (" +
                      std::to_string(written) + " of " + std::to_string(bytes.size()) +
                      " bytes, error " + std::to_string(wrote.lastError) + ")");
    }
    if (!ended.IsOne()) {
        return Failed("the test page could not be ended on " + Quoted(printer.name) + " (error " +
                      std::to_string(ended.lastError) + ")");
    }
    log_.Write("the test page (job " + std::to_string(jobId) + ", " + std::to_string(bytes.size()) +
               " bytes) went to " + Quoted(printer.name) + " on port " + printer.port);
    return AwaitJob(handle, jobId, printer);
}

RunOutcome TestPage::AwaitJob(platform::PrinterHandle handle, std::uint32_t jobId,
                              const InstalledPrinter& printer) {
    const std::uint64_t start = threads_.TickCount();
    for (;;) {
        platform::JobInfo1 job;
        std::uint32_t needed = 0;
        (void)spooler_.GetJobA(handle, jobId, 1, 0, job, needed);
        const platform::BoolResult read = spooler_.GetJobA(handle, jobId, 1, needed, job, needed);
        // A job that is no longer in the queue has been printed.
        if (!read.IsOne() && read.lastError == platform::error::kInvalidParameter) break;
        if (!read.IsOne() && KeepsNoJobs(read.lastError)) {
            log_.Write("warning: the spooler does not report the state of print jobs (error " +
                       std::to_string(read.lastError) +
                       "): the test page was handed over to port " + printer.port +
                       ", but that it printed is not confirmed");
            return {exitcode::kSuccess, std::string()};
        }
        if (!read.IsOne()) {
            return Failed("the test page's state could not be read (error " +
                          std::to_string(read.lastError) + ")");
        }
        if ((job.status & spool::kJobPrinted) != 0) break;
        if ((job.status & spool::kJobDeleted) != 0) {
            return Failed("the test page was deleted from the queue of " + Quoted(printer.name));
        }
        if (threads_.TickCount() - start >= kWaitMs) {
            const std::string words = JobStatusWords(job.status);
            const std::string said = job.statusText && !job.statusText->empty()
                                         ? " (\"" + *job.statusText + "\")"
                                         : std::string();
            return Failed("the test page did not print within 30 s; the job is " +
                          (words.empty() ? std::string("waiting") : words) + said +
                          ", and stays in the queue of " + Quoted(printer.name));
        }
        threads_.Sleep(kPollMs);
    }
    log_.Write("the test page was printed on " + Quoted(printer.name));
    return {exitcode::kSuccess, std::string()};
}

}  // namespace app
