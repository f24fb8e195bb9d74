#include "platform/wine/WineServer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/machine/Text.h"

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

}  // namespace

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

ServerCheck CheckServer(const std::filesystem::path& prefix) {
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

}  // namespace wine
