// The smaller simulated services: threads and the clock, the archive
// library loader, the version record, and the failure plan itself.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "sim/sim_machine.h"

namespace {

TEST(SimThreadsTest, ModesDecideWhenTheBodyRuns) {
    sim::SimClock clock;
    sim::SimThreads threads(clock);
    int runs = 0;
    auto immediate = threads.Start([&] { ++runs; });
    ASSERT_NE(immediate, nullptr);
    EXPECT_EQ(runs, 1);
    immediate->Join();

    threads.mode = sim::StartMode::Deferred;
    auto first = threads.Start([&] { runs += 10; });
    auto second = threads.Start([&] { runs += 100; });
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(threads.PendingCount(), 2);
    second->Join();  // joining runs a body nobody ran yet
    EXPECT_EQ(runs, 101);
    EXPECT_EQ(threads.RunPending(), 1);
    EXPECT_EQ(runs, 111);
    first->Join();
    EXPECT_EQ(runs, 111);

    threads.mode = sim::StartMode::Real;
    std::atomic<int> real{0};
    auto thread = threads.Start([&] { real = 1; });
    thread->Join();
    EXPECT_EQ(real, 1);

    threads.failStart = true;
    EXPECT_EQ(threads.Start([&] { ++runs; }), nullptr);
    EXPECT_EQ(threads.startCount, 4);
}

TEST(SimThreadsTest, SleepMovesTheClockAndIsRecorded) {
    sim::SimClock clock;
    sim::SimThreads threads(clock);
    EXPECT_EQ(threads.TickCount(), 0u);
    threads.Sleep(10);
    threads.Sleep(250);
    EXPECT_EQ(threads.TickCount(), 260u);
    EXPECT_EQ(threads.SleepCount(), 2);
    EXPECT_EQ(threads.TotalSleptMs(), 260u);
    EXPECT_EQ(threads.Sleeps(), (std::vector<std::uint32_t>{10, 250}));
}

class SimLibrariesTest : public ::testing::Test {
protected:
    static bool Progress(platform::WindowHandle, std::uint32_t, std::uint32_t state, const void*) {
        ++progressCalls;
        return state == 0;
    }
    static inline int progressCalls = 0;
    sim::SimLibraries libraries;
};

TEST_F(SimLibrariesTest, ModulesAreReferenceCountedAndExportsLookedUp) {
    EXPECT_EQ(libraries.LoadLibraryA("7-zip32.dll"), 0u);
    EXPECT_EQ(libraries.lastError, 126u);
    libraries.AddModule("7-zip32.dll", {"SevenZip", "SevenZipSetOwnerWindowEx"});
    platform::ModuleHandle a = libraries.LoadLibraryA("7-ZIP32.DLL");
    platform::ModuleHandle b = libraries.LoadLibraryA("7-zip32.dll");
    EXPECT_NE(a, 0u);
    EXPECT_EQ(a, b);  // one module, loaded twice
    EXPECT_EQ(libraries.LoadedCount(), 2);
    EXPECT_NE(libraries.GetProcAddress(a, "SevenZip"), 0u);
    EXPECT_EQ(libraries.GetProcAddress(a, "SevenZipKillOwnerWindowEx"), 0u);
    EXPECT_EQ(libraries.lastError, 127u);
    EXPECT_TRUE(libraries.FreeLibrary(a));
    EXPECT_TRUE(libraries.FreeLibrary(b));
    EXPECT_FALSE(libraries.FreeLibrary(a));
    EXPECT_EQ(libraries.LoadedCount(), 0);
    EXPECT_EQ(libraries.loadCount, 2);
    EXPECT_EQ(libraries.freeCount, 2);
}

TEST_F(SimLibrariesTest, CallsAreRecordedScriptedAndFaultWithoutTheirModule) {
    libraries.AddArchiveLibrary();
    platform::ModuleHandle module = libraries.LoadLibraryA("7-zip32.dll");
    auto sevenZip = libraries.GetProcAddress(module, "SevenZip");
    auto setOwner = libraries.GetProcAddress(module, "SevenZipSetOwnerWindowEx");
    progressCalls = 0;
    EXPECT_EQ(libraries.CallSevenZipSetOwnerWindowEx(setOwner, 0x10, &Progress), 1);

    std::vector<std::string> commands;
    libraries.sevenZipResult = [&](const std::string& command) {
        commands.push_back(command);
        return 0;
    };
    libraries.sevenZipOutput = "Everything is Ok";
    char output[8];
    EXPECT_EQ(libraries.CallSevenZip(sevenZip, 0x10, "x -y pkg", output, sizeof output), 0);
    EXPECT_STREQ(output, "Everyth");  // cut to the buffer
    EXPECT_EQ(commands, (std::vector<std::string>{"x -y pkg"}));
    EXPECT_EQ(progressCalls, 1);
    EXPECT_EQ(libraries.progressAnswers, (std::vector<bool>{true}));
    EXPECT_EQ(libraries.lastOutputSize, 8u);

    // An entry point used for the wrong function, or after the module went, crashes.
    EXPECT_EQ(libraries.CallSevenZip(setOwner, 0x10, "x", nullptr, 0),
              platform::kArchiveCallFaulted);
    libraries.sevenZipFaults = true;
    EXPECT_EQ(libraries.CallSevenZip(sevenZip, 0x10, "x", nullptr, 0),
              platform::kArchiveCallFaulted);
    libraries.sevenZipFaults = false;
    EXPECT_TRUE(libraries.FreeLibrary(module));
    EXPECT_EQ(libraries.CallSevenZip(sevenZip, 0x10, "x", nullptr, 0),
              platform::kArchiveCallFaulted);
    EXPECT_EQ(libraries.archiveCalls.size(), 5u);
}

TEST(SimSystemInfoTest, VersionRecordSizesAndFailures) {
    sim::SimSystemInfo system;
    platform::OsVersionInfo info;
    info.size = platform::os::kExtendedRecordSize;
    ASSERT_TRUE(system.GetVersionExA(info));
    EXPECT_EQ(info.majorVersion, 6u);
    EXPECT_EQ(info.minorVersion, 1u);
    EXPECT_EQ(info.platformId, platform::os::kPlatformNt);

    system.failExtended = true;
    EXPECT_FALSE(system.GetVersionExA(info));
    info.size = platform::os::kBasicRecordSize;
    EXPECT_TRUE(system.GetVersionExA(info));
    info.size = 100;
    EXPECT_FALSE(system.GetVersionExA(info));
    EXPECT_EQ(system.recordSizes, (std::vector<std::uint32_t>{156, 156, 148, 100}));

    std::int32_t wow64 = 7;
    system.wow64 = true;
    EXPECT_TRUE(system.IsWow64Process(wow64));
    EXPECT_EQ(wow64, 1);
    system.wow64CallFails = true;
    wow64 = 7;
    EXPECT_FALSE(system.IsWow64Process(wow64));
    EXPECT_EQ(wow64, 7);  // left as it was
}

TEST(SimMachineTest, WiresTheServicesTogether) {
    sim::SimMachine machine;
    // The profile reader reads the simulated disk.
    machine.files.WriteFile("C:\\DriverName.cfg", "[M0]\r\nPrintName1=x\r\n");
    char value[16];
    EXPECT_EQ(machine.profile.GetPrivateProfileStringA("M0", "PrintName1", nullptr, value, 16,
                                                       "c:\\drivername.cfg"),
              1u);
    // The spooler follows the machine's word size.
    EXPECT_EQ(machine.spooler.LocalEnvironment(), "Windows NT x86");
    machine.system.wow64 = true;
    EXPECT_EQ(machine.spooler.LocalEnvironment(), "Windows x64");
    // Services and threads share the clock.
    EXPECT_EQ(machine.services.State("Spooler"), platform::svc::kStopped);
    std::uint32_t error = 0;
    auto manager = machine.services.OpenSCManagerA("ServicesActive", 0xF003F, error);
    auto service = machine.services.OpenServiceA(manager, "spooler", 0xF01FF, error);
    EXPECT_EQ(machine.services.StartServiceA(service).value, 1);
    machine.threads.Sleep(static_cast<std::uint32_t>(machine.services.startDelayMs));
    EXPECT_EQ(machine.services.State("Spooler"), platform::svc::kRunning);
    EXPECT_EQ(machine.spooler.serviceStarts, 1);
}

TEST(FailurePlanTest, CountsAndOrder) {
    sim::FailurePlan plan;
    plan.FailNext("A", 5, 2);
    plan.FailAfter("B", 2, 87);
    std::vector<std::string> outcomes;
    for (int i = 0; i < 4; ++i) {
        auto a = plan.Check("A");
        auto b = plan.Check("B");
        outcomes.push_back(std::to_string(a.value_or(0)) + "/" + std::to_string(b.value_or(0)));
    }
    EXPECT_EQ(outcomes, (std::vector<std::string>{"5/0", "5/0", "0/87", "0/0"}));
    EXPECT_EQ(plan.InjectedCount("A"), 2);
    EXPECT_EQ(sim::CountCalls({"Open(x)", "Open(y)", "OpenPrinterA(z)"}, "Open"), 2);
}

}  // namespace
