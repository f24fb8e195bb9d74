#pragma once
// Copies made for changes that are committed together (the backups and temporary copies of a
// batch of restart-time moves). Each copy is written whole without a flush of its own; Commit
// then makes all of them durable at once, with one flush per file system instead of one per
// file, puts the copies that replace a file in place and flushes their folders. Until then a
// staged copy lies beside its target as AtomicFile's sibling, so a crash leaves the old file
// (or none) under the target's name, never a part of the new one.
//
//   WriteBatch batch;
//   batch.StageCopy("C:\\A\\X.DLL", "C:\\BACKUP\\C~~A~X.DLL.backup");   // beside its target
//   batch.CopyInto("C:\\A\\X.DLL", temporaryFile);                       // into a fresh file
//   batch.Commit();   // both durable, the backup in place: now a restart line may name them

#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/kernel32/AtomicFile.h"

namespace win32 {

class WriteBatch {
  public:
    WriteBatch() = default;
    // Removes the copies still staged (not put in place).
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // A copy of `existingFile` to `newFile` as CopyFileA(existingFile, newFile, false) makes it
    // (contents, attributes, times; the same checks and errors), staged beside newFile until
    // Commit. False with the last error set when it cannot be made.
    bool StageCopy(std::string_view existingFile, std::string_view newFile);
    // The same copy written straight into `file`, an existing file nothing reads before Commit
    // (a temporary file just made for it). `sourceSize` gets the size of the source as it was
    // copied and `copied` the bytes written, so the caller can tell a complete copy without
    // looking at either file again.
    bool CopyInto(std::string_view existingFile, std::string_view file, std::uint64_t& sourceSize,
                  std::uint64_t& copied);

    // Whether a staged copy waits to be put at `newFile`, named as it was staged (a Windows
    // path, compared without regard to case; nothing is resolved). A copy staged for the same
    // place under another name is refused by StageCopy (ERROR_ALREADY_EXISTS) instead.
    bool Stages(std::string_view newFile) const;
    bool empty() const { return staged_.empty() && written_.empty(); }

    // Makes every copy durable, puts the staged ones in place and flushes their folders. 0, or
    // the errno of the first failure; copies put in place before it stay there (Placed tells
    // which), the others stay staged, so Commit can be tried again.
    int Commit();
    // Whether the staged copy for `newFile` was put in place by Commit.
    bool Placed(std::string_view newFile) const;
    // Forgets every copy: the staged ones are removed, the ones written into a file stay (the
    // file is its maker's).
    void Clear();

  private:
    struct Staged {
        std::unique_ptr<AtomicFile> file;
        bool placed = false;
    };
    int MakeDurable();

    std::vector<Staged> staged_;
    // Host paths (as the resolver spells them: compared as text, which is much faster than
    // as paths, component by component) of the staged copies' targets, and of the targets
    // put in place.
    std::set<std::string> stagedTargets_;
    // The staged copies' targets as they were named, upper-cased.
    std::set<std::string> stagedNames_;
    std::set<std::string> placedTargets_;
    std::set<std::string> placedFolders_;
    // Files written straight into, and the folders of every copy.
    std::vector<std::filesystem::path> written_;
    std::set<std::string> folders_;
};

}  // namespace win32
