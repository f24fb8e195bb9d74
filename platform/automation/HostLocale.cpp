// The host's locale conventions, read through the C library (the only POSIX part of the
// automation library).
#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/automation/Format.h"
#include "platform/automation/Text.h"

namespace automation {
namespace {

bool IsPlainCLocale(const char* name) {
    if (name == nullptr || *name == '\0') {
        return true;
    }
    const std::string_view n(name);
    return n == "C" || n == "POSIX" || n.starts_with("C.");
}

// The locale name the environment selects for LC_TIME, as setlocale(LC_TIME, "") would.
const char* TimeLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return nullptr;
}

// Letters outside pattern codes must not be taken for date letters.
void AppendLiteral(std::string& out, char c) {
    if (std::strchr("dmyhnswqctaApP0#\"\\", c) != nullptr || (c >= 'a' && c <= 'z') ||
        (c >= 'A' && c <= 'Z')) {
        out.push_back('\\');
    }
    out.push_back(c);
}

// strftime layout -> the pattern letters of Format.
std::string PatternFromStrftime(std::string_view layout, std::string_view twelveHourLayout) {
    std::string out;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        if (layout[i] != '%' || i + 1 >= layout.size()) {
            AppendLiteral(out, layout[i]);
            continue;
        }
        char code = layout[++i];
        // Modifiers (%Ey, %Od, %-d, ...) change the digits, not the field.
        while ((code == 'E' || code == 'O' || code == '-' || code == '_' || code == '0') &&
               i + 1 < layout.size()) {
            code = layout[++i];
        }
        switch (code) {
            case 'd':
                out += "dd";
                break;
            case 'e':
                out += "d";
                break;
            case 'm':
                out += "mm";
                break;
            case 'Y':
                out += "yyyy";
                break;
            case 'y':
                out += "yy";
                break;
            case 'b':
            case 'h':
                out += "mmm";
                break;
            case 'B':
                out += "mmmm";
                break;
            case 'a':
                out += "ddd";
                break;
            case 'A':
                out += "dddd";
                break;
            case 'H':
            case 'I':
                out += "hh";
                break;
            case 'k':
            case 'l':
                out += "h";
                break;
            case 'M':
                out += "nn";
                break;
            case 'S':
                out += "ss";
                break;
            case 'p':
            case 'P':
                out += "AMPM";
                break;
            case 'T':
                out += "hh:nn:ss";
                break;
            case 'R':
                out += "hh:nn";
                break;
            case 'D':
                out += "mm/dd/yy";
                break;
            case 'F':
                out += "yyyy-mm-dd";
                break;
            case 'r':
                out += PatternFromStrftime(twelveHourLayout, {});
                break;
            case 'n':
            case 't':
                out.push_back(' ');
                break;
            case '%':
                out.push_back('%');
                break;
            default:
                break;
        }
    }
    return out;
}

}  // namespace

Locale Locale::FromHost() {
    Locale result = English();
    if (IsPlainCLocale(TimeLocaleName())) {
        return result;
    }
    const locale_t host = newlocale(LC_TIME_MASK | LC_NUMERIC_MASK | LC_MONETARY_MASK, "", nullptr);
    if (host == nullptr) {
        return result;
    }
    const auto text = [host](nl_item item) { return std::string(nl_langinfo_l(item, host)); };
    // Names in another character set than UTF-8 would corrupt the text the system writes.
    if (text(CODESET) != "UTF-8" || !IsValidUtf8(text(MON_1))) {
        freelocale(host);
        return result;
    }
    for (int m = 0; m < 12; ++m) {
        result.shortMonthNames[static_cast<std::size_t>(m)] = text(ABMON_1 + m);
        result.longMonthNames[static_cast<std::size_t>(m)] = text(MON_1 + m);
    }
    for (int d = 0; d < 7; ++d) {
        result.shortDayNames[static_cast<std::size_t>(d)] = text(ABDAY_1 + d);
        result.longDayNames[static_cast<std::size_t>(d)] = text(DAY_1 + d);
    }
    const std::string twelveHour = text(T_FMT_AMPM);
    result.shortDatePattern = PatternFromStrftime(text(D_FMT), twelveHour);
    result.longTimePattern = PatternFromStrftime(text(T_FMT), twelveHour);
    result.longDatePattern = "dddd, " + result.shortDatePattern;
    if (!text(AM_STR).empty()) {
        result.amText = text(AM_STR);
        result.pmText = text(PM_STR);
    }
    // The separators in the layouts are literal already; "/" and ":" in custom patterns map to
    // the separators the host uses between the numeric fields.
    result.dateSeparator = std::string(1, '/');
    for (const char c : text(D_FMT)) {
        if (c == '.' || c == '-' || c == '/') {
            result.dateSeparator = std::string(1, c);
            break;
        }
    }
    if (!text(RADIXCHAR).empty()) {
        result.decimalSeparator = text(RADIXCHAR);
    }
    result.thousandsSeparator = text(THOUSEP);
    const std::string currency = text(CRNCYSTR);
    if (currency.size() > 1) {
        result.currencySymbol = currency.substr(1);  // the first character says where it goes
    }
    freelocale(host);
    return result;
}

}  // namespace automation
