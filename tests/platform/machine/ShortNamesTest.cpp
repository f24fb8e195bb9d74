#include <gtest/gtest.h>

#include <cstdio>

#include "platform/machine/ShortNames.h"

namespace {

using machine::AssignShortNames;
using machine::IsValidShortName;

TEST(ShortNames, ValidEightDotThreeNames) {
    for (const char* name : {"AUTOEXEC.BAT", "readme.txt", "A", "COMCTL32.OCX", "~$X.{}", "A.B"}) {
        EXPECT_TRUE(IsValidShortName(name)) << name;
    }
    for (const char* name : {"", "ABCDEFGHI.TXT", "A.HTML", "A.B.C", "A B.TXT", ".profile", "A.",
                             "A+B.TXT", "caf\xC3\xA9.txt"}) {
        EXPECT_FALSE(IsValidShortName(name)) << name;
    }
}

TEST(ShortNames, DerivedAsWindowsDerivesThem) {
    const struct {
        const char* longName;
        const char* shortName;
    } cases[] = {
        {"Program Files", "PROGRA~1"},
        {"archive.html", "ARCHIV~1.HTM"},
        {"a b c.txt", "ABC~1.TXT"},
        {"x+y,z.dat", "X_Y_Z~1.DAT"},
        {".htaccess", "HTACCE~1"},
        {"my.long.name.jpeg", "MYLONG~1.JPE"},
        {"r\xC3\xA9sum\xC3\xA9.doc", "R_SUM_~1.DOC"},
        {"...", "_~1"},
        {"readme.txt", "readme.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AssignShortNames({c.longName}), std::vector<std::string>{c.shortName})
            << c.longName;
    }
}

TEST(ShortNames, NumbersFollowTheSortedLongNamesAndAvoidTakenNames) {
    EXPECT_EQ(AssignShortNames({"Program Files", "PROGRA~1", "Program Data"}),
              (std::vector<std::string>{"PROGRA~3", "PROGRA~1", "PROGRA~2"}));
    // Two valid names equal but for case cannot share one short name.
    EXPECT_EQ(AssignShortNames({"README.TXT", "readme.txt"}),
              (std::vector<std::string>{"README.TXT", "README~1.TXT"}));
}

TEST(ShortNames, TheBaseShrinksWhenTheNumberGrows) {
    std::vector<std::string> names;
    for (int i = 0; i < 11; ++i) {
        names.push_back("document number " + std::to_string(i) + ".text");
    }
    const auto shortNames = AssignShortNames(names);
    // "document number 10" sorts after "... 1" and before "... 2".
    EXPECT_EQ(shortNames[0], "DOCUME~1.TEX");
    EXPECT_EQ(shortNames[10], "DOCUME~3.TEX");
    EXPECT_EQ(shortNames[7], "DOCUME~9.TEX");
    EXPECT_EQ(shortNames[8], "DOCUM~10.TEX");
    EXPECT_EQ(shortNames[9], "DOCUM~11.TEX");
}

TEST(ShortNames, ManyAlikeNamesTakeTheNextFreeNumbersInOrder) {
    // Backup folders hold thousands of names that share their first six characters.
    std::vector<std::string> names = {"C~~WIN~5.BAC", "C~~WI~12.BAC"};
    for (int i = 0; i < 3000; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "C~~WINDOWS~SYSTEM~LIB%04d.DLL.backup", i);
        names.push_back(name);
    }
    const auto shortNames = AssignShortNames(names);
    EXPECT_EQ(shortNames[0], "C~~WIN~5.BAC");
    EXPECT_EQ(shortNames[1], "C~~WI~12.BAC");
    EXPECT_EQ(shortNames[2], "C~~WIN~1.BAC");
    EXPECT_EQ(shortNames[5], "C~~WIN~4.BAC");
    EXPECT_EQ(shortNames[6], "C~~WIN~6.BAC");
    EXPECT_EQ(shortNames[10], "C~~WI~10.BAC");
    EXPECT_EQ(shortNames[12], "C~~WI~13.BAC");
    EXPECT_EQ(shortNames[3001], "C~~~3002.BAC");
}

}  // namespace
