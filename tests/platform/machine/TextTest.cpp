#include <gtest/gtest.h>

#include "platform/machine/NameMapping.h"
#include "platform/machine/Text.h"

namespace {

using machine::text::DecodeFileText;
using machine::text::FoldCase;

TEST(Text, FoldCaseCoversAsciiLatin1AndWindows1252Letters) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"comctl32.ocx", "COMCTL32.OCX"},
        {"\xC3\xA9"
         "cole",
         "\xC3\x89"
         "COLE"},                  // é -> É
        {"\xC3\xBF", "\xC5\xB8"},  // ÿ -> Ÿ, outside Latin-1
        {"\xC3\x9F", "\xC3\x9F"},  // ß has no single upper-case letter
        {"\xC3\xB7", "\xC3\xB7"},  // ÷ is not a letter
        {"\xC5\xA1\xC5\x93\xC5\xBE", "\xC5\xA0\xC5\x92\xC5\xBD"},  // šœž: code page letters
        {"\xD0\xB6", "\xD0\xB6"},  // ж is no Windows-1252 letter: left alone
        {"a\xFF"
         "b",
         "A\xFF"
         "B"},  // a stray byte survives untouched
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FoldCase(c.in), c.out) << c.in;
    }
    EXPECT_TRUE(machine::text::EqualsNoCase("Program Files", "PROGRAM FILES"));
    EXPECT_FALSE(machine::text::EqualsNoCase("a", "b"));
}

TEST(Text, FileTextIsUtf8ElseWindows1252) {
    EXPECT_EQ(DecodeFileText("\xEF\xBB\xBFKey=\xC3\xA9"), "Key=\xC3\xA9");  // BOM dropped
    EXPECT_EQ(DecodeFileText("caf\xE9"), "caf\xC3\xA9");                    // 1252 é
    EXPECT_EQ(DecodeFileText("\x80 \x9F"), "\xE2\x82\xAC \xC5\xB8");        // € and Ÿ
    EXPECT_EQ(DecodeFileText("\xC3\x28"), "\xC3\x83(");                     // broken UTF-8
    EXPECT_EQ(DecodeFileText(""), "");
}

TEST(NameMapping, ForbiddenHostCharactersRoundTrip) {
    const struct {
        const char* host;
        const char* windows;
    } cases[] = {
        {"a:b.txt",
         "a\xEF\x80\xBA"
         "b.txt"},  // U+F03A
        {"what?", "what\xEF\x80\xBF"},
        {"tab\tname", "tab\xEF\x80\x89name"},
        {"pipe|star*", "pipe\xEF\x81\xBCstar\xEF\x80\xAA"},
        {"plain name.dll", "plain name.dll"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(machine::HostNameToWindows(c.host), c.windows) << c.host;
        EXPECT_EQ(machine::WindowsNameToHost(c.windows), c.host) << c.host;
    }
    // A host name that is not UTF-8 reads as Windows-1252.
    EXPECT_EQ(machine::HostNameToWindows("r\xE9sum\xE9"), "r\xC3\xA9sum\xC3\xA9");
}

TEST(NameMapping, WindowsNamesThatNameNothingOnTheHost) {
    for (const char* name : {"", ".", "..", "a*b", "a?b", "a:b", "a|b", "a<b", "a>b", "a\"b",
                             "a\x01"
                             "b",
                             "a\xEF\x80\xAF"
                             "b" /* mapped "/" */,
                             "\xEF\x80\x80" /* mapped NUL */}) {
        EXPECT_FALSE(machine::WindowsNameToHost(name).has_value()) << name;
    }
}

}  // namespace
