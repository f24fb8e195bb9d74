#include <gtest/gtest.h>

#include "platform/automation/Text.h"

namespace automation {
namespace {

TEST(CaseMapping, AsciiLatin1AndWindows1252Letters) {
    const struct {
        const char* lower;
        const char* upper;
    } pairs[] = {
        {"abc xyz 123", "ABC XYZ 123"},
        {"café àéîõü çñ øæå þð", "CAFÉ ÀÉÎÕÜ ÇÑ ØÆÅ ÞÐ"},
        {"ÿ š œ ž", "Ÿ Š Œ Ž"},
        {"", ""},
    };
    for (const auto& p : pairs) {
        EXPECT_EQ(UCase(p.lower), p.upper);
        EXPECT_EQ(LCase(p.upper), p.lower);
    }
    // No single-letter partner, or not a letter at all: unchanged.
    EXPECT_EQ(UCase("straße µ ×÷ € ж"), "STRAßE µ ×÷ € ж");
    EXPECT_EQ(LCase("×÷ Ж"), "×÷ Ж");
    // Bytes that are not UTF-8 pass through untouched.
    EXPECT_EQ(UCase("a\xE9z"), "A\xE9Z");
    EXPECT_EQ(UCase("\xC3"), "\xC3");
}

TEST(CaseMapping, CompareIgnoringCase) {
    EXPECT_TRUE(EqualsIgnoreCase("Company_Name", "COMPANY_NAME"));
    EXPECT_TRUE(EqualsIgnoreCase("Émile", "éMILE"));
    EXPECT_FALSE(EqualsIgnoreCase("a", "ab"));
    EXPECT_LT(CompareIgnoreCase("apple", "Banana"), 0);
    EXPECT_GT(CompareIgnoreCase("b", "A"), 0);
    EXPECT_EQ(CompareIgnoreCase("x", "X"), 0);
}

TEST(Trim, OnlyBlanks) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(LTrim("  a "), "a ");
    EXPECT_EQ(RTrim("  a "), "  a");
    EXPECT_EQ(Trim("\ta\r\n"), "\ta\r\n");
    EXPECT_EQ(Trim("    "), "");
}

TEST(Utf8, ValidationAndWindows1252Fallback) {
    const struct {
        const char* bytes;
        bool valid;
    } cases[] = {
        {"plain", true},         {"caf\xC3\xA9", true},
        {"\xE2\x82\xAC", true},  {"\xF0\x9F\x98\x80", true},
        {"caf\xE9", false},      {"\xC0\xAF", false},
        {"\xED\xA0\x80", false}, {"\xF4\x90\x80\x80", false},
        {"\xE2\x82", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
    }
    EXPECT_EQ(TextFromFileBytes("caf\xC3\xA9"), "café");
    EXPECT_EQ(TextFromFileBytes("caf\xE9 \x80 \x93x\x94 \x81"), "café € “x” \xC2\x81");
    EXPECT_EQ(CodePointFromWindows1252(0x9F), U'\u0178');
    EXPECT_EQ(CodePointFromWindows1252(0xA0), U'\u00A0');

    std::string out;
    for (const char32_t c : {U'A', U'\u00E9', U'\u20AC', U'\U0001F600'}) {
        AppendUtf8(out, c);
    }
    EXPECT_EQ(out, "Aé€\xF0\x9F\x98\x80");
    std::size_t pos = 0;
    const std::string mixed = "é\xE9";
    EXPECT_EQ(NextCodePoint(mixed, pos), U'\u00E9');
    EXPECT_EQ(NextCodePoint(mixed, pos), U'\u00E9');
    EXPECT_EQ(pos, mixed.size());
}

}  // namespace
}  // namespace automation
