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

// The comparison walks both texts without upper-casing them first; it must order them exactly
// as their upper-case forms compare byte by byte, stray bytes and all.
TEST(CaseMapping, CompareAgreesWithTheUpperCaseForms) {
    const char* texts[] = {"",
                           "a",
                           "A",
                           "ab",
                           "aB",
                           "b",
                           "é",
                           "É",
                           "e",
                           "ÿ",
                           "Ÿ",
                           "š",
                           "Z",
                           "\xC3",
                           "\xC3\xA9",
                           "\xC3\x28",
                           "x\xE9",
                           "X\xC9",
                           "\xFF",
                           "straße",
                           "STRASSE",
                           "\xED\xA0\x80",
                           "ж",
                           "Ж",
                           "a\x80"
                           "b"};
    const auto sign = [](int c) { return c < 0 ? -1 : c > 0 ? 1 : 0; };
    for (const char* a : texts) {
        for (const char* b : texts) {
            const int expected = sign(UCase(a).compare(UCase(b)));
            EXPECT_EQ(CompareIgnoreCase(a, b), expected) << a << " vs " << b;
            EXPECT_EQ(EqualsIgnoreCase(a, b), expected == 0) << a << " vs " << b;
        }
    }
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
    EXPECT_EQ(TextFromFileBytes("\xEF\xBB\xBFKey=\xC3\xA9"), "Key=é");  // mark dropped
    EXPECT_EQ(TextFromFileBytes("\xEF\xBB\xBF\xE9"), "ï»¿é");           // 1252: kept
    EXPECT_EQ(TextFromFileBytes("a\xEF\xBB\xBF"), "a\xEF\xBB\xBF");     // not leading
    EXPECT_EQ(TextFromWindows1252("\x80\xE9"), "€é");
    EXPECT_EQ(TextFromFileBytes("caf\xE9 \x80 \x93x\x94 \x81"), "café € “x” \xC2\x81");
    EXPECT_EQ(CodePointFromWindows1252(0x9F), U'\u0178');
    EXPECT_EQ(CodePointFromWindows1252(0xA0), U'\u00A0');

    std::string out;
    for (const char32_t c : {U'A', U'\u00E9', U'\u20AC', U'\U0001F600'}) {
        AppendUtf8(out, c);
    }
    EXPECT_EQ(out, "Aé€\xF0\x9F\x98\x80");
    // A lone surrogate (a broken UTF-16 text) or a number beyond Unicode is no character.
    for (const char32_t c : {char32_t{0xD800}, char32_t{0xDFFF}, char32_t{0x110000}}) {
        std::string bad;
        AppendUtf8(bad, c);
        EXPECT_EQ(bad, "\xEF\xBF\xBD") << static_cast<unsigned>(c);
    }
    std::size_t pos = 0;
    const std::string mixed = "é\xE9";
    EXPECT_EQ(NextCodePoint(mixed, pos), U'\u00E9');
    EXPECT_EQ(NextCodePoint(mixed, pos), U'\u00E9');
    EXPECT_EQ(pos, mixed.size());
}

}  // namespace
}  // namespace automation
