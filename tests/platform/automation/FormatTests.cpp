#include <gtest/gtest.h>

#include "platform/automation/Conversion.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Format.h"

namespace automation {
namespace {

Date Sample() {
    return Date(DateSerial(2003, 3, 5).serial + TimeSerial(14, 7, 9).serial);
}

TEST(FormatDate, PatternsTheSystemUses) {
    const struct {
        Date date;
        const char* pattern;
        const char* expected;
    } cases[] = {
        {Sample(), "dd-mmm-yyyy hh:nn:ss", "05-Mar-2003 14:07:09"},
        {Sample(), "yyyy-mm-dd-hh:nn:ss", "2003-03-05-14:07:09"},
        {Sample(), "dd mmm yyyy hh:nn:ss", "05 Mar 2003 14:07:09"},
        {Sample(), "hh:nn:ss", "14:07:09"},
        {DateSerial(2003, 3, 5), "dd-mmm-yyyy hh:nn:ss", "05-Mar-2003 00:00:00"},
        {Date(0.0), "dd-mmm-yyyy hh:nn:ss", "30-Dec-1899 00:00:00"},
        {Date(UNKNOWN_DATE), "dd-mmm-yyyy hh:nn:ss", "01-Jan-1601 00:00:00"},
        {Date(-1.25), "dd-mmm-yyyy hh:nn:ss", "29-Dec-1899 06:00:00"},
        {Date(kMaxDateSerial + 0.5), "yyyy-mm-dd-hh:nn:ss", "9999-12-31-12:00:00"},
        {DateSerial(100, 1, 1), "dd mmm yyyy hh:nn:ss", "01 Jan 100 00:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Format(c.date, c.pattern), c.expected) << c.pattern << " " << c.date.serial;
    }
}

TEST(FormatDate, GeneralEngine) {
    const struct {
        const char* pattern;
        const char* expected;
    } cases[] = {
        {"h:mm AM/PM", "2:07 PM"},  // m right after an hour is the minute
        {"hh:mm a/p", "02:07 p"},
        {"h AMPM", "2 PM"},
        {"m/d/yy", "3/5/03"},
        {"mmmm d, yyyy", "March 5, 2003"},
        {"dddd ddd", "Wednesday Wed"},
        {"\\y yyyy", "y 2003"},
        {"\"Year\" yyyy", "Year 2003"},
        {"q", "1"},
        {"y", "64"},
        {"w ww", "4 10"},
        {"ddddd", "3/5/2003"},
        {"dddddd", "Wednesday, March 5, 2003"},
        {"ttttt", "2:07:09 PM"},
        {"c", "3/5/2003 2:07:09 PM"},
        {"Long Date", "Wednesday, March 5, 2003"},
        {"medium date", "05-Mar-03"},
        {"Short Date", "3/5/2003"},
        {"Long Time", "2:07:09 PM"},
        {"Short Time", "14:07"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Format(Sample(), c.pattern), c.expected) << c.pattern;
    }
    // Twelve o'clock on the 12-hour clock.
    EXPECT_EQ(Format(Date(0.0), "h:nn AM/PM"), "12:00 AM");
    EXPECT_EQ(Format(Date(0.5), "h:nn AM/PM"), "12:00 PM");
}

TEST(FormatDate, GeneralDateShowsOnlyThePartsThatAreSet) {
    EXPECT_EQ(Format(Sample()), "3/5/2003 2:07:09 PM");
    EXPECT_EQ(Format(DateSerial(2003, 3, 5)), "3/5/2003");
    EXPECT_EQ(Format(Date(0.0)), "12:00:00 AM");
    EXPECT_EQ(Format(Date(0.5), "General Date"), "12:00:00 PM");
    EXPECT_EQ(Format(Date(-49192.24), "General Date"), "4/24/1765 5:45:36 AM");
    EXPECT_EQ(CStr(Date(365.0)), "12/30/1900");
}

TEST(FormatDate, TextRoundTripsThroughCDate) {
    const Date dates[] = {Sample(),  DateSerial(1850, 6, 1), Date(-1.25),
                          Date(0.0), DateSerial(2003, 3, 5), Date(2958465.5)};
    for (const char* pattern :
         {"dd-mmm-yyyy hh:nn:ss", "yyyy-mm-dd-hh:nn:ss", "dd mmm yyyy hh:nn:ss", "General Date"}) {
        for (const Date& d : dates) {
            const std::string text = Format(d, pattern);
            ASSERT_TRUE(IsDate(text)) << text;
            EXPECT_EQ(PartsOf(CDate(text)), PartsOf(d)) << pattern << ": " << text;
        }
    }
}

TEST(FormatNumber, PatternsTheSystemUses) {
    const struct {
        double value;
        const char* pattern;
        const char* expected;
    } cases[] = {
        {0, "###,###,###,###", ""},
        {0.4, "###,###,###,###", ""},
        {999, "###,###,###,###", "999"},
        {1000, "###,###,###,###", "1,000"},
        {1234567, "###,###,###,###", "1,234,567"},
        {4294967296.0, "###,###,###,###", "4,294,967,296"},
        {-1234, "###,###,###,###", "-1,234"},
        {0, "###,###,###,###,##0", "0"},
        {65536, "###,###,###,###,##0", "65,536"},
        {1099511627776.0, "###,###,###,###,##0", "1,099,511,627,776"},
        {0, "##0", "0"},
        {5, "##0", "5"},
        {12345, "##0", "12345"},
        {2.5, "##0", "3"},  // Format rounds halves away from zero
        {-2.5, "##0", "-3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Format(c.value, c.pattern), c.expected) << c.pattern << " " << c.value;
    }
}

TEST(FormatNumber, GeneralEngine) {
    const struct {
        double value;
        const char* pattern;
        const char* expected;
    } cases[] = {
        {3.14159, "0.00", "3.14"},
        {0.125, "0.00", "0.13"},
        {-0.001, "0.00", "0.00"},
        {2.675, "0.00", "2.68"},
        {5, "#.##", "5."},
        {5.5, "#.##", "5.5"},
        {0.5, "#.00", ".50"},
        {5.5, ".00", "5.50"},
        {0.5, ".00", ".50"},
        {7, "000", "007"},
        {0.256, "0%", "26%"},
        {12345, "0.00E+00", "1.23E+04"},
        {0.00012, "0.00E+00", "1.20E-04"},
        {0.00012, "0.0e-0", "1.2e-4"},
        {99999, "0.00E+00", "1.00E+05"},
        {0, "0.00E+00", "0.00E+00"},
        {1234567, "#,##0,", "1,235"},
        {1234567, "0,,", "1"},
        {-5, "0;(0);\\z\\e\\r\\o", "(5)"},
        {0, "0;(0);\\z\\e\\r\\o", "zero"},
        {5, "0;(0);\\z\\e\\r\\o", "5"},
        {-5, "0;;\"nil\"", "-5"},
        {1234.5, "$#,##0.00", "$1,234.50"},
        {5551234567.0, "(###) ###-####", "(555) 123-4567"},
        {1234.5, "Standard", "1,234.50"},
        {1234.5, "Fixed", "1234.50"},
        {1234.5, "Currency", "$1,234.50"},
        {-1234.5, "Currency", "($1,234.50)"},
        {0.5, "Percent", "50.00%"},
        {1234.5, "Scientific", "1.23E+03"},
        {1234.5, "General Number", "1234.5"},
        {0, "Yes/No", "No"},
        {-3, "yes/no", "Yes"},
        {1, "True/False", "True"},
        {0, "On/Off", "Off"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Format(c.value, c.pattern), c.expected) << c.pattern << " " << c.value;
    }
}

TEST(FormatValue, KindsOtherThanNumbersAndDates) {
    EXPECT_EQ(Format("1234", "###,###"), "1,234");
    EXPECT_EQ(Format("abc", "0"), "abc");
    EXPECT_EQ(Format("2003-03-05", "dd mmm yyyy"), "05 Mar 2003");
    EXPECT_EQ(Format(Variant(), "0"), "0");
    EXPECT_EQ(Format(Variant()), "");
    EXPECT_EQ(Format(Null, "0"), "");
    EXPECT_EQ(Format(Null, "0;-0;0;\"none\""), "none");
    EXPECT_EQ(Format(true, "0"), "-1");
    EXPECT_EQ(Format(true), "True");
    EXPECT_EQ(Format(Currency::FromScaled(199500)), "19.95");
    EXPECT_EQ(Format(Currency::FromScaled(199500), "0.000"), "19.950");
    EXPECT_EQ(Format(Date(37685.5), "0.0"), "37685.5");
    EXPECT_EQ(Format(37685.5, "dd-mmm-yyyy hh:nn"), "05-Mar-2003 12:00");
    EXPECT_THROW(Format(StringArray{"a"}, "0"), Error);
}

TEST(FormatLocale, MonthNamesAndSeparatorsFollowTheLocale) {
    Locale german = Locale::English();
    german.shortMonthNames[2] = std::string("Mär");
    german.shortDatePattern = std::string("dd.mm.yyyy");
    german.longTimePattern = std::string("hh:nn:ss");
    german.decimalSeparator = std::string(",");
    german.thousandsSeparator = std::string(".");
    SetLocale(german);
    EXPECT_EQ(Format(Sample(), "dd mmm yyyy hh:nn:ss"), "05 Mär 2003 14:07:09");
    EXPECT_EQ(Format(Sample()), "05.03.2003 14:07:09");
    EXPECT_EQ(Format(1234567.5, "#,##0.00"), "1.234.567,50");
    EXPECT_EQ(CStr(1.5), "1,5");
    EXPECT_DOUBLE_EQ(CDbl("1.234,5"), 1234.5);
    EXPECT_EQ(PartsOf(CDate("05 Mär 2003")), (DateParts{2003, 3, 5, 0, 0, 0}));
    EXPECT_EQ(PartsOf(CDate("05.03.2003")), (DateParts{2003, 3, 5, 0, 0, 0}));
    // Val always reads a point, whatever the locale says.
    EXPECT_DOUBLE_EQ(Val("1.5"), 1.5);
    SetLocale(Locale::English());
    EXPECT_EQ(Format(Sample(), "dd mmm yyyy"), "05 Mar 2003");
}

TEST(FormatLocale, HostLocaleFallsBackToEnglish) {
    for (const char* name : {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
        setenv("LC_ALL", name, 1);
        const Locale host = Locale::FromHost();
        EXPECT_EQ(host.shortMonthNames[0], "Jan") << name;
        EXPECT_EQ(host.shortDatePattern, "m/d/yyyy") << name;
    }
    unsetenv("LC_ALL");
}

}  // namespace
}  // namespace automation
