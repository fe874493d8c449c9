// The answers an unattended run gives in place of a person, the log the
// questions and answers leave, and the window that passes everything else
// on to the real dialog.
#include <gtest/gtest.h>

#include "base/dialog_ids.h"
#include "base/installer_dialog.h"
#include "sim/sim_window.h"
#include "unattended_fixture.h"

namespace {

namespace mb = platform::mb;
using testing_support::FixedClock;
using testing_support::TextSink;

// Boxes other than the USB search's, as the sequences show them.
platform::MessageBoxRequest Owned(const std::string& text, const std::string& caption,
                                  std::uint32_t style) {
    return app::OwnedBox(app::Message::kPrinterNotAdded, text, caption, style);
}
platform::MessageBoxRequest App(const std::string& text, std::uint32_t style) {
    return app::AppBox(app::Message::kServiceStatusUnknown, text, style);
}

class PromptPolicyTest : public ::testing::Test {
protected:
    PromptPolicyTest() { log.AddOutput(sink); }

    app::PromptPolicy& Policy(const std::vector<std::string>& args) {
        const auto parsed = app::cli::Parse(args);
        EXPECT_TRUE(parsed.Ok()) << parsed.error;
        options = parsed.options;
        policy = std::make_unique<app::PromptPolicy>(options, log);
        return *policy;
    }
    app::PromptPolicy& Serial(const char* baud) {
        if (baud == nullptr) return Policy({"/model", "m", "/port", "serial"});
        return Policy({"/model", "m", "/port", "serial", "/baud", baud});
    }
    std::vector<std::string> Lines() { return sink.Lines(); }

    FixedClock clock;
    TextSink sink;
    app::InstallLog log{clock};
    app::cli::Options options;
    std::unique_ptr<app::PromptPolicy> policy;
};

TEST_F(PromptPolicyTest, EachBoxGetsItsSafestButton) {
    auto& p = Policy({"/model", "m", "/port", "usb"});
    EXPECT_EQ(p.ShowMessageBox(Owned("t", "Error", mb::kOk)), mb::kIdOk);
    EXPECT_EQ(p.ShowMessageBox(Owned("t", "Error", mb::kOk | mb::kIconExclamation)), mb::kIdOk);
    EXPECT_EQ(p.ShowMessageBox(Owned("t", "c", 0x1)), mb::kIdCancel);  // OK, Cancel
    EXPECT_EQ(p.ShowMessageBox(Owned("t", "c", 0x2)), 3);  // Abort, Retry, Ignore: Abort
    EXPECT_EQ(p.ShowMessageBox(Owned("t", "c", 0x3)), mb::kIdCancel);  // Yes, No, Cancel
    EXPECT_EQ(p.ShowMessageBox(Owned("t", "c", 0x4 | 0x20)), 7);       // Yes, No: No
    EXPECT_EQ(p.ShowMessageBox(Owned("t", "Error", mb::kRetryCancel)), mb::kIdCancel);
    EXPECT_EQ(p.ShowMessageBox(App("t", mb::kRetryCancel | mb::kIconExclamation)), mb::kIdCancel);
    EXPECT_EQ(p.ShowMessageBox(Owned("t", "c", 0x6)),
              mb::kIdCancel);  // Cancel, Try again, Continue
    EXPECT_EQ(p.Problems().size(), 9u);
}

TEST_F(PromptPolicyTest, TheUsbSearchBoxGoesOnAndIsNoProblem) {
    auto& p = Policy({"/model", "m", "/port", "usb"});
    const auto usbBox = [](const std::string& caption) {
        return app::OwnedBox(app::Message::kUsbPortNotFound, "Failed to select USB port\r\nx",
                             caption, mb::kRetryCancel);
    };
    EXPECT_EQ(p.ShowMessageBox(usbBox("Fail to select port")), mb::kIdCancel);
    EXPECT_TRUE(p.Problems().empty());
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{
                  "2024-03-05 14:07:09.042  message box \"Fail to select port\": Failed to "
                  "select USB port\\r\\nx -> Cancel (the installation goes on without a port "
                  "that answered)"}));
    // The box is known by what it says, not by its caption: reworded, it
    // still goes on; another message under the same caption is a problem.
    auto& reworded = Policy({"/model", "m", "/port", "usb"});
    EXPECT_EQ(reworded.ShowMessageBox(usbBox("No USB printer found")), mb::kIdCancel);
    EXPECT_TRUE(reworded.Problems().empty());
    EXPECT_EQ(reworded.ShowMessageBox(Owned("other", "Fail to select port", mb::kRetryCancel)),
              mb::kIdCancel);
    EXPECT_EQ(reworded.Problems(), (std::vector<std::string>{"other"}));
}

TEST_F(PromptPolicyTest, ProblemsAreKeptInOrderAndLoggedWithTheirAnswers) {
    auto& p = Policy({"/model", "m", "/port", "usb"});
    p.ShowMessageBox(App("Service status is unknown", mb::kIconInformation));
    p.ShowMessageBox(Owned("Failed to add the driver 5", "Error", mb::kRetryCancel));
    EXPECT_EQ(p.Problems(), (std::vector<std::string>{"Service status is unknown",
                                                      "Failed to add the driver 5"}));
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "2024-03-05 14:07:09.042  message box: Service status is unknown -> OK",
                           "2024-03-05 14:07:09.042  message box \"Error\": Failed to add the "
                           "driver 5 -> Cancel (not retried)"}));
}

TEST_F(PromptPolicyTest, TheSerialPromptIsAnsweredYesAtTheRateOfTheCommandLine) {
    constexpr int kYes = app::InstallerDialog::kPortChoiceBase;
    EXPECT_EQ(Serial("300").SerialPrompt(), kYes + 0);
    EXPECT_EQ(Serial("38400").SerialPrompt(), kYes + 6);
    EXPECT_EQ(Serial("115200").SerialPrompt(), kYes + 8);
    EXPECT_EQ(Serial("auto").SerialPrompt(), kYes + 8);  // the fastest first
    EXPECT_EQ(policy->SerialPromptRate(), 115200);
    EXPECT_EQ(Serial(nullptr).SerialPrompt(), kYes + 5);  // the prompt's own 19200
    EXPECT_EQ(policy->SerialPromptRate(), 19200);
    ASSERT_FALSE(Lines().empty());
    EXPECT_EQ(Lines().back(),
              "2024-03-05 14:07:09.042  serial port prompt -> Yes at 19200 baud (no /baud: the "
              "prompt's own rate)");
}

TEST(InstallLogTest, EntriesCarryTheTimeAndStayOnOneLineInEveryOutput) {
    FixedClock clock;
    TextSink file;
    TextSink console;
    app::InstallLog log(clock);
    log.Write("before any output");
    log.AddOutput(file);
    log.AddOutput(console);
    log.Write("two\r\nlines\n");
    EXPECT_EQ(file.Text(), "2024-03-05 14:07:09.042  two\\r\\nlines\\n\r\n");
    EXPECT_EQ(console.Text(), file.Text());
    EXPECT_EQ(app::InstallLog::Timestamp({2031, 12, 31, 23, 59, 59, 999}),
              "2031-12-31 23:59:59.999");
    EXPECT_EQ(app::InstallLog::Timestamp({2024, 1, 2, 3, 4, 5, 6}), "2024-01-02 03:04:05.006");
    // Code-page 936 bytes pass through unchanged.
    EXPECT_EQ(app::InstallLog::Escape("Error\xA3\xBA"
                                      "x"),
              "Error\xA3\xBA"
              "x");
}

class CommandLineOperatorTest : public PromptPolicyTest {
protected:
    app::PromptPolicy& usbPolicy = Policy({"/model", "m", "/port", "usb"});
    app::CommandLineOperator asked{usbPolicy, log};
};

TEST_F(CommandLineOperatorTest, StatusLinesAreLoggedOnlyWhenTheyChange) {
    for (const char* text : {"", "Checking USB ports...", "Checking USB ports...",
                             "Checking  USB001 ....", "Checking USB ports..."}) {
        asked.ShowStatus(text);
    }
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{"2024-03-05 14:07:09.042  status: Checking USB ports...",
                                        "2024-03-05 14:07:09.042  status: Checking  USB001 ....",
                                        "2024-03-05 14:07:09.042  status: Checking USB ports..."}));
}

TEST_F(CommandLineOperatorTest, BoxesAndThePromptAreAnsweredByThePolicy) {
    EXPECT_EQ(asked.ShowMessageBox(Owned("t", "Error", mb::kRetryCancel)), mb::kIdCancel);
    EXPECT_EQ(asked.ShowMessageBox(App("t", mb::kOk)), mb::kIdOk);
    EXPECT_EQ(asked.AskSerialRate(), app::InstallerDialog::kPortChoiceBase + 5);
    EXPECT_EQ(Lines().size(), 3u);
}

// A dialog handler that would choose a port if anyone ran it.
class NeverRun : public platform::DialogHandler {
public:
    void OnInitDialog(platform::DialogWindow&) override { ran = true; }
    bool OnCommand(int) override { return ran = true; }
    void OnClose() override { ran = true; }
    bool ran = false;
};

TEST_F(CommandLineOperatorTest, APortDialogIsNeverShownAndCountsAsAProblem) {
    NeverRun handler;
    EXPECT_EQ(asked.ChoosePort(137, handler), -1);
    EXPECT_FALSE(handler.ran);
    EXPECT_EQ(usbPolicy.Problems(), (std::vector<std::string>{"dialog 137 was not shown"}));
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "2024-03-05 14:07:09.042  dialog 137 was not shown (nobody is there to "
                           "answer it)"}));
}

TEST_F(CommandLineOperatorTest, EndingTheDialogIsReportedNotCarriedOut) {
    int ended = -1;
    asked.EndDialog(mb::kIdCancel);  // nobody listening yet: nothing happens
    asked.OnEnd([&](int result) { ended = result; });
    asked.EndDialog(mb::kIdOk);
    EXPECT_EQ(ended, mb::kIdOk);
}

}  // namespace
