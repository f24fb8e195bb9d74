// velto-machine create DIR [--platform 9x|nt] [--demo]
// velto-machine create DIR --wine [--demo]      (cmd_create_wine.cpp)
// velto-machine create DIR --offline-windows [--release xp|10] [--demo]
//                                               (cmd_create_offline.cpp)

#include <unistd.h>

#include <array>
#include <cstring>
#include <iostream>
#include <sstream>

#include "platform/dialogs/App.h"
#include "platform/machine/DriveBoundaries.h"
#include "platform/machine/IniMachineProfile.h"
#include "platform/registry/RegistryStore.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

// The files of the program's folder, copied from the resources when present.
constexpr std::array<const char*, 3> kProgramFiles = {"pad_file.xml", "watermark.jpg", "vlt.chm"};
// The folder of the help pages, in the resources and in the program's folder.
constexpr const char* kHelpFolder = "help";

std::string ProfileText(machine::Platform platform) {
    const bool nt = platform == machine::Platform::NT;
    std::ostringstream ini;
    ini << "; The profile of a Velto emulated machine. Every key is optional.\r\n"
        << "[Machine]\r\n"
        << "Platform=" << (nt ? "NT" : "9x") << "\r\n"
        << "Version=" << (nt ? "5.1.2600" : "4.10.2222") << "\r\n"
        << "ServicePack=" << (nt ? "Service Pack 3" : "A") << "\r\n"
        << "WindowsDir=C:\\WINDOWS\r\n"
        << "SystemDir=C:\\WINDOWS\\" << (nt ? "SYSTEM32" : "SYSTEM") << "\r\n"
        << "TempDir=C:\\WINDOWS\\TEMP\r\n"
        << "ProgramDir=C:\\Program Files\\Velto\r\n"
        << "; empty: the host's own names\r\n"
        << "ComputerName=\r\n"
        << "UserName=\r\n"
        << "\r\n"
        << "[Drives]\r\n"
        << "; letter=type:host folder (relative to this folder or absolute); types: fixed\r\n"
        << "; removable cdrom remote ramdisk; no folder = no medium in the drive\r\n"
        << "C=fixed:drives/C\r\n"
        << "\r\n"
        << "[Folders]\r\n"
        << "Personal=C:\\My Documents\r\n"
        << "Startup=C:\\WINDOWS\\Start Menu\\Programs\\StartUp\r\n";
    return ini.str();
}

}  // namespace

[[noreturn]] void Win32Failure(const std::string& what) {
    throw std::runtime_error(what + " (Win32 error " + std::to_string(win32::GetLastError()) + ")");
}

void CreateFolderTree(const std::string& path) {
    size_t pos = path.find('\\', 3);
    while (true) {
        const std::string prefix = path.substr(0, pos);
        const auto attributes = win32::GetFileAttributesA(prefix);
        if (attributes == win32::INVALID_FILE_ATTRIBUTES) {
            if (!win32::CreateDirectoryA(prefix)) {
                Win32Failure("cannot create " + prefix);
            }
        } else if ((attributes & win32::FILE_ATTRIBUTE_DIRECTORY) == 0) {
            throw std::runtime_error(prefix + " is a file, not a folder");
        }
        if (pos == std::string::npos) {
            return;
        }
        pos = path.find('\\', pos + 1);
    }
}

namespace {

void CopyResource(const std::filesystem::path& source, const std::filesystem::path& target) {
    win32::AtomicFile file(target);
    if (file.error() == 0) {
        if (const int err = win32::host::CopyContents(source, file.fd()); err != 0) {
            throw std::runtime_error("cannot copy " + source.string() + ": " + std::strerror(err));
        }
    }
    if (const int err = file.Commit(); err != 0) {
        throw std::runtime_error("cannot write " + target.string() + ": " + std::strerror(err));
    }
}

}  // namespace

bool WriteDemoFile(const imagewriter::DemoFile& file) {
    if (win32::GetFileAttributesA(file.path) != win32::INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    CreateFolderTree(file.path.substr(0, file.path.rfind('\\')));
    const std::string_view data(reinterpret_cast<const char*>(file.bytes.data()),
                                file.bytes.size());
    if (!win32::WriteFileAtomicallyA(file.path, data)) {
        Win32Failure("cannot write " + file.path);
    }
    const auto host = win32::HostPathOf(file.path);
    if (!host) {
        Win32Failure("cannot reach " + file.path);
    }
    const timespec time{static_cast<time_t>(file.writeTime), 0};
    if (const int err = win32::host::SetTimes(*host, time, time); err != 0) {
        throw std::runtime_error("cannot date " + host->string() + ": " + std::strerror(err));
    }
    return true;
}

void WriteSharedDllCounts(const machine::Machine& m, const std::vector<KeyedCounts>& counts) {
    const auto store = m.kind().OpenRegistry();
    store->transaction([&] {
        for (const auto& [keyPath, values] : counts) {
            if (values.empty()) {
                continue;
            }
            registry::KeyId key = 0;
            if (store->createKey(store->rootKey(registry::Root::LocalMachine),
                                 registry::SplitKeyNames(keyPath), key) != registry::Outcome::Ok) {
                throw std::runtime_error("cannot create HKEY_LOCAL_MACHINE\\" + keyPath);
            }
            for (const auto& [path, count] : values) {
                const std::uint8_t data[4] = {
                    static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
                    static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)};
                store->setValue(key, path, registry::REG_DWORD, data);
            }
        }
    });
}

void WriteSharedDllCounts(const machine::Machine& m, const SharedDllCounts& counts) {
    WriteSharedDllCounts(m, {{kSharedDllsKey, counts}});
}

std::string WriteDemoProgramCounts(const machine::Machine& m,
                                   const imagewriter::DemoPrograms& programs, bool win64) {
    WriteSharedDllCounts(m, {{win64 ? kSharedDllsKey32 : kSharedDllsKey, programs.counts32},
                             {kSharedDllsKey, programs.counts64}});
    return std::to_string(programs.counts32.size() + programs.counts64.size()) +
           " use counts under HKEY_LOCAL_MACHINE\\" + kSharedDllsKey +
           (win64 ? std::string(" and ") + kSharedDllsKey32 : std::string());
}

void CopyProgramFiles(const machine::Machine& m, std::ostream& out) {
    const std::string programDir = m.profile().programDir();
    const auto resources = dialogs::App().DataFolder();
    if (!resources) {
        out << "  no resources folder found: " << programDir << " is left empty\n";
        return;
    }
    const auto target = win32::HostPathOf(programDir);
    if (!target) {
        Win32Failure("cannot reach " + programDir);
    }
    std::vector<std::string> copied;
    for (const char* name : kProgramFiles) {
        const auto source = *resources / name;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(source, ec)) {
            continue;
        }
        CopyResource(source, *target / name);
        copied.push_back(name);
    }
    // The help pages, which the Help command opens in the desktop's browser.
    std::error_code ec;
    if (std::filesystem::is_directory(*resources / kHelpFolder, ec)) {
        CreateFolderTree(programDir + "\\" + kHelpFolder);
        for (const auto& page : std::filesystem::directory_iterator(*resources / kHelpFolder)) {
            if (page.is_regular_file(ec)) {
                CopyResource(page.path(), *target / kHelpFolder / page.path().filename());
            }
        }
        copied.push_back(std::string(kHelpFolder) + "\\");
    }
    out << "  " << programDir << ": ";
    if (copied.empty()) {
        out << "no program files in " << resources->string() << "\n";
        return;
    }
    for (size_t i = 0; i < copied.size(); ++i) {
        out << (i > 0 ? ", " : "") << copied[i];
    }
    out << " from " << resources->string() << "\n";
}

namespace {

// A folder holding nothing but a lock file (a create that failed, or this one's) is empty.
bool EmptyFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path().filename() != machine::MachineLock::kFileName) {
            return false;
        }
    }
    return !ec;
}

void RefuseUnlessEmpty(const std::filesystem::path& folder) {
    std::error_code ec;
    if (std::filesystem::exists(folder, ec) &&
        (!std::filesystem::is_directory(folder, ec) || !EmptyFolder(folder))) {
        throw UsageError(folder.string() + " exists and is not an empty folder");
    }
}

}  // namespace

NewFolder::NewFolder(const std::string& given) {
    machine::CheckMachineFolderName(given);
    folder_ = std::filesystem::absolute(given).lexically_normal();
    std::error_code ec;
    existed_ = std::filesystem::exists(folder_, ec);
    RefuseUnlessEmpty(folder_);
    if (!existed_ && !std::filesystem::create_directories(folder_, ec) && ec) {
        throw std::runtime_error("cannot create " + folder_.string() + ": " + ec.message());
    }
    lock_ = std::make_unique<machine::MachineLock>(folder_, "velto-machine create");
    // Another create may have filled it between the look and the lock.
    RefuseUnlessEmpty(folder_);
}

NewFolder::~NewFolder() {
    if (keep_) {
        return;
    }
    machine::SetCurrentMachine(nullptr);
    std::error_code ec;
    if (!existed_) {
        std::filesystem::remove_all(folder_, ec);
        return;
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
        if (entry.path().filename() != machine::MachineLock::kFileName) {
            std::filesystem::remove_all(entry.path(), ec);
        }
    }
}

namespace {

int Create(const std::vector<std::string>& args) {
    const auto parsed =
        ParseArgs(args, {"--demo", "--wine", "--offline-windows"}, {"--platform", "--release"});
    if (parsed.positional.size() != 1) {
        throw UsageError(
            "usage: velto-machine create DIR [--platform 9x|nt] [--demo], create DIR --wine "
            "[--demo], or create DIR --offline-windows [--release xp|10] [--demo]");
    }
    if (parsed.has("--offline-windows")) {
        if (parsed.value("--platform") || parsed.has("--wine")) {
            throw UsageError(
                "--offline-windows makes a Windows installation of the NT family; "
                "--release xp or 10 chooses which");
        }
        const std::string release = parsed.value("--release").value_or("10");
        if (release != "xp" && release != "10") {
            throw UsageError("--release must be xp or 10, not " + release);
        }
        const std::filesystem::path given = parsed.positional[0];
        machine::CheckMachineFolderName(given);
        // The installation's folder is its drive C:.
        if (const auto why =
                machine::WhyNotADriveFolder(std::filesystem::absolute(given).lexically_normal())) {
            throw UsageError("drive C: cannot be made there: " + *why);
        }
        NewFolder made(parsed.positional[0]);
        std::ostringstream out;
        const int status = CreateOfflineInstallation(made, release, parsed.has("--demo"), out);
        std::cout << out.str() << std::flush;
        return status;
    }
    if (parsed.value("--release")) {
        throw UsageError("--release chooses the Windows of --offline-windows");
    }
    if (parsed.has("--wine") && parsed.value("--platform")) {
        throw UsageError(
            "a Wine prefix's Windows version is chosen in Wine (winecfg), not with --platform");
    }
    machine::Platform platform = machine::Platform::Win9x;
    if (const auto name = parsed.value("--platform")) {
        if (*name == "nt" || *name == "NT") {
            platform = machine::Platform::NT;
        } else if (*name != "9x" && *name != "9X") {
            throw UsageError("--platform must be 9x or nt, not " + *name);
        }
    }
    const std::filesystem::path given = parsed.positional[0];
    machine::CheckMachineFolderName(given);
    // Refused before anything is made: a machine whose drive would reach the host's own
    // system is no machine the program may work on.
    if (!parsed.has("--wine")) {
        const auto folder = std::filesystem::absolute(given).lexically_normal();
        if (const auto why = machine::WhyNotADriveFolder(folder / "drives" / "C")) {
            throw UsageError("drive C: cannot be made there: " + *why);
        }
    }
    NewFolder made(parsed.positional[0]);
    // Said once the machine is whole: a create that fails names no machine as created.
    std::ostringstream out;
    if (parsed.has("--wine")) {
        const int status = CreateWinePrefix(made, parsed.has("--demo"), out);
        std::cout << out.str() << std::flush;
        return status;
    }
    const std::filesystem::path& folder = made.path();
    std::filesystem::create_directories(folder / "drives" / "C");
    if (const int err = win32::WriteHostFileAtomically(
            folder / machine::IniMachineProfile::kFileName, ProfileText(platform));
        err != 0) {
        throw std::runtime_error("cannot write machine.ini: " + std::string(std::strerror(err)));
    }
    const auto created = OpenMachine(folder);
    if (const auto& left = created->leftOutDrives(); !left.empty()) {
        throw UsageError(std::string("drive ") + left.front().drive.letter +
                         ": cannot be made there: " + left.front().reason);
    }
    const auto& profile = created->profile();
    out << "Created a " << (platform == machine::Platform::NT ? "NT" : "9x") << " machine in "
        << folder.string() << "\n";
    for (const auto& path :
         {profile.windowsDir(), profile.systemDir(), profile.tempDir(), profile.programDir(),
          *profile.specialFolder("Personal"), *profile.specialFolder("Startup")}) {
        CreateFolderTree(path);
    }
    CopyProgramFiles(*created, out);

    CreateContext context{folder, created, parsed.has("--demo"), false, out};
    for (const auto& step : CreateSteps()) {
        step.run(context);
    }
    if (context.demo && !context.demoFilled) {
        out << "  --demo: this build has no demo files yet; the machine is a plain one\n";
    }
    made.Keep();
    std::cout << out.str() << std::flush;
    return kOk;
}

const RegisterCommand kCreate({"create",
                               "DIR [--platform 9x|nt | --wine | --offline-windows [--release "
                               "xp|10]] [--demo]",
                               "creates a machine, with --wine a Wine prefix (wineboot -i), with "
                               "--offline-windows a Windows installation as on a disk, "
                               "in DIR (which must be new or empty)",
                               Create});

}  // namespace
}  // namespace velto_machine
