#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/automation/Errors.h"
#include "platform/dialogs/Dialogs.h"
#include "tests/support/LongPaths.h"
#include "tests/support/RegistrySeed.h"
#include "tests/vlt/core/CoreTestSupport.h"
#include "tools/imagewriter/ImageWriter.h"
#include "vlt/core/BackupNames.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWorkActions.h"

namespace {

using coretest::CoreTest;
using coretest::kProgramDir;
using vlt::State;
using Strings = std::vector<std::string>;

constexpr const char* kCounts =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class Backups : public CoreTest {
  protected:
    Backups() {
        LoadHost();
        machine.File("C:\\A\\X.DLL", "new copy").File("C:\\WINDOWS\\SYSTEM\\X.DLL", "old");
    }

    // REGEDIT4 lines of the shared-library counts: "name"=dword:... per value.
    void SeedCounts(const std::vector<std::pair<std::string, int>>& counts) {
        std::string text = std::string("REGEDIT4\r\n\r\n[") + kCounts + "]\r\n";
        for (const auto& [path, n] : counts) {
            std::string escaped;
            for (const char c : path) {
                escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
            }
            char hex[16];
            std::snprintf(hex, sizeof hex, "%08x", n);
            text += "\"" + escaped + "\"=dword:" + hex + "\r\n";
        }
        testsupport::SeedRegistry(machine, text);
    }
    std::string Counts() const { return testsupport::RegistryText(machine, kCounts); }
    std::string Wininit() const {
        return machine.Exists("C:\\WINDOWS\\wininit.ini") ? machine.Read("C:\\WINDOWS\\wininit.ini")
                                                          : std::string();
    }
    static Strings Codes() {
        Strings codes;
        for (int k = 0; k < State().LogCount; ++k) {
            codes.push_back(State().ActionLog[static_cast<std::size_t>(k)][1]);
        }
        return codes;
    }
    Strings Titles() const {
        Strings titles;
        for (const auto& box : dialogs->MsgBoxes()) {
            titles.push_back(box.title);
        }
        return titles;
    }
    std::vector<std::string> TempFiles() const {
        std::vector<std::string> names;
        for (const auto& entry :
             std::filesystem::directory_iterator(machine.HostPath("C:\\WINDOWS\\TEMP"))) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
};

TEST(BackupName, IsMadeFromTheFullPath) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\WINDOWS\\SYSTEM\\FOO.DLL", "C~~WINDOWS~SYSTEM~FOO.DLL.backup"},
        {"D:\\APPS\\X.OCX", "D~~APPS~X.OCX.backup"},
        {"C:\\X.DLL", "C~~X.DLL.backup"},
        {"C:\\BACK\\C~~X.DLL.backup", "C:\\BACK\\C~~X.DLL.backup"},
        {"C:\\BACK\\C~~X.DLL.BACKUP", "C:\\BACK\\C~~X.DLL.BACKUP"},
        {"C:\\BACK\\X.DLL.BackUp", "C:\\BACK\\X.DLL.BackUp"},
    };
    for (const auto& [path, name] : cases) {
        EXPECT_EQ(modVLTWork::SetBackupName(path), name) << path;
    }
}

TEST_F(Backups, CopyIntoTheSystemFolderCarriesTheSharedLibraryCountOver) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, int>> before;
        std::string target;
        std::string countsAfter;
    };
    const std::string header = std::string("REGEDIT4\r\n\r\n[") + kCounts + "]\r\n";
    const std::vector<Case> cases = {
        {"target 3, source none",
         {{"C:\\WINDOWS\\SYSTEM\\X.DLL", 3}},
         "C:\\WINDOWS\\SYSTEM\\X.DLL",
         header + "\"C:\\\\WINDOWS\\\\SYSTEM\\\\X.DLL\"=dword:00000004\r\n\r\n"},
        {"target 3, source 2",
         {{"C:\\WINDOWS\\SYSTEM\\X.DLL", 3}, {"C:\\A\\X.DLL", 2}},
         "C:\\WINDOWS\\SYSTEM\\X.DLL",
         header + "\"C:\\\\WINDOWS\\\\SYSTEM\\\\X.DLL\"=dword:00000005\r\n" +
             "\"C:\\\\A\\\\X.DLL\"=dword:00000002\r\n\r\n"},
        {"source 2 only",
         {{"C:\\A\\X.DLL", 2}},
         "C:\\WINDOWS\\SYSTEM\\X.DLL",
         header + "\"C:\\\\A\\\\X.DLL\"=dword:00000002\r\n" +
             "\"C:\\\\WINDOWS\\\\SYSTEM\\\\X.DLL\"=dword:00000002\r\n\r\n"},
        {"neither counted", {}, "C:\\WINDOWS\\SYSTEM\\X.DLL", header + "\r\n"},
        {"not into the system folder",
         {{"C:\\B\\X.DLL", 3}},
         "C:\\B\\X.DLL",
         header + "\"C:\\\\B\\\\X.DLL\"=dword:00000003\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case schedules afresh: a copy already waiting is neither made nor counted again.
        std::filesystem::remove(machine.HostPath("C:\\WINDOWS\\wininit.ini"));
        testsupport::SeedRegistry(machine, std::string("REGEDIT4\r\n\r\n[-") + kCounts + "]\r\n");
        SeedCounts(c.before);
        EXPECT_EQ(modVLTWork::CopyTo("C:\\A\\X.DLL", c.target), 1);
        EXPECT_EQ(Counts(), c.countsAfter);
    }
}

TEST_F(Backups, CopyToSchedulesACompleteTemporaryCopyAndLogsIt) {
    EXPECT_EQ(modVLTWork::CopyTo("C:\\A\\X.DLL", "C:\\WINDOWS\\SYSTEM\\X.DLL"), 1);
    EXPECT_TRUE(State().RestartNeeded);
    ASSERT_EQ(State().LogCount, 1);
    EXPECT_EQ(State().ActionLog[0],
              (vlt::LogEntry{"C:\\A\\X.DLL", "5", "C:\\WINDOWS\\SYSTEM\\X.DLL"}));
    const Strings temps = TempFiles();
    ASSERT_EQ(temps.size(), 1u);
    EXPECT_EQ(machine.Read("C:\\WINDOWS\\TEMP\\" + temps[0]), "new copy");
    EXPECT_NE(Wininit().find("C:\\WINDOWS\\SYSTEM\\X.DLL=C:\\WINDOWS\\TEMP\\" + temps[0] + "\r\n"),
              std::string::npos)
        << Wininit();
    EXPECT_EQ(machine.Read("C:\\WINDOWS\\SYSTEM\\X.DLL"), "old");
}

// A second run finds its copy waiting: logged as scheduled, nothing copied or counted again.
// A target the restart list cannot name is a notation and nothing is scheduled.
TEST_F(Backups, CopyToSkipsACopyThatWaitsAndRefusesATargetTheRestartCannotName) {
    ASSERT_EQ(modVLTWork::CopyTo("C:\\A\\X.DLL", "C:\\WINDOWS\\SYSTEM\\X.DLL"), 1);
    const std::string wininit = Wininit();
    EXPECT_EQ(modVLTWork::CopyTo("C:\\A\\X.DLL", "C:\\WINDOWS\\SYSTEM\\X.DLL"), 1);
    EXPECT_EQ(Wininit(), wininit);
    EXPECT_EQ(TempFiles().size(), 1u);
    ASSERT_EQ(State().LogCount, 2);
    EXPECT_EQ(State().ActionLog[1], State().ActionLog[0]);

    EXPECT_EQ(modVLTWork::CopyTo("C:\\A\\X.DLL", "C:\\A=B\\NEW=1.DLL"), 0);
    ASSERT_EQ(State().LogCount, 3);
    EXPECT_EQ(State().ActionLog[2][1], "2");
    EXPECT_NE(State().ActionLog[2][2].find("Copy to C:\\A=B\\NEW=1.DLL not scheduled"),
              std::string::npos);
    EXPECT_EQ(Wininit(), wininit);
    EXPECT_TRUE(dialogs->MsgBoxes().empty());
}

TEST_F(Backups, CopyToDoesNothingForTheSameFileOrAMissingSource) {
    EXPECT_EQ(modVLTWork::CopyTo("C:\\A\\X.DLL", "c:\\a\\x.dll"), 0);
    EXPECT_TRUE(dialogs->MsgBoxes().empty());

    EXPECT_EQ(modVLTWork::CopyTo("C:\\A\\GONE.DLL", "C:\\WINDOWS\\SYSTEM\\GONE.DLL"), 0);
    ASSERT_EQ(dialogs->MsgBoxes().size(), 1u);
    const auto box = dialogs->MsgBoxes().front();
    EXPECT_EQ(box.title, "File not found");
    EXPECT_EQ(box.style, dialogs::vbExclamation);
    EXPECT_EQ(box.prompt,
              "C:\\A\\GONE.DLL does not exist!\r\nPlease make sure you have no other processes "
              "running when you run Velto.\r\nPress OK to continue");

    EXPECT_EQ(State().LogCount, 0);
    EXPECT_FALSE(State().RestartNeeded);
    EXPECT_EQ(Wininit(), "");
}

TEST_F(Backups, AFailedTemporaryCopyIsNeverScheduledWhateverTheAnswer) {
    SeedCounts({{"C:\\WINDOWS\\SYSTEM\\X.DLL", 3}});
    std::filesystem::remove_all(machine.HostPath("C:\\WINDOWS\\TEMP"));
    for (const int answer : {dialogs::vbIgnore, dialogs::vbRetry}) {
        SCOPED_TRACE(answer);
        dialogs->Clear();
        State().LogCount = 0;
        dialogs->AnswerMsgBox(answer);
        dialogs->AnswerMsgBox(dialogs::vbIgnore);
        EXPECT_EQ(modVLTWork::CopyTo("C:\\A\\X.DLL", "C:\\WINDOWS\\SYSTEM\\X.DLL"), 0);
        EXPECT_EQ(Titles(), answer == dialogs::vbRetry
                                ? (Strings{"Application Error!", "Application Error!"})
                                : (Strings{"Application Error!"}));
        EXPECT_EQ(Wininit(), "");
        EXPECT_FALSE(State().RestartNeeded);
        EXPECT_NE(Counts().find("dword:00000003"), std::string::npos);
        ASSERT_EQ(State().LogCount, 1);
        EXPECT_EQ(State().ActionLog[0][1], "2");
        EXPECT_EQ(State().ActionLog[0][2],
                  "Error: Copy to C:\\WINDOWS\\SYSTEM\\X.DLL failed; nothing was scheduled");
    }
}

TEST_F(Backups, AMoveWhoseCopyFailedKeepsItsSourceButOtherRemovalsGoOn) {
    modVLTProperties::Backup(false);
    machine.File("C:\\B\\X.DLL", "other copy");
    std::filesystem::remove_all(machine.HostPath("C:\\WINDOWS\\TEMP"));
    modVLTWork::AddAction(modVLTWork::kActionMove, "C:\\A\\X.DLL", "C:\\WINDOWS\\SYSTEM\\");
    modVLTWork::DeleteFile("c:\\a\\x.dll");
    modVLTWork::DeleteFile("C:\\B\\X.DLL");
    dialogs->AnswerMsgBox(dialogs::vbIgnore);
    dialogs->AnswerMsgBox(dialogs::vbIgnore);
    while (modVLTWork::DoNextAction()) {
    }
    EXPECT_EQ(Codes(), (Strings{"2", "2", "2", "7"}));
    EXPECT_EQ(
        State().ActionLog[1],
        (vlt::LogEntry{"C:\\A\\X.DLL", "2", "Error: Not removed, its copy was not scheduled"}));
    EXPECT_EQ(State().ActionLog[2][0], "c:\\a\\x.dll");
    const std::string wininit = Wininit();
    EXPECT_EQ(wininit.find("A\\X.DLL"), std::string::npos) << wininit;
    EXPECT_NE(wininit.find("NUL=C:\\B\\X.DLL"), std::string::npos) << wininit;
}

// The list's changes wait in one batch: a count changed earlier in it is read as it will be
// stored, and everything reaches wininit.ini and the registry once the list ends.
TEST_F(Backups, ChangesOfOneListAreCommittedTogetherAndReadAsTheyWillBe) {
    modVLTProperties::Backup(false);
    machine.File("C:\\B\\X.DLL", "other copy");
    SeedCounts({{"C:\\WINDOWS\\SYSTEM\\X.DLL", 3}, {"C:\\A\\X.DLL", 2}, {"C:\\B\\X.DLL", 1}});
    modVLTWork::AddAction(modVLTWork::kActionMove, "C:\\A\\X.DLL", "C:\\WINDOWS\\SYSTEM\\");
    modVLTWork::AddAction(modVLTWork::kActionMove, "C:\\B\\X.DLL", "C:\\WINDOWS\\SYSTEM\\");
    while (modVLTWork::DoNextAction()) {
    }
    // Each copy carries its use into the system folder; each removal drops its own count.
    EXPECT_EQ(Codes(), (Strings{"8", "5", "7", "8", "8", "5", "7", "8"}));
    const std::string counts = Counts();
    EXPECT_NE(counts.find("SYSTEM\\\\X.DLL\"=dword:00000006"), std::string::npos) << counts;
    EXPECT_EQ(counts.find("A\\\\X.DLL"), std::string::npos) << counts;
    EXPECT_EQ(counts.find("B\\\\X.DLL"), std::string::npos) << counts;
    const std::string wininit = Wininit();
    EXPECT_NE(wininit.find("NUL=C:\\A\\X.DLL\r\n"), std::string::npos) << wininit;
    EXPECT_NE(wininit.find("NUL=C:\\B\\X.DLL\r\n"), std::string::npos) << wininit;
    EXPECT_TRUE(State().RestartNeeded);
}

TEST_F(Backups, RemoveFileDropsTheCountAndSchedulesTheDeletion) {
    SeedCounts({{"C:\\WINDOWS\\SYSTEM\\X.DLL", 2}, {"C:\\A\\X.DLL", 1}});
    modVLTWork::RemoveFile("C:\\WINDOWS\\SYSTEM\\X.DLL");
    const std::string counts = Counts();
    EXPECT_EQ(counts.find("SYSTEM"), std::string::npos) << counts;
    EXPECT_NE(counts.find("\"C:\\\\A\\\\X.DLL\"=dword:00000001"), std::string::npos);
    EXPECT_NE(Wininit().find("NUL=C:\\WINDOWS\\SYSTEM\\X.DLL\r\n"), std::string::npos);
    EXPECT_TRUE(State().RestartNeeded);
    ASSERT_EQ(State().LogCount, 2);
    EXPECT_EQ(State().ActionLog[0], (vlt::LogEntry{"C:\\WINDOWS\\SYSTEM\\X.DLL", "7", ""}));
    EXPECT_EQ(State().ActionLog[1],
              (vlt::LogEntry{"C:\\WINDOWS\\SYSTEM\\X.DLL", "8", "2 to none: the file is removed"}));
    EXPECT_TRUE(machine.Exists("C:\\WINDOWS\\SYSTEM\\X.DLL"));
}

// Without a batch a count is written at once; a write the registry refuses is logged as a
// count not changed, never as a change made.
TEST_F(Backups, ACountTheRegistryRefusesIsLoggedAsNotChanged) {
    SeedCounts({{"C:\\WINDOWS\\SYSTEM\\X.DLL", 2}});
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((machine.folder() / "registry.db").c_str(), &db), SQLITE_OK);
    for (const char* change : {"INSERT", "UPDATE", "DELETE"}) {
        const std::string refuse = std::string("CREATE TRIGGER refuse_") + change + " BEFORE " +
                                   change + " ON vals BEGIN SELECT RAISE(ABORT, 'refused'); END";
        EXPECT_EQ(sqlite3_exec(db, refuse.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    sqlite3_close(db);
    modVLTWork::RemoveFile("C:\\WINDOWS\\SYSTEM\\X.DLL");
    EXPECT_NE(Counts().find("\"C:\\\\WINDOWS\\\\SYSTEM\\\\X.DLL\"=dword:00000002"),
              std::string::npos)
        << Counts();
    ASSERT_EQ(State().LogCount, 2);
    EXPECT_EQ(State().ActionLog[1],
              (vlt::LogEntry{"C:\\WINDOWS\\SYSTEM\\X.DLL", "2",
                             "Error: Use count not changed (2 to none: the file is removed), the "
                             "registry could not be written"}));
}

// A copy removed because its program loads the copy its group keeps from now on hands its use
// to that copy, so that an uninstaller counting down never removes what the program needs.
TEST_F(Backups, ARemovedCopyHandsItsUseToTheCopyItsProgramLoadsFromNowOn) {
    modVLTProperties::Backup(false);
    const std::string header = std::string("REGEDIT4\r\n\r\n[") + kCounts + "]\r\n";
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, int>> before;
        // The copy the group keeps (its recommended one).
        std::string recommended;
        std::string countsAfter;
        Strings codes;
    };
    const std::vector<Case> cases = {
        {"a counted system copy, an uncounted one beside a program",
         {{"C:\\WINDOWS\\SYSTEM\\X.DLL", 1}},
         "C:\\WINDOWS\\SYSTEM\\X.DLL",
         header + "\"C:\\\\WINDOWS\\\\SYSTEM\\\\X.DLL\"=dword:00000002\r\n\r\n",
         {"7", "8"}},
        {"both counted",
         {{"C:\\WINDOWS\\SYSTEM\\X.DLL", 3}, {"C:\\A\\X.DLL", 2}},
         "C:\\WINDOWS\\SYSTEM\\X.DLL",
         header + "\"C:\\\\WINDOWS\\\\SYSTEM\\\\X.DLL\"=dword:00000005\r\n\r\n",
         {"7", "8", "8"}},
        {"neither counted", {}, "C:\\WINDOWS\\SYSTEM\\X.DLL", header + "\r\n", {"7"}},
        // The moved copy's use goes over with the copy, and is not handed on a second time.
        {"the program's copy moved into the system folder",
         {{"C:\\WINDOWS\\SYSTEM\\X.DLL", 3}, {"C:\\A\\X.DLL", 2}},
         "C:\\A\\X.DLL",
         header + "\"C:\\\\WINDOWS\\\\SYSTEM\\\\X.DLL\"=dword:00000005\r\n\r\n",
         {"8", "5", "7", "8"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(machine.HostPath("C:\\WINDOWS\\wininit.ini"));
        testsupport::SeedRegistry(machine, std::string("REGEDIT4\r\n\r\n[-") + kCounts + "]\r\n");
        SeedCounts(c.before);
        State().ActionCount = 0;
        State().NextAction = 0;
        State().LogCount = 0;
        std::int32_t first = 0;
        std::int32_t last = 0;
        modVLTWork::CopyToSystemDir(c.recommended, Strings{"C:\\A\\", "C:\\WINDOWS\\SYSTEM\\"},
                                    first, last);
        while (modVLTWork::DoNextAction()) {
        }
        EXPECT_EQ(Counts(), c.countsAfter);
        EXPECT_EQ(Codes(), c.codes);
    }
    // The report's row says what the count was, is, and why.
    EXPECT_EQ(State().ActionLog[0], (vlt::LogEntry{"C:\\WINDOWS\\SYSTEM\\X.DLL", "8",
                                                   "3 to 5: takes over the use of C:\\A\\X.DLL"}));
}

// A 32-bit copy on a 64-bit Windows is counted where 32-bit setup programs count it.
TEST_F(Backups, On64BitWindowsA32BitCopysCountIsItsViews) {
    Use64BitWindows();
    modVLTProperties::Backup(false);
    const auto image = [](imagewriter::Format format) {
        const auto bytes = imagewriter::BuildImage(imagewriter::VersionImage({}, format)).bytes;
        return std::string(bytes.begin(), bytes.end());
    };
    machine.File("C:\\WINDOWS\\SYSWOW64\\X.DLL", image(imagewriter::Format::Pe32))
        .File("C:\\A\\X.DLL", image(imagewriter::Format::Pe32));
    const std::string key32 =
        "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\"
        "SharedDLLs";
    testsupport::SeedRegistry(machine,
                              "REGEDIT4\r\n\r\n[" + key32 +
                                  "]\r\n\"C:\\\\WINDOWS\\\\SYSWOW64\\\\X.DLL\"=dword:00000001\r\n");
    std::int32_t first = 0;
    std::int32_t last = 0;
    modVLTWork::CopyToSystemDir("C:\\WINDOWS\\SYSWOW64\\X.DLL",
                                Strings{"C:\\A\\", "C:\\WINDOWS\\SYSWOW64\\"}, first, last);
    while (modVLTWork::DoNextAction()) {
    }
    EXPECT_NE(testsupport::RegistryText(machine, key32).find("SYSWOW64\\\\X.DLL\"=dword:00000002"),
              std::string::npos)
        << testsupport::RegistryText(machine, key32);
    EXPECT_FALSE(RegistryHasKey(kCounts));
}

TEST_F(Backups, OnNtRestartMovesGoToThePendingList) {
    machine.Platform(machine::Platform::NT);
    machine.File("C:\\WINDOWS\\SYSTEM32\\X.DLL", "old");
    modVLTWork::RemoveFile("C:\\A\\X.DLL");
    EXPECT_EQ(modVLTWork::CopyTo("C:\\WINDOWS\\SYSTEM\\X.DLL", "C:\\WINDOWS\\SYSTEM32\\X.DLL"), 1);
    const std::string list = testsupport::RegistryText(
        machine, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    EXPECT_NE(list.find("PendingFileRenameOperations"), std::string::npos) << list;
    EXPECT_EQ(Wininit(), "");
    EXPECT_EQ(Codes(), (Strings{"7", "5"}));
}

TEST_F(Backups, BackItUpCopiesIntoTheBackupFolderAndLogsIt) {
    modVLTProperties::BackupPath("C:\\BACK");
    EXPECT_TRUE(modVLTWork::BackItUp("C:\\WINDOWS\\SYSTEM\\X.DLL"));
    EXPECT_EQ(machine.Read("C:\\BACK\\C~~WINDOWS~SYSTEM~X.DLL.backup"), "old");
    ASSERT_EQ(State().LogCount, 1);
    EXPECT_EQ(State().ActionLog[0], (vlt::LogEntry{"C:\\WINDOWS\\SYSTEM\\X.DLL", "3",
                                                   "C:\\BACK\\C~~WINDOWS~SYSTEM~X.DLL.backup"}));
    // The folder test leaves nothing behind, neither there nor among the temporary files.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(machine.HostPath("C:\\BACK")),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(Backups, BackItUpKeepsAnOlderBackupWithOtherContent) {
    modVLTProperties::BackupPath("C:\\BACK\\");
    machine.File("C:\\BACK\\C~~WINDOWS~SYSTEM~X.DLL.backup", "first original")
        .File("C:\\BACK\\C~~WINDOWS~SYSTEM~X.DLL.backup.1", "older still");
    EXPECT_TRUE(modVLTWork::BackItUp("C:\\WINDOWS\\SYSTEM\\X.DLL"));
    EXPECT_EQ(machine.Read("C:\\BACK\\C~~WINDOWS~SYSTEM~X.DLL.backup"), "old");
    EXPECT_EQ(machine.Read("C:\\BACK\\C~~WINDOWS~SYSTEM~X.DLL.backup.1"), "older still");
    EXPECT_EQ(machine.Read("C:\\BACK\\C~~WINDOWS~SYSTEM~X.DLL.backup.2"), "first original");

    // The same content again loses nothing, so nothing more is kept.
    EXPECT_TRUE(modVLTWork::BackItUp("C:\\WINDOWS\\SYSTEM\\X.DLL"));
    EXPECT_FALSE(machine.Exists("C:\\BACK\\C~~WINDOWS~SYSTEM~X.DLL.backup.3"));
    EXPECT_EQ(Codes(), (Strings{"3", "3"}));
}

TEST_F(Backups, TwoPathsOfOneBackupNameEachKeepTheirOwnBackupAndLogRow) {
    // "~" in a folder name reads as a backslash in the backup name. The log used to name the
    // plain name for both files, which by then held the second file's bytes.
    modVLTProperties::BackupPath("C:\\BACK");
    machine.File("C:\\X~Y\\F.DLL", "first").File("C:\\X\\Y\\F.DLL", "second");
    EXPECT_TRUE(modVLTWork::BackItUp("C:\\X~Y\\F.DLL"));
    EXPECT_TRUE(modVLTWork::BackItUp("C:\\X\\Y\\F.DLL"));
    ASSERT_EQ(State().LogCount, 2);
    for (int k = 0; k < 2; ++k) {
        const vlt::LogEntry& row = State().ActionLog[static_cast<std::size_t>(k)];
        EXPECT_EQ(row[1], "3");
        EXPECT_EQ(machine.Read(row[2]), machine.Read(row[0])) << row[0] << " in " << row[2];
    }
    EXPECT_EQ(State().ActionLog[0][2], "C:\\BACK\\C~~X~Y~F.DLL.backup.1");
    EXPECT_EQ(State().ActionLog[1][2], "C:\\BACK\\C~~X~Y~F.DLL.backup");
}

// A file at a path as long as Windows takes is backed up under a shortened name with its
// record, and an older backup of it is kept aside as any other; both read back as the path.
TEST_F(Backups, BackItUpOfTheLongestPathWindowsTakesKeepsItsPath) {
    modVLTProperties::BackupPath("C:\\BACK");
    const std::string path = testsupport::LongWindowsPath(259);
    machine.File(path, "first");
    EXPECT_TRUE(modVLTWork::BackItUp(path));
    machine.File(path, "second");
    EXPECT_TRUE(modVLTWork::BackItUp(path));
    const std::string name = vlt::BackupFileName(path);
    EXPECT_EQ(machine.Read("C:\\BACK\\" + name), "second");
    EXPECT_EQ(machine.Read("C:\\BACK\\" + name + ".1"), "first");
    EXPECT_EQ(machine.Read("C:\\BACK\\" + vlt::BackupRecordName(name)), path + "\r\n");
    for (const std::string& kept : {name, name + ".1"}) {
        EXPECT_EQ(vlt::ReadBackupName("C:\\BACK\\", kept).path, path);
    }
    EXPECT_EQ(Codes(), (Strings{"3", "3"}));
    EXPECT_TRUE(dialogs->MsgBoxes().empty());
}

TEST_F(Backups, BackItUpOfAMissingFileSaysSoAndLogsTheError) {
    modVLTProperties::BackupPath("C:\\BACK");
    EXPECT_FALSE(modVLTWork::BackItUp("C:\\A\\GONE.DLL"));
    ASSERT_EQ(dialogs->MsgBoxes().size(), 1u);
    EXPECT_EQ(dialogs->MsgBoxes()[0].title, "File not found");
    EXPECT_EQ(dialogs->MsgBoxes()[0].prompt,
              "C:\\A\\GONE.DLL does not exist!  It may have been deleted by another process.  It "
              "is recommended that you have no other processes running when you run Velto.");
    ASSERT_EQ(State().LogCount, 1);
    EXPECT_EQ(State().ActionLog[0],
              (vlt::LogEntry{"C:\\A\\GONE.DLL", "2", "Error: File does not exist"}));
}

TEST_F(Backups, BackItUpWithBackupsOffDoesNothing) {
    modVLTProperties::Backup(false);
    EXPECT_TRUE(modVLTWork::BackItUp("C:\\A\\GONE.DLL"));
    EXPECT_TRUE(dialogs->MsgBoxes().empty());
    EXPECT_EQ(State().LogCount, 0);
}

TEST_F(Backups, ValidPathCreatesAMissingFolder) {
    std::string folder = "C:\\NEW\\DEEPER\\";
    EXPECT_TRUE(modVLTWork::ValidPath(folder));
    EXPECT_EQ(folder, "C:\\NEW\\DEEPER\\");
    EXPECT_TRUE(std::filesystem::is_empty(machine.HostPath("C:\\NEW\\DEEPER")));
    EXPECT_TRUE(dialogs->MsgBoxes().empty());
}

TEST_F(Backups, ValidPathNeverTouchesAFileAlreadyThere) {
    for (int i = 0; i < 20; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "C:\\BACK\\VLT%X.tmp", i);
        machine.File(name, "keep me");
    }
    std::string folder = "C:\\BACK\\";
    EXPECT_TRUE(modVLTWork::ValidPath(folder));
    for (int i = 0; i < 20; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "C:\\BACK\\VLT%X.tmp", i);
        EXPECT_EQ(machine.Read(name), "keep me");
    }
}

TEST_F(Backups, AnUnusableBackupFolderFallsBackToTheProgramsBackupsFolder) {
    machine.DriveWithoutMedium('E');
    modVLTProperties::BackupPath("E:\\SAVE");
    EXPECT_TRUE(modVLTWork::BackItUp("C:\\WINDOWS\\SYSTEM\\X.DLL"));
    ASSERT_EQ(dialogs->MsgBoxes().size(), 1u);
    EXPECT_EQ(dialogs->MsgBoxes()[0].title, "Problem with backup path");
    EXPECT_EQ(dialogs->MsgBoxes()[0].prompt,
              "Unable to write to E:\\SAVE\\.\r\nBackup path changed to C:\\Program "
              "Files\\Velto\\Backups\\.");
    const std::string backup =
        std::string(kProgramDir) + "\\Backups\\C~~WINDOWS~SYSTEM~X.DLL.backup";
    EXPECT_EQ(machine.Read(backup), "old");
    ASSERT_EQ(State().LogCount, 1);
    EXPECT_EQ(State().ActionLog[0][2], backup);
}

TEST_F(Backups, WhenTheFallbackFailsTooTheProgramEndsAfterExplainingItOnce) {
    machine.DriveWithoutMedium('E').ProfileValue("Machine", "ProgramDir", "E:\\Velto");
    modVLTProperties::BackupPath("E:\\SAVE");
    // DoError's error used to be offered once more by the backup's own error handling (its
    // boxes twice, and Ignore carried on a run DoError had said was ending): it ends the
    // program now, and the report's run takes back what was scheduled.
    EXPECT_THROW(modVLTWork::BackItUp("C:\\WINDOWS\\SYSTEM\\X.DLL"), vlt::ProgramAborted);
    EXPECT_EQ(Titles(), (Strings{"Problem with backup path", "Velto", "Application Error",
                                 "Application Ending"}));
    EXPECT_EQ(dialogs->MsgBoxes()[1].prompt.substr(0, 31), "Problem with E:\\Velto\\Backups\\!");
    EXPECT_EQ(State().LogCount, 0);
}

TEST_F(Backups, RebootRequestedAsksAndAnswersYesOnly) {
    for (const int answer : {dialogs::vbYes, dialogs::vbNo}) {
        dialogs->AnswerMsgBox(answer);
        EXPECT_EQ(modVLTWork::RebootRequested(), answer == dialogs::vbYes);
    }
    const auto box = dialogs->MsgBoxes().front();
    EXPECT_EQ(box.title, "Restart Required");
    EXPECT_EQ(box.style, dialogs::vbYesNo | dialogs::vbQuestion);
    EXPECT_EQ(box.prompt,
              "You need to restart your system for some of these changes to take effect.  Do "
              "you want to restart now?");
}

}  // namespace
