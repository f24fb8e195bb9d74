#include "tools/check/FileFingerprint.h"

#include <nettle/sha2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"

namespace velto_check {
namespace {

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 15];
    }
    return hex;
}

std::string Finish(sha256_ctx& context) {
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
    sha256_digest(&context, digest.size(), digest.data());
    return Hex(digest.data(), digest.size());
}

// Hashes an open file to its end; 0 or an errno.
int HashFile(int fd, std::string& hex) {
    sha256_ctx context;
    sha256_init(&context);
    std::vector<std::uint8_t> block(1 << 16);
    for (;;) {
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno;
        }
        if (got == 0) {
            break;
        }
        sha256_update(&context, static_cast<std::size_t>(got), block.data());
    }
    hex = Finish(context);
    return 0;
}

}  // namespace

std::string FileFingerprint::ChangesSince(const FileFingerprint& then) const {
    if (exists != then.exists) {
        return exists ? "it exists now" : "it is gone";
    }
    std::vector<const char*> parts;
    if (size != then.size) {
        parts.push_back("size");
    }
    if (modified.tv_sec != then.modified.tv_sec || modified.tv_nsec != then.modified.tv_nsec) {
        parts.push_back("modification time");
    }
    if (sha256 != then.sha256) {
        parts.push_back("content");
    }
    std::string what;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        what += (i == 0 ? "its " : i + 1 == parts.size() ? " and " : ", ") + std::string(parts[i]);
    }
    return what;
}

std::optional<FileFingerprint> FingerprintOf(const std::string& windowsPath, std::string& error) {
    FileFingerprint print;
    const auto host = win32::HostPathOf(windowsPath);
    win32::host::FileStat stat;
    if (!host || win32::host::Stat(*host, stat) != 0 || !stat.isRegular) {
        return print;
    }
    int fd = -1;
    if (const int err = win32::host::OpenRegularFile(*host, fd); err != 0) {
        error = windowsPath + " cannot be read (" + std::strerror(err) + ")";
        return std::nullopt;
    }
    // Size and time of the file that was hashed, should it have been replaced since the look.
    struct stat opened {};
    const int err = ::fstat(fd, &opened) != 0 ? errno : HashFile(fd, print.sha256);
    ::close(fd);
    if (err != 0) {
        error = windowsPath + " cannot be read (" + std::strerror(err) + ")";
        return std::nullopt;
    }
    print.exists = true;
    print.size = static_cast<std::uint64_t>(opened.st_size);
    print.modified = opened.st_mtim;
    return print;
}

}  // namespace velto_check
