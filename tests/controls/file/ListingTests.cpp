// The directory listing: what a walk lists, in which order, and how the listing's state
// behaves around loads, cancels and calls that arrive while a load lets events run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/kernel32/Paths.h"
#include "tests/controls/file/FileTestSupport.h"

namespace {

using filetest::FileTest;
using filetest::ScopedPump;
using Qz_File::QzFile;
namespace list = Qz_File::modFileList;
using Lines = std::vector<std::string>;

TEST(SplitList, ElementsBetweenSemicolonsWithTheSuffix) {
    const struct {
        const char* list;
        const char* suffix;
        Lines elements;
    } cases[] = {
        {"", "\\", {}},
        {"C:\\A", "\\", {"C:\\A\\"}},
        {"C:\\A\\;D:\\", "\\", {"C:\\A\\", "D:\\"}},
        {"C:\\A;;D:", "\\", {"C:\\A\\", "\\", "D:\\"}},
        {";", "\\", {"\\"}},
        {"*.dll;*.ocx", "", {"*.dll", "*.ocx"}},
        {" *.dll ; *.ocx;", "", {" *.dll ", " *.ocx"}},
        {"*.dll;;", "", {"*.dll", ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(list::SplitList(c.list, c.suffix), c.elements) << '"' << c.list << '"';
    }
}

TEST(ExclusionList, AddedUpperCasedBetweenBarsAndRemovedOnceEach) {
    const struct {
        const char* what;
        Lines add;
        Lines remove;
        const char* text;
    } cases[] = {
        {"two folders", {"c:\\windows\\temp", "D:\\OLD"}, {}, "|C:\\WINDOWS\\TEMP\\||D:\\OLD\\|"},
        {"added twice, removed once", {"C:\\A", "c:\\a\\"}, {"C:\\A"}, "|C:\\A\\|"},
        {"the first of two removed", {"C:\\A", "C:\\B"}, {"c:\\a\\"}, "|C:\\B\\|"},
        {"a later one removed", {"C:\\A", "C:\\B", "C:\\C"}, {"C:\\B"}, "|C:\\A\\||C:\\C\\|"},
        {"an unknown folder changes nothing", {"C:\\A"}, {"C:\\AB"}, "|C:\\A\\|"},
        {"a folder's start is not the folder", {"C:\\AB"}, {"C:\\A"}, "|C:\\AB\\|"},
        {"Latin-1 letters are upper-cased",
         {"C:\\\xC3\xA9t\xC3\xA9"},
         {},
         "|C:\\\xC3\x89T\xC3\x89\\|"},
    };
    for (const auto& c : cases) {
        list::ResetForTesting();
        for (const auto& p : c.add) {
            list::AddExclusionPath(p);
        }
        for (const auto& p : c.remove) {
            list::RemoveExclusionPath(p);
        }
        EXPECT_EQ(list::ExclusionList(), c.text) << c.what;
    }
    list::ClearExclusionPaths();
    EXPECT_EQ(list::ExclusionList(), "");
    list::ResetForTesting();
}

TEST_F(FileTest, SortedByNameThenFolderWhateverTheWalk) {
    machine.File("C:\\X\\B.DLL")
        .File("C:\\Y\\a.dll")
        .File("C:\\Y\\readme.txt")
        .File("C:\\WIN\\SYSTEM\\COMCTL32.OCX")
        .File("C:\\APP\\COMCTL32.OCX");
    file.SetFilter("*.dll;*.ocx");
    file.SetPaths("C:\\X;C:\\Y;C:\\WIN\\SYSTEM;C:\\APP");
    ASSERT_TRUE(file.LoadFileListing(true));
    EXPECT_EQ(Listing(file), (Lines{"C:\\Y\\a.dll", "C:\\X\\B.DLL", "C:\\APP\\COMCTL32.OCX",
                                    "C:\\WIN\\SYSTEM\\COMCTL32.OCX"}));
    EXPECT_EQ(file.File(-1), "");
    EXPECT_EQ(file.File(file.FileCount()), "");
}

TEST_F(FileTest, WhatAWalkLists) {
    machine.File("C:\\WINDOWS\\A.DLL")
        .File("C:\\WINDOWS\\notes.txt")
        .File("C:\\WINDOWS\\SYSTEM\\B.dll")
        .File("C:\\WINDOWS\\TEMP\\T.DLL")
        .File("C:\\WINDOWS\\TEMP\\DEEP\\U.DLL")
        .File("C:\\APP\\C.DLL")
        .Folder("C:\\WINDOWS\\x.dll")
        .Folder("C:\\ODD");
    { std::ofstream(machine.HostPath("C:\\ODD") / "a:b.dll").put('x'); }
    const struct {
        const char* what;
        const char* paths;
        const char* filter;
        bool subfolders;
        Lines exclusions;
        Lines listed;
    } cases[] = {
        {"a folder without its backslash",
         "C:\\WINDOWS",
         "*.dll",
         false,
         {},
         {"C:\\WINDOWS\\A.DLL"}},
        {"the folder as it was written",
         "c:\\windows\\",
         "*.DLL",
         false,
         {},
         {"c:\\windows\\A.DLL"}},
        {"subfolders, but never a folder as a file",
         "C:\\WINDOWS",
         "*.dll",
         true,
         {},
         {"C:\\WINDOWS\\A.DLL", "C:\\WINDOWS\\SYSTEM\\B.dll", "C:\\WINDOWS\\TEMP\\T.DLL",
          "C:\\WINDOWS\\TEMP\\DEEP\\U.DLL"}},
        {"an excluded subfolder and everything below it",
         "C:\\WINDOWS",
         "*.dll",
         true,
         {"c:\\windows\\temp"},
         {"C:\\WINDOWS\\A.DLL", "C:\\WINDOWS\\SYSTEM\\B.dll"}},
        {"an exclusion does not apply to a folder named in Paths",
         "C:\\WINDOWS\\TEMP",
         "*.dll",
         true,
         {"c:\\windows\\temp"},
         {"C:\\WINDOWS\\TEMP\\T.DLL", "C:\\WINDOWS\\TEMP\\DEEP\\U.DLL"}},
        {"a file matched by two patterns is listed twice, side by side",
         "C:\\WINDOWS",
         "*.dll;*.DLL",
         false,
         {},
         {"C:\\WINDOWS\\A.DLL", "C:\\WINDOWS\\A.DLL"}},
        {"a folder named twice is walked twice",
         "C:\\APP;C:\\APP\\",
         "*.dll",
         false,
         {},
         {"C:\\APP\\C.DLL", "C:\\APP\\C.DLL"}},
        {"a missing folder or drive contributes nothing",
         "C:\\NOWHERE;Q:\\;C:\\APP",
         "*.dll",
         true,
         {},
         {"C:\\APP\\C.DLL"}},
        {"a file named in Paths is no folder", "C:\\APP\\C.DLL", "*.*", false, {}, {}},
        {"a pattern without wildcards",
         "C:\\WINDOWS\\;C:\\APP",
         "a.dll",
         false,
         {},
         {"C:\\WINDOWS\\A.DLL"}},
        {"patterns the directory function rejects give nothing",
         "C:\\APP",
         "<*>;*|",
         false,
         {},
         {}},
        {"an empty pattern lists every file",
         "C:\\WINDOWS",
         ";",
         false,
         {},
         {"C:\\WINDOWS\\A.DLL", "C:\\WINDOWS\\notes.txt"}},
        {"a host name with a character Windows forbids",
         "C:\\ODD",
         "*.dll",
         false,
         {},
         {"C:\\ODD\\a\xEF\x80\xBA"
          "b.dll"}},
    };
    for (const auto& c : cases) {
        list::ResetForTesting();
        file.SetPaths(c.paths);
        file.SetFilter(c.filter);
        file.SetIncludeSubDirectories(c.subfolders);
        for (const auto& folder : c.exclusions) {
            file.AddExclusionPath(folder);
        }
        EXPECT_TRUE(file.LoadFileListing(true)) << c.what;
        EXPECT_EQ(Listing(file), c.listed) << c.what;
    }
}

TEST_F(FileTest, AnEmptyFilterBecomesEveryFile) {
    machine.File("C:\\APP\\C.DLL").File("C:\\APP\\readme").Folder("C:\\APP\\SUB");
    file.SetPaths("C:\\APP");
    ASSERT_TRUE(file.LoadFileListing());
    EXPECT_EQ(file.Filter(), "*.*;");
    EXPECT_EQ(Listing(file), (Lines{"C:\\APP\\C.DLL", "C:\\APP\\readme"}));
}

TEST_F(FileTest, EqualNamesComeOutAsThePatternOrderAndTheSortLeaveThem) {
    machine.File("C:\\X\\a.dll").File("C:\\X\\A.DLL");
    const struct {
        const char* paths;
        const char* filter;
        Lines listed;
    } cases[] = {
        {"C:\\X", "a.dll;A.DLL", {"C:\\X\\A.DLL", "C:\\X\\a.dll"}},
        {"C:\\X", "A.DLL;a.dll", {"C:\\X\\a.dll", "C:\\X\\A.DLL"}},
        {"C:\\X;c:\\x", "a.dll", {"c:\\x\\a.dll", "C:\\X\\a.dll"}},
    };
    for (const auto& c : cases) {
        file.SetPaths(c.paths);
        file.SetFilter(c.filter);
        EXPECT_EQ(Listing(file), c.listed) << c.paths << " with " << c.filter;
    }
}

TEST_F(FileTest, OnlyAFolderThatIsJustAFolderIsEntered) {
    SKIP_WITHOUT_XATTRS();
    const struct {
        const char* folder;
        win32::DWORD attributes;
        bool entered;
    } cases[] = {
        {"C:\\W\\PLAIN", 0, true},   {"C:\\W\\READONLY", 1, false},   {"C:\\W\\HIDDEN", 2, false},
        {"C:\\W\\SYSTEM", 4, false}, {"C:\\W\\ARCHIVE", 0x20, false},
    };
    for (const auto& c : cases) {
        machine.File(std::string(c.folder) + "\\F.DLL").Attributes(c.folder, c.attributes);
    }
    machine.File("C:\\W\\H.DLL").Attributes("C:\\W\\H.DLL", 2 | 4 | 1);
    file.SetPaths("C:\\W");
    file.SetFilter("*.dll");
    file.SetIncludeSubDirectories(true);
    const Lines listed = Listing(file);
    EXPECT_NE(std::find(listed.begin(), listed.end(), "C:\\W\\H.DLL"), listed.end())
        << "hidden, system and read-only files are listed";
    for (const auto& c : cases) {
        const std::string dll = std::string(c.folder) + "\\F.DLL";
        EXPECT_EQ(std::find(listed.begin(), listed.end(), dll) != listed.end(), c.entered)
            << c.folder;
    }
}

TEST_F(FileTest, LinksAreFollowedInsideTheDriveOnlyAndNeverRoundInCircles) {
    const auto outside = machine.folder() / "outside";
    std::filesystem::create_directories(outside);
    { std::ofstream(outside / "OUT.DLL").put('x'); }
    machine.File("C:\\X\\A.DLL")
        .File("C:\\Y\\B.DLL")
        .Symlink("C:\\X\\LOOP", machine.HostPath("C:\\X"))
        .Symlink("C:\\X\\TOY", machine.HostPath("C:\\Y"))
        .Symlink("C:\\X\\OUT", outside)
        .Symlink("C:\\X\\OUT.DLL", outside / "OUT.DLL")
        .Symlink("C:\\X\\GONE.DLL", outside / "missing.dll");
    file.SetPaths("C:\\X");
    file.SetFilter("*.dll");
    file.SetIncludeSubDirectories(true);
    EXPECT_EQ(Listing(file), (Lines{"C:\\X\\A.DLL", "C:\\X\\TOY\\B.DLL"}));
}

TEST_F(FileTest, ListingLifecycle) {
    machine.File("C:\\APP\\A.DLL").Folder("C:\\EMPTY");

    // No folders: no listing, and File does not fail.
    EXPECT_FALSE(file.LoadFileListing(true));
    EXPECT_EQ(file.FileCount(), 0);
    EXPECT_EQ(file.File(0), "");
    EXPECT_EQ(file.CurrentScanPath(), "");

    // A walk that finds nothing still finishes.
    file.SetPaths("C:\\EMPTY");
    EXPECT_TRUE(file.LoadFileListing(true));
    EXPECT_EQ(list::ScanState(), list::Scanned);
    EXPECT_EQ(file.FileCount(), 0);
    EXPECT_EQ(file.CurrentScanPath(), list::kSortingText);

    file.SetPaths("C:\\APP");
    ASSERT_EQ(file.File(0), "C:\\APP\\A.DLL");
    // A finished listing is served as it is until a setting changes.
    machine.File("C:\\APP\\B.DLL");
    file.AddExclusionPath("C:\\APP");
    EXPECT_TRUE(file.LoadFileListing());
    EXPECT_EQ(file.FileCount(), 1);

    const struct {
        const char* what;
        void (*change)(QzFile&);
    } resets[] = {
        {"Paths", [](QzFile& f) { f.SetPaths("C:\\APP\\"); }},
        {"Filter", [](QzFile& f) { f.SetFilter("*.*"); }},
        {"IncludeSubDirectories", [](QzFile& f) { f.SetIncludeSubDirectories(false); }},
    };
    for (const auto& r : resets) {
        ASSERT_TRUE(file.LoadFileListing());
        r.change(file);
        EXPECT_EQ(file.FileCount(), 0) << r.what;
        EXPECT_EQ(list::ScanState(), list::NotScanned) << r.what;
        EXPECT_EQ(file.File(1), "C:\\APP\\B.DLL") << r.what << ": File walks again";
        machine.File(std::string("C:\\APP\\") + r.what + ".DLL");
    }
}

TEST_F(FileTest, EveryInstanceSharesTheListingButOnlySomeSettingsSignal) {
    machine.File("C:\\APP\\A.DLL");
    QzFile other;
    Lines changed;
    file.PropertyChanged.Connect([&](const std::string& name) { changed.push_back(name); });
    file.SetPaths("C:\\APP");
    file.SetFilter("*.DLL");
    file.SetIncludeSubDirectories(true);
    EXPECT_EQ(changed, (Lines{"Paths", "Filter"}));
    EXPECT_EQ(other.Paths(), "C:\\APP");
    EXPECT_TRUE(other.IncludeSubDirectories());
    ASSERT_TRUE(other.LoadFileListing());
    EXPECT_EQ(file.FileCount(), 1);
    EXPECT_EQ(file.File(0), "C:\\APP\\A.DLL");
}

TEST_F(FileTest, UniqueFileCountCountsNamesWithoutRegardToCase) {
    machine.File("C:\\A\\x.dll").File("C:\\B\\X.DLL").File("C:\\B\\y.dll").File("C:\\C\\x.dll");
    file.SetPaths("C:\\A;C:\\B;C:\\C");
    file.SetFilter("*.dll");
    EXPECT_EQ(file.UniqueFileCount(), 0);
    ASSERT_TRUE(file.LoadFileListing());
    EXPECT_EQ(file.FileCount(), 4);
    EXPECT_EQ(file.UniqueFileCount(), 2);
}

class CancelAndReentry : public FileTest {
  protected:
    void SetUp() override {
        FileTest::SetUp();
        for (const char* f : {"C:\\W\\A.DLL", "C:\\W\\S1\\B.DLL", "C:\\W\\S1\\DEEP\\C.DLL",
                              "C:\\W\\S2\\D.DLL", "C:\\W\\S2\\E.DLL", "C:\\W\\F.DLL"}) {
            machine.File(f);
        }
        file.SetPaths("C:\\W");
        file.SetFilter("*.dll");
        file.SetIncludeSubDirectories(true);
    }
    static constexpr std::int32_t kAll = 6;
};

TEST_F(CancelAndReentry, ACancelAtAnyMomentLeavesNothingAndTheNextLoadWalksAgain) {
    // Each moment is "the n-th DoEvents that sees this status"; the walk lets events run at
    // every folder and entry, the sort at every partition.
    const struct {
        const char* what;
        std::string status;
        int nth;
    } moments[] = {
        {"at the first folder", "", 1},
        {"among the first folder's entries", "", 3},
        {"in a subfolder", std::string(list::kScanningPrefix) + "C:\\W\\", 1},
        {"deep down", std::string(list::kScanningPrefix) + "C:\\W\\S1\\", 2},
        {"at the start of the sort", std::string(list::kSortingText), 1},
        {"in the sort", std::string(list::kSortingText), 2},
    };
    for (const auto& m : moments) {
        list::ResetForTesting();
        file.SetPaths("C:\\W");
        file.SetFilter("*.dll");
        file.SetIncludeSubDirectories(true);
        int seen = 0;
        {
            const ScopedPump pump([&] {
                if (file.CurrentScanPath() == m.status && ++seen == m.nth) {
                    file.ScanCancel();
                }
            });
            EXPECT_FALSE(file.LoadFileListing(true)) << m.what;
        }
        EXPECT_EQ(seen >= m.nth, true) << m.what << ": the moment never came";
        EXPECT_EQ(file.FileCount(), 0) << m.what;
        EXPECT_EQ(list::ScanState(), list::NotScanned) << m.what;
        EXPECT_TRUE(file.LoadFileListing(true)) << m.what;
        EXPECT_EQ(file.FileCount(), kAll) << m.what;
    }
}

TEST_F(CancelAndReentry, ACancelWhileNoLoadRunsDoesNotCutTheNextOne) {
    file.ScanCancel();
    EXPECT_TRUE(file.LoadFileListing(false));
    EXPECT_EQ(file.FileCount(), kAll);
    file.SetPaths("C:\\W");
    file.ScanCancel();
    EXPECT_TRUE(file.LoadFileListing(true));
    EXPECT_EQ(file.FileCount(), kAll);
    file.SetPaths("C:\\W");
    file.ScanCancel();
    EXPECT_EQ(file.File(kAll - 1), "C:\\W\\F.DLL");
}

TEST_F(CancelAndReentry, WithoutMayCancelNoEventsRun) {
    int pumped = 0;
    const ScopedPump pump([&] { ++pumped; });
    EXPECT_TRUE(file.LoadFileListing(false));
    EXPECT_EQ(pumped, 0);
}

TEST_F(CancelAndReentry, ASecondLoadOrAFileReadDuringTheWalkIsRefusedAndHarmless) {
    int nested = 0;
    std::vector<bool> loads;
    Lines files;
    {
        const ScopedPump pump([&] {
            if (nested++ == 4) {
                loads.push_back(file.LoadFileListing(true));
                files.push_back(file.File(0));
                QzFile other;
                loads.push_back(other.LoadFileListing(false));
            }
        });
        EXPECT_TRUE(file.LoadFileListing(true));
    }
    EXPECT_EQ(loads, (std::vector<bool>{false, false}));
    EXPECT_EQ(files, Lines{""});
    EXPECT_EQ(file.FileCount(), kAll);
    EXPECT_EQ(file.File(0), "C:\\W\\A.DLL");
}

TEST_F(CancelAndReentry, NewSettingsDuringTheWalkStopItAndTheNextReadUsesThem) {
    machine.File("C:\\V\\Z.DLL");
    const struct {
        const char* what;
        void (*change)(QzFile&);
        Lines after;
    } changes[] = {
        {"Paths", [](QzFile& f) { f.SetPaths("C:\\V"); }, {"C:\\V\\Z.DLL"}},
        {"Filter", [](QzFile& f) { f.SetFilter("a.dll"); }, {"C:\\W\\A.DLL"}},
        {"IncludeSubDirectories",
         [](QzFile& f) { f.SetIncludeSubDirectories(false); },
         {"C:\\W\\A.DLL", "C:\\W\\F.DLL"}},
    };
    for (const auto& c : changes) {
        for (const std::string& status :
             {std::string(list::kScanningPrefix) + "C:\\W\\", std::string(list::kSortingText)}) {
            list::ResetForTesting();
            file.SetPaths("C:\\W");
            file.SetFilter("*.dll");
            file.SetIncludeSubDirectories(true);
            bool changed = false;
            std::int32_t countRightAfter = -1;
            {
                const ScopedPump pump([&] {
                    if (!changed && file.CurrentScanPath() == status) {
                        changed = true;
                        c.change(file);
                        countRightAfter = file.FileCount();
                    }
                });
                EXPECT_FALSE(file.LoadFileListing(true)) << c.what << " at " << status;
            }
            EXPECT_EQ(countRightAfter, 0) << c.what << " at " << status;
            EXPECT_EQ(file.FileCount(), 0) << c.what << " at " << status;
            EXPECT_EQ(Listing(file), c.after) << c.what << " at " << status;
        }
    }
}

TEST_F(CancelAndReentry, StatusNamesTheFolderWhoseSubfoldersAreWalked) {
    Lines statuses;
    {
        const ScopedPump pump([&] {
            if (statuses.empty() || statuses.back() != file.CurrentScanPath()) {
                statuses.push_back(file.CurrentScanPath());
            }
        });
        ASSERT_TRUE(file.LoadFileListing(true));
    }
    // S1 and S2 come in the host's order; the status follows the walk into S1 and back.
    const std::string w = std::string(list::kScanningPrefix) + "C:\\W\\";
    const std::string s1 = std::string(list::kScanningPrefix) + "C:\\W\\S1\\";
    EXPECT_EQ(statuses.front(), "");
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), w), statuses.end());
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), s1), statuses.end());
    EXPECT_EQ(statuses.back(), list::kSortingText);
}

}  // namespace

// Two host folders whose names read "é" (Latin-1 E9 and UTF-8 C3 A9): each file is listed once,
// under a path that leads to it and to nothing else.
TEST_F(FileTest, NamesThatReadTheSameAreListedOnceEachByAPathThatLeadsToThem) {
    machine.File("C:\\\xC3\xA9\\X.DLL", "utf-8").File("C:\\\xEF\x83\xA9\\X.DLL", "latin-1");
    ASSERT_TRUE(std::filesystem::exists(machine.folder() / "drives" / "C" / "\xE9" / "X.DLL"));
    file.SetFilter("*.dll");
    file.SetPaths("C:\\");
    file.SetIncludeSubDirectories(true);
    const Lines listed = Listing(file);
    EXPECT_EQ(listed, (Lines{"C:\\\xC3\xA9\\X.DLL", "C:\\\xEF\x83\xA9\\X.DLL"}));
    std::set<std::string> contents;
    for (const std::string& path : listed) {
        contents.insert(machine.Read(path));
        const auto host = win32::HostPathOf(path);
        ASSERT_TRUE(host);
        EXPECT_EQ(win32::WindowsPathOf(*host).value_or(""), path);
    }
    EXPECT_EQ(contents, (std::set<std::string>{"utf-8", "latin-1"}));
}

// A FIFO, a socket or a device named like a library is no copy: it is never listed.
TEST_F(FileTest, OnlyRegularFilesAreListed) {
    machine.File("C:\\APP\\REAL.DLL", "x").Folder("C:\\APP\\DIR.DLL");
    const auto app = machine.HostPath("C:\\APP");
    ASSERT_EQ(::mkfifo((app / "PIPE.DLL").c_str(), 0600), 0);
    std::filesystem::create_symlink(app / "PIPE.DLL", app / "LINK.DLL");
    file.SetFilter("*.dll;PIPE.DLL");
    file.SetPaths("C:\\APP");
    EXPECT_EQ(Listing(file), (Lines{"C:\\APP\\REAL.DLL"}));
}
