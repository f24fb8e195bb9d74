#pragma once
// A process holding the lock of a prefix's server folder, as a running wineserver does (the
// folder named in the prefix's file "wineserver", as Debian's Wine keeps it, below $TMPDIR).

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/wine/WineServer.h"

namespace winetest {

class FakeServer {
  public:
    explicit FakeServer(const std::filesystem::path& prefix) {
        ::setenv("TMPDIR", prefix.c_str(), 1);
        std::ofstream(prefix / "wineserver") << "wine-test";
        const auto lockFile = wine::ServerLockFiles(prefix).front();
        std::filesystem::create_directories(lockFile.parent_path());
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        EXPECT_EQ(::pipe(release_), 0);
        child_ = ::fork();
        if (child_ == 0) {
            const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT, 0600);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            const char ok = ::fcntl(fd, F_SETLK, &lock) == 0 ? '1' : '0';
            (void)!::write(ready[1], &ok, 1);
            char byte = 0;
            (void)!::read(release_[0], &byte, 1);
            ::_exit(0);
        }
        char ok = 0;
        EXPECT_EQ(::read(ready[0], &ok, 1), 1);
        EXPECT_EQ(ok, '1');
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~FakeServer() { Stop(); }
    void Stop() {
        if (child_ > 0) {
            (void)!::write(release_[1], "x", 1);
            ::waitpid(child_, nullptr, 0);
            child_ = -1;
            ::close(release_[0]);
            ::close(release_[1]);
        }
        ::unsetenv("TMPDIR");
    }

  private:
    pid_t child_ = -1;
    int release_[2] = {-1, -1};
};

}  // namespace winetest
