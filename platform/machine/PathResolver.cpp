#include "platform/machine/PathResolver.h"

#include <dirent.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "platform/machine/NameMapping.h"
#include "platform/machine/ShortNames.h"
#include "platform/machine/Text.h"

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

PathResolver::PathResolver(std::vector<DriveInfo> drives) : drives_(std::move(drives)) {}

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
    if (ec) {
        return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    roots_[drive.letter] = root;
    return root;
}

ResolvedPath PathResolver::Resolve(const WindowsPath& path) const {
    ResolvedPath out;
    out.windows.drive = path.drive;
    const DriveInfo* drive = Drive(path.drive);
    if (drive == nullptr) {
        out.error = PathError::PathNotFound;
        return out;
    }
    const auto root = CanonicalRoot(*drive);
    if (!root) {
        out.error = PathError::NotReady;
        return out;
    }
    out.driveRoot = *root;
    std::filesystem::path current = *root;
    out.exists = true;
    out.host = current;

    for (size_t i = 0; i < path.components.size(); ++i) {
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
            const auto listing = List(current, err);
            if (listing) {
                const std::string folded = text::FoldCase(component);
                const DirEntryName* match = nullptr;
                for (const DirEntryName& entry : *listing) {
                    if (text::FoldCase(entry.windows) == folded &&
                        (match == nullptr || entry.host < match->host)) {
                        match = &entry;
                    }
                }
                for (size_t k = 0; match == nullptr && k < listing->size(); ++k) {
                    if (text::FoldCase((*listing)[k].shortName) == folded) {
                        match = &(*listing)[k];
                    }
                }
                if (match != nullptr && ::lstat((current / match->host).c_str(), &st) == 0) {
                    hostName = match->host;
                    windowsName = match->windows;
                }
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
    for (const auto& part : absolute.lexically_relative(bestRoot)) {
        if (!part.empty() && part != ".") {
            path.components.push_back(HostNameToWindows(part.native()));
        }
    }
    return path.str();
}

std::shared_ptr<const std::vector<DirEntryName>> PathResolver::List(
    const std::filesystem::path& hostDir, int& err) const {
    err = 0;
    struct stat st;
    if (::stat(hostDir.c_str(), &st) != 0) {
        err = errno;
        return nullptr;
    }
    if (!S_ISDIR(st.st_mode)) {
        err = ENOTDIR;
        return nullptr;
    }
    {
        std::lock_guard lock(mutex_);
        const auto it = cache_.find(hostDir.native());
        if (it != cache_.end()) {
            const CachedListing& cached = it->second;
            const bool racy = cached.filled.tv_sec - st.st_mtim.tv_sec < kRacySeconds;
            if (!racy && cached.dev == st.st_dev && cached.ino == st.st_ino &&
                SameTime(cached.mtime, st.st_mtim) && SameTime(cached.ctime, st.st_ctim)) {
                return cached.entries;
            }
        }
    }

    CachedListing fresh;
    fresh.dev = st.st_dev;
    fresh.ino = st.st_ino;
    fresh.mtime = st.st_mtim;
    fresh.ctime = st.st_ctim;
    clock_gettime(CLOCK_REALTIME, &fresh.filled);

    DIR* dir = ::opendir(hostDir.c_str());
    if (dir == nullptr) {
        err = errno;
        return nullptr;
    }
    auto entries = std::make_shared<std::vector<DirEntryName>>();
    errno = 0;
    while (const dirent* ent = ::readdir(dir)) {
        const std::string_view name = ent->d_name;
        if (name != "." && name != "..") {
            entries->push_back(DirEntryName{std::string(name),
                                            HostNameToWindows(name),
                                            {},
                                            ent->d_type == DT_LNK || ent->d_type == DT_UNKNOWN});
        }
        errno = 0;
    }
    const int readErr = errno;
    ::closedir(dir);
    if (readErr != 0) {
        err = readErr;
        return nullptr;
    }
    std::vector<std::string> windowsNames;
    windowsNames.reserve(entries->size());
    for (const auto& entry : *entries) {
        windowsNames.push_back(entry.windows);
    }
    auto shortNames = AssignShortNames(windowsNames);
    for (size_t i = 0; i < entries->size(); ++i) {
        (*entries)[i].shortName = std::move(shortNames[i]);
    }
    fresh.entries = entries;

    std::lock_guard lock(mutex_);
    if (cache_.size() >= kMaxCachedFolders) {
        cache_.clear();
    }
    cache_[hostDir.native()] = fresh;
    return entries;
}

void PathResolver::Forget(const std::filesystem::path& hostDir) const {
    std::lock_guard lock(mutex_);
    cache_.erase(hostDir.native());
}

}  // namespace machine
