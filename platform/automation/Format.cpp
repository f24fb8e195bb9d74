#include "platform/automation/Format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "platform/automation/Conversion.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"

namespace automation {
namespace {

Locale& GlobalLocale() {
    static Locale locale = Locale::English();
    return locale;
}

bool StartsWithIgnoreCase(std::string_view text, std::size_t pos, std::string_view prefix) {
    return pos + prefix.size() <= text.size() &&
           EqualsIgnoreCase(text.substr(pos, prefix.size()), prefix);
}

std::string TwoDigits(int value) {
    std::string text = std::to_string(value);
    if (text.size() < 2) {
        text.insert(text.begin(), '0');
    }
    return text;
}

// Splits a pattern at the ";" that are not quoted or escaped.
std::vector<std::string_view> Sections(std::string_view pattern) {
    std::vector<std::string_view> sections;
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '"') {
            quoted = !quoted;
        } else if (pattern[i] == '\\' && !quoted) {
            ++i;
        } else if (pattern[i] == ';' && !quoted) {
            sections.push_back(pattern.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(pattern.substr(start));
    return sections;
}

// True when the pattern holds a digit placeholder outside quotes and escapes.
bool IsNumberPattern(std::string_view pattern) {
    bool quoted = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '\\') {
            ++i;
        } else if (c == '0' || c == '#') {
            return true;
        }
    }
    return false;
}

bool IsDatePattern(std::string_view pattern) {
    bool quoted = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(pattern[i])));
        if (pattern[i] == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '\\') {
            ++i;
        } else if (std::string_view("dmyhnswqct/:").find(c) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

// ---- Numbers -----------------------------------------------------------------------------

// Decimal digits of a non-negative value with 15 significant digits, rounded half away from
// zero to `decimals` places: returns the digits of the rounded value with `decimals` of them
// after the point (at least one digit before it).
std::string RoundedDigits(double value, int decimals) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const auto e = text.find('e');
    std::string mantissa;
    for (const char c : text.substr(0, e)) {
        if (c != '.') {
            mantissa.push_back(c);
        }
    }
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(),
                    exponent);
    // value = 0.<mantissa> * 10^(exponent + 1); place the point.
    const int pointAt = exponent + 1;
    std::string digits;
    if (pointAt <= 0) {
        digits = std::string(static_cast<std::size_t>(-pointAt), '0') + mantissa;
        digits.insert(0, 1, '0');
    } else if (static_cast<std::size_t>(pointAt) >= mantissa.size()) {
        digits = mantissa + std::string(static_cast<std::size_t>(pointAt) - mantissa.size(), '0');
    } else {
        digits = mantissa;
    }
    const std::size_t wholeCount = pointAt <= 0 ? 1 : static_cast<std::size_t>(pointAt);
    const std::size_t keep = wholeCount + static_cast<std::size_t>(decimals);
    if (digits.size() < keep) {
        digits.append(keep - digits.size(), '0');
    } else if (digits.size() > keep) {
        const bool up = digits[keep] >= '5';
        digits.resize(keep);
        if (up) {
            std::size_t i = keep;
            while (i > 0) {
                --i;
                if (digits[i] == '9') {
                    digits[i] = '0';
                } else {
                    ++digits[i];
                    break;
                }
            }
            if (i == 0 && digits[0] == '0') {
                digits.insert(0, 1, '1');
            }
        }
    }
    return digits;
}

struct NumberToken {
    enum Kind { Literal, IntegerDigit, Point, FractionDigit, Exponent } kind;
    std::string text;  // literal text, the placeholder character, or "E+" style exponent
    int exponentDigits = 0;
    int exponentZeros = 0;
};

struct NumberPattern {
    std::vector<NumberToken> tokens;
    bool grouping = false;
    int scaleThousands = 0;
    int percents = 0;
    bool hasExponent = false;
};

NumberPattern ParseNumberPattern(std::string_view section) {
    NumberPattern pattern;
    bool afterPoint = false;
    bool afterExponent = false;
    const auto literal = [&](std::string text) {
        if (!pattern.tokens.empty() && pattern.tokens.back().kind == NumberToken::Literal) {
            pattern.tokens.back().text += text;
        } else {
            pattern.tokens.push_back({NumberToken::Literal, std::move(text)});
        }
    };
    const auto nextIsDigit = [&](std::size_t i) {
        while (i < section.size() && section[i] == ',') {
            ++i;
        }
        return i < section.size() && (section[i] == '0' || section[i] == '#');
    };
    for (std::size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (c == '"') {
            const auto close = section.find('"', i + 1);
            const auto end = close == std::string_view::npos ? section.size() : close;
            literal(std::string(section.substr(i + 1, end - i - 1)));
            i = end;
        } else if (c == '\\') {
            if (i + 1 < section.size()) {
                literal(std::string(1, section[++i]));
            }
        } else if ((c == '0' || c == '#') && !afterExponent) {
            pattern.tokens.push_back(
                {afterPoint ? NumberToken::FractionDigit : NumberToken::IntegerDigit,
                 std::string(1, c)});
        } else if ((c == '0' || c == '#') && afterExponent) {
            NumberToken& exponent = pattern.tokens.back();
            ++exponent.exponentDigits;
            exponent.exponentZeros += c == '0';
        } else if (c == '.' && !afterPoint && !afterExponent) {
            afterPoint = true;
            pattern.tokens.push_back({NumberToken::Point, "."});
        } else if (c == ',' && !afterPoint && !pattern.tokens.empty() &&
                   pattern.tokens.back().kind == NumberToken::IntegerDigit) {
            std::size_t run = i;
            while (run < section.size() && section[run] == ',') {
                ++run;
            }
            if (nextIsDigit(i)) {
                pattern.grouping = true;
            } else {
                pattern.scaleThousands += static_cast<int>(run - i);
            }
            i = run - 1;
        } else if ((c == 'E' || c == 'e') && i + 1 < section.size() &&
                   (section[i + 1] == '+' || section[i + 1] == '-') && !afterExponent &&
                   i + 2 < section.size() && (section[i + 2] == '0' || section[i + 2] == '#')) {
            pattern.tokens.push_back({NumberToken::Exponent, std::string(section.substr(i, 2))});
            pattern.hasExponent = true;
            afterExponent = true;
            ++i;
        } else {
            if (c == '%') {
                ++pattern.percents;
            }
            if (afterExponent && !pattern.tokens.empty() &&
                pattern.tokens.back().kind == NumberToken::Exponent) {
                afterExponent = false;
            }
            literal(std::string(1, c));
        }
    }
    return pattern;
}

std::string Group(const std::string& digits) {
    const std::string& separator = CurrentLocale().thousandsSeparator;
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(digits[i]);
        const std::size_t left = n - 1 - i;
        if (left > 0 && left % 3 == 0) {
            out += separator;
        }
    }
    return out;
}

std::string FormatNumberSection(double value, std::string_view section, bool withMinus) {
    const NumberPattern pattern = ParseNumberPattern(section);
    value = std::fabs(value) * std::pow(100.0, pattern.percents) /
            std::pow(1000.0, pattern.scaleThousands);
    int integerPlaces = 0;
    int integerZeros = 0;  // placeholders from the leftmost "0" to the point
    int fractionPlaces = 0;
    int fractionZeros = 0;  // placeholders up to the rightmost "0" after the point
    for (const auto& token : pattern.tokens) {
        if (token.kind == NumberToken::IntegerDigit) {
            ++integerPlaces;
            if (token.text == "0" || integerZeros > 0) {
                ++integerZeros;
            }
        } else if (token.kind == NumberToken::FractionDigit) {
            ++fractionPlaces;
            if (token.text == "0") {
                fractionZeros = fractionPlaces;
            }
        }
    }
    int exponent = 0;
    if (pattern.hasExponent && value != 0.0) {
        const int leading = integerPlaces;
        exponent = static_cast<int>(std::floor(std::log10(value))) - (leading - 1);
        double mantissa = value / std::pow(10.0, exponent);
        // Rounding may carry the mantissa into one more digit.
        const std::string check = RoundedDigits(mantissa, fractionPlaces);
        if (check.size() - static_cast<std::size_t>(fractionPlaces) >
            static_cast<std::size_t>(leading > 0 ? leading : 1)) {
            ++exponent;
            mantissa = value / std::pow(10.0, exponent);
        }
        value = mantissa;
    }
    const std::string digits = RoundedDigits(value, fractionPlaces);
    std::string whole = digits.substr(0, digits.size() - static_cast<std::size_t>(fractionPlaces));
    std::string fraction = digits.substr(whole.size());
    if (whole == "0") {
        whole.clear();
    }
    if (whole.size() < static_cast<std::size_t>(integerZeros)) {
        whole.insert(0, static_cast<std::size_t>(integerZeros) - whole.size(), '0');
    }
    while (fraction.size() > static_cast<std::size_t>(fractionZeros) && fraction.back() == '0') {
        fraction.pop_back();
    }
    const bool allZero = digits.find_first_not_of('0') == std::string::npos;

    // Integer digits fill the placeholders from the right; what does not fit goes to the first.
    std::vector<std::string> integerOut(static_cast<std::size_t>(integerPlaces));
    if (pattern.grouping && integerPlaces > 0) {
        integerOut[0] = Group(whole);
    } else {
        std::size_t remaining = whole.size();
        for (int k = integerPlaces - 1; k >= 0; --k) {
            if (remaining > 0) {
                integerOut[static_cast<std::size_t>(k)] =
                    whole.substr(k == 0 ? 0 : remaining - 1, k == 0 ? remaining : 1);
                remaining = k == 0 ? 0 : remaining - 1;
            }
        }
    }
    std::string out;
    if (withMinus && !allZero) {
        out.push_back('-');
    }
    int integerIndex = 0;
    std::size_t fractionIndex = 0;
    // Without integer placeholders the whole part still shows, right before the point.
    bool wholePending = integerPlaces == 0 && !whole.empty();
    for (const auto& token : pattern.tokens) {
        if (wholePending && token.kind != NumberToken::Literal) {
            out += whole;
            wholePending = false;
        }
        switch (token.kind) {
            case NumberToken::Literal:
                out += token.text;
                break;
            case NumberToken::IntegerDigit:
                out += integerOut[static_cast<std::size_t>(integerIndex++)];
                break;
            case NumberToken::Point:
                out += CurrentLocale().decimalSeparator;
                break;
            case NumberToken::FractionDigit:
                if (fractionIndex < fraction.size()) {
                    out.push_back(fraction[fractionIndex++]);
                }
                break;
            case NumberToken::Exponent: {
                const bool negative = exponent < 0;
                out.push_back(token.text[0]);
                if (negative) {
                    out.push_back('-');
                } else if (token.text[1] == '+') {
                    out.push_back('+');
                }
                std::string e = std::to_string(negative ? -exponent : exponent);
                if (e.size() < static_cast<std::size_t>(token.exponentZeros)) {
                    e.insert(0, static_cast<std::size_t>(token.exponentZeros) - e.size(), '0');
                }
                out += e;
                break;
            }
        }
    }
    return out;
}

std::string FormatNumber(double value, std::string_view pattern) {
    const auto sections = Sections(pattern);
    if (value < 0 && sections.size() >= 2 && !sections[1].empty()) {
        return FormatNumberSection(value, sections[1], false);
    }
    if (value == 0 && sections.size() >= 3 && !sections[2].empty()) {
        return FormatNumberSection(value, sections[2], false);
    }
    return FormatNumberSection(value, sections[0], value < 0);
}

// ---- Dates -------------------------------------------------------------------------------

std::string FormatDate(Date date, std::string_view pattern);

int DayOfYear(const DateParts& p) {
    return static_cast<int>(DateSerial(p.year, p.month, p.day).serial -
                            DateSerial(p.year, 1, 1).serial) +
           1;
}

// The 12-hour markers of a pattern: which text the AM/PM tokens print, found anywhere in it.
bool HasTwelveHourMarker(std::string_view pattern) {
    for (const std::string_view marker : {"AM/PM", "A/P", "AMPM"}) {
        for (std::size_t i = 0; i + marker.size() <= pattern.size(); ++i) {
            if (StartsWithIgnoreCase(pattern, i, marker)) {
                return true;
            }
        }
    }
    return false;
}

std::string FormatDate(Date date, std::string_view pattern) {
    const Locale& locale = CurrentLocale();
    const DateParts p = PartsOf(date);
    const bool twelveHour = HasTwelveHourMarker(pattern);
    const int hour = twelveHour ? (p.hour % 12 == 0 ? 12 : p.hour % 12) : p.hour;
    const bool pm = p.hour >= 12;
    std::string out;
    bool lastWasHour = false;
    std::size_t i = 0;
    const auto run = [&](char c) {
        std::size_t n = 0;
        while (i + n < pattern.size() &&
               std::tolower(static_cast<unsigned char>(pattern[i + n])) == c) {
            ++n;
        }
        return n;
    };
    while (i < pattern.size()) {
        const char raw = pattern[i];
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(raw)));
        bool isHour = false;
        if (raw == '"') {
            const auto close = pattern.find('"', i + 1);
            const auto end = close == std::string_view::npos ? pattern.size() : close;
            out += pattern.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (raw == '\\') {
            if (i + 1 < pattern.size()) {
                out.push_back(pattern[i + 1]);
            }
            i += 2;
            continue;
        }
        if (StartsWithIgnoreCase(pattern, i, "AM/PM")) {
            const bool upper = raw == 'A';
            out += pm ? (upper ? "PM" : "pm") : (upper ? "AM" : "am");
            i += 5;
            continue;
        }
        if (StartsWithIgnoreCase(pattern, i, "A/P")) {
            const bool upper = raw == 'A';
            out += pm ? (upper ? "P" : "p") : (upper ? "A" : "a");
            i += 3;
            continue;
        }
        if (StartsWithIgnoreCase(pattern, i, "AMPM")) {
            out += pm ? locale.pmText : locale.amText;
            i += 4;
            continue;
        }
        std::size_t n = 1;
        switch (c) {
            case 'd':
                n = run('d');
                if (n >= 6) {
                    n = 6;
                    out += FormatDate(date, locale.longDatePattern);
                } else if (n == 5) {
                    out += FormatDate(date, locale.shortDatePattern);
                } else if (n == 4) {
                    out += locale.longDayNames[static_cast<std::size_t>(Weekday(date) - 1)];
                } else if (n == 3) {
                    out += locale.shortDayNames[static_cast<std::size_t>(Weekday(date) - 1)];
                } else {
                    out += n == 2 ? TwoDigits(p.day) : std::to_string(p.day);
                }
                break;
            case 'm':
                n = run('m');
                if (n <= 2 && lastWasHour) {
                    out += n == 2 ? TwoDigits(p.minute) : std::to_string(p.minute);
                } else if (n >= 4) {
                    n = 4;
                    out += locale.longMonthNames[static_cast<std::size_t>(p.month - 1)];
                } else if (n == 3) {
                    out += locale.shortMonthNames[static_cast<std::size_t>(p.month - 1)];
                } else {
                    out += n == 2 ? TwoDigits(p.month) : std::to_string(p.month);
                }
                break;
            case 'y':
                n = run('y');
                if (n >= 3) {
                    n = n >= 4 ? 4 : 2;
                    out += n == 4 ? std::to_string(p.year) : TwoDigits(p.year % 100);
                } else if (n == 2) {
                    out += TwoDigits(p.year % 100);
                } else {
                    out += std::to_string(DayOfYear(p));
                }
                break;
            case 'h':
                n = std::min<std::size_t>(run('h'), 2);
                out += n == 2 ? TwoDigits(hour) : std::to_string(hour);
                isHour = true;
                break;
            case 'n':
                n = std::min<std::size_t>(run('n'), 2);
                out += n == 2 ? TwoDigits(p.minute) : std::to_string(p.minute);
                break;
            case 's':
                n = std::min<std::size_t>(run('s'), 2);
                out += n == 2 ? TwoDigits(p.second) : std::to_string(p.second);
                break;
            case 'w':
                n = std::min<std::size_t>(run('w'), 2);
                if (n == 2) {
                    const int jan1 = Weekday(DateSerial(p.year, 1, 1));
                    out += std::to_string((DayOfYear(p) - 1 + jan1 - 1) / 7 + 1);
                } else {
                    out += std::to_string(Weekday(date));
                }
                break;
            case 'q':
                out += std::to_string((p.month - 1) / 3 + 1);
                break;
            case 'c':
                out += GeneralDateText(date);
                break;
            case 't':
                if (run('t') >= 5) {
                    n = 5;
                    out += FormatDate(date, locale.longTimePattern);
                } else {
                    out.push_back(raw);
                }
                break;
            case '/':
                out += locale.dateSeparator;
                break;
            case ':':
                out += locale.timeSeparator;
                break;
            default:
                out.push_back(raw);
                break;
        }
        if (std::string_view("dmyhnswqct").find(c) != std::string_view::npos) {
            lastWasHour = isHour;
        }
        i += n;
    }
    return out;
}

// ---- Values ------------------------------------------------------------------------------

std::optional<double> NumberOf(const Variant& value) {
    if (value.get_if<std::string>() != nullptr) {
        if (IsNumeric(value)) {
            return CDbl(value);
        }
        if (IsDate(value)) {
            return CDate(value).serial;
        }
        return std::nullopt;
    }
    return CDbl(value);
}

std::optional<Date> DateOf(const Variant& value) {
    if (value.get_if<std::string>() != nullptr) {
        if (IsDate(value)) {
            return CDate(value);
        }
        if (IsNumeric(value)) {
            return CDate(CDbl(value));
        }
        return std::nullopt;
    }
    return CDate(value);
}

struct NamedPattern {
    const char* name;
    enum Kind { DateText, Pattern, Flag } kind;
    const char* pattern;  // for Flag: "yes|no"
};

constexpr NamedPattern kNamedPatterns[] = {
    {"General Date", NamedPattern::DateText, ""},
    {"Long Date", NamedPattern::Pattern, "dddddd"},
    {"Medium Date", NamedPattern::Pattern, "dd-mmm-yy"},
    {"Short Date", NamedPattern::Pattern, "ddddd"},
    {"Long Time", NamedPattern::Pattern, "ttttt"},
    {"Medium Time", NamedPattern::Pattern, "hh:nn AMPM"},
    {"Short Time", NamedPattern::Pattern, "hh:nn"},
    {"General Number", NamedPattern::Pattern, ""},
    {"Currency", NamedPattern::Pattern, ""},
    {"Fixed", NamedPattern::Pattern, "0.00"},
    {"Standard", NamedPattern::Pattern, "#,##0.00"},
    {"Percent", NamedPattern::Pattern, "0.00%"},
    {"Scientific", NamedPattern::Pattern, "0.00E+00"},
    {"Yes/No", NamedPattern::Flag, "Yes|No"},
    {"True/False", NamedPattern::Flag, "True|False"},
    {"On/Off", NamedPattern::Flag, "On|Off"},
};

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

Locale Locale::English() {
    return Locale{
        .shortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct",
                            "Nov", "Dec"},
        .longMonthNames = {"January", "February", "March", "April", "May", "June", "July", "August",
                           "September", "October", "November", "December"},
        .shortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
        .longDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                         "Saturday"},
        .shortDatePattern = "m/d/yyyy",
        .longDatePattern = "dddd, mmmm d, yyyy",
        .longTimePattern = "h:nn:ss AMPM",
        .amText = "AM",
        .pmText = "PM",
        .dateSeparator = "/",
        .timeSeparator = ":",
        .decimalSeparator = ".",
        .thousandsSeparator = ",",
        .currencySymbol = "$",
    };
}

const Locale& CurrentLocale() {
    return GlobalLocale();
}

void SetLocale(Locale locale) {
    GlobalLocale() = std::move(locale);
}

std::string GeneralDateText(Date date) {
    const Locale& locale = CurrentLocale();
    const Date day = DateValue(date);
    const Date time = TimeValue(date);
    if (day.serial == 0.0) {
        return FormatDate(date, locale.longTimePattern);
    }
    if (time.serial == 0.0) {
        return FormatDate(date, locale.shortDatePattern);
    }
    return FormatDate(date, locale.shortDatePattern) + " " +
           FormatDate(date, locale.longTimePattern);
}

std::string Format(const Variant& value, std::string_view pattern) {
    const Locale& locale = CurrentLocale();
    for (const auto& named : kNamedPatterns) {
        if (!EqualsIgnoreCase(pattern, named.name)) {
            continue;
        }
        if (value.IsNull()) {
            return {};
        }
        const std::string_view name = named.name;
        if (named.kind == NamedPattern::DateText) {
            const auto date = DateOf(value);
            return date ? GeneralDateText(*date) : CStr(value);
        }
        if (named.kind == NamedPattern::Flag) {
            const auto number = NumberOf(value);
            if (!number) {
                return CStr(value);
            }
            const std::string_view texts = named.pattern;
            const auto bar = texts.find('|');
            return std::string(*number != 0 ? texts.substr(0, bar) : texts.substr(bar + 1));
        }
        if (name == "General Number") {
            const auto number = NumberOf(value);
            return number ? NumberText(*number) : CStr(value);
        }
        if (name == "Currency") {
            const std::string symbol = Quoted(locale.currencySymbol);
            return Format(value, symbol + "#,##0.00;(" + symbol + "#,##0.00)");
        }
        return Format(value, named.pattern);
    }

    const auto sections = Sections(pattern);
    if (value.IsNull()) {
        return sections.size() >= 4 ? FormatNumberSection(0, sections[3], false) : std::string{};
    }
    if (pattern.empty()) {
        if (const auto* date = value.get_if<Date>()) {
            return GeneralDateText(*date);
        }
        return CStr(value);
    }
    if (value.IsArray() || value.IsObject()) {
        Raise(TypeMismatch);
    }
    if (IsNumberPattern(pattern) || !IsDatePattern(pattern)) {
        const auto number = NumberOf(value);
        return number ? FormatNumber(*number, pattern) : CStr(value);
    }
    const auto date = DateOf(value);
    return date ? FormatDate(*date, pattern) : CStr(value);
}

}  // namespace automation
