#pragma once
// The machine: a folder holding its profile, its registry and the host folders of its drives,
// of one kind (MachineKind.h): an emulated machine (machine.ini, registry.db) or a Wine prefix.
// Everything that reads or writes the machine's files goes through the process-wide current
// machine.

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine/DriveBoundaries.h"
#include "platform/machine/MachineKind.h"
#include "platform/machine/MachineLock.h"
#include "platform/machine/MachineProfile.h"
#include "platform/machine/PathResolver.h"

namespace machine {

// What a machine is opened for (kinds::OpenToRead, kinds::OpenToChange).
enum class Access {
    // Reads and writes, without the lock: a machine a program builds or starts for itself.
    Unlocked,
    // Only reads: nothing is written into the folder (the registry opens read-only), and it
    // opens while another process changes it (Machine::holders says who).
    Read,
    // Changes it: the machine's lock is held while it is open (MachineLock.h).
    Change,
};

// Throws MachineError, in words for the user, unless `folder` is a folder this process may
// enter: a missing folder, a file, a folder the user may not enter, or a name that can name
// no machine folder (CheckMachineFolderName).
void CheckMachineFolder(const std::filesystem::path& folder);
// Throws MachineError for a name that can name no machine folder: an empty one, or one too
// long for the host to hold the machine's files below it.
void CheckMachineFolderName(const std::filesystem::path& folder);

class Machine {
  public:
    static constexpr const char* kRegistryFileName = "registry.db";

    // Without a kind, the machine is an emulated one. Only the drives that are not left out
    // (DriveBoundaries.h, and DriveInfo::leftOut of the profile) are the machine's drives.
    Machine(std::filesystem::path folder, std::unique_ptr<MachineProfile> profile,
            std::shared_ptr<const MachineKind> kind = nullptr);

    // Opens the emulated machine in `folder`; throws MachineError (saying how to create one)
    // when the folder is missing or holds no machine.ini, or when the profile cannot be
    // understood. Read access opens its registry read-only; the lock is the caller's.
    static std::shared_ptr<Machine> Open(const std::filesystem::path& folder,
                                         Access access = Access::Unlocked);

    const std::filesystem::path& folder() const { return folder_; }
    const MachineProfile& profile() const { return *profile_; }
    const MachineKind& kind() const { return *kind_; }
    // Where an emulated machine keeps its registry.
    std::filesystem::path registryPath() const { return folder_ / kRegistryFileName; }
    // Resolves on the usable drives only: a left-out drive is no drive of the machine.
    const PathResolver& paths() const { return resolver_; }
    // The profile's drives that are never listed or written, and why.
    const std::vector<LeftOutDrive>& leftOutDrives() const { return drives_.leftOut; }

    // Keeps the machine's lock for as long as the machine is open.
    void Keep(std::shared_ptr<const MachineLock> lock) { lock_ = std::move(lock); }
    // Who else holds the machine now, one sentence each, for commands that only read: a run
    // of Velto that is changing it, the machine's own programs (Wine). Empty when nobody.
    std::vector<std::string> holders() const;

    // Windows path -> host path with the machine's current directory for relative paths.
    ResolvedPath Resolve(std::string_view windowsPath) const;
    // Host path -> Windows path; nullopt outside the machine's drives.
    std::optional<std::string> ToWindowsPath(const std::filesystem::path& hostPath) const;

    // The folder relative Windows paths start from; the root of C: (or of the first drive)
    // until set.
    WindowsPath currentDirectory() const;
    void setCurrentDirectory(WindowsPath folder);

  private:
    std::filesystem::path folder_;
    std::unique_ptr<MachineProfile> profile_;
    std::shared_ptr<const MachineKind> kind_;
    DriveSelection drives_;
    PathResolver resolver_;
    std::shared_ptr<const MachineLock> lock_;
    mutable std::mutex mutex_;
    WindowsPath currentDirectory_;
};

// The machine every Win32 call works on; nullptr until one is set. Tests set their own.
std::shared_ptr<Machine> CurrentMachine();
void SetCurrentMachine(std::shared_ptr<Machine> machine);

// Where the machine folder comes from, in this order: the --machine argument, $VELTO_MACHINE,
// $XDG_DATA_HOME/velto/machine, ~/.local/share/velto/machine.
struct MachineLocation {
    std::filesystem::path folder;
    std::string source;  // "--machine", "$VELTO_MACHINE", "$XDG_DATA_HOME", "default"
};
MachineLocation ChooseMachineFolder(const std::optional<std::string>& commandLineFolder);

// Opens the chosen machine with `open` (an emulated machine unless told otherwise); the
// MachineError message names where the folder came from.
using MachineOpener = std::function<std::shared_ptr<Machine>(const std::filesystem::path&)>;
std::shared_ptr<Machine> OpenChosenMachine(
    const MachineLocation& location,
    const MachineOpener& open = [](const std::filesystem::path& folder) {
        return Machine::Open(folder);
    });

}  // namespace machine
