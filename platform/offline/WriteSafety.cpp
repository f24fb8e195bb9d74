#include "platform/offline/WriteSafety.h"

#include <sys/statvfs.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/machine/Text.h"

namespace offline {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kHeaderSize = 4096;
constexpr const char* kHiberfil = "hiberfil.sys";

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace

bool HoldsHibernationImage(std::span<const std::uint8_t> start, std::uintmax_t size,
                           std::string& signature) {
    if (size < kHeaderSize || start.size() < 4) {
        signature = "a file of " + std::to_string(size) + " bytes";
        return true;
    }
    const std::string first(reinterpret_cast<const char*>(start.data()), 4);
    if (first == std::string(4, '\0') || Lower(first) == "wake") {
        return false;
    }
    signature.clear();
    for (const char c : first) {
        signature += std::isprint(static_cast<unsigned char>(c)) != 0 ? c : '?';
    }
    signature = "\"" + signature + "\"";
    return true;
}

std::optional<std::string> HibernationRefusal(const fs::path& root) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root, ec)) {
        if (!machine::text::EqualsNoCase(entry.path().filename().string(), kHiberfil) ||
            !entry.is_regular_file(ec)) {
            continue;
        }
        const std::uintmax_t size = entry.file_size(ec);
        std::vector<std::uint8_t> start(4);
        std::ifstream in(entry.path(), std::ios::binary);
        in.read(reinterpret_cast<char*>(start.data()), 4);
        if (!in && size >= kHeaderSize) {
            return entry.path().string() + " cannot be read (" + std::strerror(errno) +
                   "), so nobody can tell whether Windows on this disk is hibernated: it is only "
                   "checked, never changed";
        }
        std::string signature;
        if (HoldsHibernationImage(start, size, signature)) {
            return "Windows on this disk is hibernated, or was shut down with Fast Startup (" +
                   entry.path().filename().string() + " holds a hibernation image: " + signature +
                   "). The Windows that resumes would find its files and registry changed "
                   "under it, so it is only checked, never changed. Start that Windows and shut "
                   "it down fully (hold Shift while choosing Shut down, or turn Fast Startup "
                   "off), then check it again";
        }
    }
    return std::nullopt;
}

std::optional<std::string> ReadOnlyRefusal(const fs::path& root) {
    struct statvfs vfs {};
    if (::statvfs(root.c_str(), &vfs) != 0) {
        return root.string() + " cannot be looked at (" + std::strerror(errno) +
               "): it is only checked, never changed";
    }
    if ((vfs.f_flag & ST_RDONLY) == 0) {
        return std::nullopt;
    }
    return root.string() +
           " is mounted read-only, so it is only checked, never changed. To let Velto change "
           "it, mount it writable: sudo mount -o remount,rw " +
           machine::text::ShellQuoted(root.string()) +
           " (an NTFS partition: sudo mount -t ntfs-3g -o rw,norecover DEVICE " +
           machine::text::ShellQuoted(root.string()) +
           "; ntfs-3g mounts it read-only by itself while Windows on it is hibernated)";
}

}  // namespace offline
