// Version record sizes, threads and the clock.
#include <atomic>

#include "contract.h"

namespace contract {

namespace os = platform::os;

void SystemInfoCase(ContractTarget& target) {
    platform::OsVersionInfo extended;
    extended.size = os::kExtendedRecordSize;
    CHECK(target.system.GetVersionExA(extended), "GetVersionExA(156) failed");
    CHECK(extended.platformId == os::kPlatformNt && extended.majorVersion >= 5,
          "156: platform %u, version %u.%u", extended.platformId, extended.majorVersion,
          extended.minorVersion);

    platform::OsVersionInfo basic;
    basic.size = os::kBasicRecordSize;
    CHECK(target.system.GetVersionExA(basic), "GetVersionExA(148) failed");
    CHECK(basic.majorVersion == extended.majorVersion &&
              basic.minorVersion == extended.minorVersion &&
              basic.platformId == extended.platformId,
          "148 says %u.%u, 156 says %u.%u", basic.majorVersion, basic.minorVersion,
          extended.majorVersion, extended.minorVersion);

    platform::OsVersionInfo wrong;
    wrong.size = 100;
    CHECK(!target.system.GetVersionExA(wrong), "GetVersionExA accepted a 100-byte record");
}

void ThreadsCase(ContractTarget& target) {
    std::atomic<int> runs{0};
    std::unique_ptr<platform::Thread> thread = target.threads.Start([&runs] { ++runs; });
    CHECK(thread != nullptr, "no thread");
    if (thread) thread->Join();
    CHECK(runs == 1, "body ran %d times before Join returned", runs.load());

    std::uint64_t before = target.threads.TickCount();
    target.threads.Sleep(100);
    std::uint64_t slept = target.threads.TickCount() - before;
    // The real tick moves in steps of 10 to 16 ms.
    CHECK(slept >= 80 && slept < 5000, "Sleep(100) moved the clock by %llu ms",
          static_cast<unsigned long long>(slept));
}

}  // namespace contract
