// The scan driver: the filter and path lists QzFile gets, the exclusions and their subfolder
// walk (plain folders only, cancel, links back up the tree), and StartScan's road.
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "controls/file/QzFile.h"
#include "controls/file/modFileList.h"
#include "controls/registry/QzRegistry.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "tests/support/RegistrySeed.h"
#include "tests/vlt/core/CoreTestSupport.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"

namespace {

namespace props = modVLTProperties;
using coretest::CoreTest;

class ScanTest : public CoreTest {
  protected:
    ScanTest() { LoadHost(); }

    // Every excluded folder QzFile was given, in order.
    static std::vector<std::string> Exclusions() {
        std::vector<std::string> folders;
        const std::string& list = Qz_File::modFileList::ExclusionList();
        for (std::size_t start = 0; start < list.size();) {
            const std::size_t end = list.find('|', start + 1);
            folders.push_back(list.substr(start + 1, end - start - 1));
            start = end + 1;
        }
        return folders;
    }

    // Stores exclusion value names with empty data, as the main window writes them.
    void Exclude(const std::vector<std::string>& names) {
        std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\";
        text += modVLTProperties::kExclusionsKey;
        text += "]\r\n";
        for (std::string name : names) {
            std::string escaped;
            for (const char c : name) {
                escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
            }
            text += "\"" + escaped + "\"=\"\"\r\n";
        }
        testsupport::SeedRegistry(machine, text);
    }
};

TEST_F(ScanTest, SetFilterJoinsTheChosenTypesInTheirFixedOrder) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> stored;
        bool exe;
        const char* filter;
    } const cases[] = {
        {{{"ACM", "N"}, {"DLL", "Y"}}, true, "*.dll;*.exe"},
        {{}, false, "*.dll"},
        {{{"ACM", "Y"}, {"DRV", "Y"}, {"OCX", "Y"}, {"TLB", "Y"}, {"VBX", "Y"}, {"VXD", "Y"}},
         true,
         "*.acm;*.dll;*.drv;*.exe;*.ocx;*.tlb;*.vbx;*.vxd"},
        {{{"DLL", "N"}, {"VXD", "y"}}, false, "*.vxd"},
    };
    for (const auto& c : cases) {
        Store({{"ACM", "N"},
               {"DLL", "Y"},
               {"DRV", "N"},
               {"OCX", "N"},
               {"TLB", "N"},
               {"VBX", "N"},
               {"VXD", "N"}});
        Store(c.stored);
        props::EXE(c.exe);
        modVLTWork::SetFilter();
        EXPECT_EQ(vlt::QzFile1().Filter(), c.filter);
    }
    EXPECT_EQ(mainWindow->dllTicks, 0);
}

TEST_F(ScanTest, WithNoTypeChosenTheDllTypeIsSwitchedOnAndTicked) {
    Store({{"DLL", "N"}});
    modVLTWork::SetFilter();
    EXPECT_EQ(vlt::QzFile1().Filter(), "*.dll");
    EXPECT_NE(Settings().find("\"DLL\"=\"Y\""), std::string::npos);
    EXPECT_EQ(mainWindow->dllTicks, 1);
}

TEST_F(ScanTest, SetPathsListsOnlyFixedDrives) {
    machine.Drive('A', machine::DriveType::Removable)
        .Drive('D', machine::DriveType::CdRom)
        .Drive('E', machine::DriveType::Fixed)
        .Drive('F', machine::DriveType::Remote)
        .Drive('G', machine::DriveType::RamDisk);
    modVLTWork::SetPaths();
    EXPECT_EQ(vlt::QzFile1().Paths(), "C:\\;E:\\;");
}

TEST_F(ScanTest, AnExclusionWithTheMarkWalksEveryPlainSubfolder) {
    machine.Folder("C:\\TEMP\\A\\A1\\A2").Folder("C:\\TEMP\\B").Folder("C:\\OTHER");
    Exclude({"C:\\TEMP  ***", "C:\\OTHER"});
    modVLTWork::SetExclusions();
    const std::vector<std::string> expected = {"C:\\TEMP\\A\\",     "C:\\TEMP\\B\\",
                                               "C:\\TEMP\\A\\A1\\", "C:\\TEMP\\A\\A1\\A2\\",
                                               "C:\\TEMP\\",        "C:\\OTHER\\"};
    std::vector<std::string> found = Exclusions();
    // Folders of one level come in the host's directory order.
    std::sort(found.begin(), found.begin() + 2);
    EXPECT_EQ(found, expected);
    EXPECT_EQ(progress->items.back(), "Adding Exclusion Folder: C:\\TEMP\\A\\A1\\A2");
}

TEST_F(ScanTest, EachScanExcludesExactlyTheStoredFolders) {
    // QzFile kept every exclusion it was ever given, so a folder taken off the list stayed
    // excluded until the program restarted.
    Exclude({"C:\\OLD", "C:\\KEPT"});
    ASSERT_TRUE(modVLTWork::SetExclusions());
    vlt::QzRegistry1().DeleteValue("C:\\OLD", modVLTProperties::kExclusionsKey);
    Exclude({"C:\\NEW"});
    ASSERT_TRUE(modVLTWork::SetExclusions());
    EXPECT_EQ(Exclusions(), (std::vector<std::string>{"C:\\KEPT\\", "C:\\NEW\\"}));
}

TEST_F(ScanTest, ExclusionsThatCannotBeReadInFullStopTheScan) {
    machine.File("C:\\A\\X.DLL", "1").File("C:\\B\\X.DLL", "2");
    Exclude({"C:\\B"});
    // The registry store is damaged: the exclusions cannot be listed.
    std::ofstream(machine.machine()->registryPath(), std::ios::trunc) << "not a registry";
    modVLTWork::StartScan();
    EXPECT_FALSE(vlt::State().ScanSucceeded);
    EXPECT_EQ(vlt::QzFile1().FileCount(), 0);
    EXPECT_EQ(review->shows, 0);
    ASSERT_FALSE(dialogs->MsgBoxes().empty());
    EXPECT_EQ(dialogs->MsgBoxes().back().title, "Exclusions not read");
}

TEST_F(ScanTest, TheSubfolderWalkSkipsFoldersWithAnyOtherAttribute) {
    if (!testsupport::MachineBuilder::XattrsSupported()) {
        GTEST_SKIP() << "the temporary folder's file system keeps no user extended attributes";
    }
    machine.Folder("C:\\TEMP\\PLAIN\\DEEP");
    const std::pair<const char*, win32::DWORD> marked[] = {
        {"C:\\TEMP\\HIDDEN", win32::FILE_ATTRIBUTE_HIDDEN},
        {"C:\\TEMP\\SYSTEM", win32::FILE_ATTRIBUTE_SYSTEM},
        {"C:\\TEMP\\ARCHIVE", win32::FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\TEMP\\READONLY", win32::FILE_ATTRIBUTE_READONLY},
    };
    for (const auto& [folder, attribute] : marked) {
        machine.Folder(std::string(folder) + "\\INSIDE").Attributes(folder, attribute);
    }
    modVLTWork::GetAllSubPaths("C:\\TEMP");
    EXPECT_EQ(Exclusions(),
              (std::vector<std::string>{"C:\\TEMP\\PLAIN\\", "C:\\TEMP\\PLAIN\\DEEP\\"}));
}

TEST_F(ScanTest, ALinkBackUpTheTreeIsWalkedOnce) {
    machine.Folder("C:\\TEMP\\SUB").Symlink("C:\\TEMP\\SUB\\UP", machine.HostPath("C:\\TEMP"));
    modVLTWork::GetAllSubPaths("C:\\TEMP");
    EXPECT_EQ(Exclusions(), (std::vector<std::string>{"C:\\TEMP\\SUB\\", "C:\\TEMP\\SUB\\UP\\"}));
}

TEST_F(ScanTest, CancelStopsTheWalkAtOnce) {
    machine.Folder("C:\\TEMP\\A\\DEEP").Folder("C:\\TEMP\\B\\DEEP").Folder("C:\\TEMP\\C\\DEEP");
    progress->Show();
    progress->onItem = [this](const std::string& item) {
        if (item.starts_with("Adding Exclusion Folder: ")) {
            progress->canceled = true;
        }
    };
    Exclude({"C:\\TEMP  ***"});
    modVLTWork::SetExclusions();
    EXPECT_EQ(Exclusions().size(), 1u) << "one subfolder, no recursion, not C:\\TEMP itself";
}

TEST_F(ScanTest, CancelWhileGatheringExclusionsEndsTheScanBeforeTheListing) {
    machine.Folder("C:\\TEMP\\A").File("C:\\A\\X.DLL", "1").File("C:\\B\\X.DLL", "2");
    Exclude({"C:\\TEMP  ***"});
    progress->onItem = [this](const std::string& item) {
        if (item.starts_with("Adding Exclusion Folder: ")) {
            progress->canceled = true;
        }
    };
    modVLTWork::StartScan();
    EXPECT_FALSE(vlt::State().ScanSucceeded);
    EXPECT_EQ(vlt::QzFile1().FileCount(), 0);
    EXPECT_EQ(review->shows, 0);
    EXPECT_FALSE(progress->loaded);
}

TEST_F(ScanTest, AScanListsMatchesAndShowsTheReviewWindow) {
    machine.File("C:\\A\\X.DLL", "one").File("C:\\B\\X.DLL", "two").File("C:\\B\\Y.OCX", "y");
    modVLTWork::StartScan();
    EXPECT_TRUE(vlt::State().ScanSucceeded);
    EXPECT_EQ(vlt::QzFile1().FileCount(), 2);
    EXPECT_EQ(review->shows, 1);
    ASSERT_FALSE(review->nodes.empty());
    EXPECT_EQ(review->nodes[0].key, "X.DLL");
    EXPECT_FALSE(progress->loaded);
    EXPECT_EQ(progress->shows, 1);
}

TEST_F(ScanTest, AScanWithoutFixedDrivesFails) {
    machine.ProfileValue("Drives", "C", "removable:drives/C");
    LoadHost();
    modVLTWork::StartScan();
    EXPECT_FALSE(vlt::State().ScanSucceeded);
    EXPECT_EQ(review->shows, 0);
    EXPECT_FALSE(progress->loaded);
}

TEST_F(ScanTest, AnInteractiveScanAlwaysReviewsWhateverAnEarlierUnattendedRunStored) {
    // AutoScan stays "Y" after a -S run and the main window has no control for it: it used to
    // make every later scan repair and restart without showing the review window.
    Store({{"AutoScan", "Y"}});
    machine.File("C:\\A\\X.DLL", "one").File("C:\\B\\X.DLL", "two");
    modVLTWork::StartScan();
    EXPECT_EQ(review->shows, 1);
    EXPECT_EQ(vlt::State().ActionCount, 0);
    EXPECT_EQ(vlt::State().LogCount, 0);
    EXPECT_TRUE(dialogs->MsgBoxes().empty()) << "no report, no restart question";
}

TEST_F(ScanTest, AutomaticModeSwitchesAllDuplicatesOffBeforeTheScan) {
    Store({{"AutoScan", "Y"}, {"AllDups", "Y"}});
    vlt::State().CommandLine = "-S";
    progress->onItem = [this](const std::string&) {
        EXPECT_NE(Settings().find("\"AllDups\"=\"N\""), std::string::npos);
        progress->canceled = true;
    };
    machine.Folder("C:\\TEMP\\A");
    Exclude({"C:\\TEMP  ***"});
    modVLTWork::StartScan();
    EXPECT_FALSE(props::AllDups());
}

}  // namespace
