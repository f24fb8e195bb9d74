#include "platform/wine/ProtonPrefix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "platform/machine/MachineError.h"
#include "platform/win32/ntdll/HostFiles.h"

namespace wine {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTrackedFiles = "tracked_files";
constexpr const char* kLockFile = "pfx.lock";

// The prefix folder without a trailing separator.
fs::path FolderOf(const fs::path& prefix) {
    const fs::path folder = prefix.lexically_normal();
    return folder.has_filename() ? folder : folder.parent_path();
}

fs::path Beside(const fs::path& prefix, const char* name) {
    return FolderOf(prefix).parent_path() / name;
}

bool ProtonLayout(const fs::path& prefix) {
    std::error_code ec;
    return FolderOf(prefix).filename() == "pfx" && (fs::exists(Beside(prefix, kTrackedFiles), ec) ||
                                                    fs::exists(Beside(prefix, kLockFile), ec));
}

}  // namespace

ProtonFiles ProtonFiles::Read(const fs::path& prefix) {
    ProtonFiles files;
    files.prefix_ = FolderOf(prefix);
    if (!ProtonLayout(prefix)) {
        return files;
    }
    std::string text;
    const fs::path tracked = Beside(prefix, kTrackedFiles);
    if (const int error = win32::host::ReadWholeFile(tracked, text); error != 0) {
        // Without the list Proton's own libraries would pass for programs' copies.
        if (error == ENOENT) {
            return files;
        }
        throw machine::MachineError("cannot read the list of Proton's files " + tracked.string() +
                                    ": " + std::strerror(error));
    }
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        // A folder Proton made is no file of its own: the files in it may be anyone's.
        if (!line.empty() && line.back() != '/') {
            files.files_.insert(fs::path(line).lexically_normal().string());
        }
    }
    return files;
}

std::optional<machine::PlatformFile> ProtonFiles::Owner(const fs::path& host) const {
    if (files_.empty()) {
        return std::nullopt;
    }
    const fs::path relative = host.lexically_normal().lexically_relative(prefix_);
    if (relative.empty() || *relative.begin() == "..") {
        return std::nullopt;
    }
    if (files_.count(relative.string()) == 0) {
        return std::nullopt;
    }
    return machine::PlatformFile{"Proton", "a file Proton placed in the prefix (tracked_files)"};
}

namespace {

// Takes Proton's lock of a Proton prefix without waiting: the open descriptor holding it, -1
// when the prefix has no lock file. Throws machine::MachineError while Proton holds it.
int TakeProtonLock(const fs::path& prefix) {
    if (!ProtonLayout(prefix)) {
        return -1;
    }
    const fs::path lock = Beside(prefix, kLockFile);
    // Never made here: a prefix without the file is no prefix Proton is working on.
    const int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) {
            return -1;
        }
        throw machine::MachineError("cannot tell whether Proton is working on the prefix (" +
                                    lock.string() + ": " + std::strerror(errno) + ")");
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            throw machine::MachineError(kProtonBusyMessage);
        }
        throw machine::MachineError("cannot take Proton's lock " + lock.string() + ": " +
                                    std::strerror(error));
    }
    return fd;
}

}  // namespace

ProtonLock::ProtonLock(const fs::path& prefix) : fd_(TakeProtonLock(prefix)) {}

std::optional<std::string> ProtonAtWork(const fs::path& prefix) {
    try {
        // Taken and let go at once: Proton, which waits for the lock, waits no longer.
        ProtonLock probe(prefix);
        return std::nullopt;
    } catch (const machine::MachineError& e) {
        return std::string(e.what());
    }
}

ProtonLock::~ProtonLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

}  // namespace wine
