// The simulated spooler: print jobs.
#include "sim/sim_spooler.h"

#include <algorithm>

#include "sim/sim_spooler_calls.h"
#include "sim/sim_system_info.h"
#include "sim/sim_text.h"

namespace sim {

using namespace spooler_calls;

// ----- print jobs -----

std::uint32_t SimSpooler::StartDocPrinterA(platform::PrinterHandle handle, std::uint32_t level,
                                           const platform::DocInfo1& info,
                                           std::uint32_t& lastError) {
    lastError = 0;
    if (auto code = Begin("StartDocPrinterA", {Hex(handle), std::to_string(level),
                                               Text(info.docName), Text(info.datatype)})) {
        lastError = *code;
        return 0;
    }
    auto it = handles_.find(handle);
    if (it == handles_.end() || xcvHandles_.count(handle) != 0) {
        lastError = error::kInvalidHandle;
        return 0;
    }
    if (level != 1) {
        lastError = error::kInvalidLevel;
        return 0;
    }
    if (openDocs_.count(handle) != 0) {
        lastError = kInvalidPrinterState;
        return 0;
    }
    Job job;
    job.id = nextJobId_++;
    job.printer = it->second;
    job.doc = info;
    jobs_.push_back(job);
    openDocs_[handle] = jobs_.size() - 1;
    return job.id;
}

BoolResult SimSpooler::WritePrinter(platform::PrinterHandle handle,
                                    const std::vector<std::uint8_t>& bytes,
                                    std::uint32_t& written) {
    written = 0;
    if (auto code = Begin("WritePrinter", {Hex(handle), std::to_string(bytes.size())})) {
        return Fail(*code);
    }
    if (handles_.count(handle) == 0) return Fail(error::kInvalidHandle);
    auto doc = openDocs_.find(handle);
    if (doc == openDocs_.end()) return Fail(kSplNoStartDoc);
    auto& data = jobs_[doc->second].bytes;
    data.insert(data.end(), bytes.begin(), bytes.end());
    written = static_cast<std::uint32_t>(bytes.size());
    return Succeed();
}

BoolResult SimSpooler::EndDocPrinter(platform::PrinterHandle handle) {
    if (auto code = Begin("EndDocPrinter", {Hex(handle)})) return Fail(*code);
    if (handles_.count(handle) == 0) return Fail(error::kInvalidHandle);
    auto doc = openDocs_.find(handle);
    if (doc == openDocs_.end()) return Fail(kSplNoStartDoc);
    Job& job = jobs_[doc->second];
    job.ended = true;
    job.endedAt = clock ? clock->Now() : 0;
    openDocs_.erase(doc);
    return Succeed();
}

BoolResult SimSpooler::GetJobA(platform::PrinterHandle handle, std::uint32_t jobId,
                               std::uint32_t level, std::uint32_t bufferSize,
                               platform::JobInfo1& job, std::uint32_t& needed) {
    needed = 0;
    if (auto code = Begin("GetJobA", {Hex(handle), std::to_string(jobId), std::to_string(level),
                                      std::to_string(bufferSize)})) {
        return Fail(*code);
    }
    auto it = handles_.find(handle);
    if (it == handles_.end()) return Fail(error::kInvalidHandle);
    if (level != 1) return Fail(error::kInvalidLevel);
    const auto found = std::find_if(jobs_.begin(), jobs_.end(), [&](const Job& j) {
        return j.id == jobId && EqualsNoCase(j.printer, it->second);
    });
    if (found == jobs_.end() || Left(*found)) return Fail(error::kInvalidParameter);
    platform::JobInfo1 info;
    info.jobId = found->id;
    info.printerName = found->printer;
    info.machineName = std::string("\\\\SIM");
    info.userName = std::string("operator");
    info.document = found->doc.docName;
    info.datatype = found->doc.datatype;
    info.status = found->ended ? jobStatus : platform::spool::kJobSpooling;
    needed = platform::BytesNeeded(info);
    if (bufferSize < needed) return Fail(error::kInsufficientBuffer);
    job = info;
    return Succeed();
}

bool SimSpooler::Left(const Job& job) const {
    if (!job.ended || !jobLeavesAfterMs) return false;
    const std::uint64_t now = clock ? clock->Now() : job.endedAt;
    return now - job.endedAt >= *jobLeavesAfterMs;
}

}  // namespace sim
