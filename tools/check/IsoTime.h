#pragma once
// Times in the documents velto-machine writes for scripts: ISO 8601 in the host's local time
// with its offset, to the nanosecond when asked ("2026-03-05T14:07:09.123456789+01:00"), and
// read back whatever the offset ("...Z" too), so that a plan made in one time zone is read
// right in another.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace velto_check {

// `withNanoseconds`: the fraction is written (nine digits) even when it is zero.
std::string IsoTime(const timespec& when, bool withNanoseconds = false);
std::string IsoNow();
// nullopt for anything that is not such a time (a missing offset, a 13th month, text after it).
std::optional<timespec> ParseIsoTime(const std::string& text);

}  // namespace velto_check
