#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "platform/automation/Conversion.h"
#include "platform/automation/Errors.h"

namespace automation {
namespace {

int ErrorOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const Error& e) {
        return e.Number();
    }
    return 0;
}

TEST(WholeNumbers, RoundHalvesToEven) {
    const struct {
        double value;
        std::int32_t expected;
    } cases[] = {
        {0.5, 0},   {1.5, 2},    {2.5, 2},    {3.5, 4},      {-0.5, 0}, {-1.5, -2},
        {-2.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.5001, -3}, {0.0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CLng(c.value), c.expected) << c.value;
        EXPECT_EQ(CInt(c.value), c.expected) << c.value;
        EXPECT_EQ(Round(c.value), c.expected) << c.value;
    }
}

TEST(WholeNumbers, OverflowAtTheEdgesOfEachType) {
    const struct {
        std::function<void()> body;
        int error;
    } cases[] = {
        {[] { CInt(32767.4); }, 0},
        {[] { CInt(32767.5); }, Overflow},  // rounds to 32768
        {[] { CInt(-32768.5); }, 0},        // rounds to the even -32768
        {[] { CInt(-32768.6); }, Overflow},
        {[] { CInt(40000); }, Overflow},
        {[] { CLng(2147483647.5); }, Overflow},
        {[] { CLng(-2147483648.5); }, 0},
        {[] { CLng(1e10); }, Overflow},
        {[] { CByte(255.5); }, Overflow},
        {[] { CByte(-0.5); }, 0},
        {[] { CByte(-1); }, Overflow},
        {[] { CInt("99999"); }, Overflow},
        {[] { CLng(NAN); }, Overflow},
        {[] { CSng(1e300); }, Overflow},
        {[] { CCur(1e20); }, Overflow},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(ErrorOf(cases[i].body), cases[i].error) << "case " << i;
    }
}

TEST(WholeNumbers, FromOtherKinds) {
    EXPECT_EQ(CInt("2.5"), 2);
    EXPECT_EQ(CInt(" 3.5 "), 4);
    EXPECT_EQ(CInt(true), -1);
    EXPECT_EQ(CInt(Variant()), 0);
    EXPECT_EQ(CInt(Currency::FromScaled(25000)), 2);
    EXPECT_EQ(CInt(Currency::FromScaled(35000)), 4);
    EXPECT_EQ(CInt(Currency::FromScaled(-25000)), -2);
    EXPECT_EQ(CLng(Date(37685.75)), 37686);
    EXPECT_EQ(CLng("&HFFFF"), -1);
    EXPECT_EQ(CLng("&H10000"), 65536);
    EXPECT_EQ(CByte(std::uint8_t{200}), 200);
    EXPECT_EQ(ErrorOf([] { CInt("abc"); }), TypeMismatch);
    EXPECT_EQ(ErrorOf([] { CInt(""); }), TypeMismatch);
    EXPECT_EQ(ErrorOf([] { CInt(Null); }), InvalidUseOfNull);
    EXPECT_EQ(ErrorOf([] { CInt(StringArray{"1"}); }), TypeMismatch);
}

TEST(Round, DecimalPlaces) {
    EXPECT_DOUBLE_EQ(Round(1.2345, 2), 1.23);
    EXPECT_DOUBLE_EQ(Round(1.235, 1), 1.2);
    EXPECT_DOUBLE_EQ(Round(0.125, 2), 0.12);
    EXPECT_EQ(ErrorOf([] { Round(1.0, -1); }), InvalidProcedureCall);
}

TEST(CStr, TextOfEachKind) {
    const struct {
        Variant value;
        const char* expected;
    } cases[] = {
        {Variant(), ""},
        {true, "True"},
        {false, "False"},
        {std::int16_t{-5}, "-5"},
        {2147483647, "2147483647"},
        {std::uint8_t{200}, "200"},
        {1.5, "1.5"},
        {-0.25, "-0.25"},
        {0.56789, "0.56789"},
        {1.0 / 3.0, "0.333333333333333"},
        {3.141592653589793, "3.14159265358979"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E+15"},
        {1.234e16, "1.234E+16"},
        {5.6789e-12, "5.6789E-12"},
        {0.0001, "0.0001"},
        {-0.0, "0"},
        {0.1f, "0.1"},
        {1.5f, "1.5"},
        {Currency::FromScaled(199500), "19.95"},
        {Currency::FromScaled(-5000), "-0.5"},
        {Currency::FromScaled(70000), "7"},
        {Date(36526.5), "1/1/2000 12:00:00 PM"},
        {"text", "text"},
        {ByteArray{{'a', 'b'}}, "ab"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CStr(c.value), c.expected) << c.value.TypeName();
    }
    EXPECT_EQ(ErrorOf([] { CStr(Null); }), InvalidUseOfNull);
    EXPECT_EQ(ErrorOf([] { CStr(VariantArray{1, 2}); }), TypeMismatch);
}

TEST(CDbl, NumbersFromText) {
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"12", 12},          {" 12 ", 12},  {"-1.5", -1.5}, {"+7", 7},
        {"1,234.5", 1234.5}, {"1e3", 1000}, {"2.5D2", 250}, {".5", 0.5},
        {"&HFF", 255},       {"&o17", 15},  {"1E-400", 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(CDbl(c.text), c.expected) << c.text;
        EXPECT_TRUE(IsNumeric(c.text)) << c.text;
    }
    for (const char* bad : {"", " ", "12abc", "abc", "1e", ",5", "1.2.3", "&H", "&HFG", "- 1"}) {
        EXPECT_EQ(ErrorOf([bad] { CDbl(bad); }), TypeMismatch) << bad;
        EXPECT_FALSE(IsNumeric(bad)) << bad;
    }
    EXPECT_EQ(ErrorOf([] { CDbl("1e999"); }), Overflow);
    EXPECT_TRUE(IsNumeric("1e999"));
    EXPECT_DOUBLE_EQ(CDbl(true), -1.0);
    EXPECT_DOUBLE_EQ(CDbl(Date(1.25)), 1.25);
    EXPECT_TRUE(IsNumeric(Variant()));
    EXPECT_FALSE(IsNumeric(Null));
    EXPECT_FALSE(IsNumeric(Date(1.0)));
}

TEST(CCur, FourDecimalPlacesHalfToEven) {
    EXPECT_EQ(CCur(19.95).scaled, 199500);
    EXPECT_EQ(CCur("19.95").scaled, 199500);
    EXPECT_EQ(CCur(0.00005).scaled, 0);
    EXPECT_EQ(CCur(0.00015).scaled, 2);
    EXPECT_EQ(CCur(-1.23456).scaled, -12346);
    EXPECT_EQ(CCur(123456789012.3456).scaled, 1234567890123456);
    EXPECT_EQ(CCur(-922337203685477.0).scaled, -9223372036854770000);
    EXPECT_EQ(CCur(1e-20).scaled, 0);
}

TEST(CBool, TextsAndNumbers) {
    const struct {
        Variant value;
        bool expected;
    } cases[] = {
        {"True", true},
        {"false", false},
        {" TRUE ", true},
        {"0", false},
        {"-1", true},
        {"2.5", true},
        {Variant(), false},
        {0.0, false},
        {0.001, true},
        {Date(0.0), false},
        {Currency::FromScaled(1), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CBool(c.value), c.expected) << CStr(c.value);
    }
    EXPECT_EQ(ErrorOf([] { CBool("yes"); }), TypeMismatch);
    EXPECT_EQ(ErrorOf([] { CBool(Null); }), InvalidUseOfNull);
}

TEST(CDate, TextInTheFormsTheSystemWritesAndReads) {
    const struct {
        const char* text;
        DateParts expected;
    } cases[] = {
        {"05-Mar-2003 14:07:09", {2003, 3, 5, 14, 7, 9}},
        {"2003-03-05-14:07:09", {2003, 3, 5, 14, 7, 9}},
        {"05 Mar 2003 14:07:09", {2003, 3, 5, 14, 7, 9}},
        {"3/5/2003 2:07:09 PM", {2003, 3, 5, 14, 7, 9}},
        {"3/5/2003", {2003, 3, 5, 0, 0, 0}},
        {"3/5/03", {2003, 3, 5, 0, 0, 0}},
        {"3/5/45", {1945, 3, 5, 0, 0, 0}},
        {"2003-03-05", {2003, 3, 5, 0, 0, 0}},
        {"March 5, 2003", {2003, 3, 5, 0, 0, 0}},
        {"Wednesday, March 5, 2003", {2003, 3, 5, 0, 0, 0}},
        {"5 march 2003", {2003, 3, 5, 0, 0, 0}},
        {"2003 Mar 5", {2003, 3, 5, 0, 0, 0}},
        {"13/5/2003", {2003, 5, 13, 0, 0, 0}},  // an impossible month swaps with the day
        {"14:07:09", {1899, 12, 30, 14, 7, 9}},
        {"12:00:00 AM", {1899, 12, 30, 0, 0, 0}},
        {"12:30 pm", {1899, 12, 30, 12, 30, 0}},
        {"1/1/100", {100, 1, 1, 0, 0, 0}},
        {"4/24/1765 5:45:36 AM", {1765, 4, 24, 5, 45, 36}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(IsDate(c.text)) << c.text;
        EXPECT_EQ(PartsOf(CDate(c.text)), c.expected) << c.text;
    }
    for (const char* bad : {"", "Unknown", "abc", "31/31/2003", "2/30/2003", "25:00", "1:2:3:4",
                            "13:00 PM", "3/5", "5 Mar", "Mar Apr 5 2003", "3/5/2003 x"}) {
        EXPECT_FALSE(IsDate(bad)) << bad;
        EXPECT_EQ(ErrorOf([bad] { CDate(bad); }), TypeMismatch) << bad;
    }
    EXPECT_EQ(ErrorOf([] { CDate(3000000.0); }), Overflow);
    EXPECT_EQ(ErrorOf([] { CDate(Null); }), InvalidUseOfNull);
    EXPECT_DOUBLE_EQ(CDate(1.5).serial, 1.5);
    EXPECT_FALSE(IsDate(1.5));
}

TEST(Val, ReadsTheLeadingNumber) {
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"12abc", 12},      {"", 0},
        {"abc", 0},         {" 1 2 3", 123},
        {"\t42\n", 42},     {"- 3", -3},
        {"+7", 7},          {"-12.5e1x", -125},
        {"1.2.3", 1.2},     {".5", 0.5},
        {"1e", 1},          {"1d2", 100},
        {"1,000", 1},       {"12 MB", 12},
        {"$5", 0},          {"19.95", 19.95},
        {"&HFF", 255},      {"&hff", 255},
        {"&HFFFF", -1},     {"&H8000", -32768},
        {"&H10000", 65536}, {"&HFFFFFFFF", -1},
        {"&O17", 15},       {"&Hxyz", 0},
        {"03", 3},          {"1e-2", 0.01},
        {"--1", 0},         {"\r5", 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(Val(c.text), c.expected) << c.text;
    }
    EXPECT_EQ(ErrorOf([] { Val("1e999"); }), Overflow);
    EXPECT_EQ(ErrorOf([] { Val("&H123456789"); }), Overflow);
}

TEST(HexOct, TwoComplementWidthFollowsTheType) {
    const struct {
        Variant value;
        const char* hex;
    } cases[] = {
        {255, "FF"},    {std::int16_t{-1}, "FFFF"}, {-1, "FFFFFFFF"}, {65535.0, "FFFF"}, {2.5, "2"},
        {true, "FFFF"}, {std::uint8_t{10}, "A"},    {"255", "FF"},    {Variant(), "0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(c.value), c.hex) << CStr(c.value);
    }
    EXPECT_EQ(Oct(8), "10");
    EXPECT_EQ(ErrorOf([] { Hex(Null); }), InvalidUseOfNull);
    EXPECT_EQ(ErrorOf([] { Hex(1e10); }), Overflow);
}

}  // namespace
}  // namespace automation
