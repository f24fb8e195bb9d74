// Format(value, pattern): the runtime's formatting of numbers and dates.
//
// Date patterns: d dd ddd dddd (day, two-digit day, short and long day name), ddddd (short
// date), dddddd (long date), w (weekday number), m mm mmm mmmm (month, two-digit month, short and
// long month name; m/mm right after an hour means minutes), q (quarter), y (day of the year), yy
// yyyy (year), h hh (hour), n nn (minute), s ss (second), ttttt (long time), c (general date),
// AM/PM am/pm A/P a/p AMPM (12-hour clock with those markers), "/" and ":" (the locale's
// separators), "quoted text" and \x (literals). Names come from the current locale.
//
// Number patterns: 0 (digit or zero), # (digit or nothing), "." (decimal point), "," (grouping
// between digit placeholders; right before the point or at the end it divides by 1000), %
// (percent), E+ E- e+ e- (exponent), literals, up to four sections separated by ";" (positive;
// negative; zero; Null). A pattern whose digits are all "#" gives an empty number for 0, so
// Format(0, "###,###,###,###") is "". Digits round half away from zero.
//
// Named patterns: "General Date", "Long Date", "Medium Date", "Short Date", "Long Time",
// "Medium Time", "Short Time", "General Number", "Currency", "Fixed", "Standard", "Percent",
// "Scientific", "Yes/No", "True/False", "On/Off" (any case).
//
// Values: numbers and Booleans format as numbers (or, under a date pattern, as the date with
// that serial); dates as dates (or as their serial under a number pattern); a string is first
// read as a number, then as a date, and is returned unchanged when it is neither; Empty formats
// as 0 under a pattern and as "" without one; Null gives the fourth section or "".
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/automation/Variant.h"

namespace automation {

struct Locale {
    std::array<std::string, 12> shortMonthNames;
    std::array<std::string, 12> longMonthNames;
    std::array<std::string, 7> shortDayNames;  // Sunday first
    std::array<std::string, 7> longDayNames;
    // Date and time layouts written in Format's own pattern letters.
    std::string shortDatePattern;
    std::string longDatePattern;
    std::string longTimePattern;
    std::string amText;
    std::string pmText;
    std::string dateSeparator;
    std::string timeSeparator;
    std::string decimalSeparator;
    std::string thousandsSeparator;
    std::string currencySymbol;

    // The English (United States) conventions the runtime used by default: short months
    // Jan..Dec, short date m/d/yyyy, long time h:nn:ss AMPM.
    static Locale English();
    // The conventions of the host's LC_TIME and LC_NUMERIC environment; English for the C and
    // POSIX locales and whenever the host locale cannot be loaded.
    static Locale FromHost();
};

// The locale every conversion and Format call uses; English until a program sets another.
const Locale& CurrentLocale();
void SetLocale(Locale locale);

std::string Format(const Variant& value, std::string_view pattern = {});

// The general date text of a date (what CStr gives): short date, long time, or both.
std::string GeneralDateText(Date date);

}  // namespace automation
