#include "platform/wine/WineServer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/machine/Text.h"
#include "platform/win32/ntdll/HostFiles.h"

namespace wine {
namespace {

std::string ServerFolderName(const struct stat& st) {
    char name[64];
    std::snprintf(name, sizeof name, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    return name;
}

// The folder name Debian's wine keeps in the prefix; empty when there is none.
std::string DebianServerRoot(const std::filesystem::path& prefix) {
    std::ifstream in(prefix / "wineserver");
    std::string name;
    std::getline(in, name);
    while (!name.empty() && (name.back() == '\r' || name.back() == ' ')) {
        name.pop_back();
    }
    // A name, never a path: the file is the prefix's, and could hold anything.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        return {};
    }
    return name;
}

// Whether every character of `name` is a digit: a process's folder in /proc.
bool IsProcessFolder(const char* name) {
    if (*name == '\0') {
        return false;
    }
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

ServerProcesses ServerProcesses::Scan(const std::filesystem::path& proc) {
    ServerProcesses found;
    DIR* processes = ::opendir(proc.c_str());
    if (processes == nullptr) {
        return found;
    }
    while (const dirent* entry = ::readdir(processes)) {
        if (!IsProcessFolder(entry->d_name)) {
            continue;
        }
        const std::filesystem::path process = proc / entry->d_name;
        std::string name;
        // Wine's own builds name it wineserver, Debian's wineserver64 (or 32).
        if (win32::host::ReadWholeFile(process / "comm", name) != 0 ||
            !name.starts_with("wineserver")) {
            continue;
        }
        while (!name.empty() && name.back() == '\n') {
            name.pop_back();
        }
        const std::filesystem::path fds = process / "fd";
        DIR* open = ::opendir(fds.c_str());
        if (open == nullptr) {
            continue;
        }
        while (const dirent* fd = ::readdir(open)) {
            struct stat st {};
            if (IsProcessFolder(fd->d_name) && ::stat((fds / fd->d_name).c_str(), &st) == 0 &&
                S_ISDIR(st.st_mode)) {
                found.held_.push_back(
                    {st.st_dev, st.st_ino,
                     "process " + std::string(entry->d_name) + " (" + name + ")"});
            }
        }
        ::closedir(open);
    }
    ::closedir(processes);
    return found;
}

std::optional<std::string> ServerProcesses::Serving(const std::filesystem::path& prefix) const {
    struct stat st {};
    if (held_.empty() || ::stat(prefix.c_str(), &st) != 0) {
        return std::nullopt;
    }
    for (const HeldFolder& folder : held_) {
        if (folder.device == st.st_dev && folder.inode == st.st_ino) {
            return folder.process;
        }
    }
    return std::nullopt;
}

std::string WineRunningMessage(const std::filesystem::path& prefix) {
    return "Wine is running in this prefix: close its programs or run `WINEPREFIX=" +
           machine::text::ShellQuoted(prefix.string()) + " wineserver -k`";
}

std::vector<std::filesystem::path> ServerLockFiles(const std::filesystem::path& prefix) {
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0) {
        return {};
    }
    const std::string server = ServerFolderName(st);
    std::vector<std::filesystem::path> files;
    if (const std::string name = DebianServerRoot(prefix); !name.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        const std::filesystem::path tmpdir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
        files.push_back(tmpdir / name / server / "lock");
        if (tmpdir != "/tmp") {
            files.push_back(std::filesystem::path("/tmp") / name / server / "lock");
        }
    }
    files.push_back(std::filesystem::path("/tmp") / (".wine-" + std::to_string(::getuid())) /
                    server / "lock");
    return files;
}

namespace {

// What the lock files say: Running or Unknown as soon as one says so.
ServerCheck CheckLockFiles(const std::filesystem::path& prefix) {
    ServerCheck check;
    for (const auto& file : ServerLockFiles(prefix)) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            if (errno == ENOENT || errno == ENOTDIR) {
                continue;
            }
            check.state = ServerState::Unknown;
            check.detail = file.string() + ": " + std::strerror(errno);
            return check;
        }
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        const int rc = ::fcntl(fd, F_GETLK, &lock);
        const int err = errno;
        ::close(fd);
        check.detail = file.string();
        if (rc != 0) {
            check.state = ServerState::Unknown;
            check.detail += ": " + std::string(std::strerror(err));
            return check;
        }
        if (lock.l_type != F_UNLCK) {
            check.state = ServerState::Running;
            return check;
        }
    }
    return check;
}

ServerCheck AddProcesses(const std::filesystem::path& prefix, ServerCheck check,
                         const ServerProcesses& processes) {
    if (auto process = processes.Serving(prefix)) {
        check.state = ServerState::Running;
        check.detail = *process + " holds the prefix open";
    }
    return check;
}

}  // namespace

ServerCheck CheckServer(const std::filesystem::path& prefix) {
    const ServerCheck check = CheckLockFiles(prefix);
    if (check.state != ServerState::NotRunning) {
        return check;
    }
    return AddProcesses(prefix, check, ServerProcesses::Scan());
}

ServerCheck CheckServer(const std::filesystem::path& prefix, const ServerProcesses& processes) {
    const ServerCheck check = CheckLockFiles(prefix);
    if (check.state != ServerState::NotRunning) {
        return check;
    }
    return AddProcesses(prefix, check, processes);
}

}  // namespace wine
