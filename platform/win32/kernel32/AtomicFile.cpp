#include "platform/win32/kernel32/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <random>
#include <set>
#include <string_view>
#include <vector>

#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

constexpr size_t kMaxNameBytes = 200;
constexpr std::string_view kMarker = ".new-";
constexpr size_t kRandomDigits = 12;

// The sibling of a target NAME is ".NAME.new-PID-RANDOM": the writer's process id and twelve
// hexadecimal digits. The writer holds an exclusive lock on it from the moment it exists
// until it is renamed or removed.
std::string RandomSuffix() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string suffix = std::to_string(::getpid()) + "-";
    auto value = generator();
    for (size_t i = 0; i < kRandomDigits; ++i) {
        suffix += kDigits[value & 15];
        value >>= 4;
    }
    return suffix;
}

// The writer's process id when `name` is a sibling's name; 0 when it is not.
pid_t SiblingOwner(std::string_view name) {
    const size_t marker = name.rfind(kMarker);
    if (!name.starts_with('.') || marker == std::string_view::npos || marker < 2) {
        return 0;
    }
    const std::string_view rest = name.substr(marker + kMarker.size());
    const size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9 ||
        rest.size() - dash - 1 != kRandomDigits) {
        return 0;
    }
    pid_t pid = 0;
    for (const char c : rest.substr(0, dash)) {
        if (c < '0' || c > '9') {
            return 0;
        }
        pid = pid * 10 + (c - '0');
    }
    for (const char c : rest.substr(dash + 1)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return 0;
        }
    }
    return pid;
}

// A sibling is stale when its writer's process is gone here and nobody holds its lock (a
// writer on another machine sharing the folder still does); the lock taken to find that out
// is held until the name is gone, so no writer can be starting on it meanwhile.
void RemoveIfStale(const std::filesystem::path& folder, const std::string& name) {
    const pid_t owner = SiblingOwner(name);
    if (owner <= 0 || owner == ::getpid() || ::kill(owner, 0) == 0 || errno != ESRCH) {
        return;
    }
    const auto path = folder / name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return;
    }
    struct stat opened;
    struct stat named;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
        S_ISREG(opened.st_mode) && ::lstat(path.c_str(), &named) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
        ::unlink(path.c_str());
    }
    ::close(fd);
}

// Once per folder and process, the siblings that killed writers left behind are removed:
// they only come from processes that ended before this one looked.
void RemoveStaleSiblings(const std::filesystem::path& folder) {
    static std::mutex mutex;
    static std::set<std::string> done;
    {
        std::lock_guard lock(mutex);
        if (!done.insert(folder.native()).second) {
            return;
        }
    }
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.' && SiblingOwner(entry->d_name) > 0) {
            stale.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    for (const std::string& name : stale) {
        RemoveIfStale(folder, name);
    }
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    const std::string name = target_.filename().native().substr(0, kMaxNameBytes);
    for (int attempt = 0; attempt < 16; ++attempt) {
        sibling_ = target_.parent_path() / ("." + name + std::string(kMarker) + RandomSuffix());
        // Mode 0666 lets the umask decide, as for any new file.
        fd_ = ::open(sibling_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    // Others leave the sibling alone while this process lives; the lock keeps it from a
    // writer on another machine sharing the folder, to whom the process id means nothing.
    ::flock(fd_, LOCK_EX | LOCK_NB);
    RemoveStaleSiblings(target_.parent_path());
}

AtomicFile::~AtomicFile() {
    if (!committed_) {
        Discard();
    }
}

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!sibling_.empty()) {
        ::unlink(sibling_.c_str());
        sibling_.clear();
    }
}

bool AtomicFile::Write(std::string_view data) {
    while (error_ == 0 && !data.empty()) {
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno != EINTR) {
                error_ = errno;
            }
            continue;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return error_ == 0;
}

bool AtomicFile::SetTimes(const timespec& access, const timespec& write) {
    const timespec times[2] = {access, write};
    if (error_ == 0 && ::futimens(fd_, times) != 0) {
        error_ = errno;
    }
    return error_ == 0;
}

int AtomicFile::Finish(bool flush) {
    if (error_ != 0) {
        Discard();
        return error_;
    }
    if (flush && ::fsync(fd_) != 0) {
        error_ = errno;
    }
    if (::close(fd_) != 0 && error_ == 0) {
        error_ = errno;
    }
    fd_ = -1;
    if (error_ == 0) {
        const auto& from = attributesFrom_.empty() ? target_ : attributesFrom_;
        host::FileStat old;
        if (host::Stat(from, old) == 0 && old.isRegular) {
            error_ = host::ChangeMode(sibling_, old.mode & 07777);
            if (error_ == 0) {
                error_ = detail::CopyDosAttributes(from, sibling_);
            }
        }
    }
    if (error_ != 0) {
        Discard();
    }
    return error_;
}

int AtomicFile::Rename(bool replace) {
    error_ =
        replace ? host::RenameReplace(sibling_, target_) : host::RenameNoReplace(sibling_, target_);
    if (error_ != 0) {
        Discard();
        return error_;
    }
    sibling_.clear();
    committed_ = true;
    return 0;
}

int AtomicFile::Commit(bool replace) {
    if (const int err = Finish(true); err != 0) {
        return err;
    }
    if (const int err = Rename(replace); err != 0) {
        return err;
    }
    error_ = host::SyncDirectory(target_.parent_path());
    return error_;
}

int AtomicFile::Stage() {
    return Finish(false);
}

int AtomicFile::Place(bool replace) {
    if (sibling_.empty() || fd_ >= 0) {
        return error_ != 0 ? error_ : EINVAL;
    }
    return Rename(replace);
}

int WriteHostFileAtomically(const std::filesystem::path& target, std::string_view contents) {
    AtomicFile file(target);
    file.Write(contents);
    return file.Commit();
}

bool WriteFileAtomicallyA(std::string_view windowsPath, std::string_view contents) {
    const auto resolved = detail::ResolveForWrite(windowsPath);
    if (!resolved) {
        return false;
    }
    const int err = WriteHostFileAtomically(resolved->host, contents);
    if (err != 0) {
        SetLastErrorFromErrno(err);
        return false;
    }
    resolved->Forget();
    SetLastError(ERROR_SUCCESS);
    return true;
}

}  // namespace win32
