#include "platform/machine/PathResolver.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "platform/machine/DriveBoundaries.h"
#include "platform/machine/NameMapping.h"

namespace machine {
namespace {

// A listing filled less than this long after the folder's last change is not trusted: a
// change within the same clock tick would leave the folder's time unchanged.
constexpr time_t kRacySeconds = 2;
constexpr size_t kMaxCachedFolders = 4096;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool Inside(const std::filesystem::path& path, const std::filesystem::path& root) {
    const std::string& p = path.native();
    const std::string& r = root.native();
    return p == r || (p.size() > r.size() && p.compare(0, r.size(), r) == 0 &&
                      (r.back() == '/' || p[r.size()] == '/'));
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether a path names an entry (with `folder`, a folder) and leads through no symbolic link
// on the way: one walk of the path where looking at each component would walk it once per
// component. False on kernels without openat2, and then the caller looks component by
// component. With `seen`, what the entry is, from the same look.
bool ExistsWithoutLinks(const std::filesystem::path& path, bool folder = false,
                        std::optional<struct statx>* seen = nullptr) {
    open_how how{};
    how.flags = O_PATH | O_CLOEXEC | (folder ? O_DIRECTORY : 0);
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
    if (fd < 0) {
        return false;
    }
    if (seen != nullptr) {
        struct statx stx;
        if (::statx(static_cast<int>(fd), "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME,
                    &stx) == 0) {
            *seen = stx;
        }
    }
    ::close(static_cast<int>(fd));
    return true;
}

std::vector<DirEntryName> ReadFolder(const std::filesystem::path& hostDir, int& err) {
    std::vector<DirEntryName> entries;
    DIR* dir = ::opendir(hostDir.c_str());
    if (dir == nullptr) {
        err = errno;
        return entries;
    }
    errno = 0;
    while (const dirent* ent = ::readdir(dir)) {
        const std::string_view name = ent->d_name;
        if (name != "." && name != "..") {
            entries.push_back(DirEntryName{std::string(name),
                                           HostNameToWindows(name),
                                           {},
                                           ent->d_type == DT_LNK || ent->d_type == DT_UNKNOWN});
        }
        errno = 0;
    }
    err = errno;
    ::closedir(dir);
    return entries;
}

}  // namespace

std::string WindowsPath::str() const {
    std::string out{drive, ':', '\\'};
    for (size_t i = 0; i < components.size(); ++i) {
        if (i > 0) {
            out += '\\';
        }
        out += components[i];
    }
    return out;
}

std::optional<WindowsPath> ParseWindowsPath(std::string_view path, const WindowsPath& current,
                                            PathError& error) {
    error = PathError::None;
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] == '?' &&
        IsSeparator(path[3])) {
        path.remove_prefix(4);
    }
    if (path.empty()) {
        error = PathError::PathNotFound;
        return std::nullopt;
    }
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        error = PathError::BadNetPath;
        return std::nullopt;
    }
    WindowsPath result;
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        result.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        path.remove_prefix(2);
        // "C:name" is relative to the drive's current folder: the current directory when it is
        // on that drive, else the drive's root.
        if ((path.empty() || !IsSeparator(path[0])) && result.drive == current.drive) {
            result.components = current.components;
        }
    } else {
        result.drive = current.drive;
        if (!IsSeparator(path[0])) {
            result.components = current.components;
        }
    }
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = pos;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        const std::string_view part = path.substr(pos, end - pos);
        if (part == "..") {
            if (!result.components.empty()) {
                result.components.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            if (!WindowsNameToHost(part)) {
                error = PathError::InvalidName;
                return std::nullopt;
            }
            result.components.emplace_back(part);
        }
        pos = end + 1;
    }
    return result;
}

bool PathResolver::LeadsInside(const std::filesystem::path& hostPath,
                               const std::filesystem::path& driveRoot) {
    std::error_code ec;
    const auto target = std::filesystem::canonical(hostPath, ec);
    return !ec && Inside(target, driveRoot);
}

PathResolver::PathResolver(std::vector<DriveInfo> drives, std::unique_ptr<FolderWatch> watch)
    : drives_(std::move(drives)), watch_(std::move(watch)) {}

const DriveInfo* PathResolver::Drive(char letter) const {
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    for (const DriveInfo& drive : drives_) {
        if (drive.letter == letter) {
            return &drive;
        }
    }
    return nullptr;
}

std::optional<std::filesystem::path> PathResolver::CanonicalRoot(const DriveInfo& drive) const {
    if (drive.hostFolder.empty()) {
        return std::nullopt;
    }
    struct stat st;
    if (::stat(drive.hostFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    {
        std::lock_guard lock(mutex_);
        if (const auto it = roots_.find(drive.letter); it != roots_.end()) {
            return it->second;
        }
    }
    std::error_code ec;
    auto root = std::filesystem::canonical(drive.hostFolder, ec);
    // The folder was checked when the machine was opened; a link changed since may not lead
    // the drive into the host's system.
    if (ec || WhyNotADriveFolder(root)) {
        return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    roots_[drive.letter] = root;
    return root;
}

std::optional<std::filesystem::path> PathResolver::LiteralPath(
    char drive, const std::vector<std::string>& components, std::filesystem::path& root) const {
    {
        std::lock_guard lock(mutex_);
        const auto known = roots_.find(drive);
        if (known == roots_.end()) {
            return std::nullopt;
        }
        root = known->second;
    }
    // Joined as text: a path appended to component by component parses itself each time.
    std::string literal = root.native();
    for (const std::string& component : components) {
        const auto name = WindowsNameToHost(component);
        if (!name) {
            return std::nullopt;
        }
        if (literal.empty() || literal.back() != '/') {
            literal += '/';
        }
        literal += *name;
    }
    return std::filesystem::path(std::move(literal));
}

ResolvedPath PathResolver::Resolve(const WindowsPath& path) const {
    ResolvedPath out;
    out.windows.drive = path.drive;
    const DriveInfo* drive = Drive(path.drive);
    if (drive == nullptr) {
        out.error = PathError::PathNotFound;
        return out;
    }
    // Most paths are spelled as on disk: one look at the whole path settles them, and tells
    // as well that the drive's folder is there. Of the others, most lie in such a folder and
    // only their last name is new or spelled otherwise: that name alone is looked up.
    std::optional<std::filesystem::path> root;
    std::filesystem::path current;
    size_t first = 0;
    if (!path.components.empty()) {
        std::filesystem::path known;
        if (auto literal = LiteralPath(drive->letter, path.components, known)) {
            if (ExistsWithoutLinks(*literal, false, &out.seen)) {
                out.driveRoot = std::move(known);
                out.exists = true;
                out.host = std::move(*literal);
                out.windows.components = path.components;
                return out;
            }
            if (path.components.size() > 1 && ExistsWithoutLinks(literal->parent_path(), true)) {
                first = path.components.size() - 1;
                current = literal->parent_path();
                out.windows.components.assign(path.components.begin(), path.components.end() - 1);
                root = std::move(known);
            }
        }
    }
    if (!root) {
        root = CanonicalRoot(*drive);
        if (!root) {
            out.error = PathError::NotReady;
            return out;
        }
        current = *root;
    }
    out.driveRoot = *root;
    out.exists = true;
    out.host = current;

    for (size_t i = first; i < path.components.size(); ++i) {
        const bool last = i + 1 == path.components.size();
        const std::string& component = path.components[i];
        const auto literal = WindowsNameToHost(component);
        if (!literal) {
            out.error = PathError::InvalidName;
            return out;
        }
        std::string hostName;
        std::string windowsName;
        struct stat st;
        if (::lstat((current / *literal).c_str(), &st) == 0) {
            hostName = *literal;
            windowsName = component;
        } else {
            int err = 0;
            auto match = Lookup(current, component, err);
            if (match && ::lstat((current / match->host).c_str(), &st) == 0) {
                hostName = std::move(match->host);
                windowsName = std::move(match->windows);
            }
        }
        if (hostName.empty()) {
            if (!last) {
                out.error = PathError::PathNotFound;
                return out;
            }
            out.host = current / *literal;
            out.exists = false;
            out.windows.components.push_back(component);
            return out;
        }

        std::filesystem::path candidate = current / hostName;
        out.windows.components.push_back(windowsName);
        if (S_ISLNK(st.st_mode)) {
            std::error_code ec;
            const auto target = std::filesystem::canonical(candidate, ec);
            if (ec || !Inside(target, *root)) {
                out.error = PathError::AccessDenied;
                return out;
            }
            if (::stat(target.c_str(), &st) != 0) {
                out.error = PathError::AccessDenied;
                return out;
            }
            if (!last) {
                candidate = target;
            }
        }
        if (!last && !S_ISDIR(st.st_mode)) {
            out.error = PathError::PathNotFound;
            return out;
        }
        current = std::move(candidate);
    }
    out.host = current;
    return out;
}

std::optional<std::string> PathResolver::ToWindows(const std::filesystem::path& host) const {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(host, ec).lexically_normal();
    if (ec) {
        return std::nullopt;
    }
    const DriveInfo* best = nullptr;
    std::filesystem::path bestRoot;
    for (const DriveInfo& drive : drives_) {
        if (drive.hostFolder.empty()) {
            continue;
        }
        std::vector<std::filesystem::path> roots{drive.hostFolder.lexically_normal()};
        if (const auto canonical = CanonicalRoot(drive)) {
            roots.push_back(*canonical);
        }
        for (auto root : roots) {
            if (root.native().size() > 1 && root.native().back() == '/') {
                root = root.parent_path();
            }
            if (Inside(absolute, root) &&
                (best == nullptr || root.native().size() > bestRoot.native().size())) {
                best = &drive;
                bestRoot = root;
            }
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    WindowsPath path;
    path.drive = best->letter;
    std::filesystem::path folder = bestRoot;
    for (const auto& part : absolute.lexically_relative(bestRoot)) {
        if (part.empty() || part == ".") {
            continue;
        }
        std::string name = HostNameToWindows(part.native());
        // A name that could read like a neighbour's is shown as its folder shows it.
        if (name != part.native() || !std::all_of(name.begin(), name.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x80;
            })) {
            std::lock_guard lock(mutex_);
            int err = 0;
            if (FolderListing* listing = Listing(folder, err)) {
                name = listing->ShownName(part.native()).value_or(std::move(name));
            }
        }
        path.components.push_back(std::move(name));
        folder /= part;
    }
    return path.str();
}

std::shared_ptr<const std::vector<DirEntryName>> PathResolver::List(
    const std::filesystem::path& hostDir, int& err) const {
    std::lock_guard lock(mutex_);
    FolderListing* listing = Listing(hostDir, err);
    return listing != nullptr ? listing->Entries() : nullptr;
}

std::optional<DirEntryName> PathResolver::Lookup(const std::filesystem::path& hostDir,
                                                 std::string_view windowsName, int& err) const {
    std::lock_guard lock(mutex_);
    FolderListing* listing = Listing(hostDir, err);
    return listing != nullptr ? listing->Lookup(windowsName) : std::nullopt;
}

std::optional<DirEntryName> PathResolver::Find(const std::filesystem::path& hostDir,
                                               std::string_view windowsName, int& err) const {
    std::lock_guard lock(mutex_);
    FolderListing* listing = Listing(hostDir, err);
    return listing != nullptr ? listing->FindExact(windowsName) : std::nullopt;
}

std::uint64_t PathResolver::foldersRead() const {
    std::lock_guard lock(mutex_);
    return foldersRead_;
}

FolderListing* PathResolver::Listing(const std::filesystem::path& hostDir, int& err) const {
    err = 0;
    ApplyWatchedChanges();
    struct stat st;
    if (::stat(hostDir.c_str(), &st) != 0) {
        err = errno;
        return nullptr;
    }
    if (!S_ISDIR(st.st_mode)) {
        err = ENOTDIR;
        return nullptr;
    }
    if (const auto it = cache_.find(hostDir.native()); it != cache_.end()) {
        const CachedFolder& cached = it->second;
        const bool same = cached.dev == st.st_dev && cached.ino == st.st_ino;
        // A watched folder's listing has taken in every change since it was read.
        if (same && cached.watch >= 0) {
            return cached.listing.get();
        }
        const bool racy = cached.filled.tv_sec - st.st_mtim.tv_sec < kRacySeconds;
        if (same && !racy && SameTime(cached.mtime, st.st_mtim) &&
            SameTime(cached.ctime, st.st_ctim)) {
            return cached.listing.get();
        }
        Drop(it);
    }
    if (cache_.size() >= kMaxCachedFolders) {
        DropAll(false);
    }

    CachedFolder fresh;
    fresh.dev = st.st_dev;
    fresh.ino = st.st_ino;
    fresh.mtime = st.st_mtim;
    fresh.ctime = st.st_ctim;
    clock_gettime(CLOCK_REALTIME, &fresh.filled);
    // Watched before it is read, so that nothing can change unseen in between.
    fresh.watch = watch_->Add(hostDir);
    auto entries = ReadFolder(hostDir, err);
    if (err != 0) {
        if (fresh.watch >= 0 && byWatch_.count(fresh.watch) == 0) {
            watch_->Remove(fresh.watch);
        }
        return nullptr;
    }
    ++foldersRead_;
    fresh.listing = std::make_unique<FolderListing>(std::move(entries));
    if (fresh.watch >= 0) {
        byWatch_.emplace(fresh.watch, hostDir.native());
    }
    return cache_.insert_or_assign(hostDir.native(), std::move(fresh)).first->second.listing.get();
}

void PathResolver::ApplyWatchedChanges() const {
    changes_.clear();
    if (!watch_->Drain(changes_)) {
        DropAll(true);
        return;
    }
    for (const FolderChange& change : changes_) {
        const auto [first, last] = byWatch_.equal_range(change.watch);
        std::vector<std::string> folders;
        for (auto it = first; it != last; ++it) {
            folders.push_back(it->second);
        }
        for (const std::string& folder : folders) {
            const auto it = cache_.find(folder);
            if (it == cache_.end()) {
                continue;
            }
            if (change.name.empty()) {
                Drop(it);
            } else {
                Reread(it, change.name);
            }
        }
    }
}

void PathResolver::Reread(Cache::iterator folder, const std::string& name) const {
    struct stat st;
    if (::lstat((std::filesystem::path(folder->first) / name).c_str(), &st) == 0) {
        folder->second.listing->Put(name, S_ISLNK(st.st_mode));
    } else if (errno == ENOENT) {
        folder->second.listing->Erase(name);
    } else {
        Drop(folder);
    }
}

void PathResolver::Drop(Cache::iterator folder) const {
    const int watch = folder->second.watch;
    if (watch >= 0) {
        const auto [first, last] = byWatch_.equal_range(watch);
        for (auto it = first; it != last; ++it) {
            if (it->second == folder->first) {
                byWatch_.erase(it);
                break;
            }
        }
        if (byWatch_.count(watch) == 0) {
            watch_->Remove(watch);
        }
    }
    cache_.erase(folder);
}

void PathResolver::DropAll(bool watchesGone) const {
    if (!watchesGone) {
        for (const auto& [watch, folder] : byWatch_) {
            watch_->Remove(watch);
        }
    }
    byWatch_.clear();
    cache_.clear();
}

void PathResolver::Refresh(const std::filesystem::path& hostPath) const {
    std::lock_guard lock(mutex_);
    // A folder this process removed, moved or replaced takes its listings, and those of the
    // folders below it, with it.
    const std::string& self = hostPath.native();
    for (auto it = cache_.lower_bound(self); it != cache_.end() && it->first.starts_with(self);) {
        const std::string& key = it->first;
        if (key.size() == self.size() || key[self.size()] == '/') {
            Drop(it++);
        } else {
            ++it;
        }
    }
    const auto folder = cache_.find(hostPath.parent_path().native());
    if (folder == cache_.end()) {
        return;
    }
    if (folder->second.watch < 0) {
        // Unwatched, the listing cannot tell this change from someone else's made alongside.
        Drop(folder);
        return;
    }
    Reread(folder, hostPath.filename().native());
}

}  // namespace machine
