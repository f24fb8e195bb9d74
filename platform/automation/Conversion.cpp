#include "platform/automation/Conversion.h"

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "platform/automation/Errors.h"
#include "platform/automation/Format.h"
#include "platform/automation/Text.h"

namespace automation {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool StartsWith(std::string_view text, std::size_t pos, std::string_view prefix) {
    return !prefix.empty() && text.substr(pos, prefix.size()) == prefix;
}

// "&H..." / "&O..." radix numbers; small values read as 16-bit Integers, larger as 32-bit
// Longs, the way the runtime typed such literals.
std::optional<double> RadixValue(std::string_view digits, int radix) {
    std::uint64_t value = 0;
    std::size_t used = 0;
    for (const char c : digits) {
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : (radix == 16 && std::isxdigit(static_cast<unsigned char>(c))
                                     ? std::toupper(static_cast<unsigned char>(c)) - 'A' + 10
                                     : radix);
        if (digit >= radix) {
            break;
        }
        value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFu) {
            Raise(Overflow);
        }
        ++used;
    }
    if (used == 0) {
        return std::nullopt;
    }
    if (value <= 0xFFFF) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<int> RadixOf(std::string_view text) {
    if (text.size() >= 2 && text[0] == '&') {
        const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[1])));
        if (kind == 'H') {
            return 16;
        }
        if (kind == 'O') {
            return 8;
        }
    }
    return std::nullopt;
}

// Locale-independent: the host's C locale may use a decimal comma once a GUI toolkit set it.
double CheckedStrtod(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        // from_chars reports underflow the same way; only a huge exponent overflows.
        const auto e = text.find('E');
        if (e != std::string_view::npos && text.substr(e + 1, 1) == "-") {
            return 0.0;
        }
        Raise(Overflow);
    }
    if (std::isinf(value)) {
        Raise(Overflow);
    }
    return value;
}

// printf's %.<digits>G, without the host locale.
std::string GeneralText(double value, int significantDigits) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::general, significantDigits);
    std::string text(buffer, result.ptr);
    for (char& c : text) {
        if (c == 'e') {
            c = 'E';
        }
    }
    return text;
}

// A whole text as a number with the locale's separators; nullopt when it is not one.
std::optional<double> ParseNumber(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    text = text.substr(begin, end - begin);
    if (const auto radix = RadixOf(text)) {
        const std::string_view digits = text.substr(2);
        const auto value = RadixValue(digits, *radix);
        const auto valid = [&](char c) {
            return *radix == 16 ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                                : (c >= '0' && c <= '7');
        };
        for (const char c : digits) {
            if (!valid(c)) {
                return std::nullopt;
            }
        }
        return value;
    }
    const Locale& locale = CurrentLocale();
    std::string clean;
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        clean.push_back(text[pos++]);
    }
    bool digits = false;
    while (pos < text.size()) {
        if (std::isdigit(static_cast<unsigned char>(text[pos]))) {
            clean.push_back(text[pos++]);
            digits = true;
        } else if (digits && StartsWith(text, pos, locale.thousandsSeparator)) {
            pos += locale.thousandsSeparator.size();
        } else {
            break;
        }
    }
    if (StartsWith(text, pos, locale.decimalSeparator)) {
        pos += locale.decimalSeparator.size();
        clean.push_back('.');
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
            clean.push_back(text[pos++]);
            digits = true;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    if (pos < text.size() && std::strchr("EeDd", text[pos]) != nullptr) {
        clean.push_back('E');
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            clean.push_back(text[pos++]);
        }
        bool exponentDigits = false;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
            clean.push_back(text[pos++]);
            exponentDigits = true;
        }
        if (!exponentDigits) {
            return std::nullopt;
        }
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return CheckedStrtod(clean);
}

// ---- Date text -------------------------------------------------------------------------

struct DateToken {
    enum Kind { Number, Word, Separator } kind;
    std::string text;
};

std::vector<DateToken> Tokenize(std::string_view text) {
    std::vector<DateToken> tokens;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        std::size_t end = pos + 1;
        DateToken::Kind kind = DateToken::Separator;
        if (std::isdigit(c)) {
            kind = DateToken::Number;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) {
                ++end;
            }
        } else if (std::isalpha(c) || c >= 0x80) {
            kind = DateToken::Word;
            while (end < text.size() && (std::isalpha(static_cast<unsigned char>(text[end])) ||
                                         static_cast<unsigned char>(text[end]) >= 0x80)) {
                ++end;
            }
        }
        if (!(kind == DateToken::Separator && IsBlank(text[pos]))) {
            tokens.push_back({kind, std::string(text.substr(pos, end - pos))});
        } else if (!tokens.empty() && tokens.back().text != " ") {
            tokens.push_back({DateToken::Separator, " "});
        }
        pos = end;
    }
    return tokens;
}

// 1..12 for a month name or its abbreviation (the locale's, then English), else 0.
int MonthFromName(std::string_view word) {
    const Locale& locale = CurrentLocale();
    static const Locale english = Locale::English();
    for (const Locale* names : {&locale, &english}) {
        for (int m = 0; m < 12; ++m) {
            if (EqualsIgnoreCase(word, names->longMonthNames[static_cast<std::size_t>(m)]) ||
                EqualsIgnoreCase(word, names->shortMonthNames[static_cast<std::size_t>(m)])) {
                return m + 1;
            }
        }
    }
    return 0;
}

bool IsDayName(std::string_view word) {
    const Locale& locale = CurrentLocale();
    for (std::size_t d = 0; d < 7; ++d) {
        if (EqualsIgnoreCase(word, locale.longDayNames[d]) ||
            EqualsIgnoreCase(word, locale.shortDayNames[d])) {
            return true;
        }
    }
    return false;
}

// 'a' for AM, 'p' for PM, 0 for another word.
char MeridiemOf(std::string_view word) {
    const Locale& locale = CurrentLocale();
    if (EqualsIgnoreCase(word, locale.amText) || EqualsIgnoreCase(word, "AM") ||
        EqualsIgnoreCase(word, "A")) {
        return 'a';
    }
    if (EqualsIgnoreCase(word, locale.pmText) || EqualsIgnoreCase(word, "PM") ||
        EqualsIgnoreCase(word, "P")) {
        return 'p';
    }
    return 0;
}

int ExpandYear(const std::string& digits) {
    const int year = std::atoi(digits.c_str());
    if (digits.size() <= 2) {
        return year < 30 ? 2000 + year : 1900 + year;
    }
    return year;
}

bool LooksLikeYear(const std::string& digits) {
    return digits.size() >= 3 || std::atoi(digits.c_str()) > 31;
}

// Order of day, month and year in the locale's short date: "mdy", "dmy" or "ymd".
std::string DateOrder() {
    std::string order;
    for (const char c : CurrentLocale().shortDatePattern) {
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if ((lower == 'd' || lower == 'm' || lower == 'y') &&
            order.find(lower) == std::string::npos) {
            order.push_back(lower);
        }
    }
    return order.size() == 3 ? order : "mdy";
}

std::optional<Date> ParseDate(std::string_view text) {
    std::vector<DateToken> tokens = Tokenize(text);
    std::optional<int> hour;
    int minute = 0;
    int second = 0;
    // The time: h:nn[:ss] with an optional AM/PM marker.
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (tokens[i].kind != DateToken::Number || tokens[i + 1].text != ":" ||
            tokens[i + 2].kind != DateToken::Number) {
            continue;
        }
        std::size_t last = i + 2;
        hour = std::atoi(tokens[i].text.c_str());
        minute = std::atoi(tokens[i + 2].text.c_str());
        if (last + 2 < tokens.size() && tokens[last + 1].text == ":" &&
            tokens[last + 2].kind == DateToken::Number) {
            last += 2;
            second = std::atoi(tokens[last].text.c_str());
        }
        std::size_t marker = last + 1;
        if (marker < tokens.size() && tokens[marker].text == " ") {
            ++marker;
        }
        if (marker < tokens.size() && tokens[marker].kind == DateToken::Word) {
            if (const char meridiem = MeridiemOf(tokens[marker].text)) {
                if (*hour < 1 || *hour > 12) {
                    return std::nullopt;
                }
                *hour = *hour % 12 + (meridiem == 'p' ? 12 : 0);
                last = marker;
            }
        }
        tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i),
                     tokens.begin() + static_cast<std::ptrdiff_t>(last + 1));
        break;
    }
    std::vector<std::string> numbers;
    int month = 0;
    for (const auto& token : tokens) {
        if (token.kind == DateToken::Number) {
            numbers.push_back(token.text);
        } else if (token.kind == DateToken::Word) {
            const int named = MonthFromName(token.text);
            if (named != 0 && month == 0) {
                month = named;
            } else if (!IsDayName(token.text)) {
                return std::nullopt;
            }
        } else if (std::string_view("/-.,: ").find(token.text) == std::string_view::npos) {
            return std::nullopt;
        }
    }
    if (!hour && numbers.empty() && month == 0) {
        return std::nullopt;
    }
    DateParts parts;
    if (month != 0) {
        if (numbers.size() != 2) {
            return std::nullopt;
        }
        const bool yearFirst = LooksLikeYear(numbers[0]) && !LooksLikeYear(numbers[1]);
        parts.month = month;
        parts.day = std::atoi(numbers[yearFirst ? 1 : 0].c_str());
        parts.year = ExpandYear(numbers[yearFirst ? 0 : 1]);
    } else if (numbers.size() == 3) {
        std::string order = LooksLikeYear(numbers[0]) ? "ymd" : DateOrder();
        int values[3] = {};
        for (std::size_t i = 0; i < 3; ++i) {
            const char field = order[i];
            if (field == 'y') {
                values[2] = ExpandYear(numbers[i]);
            } else {
                values[field == 'm' ? 1 : 0] = std::atoi(numbers[i].c_str());
            }
        }
        parts.day = values[0];
        parts.month = values[1];
        parts.year = values[2];
        if (parts.month > 12 && parts.day <= 12) {
            std::swap(parts.month, parts.day);
        }
    } else if (!numbers.empty()) {
        return std::nullopt;
    }
    if (hour) {
        parts.hour = *hour;
        parts.minute = minute;
        parts.second = second;
    }
    try {
        return DateFromParts(parts);
    } catch (const Error&) {
        return std::nullopt;
    }
}

// value * 10^places as a whole number, rounded half to even on the shortest decimal text of
// the double (so that 19.95 counts as 19.95 and not as its binary neighbour).
std::int64_t ScaledHalfEven(double value, int places) {
    if (!std::isfinite(value)) {
        Raise(Overflow);
    }
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const bool negative = text.front() == '-';
    const auto e = text.find('e');
    std::string digits;
    for (const char c : text.substr(negative ? 1 : 0, e - (negative ? 1 : 0))) {
        if (c != '.') {
            digits.push_back(c);
        }
    }
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(),
                    exponent);
    // value = digits * 10^(exponent - (digits.size() - 1)); shift by `places`.
    const long shift = static_cast<long>(exponent) - static_cast<long>(digits.size() - 1) + places;
    std::string whole;
    bool roundUp = false;
    if (shift >= 0) {
        whole = digits + std::string(static_cast<std::size_t>(shift), '0');
    } else {
        const long keep = static_cast<long>(digits.size()) + shift;
        whole = keep > 0 ? digits.substr(0, static_cast<std::size_t>(keep)) : "0";
        const std::string rest = keep > 0
                                     ? digits.substr(static_cast<std::size_t>(keep))
                                     : std::string(static_cast<std::size_t>(-keep), '0') + digits;
        const char first = rest.empty() ? '0' : rest.front();
        const bool tie = first == '5' && rest.find_first_not_of('0', 1) == std::string::npos;
        const bool odd = (whole.back() - '0') % 2 != 0;
        roundUp = first > '5' || (first == '5' && (!tie || odd));
    }
    if (whole.size() > 19) {
        Raise(Overflow);
    }
    std::uint64_t magnitude = std::stoull(whole) + (roundUp ? 1 : 0);
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    if (magnitude > limit) {
        Raise(Overflow);
    }
    return negative ? static_cast<std::int64_t>(0 - magnitude)
                    : static_cast<std::int64_t>(magnitude);
}

[[noreturn]] void RaiseNullOrMismatch(const Variant& value) {
    Raise(value.IsNull() ? InvalidUseOfNull : TypeMismatch);
}

std::int64_t WholeFromCurrency(Currency c) {
    std::int64_t q = c.scaled / 10000;
    const std::int64_t r = c.scaled % 10000;
    if (r > 5000 || (r == 5000 && (q % 2) != 0)) {
        ++q;
    } else if (r < -5000 || (r == -5000 && (q % 2) != 0)) {
        --q;
    }
    return q;
}

std::int64_t Whole(const Variant& value, std::int64_t min, std::int64_t max) {
    if (const auto* c = value.get_if<Currency>()) {
        const std::int64_t whole = WholeFromCurrency(*c);
        if (whole < min || whole > max) {
            Raise(Overflow);
        }
        return whole;
    }
    return RoundToWhole(CDbl(value), min, max);
}

}  // namespace

std::string NumberText(double value, int significantDigits) {
    if (value == 0.0) {
        return "0";
    }
    std::string text = GeneralText(value, significantDigits);
    const std::string& separator = CurrentLocale().decimalSeparator;
    if (const auto point = text.find('.'); point != std::string::npos && separator != ".") {
        text.replace(point, 1, separator);
    }
    return text;
}

std::string CStr(const Variant& value) {
    if (value.IsEmpty()) {
        return {};
    }
    if (const auto* p = value.get_if<std::string>()) {
        return *p;
    }
    if (const auto* p = value.get_if<bool>()) {
        return *p ? "True" : "False";
    }
    if (const auto* p = value.get_if<std::int16_t>()) {
        return std::to_string(*p);
    }
    if (const auto* p = value.get_if<std::int32_t>()) {
        return std::to_string(*p);
    }
    if (const auto* p = value.get_if<std::uint8_t>()) {
        return std::to_string(*p);
    }
    if (const auto* p = value.get_if<float>()) {
        return NumberText(*p, 7);
    }
    if (const auto* p = value.get_if<double>()) {
        return NumberText(*p, 15);
    }
    if (const auto* p = value.get_if<Currency>()) {
        const std::int64_t whole = p->scaled / 10000;
        std::int64_t fraction = p->scaled % 10000;
        std::string text = std::to_string(whole);
        if (p->scaled < 0 && whole == 0) {
            text.insert(text.begin(), '-');
        }
        if (fraction != 0) {
            std::string digits = std::to_string(fraction < 0 ? -fraction : fraction);
            digits.insert(0, 4 - digits.size(), '0');
            digits.erase(digits.find_last_not_of('0') + 1);
            text += CurrentLocale().decimalSeparator + digits;
        }
        return text;
    }
    if (const auto* p = value.get_if<Date>()) {
        return GeneralDateText(*p);
    }
    if (const auto* p = value.get_if<ByteArray>()) {
        return std::string(p->Items().begin(), p->Items().end());
    }
    RaiseNullOrMismatch(value);
}

double CDbl(const Variant& value) {
    if (value.IsEmpty()) {
        return 0.0;
    }
    if (const auto* p = value.get_if<std::string>()) {
        if (const auto number = ParseNumber(*p)) {
            return *number;
        }
        Raise(TypeMismatch);
    }
    if (const auto* p = value.get_if<std::int16_t>()) {
        return *p;
    }
    if (const auto* p = value.get_if<std::int32_t>()) {
        return *p;
    }
    if (const auto* p = value.get_if<std::uint8_t>()) {
        return *p;
    }
    if (const auto* p = value.get_if<float>()) {
        return *p;
    }
    if (const auto* p = value.get_if<double>()) {
        return *p;
    }
    if (const auto* p = value.get_if<Currency>()) {
        return p->ToDouble();
    }
    if (const auto* p = value.get_if<Date>()) {
        return p->serial;
    }
    if (const auto* p = value.get_if<bool>()) {
        return *p ? -1.0 : 0.0;
    }
    RaiseNullOrMismatch(value);
}

float CSng(const Variant& value) {
    const double d = CDbl(value);
    if (std::fabs(d) > FLT_MAX) {
        Raise(Overflow);
    }
    return static_cast<float>(d);
}

std::int16_t CInt(const Variant& value) {
    return static_cast<std::int16_t>(Whole(value, std::numeric_limits<std::int16_t>::min(),
                                           std::numeric_limits<std::int16_t>::max()));
}

std::int32_t CLng(const Variant& value) {
    return static_cast<std::int32_t>(Whole(value, std::numeric_limits<std::int32_t>::min(),
                                           std::numeric_limits<std::int32_t>::max()));
}

std::uint8_t CByte(const Variant& value) {
    return static_cast<std::uint8_t>(Whole(value, 0, 255));
}

Currency CCur(const Variant& value) {
    if (const auto* p = value.get_if<Currency>()) {
        return *p;
    }
    return Currency::FromScaled(ScaledHalfEven(CDbl(value), 4));
}

bool CBool(const Variant& value) {
    if (const auto* p = value.get_if<bool>()) {
        return *p;
    }
    if (const auto* p = value.get_if<std::string>()) {
        const std::string_view text = Trim(*p);
        if (EqualsIgnoreCase(text, "True")) {
            return true;
        }
        if (EqualsIgnoreCase(text, "False")) {
            return false;
        }
    }
    if (const auto* p = value.get_if<Currency>()) {
        return p->scaled != 0;
    }
    return CDbl(value) != 0.0;
}

Date CDate(const Variant& value) {
    if (const auto* p = value.get_if<Date>()) {
        return *p;
    }
    if (const auto* p = value.get_if<std::string>()) {
        if (const auto date = ParseDate(*p)) {
            return *date;
        }
        Raise(TypeMismatch);
    }
    const double serial = CDbl(value);
    if (!IsValidDate(serial)) {
        Raise(Overflow);
    }
    return Date(serial);
}

bool IsNumeric(const Variant& value) {
    if (const auto* p = value.get_if<std::string>()) {
        try {
            return ParseNumber(*p).has_value();
        } catch (const Error&) {
            return true;  // a number, only too large for a Double
        }
    }
    return value.IsEmpty() || value.HoldsNumber();
}

bool IsDate(const Variant& value) {
    if (value.get_if<Date>() != nullptr) {
        return true;
    }
    const auto* p = value.get_if<std::string>();
    return p != nullptr && ParseDate(*p).has_value();
}

double Round(double value, int digits) {
    if (digits < 0 || digits > 22) {
        Raise(InvalidProcedureCall);
    }
    if (digits == 0) {
        return std::nearbyint(value);
    }
    const double scale = std::pow(10.0, digits);
    const double scaled = value * scale;
    if (std::isinf(scaled)) {
        return value;
    }
    return std::nearbyint(scaled) / scale;
}

std::int64_t RoundToWhole(double value, std::int64_t min, std::int64_t max) {
    // The default floating-point rounding mode rounds halves to even, as the runtime did.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= static_cast<double>(min) && rounded <= static_cast<double>(max))) {
        Raise(Overflow);
    }
    return static_cast<std::int64_t>(rounded);
}

double Val(std::string_view text) {
    std::string compact;
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') {
            compact.push_back(c);
        }
    }
    if (const auto radix = RadixOf(compact)) {
        return RadixValue(std::string_view(compact).substr(2), *radix).value_or(0.0);
    }
    std::string number;
    std::size_t pos = 0;
    if (pos < compact.size() && (compact[pos] == '+' || compact[pos] == '-')) {
        number.push_back(compact[pos++]);
    }
    bool digits = false;
    bool point = false;
    for (; pos < compact.size(); ++pos) {
        const char c = compact[pos];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            number.push_back(c);
            digits = true;
        } else if (c == '.' && !point) {
            number.push_back(c);
            point = true;
        } else {
            break;
        }
    }
    if (!digits) {
        return 0.0;
    }
    if (pos < compact.size() && std::strchr("EeDd", compact[pos]) != nullptr) {
        std::string exponent = "E";
        std::size_t e = pos + 1;
        if (e < compact.size() && (compact[e] == '+' || compact[e] == '-')) {
            exponent.push_back(compact[e++]);
        }
        const std::size_t firstDigit = e;
        while (e < compact.size() && std::isdigit(static_cast<unsigned char>(compact[e]))) {
            exponent.push_back(compact[e++]);
        }
        if (e > firstDigit) {
            number += exponent;
        }
    }
    return CheckedStrtod(number);
}

namespace {

std::string RadixText(const Variant& value, int radix) {
    if (value.IsNull()) {
        Raise(InvalidUseOfNull);
    }
    std::uint32_t bits = 0;
    if (const auto* p = value.get_if<std::int16_t>()) {
        bits = static_cast<std::uint16_t>(*p);
    } else if (const auto* b = value.get_if<bool>()) {
        bits = *b ? 0xFFFFu : 0u;
    } else if (const auto* u = value.get_if<std::uint8_t>()) {
        bits = *u;
    } else {
        bits = static_cast<std::uint32_t>(CLng(value));
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, radix == 16 ? "%X" : "%o", bits);
    return buffer;
}

}  // namespace

std::string Hex(const Variant& value) {
    return RadixText(value, 16);
}
std::string Oct(const Variant& value) {
    return RadixText(value, 8);
}

}  // namespace automation
