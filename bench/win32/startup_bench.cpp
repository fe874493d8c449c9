// startup_bench.exe: how long the start-up takes from a stopped spooler to
// an enabled Install, against what it cannot avoid: its fixed pauses
// around the unpacking (10 + 100 + 10 ms) and the spooler's own start,
// measured bare just before in the same round. Also the CPU the start-up
// and a spooler restart burn while they wait. Runs under Wine (or Windows)
// in a folder holding DriverData.Drv and 7-zip32.dll (bench/startup_bench.sh
// stages it).
//
//   startup_bench.exe [rounds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/dialog_ids.h"
#include "base/installer_dialog.h"
#include "bench_support.h"
#include "base/spooler_control.h"
#include "platform/win32/win32_platform.h"

namespace {

constexpr double kFixedPausesMs = 120.0;

bool Spooler(bool start) {
    return bench::BareSpooler(start);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (GetFileAttributesA("DriverData.Drv") == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "startup_bench: no DriverData.Drv in the current folder\n");
        return 1;
    }
    win32::Win32Machine machine;
    bench::HeadlessWindow window;
    platform::Platform platform = machine.MakePlatform(window);

    std::vector<double> startups, references, ratios, cpus, bareStarts;
    for (int round = 0; round < rounds; ++round) {
        if (!Spooler(false))
            return std::fprintf(stderr, "startup_bench: cannot stop the spooler\n"), 1;
        double start = bench::NowMs();
        if (!Spooler(true))
            return std::fprintf(stderr, "startup_bench: cannot start the spooler\n"), 1;
        const double bareStart = bench::NowMs() - start;
        if (!Spooler(false)) return 1;

        app::InstallerDialog dialog(platform);
        const double cpu = bench::CpuMs();
        start = bench::NowMs();
        dialog.StartupWorker();
        startups.push_back(bench::NowMs() - start);
        cpus.push_back(bench::CpuMs() - cpu);
        if (!window.IsControlEnabled(IDC_INSTALL) ||
            GetFileAttributesA("C:\\DriverName.cfg") == INVALID_FILE_ATTRIBUTES) {
            std::fprintf(stderr, "startup_bench: the start-up did not end ready to install\n");
            return 1;
        }
        bareStarts.push_back(bareStart);
        references.push_back(kFixedPausesMs + bareStart);
        ratios.push_back(startups.back() / references.back());
        dialog.OnDestroy();
    }
    std::printf(
        "start-up: %.1f ms to an enabled Install, %.3f x (%.0f ms pauses + spooler start "
        "%.1f ms); CPU %.1f ms\n",
        bench::Median(startups), bench::Median(ratios), kFixedPausesMs, bench::Median(bareStarts),
        bench::Median(cpus));

    // The unpacking step alone, pauses included, for where the rest goes.
    std::vector<double> unpacks;
    for (int round = 0; round < rounds; ++round) {
        app::InstallerDialog dialog(platform);
        const double start = bench::NowMs();
        dialog.UnpackDriverPackage();
        unpacks.push_back(bench::NowMs() - start);
        dialog.OnDestroy();
    }
    std::printf("  of which unpacking the sample package: %.1f ms (%.1f ms beyond its pauses)\n",
                bench::Median(unpacks), bench::Median(unpacks) - kFixedPausesMs);

    // A restart through the installer's own waits, against a bare one.
    std::vector<double> restarts, bare, restartCpus;
    for (int round = 0; round < rounds; ++round) {
        double start = bench::NowMs();
        Spooler(true);
        bare.push_back(bench::NowMs() - start);
        const double cpu = bench::CpuMs();
        start = bench::NowMs();
        install::SpoolerControl(platform.services, platform.threads, window)
            .Run(install::kSpoolerService, install::kRestart);
        restarts.push_back(bench::NowMs() - start);
        restartCpus.push_back(bench::CpuMs() - cpu);
    }
    std::printf(
        "spooler restart: %.1f ms, %.3f x a bare restart (%.1f ms); CPU while waiting %.1f ms "
        "(%.1f %%)\n",
        bench::Median(restarts), bench::Median(restarts) / bench::Median(bare), bench::Median(bare),
        bench::Median(restartCpus), 100.0 * bench::Median(restartCpus) / bench::Median(restarts));
    return 0;
}
