#include "platform/restart/WriteBatch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>

#include "platform/automation/Text.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/ntdll/Descriptor.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

bool FailErrno(int err) {
    SetLastErrorFromErrno(err);
    return false;
}

}  // namespace

WriteBatch::~WriteBatch() {
    Clear();
}

bool WriteBatch::StageCopy(std::string_view existingFile, std::string_view newFile) {
    const auto plan = detail::PlanCopy(existingFile, newFile, false);
    if (!plan) {
        return false;
    }
    // A second copy for one place, named another way, would put the newer one in place first.
    if (stagedTargets_.count(plan->to.host.native()) != 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    auto file = std::make_unique<AtomicFile>(plan->to.host);
    int err = file->error();
    if (err == 0) {
        err = host::CopyContents(plan->from.host, file->fd());
    }
    if (err == 0) {
        file->TakeAttributesFrom(plan->from.host);
        file->SetTimes(plan->fromStat.accessTime, plan->fromStat.writeTime);
        err = file->Stage();
    }
    if (err != 0) {
        return FailErrno(err);
    }
    folders_.insert(plan->to.host.parent_path().native());
    stagedTargets_.insert(plan->to.host.native());
    stagedNames_.insert(automation::UCase(newFile));
    staged_.push_back({std::move(file), false});
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool WriteBatch::CopyInto(std::string_view existingFile, std::string_view file,
                          std::uint64_t& sourceSize, std::uint64_t& copied) {
    sourceSize = 0;
    copied = 0;
    const auto plan = detail::PlanCopy(existingFile, file, false);
    if (!plan) {
        return false;
    }
    const auto& to = plan->to.host;
    const Descriptor fd(::open(to.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.get() < 0) {
        return FailErrno(errno);
    }
    // An empty file is not truncated: on ext4 a truncation to nothing makes the close write
    // the new content out at once, which is the batch's to do, once for all its files.
    struct stat st;
    int err = ::fstat(fd.get(), &st) != 0 ? errno : 0;
    if (err == 0 && st.st_size != 0 && ::ftruncate(fd.get(), 0) != 0) {
        err = errno;
    }
    if (err == 0) {
        err = host::CopyContents(plan->from.host, fd.get(), &copied);
    }
    if (err == 0 && plan->fromStat.isRegular &&
        ::fchmod(fd.get(), plan->fromStat.mode & 07777) != 0) {
        err = errno;
    }
    if (err == 0) {
        err = detail::CopyDosAttributes(plan->from.host, to);
    }
    const timespec times[2] = {plan->fromStat.accessTime, plan->fromStat.writeTime};
    if (err == 0 && ::futimens(fd.get(), times) != 0) {
        err = errno;
    }
    plan->to.Forget();
    if (err != 0) {
        return FailErrno(err);
    }
    sourceSize = plan->fromStat.size;
    folders_.insert(to.parent_path().native());
    written_.push_back(to);
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool WriteBatch::Stages(std::string_view newFile) const {
    return stagedNames_.count(automation::UCase(newFile)) != 0;
}

bool WriteBatch::Placed(std::string_view newFile) const {
    const auto host = HostPathOf(newFile);
    return host && placedTargets_.count(host->native()) != 0;
}

int WriteBatch::MakeDurable() {
    // One flush of each file system the copies lie on. Where the host cannot flush a file
    // system as a whole, each copy and each folder is flushed on its own.
    std::map<std::uint64_t, std::filesystem::path> fileSystems;
    for (const auto& folder : folders_) {
        host::FileStat st;
        if (const int err = host::Stat(folder, st); err != 0) {
            return err;
        }
        fileSystems.emplace(st.device, folder);
    }
    bool eachFile = false;
    for (const auto& [device, folder] : fileSystems) {
        const int err = host::SyncFileSystem(folder);
        if (err == ENOSYS || err == EINVAL) {
            eachFile = true;
        } else if (err != 0) {
            return err;
        }
    }
    if (!eachFile) {
        return 0;
    }
    std::vector<std::filesystem::path> files = written_;
    for (const Staged& s : staged_) {
        files.push_back(s.file->sibling());
    }
    for (const auto& file : files) {
        // A temporary copy its maker has removed again needs nothing.
        if (const int err = host::SyncFile(file); err != 0 && err != ENOENT) {
            return err;
        }
    }
    for (const auto& folder : folders_) {
        if (const int err = host::SyncDirectory(folder); err != 0) {
            return err;
        }
    }
    return 0;
}

int WriteBatch::Commit() {
    if (empty()) {
        return 0;
    }
    if (const int err = MakeDurable(); err != 0) {
        return err;
    }
    int failure = 0;
    for (Staged& s : staged_) {
        if (s.placed) {
            continue;
        }
        const std::filesystem::path target = s.file->target();
        if (failure = s.file->Place(); failure != 0) {
            break;
        }
        s.placed = true;
        placedTargets_.insert(target.native());
        placedFolders_.insert(target.parent_path().native());
        if (const auto current = machine::CurrentMachine()) {
            current->paths().Refresh(target);
        }
    }
    // The copies put in place keep their names even when a later one failed.
    for (const auto& folder : placedFolders_) {
        if (const int err = host::SyncDirectory(folder); err != 0 && failure == 0) {
            failure = err;
        }
    }
    if (failure == 0) {
        Clear();
    }
    return failure;
}

void WriteBatch::Clear() {
    // AtomicFile removes a sibling that was never put in place.
    staged_.clear();
    stagedTargets_.clear();
    stagedNames_.clear();
    placedTargets_.clear();
    placedFolders_.clear();
    written_.clear();
    folders_.clear();
}

}  // namespace win32
