// An unattended run on the simulated machine: the command line parsed, the
// dialog on the simulated window with the command line's operator answering
// what it asks, and the window system's part played by the test: the
// start-up's end delivered, then the serial search's timer ticks, each
// followed by the run's own look at the dialog, as the Win32 host does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/command_line_options.h"
#include "base/install_log.h"
#include "app/prompt_policy.h"
#include "app/unattended_install.h"
#include "app/command_line_operator.h"
#include "install_fixture.h"

namespace testing_support {

class FixedClock : public platform::LocalClock {
public:
    platform::LocalTime Now() override { return {2024, 3, 5, 14, 7, 9, 42}; }
};

class TextSink : public platform::TextOutput {
public:
    void Write(const std::string& text) override { text_ += text; }
    const std::string& Text() const { return text_; }
    // The lines written, without their line ends.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = text_.find("\r\n", start)) != std::string::npos;
             start = end + 2) {
            lines.push_back(text_.substr(start, end - start));
        }
        return lines;
    }

private:
    std::string text_;
};

constexpr const char* kStamp = "2024-03-05 14:07:09.042  ";

class UnattendedTest : public InstallTest {
protected:
    // Parses `args`, then runs start-up, installation and any serial search.
    void Run(const std::vector<std::string>& args) {
        Prepare(args);
        Start();
        RunTimer();
    }

    void Prepare(const std::vector<std::string>& args) {
        const auto parsed = app::cli::Parse(args);
        ASSERT_TRUE(parsed.Ok()) << parsed.error;
        options = parsed.options;
        if (!logAttached_) log.AddOutput(logFile);
        logAttached_ = true;
        policy = std::make_unique<app::PromptPolicy>(options, log);
        asked = std::make_unique<app::CommandLineOperator>(*policy, log);
        installer = std::make_unique<app::InstallerDialog>(platform, asked.get());
        run = std::make_unique<app::UnattendedInstall>(*installer, *policy, options, log, console);
        app::InstallerDialog* target = installer.get();
        window.onUpdateData = [target](std::uintptr_t w) { return target->OnUpdateDataMessage(w); };
        machine.serial.onByte = [target](std::uintptr_t w, std::intptr_t l) {
            return target->OnSerialByteReceived(w, l);
        };
        asked->OnEnd([this](int result) { run->OnDialogEnded(result); });
    }

    void Start() {
        installer->InitDialog();
        DeliverStartup();
    }

    // The start-up worker's "finished" message, as the window system delivers it.
    void DeliverStartup() {
        while (delivered_ < window.startupFinishedPosts) {
            ++delivered_;
            installer->OnStartupFinished();
            run->AfterStartupFinished();
        }
    }

    // Replies on their way arrive, then the timer fires, as long as it runs.
    int RunTimer(int limit = 400) {
        int ticks = 0;
        while (window.timers.count(PROBE_TIMER_ID) != 0 && ticks < limit) {
            machine.serial.DeliverReplies();
            installer->OnTimer(PROBE_TIMER_ID);
            run->AfterTimer();
            ++ticks;
        }
        return ticks;
    }

    // The log's entries without their time stamps; every entry has one.
    std::vector<std::string> Entries() {
        std::vector<std::string> entries;
        for (const std::string& line : logFile.Lines()) {
            const std::string stamp = kStamp;
            EXPECT_EQ(line.compare(0, stamp.size(), stamp), 0) << line;
            entries.push_back(line.substr(std::min(line.size(), stamp.size())));
        }
        return entries;
    }
    bool Logged(const std::string& entry) { return Contains(Entries(), entry); }
    int ExitCode() { return run->ExitCode(); }

    // The serial device map, in this order ("COM3" lists as "COM3:").
    void SerialPorts(const std::vector<std::string>& names) {
        const char* key = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
        machine.registry.DeleteKey(platform::RegistryRoot::LocalMachine, key);
        for (std::size_t i = 0; i < names.size(); ++i) {
            machine.registry.SetString(platform::RegistryRoot::LocalMachine, key,
                                       "\\Device\\Serial" + std::to_string(i), names[i]);
        }
    }

    FixedClock clock;
    TextSink logFile;
    TextSink console;
    app::InstallLog log{clock};
    app::cli::Options options;
    std::unique_ptr<app::PromptPolicy> policy;
    std::unique_ptr<app::CommandLineOperator> asked;
    std::unique_ptr<app::InstallerDialog> installer;
    std::unique_ptr<app::UnattendedInstall> run;

private:
    int delivered_ = 0;
    bool logAttached_ = false;
};

}  // namespace testing_support
