// The names of the backups the program writes into the backup folder, and how a name reads
// back as the path its backup is put back at. Whatever lists or restores backups (the restore
// window, the machine tool) reads their names through ReadBackupName, and restores only what
// it reads with certainty.
//
// Format, written by BackItUp:
// - The name: the first character of the file's full path (its drive), "~", the path from its
//   third character on with every "\" written as "~", then ".backup":
//   C:\WINDOWS\SYSTEM\FOO.DLL is backed up as C~~WINDOWS~SYSTEM~FOO.DLL.backup.
// - A path whose name would not fit one host file name (255 bytes, less room for the ".N" an
//   older backup kept aside gets) is backed up under a shortened name: as much of the name's
//   start as fits, "…~" (U+2026), the file's own name, "~", 16 hex digits (the FNV-1a hash,
//   64 bits, of the full path's UTF-8 bytes) and ".backup", cut at character boundaries:
//   C~~Program Files~Orbis Suite~Long folder n…~ORBCALC.DLL~1f3a5b7c9d0e2f46.backup.
//   Beside it, the record of the same name with ".path" for ".backup" holds the full path,
//   UTF-8, followed by CR LF. The record is written (atomically) before its backup, and stays
//   when the backup is restored or kept aside, so a shortened backup always has one.
// - An older backup kept aside is the name followed by ".1", ".2", ...: it reads as the name
//   without the number.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vlt {

// The name of the backup of the file at `path` (a full Windows path) in the backup folder.
std::string BackupFileName(const std::string& path);
// The name of the record beside a shortened backup name; "" for a name that needs none.
std::string BackupRecordName(const std::string& backupName);
// Writes the record of the backup `backupName` of `path` into `folder` (a Windows path ending
// in "\"), unless it holds that path already. Raises a run-time error when it cannot be
// written, or when it holds another path (two paths whose names shorten alike: the backup
// must not be mistaken for the other's).
void WriteBackupRecord(const std::string& folder, const std::string& backupName,
                       const std::string& path);

// How a backup's name reads on a machine.
struct BackupReading {
    // The path the backup is put back at; "" for a name this program never makes.
    std::string path;
    // When the file at `path` exists and the name fits another place on the machine as well
    // (C:\X~Y\F.DLL, or only its folder, beside C:\X\Y\F.DLL): that place. Nothing tells which
    // of the two the backup was taken from.
    std::string alsoFits;
    // Why a shortened name cannot be read with certainty (its record is missing, or names
    // another path); `path` is then the shortened reading, for the user to recognise.
    std::string problem;

    // Whether the backup may be restored to `path` without overwriting a file it is not of.
    bool certain() const { return !path.empty() && alsoFits.empty() && problem.empty(); }
};

// What the reader needs of the machine: whether a Windows path is a folder, whether it is a
// file, and the text of a file of the backup folder (nullopt when it cannot be read).
struct BackupFolderView {
    std::function<bool(const std::string&)> isFolder;
    std::function<bool(const std::string&)> isFile;
    std::function<std::optional<std::string>(const std::string& name)> readFile;
};

// Reads the name of a backup (without its folder). A name's "~" may be a folder separator or
// part of a name (the short name C:\PROGRA~1), so a name can stand for several paths; of its
// readings the first in this order wins: the file itself exists; its folder exists and every
// "~" it keeps inside a name belongs to a folder that exists or to a short name such as
// MSVBVM~1.DLL; the reading with every "~" a separator (whose folder may then not exist).
// Within one rank, readings with more separators come first. A shortened name reads as its
// record says.
BackupReading ReadBackupName(const std::string& backupName, const BackupFolderView& view);
// The same on the current machine, for a backup in `folder` (a Windows path ending in "\").
BackupReading ReadBackupName(const std::string& folder, const std::string& backupName);

// Whether the machine has a folder (`folder`) or a file (not `folder`) at the Windows path.
bool IsMachineEntry(const std::string& path, bool folder);

}  // namespace vlt
