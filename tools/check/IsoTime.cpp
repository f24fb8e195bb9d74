#include "tools/check/IsoTime.h"

#include <cstdio>
#include <cstdlib>
#include <regex>

namespace velto_check {

std::string IsoTime(const timespec& when, bool withNanoseconds) {
    tm local{};
    const time_t seconds = when.tv_sec;
    ::localtime_r(&seconds, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    std::string text = date;
    if (withNanoseconds) {
        char fraction[16];
        std::snprintf(fraction, sizeof fraction, ".%09ld", static_cast<long>(when.tv_nsec));
        text += fraction;
    }
    const long offset = local.tm_gmtoff;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+',
                  std::labs(offset) / 3600, std::labs(offset) % 3600 / 60);
    return text + zone;
}

std::string IsoNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return IsoTime({now.tv_sec, 0});
}

std::optional<timespec> ParseIsoTime(const std::string& text) {
    static const std::regex form(
        "(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})(?:\\.(\\d{1,9}))?"
        "(Z|([+-])(\\d{2}):(\\d{2}))");
    std::smatch m;
    if (!std::regex_match(text, m, form)) {
        return std::nullopt;
    }
    const auto number = [&](int i) { return std::stoi(m[i].str()); };
    tm parts{};
    parts.tm_year = number(1) - 1900;
    parts.tm_mon = number(2) - 1;
    parts.tm_mday = number(3);
    parts.tm_hour = number(4);
    parts.tm_min = number(5);
    parts.tm_sec = number(6);
    if (parts.tm_mon > 11 || parts.tm_mday < 1 || parts.tm_mday > 31 || parts.tm_hour > 23 ||
        parts.tm_min > 59 || parts.tm_sec > 60) {
        return std::nullopt;
    }
    long offset = 0;
    if (m[8] != "Z") {
        if (number(10) > 23 || number(11) > 59) {
            return std::nullopt;
        }
        offset = (number(10) * 3600L + number(11) * 60L) * (m[9] == "-" ? -1 : 1);
    }
    timespec when{};
    when.tv_sec = ::timegm(&parts) - offset;
    if (m[7].matched) {
        std::string digits = m[7].str();
        digits.resize(9, '0');
        when.tv_nsec = std::stol(digits);
    }
    return when;
}

}  // namespace velto_check
