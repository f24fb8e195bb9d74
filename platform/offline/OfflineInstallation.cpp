#include "platform/offline/OfflineInstallation.h"

#include <algorithm>

#include "platform/machine/IniDocument.h"
#include "platform/machine/MachineError.h"
#include "platform/machine/PathResolver.h"
#include "platform/machine/Text.h"
#include "platform/offline/OfflineMachineProfile.h"
#include "platform/offline/WriteSafety.h"
#include "platform/win32/ntdll/HostFiles.h"

namespace offline {
namespace {

namespace fs = std::filesystem;
using machine::MachineError;
using machine::text::EqualsNoCase;

// Where Windows NT puts itself; older releases chose WINNT.
constexpr const char* kWindowsFolders[] = {"Windows", "WINNT"};
// Windows Vista (6.0) brought the component store.
constexpr std::uint32_t kFirstComponentStoreMajor = 6;
// Where a user's classes are, below the profile folder: Vista on, then 2000 and XP.
constexpr const char* kUserClassesFolders[] = {
    "AppData\\Local\\Microsoft\\Windows", "Local Settings\\Application Data\\Microsoft\\Windows"};

// The entry of `dir` that `name` names: spelled so, else the first (in name order) spelled
// alike without regard to case. NTFS may hold both.
std::optional<fs::path> EntryNamed(const fs::path& dir, std::string_view name, bool folder) {
    std::error_code ec;
    const fs::path exact = dir / name;
    if (folder ? fs::is_directory(exact, ec) : fs::is_regular_file(exact, ec)) {
        return exact;
    }
    std::vector<fs::path> alike;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (EqualsNoCase(entry.path().filename().string(), name) &&
            (folder ? entry.is_directory(ec) : entry.is_regular_file(ec))) {
            alike.push_back(entry.path());
        }
    }
    if (alike.empty()) {
        return std::nullopt;
    }
    return *std::min_element(alike.begin(), alike.end());
}

struct Layout {
    fs::path windows;
    fs::path config;
    fs::path software;
    fs::path system;
};

std::optional<Layout> FindLayout(const fs::path& root) {
    for (const char* candidate : kWindowsFolders) {
        Layout layout;
        const auto windows = EntryNamed(root, candidate, true);
        const auto system32 = windows ? EntryNamed(*windows, "System32", true) : std::nullopt;
        const auto config = system32 ? EntryNamed(*system32, "config", true) : std::nullopt;
        const auto software = config ? EntryNamed(*config, "SOFTWARE", false) : std::nullopt;
        const auto system = config ? EntryNamed(*config, "SYSTEM", false) : std::nullopt;
        if (software && system) {
            return Layout{*windows, *config, *software, *system};
        }
    }
    return std::nullopt;
}

// "C:\Windows\System32" for a host path inside the root.
std::string WindowsPathOf(const fs::path& root, const fs::path& host) {
    std::string path = "C:";
    for (const auto& part : host.lexically_relative(root)) {
        path += "\\" + part.string();
    }
    return path == "C:" ? "C:\\" : path;
}

std::string Expanded(std::string text, const std::string& windowsDir) {
    const std::pair<std::string_view, std::string> variables[] = {
        {"%SystemDrive%", "C:"}, {"%SystemRoot%", windowsDir}, {"%windir%", windowsDir}};
    for (const auto& [name, value] : variables) {
        for (std::size_t at = 0; at + name.size() <= text.size();) {
            if (EqualsNoCase(std::string_view(text).substr(at, name.size()), name)) {
                text.replace(at, name.size(), value);
                at += value.size();
            } else {
                ++at;
            }
        }
    }
    return text;
}

struct UserHives {
    InstallationUser user;
    fs::path ntuser;
    fs::path classes;  // empty when the user has none
};

std::optional<UserHives> ProfileOf(const machine::PathResolver& paths, const UserProfile& profile,
                                   const std::string& windowsDir) {
    machine::PathError error;
    const auto parsed =
        machine::ParseWindowsPath(Expanded(profile.imagePath, windowsDir), {}, error);
    if (!parsed || parsed->drive != 'C' || parsed->isRoot()) {
        return std::nullopt;
    }
    const auto folder = paths.Resolve(*parsed);
    if (!folder || !folder.exists) {
        return std::nullopt;
    }
    const auto ntuser = EntryNamed(folder.host, "NTUSER.DAT", false);
    if (!ntuser) {
        return std::nullopt;
    }
    UserHives hives;
    hives.user.sid = profile.sid;
    hives.user.profileFolder = folder.windows.str();
    hives.user.name = folder.windows.components.back();
    hives.ntuser = *ntuser;
    for (const char* below : kUserClassesFolders) {
        const auto path = machine::ParseWindowsPath(
            folder.windows.str() + "\\" + below + "\\UsrClass.dat", {}, error);
        const auto classes = path ? paths.Resolve(*path) : machine::ResolvedPath{};
        if (path && classes && classes.exists) {
            hives.classes = classes.host;
            break;
        }
    }
    return hives;
}

std::optional<std::string> ChosenUser(const fs::path& root,
                                      const std::optional<std::string>& user) {
    if (user) {
        return user;
    }
    std::string text;
    const fs::path file = root / kSettingsFile;
    const int err = win32::host::ReadWholeFile(file, text);
    if (err == ENOENT) {
        return std::nullopt;
    }
    if (err != 0) {
        throw MachineError(file.string() + " cannot be read");
    }
    const auto ini = machine::IniDocument::Parse(machine::text::DecodeFileText(text));
    const auto chosen = ini.Get("Machine", "User");
    if (!chosen || machine::text::Trim(*chosen).empty()) {
        return std::nullopt;
    }
    return std::string(machine::text::Trim(*chosen));
}

UserHives ChooseUser(const fs::path& root, const machine::PathResolver& paths,
                     const InstallationFacts& facts, const std::string& windowsDir,
                     const std::optional<std::string>& wanted) {
    std::vector<UserHives> users;
    std::string names;
    for (const UserProfile& profile : facts.users) {
        if (auto hives = ProfileOf(paths, profile, windowsDir)) {
            names += (names.empty() ? "" : ", ") + hives->user.name;
            users.push_back(std::move(*hives));
        }
    }
    const std::string howToChoose =
        "choose one with --user NAME, or put User=NAME under "
        "[Machine] in " +
        (root / kSettingsFile).string();
    if (wanted) {
        for (UserHives& hives : users) {
            if (EqualsNoCase(hives.user.name, *wanted) || EqualsNoCase(hives.user.sid, *wanted)) {
                return std::move(hives);
            }
        }
        throw MachineError("the Windows installation in " + root.string() + " has no user " +
                           *wanted + " (its users: " + (names.empty() ? "none" : names) + "); " +
                           howToChoose);
    }
    if (users.empty()) {
        throw MachineError("the Windows installation in " + root.string() +
                           " has no user profile with an NTUSER.DAT (SOFTWARE\\Microsoft\\Windows "
                           "NT\\CurrentVersion\\ProfileList): start that Windows and log on once");
    }
    if (users.size() > 1) {
        throw MachineError("the Windows installation in " + root.string() + " has " +
                           std::to_string(users.size()) + " users (" + names +
                           "): Velto works for one of them; " + howToChoose);
    }
    return std::move(users.front());
}

}  // namespace

bool IsOfflineInstallation(const fs::path& folder) {
    return FindLayout(folder).has_value();
}

std::shared_ptr<machine::Machine> OpenOfflineInstallation(const fs::path& folder,
                                                          const std::optional<std::string>& user,
                                                          machine::Access access) {
    std::error_code ec;
    fs::path root = fs::absolute(folder, ec).lexically_normal();
    if (!root.has_filename() && root.has_relative_path()) {
        root = root.parent_path();
    }
    const auto layout = FindLayout(root);
    if (!layout) {
        throw MachineError(root.string() + " holds no Windows installation (no " +
                           "Windows\\System32\\config\\SYSTEM and SOFTWARE)");
    }
    InstallationFolders folders;
    folders.windows = WindowsPathOf(root, layout->windows);
    folders.system = WindowsPathOf(root, layout->config.parent_path());
    const auto wow64 = EntryNamed(layout->windows, "SysWOW64", true);
    folders.wow64System = wow64 ? WindowsPathOf(root, *wow64) : "";
    const auto temp = EntryNamed(layout->windows, "Temp", true);
    folders.temp = temp ? WindowsPathOf(root, *temp) : folders.windows + "\\Temp";

    using Id = OfflineRegistryStore::HiveId;
    using Store = OfflineRegistryStore;
    std::array<Store::LoadedHive, Store::kHiveCount> hives;
    InstallationFacts facts;
    UserHives chosen;
    try {
        hives[Id::kSoftware] = Store::LoadHive(layout->software);
        hives[Id::kSystem] = Store::LoadHive(layout->system);
        if (const auto defaultHive = EntryNamed(layout->config, "DEFAULT", false)) {
            hives[Id::kDefaultUser] = Store::LoadHive(*defaultHive);
        }
        facts = ReadInstallationFacts(*hives[Id::kSoftware].hive, *hives[Id::kSystem].hive);
        const machine::PathResolver paths(
            {machine::DriveInfo{'C', machine::DriveType::Fixed, root, ""}});
        chosen = ChooseUser(root, paths, facts, folders.windows, ChosenUser(root, user));
        hives[Id::kUser] = Store::LoadHive(chosen.ntuser);
        if (!chosen.classes.empty()) {
            hives[Id::kUserClasses] = Store::LoadHive(chosen.classes);
        }
        chosen.user.shellFolders = ReadShellFolders(*hives[Id::kUser].hive);
    } catch (const registry::StoreError& e) {
        throw MachineError(std::string("the Windows installation's registry cannot be used: ") +
                           e.what());
    }

    std::vector<fs::path> hiveFiles;
    for (const auto& loaded : hives) {
        if (loaded.hive) {
            hiveFiles.push_back(loaded.hive->file());
        }
    }
    auto refusal = HibernationRefusal(root);
    if (!refusal) {
        refusal = ReadOnlyRefusal(root);
    }
    const auto store = Store::Open(std::move(hives), chosen.user.sid, std::move(refusal),
                                   access == machine::Access::Read);
    // Windows XP's WinSxS holds side-by-side assemblies, never linked to anywhere else. Of a
    // Windows whose version SOFTWARE does not name, a store it may have is taken for one.
    std::unique_ptr<ComponentStore> componentStore;
    if (facts.version.major == 0 || facts.version.major >= kFirstComponentStoreMajor) {
        if (const auto winSxS = EntryNamed(layout->windows, "WinSxS", true)) {
            componentStore =
                std::make_unique<ComponentStore>(*winSxS, WindowsPathOf(root, *winSxS));
        }
    }
    auto profile = std::make_unique<OfflineMachineProfile>(root, std::move(facts),
                                                           std::move(folders), chosen.user);
    return std::make_shared<machine::Machine>(
        root, std::move(profile),
        std::make_shared<OfflineKind>(root, store, hiveFiles, std::move(componentStore)));
}

std::string OfflineKind::startCommand() const {
    return "Windows' own start, or: velto-machine boot " +
           machine::text::ShellQuoted(root_.string());
}

std::optional<std::string> OfflineKind::startedLaterBy() const {
    return std::string("the next start of the Windows on ") + root_.string();
}

}  // namespace offline
