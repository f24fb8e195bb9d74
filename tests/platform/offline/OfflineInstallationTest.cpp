// A Windows installation on a disk as a machine: its profile, the user it works for, what keeps
// it from being changed, and the restart list its Session Manager carries out.
#include <fstream>

#include <gtest/gtest.h>

#include "platform/kinds/MachineKinds.h"
#include "platform/machine/MachineError.h"
#include "platform/machine/SystemStores.h"
#include "platform/offline/NewHive.h"
#include "platform/offline/WriteSafety.h"
#include "platform/restart/MachineStart.h"
#include "platform/restart/RestartMoves.h"
#include "platform/win32/kernel32/Files.h"
#include "tests/platform/offline/OfflineFixture.h"
#include "tests/support/HiveExport.h"

namespace {

namespace fs = std::filesystem;
using offline::Release;
using offlinetest::Installation;
using registry::KeyId;
using registry::Outcome;
using registry::Root;
using testsupport::Slurp;

void WriteFile(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string MessageOf(const std::function<void()>& open) {
    try {
        open();
    } catch (const machine::MachineError& e) {
        return e.what();
    }
    return "(opened)";
}

TEST(OfflineInstallation, TheProfileIsReadFromTheInstallation) {
    struct Case {
        Release release;
        machine::WindowsVersion version;
        std::string servicePack, product, windows, system, wow64, temp, computer, personal;
    };
    const Case cases[] = {
        {Release::Ten,
         {10, 0, 19045},
         "",
         "Windows 10 Pro",
         "C:\\Windows",
         "C:\\Windows\\System32",
         "C:\\Windows\\SysWOW64",
         "C:\\Windows\\Temp",
         "DEMO10",
         "C:\\Users\\Demo\\Documents"},
        {Release::Xp,
         {5, 1, 2600},
         "Service Pack 3",
         "Microsoft Windows XP",
         "C:\\WINDOWS",
         "C:\\WINDOWS\\system32",
         "",
         "C:\\WINDOWS\\Temp",
         "DEMOXP",
         "C:\\Documents and Settings\\Demo\\My Documents"},
    };
    for (const Case& c : cases) {
        Installation installation(c.release);
        const auto opened = kinds::OpenMachine(installation.root());
        const auto& p = opened->profile();
        EXPECT_EQ(opened->kind().name(), "Windows installation");
        EXPECT_EQ(p.platform(), machine::Platform::NT);
        EXPECT_EQ(p.version().major, c.version.major);
        EXPECT_EQ(p.version().minor, c.version.minor);
        EXPECT_EQ(p.version().build, c.version.build);
        EXPECT_EQ(p.servicePack(), c.servicePack);
        EXPECT_EQ(p.value("Machine", "ProductName").value_or(""), c.product);
        EXPECT_EQ(p.windowsDir(), c.windows);
        EXPECT_EQ(p.systemDir(), c.system);
        EXPECT_EQ(p.value("Machine", "Wow64SystemDir").value_or(""), c.wow64);
        // x86 programs' system folder and registry view; x64 programs' on 64-bit Windows only.
        const auto x86 = p.processorView(machine::kProcessorX86);
        ASSERT_TRUE(x86);
        EXPECT_EQ(x86->systemDir, c.wow64.empty() ? c.system : c.wow64);
        EXPECT_EQ(x86->wow64Registry, !c.wow64.empty());
        const auto x64 = p.processorView(machine::kProcessorX64);
        EXPECT_EQ(x64 ? x64->systemDir : "", c.wow64.empty() ? "" : c.system);
        EXPECT_EQ(p.tempDir(), c.temp);
        EXPECT_EQ(p.computerName(), c.computer);
        EXPECT_EQ(p.userName(), "Demo");
        EXPECT_EQ(p.specialFolder("Personal").value_or(""), c.personal);
        // Drive C: is the folder itself.
        ASSERT_EQ(opened->paths().drives().size(), 1u);
        EXPECT_EQ(opened->paths().drives()[0].hostFolder, installation.root());
        EXPECT_TRUE(opened->leftOutDrives().empty());
        EXPECT_EQ(opened->kind().registryFiles().size(), 5u);
        EXPECT_FALSE(opened->kind().whyNotWritable());
        EXPECT_FALSE(opened->kind().startReadsWininit());
    }
}

TEST(OfflineInstallation, NamesOnTheDiskAreFoundWithoutRegardToCase) {
    Installation installation;
    const fs::path root = installation.root();
    fs::rename(root / "Windows", root / "WINDOWS");
    fs::rename(root / "WINDOWS" / "System32", root / "WINDOWS" / "SYSTEM32");
    fs::rename(root / "WINDOWS" / "SYSTEM32" / "config" / "SOFTWARE",
               root / "WINDOWS" / "SYSTEM32" / "config" / "software");
    ASSERT_TRUE(offline::IsOfflineInstallation(root));
    const auto opened = kinds::OpenMachine(root);
    EXPECT_EQ(opened->profile().windowsDir(), "C:\\WINDOWS");
    EXPECT_EQ(opened->profile().systemDir(), "C:\\WINDOWS\\SYSTEM32");
    EXPECT_EQ(opened->profile().version().build, 19045u);
    EXPECT_FALSE(offline::IsOfflineInstallation(root / "Users"));
}

TEST(OfflineInstallation, TheSystemsOwnStoresAreNeverListed) {
    Installation installation;
    const auto opened = installation.Open();
    const machine::SystemStores stores(opened->profile());
    const std::pair<const char*, const char*> kept[] = {
        {"C:\\Windows\\", "WinSxS"},
        {"C:\\Windows\\", "SoftwareDistribution"},
        {"C:\\Windows\\", "servicing"},
        {"C:\\Windows\\", "Installer"},
        {"C:\\Windows\\", "assembly"},
        {"C:\\Windows\\Microsoft.NET\\", "assembly"},
        {"C:\\Windows\\System32\\", "DriverStore"},
        {"C:\\Windows\\System32\\", "catroot2"},
        {"C:\\", "System Volume Information"},
        {"C:\\", "$RECYCLE.BIN"},
        {"C:\\", "Windows.old"},
    };
    for (const auto& [parent, name] : kept) {
        EXPECT_TRUE(stores.Contains(parent, name)) << parent << name;
    }
    const std::pair<const char*, const char*> listed[] = {
        {"C:\\Program Files\\", "Installer"},
        {"C:\\Windows\\System32\\", "assembly"},
        {"C:\\Users\\", "Windows.old"},
    };
    for (const auto& [parent, name] : listed) {
        EXPECT_FALSE(stores.Contains(parent, name)) << parent << name;
    }
}

// One file under two names.
void Link(const fs::path& file, const fs::path& otherName) {
    fs::create_directories(otherName.parent_path());
    fs::create_hard_link(file, otherName);
}

TEST(OfflineInstallation, TheComponentStoresFilesAreWindows) {
    struct Case {
        const char* file;   // below the installation
        const char* owner;  // "" for none
        const char* what;   // how the text begins
    };
    const Case cases[] = {
        {"Windows/System32/linked.dll", "Windows", "the component store's file"},
        {"Windows/System32/OTHERCASE.DLL", "Windows", "the component store's file"},
        {"Program Files/App/projected.exe", "Windows", "the component store's file"},
        // A type Velto does not list (one more walk finds it).
        {"Windows/System32/drivers/store.sys", "Windows", "the component store's file"},
        {"Windows/System32/copy.dll", "", ""},
        {"Windows/System32/twice.dll", "", ""},
        {"Windows/System32/beyond.dll", "", ""},
    };
    Installation installation;
    const fs::path root = installation.root();
    const fs::path store = root / "Windows" / "WinSxS";
    const fs::path component = store / "amd64_app_31bf3856ad364e35_1.0.0.0_none_0";
    for (const char* file : {"Windows/System32/linked.dll", "Windows/System32/OTHERCASE.DLL",
                             "Program Files/App/projected.exe",
                             "Windows/System32/drivers/store.sys", "Windows/System32/copy.dll",
                             "Windows/System32/twice.dll", "Windows/System32/beyond.dll"}) {
        WriteFile(root / file, file);
    }
    Link(root / "Windows/System32/linked.dll", component / "linked.dll");
    Link(root / "Windows/System32/OTHERCASE.DLL", component / "othercase.Dll");
    Link(root / "Program Files/App/projected.exe", component / "projected.exe");
    Link(root / "Windows/System32/drivers/store.sys", component / "store.sys");
    fs::copy_file(root / "Windows/System32/copy.dll", component / "copy.dll");
    // Two names, neither of them the store's (as ntfs-3g counts a DOS name).
    Link(root / "Windows/System32/twice.dll", root / "Program Files/App/twice.dll");
    // Reached from the store only through a link, which the store never follows.
    const fs::path outside = root / "Outside";
    Link(root / "Windows/System32/beyond.dll", outside / "beyond.dll");
    fs::create_directory_symlink(outside, store / "x86_linked");
    const auto opened = installation.Open();
    for (const Case& c : cases) {
        const auto platform = opened->kind().PlatformFileAt(root / c.file);
        EXPECT_EQ(platform ? platform->owner : "", c.owner) << c.file;
        const std::string what = platform ? platform->what : "";
        EXPECT_TRUE(what.starts_with(c.what)) << c.file << ": " << what;
    }
    EXPECT_NE(opened->kind()
                  .PlatformFileAt(root / "Windows/System32/linked.dll")
                  ->what.find("a hard link into C:\\Windows\\WinSxS"),
              std::string::npos);

    // Windows XP kept side-by-side assemblies in its WinSxS, no store of its own files.
    Installation xp(Release::Xp);
    const fs::path xpFile = xp.root() / "WINDOWS/system32/linked.dll";
    WriteFile(xpFile, "xp");
    Link(xpFile, xp.root() / "WINDOWS/WinSxS/x86_app_6595b64144ccf1df_1.0.0.0_x-ww_0/linked.dll");
    EXPECT_FALSE(xp.Open()->kind().PlatformFileAt(xpFile));
}

TEST(OfflineInstallation, AFileWithOtherNamesIsTheStoresWhenTheStoreCannotBeReadWhole) {
    Installation installation;
    const fs::path root = installation.root();
    fs::path deep = root / "Windows" / "WinSxS";
    for (int i = 0; i < 40; ++i) {
        deep /= "d";
    }
    fs::create_directories(deep);
    WriteFile(root / "Windows/System32/twice.dll", "two names");
    Link(root / "Windows/System32/twice.dll", root / "Program Files/App/twice.dll");
    WriteFile(root / "Windows/System32/once.dll", "one name");
    const auto opened = installation.Open();
    const auto twice = opened->kind().PlatformFileAt(root / "Windows/System32/twice.dll");
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->owner, "Windows");
    EXPECT_TRUE(
        twice->what.starts_with("perhaps the component store's file: it has other names, "
                                "and C:\\Windows\\WinSxS\\d\\d"))
        << twice->what;
    EXPECT_FALSE(opened->kind().PlatformFileAt(root / "Windows/System32/once.dll"));
}

TEST(OfflineInstallation, TheUserIsTheOnlyProfileOrTheOneChosen) {
    Installation installation;
    const std::string bobSid = "S-1-5-21-1004336348-1177238915-682003330-1002";
    {
        offline::Hive software(installation.Config("SOFTWARE"), offline::Hive::Mode::Write, 5);
        const auto key =
            offline::MakeKey(software, software.root(),
                             "Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + bobSid);
        offline::PutText(software, key, "ProfileImagePath", "%SystemDrive%\\Users\\bob",
                         registry::REG_EXPAND_SZ);
        // A profile whose folder has no NTUSER.DAT is no user Velto can work for.
        const auto gone = offline::MakeKey(
            software, software.root(),
            "Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-1-2-3-1003");
        offline::PutText(software, gone, "ProfileImagePath", "C:\\Users\\gone");
        software.WriteTo(installation.Config("SOFTWARE"));
    }
    fs::create_directories(installation.root() / "Users" / "bob");
    offline::CreateHive(
        installation.root() / "Users" / "bob" / "NTUSER.DAT", "ROOT", 3, [](offline::Hive& hive) {
            offline::PutText(hive, offline::MakeKey(hive, hive.root(), "Software"), "Owner", "bob");
        });

    const std::string several = MessageOf([&] { installation.Open(); });
    EXPECT_NE(several.find("has 2 users (Demo, bob)"), std::string::npos) << several;
    EXPECT_NE(several.find("--user NAME"), std::string::npos) << several;
    EXPECT_NE(several.find("User=NAME under [Machine] in " +
                           (installation.root() / "velto.ini").string()),
              std::string::npos)
        << several;

    const auto owner = [](const machine::Machine& m) {
        const auto store = m.kind().OpenRegistry();
        KeyId key = 0;
        registry::ValueData value;
        store->openKey(store->rootKey(Root::CurrentUser), registry::SplitKeyNames("Software"), key);
        if (store->queryValue(key, "Owner", value) != Outcome::Ok) {
            return std::string("(none)");
        }
        return std::string(reinterpret_cast<const char*>(value.data.data()));
    };
    const auto bob = installation.Open("BOB");
    EXPECT_EQ(bob->profile().userName(), "bob");
    EXPECT_EQ(owner(*bob), "bob");
    EXPECT_EQ(installation.Open(bobSid)->profile().userName(), "bob");
    WriteFile(installation.root() / "velto.ini", "[Machine]\r\nUser = Demo\r\n");
    const auto demo = installation.Open();
    EXPECT_EQ(demo->profile().userName(), "Demo");
    EXPECT_EQ(owner(*demo), "(none)");

    const std::string unknown = MessageOf([&] { installation.Open("carol"); });
    EXPECT_NE(unknown.find("has no user carol (its users: Demo, bob)"), std::string::npos)
        << unknown;
    // Only an installation has users to choose from.
    const fs::path notOne = installation.root() / "prefix";
    fs::create_directories(notOne / "dosdevices");
    WriteFile(notOne / "system.reg", "WINE REGISTRY Version 2\n");
    const std::string elsewhere =
        MessageOf([&] { kinds::OpenMachine(notOne, machine::Access::Unlocked, {"bob"}); });
    EXPECT_NE(elsewhere.find("--user chooses the user of a Windows installation"),
              std::string::npos)
        << elsewhere;
}

TEST(OfflineInstallation, AHibernationImageKeepsTheInstallationFromBeingChanged) {
    struct Case {
        std::string start;
        std::uintmax_t size;
        bool hibernated;
    };
    const std::string zeros(4, '\0');
    const Case cases[] = {
        {zeros, 8192, false}, {"wake", 8192, false}, {"WAKE", 8192, false},
        {"hibr", 8192, true}, {"HIBR", 8192, true},  {"RSTR", 8192, true},
        {"xyz?", 8192, true}, {zeros, 100, true},    {"", 0, true},
    };
    for (const Case& c : cases) {
        std::string signature;
        EXPECT_EQ(
            offline::HoldsHibernationImage(
                std::span(reinterpret_cast<const std::uint8_t*>(c.start.data()), c.start.size()),
                c.size, signature),
            c.hibernated)
            << c.start << " " << c.size;
    }

    Installation installation;
    WriteFile(installation.root() / "HIBERFIL.SYS", "HIBR" + std::string(8188, '\0'));
    const std::string software = Slurp(installation.Config("SOFTWARE"));
    const auto opened = installation.Open();
    const auto why = opened->kind().whyNotWritable();
    ASSERT_TRUE(why);
    EXPECT_NE(why->find("Windows on this disk is hibernated, or was shut down with Fast Startup "
                        "(HIBERFIL.SYS holds a hibernation image: \"HIBR\")"),
              std::string::npos)
        << *why;
    EXPECT_THROW(kinds::OpenToChange(installation.root(), "test"), machine::MachineError);
    EXPECT_FALSE(fs::exists(installation.root() / machine::MachineLock::kFileName));
    const auto store = installation.Store(*opened);
    KeyId key = 0;
    EXPECT_THROW(store->createKey(store->rootKey(Root::LocalMachine),
                                  registry::SplitKeyNames("SOFTWARE\\Velto"), key),
                 registry::StoreError);
    EXPECT_EQ(Slurp(installation.Config("SOFTWARE")), software);
    // Read all the same: a check may look.
    EXPECT_EQ(opened->profile().computerName(), "DEMO10");
}

TEST(OfflineInstallation, TheRestartListIsTheSessionManagersOfTheCurrentSet) {
    Installation installation;
    const auto host = [&](const std::string& path) { return installation.Host(path); };
    WriteFile(host("C:\\Windows\\Temp\\NEW.TMP"), "new");
    WriteFile(host("C:\\Windows\\System32\\A.DLL"), "old");
    WriteFile(host("C:\\Program Files\\App\\B.DLL"), "b");
    WriteFile(host("C:\\Program Files\\App\\C.DLL"), "c");
    WriteFile(host("C:\\Windows\\wininit.ini"),
              "[Rename]\r\nNUL=C:\\Program Files\\App\\C.DLL\r\n");
    {
        const auto opened = installation.Open();
        const auto store = installation.Store(*opened);
        const std::uint8_t two[4] = {2, 0, 0, 0};
        KeyId select = 0;
        store->openKey(store->rootKey(Root::LocalMachine),
                       registry::SplitKeyNames("SYSTEM\\Select"), select);
        store->setValue(select, "Current", registry::REG_DWORD, two);
    }
    machine::SetCurrentMachine(nullptr);
    const auto opened = installation.Open();
    ASSERT_TRUE(
        win32::MoveFileExA("C:\\Windows\\Temp\\NEW.TMP", "C:\\Windows\\System32\\A.DLL",
                           win32::MOVEFILE_DELAY_UNTIL_REBOOT | win32::MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(win32::MoveFileExA("C:\\Program Files\\App\\B.DLL", std::nullopt,
                                   win32::MOVEFILE_DELAY_UNTIL_REBOOT));
    // What Windows' own kernel32 adds once the first value is full comes after it.
    const auto second = win32::EncodePendingRenames(
        std::vector<win32::PendingRename>{{"C:\\Program Files\\App\\C.DLL", std::nullopt, false}});
    const auto store = installation.Store(*opened);
    KeyId manager = 0;
    ASSERT_EQ(store->openKey(store->rootKey(Root::LocalMachine),
                             registry::SplitKeyNames(win32::kSessionManagerKey), manager),
              Outcome::Ok);
    store->setValue(manager, win32::kPendingFileRenameOperations2, registry::REG_MULTI_SZ, second);

    const auto exported = testsupport::ExportWithHivexregedit(installation.Config("SYSTEM"));
    const auto* list = exported.Find("ControlSet002\\Control\\Session Manager",
                                     std::string(win32::kPendingFileRenameOperations));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->type, registry::REG_MULTI_SZ);
    std::u16string expected = u"\\??\\C:\\Windows\\Temp\\NEW.TMP";
    expected += u'\0';
    expected += u"!\\??\\C:\\Windows\\System32\\A.DLL";
    expected += u'\0';
    expected += u"\\??\\C:\\Program Files\\App\\B.DLL";
    expected += u'\0';
    expected += u'\0';
    EXPECT_EQ(list->data, testsupport::Utf16z(expected));
    EXPECT_EQ(exported.Find("ControlSet001\\Control\\Session Manager",
                            std::string(win32::kPendingFileRenameOperations)),
              nullptr);

    // The program's restart leaves them to Windows' next start.
    const auto told = win32::RestartMachine();
    EXPECT_FALSE(told.failed);
    ASSERT_EQ(told.lines.size(), 1u);
    EXPECT_NE(told.lines[0].find("3 moves and deletions wait for the next start of the Windows on"),
              std::string::npos)
        << told.lines[0];
    EXPECT_EQ(Slurp(host("C:\\Windows\\System32\\A.DLL")), "old");

    // velto-machine boot: as the Session Manager, both values in order, no wininit.ini.
    const auto report = win32::StartMachine();
    EXPECT_FALSE(report.failed);
    ASSERT_EQ(report.operations.size(), 3u);
    EXPECT_EQ(Slurp(host("C:\\Windows\\System32\\A.DLL")), "new");
    EXPECT_FALSE(fs::exists(host("C:\\Program Files\\App\\B.DLL")));
    EXPECT_FALSE(fs::exists(host("C:\\Program Files\\App\\C.DLL")));
    EXPECT_TRUE(fs::exists(host("C:\\Windows\\wininit.ini")));
    const auto after = testsupport::ExportWithHivexregedit(installation.Config("SYSTEM"));
    EXPECT_TRUE(after.keys.at("ControlSet002\\Control\\Session Manager").size() == 1)
        << "only BootExecute is left";
}

}  // namespace
