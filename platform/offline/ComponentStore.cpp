#include "platform/offline/ComponentStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace offline {
namespace {

// The types of file Velto lists (the main window's choices): the only ones a scan asks about.
const std::set<std::string> kListedTypes = {"acm", "dll", "drv", "exe", "ocx", "tlb", "vbx", "vxd"};

// The store nests components two or three folders deep; a deeper tree is no store of Windows'
// and would only use up file descriptors.
constexpr int kDeepestFolder = 32;

// "dll" for "ORBCALC.DLL"; "" for a name without a dot.
std::string TypeOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    std::string type(dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1));
    for (char& c : type) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return type;
}

}  // namespace

ComponentStore::ComponentStore(std::filesystem::path folder, std::string windowsPath)
    : folder_(std::move(folder)), windowsPath_(std::move(windowsPath)) {}

std::optional<machine::PlatformFile> ComponentStore::Owner(
    const std::filesystem::path& host) const {
    const std::string type = TypeOf(host.filename().string());
    std::lock_guard lock(mutex_);
    if (indexedTypes_.count(type) == 0) {
        std::set<std::string> types = kListedTypes;
        types.insert(type);
        Index(types);
    }
    if (files_.empty() && unreadable_.empty()) {
        return std::nullopt;
    }
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    if (files_.count(FileId{st.st_dev, st.st_ino}) != 0) {
        return machine::PlatformFile{"Windows", "the component store's file (a hard link into " +
                                                    windowsPath_ +
                                                    ", which Windows updates and repairs)"};
    }
    if (!unreadable_.empty() && st.st_nlink > 1) {
        return machine::PlatformFile{
            "Windows", "perhaps the component store's file: it has other names, and " +
                           unreadable_ + ", so nobody can tell which"};
    }
    return std::nullopt;
}

void ComponentStore::Index(const std::set<std::string>& types) const {
    std::set<std::string> missing;
    for (const std::string& type : types) {
        if (indexedTypes_.count(type) == 0) {
            missing.insert(type);
        }
    }
    if (missing.empty()) {
        return;
    }
    const int folder = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        Unreadable(windowsPath_, errno);
    } else {
        Walk(folder, windowsPath_, missing, 0);
    }
    indexedTypes_.insert(missing.begin(), missing.end());
}

// Takes `folder` (an open descriptor) and closes it.
void ComponentStore::Walk(int folder, const std::string& windowsPath,
                          const std::set<std::string>& types, int depth) const {
    DIR* dir = ::fdopendir(folder);
    if (dir == nullptr) {
        Unreadable(windowsPath, errno);
        ::close(folder);
        return;
    }
    const dirent* entry = nullptr;
    for (errno = 0; (entry = ::readdir(dir)) != nullptr; errno = 0) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = windowsPath + "\\" + std::string(name);
        unsigned char kind = entry->d_type;
        struct stat st {};
        bool known = false;
        if (kind == DT_UNKNOWN || (kind == DT_REG && types.count(TypeOf(name)) != 0)) {
            if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                Unreadable(path, errno);
                continue;
            }
            known = true;
            kind = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
        }
        if (kind == DT_DIR) {
            if (depth + 1 >= kDeepestFolder) {
                Unreadable(path, ELOOP);
                continue;
            }
            const int child = ::openat(::dirfd(dir), entry->d_name,
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0) {
                Unreadable(path, errno);
                continue;
            }
            Walk(child, path, types, depth + 1);
        } else if (known && kind == DT_REG && types.count(TypeOf(name)) != 0) {
            files_.insert(FileId{st.st_dev, st.st_ino});
        }
    }
    if (errno != 0) {
        Unreadable(windowsPath, errno);
    }
    ::closedir(dir);
}

void ComponentStore::Unreadable(const std::string& windowsPath, int error) const {
    if (unreadable_.empty()) {
        unreadable_ = windowsPath + " cannot be read (" + std::strerror(error) + ")";
    }
}

}  // namespace offline
