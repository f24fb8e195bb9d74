#include "platform/win32/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "platform/win32/FileAttributes.h"
#include "platform/win32/HostFiles.h"
#include "platform/win32/LastError.h"
#include "platform/win32/Paths.h"

namespace win32 {
namespace {

constexpr size_t kMaxNameBytes = 200;

std::string RandomSuffix() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string suffix;
    auto value = generator();
    for (int i = 0; i < 12; ++i) {
        suffix += kDigits[value & 15];
        value >>= 4;
    }
    return suffix;
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    const std::string name = target_.filename().native().substr(0, kMaxNameBytes);
    for (int attempt = 0; attempt < 16; ++attempt) {
        sibling_ = target_.parent_path() / ("." + name + ".new-" + RandomSuffix());
        // Mode 0666 lets the umask decide, as for any new file.
        fd_ = ::open(sibling_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0) {
        error_ = errno;
    }
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

int AtomicFile::Commit(bool replace) {
    if (error_ != 0) {
        Discard();
        return error_;
    }
    if (::fsync(fd_) != 0) {
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
    if (error_ == 0) {
        error_ = replace ? host::RenameReplace(sibling_, target_)
                         : host::RenameNoReplace(sibling_, target_);
    }
    if (error_ != 0) {
        Discard();
        return error_;
    }
    sibling_.clear();
    committed_ = true;
    error_ = host::SyncDirectory(target_.parent_path());
    return error_;
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
