// Backups, copies and removals at the next start of Windows, and the shared-library counts.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "controls/file/QzFile.h"
#include "controls/registry/QzRegistry.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/App.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/win32/kernel32/Directories.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"
#include "platform/win32/ntdll/WinError.h"
#include "vlt/core/ActionBatch.h"
#include "vlt/core/BackupNames.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/Steps.h"
#include "vlt/core/SystemFolders.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWorkActions.h"

namespace modVLTWork {
namespace {

using automation::Variant;
Qz_File::QzFile& File() {
    return vlt::QzFile1();
}

Qz_Registry::QzRegistry& Registry() {
    return vlt::QzRegistry1();
}

bool Exists(const std::string& path) {
    return win32::GetFileAttributesA(path) != win32::INVALID_FILE_ATTRIBUTES;
}

std::optional<std::uint64_t> SizeOf(const std::string& path) {
    const auto data = win32::GetFileAttributesExA(path);
    if (!data || (data->dwFileAttributes & win32::FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return data->nFileSize;
}

std::string Contents(const std::string& path) {
    const auto host = win32::HostPathOf(path);
    if (!host) {
        win32::RaiseLastError("modVLTWork");
    }
    std::string text;
    if (const int error = win32::host::ReadWholeFile(*host, text); error != 0) {
        automation::Raise(automation::RunTimeErrorFromErrno(error), "modVLTWork");
    }
    return text;
}

// The use count of a file in SharedDLLs (below `key`); 0 when it has none (or holds no
// number). A count the running batch changed reads as it will be stored.
std::int32_t SharedDllCount(const std::string& key, const std::string& path) {
    if (const vlt::ActionBatch* batch = vlt::CurrentBatch()) {
        if (const auto pending = batch->Count(key, path)) {
            return pending->value_or(0);
        }
    }
    const Variant stored = Registry().GetRegSetting(Variant(path), Variant(std::int32_t{0}), key,
                                                    Qz_Registry::HKEY_LOCAL_MACHINE);
    if (!automation::IsNumeric(stored)) {
        return 0;
    }
    return std::max(automation::CLng(stored), std::int32_t{0});
}

// Keeps what a count holds before this run changes it, so that it can be put back.
void RememberCount(const std::string& key, const std::string& path) {
    vlt::VltState& state = vlt::State();
    if (const vlt::ActionBatch* batch = vlt::CurrentBatch()) {
        if (const auto pending = batch->Count(key, path)) {
            state.CountChanges.push_back(
                {key, path, *pending ? Variant(**pending) : Variant(), false});
            return;
        }
    }
    state.CountChanges.push_back({key, path,
                                  Registry().GetRegSetting(Variant(path), std::nullopt, key,
                                                           Qz_Registry::HKEY_LOCAL_MACHINE),
                                  vlt::CurrentBatch() == nullptr});
}

// Stores a count (nullopt: deletes it), in the running batch when there is one, and says so in
// the log: the count before, after, and why.
void StoreCount(const std::string& key, const std::string& path, std::int32_t before,
                std::optional<std::int32_t> count, const std::string& why) {
    RememberCount(key, path);
    const std::string change =
        std::to_string(before) + " to " + (count ? std::to_string(*count) : "none") + ": " + why;
    vlt::ActionBatch* batch = vlt::CurrentBatch();
    if (batch != nullptr) {
        batch->SetCount(key, path, count);
    } else {
        const std::int32_t result =
            count ? Registry().SaveRegSetting(path, Variant(*count), key,
                                              Qz_Registry::HKEY_LOCAL_MACHINE)
                  : Registry().DeleteValue(path, key, Qz_Registry::HKEY_LOCAL_MACHINE);
        // A count to delete that is not there is gone already.
        const bool gone =
            !count && result == static_cast<std::int32_t>(win32::ERROR_FILE_NOT_FOUND);
        if (result != 0 && !gone) {
            UpdateActionLog(
                path, 2,
                "Error: Use count not changed (" + change + "), the registry could not be written");
            return;
        }
    }
    UpdateActionLog(path, 8, change);
    if (batch != nullptr) {
        batch->ClaimCount(static_cast<std::size_t>(vlt::State().LogCount - 1));
    }
}

// The count of a copy that takes over the use of another counted `use` times: its own count
// `count` raised by that use, or by one use when the other had none but this one is counted
// (a use no one counted is still a use).
std::int32_t WithUse(std::int32_t count, std::int32_t use) {
    return count + (use == 0 && count > 0 ? 1 : use);
}

// The last row of the log, just written.
std::size_t LastRow() {
    return static_cast<std::size_t>(vlt::State().LogCount - 1);
}

// The log rows of this run that name `backup` name `aside` from now on, where their bytes are.
void BackupMovedAside(const std::string& backup, const std::string& aside) {
    vlt::VltState& state = vlt::State();
    for (std::int32_t k = 0; k < state.LogCount; ++k) {
        vlt::LogEntry& entry = state.ActionLog[static_cast<std::size_t>(k)];
        if (entry[1] == "3" && automation::EqualsIgnoreCase(entry[2], backup)) {
            entry[2] = aside;
        }
    }
}

// Before a backup replaces one of the same name, an older backup with other content is moved
// aside under the first free "{name}.{n}", so that the only copy of an earlier version is
// never overwritten. Two paths can share a name (C:\X~Y\F.DLL and C:\X\Y\F.DLL), so the
// older backup may be this run's own of another file: its log row follows it. Backups are
// small system files; comparing them whole costs little.
void KeepOlderBackup(const std::string& backup, const std::string& path) {
    if (!Exists(backup)) {
        return;
    }
    if (SizeOf(backup) == SizeOf(path) && Contents(backup) == Contents(path)) {
        return;
    }
    std::string aside;
    for (int n = 1;; ++n) {
        aside = backup + "." + std::to_string(n);
        if (!Exists(aside)) {
            break;
        }
    }
    if (!win32::MoveFileA(backup, aside)) {
        win32::RaiseLastError("modVLTWork.BackItUp");
    }
    vlt::Trace("Older backup kept as " + aside);
    BackupMovedAside(backup, aside);
}

// Creates a new file in the folder (never touching an existing one), writes "test" into it
// and removes it again.
void WriteTestFile(const std::string& folder) {
    const auto name = win32::GetTempFileNameA(folder, "VLT");
    if (!name) {
        win32::RaiseLastError("modVLTWork.ValidPath");
    }
    const auto host = win32::HostPathOf(*name);
    bool written = false;
    if (host) {
        std::ofstream out(*host, std::ios::binary | std::ios::trunc);
        out << "test\r\n";
        out.close();
        written = !out.fail();
    }
    if (!win32::DeleteFileA(*name) || !written) {
        automation::Raise(automation::PathFileAccessError, "modVLTWork.ValidPath");
    }
}

// Creates the folder (a Windows path ending in "\") and any missing folder above it.
void CreateFolder(const std::string& folder) {
    std::string path = folder;
    while (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    for (std::size_t at = path.find('\\', 3); at != std::string::npos;
         at = path.find('\\', at + 1)) {
        if (!Exists(path.substr(0, at))) {
            win32::CreateDirectoryA(path.substr(0, at));
        }
    }
    if (!Exists(path) && !win32::CreateDirectoryA(path)) {
        win32::RaiseLastError("modVLTWork.ValidPath");
    }
}

// Runs `attempt`, reporting whether it went through and, if not, the error it raised.
bool Try(const std::function<void()>& attempt, automation::Error& failure) {
    try {
        attempt();
        return true;
    } catch (const automation::Error& error) {
        failure = error;
        return false;
    }
}

}  // namespace

bool BackItUp(const std::string& Path) {
    vlt::TraceScope trace("modVLTWork.BackItUp");
    vlt::Steps steps("modVLTWork.BackItUp");
    vlt::ActionBatch* batch = vlt::CurrentBatch();
    if (!(batch != nullptr ? batch->backup() : modVLTProperties::Backup())) {
        return true;
    }
    std::string name;
    steps.run("Setting Backup file name", [&] { name = SetBackupName(Path); });
    std::string folder;
    bool valid = false;
    steps.run("verify path valid", [&] {
        folder = QzBase::LastSlash(batch != nullptr ? batch->backupPath()
                                                    : modVLTProperties::BackupPath());
        // Checked once per folder while the list runs; again after a backup failed.
        const std::string asked = folder;
        if (const auto checked = batch != nullptr ? batch->ValidFolder(asked) : std::nullopt) {
            folder = *checked;
            valid = true;
            return;
        }
        valid = ValidPath(folder);
        if (valid && batch != nullptr) {
            batch->FolderValid(asked, folder);
        }
    });
    if (!valid) {
        steps.run("Path invalid", [&] {
            UpdateActionLog(folder, 2, "Error: Path does not exists and cannot be created");
        });
        return false;
    }
    if (!File().FileExists(Path)) {
        dialogs::MsgBox(Path + " does not exist!  It may have been " +
                            "deleted by another process.  It is recommended that " +
                            "you have no other processes running when you run " +
                            dialogs::App().Title() + ".",
                        dialogs::vbExclamation | dialogs::vbOKOnly, "File not found");
        UpdateActionLog(Path, 2, "Error: File does not exist");
        return false;
    }
    const std::string backup = folder + name;
    // A shortened name needs its record before its backup exists (BackupNames.h).
    if (!vlt::BackupRecordName(name).empty() && !steps.run("Recording the backup's path", [&] {
            vlt::WriteBackupRecord(folder, name, Path);
        })) {
        UpdateActionLog(Path, 2, "Error: Backup to " + backup + " failed");
        return false;
    }
    // A backup of the same name that waits in the batch is put in place first, so that the
    // older one is kept as any backup on disk is.
    if (batch != nullptr && batch->files().Stages(backup)) {
        batch->Commit();
    }
    const bool copied = steps.run("Beginning Copy for backup", [&] {
        KeepOlderBackup(backup, Path);
        const bool made = batch != nullptr ? batch->files().StageCopy(Path, backup)
                                           : win32::CopyFileA(Path, backup, false);
        if (!made) {
            win32::RaiseLastError("modVLTWork.BackItUp");
        }
    });
    if (!copied) {
        if (batch != nullptr) {
            batch->ForgetValidFolders();
        }
        // The user chose to go on without the backup; the report must not claim one.
        UpdateActionLog(Path, 2, "Error: Backup to " + backup + " failed");
        return false;
    }
    UpdateActionLog(Path, 3, backup);
    if (batch != nullptr) {
        batch->ClaimBackup(LastRow(), backup);
    }
    return true;
}

std::string SetBackupName(const std::string& Path) {
    vlt::TraceScope trace("modVLTWork.SetBackupName");
    constexpr std::string_view kExtension = ".backup";
    if (Path.size() >= kExtension.size() &&
        automation::EqualsIgnoreCase(std::string_view(Path).substr(Path.size() - kExtension.size()),
                                     kExtension)) {
        return Path;
    }
    return vlt::BackupFileName(Path);
}

bool ValidPath(std::string& Folder) {
    vlt::TraceScope trace("modVLTWork.ValidPath");
    const std::string first = Folder;
    automation::Error failure(0, {});
    if (Try([&] { WriteTestFile(Folder); }, failure)) {
        return true;
    }
    if (Try(
            [&] {
                CreateFolder(Folder);
                WriteTestFile(Folder);
            },
            failure)) {
        return true;
    }
    const dialogs::AppObject& app = dialogs::App();
    const std::string fallback = QzBase::LastSlash(app.Path()) + "Backups\\";
    dialogs::MsgBox(
        "Unable to write to " + Folder + ".\r\nBackup path changed to " + fallback + ".",
        dialogs::vbExclamation | dialogs::vbOKOnly, "Problem with backup path");
    Folder = fallback;
    if (Try(
            [&] {
                CreateFolder(Folder);
                WriteTestFile(Folder);
            },
            failure)) {
        return true;
    }
    dialogs::MsgBox("Problem with " + Folder + "!\r\nMake sure all drives are connected and " +
                        Folder + " exists, then restart " + app.Title() +
                        ".\r\nIf problem persists, contact " + app.CompanyName() +
                        ".\r\n\r\nError message: " + std::to_string(failure.Number()) + ": " +
                        failure.Description(),
                    dialogs::vbOKOnly);
    // DoError explains the error and ends the program. Its error leaves every procedure on
    // the way up as the end of the program, so no step offers it once more.
    vlt::DoError(failure.Number(), "Path: " + first + ".\r\n" + Folder + " also invalid.",
                 "modVLTWork.ValidPath", "Verifying Path");
}

std::int16_t CopyTo(const std::string& Source, const std::string& Target) {
    vlt::TraceScope trace("modVLTWork.CopyTo");
    vlt::Steps steps("modVLTWork.CopyTo");
    if (automation::EqualsIgnoreCase(Source, Target)) {
        return 0;
    }
    std::string systemFolder;
    bool intoSystem = false;
    steps.run("Checking target folder", [&] {
        // The system folder of the copy's processor (SysWOW64 for a 32-bit one on a 64-bit
        // Windows): a copy into it carries the use counts over.
        systemFolder = SystemFolderOf(Source);
        intoSystem = automation::EqualsIgnoreCase(QzBase::LastSlash(File().GrabFilePath(Target)),
                                                  systemFolder);
    });
    vlt::Trace("Attempt to Copy " + Source + " to: " + systemFolder);
    if (!File().FileExists(Source)) {
        dialogs::MsgBox(Source + " does not exist!\r\n" +
                            "Please make sure you have no other processes running when you " +
                            "run " + dialogs::App().Title() + ".\r\nPress OK to continue",
                        dialogs::vbExclamation | dialogs::vbOKOnly, "File not found");
        return 0;
    }

    // A target the restart list cannot name would be reported and never carried out.
    if (!File().CanScheduleTarget(Target)) {
        UpdateActionLog(Source, 2,
                        "Error: Copy to " + Target +
                            " not scheduled; the restart cannot name a target whose name holds "
                            "\"=\" and has no short form");
        return 0;
    }
    // A second run after an interrupted one finds its copy waiting already: it is neither
    // made nor counted again.
    vlt::ActionBatch* batch = vlt::CurrentBatch();
    bool held = false;
    if (File().CopyPendingOnRestart(Source, Target, &held)) {
        vlt::Trace(Source + " already waits to be copied to " + Target + " (on restart)");
        UpdateActionLog(Source, 5, Target);
        if (held && batch != nullptr) {
            batch->ClaimCopy(LastRow(), Target);
        } else {
            vlt::State().RestartNeeded = true;
        }
        return 1;
    }

    // Only a complete copy may ever be scheduled over a system file: the temporary copy must
    // exist and have the source's size, and the move must have been recorded, before the
    // count, the restart and the log say that anything will happen.
    std::string temp;
    const auto discardTemp = [&] {
        if (!temp.empty()) {
            win32::DeleteFileA(temp);
        }
    };
    const bool copied = steps.run("Copying to temporary file", [&] {
        discardTemp();
        temp = vlt::Sys1().TempFileName("VLT");
        if (temp.empty()) {
            win32::RaiseLastError("modVLTWork.CopyTo");
        }
        bool complete = false;
        if (batch != nullptr) {
            // Straight into the new temporary file: nothing reads it before the batch has
            // made it durable.
            std::uint64_t sourceSize = 0;
            std::uint64_t written = 0;
            if (!batch->files().CopyInto(Source, temp, sourceSize, written)) {
                win32::RaiseLastError("modVLTWork.CopyTo");
            }
            complete = written == sourceSize;
        } else {
            if (!win32::CopyFileA(Source, temp, false)) {
                win32::RaiseLastError("modVLTWork.CopyTo");
            }
            const auto sourceSize = SizeOf(Source);
            complete = sourceSize && SizeOf(temp) == sourceSize;
        }
        if (!complete) {
            automation::Raise(automation::DeviceIOError, "modVLTWork.CopyTo");
        }
    });
    const bool scheduled = copied && steps.run("Scheduling copy on restart: " + temp,
                                               [&] { File().MoveOnRestart(temp, Target); });
    if (!scheduled) {
        discardTemp();
        UpdateActionLog(Source, 2, "Error: Copy to " + Target + " failed; nothing was scheduled");
        return 0;
    }
    vlt::State().RestartChanges.push_back({temp, Target, true, batch == nullptr});
    if (batch != nullptr) {
        batch->TemporaryCopy(temp);
        batch->RestartScheduled();
    } else {
        vlt::State().RestartNeeded = true;
    }

    if (intoSystem) {
        steps.run("Changing DLL Count", [&] {
            const std::string key = SharedDllsKeyOf(Source);
            const std::int32_t before = SharedDllCount(key, Target);
            const std::int32_t n = WithUse(before, SharedDllCount(key, Source));
            vlt::Trace(Target + " - Changing DLL Count to " + std::to_string(n));
            if (n >= 1 && n != before) {
                StoreCount(key, Target, before, n, "takes over the use of " + Source);
            }
        });
    }
    vlt::Trace(Source + " copied to " + Target + " (on restart)");
    UpdateActionLog(Source, 5, Target);
    if (batch != nullptr) {
        batch->ClaimCopy(LastRow(), Target);
    }
    return 1;
}

bool RemoveFile(const std::string& Path, const std::string& HandUseTo) {
    vlt::TraceScope trace("modVLTWork.RemoveFile");
    vlt::Steps steps("modVLTWork.RemoveFile");
    std::string key;
    std::int32_t n = 0;
    steps.run("Reading DLL Count", [&] {
        key = SharedDllsKeyOf(Path);
        n = SharedDllCount(key, Path);
    });
    // The counts change only once the deletion is certain to happen.
    if (!RebootForFileKill(Path)) {
        return false;
    }
    if (n >= 1) {
        steps.run("Removing DLL Count", [&] {
            vlt::Trace("Removing DLL Count for " + Path);
            StoreCount(key, Path, n, std::nullopt, "the file is removed");
        });
    }
    if (!HandUseTo.empty()) {
        steps.run("Changing DLL Count", [&] {
            const std::int32_t before = SharedDllCount(key, HandUseTo);
            const std::int32_t count = WithUse(before, n);
            vlt::Trace(HandUseTo + " - Changing DLL Count to " + std::to_string(count));
            if (count != before) {
                StoreCount(
                    key, HandUseTo, before, count,
                    "takes over the use of " + Path + ", whose program loads it from now on");
            }
        });
    }
    return true;
}

bool RebootForFileKill(const std::string& Path) {
    vlt::TraceScope trace("modVLTWork.RebootForFileKill");
    vlt::Steps steps("modVLTWork.RebootForFileKill");
    // A removal an interrupted run scheduled waits already; it is not this run's to take back.
    vlt::ActionBatch* batch = vlt::CurrentBatch();
    bool waiting = false;
    bool held = false;
    if (!steps.run("Scheduling removal on restart: " + Path, [&] {
            waiting = File().MoveWaitsOnRestart(Path, "", &held);
            File().MoveOnRestart(Path, "");
        })) {
        UpdateActionLog(Path, 2, "Error: Removal could not be scheduled");
        return false;
    }
    if (!waiting) {
        vlt::State().RestartChanges.push_back({Path, "", false, batch == nullptr});
    }
    // Only what this batch holds waits for its commit; a line already written is scheduled.
    const bool inBatch = batch != nullptr && (!waiting || held);
    if (inBatch) {
        batch->RestartScheduled();
    } else {
        vlt::State().RestartNeeded = true;
    }
    UpdateActionLog(Path, 7, "");
    if (inBatch) {
        batch->ClaimRemoval(LastRow());
    }
    return true;
}

bool RebootRequested() {
    vlt::TraceScope trace("modVLTWork.RebootRequested");
    return dialogs::MsgBox(
               "You need to restart your system for some of these changes "
               "to take effect.  Do you want to restart now?",
               dialogs::vbYesNo | dialogs::vbQuestion, "Restart Required") == dialogs::vbYes;
}

}  // namespace modVLTWork
