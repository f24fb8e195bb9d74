// What the picker's list boxes need to know about the machine's drives and folders, with the
// run-time errors the old list boxes raised.
#pragma once

#include <string>
#include <vector>

namespace Qz_File {

// "a:", "c:", ... for every drive of the machine, in letter order.
std::vector<std::string> MachineDrives();
// "c: [LABEL]" for a drive with a medium and a volume label, else "c:".
std::string DriveCaption(const std::string& drive);
// Raises run-time error 68 (Device unavailable) unless `drive` (anything starting "c:")
// names a drive of the machine that has a medium.
void RequireDriveReady(const std::string& drive);

// The existing folder `path` names, spelled as on disk: "C:\" for a root, "C:\WINDOWS" below
// it. "c:" alone is the current folder when that is on drive C, else its root. Raises 68 for a
// drive that is missing or not ready and 76 (Path not found) for anything else that is not a
// folder.
std::string ExistingFolder(const std::string& path);

// The folder's subfolders (hidden and system ones too) and its files that match one of the
// ";"-separated patterns (not hidden or system, as the old file list showed them), each sorted
// by name without regard to case. Empty when the folder cannot be listed; a pattern that names
// a folder ("..\*.dll") matches nothing.
std::vector<std::string> SubFolders(const std::string& folder);
std::vector<std::string> MatchingFiles(const std::string& folder, const std::string& patterns);

// Where a picker opens for the start folder `initDir`, best first: the folder itself, then,
// since it may not exist yet (a backup folder to be made), each folder above it, its drive,
// and every drive of the machine. An empty start folder is the current folder.
std::vector<std::string> StartFolderCandidates(const std::string& initDir);

// `folder` & "\" & `name`, without doubling the backslash of a drive root.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace Qz_File
