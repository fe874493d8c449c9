#include "command_line.h"

#include <gtest/gtest.h>

#include <cstring>

#include "run_command.h"

using archive::ExtractCommand;
using archive::ParseExtractCommand;

TEST(CommandLine, InstallerLineWithTrailingBackslashBeforeQuote) {
    ExtractCommand cmd;
    std::string error;
    ASSERT_TRUE(
        ParseExtractCommand(R"(x -y "C:\some dir\DriverData.Drv" -o"C:\" -hide)", &cmd, &error))
        << error;
    EXPECT_EQ(R"(C:\some dir\DriverData.Drv)", cmd.archivePath);
    EXPECT_EQ(R"(C:\)", cmd.outputDir);
    EXPECT_TRUE(cmd.yesToAll);
    EXPECT_TRUE(cmd.hide);
}

TEST(CommandLine, OrderCaseBlanksAndQuotedSwitchLikePaths) {
    ExtractCommand cmd;
    std::string error;
    ASSERT_TRUE(ParseExtractCommand("  X\t-HIDE   -o\"D:\\out dir\\sub\"  \"-odd name.zip\" ", &cmd,
                                    &error))
        << error;
    EXPECT_EQ("-odd name.zip", cmd.archivePath);  // leading quote: a path, not -o
    EXPECT_EQ("D:\\out dir\\sub", cmd.outputDir);
    EXPECT_FALSE(cmd.yesToAll);
    EXPECT_TRUE(cmd.hide);

    ASSERT_TRUE(ParseExtractCommand("x plain.zip -oC:\\out", &cmd, &error)) << error;
    EXPECT_EQ("plain.zip", cmd.archivePath);
    EXPECT_EQ("C:\\out", cmd.outputDir);
}

TEST(CommandLine, RejectsWhatWeDoNotSupport) {
    const char* bad[] = {
        "",                         // nothing
        "   ",                      //
        "e -y a.zip -oC:\\",        // other command
        "a -y a.zip -oC:\\",        //
        "\"x\" a.zip -oC:\\",       // quoted command
        "x -y -oC:\\ -hide",        // no archive
        "x -y a.zip -hide",         // no destination
        "x -y a.zip -o -hide",      // empty destination
        "x -y a.zip -o\"\" -hide",  //
        "x -p a.zip -oC:\\",        // unknown switch
        "x -y a.zip -oC:\\ -r",     //
        "x -y a.zip b.zip -oC:\\",  // file selections
        "x -y -y a.zip -oC:\\",     // repeated switch
        "x a.zip -oC:\\a -oC:\\b",  //
        "x \"\" -oC:\\",            // empty archive name
    };
    for (const char* line : bad) {
        ExtractCommand cmd;
        std::string error;
        EXPECT_FALSE(ParseExtractCommand(line, &cmd, &error)) << "accepted: " << line;
        EXPECT_FALSE(error.empty()) << line;
    }
}

TEST(CommandLine, UnterminatedQuoteRunsToTheEnd) {
    auto args = archive::SplitCommandLine("x \"C:\\a b.zip -oC:\\");
    ASSERT_EQ(2u, args.size());
    EXPECT_EQ("C:\\a b.zip -oC:\\", args[1].text);
}

TEST(CopyToBuffer, AlwaysTerminatedNeverOverrun) {
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    archive::CopyToBuffer("0123456789", buf, 5);
    EXPECT_STREQ("0123", buf);
    EXPECT_EQ('#', buf[5]);
    archive::CopyToBuffer("ab", buf, sizeof buf);
    EXPECT_STREQ("ab", buf);
    buf[0] = '#';
    archive::CopyToBuffer("ab", buf, 0);
    EXPECT_EQ('#', buf[0]);
    archive::CopyToBuffer("ab", nullptr, 100);  // must not crash
    archive::CopyToBuffer("ab", buf, 1);
    EXPECT_STREQ("", buf);
}
