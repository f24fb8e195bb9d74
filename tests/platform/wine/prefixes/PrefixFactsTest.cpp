// The Windows version a prefix reports, read from its registry files' text without reading
// them into a registry: Wine's own setting first, then the version keys, found in any case.
#include <gtest/gtest.h>

#include "platform/wine/prefixes/PrefixFacts.h"

namespace {

std::string Key(const std::string& path, const std::string& values) {
    return "\n[" + path + "] 1700000000\n#time=1da1e2f3a4b5c6d\n" + values;
}

TEST(PrefixFacts, TheWindowsVersionIsWhatWineReports) {
    const std::string head = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n";
    const std::string nt = "Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion";
    struct Case {
        const char* what;
        std::string system;
        std::string user;
        std::string shown;
    };
    const Case cases[] = {
        {"Windows 7 as Wine 8 makes it",
         Key(nt, "\"CurrentBuildNumber\"=\"7601\"\n\"CurrentVersion\"=\"6.1\"\n") +
             Key(nt + "\\\\Fonts", "\"CurrentVersion\"=\"9.9\"\n"),
         "", "Windows 7 (6.1.7601)"},
        {"Windows 10 keeps 6.3 for old programs",
         Key(nt,
             "\"CurrentBuildNumber\"=\"19043\"\n\"CurrentMajorVersionNumber\"=dword:0000000a\n"
             "\"CurrentMinorVersionNumber\"=dword:00000000\n\"CurrentVersion\"=\"6.3\"\n"),
         "", "Windows 10 (10.0.19043)"},
        {"Windows 11 by its build",
         Key(nt,
             "\"CurrentBuildNumber\"=\"22000\"\n\"CurrentMajorVersionNumber\"=dword:0000000a\n"
             "\"CurrentMinorVersionNumber\"=dword:00000000\n\"CurrentVersion\"=\"6.3\"\n"),
         "", "Windows 11 (10.0.22000)"},
        {"a key spelt in another case, with Windows line ends",
         Key("software\\\\microsoft\\\\windows nt\\\\currentversion",
             "\"currentbuildnumber\"=\"2600\"\r\n\"currentversion\"=\"5.1\"\r\n"),
         "", "Windows XP (5.1.2600)"},
        {"the user's setting wins", Key(nt, "\"CurrentVersion\"=\"6.1\"\n"),
         Key("Software\\\\Wine", "\"Version\"=\"win98\"\n"), "Windows 98 (win98)"},
        {"a setting Wine does not know is shown as it is", "",
         Key("Software\\\\Wine", "\"Version\"=\"win3000\"\n"), "win3000"},
        {"a 9x prefix",
         Key("Software\\\\Microsoft\\\\Windows\\\\CurrentVersion",
             "\"VersionNumber\"=\"4.10.2222\"\n"),
         "", "Windows 98 (4.10.2222)"},
        {"no version at all", Key("Software\\\\Wine", "\"A\"=\"1\"\n"), "", ""},
        {"a version that is no number", Key(nt, "\"CurrentVersion\"=\"six\"\n"), "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(wine::prefixes::WindowsVersionText(head + c.system, c.user), c.shown);
    }
}

}  // namespace
