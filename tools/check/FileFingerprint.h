#pragma once
// What a plan knows of each file it touches, to tell later whether the file is still the one
// the plan saw: whether it exists, its size, its modification time and the SHA-256 of its
// bytes (nettle's, from Debian's nettle-dev). The hash decides; size and time are there for
// the reader, and catch most changes before the hash is read.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace velto_check {

struct FileFingerprint {
    bool exists = false;
    std::uint64_t size = 0;
    timespec modified{};
    // 64 lower-case hex digits.
    std::string sha256;

    // What differs from `then`, in words ("its size and content"); "" when nothing does.
    std::string ChangesSince(const FileFingerprint& then) const;
};

// The file at a Windows path of the current machine, followed through links. A path that
// resolves to nothing, or to no file, does not exist; nullopt (with `error` set) when the file
// is there but cannot be read.
std::optional<FileFingerprint> FingerprintOf(const std::string& windowsPath, std::string& error);

}  // namespace velto_check
