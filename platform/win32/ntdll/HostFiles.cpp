#include "platform/win32/ntdll/HostFiles.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <vector>

#include "platform/win32/ntdll/Descriptor.h"

namespace win32::host {
namespace {

class HostXattrs : public ExtendedAttributes {
  public:
    int Get(const std::filesystem::path& path, const char* name,
            std::string& value) const override {
        std::vector<char> buffer(64);
        for (;;) {
            const ssize_t n = ::getxattr(path.c_str(), name, buffer.data(), buffer.size());
            if (n >= 0) {
                value.assign(buffer.data(), static_cast<size_t>(n));
                return 0;
            }
            if (errno != ERANGE) {
                return errno;
            }
            const ssize_t needed = ::getxattr(path.c_str(), name, nullptr, 0);
            if (needed < 0) {
                return errno;
            }
            buffer.resize(static_cast<size_t>(needed) + 1);
        }
    }

    int Set(const std::filesystem::path& path, const char* name,
            std::string_view value) const override {
        return ::setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0 ? 0 : errno;
    }
};

const HostXattrs kHostXattrs;
std::atomic<const ExtendedAttributes*> gXattrs{&kHostXattrs};

}  // namespace

int Stat(const std::filesystem::path& path, FileStat& out) {
    struct statx stx;
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) {
        return errno;
    }
    out = FileStatOf(stx);
    return 0;
}

FileStat FileStatOf(const struct statx& stx) {
    FileStat out;
    out.isDirectory = S_ISDIR(stx.stx_mode);
    out.isRegular = S_ISREG(stx.stx_mode);
    out.size = stx.stx_size;
    out.mode = stx.stx_mode;
    out.device = (static_cast<std::uint64_t>(stx.stx_dev_major) << 32) | stx.stx_dev_minor;
    out.inode = stx.stx_ino;
    const auto toTimespec = [](const statx_timestamp& t) {
        return timespec{static_cast<time_t>(t.tv_sec), static_cast<long>(t.tv_nsec)};
    };
    out.accessTime = toTimespec(stx.stx_atime);
    out.writeTime = toTimespec(stx.stx_mtime);
    out.creationTime =
        (stx.stx_mask & STATX_BTIME) != 0 ? toTimespec(stx.stx_btime) : out.writeTime;
    return out;
}

const ExtendedAttributes& Xattrs() {
    return *gXattrs.load();
}

void SetXattrsForTesting(const ExtendedAttributes* replacement) {
    gXattrs.store(replacement != nullptr ? replacement : &kHostXattrs);
}

int ChangeMode(const std::filesystem::path& path, mode_t mode) {
    return ::chmod(path.c_str(), mode) == 0 ? 0 : errno;
}

int RemoveFile(const std::filesystem::path& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int RemoveDirectory(const std::filesystem::path& path) {
    return ::rmdir(path.c_str()) == 0 ? 0 : errno;
}

int MakeDirectory(const std::filesystem::path& path) {
    return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
}

int RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name just the
    // same. Folders cannot be linked; they are only renamed when nothing has their new name.
    if (::link(from.c_str(), to.c_str()) == 0) {
        return ::unlink(from.c_str()) == 0 ? 0 : errno;
    }
    if (errno != EPERM) {
        return errno;
    }
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) {
        return EEXIST;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int RenameReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int CreateNewFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    return ::close(fd) == 0 ? 0 : errno;
}

int SetTimes(const std::filesystem::path& path, const timespec& access, const timespec& write) {
    const timespec times[2] = {access, write};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0 ? 0 : errno;
}

int OpenRegularFile(const std::filesystem::path& path, int& fd) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return errno;
    }
    struct stat st;
    const int err = ::fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EACCES;
    if (err != 0) {
        ::close(fd);
        fd = -1;
    }
    return err;
}

namespace {

// Reads up to `size` bytes, as many as there are before the end; -1 with errno on failure.
ssize_t ReadFull(int fd, char* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

int ReadWholeFile(const std::filesystem::path& path, std::string& out) {
    int raw = -1;
    if (const int err = OpenRegularFile(path, raw); err != 0) {
        return err;
    }
    const Descriptor fd(raw);
    out.clear();
    // Read into place: a large file would otherwise be held twice while the text grows.
    struct stat st;
    if (::fstat(fd.get(), &st) == 0 && st.st_size > 0) {
        out.reserve(static_cast<size_t>(st.st_size));
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ReadFull(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            return 0;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
}

int CompareContents(const std::filesystem::path& a, const std::filesystem::path& b, bool& same) {
    same = false;
    int rawA = -1;
    int rawB = -1;
    if (const int err = OpenRegularFile(a, rawA); err != 0) {
        return err;
    }
    const Descriptor left(rawA);
    if (const int err = OpenRegularFile(b, rawB); err != 0) {
        return err;
    }
    const Descriptor right(rawB);
    std::vector<char> leftBlock(1 << 16);
    std::vector<char> rightBlock(leftBlock.size());
    for (;;) {
        const ssize_t l = ReadFull(left.get(), leftBlock.data(), leftBlock.size());
        if (l < 0) {
            return errno;
        }
        const ssize_t r = ReadFull(right.get(), rightBlock.data(), rightBlock.size());
        if (r < 0) {
            return errno;
        }
        if (l != r || !std::equal(leftBlock.begin(), leftBlock.begin() + l, rightBlock.begin())) {
            return 0;
        }
        if (l == 0) {
            same = true;
            return 0;
        }
    }
}

int CopyContents(const std::filesystem::path& from, int toFd, std::uint64_t* copied) {
    int raw = -1;
    if (const int err = OpenRegularFile(from, raw); err != 0) {
        return err;
    }
    const Descriptor in(raw);
    // One buffer per thread for every copy: a megabyte cleared for each of thousands of small
    // files cost more than the copies themselves.
    constexpr size_t kBufferSize = 1 << 20;
    thread_local const std::unique_ptr<char[]> buffer(new char[kBufferSize]);
    if (copied != nullptr) {
        *copied = 0;
    }
    for (;;) {
        const ssize_t n = ReadFull(in.get(), buffer.get(), kBufferSize);
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            return 0;
        }
        if (copied != nullptr) {
            *copied += static_cast<std::uint64_t>(n);
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(toFd, buffer.get() + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            done += w;
        }
    }
}

int LockExclusive(int fd) {
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

FolderLock::FolderLock(const std::filesystem::path& dir)
    : fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    error_ = fd_ < 0 ? errno : LockExclusive(fd_);
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int SyncDirectory(const std::filesystem::path& dir) {
    // The folder of a bare file name ("out.reg") is the current one.
    const Descriptor fd(
        ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) {
        return errno;
    }
    return ::fsync(fd.get()) == 0 ? 0 : errno;
}

int SyncFileSystem(const std::filesystem::path& dir) {
    const Descriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) {
        return errno;
    }
    return ::syncfs(fd.get()) == 0 ? 0 : errno;
}

int SyncFile(const std::filesystem::path& path) {
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.get() < 0) {
        return errno;
    }
    return ::fsync(fd.get()) == 0 ? 0 : errno;
}

}  // namespace win32::host
