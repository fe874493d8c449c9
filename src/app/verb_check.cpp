// /check, and the same check before an unattended installation.
#include "app/unattended_install.h"

#include "base/exit_codes.h"

namespace app {

PreflightRequest UnattendedInstall::RequestFor(const std::vector<DriverListEntry>& entries) {
    PreflightRequest request;
    request.model = options_.model;
    request.offeredEntries = entries.size();
    const DriverListEntry* entry = MatchEntry(entries, options_.model).entry;
    request.modelOffered = entry != nullptr && !entry->driver.empty();
    request.packageFailure = dialog_.extractor.FailureText();
    request.workingFolders = dialog_.workingFoldersProblem;
    request.declaredBytes = dialog_.extractor.DeclaredTotal();
    if (options_.portType == ports::kTcpIp) request.host = options_.host;
    request.hostPort = options_.hostPort;
    return request;
}

void UnattendedInstall::Check() {
    const std::vector<Finding> findings =
        Preflight(dialog_.Platform()).Run(RequestFor(ReadDriverListEntries(dialog_)));
    std::string text;
    for (const Finding& finding : findings) {
        text += PreflightLine(finding) + "\r\n";
        log_.Write(PreflightLine(finding));
    }
    const int code = PreflightExitCode(findings);
    console_.Write(text + "exit code " + std::to_string(code) + ": " + exitcode::Meaning(code) +
                   "\r\n");
    Finish(code, code == exitcode::kSuccess
                     ? std::string()
                     : "the pre-flight check found the installation blocked");
}

bool UnattendedInstall::PreflightPasses(const std::vector<DriverListEntry>& entries) {
    const std::vector<Finding> findings = Preflight(dialog_.Platform()).Run(RequestFor(entries));
    const Finding* blocking = nullptr;
    for (const Finding& finding : findings) {
        log_.Write("pre-flight: " + PreflightLine(finding));
        if (finding.verdict == Verdict::Blocking && blocking == nullptr) blocking = &finding;
    }
    if (blocking == nullptr) return true;
    Finish(PreflightExitCode(findings), "the installation cannot start: " + blocking->text);
    return false;
}

}  // namespace app
