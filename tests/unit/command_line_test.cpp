// The installer's command line: every switch, the combinations that make
// sense, and every bad form, each with the message that names the fault.
#include <gtest/gtest.h>

#include "app/command_line_options.h"
#include "base/exit_codes.h"
#include "base/port_types.h"

namespace {

using app::cli::Display;
using app::cli::Mode;
using app::cli::Parse;
using Args = std::vector<std::string>;

app::cli::Options Good(const Args& args) {
    const auto result = Parse(args);
    EXPECT_TRUE(result.Ok()) << result.error;
    return result.options;
}

std::string Bad(const Args& args) {
    const auto result = Parse(args);
    EXPECT_FALSE(result.Ok()) << "accepted";
    return result.error;
}

Args Install(Args more = {}) {
    Args args = {"/model", "KV6X", "/port", "usb"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST(CommandLineTest, NoArgumentsIsTheInteractiveDialog) {
    const auto result = Parse({});
    EXPECT_TRUE(result.Ok());
    EXPECT_EQ(result.options.mode, Mode::Interactive);
}

TEST(CommandLineTest, AnInstallationTakesEverySwitchWithItsValue) {
    const auto o = Good({"/quiet", "/log", "C:\\logs\\printer.log", "/model", "KV6X", "/name",
                         "Front Desk", "/port", "serial", "/baud", "38400", "/nodefault"});
    EXPECT_EQ(o.mode, Mode::Install);
    EXPECT_EQ(o.display, Display::Quiet);
    EXPECT_EQ(o.logPath, "C:\\logs\\printer.log");
    EXPECT_EQ(o.model, "KV6X");
    ASSERT_TRUE(o.printerName.has_value());
    EXPECT_EQ(*o.printerName, "Front Desk");
    EXPECT_EQ(o.portType, ports::kSerial);
    EXPECT_EQ(o.baudRate, 38400);
    EXPECT_FALSE(o.autoBaud);
    EXPECT_FALSE(o.setDefault);
}

TEST(CommandLineTest, DefaultsArePassiveDefaultPrinterAndNoName) {
    const auto o = Good(Install());
    EXPECT_EQ(o.display, Display::Passive);
    EXPECT_TRUE(o.setDefault);
    EXPECT_FALSE(o.printerName.has_value());
    EXPECT_TRUE(o.logPath.empty());
    EXPECT_EQ(o.baudRate, 0);
    EXPECT_EQ(Good(Install({"/passive"})).display, Display::Passive);
}

TEST(CommandLineTest, SwitchesTakeSlashOrDashInAnyCase) {
    const auto o = Good({"-MODEL", "KV6X", "/Port", "USB", "-Quiet", "/NoDefault"});
    EXPECT_EQ(o.model, "KV6X");
    EXPECT_EQ(o.portType, ports::kUsb);
    EXPECT_EQ(o.display, Display::Quiet);
    EXPECT_FALSE(o.setDefault);
    // Values keep their case.
    EXPECT_EQ(Good({"/model", "lyn4(Cut) Series", "/port", "usb", "/name", "Kitchen"}).model,
              "lyn4(Cut) Series");
}

TEST(CommandLineTest, EveryPortTypeWordMapsToItsRow) {
    EXPECT_EQ(Good({"/model", "m", "/port", "serial"}).portType, ports::kSerial);
    EXPECT_EQ(Good({"/model", "m", "/port", "usb"}).portType, ports::kUsb);
    EXPECT_EQ(Good({"/model", "m", "/port", "parallel"}).portType, ports::kParallel);
    EXPECT_EQ(Good({"/model", "m", "/port", "Parallel", "/portname", "LPT2:"}).portName, "LPT2:");
    EXPECT_EQ(Good({"/model", "m", "/port", "tcpip", "/host", "192.168.1.20"}).host,
              "192.168.1.20");
    EXPECT_EQ(Good({"/model", "m", "/port", "TCPIP", "/portname", "IP_10.0.0.5"}).portType,
              ports::kTcpIp);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(Parse({"/model", "m", "/port", app::cli::PortWord(row), "/host", "h"})
                          .options.portType == ports::kTcpIp,
                  row == ports::kTcpIp);
    }
    EXPECT_STREQ(app::cli::PortWord(-1), "");
    EXPECT_STREQ(app::cli::PortWord(4), "");
}

TEST(CommandLineTest, BaudTakesTheNineRatesAndAutoAndNothingElse) {
    for (int rate : ports::kBaudRates) {
        EXPECT_EQ(Good({"/model", "m", "/port", "serial", "/baud", std::to_string(rate)}).baudRate,
                  rate);
    }
    const auto automatic = Good({"/model", "m", "/port", "serial", "/baud", "AUTO"});
    EXPECT_TRUE(automatic.autoBaud);
    EXPECT_EQ(automatic.baudRate, 0);
    for (const char* wrong :
         {"9601", "0", "600", "1152000", "96OO", "+9600", " 9600", "auto9600"}) {
        const std::string error = Bad({"/model", "m", "/port", "serial", "/baud", wrong});
        EXPECT_EQ(error, std::string("/baud ") + wrong +
                             " is not a rate the printers use: 300, 1200, 2400, 4800, 9600, "
                             "19200, 38400, 57600, 115200, or auto");
    }
}

TEST(CommandLineTest, ListUninstallAndHelpAreModesOfTheirOwn) {
    EXPECT_EQ(Good({"/list"}).mode, Mode::List);
    EXPECT_EQ(Good({"/list", "/log", "list.log", "/quiet"}).mode, Mode::List);
    const auto removal = Good({"/uninstall", "/name", "Front Desk", "/quiet", "/log", "u.log"});
    EXPECT_EQ(removal.mode, Mode::Uninstall);
    EXPECT_EQ(*removal.printerName, "Front Desk");
    EXPECT_EQ(Good({"/?"}).mode, Mode::Help);
    EXPECT_EQ(Good({"-help"}).mode, Mode::Help);
    // Help wins over anything else on the line, faults included.
    EXPECT_EQ(Good({"/bogus", "/model", "/?"}).mode, Mode::Help);
}

TEST(CommandLineTest, CheckTakesTheModelAndPortWhereGivenAndNothingOfAnInstallation) {
    EXPECT_EQ(Good({"/check"}).mode, Mode::Check);
    const auto check =
        Good({"/check", "/model", "KV6X", "/port", "tcpip", "/host", "10.0.0.5:9101"});
    EXPECT_EQ(check.mode, Mode::Check);
    EXPECT_EQ(check.model, "KV6X");
    EXPECT_EQ(check.host, "10.0.0.5");
    EXPECT_EQ(check.hostPort, 9101);
    EXPECT_EQ(Bad({"/check", "/list"}), "/check cannot be combined with /list");
    EXPECT_EQ(Bad({"/check", "/name", "P"}), "/check cannot be combined with /name");
    EXPECT_EQ(Bad({"/check", "/host", "10.0.0.5"}), "/host applies only to /port tcpip");
}

TEST(CommandLineTest, UnknownSwitchesAndBareWordsAreNamed) {
    EXPECT_EQ(Bad(Install({"/silent"})), "unknown switch /silent (/? lists the switches)");
    EXPECT_EQ(Bad(Install({"-q"})), "unknown switch -q (/? lists the switches)");
    EXPECT_EQ(Bad({"KV6X"}), "\"KV6X\" is not a switch: switches start with / or -");
    EXPECT_EQ(Bad({"/model", "KV6X", "extra"}),
              "\"extra\" is not a switch: switches start with / or -");
    EXPECT_EQ(Bad({"/"}), "\"/\" is not a switch: switches start with / or -");
}

TEST(CommandLineTest, AMissingValueIsNamedWithWhatItShouldBe) {
    EXPECT_EQ(Bad({"/port", "usb", "/model"}),
              "/model needs a value: a driver-list entry (see /list)");
    // The next switch is not taken for the value.
    EXPECT_EQ(Bad({"/model", "/port", "usb"}),
              "/model needs a value: a driver-list entry (see /list)");
    EXPECT_EQ(Bad(Install({"/name", "-quiet"})), "/name needs a value: the printer's name");
    EXPECT_EQ(Bad(Install({"/log", ""})), "/log needs a value: the log file");
    EXPECT_EQ(Bad({"/model", "m", "/port"}), "/port needs a value: usb, serial, parallel or tcpip");
    EXPECT_EQ(Bad({"/model", "m", "/port", "parallel", "/portname"}),
              "/portname needs a value: an existing port, such as LPT2:");
    EXPECT_EQ(Bad({"/model", "m", "/port", "tcpip", "/host"}),
              "/host needs a value: the printer's network address");
    EXPECT_EQ(Bad({"/model", "m", "/port", "serial", "/baud"}),
              "/baud needs a value: a baud rate or auto");
    // A value that only looks like a switch is still a value.
    EXPECT_EQ(*Good(Install({"/name", "-Kitchen-"})).printerName, "-Kitchen-");
}

TEST(CommandLineTest, ASwitchGivenTwiceIsRefused) {
    EXPECT_EQ(Bad(Install({"/model", "KV7X"})), "/model is given twice");
    EXPECT_EQ(Bad(Install({"/quiet", "-QUIET"})), "/quiet is given twice");
}

TEST(CommandLineTest, BadValuesAreRefusedWithTheirReason) {
    EXPECT_EQ(Bad({"/model", "m", "/port", "com"}),
              "/port com is not a port type: use usb, serial, parallel or tcpip");
    for (const char* name : {"Front\\Desk", "Front,Desk", "Front\tDesk"}) {
        EXPECT_EQ(Bad(Install({"/name", name})),
                  std::string("the printer name \"") + name +
                      "\" may not contain a backslash, a comma or a control character");
    }
    const std::string longest(48, 'a');
    EXPECT_EQ(Good({"/model", "m", "/port", "tcpip", "/host", longest}).host, longest);
    EXPECT_EQ(Good({"/model", "m", "/port", "tcpip", "/host", "fe80::1"}).host, "fe80::1");
    for (const std::string& host : {longest + "a", std::string("10.0.0.1;calc"), std::string("a b"),
                                    std::string(":9100"), longest + "a:9100"}) {
        EXPECT_EQ(Bad({"/model", "m", "/port", "tcpip", "/host", host}),
                  "/host " + host +
                      " is not a printer address (a host name or an IP address of at most 48 "
                      "characters, with :number for another port than 9100)");
    }
}

TEST(CommandLineTest, AHostMayNameItsRawPortAfterOneColon) {
    const auto plain = Good({"/model", "m", "/port", "tcpip", "/host", "printer-7.shop"});
    EXPECT_EQ(plain.host, "printer-7.shop");
    EXPECT_EQ(plain.hostPort, 9100);
    const auto numbered = Good({"/model", "m", "/port", "tcpip", "/host", "127.0.0.1:9101"});
    EXPECT_EQ(numbered.host, "127.0.0.1");
    EXPECT_EQ(numbered.hostPort, 9101);
    EXPECT_EQ(Good({"/model", "m", "/port", "tcpip", "/host", "h:1"}).hostPort, 1);
    EXPECT_EQ(Good({"/model", "m", "/port", "tcpip", "/host", "h:65535"}).hostPort, 65535);
    // Several colons: an IPv6 address, all of it.
    const auto v6 = Good({"/model", "m", "/port", "tcpip", "/host", "fe80::1:2"});
    EXPECT_EQ(v6.host, "fe80::1:2");
    EXPECT_EQ(v6.hostPort, 9100);
    for (const char* wrong : {"h:0", "h:65536", "h:", "h:91x0", "h:100000"}) {
        EXPECT_EQ(
            Bad({"/model", "m", "/port", "tcpip", "/host", wrong}),
            std::string("/host ") + wrong + ": the port number after the colon is 1 to 65535");
    }
}

TEST(CommandLineTest, AnInstallationNeedsAModelAndAPortType) {
    EXPECT_EQ(Bad({"/port", "usb"}),
              "/model is missing: name the driver-list entry to install (/list shows them)");
    EXPECT_EQ(
        Bad({"/model", "KV6X"}),
        "/port is missing: say how the printer is connected (usb, serial, parallel or tcpip)");
    EXPECT_EQ(Bad({"/quiet"}),
              "/model is missing: name the driver-list entry to install (/list shows them)");
    EXPECT_EQ(Bad({"/log", "x.log"}),
              "/model is missing: name the driver-list entry to install (/list shows them)");
}

TEST(CommandLineTest, PortSwitchesBelongToTheirPortTypes) {
    EXPECT_EQ(Bad(Install({"/portname", "USB002"})),
              "/portname applies only to /port parallel and /port tcpip");
    EXPECT_EQ(Bad({"/model", "m", "/port", "serial", "/portname", "COM3:"}),
              "/portname applies only to /port parallel and /port tcpip");
    EXPECT_EQ(Bad({"/model", "m", "/port", "parallel", "/host", "10.0.0.5"}),
              "/host applies only to /port tcpip");
    EXPECT_EQ(
        Bad({"/model", "m", "/port", "tcpip", "/host", "10.0.0.5", "/portname", "IP_10.0.0.5"}),
        "use either /host (a new port) or /portname (an existing port), not both");
    EXPECT_EQ(Bad({"/model", "m", "/port", "tcpip"}),
              "/port tcpip needs /host <address> or /portname <existing TCP/IP port>");
    EXPECT_EQ(Bad(Install({"/baud", "9600"})), "/baud applies only to /port serial");
    EXPECT_EQ(Bad({"/model", "m", "/port", "parallel", "/baud", "auto"}),
              "/baud applies only to /port serial");
    // A parallel printer may leave the port to the first parallel port.
    EXPECT_EQ(Good({"/model", "m", "/port", "parallel"}).portName, "");
}

TEST(CommandLineTest, ModesDoNotMix) {
    EXPECT_EQ(Bad(Install({"/quiet", "/passive"})), "use either /quiet or /passive, not both");
    EXPECT_EQ(Bad({"/list", "/uninstall", "/name", "x"}),
              "use either /list or /uninstall, not both");
    EXPECT_EQ(Bad({"/list", "/model", "KV6X"}), "/list cannot be combined with /model");
    EXPECT_EQ(Bad({"/list", "/nodefault"}), "/list cannot be combined with /nodefault");
    EXPECT_EQ(Bad({"/uninstall"}), "/uninstall needs /name <printer name>");
    EXPECT_EQ(Bad({"/uninstall", "/name", "x", "/port", "usb"}),
              "/uninstall cannot be combined with /port");
    EXPECT_EQ(Bad({"/uninstall", "/name", "x", "/model", "KV6X"}),
              "/uninstall cannot be combined with /model");
    EXPECT_EQ(Bad({"/uninstall", "/name", "x", "/nodefault"}),
              "/uninstall cannot be combined with /nodefault");
}

TEST(CommandLineTest, RepairAndTestPageNeedAPrinterAndTakeOnlyWhatTheyUse) {
    const auto repair = Good({"/repair", "/name", "Bar", "/baud", "auto", "/testpage", "/quiet"});
    EXPECT_EQ(repair.mode, Mode::Repair);
    EXPECT_TRUE(repair.autoBaud);
    EXPECT_TRUE(repair.testPage);
    EXPECT_EQ(Good({"/testpage", "/name", "Till"}).mode, Mode::TestPage);
    const auto installed = Good(Install({"/testpage"}));
    EXPECT_EQ(installed.mode, Mode::Install);
    EXPECT_TRUE(installed.testPage);
    EXPECT_FALSE(Good(Install()).testPage);
    EXPECT_EQ(Bad({"/repair"}), "/repair needs /name <printer name>");
    EXPECT_EQ(Bad({"/repair", "/name", "x", "/port", "usb"}),
              "/repair cannot be combined with /port");
    EXPECT_EQ(Bad({"/repair", "/name", "x", "/nodefault"}),
              "/repair cannot be combined with /nodefault");
    EXPECT_EQ(Bad({"/testpage"}),
              "/testpage needs /name <printer name>, or an installation (/model, /port) before it");
    EXPECT_EQ(Bad({"/testpage", "/name", "x", "/baud", "9600"}),
              "/testpage without /model cannot be combined with /baud");
    EXPECT_EQ(Bad({"/list", "/testpage"}), "/list cannot be combined with /testpage");
    EXPECT_EQ(Bad({"/uninstall", "/name", "x", "/repair"}),
              "/uninstall cannot be combined with /repair");
}

TEST(ExitCodeTest, TheTableHoldsTheCodesDeploymentToolsKnow) {
    namespace ec = app::exitcode;
    EXPECT_EQ(ec::kSuccess, 0);
    EXPECT_EQ(ec::kUserCancelled, 1602);
    EXPECT_EQ(ec::kFailure, 1603);
    EXPECT_EQ(ec::kAlreadyRunning, 1618);
    EXPECT_EQ(ec::kInvalidCommandLine, 1639);
    EXPECT_EQ(ec::kNoPrinterAnswered, 2);
    // Every code once, each with its own meaning.
    for (std::size_t i = 0; i < ec::kTable.size(); ++i) {
        for (std::size_t j = i + 1; j < ec::kTable.size(); ++j) {
            EXPECT_NE(ec::kTable[i].code, ec::kTable[j].code);
            EXPECT_STRNE(ec::kTable[i].meaning, ec::kTable[j].meaning);
        }
        EXPECT_STREQ(ec::Meaning(ec::kTable[i].code), ec::kTable[i].meaning);
    }
    EXPECT_STREQ(ec::Meaning(1), "unknown exit code");
    EXPECT_STREQ(ec::Meaning(ec::kInvalidCommandLine), "invalid command line; nothing was changed");
}

TEST(ExitCodeTest, HelpListsEverySwitchAndEveryExitCode) {
    const std::string help = app::cli::UsageText();
    for (const char* word :
         {"/quiet", "/passive", "/log", "/model", "/name", "/port", "/portname", "/host", "/baud",
          "/nodefault", "/list", "/uninstall", "/repair", "/testpage", "/?"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
    for (const auto& row : app::exitcode::kTable) {
        std::string code = std::to_string(row.code);
        code.resize(6, ' ');
        EXPECT_NE(help.find("  " + code + row.meaning + "\r\n"), std::string::npos) << row.code;
    }
}

}  // namespace
