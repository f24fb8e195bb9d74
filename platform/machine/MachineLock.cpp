#include "platform/machine/MachineLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace machine {
namespace {

// A holder that keeps removing the file as this process locks it would be a fault; a few
// rounds tell it from the race between two holders.
constexpr int kAttempts = 64;
constexpr std::size_t kMaxLine = 512;

struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

bool IsNamedFile(int fd, const std::filesystem::path& file) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(file.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// The holder's line; "another process" while the holder has not written it yet.
std::string HolderLine(int fd) {
    std::string line(kMaxLine, '\0');
    const ssize_t n = ::pread(fd, line.data(), line.size(), 0);
    line.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    line = line.substr(0, line.find('\n'));
    return line.empty() ? "another process" : line;
}

int WriteLine(int fd, const std::string& line) {
    if (::ftruncate(fd, 0) != 0) {
        return errno;
    }
    const ssize_t n = ::pwrite(fd, line.data(), line.size(), 0);
    if (n < 0) {
        return errno;
    }
    return static_cast<std::size_t>(n) == line.size() ? 0 : ENOSPC;
}

std::string CannotChange(const std::filesystem::path& file, int err) {
    return "the machine in " + file.parent_path().string() + " cannot be written (" +
           std::strerror(err) + ": no lock file " + file.filename().string() +
           " can be made in it); commands that only read it still work (velto-machine check, "
           "info, list, reg export)";
}

}  // namespace

MachineLock::MachineLock(const std::filesystem::path& folder, const std::string& holder)
    : file_(folder / kFileName) {
    for (int attempt = 0;; ++attempt) {
        fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd_ < 0) {
            throw MachineError(CannotChange(file_, errno));
        }
        struct flock lock = WholeFile(F_WRLCK);
        if (::fcntl(fd_, F_OFD_SETLK, &lock) != 0) {
            const int err = errno;
            const std::string who = HolderLine(fd_);
            ::close(fd_);
            fd_ = -1;
            if (err == EAGAIN || err == EACCES) {
                throw MachineBusy("the machine in " + folder.string() + " is in use: " + who +
                                  " is changing it; one process at a time may change a "
                                  "machine, so try again once it has ended");
            }
            throw MachineError("cannot lock " + file_.string() + ": " + std::strerror(err));
        }
        if (IsNamedFile(fd_, file_)) {
            break;
        }
        ::close(fd_);
        fd_ = -1;
        if (attempt + 1 == kAttempts) {
            throw MachineError("cannot lock " + file_.string() +
                               ": another process keeps removing it");
        }
    }
    if (const int err = WriteLine(fd_, holder + " (process " + std::to_string(::getpid()) + ")\n");
        err != 0) {
        ::unlink(file_.c_str());
        ::close(fd_);
        fd_ = -1;
        throw MachineError(CannotChange(file_, err));
    }
}

MachineLock::~MachineLock() {
    // Only the file this lock holds is removed: a file of that name may be another's by now
    // (the folder removed and made anew).
    if (IsNamedFile(fd_, file_)) {
        ::unlink(file_.c_str());
    }
    ::close(fd_);
}

std::optional<std::string> LockHolder(const std::filesystem::path& folder) {
    const std::filesystem::path file = folder / MachineLock::kFileName;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct flock lock = WholeFile(F_WRLCK);
    std::optional<std::string> holder;
    if (::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK) {
        holder = HolderLine(fd);
    }
    ::close(fd);
    return holder;
}

}  // namespace machine
