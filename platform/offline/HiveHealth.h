#pragma once
// Whether a hive file may be trusted and written: libhivex opens a hive whose last write did
// not finish, and knows nothing of the transaction logs beside it, so this looks first.
//
// A hive is damaged when it is no hive at all, too short, of an unknown version, or its
// header's checksum is wrong; it is dirty when Windows did not finish writing it (its two
// sequence numbers differ) or when one of its logs (SYSTEM.LOG, SYSTEM.LOG1, SYSTEM.LOG2,
// names compared without case) holds changes it does not have yet:
//   - a log of the older form (file type 1: a copy of the base block, then dirty pages) whose
//     base block is whole (equal sequence numbers, right checksum) and newer than the hive's;
//   - a log of the newer form (file type 6) with an entry ("HvLE" at a 512-byte boundary
//     after the base block: +4 size, +12 sequence number) whose sequence number is at least
//     the hive's secondary one: Windows writes entries first and folds them into the hive
//     later, numbering the hive past the entries it took.
// Windows replays such logs at its next start; a hive written meanwhile would lose them.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "platform/offline/RegfFormat.h"

namespace offline {

struct HiveHealth {
    enum class State { Sound, Dirty, Damaged };
    State state = State::Sound;
    // For the user, after the file's name: "has changes in SYSTEM.LOG1 that are not in it yet".
    std::string reason;
    RegfHeader header;
};

HiveHealth CheckHiveFile(const std::filesystem::path& file);

// The same for a hive read into memory (its logs not looked at).
HiveHealth CheckHiveHeader(std::span<const std::uint8_t> bytes);

// Whether the bytes of a log file hold changes the hive with header `hive` has not.
bool LogIsNewer(std::span<const std::uint8_t> log, const RegfHeader& hive);

}  // namespace offline
