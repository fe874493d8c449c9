#include "safe_path.h"

#include <gtest/gtest.h>

using archive::NormalizeEntryName;

TEST(SafePath, NormalizesAcceptedNames) {
    struct Case {
        const char* name;
        const char* path;
        bool dir;
    } cases[] = {
        {"a.txt", "a.txt", false},
        {"a/b/c.txt", "a/b/c.txt", false},
        {"a\\b\\c.txt", "a/b/c.txt", false},
        {"a/b/", "a/b", true},
        {"a\\b\\", "a/b", true},
        {"./a//b/./c", "a/b/c", false},
        {"name with blanks/x y.txt", "name with blanks/x y.txt", false},
        {"..a/b..", "..a/b..", false},  // dots inside names are fine
        {"console.txt", "console.txt", false},
        {"com10", "com10", false},
        {"./", "", true},  // the destination itself
        // Windows' folder names are refused only as the first component.
        {"Ticket/Windows/x.dll", "Ticket/Windows/x.dll", false},
        {"WindowsApps/x", "WindowsApps/x", false},
        {"Program Files Extra/x", "Program Files Extra/x", false},
        {"PROGRA~/x", "PROGRA~/x", false},
    };
    for (const Case& c : cases) {
        std::string path, reason;
        bool dir = false;
        ASSERT_TRUE(NormalizeEntryName(c.name, &path, &dir, &reason)) << c.name << ": " << reason;
        EXPECT_EQ(c.path, path) << c.name;
        EXPECT_EQ(c.dir, dir) << c.name;
    }
}

TEST(SafePath, RejectsEscapesDevicesAndOddCharacters) {
    const std::string bad[] = {
        "",
        "/etc/passwd",
        "\\windows\\x",
        "//server/share",
        "C:\\x",
        "c:x",
        "x:",
        "a:stream",
        "..",
        "../x",
        "a/../..",
        "a\\..\\b",
        "a/..",
        ". ./x",
        "a/.. /b",
        "....",
        "CON",
        "con.txt",
        "a/Aux",
        "PRN.inf",
        "nul",
        "COM1",
        "lpt9.x",
        "a\tb",
        "a\nb",
        std::string("a\0b", 3),
        ".",
        "//",
        // Windows' own top-level folders, in any case, spelling or 8.3 alias.
        "Windows/System32/x.dll",
        "windows\\x",
        "./WINDOWS/x",
        "Windows./x",
        "Windows /x",
        "PROGRAM FILES/x",
        "Program Files (x86)/a/b",
        "programdata/a",
        "Users/Public/a",
        "System Volume Information/a",
        "$recycle.bin/a",
        "PROGRA~1/x",
        "progra~2/x",
        "Windows/",
    };
    for (const std::string& name : bad) {
        std::string path, reason;
        bool dir = false;
        bool ok = NormalizeEntryName(name, &path, &dir, &reason);
        EXPECT_FALSE(ok) << "accepted \"" << name << "\" as \"" << path << "\"";
        EXPECT_FALSE(reason.empty()) << name;
    }
}
