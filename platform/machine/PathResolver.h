#pragma once
// Windows paths of the emulated machine onto host paths and back.
//
// A Windows path is taken apart into a drive letter and components ("\" and "/" both
// separate, "." vanishes, ".." stops at the drive root, a path without a drive or a relative
// one starts at the current directory). Each component is then looked up in its host folder:
// the exact host name first, else a name equal without regard to case (ASCII, Latin-1 and the
// other Windows-1252 letters), else a generated short name. Of host names that read the same,
// each is reached by one Windows name alone (NameMapping.h). Nothing resolves outside the
// drive's host folder: a symbolic link whose target lies outside (or nowhere) is refused.
//
// The listings of folders in which a name had to be searched are cached. A listing follows
// this process's changes entry by entry (Refresh) and everyone's through a folder watch, so
// that a folder changed a moment ago is not read again. A folder that cannot be watched is
// checked against its identity and change times, and read again while a change is too recent
// for its change time to tell one change from the next.

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/machine/FolderListing.h"
#include "platform/machine/FolderWatch.h"
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
    // The entry as it was when one look at the whole path settled it (links followed, of
    // which there were none); empty when the path was looked up name by name.
    std::optional<struct statx> seen;

    explicit operator bool() const { return error == PathError::None; }
};

class PathResolver {
  public:
    explicit PathResolver(std::vector<DriveInfo> drives,
                          std::unique_ptr<FolderWatch> watch = MakeHostFolderWatch());

    ResolvedPath Resolve(const WindowsPath& path) const;

    // The Windows path of a host path inside one of the drives; nullopt outside all of them.
    std::optional<std::string> ToWindows(const std::filesystem::path& host) const;

    // Whether a host path lies inside a drive's canonical host folder once links are followed.
    static bool LeadsInside(const std::filesystem::path& hostPath,
                            const std::filesystem::path& driveRoot);

    const DriveInfo* Drive(char letter) const;
    const std::vector<DriveInfo>& drives() const { return drives_; }

    // The entries of a host folder with their short names, in the host's readdir order (those
    // added since the folder was last read whole at the end), without "." and "..". nullptr
    // with `err` set to the errno when the folder cannot be read.
    std::shared_ptr<const std::vector<DirEntryName>> List(const std::filesystem::path& hostDir,
                                                          int& err) const;
    // The entry a Windows name stands for in a host folder, found as Resolve finds it (long
    // name without regard to case, else short name); its short name is not filled in.
    // nullopt when there is none (`err` 0) or the folder cannot be read (`err` the errno).
    std::optional<DirEntryName> Lookup(const std::filesystem::path& hostDir,
                                       std::string_view windowsName, int& err) const;
    // The entry the exact Windows name `windowsName` leads to, with its short name.
    std::optional<DirEntryName> Find(const std::filesystem::path& hostDir,
                                     std::string_view windowsName, int& err) const;

    // This process created, replaced, moved or removed the entry at `hostPath`: the cached
    // listing of its folder takes in just that name, and listings of folders at or below it
    // are dropped.
    void Refresh(const std::filesystem::path& hostPath) const;

    // How many times a folder was read whole since the resolver was made.
    std::uint64_t foldersRead() const;

  private:
    struct CachedFolder {
        std::uint64_t dev = 0;
        std::uint64_t ino = 0;
        timespec mtime{};
        timespec ctime{};
        timespec filled{};
        int watch = -1;
        std::unique_ptr<FolderListing> listing;
    };
    using Cache = std::map<std::string, CachedFolder>;

    std::optional<std::filesystem::path> CanonicalRoot(const DriveInfo& drive) const;
    // The host path of a Windows path's components taken literally, once the drive's folder
    // is known (then set in `root`).
    std::optional<std::filesystem::path> LiteralPath(char drive,
                                                     const std::vector<std::string>& components,
                                                     std::filesystem::path& root) const;
    // The up-to-date listing of a folder, read if need be; the lock must be held.
    FolderListing* Listing(const std::filesystem::path& hostDir, int& err) const;
    void ApplyWatchedChanges() const;
    void Reread(Cache::iterator folder, const std::string& name) const;
    void Drop(Cache::iterator folder) const;
    void DropAll(bool watchesGone) const;

    std::vector<DriveInfo> drives_;
    std::unique_ptr<FolderWatch> watch_;
    mutable std::mutex mutex_;
    mutable std::map<char, std::filesystem::path> roots_;
    mutable Cache cache_;
    mutable std::unordered_multimap<int, std::string> byWatch_;
    mutable std::vector<FolderChange> changes_;
    mutable std::uint64_t foldersRead_ = 0;
};

}  // namespace machine
