#include "platform/win32/VersionFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/win32/LastError.h"
#include "platform/win32/VersionErrors.h"

namespace win32 {
namespace {

class FileImageSource final : public ImageSource {
  public:
    FileImageSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    std::uint64_t Size() const override { return size_; }

    bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override {
        if (offset > size_ || size_ - offset < out.size()) {
            return false;
        }
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                                      static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                error_ = errno;
                return false;
            }
            if (n == 0) {
                return false;  // the file shrank since it was opened
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // The errno of a failed read, which outranks whatever the parser concluded from it.
    int Error() const { return error_; }

  private:
    int fd_;
    std::uint64_t size_;
    int error_ = 0;
};

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

VersionLoadResult LoadVersionResourceFromFile(const std::filesystem::path& hostPath) {
    const auto fail = [](DWORD error) { return VersionLoadResult{{}, error}; };
    // Non-blocking, so that a named pipe posing as a file cannot stall the open.
    const Descriptor fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        return fail(Win32ErrorFromErrno(errno));
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) {
        return fail(Win32ErrorFromErrno(errno));
    }
    if (S_ISDIR(st.st_mode)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    if (!S_ISREG(st.st_mode)) {
        return fail(ERROR_RESOURCE_DATA_NOT_FOUND);
    }
    FileImageSource source(fd.get(), static_cast<std::uint64_t>(st.st_size));
    VersionLoadResult result = LoadVersionResource(source);
    if (source.Error() != 0) {
        return fail(Win32ErrorFromErrno(source.Error()));
    }
    return result;
}

}  // namespace win32
