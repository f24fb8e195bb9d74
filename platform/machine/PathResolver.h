#pragma once
// Windows paths of the emulated machine onto host paths and back.
//
// A Windows path is taken apart into a drive letter and components ("\" and "/" both
// separate, "." vanishes, ".." stops at the drive root, a path without a drive or a relative
// one starts at the current directory). Each component is then looked up in its host folder:
// the exact host name first, else a name equal without regard to case (ASCII and Latin-1), else
// a generated short name. Nothing resolves outside the drive's host folder: a symbolic link
// whose target lies outside (or nowhere) is refused.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine/MachineProfile.h"

namespace machine {

// Why a path does not resolve; the values are the Win32 error codes Windows gives.
enum class PathError : std::uint32_t {
    None = 0,
    PathNotFound = 3,   // missing drive or folder, empty path
    AccessDenied = 5,   // leads outside the drive
    NotReady = 21,      // drive without medium
    BadNetPath = 53,    // UNC path: the machine has no network
    InvalidName = 123,  // a character Windows forbids in a name
};

struct WindowsPath {
    char drive = 'C';
    std::vector<std::string> components;

    // "C:\" for the root, else "C:\A\B" (no trailing backslash).
    std::string str() const;
    bool isRoot() const { return components.empty(); }
};

// Parses and normalises `path`; `current` is the folder relative paths start from.
std::optional<WindowsPath> ParseWindowsPath(std::string_view path, const WindowsPath& current,
                                            PathError& error);

struct ResolvedPath {
    PathError error = PathError::None;
    std::filesystem::path host;
    // Whether the last component exists; a missing one is mapped to the host name it would
    // get, so that the caller can create it.
    bool exists = false;
    // The path with every existing component spelled as on disk (the long name).
    WindowsPath windows;
    // Host folder of the drive (canonical).
    std::filesystem::path driveRoot;

    explicit operator bool() const { return error == PathError::None; }
};

// One entry of a host folder as Windows sees it.
struct DirEntryName {
    std::string host;
    std::string windows;
    std::string shortName;
    // A symbolic link (or an entry whose type readdir did not tell): check where it leads.
    bool mayBeLink = false;
};

class PathResolver {
  public:
    explicit PathResolver(std::vector<DriveInfo> drives);

    ResolvedPath Resolve(const WindowsPath& path) const;

    // The Windows path of a host path inside one of the drives; nullopt outside all of them.
    std::optional<std::string> ToWindows(const std::filesystem::path& host) const;

    // Whether a host path lies inside a drive's canonical host folder once links are followed.
    static bool LeadsInside(const std::filesystem::path& hostPath,
                            const std::filesystem::path& driveRoot);

    const DriveInfo* Drive(char letter) const;
    const std::vector<DriveInfo>& drives() const { return drives_; }

    // The entries of a host folder in the host's readdir order, without "." and "..".
    // Served from a per-folder cache that is refreshed when the folder changes; nullptr with
    // `err` set to the errno when the folder cannot be read.
    std::shared_ptr<const std::vector<DirEntryName>> List(const std::filesystem::path& hostDir,
                                                          int& err) const;
    // Drops the cached listing of a folder whose entries were changed.
    void Forget(const std::filesystem::path& hostDir) const;

  private:
    struct CachedListing {
        std::uint64_t dev = 0;
        std::uint64_t ino = 0;
        timespec mtime{};
        timespec ctime{};
        timespec filled{};
        std::shared_ptr<const std::vector<DirEntryName>> entries;
    };

    std::optional<std::filesystem::path> CanonicalRoot(const DriveInfo& drive) const;

    std::vector<DriveInfo> drives_;
    mutable std::mutex mutex_;
    mutable std::map<char, std::filesystem::path> roots_;
    mutable std::map<std::string, CachedListing> cache_;
};

}  // namespace machine
