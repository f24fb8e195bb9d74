#pragma once
// The host file system as the Win32 stand-in uses it: thin wrappers over POSIX calls that
// return 0 or an errno value and know nothing of Windows. The Win32 meaning of a failure is
// decided by the callers.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace win32::host {

struct FileStat {
    bool isDirectory = false;
    bool isRegular = false;
    std::uint64_t size = 0;
    mode_t mode = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    timespec accessTime{};
    timespec writeTime{};
    // The file's birth time where the file system keeps one, else its modification time.
    timespec creationTime{};
};

// Follows symbolic links (the path resolver has already refused those that leave a drive).
int Stat(const std::filesystem::path& path, FileStat& out);
// What statx told of an entry, as Stat gives it.
FileStat FileStatOf(const struct statx& stx);

// Extended attributes of the "user." namespace. A small interface so that tests can stand in
// a file system without them.
class ExtendedAttributes {
  public:
    virtual ~ExtendedAttributes() = default;
    // 0; ENODATA when the file has no such attribute; ENOTSUP when the file system has none.
    virtual int Get(const std::filesystem::path& path, const char* name,
                    std::string& value) const = 0;
    virtual int Set(const std::filesystem::path& path, const char* name,
                    std::string_view value) const = 0;
};
const ExtendedAttributes& Xattrs();
// Replaces the host's attributes (nullptr restores them); for tests.
void SetXattrsForTesting(const ExtendedAttributes* replacement);

int ChangeMode(const std::filesystem::path& path, mode_t mode);
int RemoveFile(const std::filesystem::path& path);
int RemoveDirectory(const std::filesystem::path& path);
int MakeDirectory(const std::filesystem::path& path);
// Rename that fails with EEXIST when `to` exists.
int RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
int RenameReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// Creates an empty file that did not exist (O_EXCL).
int CreateNewFile(const std::filesystem::path& path);
int SetTimes(const std::filesystem::path& path, const timespec& access, const timespec& write);
// Opens a file for reading only when it is a regular file, without ever waiting: a FIFO or a
// device posing as a file would hold a plain open (or the first read) for ever. 0 with `fd`
// set, EACCES for anything that is not a regular file (a folder included), or the errno.
int OpenRegularFile(const std::filesystem::path& path, int& fd);
// The readers below open through OpenRegularFile.
int ReadWholeFile(const std::filesystem::path& path, std::string& out);
// Appends the contents of `from` to the open descriptor `toFd`; `copied`, when given, gets the
// number of bytes written.
int CopyContents(const std::filesystem::path& from, int toFd, std::uint64_t* copied = nullptr);
// Whether two files hold the same bytes, compared block by block; 0 or the errno.
int CompareContents(const std::filesystem::path& a, const std::filesystem::path& b, bool& same);
// Takes an exclusive flock on `fd`, waiting for it (through interruptions); 0 or the errno.
int LockExclusive(int fd);
// Holds an exclusive lock on a folder while it lives, so that read-modify-write cycles on
// files in it (from this or another process) do not lose each other's changes.
class FolderLock {
  public:
    explicit FolderLock(const std::filesystem::path& dir);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    // 0 or the errno that kept the lock from being taken.
    int error() const { return error_; }

  private:
    int fd_ = -1;
    int error_ = 0;
};

// Flushes a folder so that a rename in it survives a crash; an empty path is the current folder.
int SyncDirectory(const std::filesystem::path& dir);
// Flushes everything written to the file system that holds `dir` (data, names, metadata) and
// waits for it: one call for a whole batch of files where one fsync each would wait for the
// disk once per file. ENOSYS where the host cannot.
int SyncFileSystem(const std::filesystem::path& dir);
// Flushes one file's data and metadata.
int SyncFile(const std::filesystem::path& path);

}  // namespace win32::host
