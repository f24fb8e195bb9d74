#pragma once
// The one way files are replaced on the user's behalf (INI files, reports, exports, copies):
// the new content goes to a hidden sibling, is flushed to disk, renamed over the target, and
// the folder is flushed, so a crash at any moment leaves either the old file or the new one.
// A replaced file keeps its permissions and DOS attributes. A writer killed on the way leaves
// its sibling behind; the next writer into that folder removes such siblings once their
// writer's process is gone.

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace win32 {

class AtomicFile {
  public:
    // Creates the sibling next to `target`; check error() before writing.
    explicit AtomicFile(std::filesystem::path target);
    // Removes the sibling unless Commit succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // 0, or the errno of the first failure.
    int error() const { return error_; }
    // The open sibling, for callers that copy into it directly.
    int fd() const { return fd_; }
    const std::filesystem::path& target() const { return target_; }

    bool Write(std::string_view data);
    // Takes mode and DOS attributes from `source` instead of from the file being replaced.
    void TakeAttributesFrom(std::filesystem::path source) { attributesFrom_ = std::move(source); }
    // Sets the new file's access and modification times.
    bool SetTimes(const timespec& access, const timespec& write);
    // Puts the new content in place. With `replace` false it fails with EEXIST when the
    // target exists (checked by the rename itself, not before it). Returns 0 or an errno; an
    // errno after the rename (the folder could not be flushed) means the new content is in
    // place but may not survive a power cut.
    int Commit(bool replace = true);

    // For a batch of files made durable together (WriteBatch.h): Stage ends the writing as
    // Commit does but without the flush and without the rename, closing the sibling; the
    // caller flushes it, then Place renames it over the target (the folder is the caller's to
    // flush). 0 or an errno; after a failure the sibling is gone.
    int Stage();
    int Place(bool replace = true);
    // The hidden file the content is written to until it is put in place.
    const std::filesystem::path& sibling() const { return sibling_; }

  private:
    void Discard();
    // Flushes (or not), closes and gives the sibling the target's attributes.
    int Finish(bool flush);
    int Rename(bool replace);

    std::filesystem::path target_;
    std::filesystem::path sibling_;
    std::filesystem::path attributesFrom_;
    int fd_ = -1;
    int error_ = 0;
    bool committed_ = false;
};

// Replaces a host file with `contents`; 0 or an errno.
int WriteHostFileAtomically(const std::filesystem::path& target, std::string_view contents);

// Replaces a file of the current machine given by its Windows path; false with the last error
// set when the path does not resolve or the write fails.
bool WriteFileAtomicallyA(std::string_view windowsPath, std::string_view contents);

}  // namespace win32
