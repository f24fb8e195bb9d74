#pragma once
// Where a drive may not lead. Every drive the program lists and writes into stands for a host
// folder; a drive whose folder could reach files that are not the machine's is left out: it
// is never listed and nothing resolves on it, whatever kind of profile named it. That is a
// folder that is, holds or lies inside the host's own system (the root, /usr, /etc, /bin,
// /sbin, /lib*, /boot, /proc, /sys, /dev, /run, /var; the places users keep files under /var,
// /run and /dev, such as /var/tmp, /run/user, /run/media and /dev/shm, are not the system's),
// a folder that is or holds the machine folder (its profile and registry.db), and a folder
// that is, holds or lies inside the folder of a drive decided before it. Folders are compared
// once symbolic links are followed, and as written.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/machine/MachineProfile.h"

namespace machine {

struct LeftOutDrive {
    DriveInfo drive;
    // "its folder / is the host's root"
    std::string reason;
};

struct DriveSelection {
    std::vector<DriveInfo> usable;  // letter order
    std::vector<LeftOutDrive> leftOut;
};

// Why a host folder may not stand for a drive because of the host's system; nullopt when it
// may. `folder` is absolute.
std::optional<std::string> WhyNotADriveFolder(const std::filesystem::path& folder);

// Sorts the drives into usable ones and left-out ones (an empty `machineFolder`: the machine's
// folder is its drive's own). A drive the profile itself leaves out
// (DriveInfo::leftOut) keeps that reason unless the host's system gives one. Of two drives whose
// folders overlap, the drive with the letter `firstLetter` (the Windows folder's) is decided first,
// then the others in letter order; the later one is left out. A drive without medium has no folder
// and is always usable.
DriveSelection SelectDrives(const std::vector<DriveInfo>& drives,
                            const std::filesystem::path& machineFolder, char firstLetter);

}  // namespace machine
