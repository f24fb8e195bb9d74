#include "platform/win32/kernel32/Files.h"

#include <atomic>
#include <cerrno>

#include "platform/machine/NameMapping.h"
#include "platform/machine/PathResolver.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

std::atomic<detail::RestartMoveHandler> gRestartMoveHandler{nullptr};

bool Fail(DWORD code) {
    SetLastError(code);
    return false;
}

bool FailErrno(int err) {
    SetLastErrorFromErrno(err);
    return false;
}

bool Succeed() {
    SetLastError(ERROR_SUCCESS);
    return true;
}

// Copies a file into place through a sibling; 0 or an errno.
int CopyInto(const std::filesystem::path& from, const host::FileStat& fromStat,
             const std::filesystem::path& to, bool replace) {
    AtomicFile file(to);
    if (file.error() == 0) {
        if (const int err = host::CopyContents(from, file.fd()); err != 0) {
            return err;
        }
    }
    file.TakeAttributesFrom(from);
    file.SetTimes(fromStat.accessTime, fromStat.writeTime);
    return file.Commit(replace);
}

// An existing file that may be replaced by a copy or a move; sets the last error if not.
bool MayReplace(const detail::Target& target, const host::FileStat& source) {
    host::FileStat st;
    if (const int err = target.Stat(st); err != 0) {
        return FailErrno(err);
    }
    if (st.device == source.device && st.inode == source.inode) {
        return Fail(ERROR_SHARING_VIOLATION);
    }
    if (st.isDirectory || IsReadOnlyMode(st.mode)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    return true;
}

std::optional<std::pair<detail::Target, host::FileStat>> ExistingSource(std::string_view path) {
    auto source = detail::Resolve(path);
    if (!source) {
        return std::nullopt;
    }
    if (!source->exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    if (source->isRoot()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return std::nullopt;
    }
    host::FileStat st;
    if (const int err = source->Stat(st); err != 0) {
        SetLastErrorFromErrno(err);
        return std::nullopt;
    }
    return std::make_pair(std::move(*source), st);
}

}  // namespace

namespace detail {

RestartMoveHandler SetRestartMoveHandler(RestartMoveHandler handler) {
    return gRestartMoveHandler.exchange(handler);
}

std::optional<CopyPlan> PlanCopy(std::string_view existingFile, std::string_view newFile,
                                 bool failIfExists) {
    auto source = ExistingSource(existingFile);
    if (!source) {
        return std::nullopt;
    }
    auto& [from, fromStat] = *source;
    if (fromStat.isDirectory) {
        Fail(ERROR_ACCESS_DENIED);
        return std::nullopt;
    }
    auto to = Resolve(newFile);
    if (!to) {
        return std::nullopt;
    }
    if (to->isRoot()) {
        Fail(ERROR_ACCESS_DENIED);
        return std::nullopt;
    }
    if (to->exists) {
        if (failIfExists) {
            Fail(ERROR_FILE_EXISTS);
            return std::nullopt;
        }
        if (!MayReplace(*to, fromStat)) {
            return std::nullopt;
        }
    }
    return CopyPlan{std::move(from), fromStat, std::move(*to)};
}

}  // namespace detail

bool CopyFileA(std::string_view existingFile, std::string_view newFile, bool failIfExists) {
    const auto plan = detail::PlanCopy(existingFile, newFile, failIfExists);
    if (!plan) {
        return false;
    }
    const int err = CopyInto(plan->from.host, plan->fromStat, plan->to.host, !failIfExists);
    plan->to.Forget();
    if (err != 0) {
        return err == EEXIST ? Fail(ERROR_FILE_EXISTS) : FailErrno(err);
    }
    return Succeed();
}

bool DeleteFileA(std::string_view file) {
    const auto source = ExistingSource(file);
    if (!source) {
        return false;
    }
    const auto& [target, st] = *source;
    if (st.isDirectory || IsReadOnlyMode(st.mode)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    const int err = host::RemoveFile(target.host);
    target.Forget();
    return err != 0 ? FailErrno(err) : Succeed();
}

bool MoveFileA(std::string_view existing, std::string_view newName) {
    return MoveFileExA(existing, newName, MOVEFILE_COPY_ALLOWED);
}

bool MoveFileExA(std::string_view existing, std::optional<std::string_view> newName, DWORD flags) {
    if ((flags & MOVEFILE_DELAY_UNTIL_REBOOT) != 0) {
        const auto handler = gRestartMoveHandler.load();
        return handler != nullptr ? handler(existing, newName, flags) : Fail(ERROR_NOT_SUPPORTED);
    }
    if (!newName) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const auto source = ExistingSource(existing);
    if (!source) {
        return false;
    }
    const auto& [from, fromStat] = *source;
    const auto to = detail::Resolve(*newName);
    if (!to) {
        return false;
    }
    if (to->isRoot()) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    std::filesystem::path destination = to->host;
    bool replace = false;
    if (to->exists) {
        host::FileStat st;
        if (const int err = to->Stat(st); err != 0) {
            return FailErrno(err);
        }
        if (st.device == fromStat.device && st.inode == fromStat.inode) {
            // A rename that only changes case finds the file itself as the target; it still
            // gets the spelling asked for.
            machine::PathError error;
            const auto asked =
                machine::ParseWindowsPath(*newName, to->machine->currentDirectory(), error);
            const auto literal = asked && !asked->isRoot()
                                     ? machine::WindowsNameToHost(asked->components.back())
                                     : std::nullopt;
            if (!literal) {
                return Fail(ERROR_INVALID_NAME);
            }
            destination = to->host.parent_path() / *literal;
            if (destination == from.host) {
                return Succeed();
            }
        } else if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) {
            return Fail(ERROR_ALREADY_EXISTS);
        } else if (fromStat.isDirectory) {
            return Fail(ERROR_ACCESS_DENIED);
        } else if (!MayReplace(*to, fromStat)) {
            return false;
        } else {
            replace = true;
        }
    }

    int err = replace ? host::RenameReplace(from.host, destination)
                      : host::RenameNoReplace(from.host, destination);
    if (err == EXDEV && (flags & MOVEFILE_COPY_ALLOWED) != 0 && !fromStat.isDirectory) {
        err = CopyInto(from.host, fromStat, destination, replace);
        if (err == 0) {
            err = host::RemoveFile(from.host);
        }
    }
    if (err == 0 && (flags & MOVEFILE_WRITE_THROUGH) != 0) {
        err = host::SyncDirectory(destination.parent_path());
    }
    from.Forget();
    // The destination, not the target: a rename that changes only case targets the source.
    to->machine->paths().Refresh(destination);
    if (err != 0) {
        return err == EEXIST ? Fail(ERROR_ALREADY_EXISTS) : FailErrno(err);
    }
    return Succeed();
}

bool CreateDirectoryA(std::string_view path) {
    const auto target = detail::Resolve(path);
    if (!target) {
        return false;
    }
    if (target->exists) {
        return Fail(ERROR_ALREADY_EXISTS);
    }
    const int err = host::MakeDirectory(target->host);
    target->Forget();
    if (err != 0) {
        return err == EEXIST ? Fail(ERROR_ALREADY_EXISTS) : FailErrno(err);
    }
    return Succeed();
}

bool RemoveDirectoryA(std::string_view path) {
    const auto source = ExistingSource(path);
    if (!source) {
        return false;
    }
    const auto& [target, st] = *source;
    if (!st.isDirectory) {
        return Fail(ERROR_DIRECTORY);
    }
    if (IsReadOnlyMode(st.mode)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    const int err = host::RemoveDirectory(target.host);
    target.Forget();
    if (err == ENOTDIR) {
        return Fail(ERROR_DIRECTORY);
    }
    return err != 0 ? FailErrno(err) : Succeed();
}

}  // namespace win32
