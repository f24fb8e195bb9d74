#include "platform/offline/HiveHealth.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "platform/registry/RegistryStore.h"

namespace offline {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kOldLog = 1;
constexpr std::uint32_t kNewLog = 6;
constexpr std::size_t kLogSector = 512;
constexpr std::size_t kLogEntryHeader = 40;
constexpr const char* kLogSuffixes[] = {".LOG", ".LOG1", ".LOG2"};

HiveHealth Damaged(std::string reason) {
    HiveHealth health;
    health.state = HiveHealth::State::Damaged;
    health.reason = std::move(reason);
    return health;
}

// Up to `limit` bytes of the file; nullopt with errno set when it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadStart(const fs::path& file, std::size_t limit,
                                                   std::uintmax_t& size) {
    std::error_code ec;
    size = fs::file_size(file, ec);
    if (ec) {
        errno = ec.value();
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min<std::uintmax_t>(size, limit)));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size())) {
        errno = EIO;
        return std::nullopt;
    }
    return bytes;
}

bool NewLogIsNewer(std::span<const std::uint8_t> log, const RegfHeader& hive) {
    for (std::size_t at = kLogSector; at + kLogEntryHeader <= log.size();) {
        if (log[at] != 'H' || log[at + 1] != 'v' || log[at + 2] != 'L' || log[at + 3] != 'E') {
            return false;
        }
        const std::uint32_t size = ReadLe32(log, at + 4);
        if (size < kLogSector || size % kLogSector != 0 || size > log.size() - at) {
            return false;
        }
        if (ReadLe32(log, at + 12) >= hive.secondarySequence) {
            return true;
        }
        at += size;
    }
    return false;
}

}  // namespace

bool LogIsNewer(std::span<const std::uint8_t> log, const RegfHeader& hive) {
    const auto header = ReadRegfHeader(log);
    if (!header || !header->checksumValid()) {
        // Windows takes a log whose base block is not whole for one it never finished
        // writing, before the hive was touched.
        return false;
    }
    if (header->fileType == kOldLog) {
        return header->primarySequence == header->secondarySequence &&
               header->secondarySequence > hive.secondarySequence;
    }
    if (header->fileType == kNewLog) {
        return NewLogIsNewer(log, hive);
    }
    return false;
}

HiveHealth CheckHiveHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kSmallestHive) {
        return Damaged("is too short for a registry hive (" + std::to_string(bytes.size()) +
                       " bytes)");
    }
    const auto header = ReadRegfHeader(bytes);
    if (!header) {
        return Damaged("is not a registry hive (it does not start with \"regf\")");
    }
    if (!header->checksumValid()) {
        return Damaged("is damaged: the checksum of its header is wrong");
    }
    if (header->fileType != 0) {
        return Damaged("is a transaction log, not a hive (file type " +
                       std::to_string(header->fileType) + ")");
    }
    if (header->major != 1) {
        return Damaged("is of a format this program does not know (version " +
                       std::to_string(header->major) + "." + std::to_string(header->minor) + ")");
    }
    HiveHealth health;
    health.header = *header;
    if (header->primarySequence != header->secondarySequence) {
        health.state = HiveHealth::State::Dirty;
        health.reason =
            "was not written to the end: Windows stopped while writing it (its "
            "sequence numbers " +
            std::to_string(header->primarySequence) + " and " +
            std::to_string(header->secondarySequence) + " differ)";
    }
    return health;
}

HiveHealth CheckHiveFile(const fs::path& file) {
    std::uintmax_t size = 0;
    auto start = ReadStart(file, kSmallestHive, size);
    if (!start) {
        return Damaged(std::string("cannot be read (") + std::strerror(errno) + ")");
    }
    HiveHealth health = CheckHiveHeader(*start);
    if (health.state != HiveHealth::State::Sound) {
        return health;
    }
    const std::string wanted = registry::FoldName(file.filename().string());
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(file.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        bool isLog = false;
        for (const char* suffix : kLogSuffixes) {
            isLog = isLog || registry::FoldName(name) == wanted + registry::FoldName(suffix);
        }
        if (!isLog) {
            continue;
        }
        std::uintmax_t logSize = 0;
        const auto log = ReadStart(entry.path(), SIZE_MAX, logSize);
        if (!log) {
            return Damaged("has a transaction log " + name + " that cannot be read (" +
                           std::strerror(errno) + ")");
        }
        if (LogIsNewer(*log, health.header)) {
            health.state = HiveHealth::State::Dirty;
            health.reason = "has changes in its transaction log " + name +
                            " that are not in it yet (Windows did not shut down cleanly)";
            return health;
        }
    }
    if (ec) {
        return Damaged("lies in a folder that cannot be listed (" + ec.message() + ")");
    }
    return health;
}

}  // namespace offline
