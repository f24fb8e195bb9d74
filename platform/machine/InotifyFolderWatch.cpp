#include <fcntl.h>
#include <linux/magic.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/machine/FolderWatch.h"

namespace machine {
namespace {

// Cluster file systems the header has no name for.
constexpr long kGfs2Magic = 0x01161970;

// A forked child shares the parent's inotify queue; reading from it would steal the parent's
// events. The child therefore notices the fork and starts a queue of its own.
std::atomic<unsigned> gForks{0};

void CountFork() {
    gForks.fetch_add(1, std::memory_order_relaxed);
}

unsigned Forks() {
    static const int registered = pthread_atfork(nullptr, nullptr, CountFork);
    static_cast<void>(registered);
    return gForks.load(std::memory_order_relaxed);
}

// Other machines change these without this kernel's knowledge; user-space file systems may
// too.
bool ChangedUnseen(const std::filesystem::path& dir) {
    struct statfs fs;
    if (::statfs(dir.c_str(), &fs) != 0) {
        return true;
    }
    switch (static_cast<long>(fs.f_type)) {
        case NFS_SUPER_MAGIC:
        case SMB_SUPER_MAGIC:
        case static_cast<long>(CIFS_SUPER_MAGIC):
        case static_cast<long>(SMB2_SUPER_MAGIC):
        case FUSE_SUPER_MAGIC:
        case CODA_SUPER_MAGIC:
        case AFS_SUPER_MAGIC:
        case AFS_FS_MAGIC:
        case CEPH_SUPER_MAGIC:
        case V9FS_MAGIC:
        case NCP_SUPER_MAGIC:
        case OCFS2_SUPER_MAGIC:
        case kGfs2Magic:
            return true;
        default:
            return false;
    }
}

class InotifyFolderWatch final : public FolderWatch {
  public:
    InotifyFolderWatch() : forks_(Forks()) {}
    ~InotifyFolderWatch() override { Close(); }
    InotifyFolderWatch(const InotifyFolderWatch&) = delete;
    InotifyFolderWatch& operator=(const InotifyFolderWatch&) = delete;

    int Add(const std::filesystem::path& dir) override {
        Forked();
        if (ChangedUnseen(dir)) {
            return -1;
        }
        if (fd_ < 0) {
            fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            if (fd_ < 0) {
                return -1;
            }
        }
        constexpr std::uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                        IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
        const int watch = ::inotify_add_watch(fd_, dir.c_str(), kMask);
        return watch < 0 ? -1 : watch;
    }

    void Remove(int watch) override {
        if (!Forked() && fd_ >= 0) {
            ::inotify_rm_watch(fd_, watch);
        }
    }

    bool Drain(std::vector<FolderChange>& out) override {
        Forked();
        if (lost_) {
            lost_ = false;
            return false;
        }
        if (fd_ < 0) {
            return true;
        }
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno == EAGAIN) {
                return true;
            }
            if (n <= 0) {
                Close();
                return false;
            }
            for (ssize_t at = 0; at < n;) {
                inotify_event event;
                std::memcpy(&event, buffer + at, sizeof event);
                if ((event.mask & IN_Q_OVERFLOW) != 0) {
                    Close();
                    return false;
                }
                if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0) {
                    out.push_back(FolderChange{event.wd, {}});
                } else if (event.len > 0) {
                    const char* name = buffer + at + sizeof event;
                    out.push_back(
                        FolderChange{event.wd, std::string(name, ::strnlen(name, event.len))});
                }
                at += static_cast<ssize_t>(sizeof event + event.len);
            }
        }
    }

  private:
    // True (once) in a child after a fork: the inherited queue is given up, and with it
    // every watch, which the next Drain reports.
    bool Forked() {
        const unsigned forks = Forks();
        if (forks == forks_) {
            return false;
        }
        forks_ = forks;
        Close();
        lost_ = true;
        return true;
    }

    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    int fd_ = -1;
    unsigned forks_;
    bool lost_ = false;
};

}  // namespace

std::unique_ptr<FolderWatch> MakeHostFolderWatch() {
    return std::make_unique<InotifyFolderWatch>();
}

}  // namespace machine
