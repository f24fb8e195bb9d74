#include "platform/offline/NewInstallation.h"

#include "platform/offline/InstallationFacts.h"
#include "platform/offline/NewHive.h"
#include "platform/registry/RegistryStore.h"

namespace offline {
namespace {

namespace fs = std::filesystem;

// What a hive's version was when Windows XP and later made it: 1.5 for the machine's hives,
// 1.3 for a user's.
constexpr std::uint32_t kMachineHiveMinor = 5;
constexpr std::uint32_t kUserHiveMinor = 3;
constexpr const char* kRootName = "ROOT";

fs::path HostOf(const fs::path& root, const std::string& windowsPath) {
    fs::path host = root;
    for (const std::string& name : registry::SplitKeyNames(windowsPath.substr(2))) {
        host /= name;
    }
    return host;
}

void FillSoftware(Hive& hive, Release release, const InstallationLayout& layout) {
    const bool ten = release == Release::Ten;
    const NodeRef version = MakeKey(hive, hive.root(), kCurrentVersionKey);
    PutText(hive, version, "CurrentVersion", ten ? "6.3" : "5.1");
    PutText(hive, version, "CurrentBuild", ten ? "19045" : "2600");
    PutText(hive, version, "CurrentBuildNumber", ten ? "19045" : "2600");
    PutText(hive, version, "ProductName", ten ? "Windows 10 Pro" : "Microsoft Windows XP");
    PutText(hive, version, "EditionID", "Professional");
    PutText(hive, version, "SystemRoot", layout.windowsDir);
    if (ten) {
        PutDword(hive, version, "CurrentMajorVersionNumber", 10);
        PutDword(hive, version, "CurrentMinorVersionNumber", 0);
    } else {
        PutText(hive, version, "CSDVersion", "Service Pack 3");
    }
    const std::uint32_t expand = registry::REG_EXPAND_SZ;
    PutText(hive, MakeKey(hive, version, "ProfileList\\S-1-5-18"), "ProfileImagePath",
            "%systemroot%\\system32\\config\\systemprofile", expand);
    PutText(hive, MakeKey(hive, version, std::string("ProfileList\\") + kNewInstallationUserSid),
            "ProfileImagePath", "%SystemDrive%" + layout.profileFolder.substr(2), expand);

    const NodeRef windows = MakeKey(hive, hive.root(), "Microsoft\\Windows\\CurrentVersion");
    PutText(hive, windows, "ProgramFilesDir", layout.programFiles);
    PutText(hive, windows, "CommonFilesDir", layout.programFiles + "\\Common Files");
    MakeKey(hive, windows, "SharedDLLs");
    if (ten) {
        const NodeRef wow =
            MakeKey(hive, hive.root(), "Wow6432Node\\Microsoft\\Windows\\CurrentVersion");
        PutText(hive, wow, "ProgramFilesDir", layout.programFiles32);
        MakeKey(hive, wow, "SharedDLLs");
    }
    PutText(hive, MakeKey(hive, hive.root(), "Classes\\.txt"), "", "txtfile");
    PutText(hive, MakeKey(hive, hive.root(), "Classes\\txtfile\\shell\\open\\command"), "",
            "%SystemRoot%\\system32\\NOTEPAD.EXE %1", expand);
}

void FillSystem(Hive& hive, Release release) {
    const bool ten = release == Release::Ten;
    const NodeRef select = MakeKey(hive, hive.root(), "Select");
    PutDword(hive, select, "Current", 1);
    PutDword(hive, select, "Default", 1);
    PutDword(hive, select, "Failed", 0);
    PutDword(hive, select, "LastKnownGood", ten ? 1 : 2);
    for (const char* set : {"ControlSet001", "ControlSet002"}) {
        const NodeRef control = MakeKey(hive, hive.root(), std::string(set) + "\\Control");
        PutText(hive, MakeKey(hive, control, "ComputerName\\ComputerName"), "ComputerName",
                ten ? "DEMO10" : "DEMOXP");
        const NodeRef manager = MakeKey(hive, control, "Session Manager");
        constexpr std::string_view kCheckDisks("autocheck autochk *\0\0", 21);
        PutValue(hive, manager, "BootExecute", registry::REG_MULTI_SZ,
                 std::span(reinterpret_cast<const std::uint8_t*>(kCheckDisks.data()),
                           kCheckDisks.size()));
        PutText(hive, MakeKey(hive, manager, "Environment"), "PROCESSOR_ARCHITECTURE",
                ten ? "AMD64" : "x86");
        if (ten) {
            PutDword(hive, MakeKey(hive, manager, "Power"), "HiberbootEnabled", 1);
        }
        MakeKey(hive, hive.root(), std::string(set) + "\\Hardware Profiles\\Current");
    }
}

void FillUser(Hive& hive, const InstallationLayout& layout) {
    const NodeRef folders = MakeKey(
        hive, hive.root(), "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    PutText(hive, folders, "Personal", layout.personal);
    PutText(hive, folders, "Desktop", layout.profileFolder + "\\Desktop");
    PutText(hive, folders, "Startup",
            layout.profileFolder + (layout.programFiles32.empty()
                                        ? "\\Start Menu\\Programs\\Startup"
                                        : "\\AppData\\Roaming\\Microsoft\\Windows\\Start "
                                          "Menu\\Programs\\Startup"));
    MakeKey(hive, hive.root(), "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
}

}  // namespace

InstallationLayout LayoutOf(Release release) {
    InstallationLayout layout;
    if (release == Release::Ten) {
        layout.windowsDir = "C:\\Windows";
        layout.systemDir = "C:\\Windows\\System32";
        layout.wow64SystemDir = "C:\\Windows\\SysWOW64";
        layout.programFiles = "C:\\Program Files";
        layout.programFiles32 = "C:\\Program Files (x86)";
        layout.profileFolder = std::string("C:\\Users\\") + kNewInstallationUser;
        layout.personal = layout.profileFolder + "\\Documents";
        layout.componentStore = "C:\\Windows\\WinSxS";
    } else {
        layout.windowsDir = "C:\\WINDOWS";
        layout.systemDir = "C:\\WINDOWS\\system32";
        layout.programFiles = "C:\\Program Files";
        layout.profileFolder = std::string("C:\\Documents and Settings\\") + kNewInstallationUser;
        layout.personal = layout.profileFolder + "\\My Documents";
        layout.protectedCopies = "C:\\WINDOWS\\system32\\dllcache";
    }
    return layout;
}

void CreateInstallation(const fs::path& root, Release release) {
    const InstallationLayout layout = LayoutOf(release);
    const bool ten = release == Release::Ten;
    const std::string classesBelow = ten ? "\\AppData\\Local\\Microsoft\\Windows"
                                         : "\\Local Settings\\Application Data\\Microsoft\\Windows";
    for (const std::string& folder :
         {layout.systemDir + "\\config", layout.windowsDir + "\\Temp", layout.programFiles,
          layout.personal, layout.profileFolder + classesBelow, layout.wow64SystemDir,
          layout.programFiles32, layout.componentStore, layout.protectedCopies}) {
        if (!folder.empty()) {
            fs::create_directories(HostOf(root, folder));
        }
    }
    const fs::path config = HostOf(root, layout.systemDir + "\\config");
    CreateHive(config / "SOFTWARE", kRootName, kMachineHiveMinor,
               [&](Hive& hive) { FillSoftware(hive, release, layout); });
    CreateHive(config / "SYSTEM", kRootName, kMachineHiveMinor,
               [&](Hive& hive) { FillSystem(hive, release); });
    CreateHive(config / "DEFAULT", kRootName, kMachineHiveMinor,
               [&](Hive& hive) { MakeKey(hive, hive.root(), "Software"); });
    CreateHive(HostOf(root, layout.profileFolder) / "NTUSER.DAT", kRootName, kUserHiveMinor,
               [&](Hive& hive) { FillUser(hive, layout); });
    CreateHive(HostOf(root, layout.profileFolder + classesBelow) / "UsrClass.dat", kRootName,
               kUserHiveMinor, [&](Hive& hive) { MakeKey(hive, hive.root(), ".velto"); });
}

}  // namespace offline
