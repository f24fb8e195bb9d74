#include "platform/machine/Machine.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/machine/EmulatedKind.h"
#include "platform/machine/IniMachineProfile.h"
#include "platform/machine/MachineError.h"

namespace machine {
namespace {

std::mutex gCurrentMutex;
std::shared_ptr<Machine> gCurrent;

// The drive that holds the Windows folder is decided first where two drives overlap.
char WindowsDrive(const MachineProfile& profile) {
    const std::string windows = profile.windowsDir();
    return windows.empty()
               ? 'C'
               : static_cast<char>(std::toupper(static_cast<unsigned char>(windows[0])));
}

std::string CreateHint(const std::filesystem::path& folder) {
    return "create one with: velto-machine create " + folder.string();
}

// Room kept below the host's path limit for the files a machine holds
// (drives/C/WINDOWS/Start Menu/Programs/StartUp, registry.db-shm, ...).
constexpr std::size_t kRoomInside = 256;

bool TooLongForTheHost(const std::filesystem::path& folder) {
    for (const auto& part : folder) {
        if (part.native().size() > NAME_MAX) {
            return true;
        }
    }
    return folder.native().size() + kRoomInside >= PATH_MAX;
}

}  // namespace

void CheckMachineFolderName(const std::filesystem::path& folder) {
    if (folder.empty()) {
        throw MachineError("no machine folder was named (the name given is empty)");
    }
    if (TooLongForTheHost(folder)) {
        throw MachineError("the path " + folder.string() +
                           " is too long for the host: a name in it may hold " +
                           std::to_string(NAME_MAX) + " bytes, and the machine's files need " +
                           "paths below " + std::to_string(PATH_MAX) + " bytes");
    }
}

void CheckMachineFolder(const std::filesystem::path& folder) {
    CheckMachineFolderName(folder);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT) {
            throw MachineError("no machine folder " + folder.string() + "; " + CreateHint(folder));
        }
        throw MachineError("cannot reach " + folder.string() + ": " + std::strerror(err) +
                           (err == EACCES ? " (a folder on the way may not be entered)" : ""));
    }
    if (!S_ISDIR(st.st_mode)) {
        throw MachineError(folder.string() +
                           " is a file, not a machine folder: a machine is a folder holding "
                           "machine.ini, or a Wine prefix");
    }
    if (::faccessat(AT_FDCWD, folder.c_str(), R_OK | X_OK, AT_EACCESS) != 0) {
        throw MachineError("you may not enter " + folder.string() + " (" + std::strerror(errno) +
                           "): its owner can let you in");
    }
}

Machine::Machine(std::filesystem::path folder, std::unique_ptr<MachineProfile> profile,
                 std::shared_ptr<const MachineKind> kind)
    : folder_(std::move(folder)),
      profile_(std::move(profile)),
      kind_(kind ? std::move(kind) : std::make_shared<EmulatedKind>(folder_)),
      drives_(SelectDrives(profile_->drives(),
                           kind_->folderIsItsDrive() ? std::filesystem::path() : folder_,
                           WindowsDrive(*profile_))),
      resolver_(drives_.usable) {
    const auto& drives = drives_.usable;
    currentDirectory_.drive = drives.empty() ? 'C' : drives.front().letter;
    for (const DriveInfo& drive : drives) {
        if (drive.letter == 'C') {
            currentDirectory_.drive = 'C';
        }
    }
}

std::shared_ptr<Machine> Machine::Open(const std::filesystem::path& folder, Access access) {
    CheckMachineFolder(folder);
    std::error_code ec;
    if (!std::filesystem::exists(folder / IniMachineProfile::kFileName, ec)) {
        throw MachineError(folder.string() + " is not a Velto machine (no " +
                           IniMachineProfile::kFileName + "); " + CreateHint(folder));
    }
    const auto absolute = std::filesystem::absolute(folder, ec).lexically_normal();
    return std::make_shared<Machine>(
        absolute, IniMachineProfile::Load(absolute),
        std::make_shared<EmulatedKind>(absolute, access == Access::Read));
}

std::vector<std::string> Machine::holders() const {
    std::vector<std::string> held;
    // A machine this process holds is held by nobody else.
    if (lock_) {
        return held;
    }
    if (const auto run = LockHolder(folder_)) {
        held.push_back("a run holds the machine: " + *run + " is changing it");
    }
    if (auto own = kind_->heldByItsOwnPrograms()) {
        held.push_back(std::move(*own));
    }
    return held;
}

ResolvedPath Machine::Resolve(std::string_view windowsPath) const {
    PathError error;
    const auto parsed = ParseWindowsPath(windowsPath, currentDirectory(), error);
    if (!parsed) {
        ResolvedPath failed;
        failed.error = error;
        return failed;
    }
    return resolver_.Resolve(*parsed);
}

std::optional<std::string> Machine::ToWindowsPath(const std::filesystem::path& hostPath) const {
    return resolver_.ToWindows(hostPath);
}

WindowsPath Machine::currentDirectory() const {
    std::lock_guard lock(mutex_);
    return currentDirectory_;
}

void Machine::setCurrentDirectory(WindowsPath folder) {
    std::lock_guard lock(mutex_);
    currentDirectory_ = std::move(folder);
}

std::shared_ptr<Machine> CurrentMachine() {
    std::lock_guard lock(gCurrentMutex);
    return gCurrent;
}

void SetCurrentMachine(std::shared_ptr<Machine> machine) {
    std::lock_guard lock(gCurrentMutex);
    gCurrent = std::move(machine);
}

MachineLocation ChooseMachineFolder(const std::optional<std::string>& commandLineFolder) {
    if (commandLineFolder) {
        return {*commandLineFolder, "--machine"};
    }
    if (const char* env = std::getenv("VELTO_MACHINE"); env != nullptr && *env != '\0') {
        return {env, "$VELTO_MACHINE"};
    }
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg != '\0') {
        return {std::filesystem::path(xdg) / "velto" / "machine", "$XDG_DATA_HOME"};
    }
    const char* home = std::getenv("HOME");
    return {std::filesystem::path(home != nullptr ? home : "") / ".local" / "share" / "velto" /
                "machine",
            "default"};
}

std::shared_ptr<Machine> OpenChosenMachine(const MachineLocation& location,
                                           const MachineOpener& open) {
    try {
        return open(location.folder);
    } catch (const MachineError& e) {
        throw MachineError(std::string(e.what()) + " (machine folder from " + location.source +
                           ")");
    }
}

}  // namespace machine
