#include "vlt/core/modVLTWorkActions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/vlt/core/CoreTestSupport.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"

namespace {

using coretest::CoreTest;
using vlt::ActionEntry;
using vlt::State;

class ActionList : public CoreTest {
  protected:
    ActionList() {
        LoadHost();
        machine.File("C:\\A\\X.DLL", "new")
            .File("C:\\B\\X.DLL", "old")
            .File("C:\\WINDOWS\\SYSTEM\\X.DLL", "sys");
    }

    static std::vector<ActionEntry> Live() {
        const auto& s = State();
        return {s.ActionList.begin(), s.ActionList.begin() + s.ActionCount};
    }
    static std::vector<std::string> Kinds() {
        std::vector<std::string> kinds;
        for (const auto& entry : Live()) {
            kinds.push_back(entry[0]);
        }
        return kinds;
    }
    // Entries "0".."count-1" as their own sources, so that moves are easy to see.
    static void Numbered(int count) {
        for (int i = 0; i < count; ++i) {
            modVLTWork::AddNow("2", std::to_string(i), "");
        }
    }
    static std::vector<std::string> Sources() {
        std::vector<std::string> sources;
        for (const auto& entry : Live()) {
            sources.push_back(entry[1]);
        }
        return sources;
    }
};

using Strings = std::vector<std::string>;

TEST_F(ActionList, RemoveActionsTakesOutARangeAndKeepsTheOrder) {
    struct Case {
        int first, last, nextAction;
        Strings left;
    };
    const std::vector<Case> cases = {
        {3, 4, 0, {"0", "1", "2", "5", "6", "7", "8", "9"}},
        {7, 9, 0, {"0", "1", "2", "3", "4", "5", "6"}},
        {0, 9, 0, {}},
        {9, 9, 0, {"0", "1", "2", "3", "4", "5", "6", "7", "8"}},
        {0, 0, 0, {"1", "2", "3", "4", "5", "6", "7", "8", "9"}},
        // An empty range (a command that queued nothing) removes nothing.
        {5, 4, 0, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
        {10, 9, 0, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
        // Ranges reaching outside the list are cut to it.
        {8, 20, 0, {"0", "1", "2", "3", "4", "5", "6", "7"}},
        {-3, 1, 0, {"2", "3", "4", "5", "6", "7", "8", "9"}},
        // Entries already carried out stay where they are.
        {2, 5, 4, {"0", "1", "2", "3", "6", "7", "8", "9"}},
        {0, 3, 4, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + ".." + std::to_string(c.last) + " next " +
                     std::to_string(c.nextAction));
        State().ActionCount = 0;
        State().ActionList.clear();
        Numbered(10);
        State().NextAction = c.nextAction;
        modVLTWork::RemoveActions(c.first, c.last);
        EXPECT_EQ(Sources(), c.left);
        EXPECT_EQ(State().ActionCount, static_cast<int>(c.left.size()));
        EXPECT_EQ(State().NextAction, c.nextAction);
    }
}

TEST_F(ActionList, AddNowAfterRemovalOverwritesTheLeftOvers) {
    Numbered(5);
    modVLTWork::RemoveActions(1, 4);
    modVLTWork::AddNow("1", "C:\\A\\X.DLL", "C:\\B\\X.DLL");
    ASSERT_EQ(State().ActionCount, 2);
    EXPECT_EQ(Live()[1], (ActionEntry{"1", "C:\\A\\X.DLL", "C:\\B\\X.DLL"}));
}

TEST_F(ActionList, AddActionQueuesEntriesWithBackupMarkers) {
    struct Case {
        const char* name;
        bool backup;
        bool backupActive;
        int kind;
        std::string source;
        std::string folder;
        std::vector<ActionEntry> expected;
    };
    const std::vector<Case> cases = {
        {"copy over an existing file",
         true,
         false,
         1,
         "C:\\A\\X.DLL",
         "C:\\B\\",
         {{"4", "", ""}, {"1", "C:\\A\\X.DLL", "C:\\B\\X.DLL"}}},
        {"copy to a new place needs no backup",
         true,
         false,
         1,
         "C:\\A\\X.DLL",
         "C:\\NEW\\",
         {{"1", "C:\\A\\X.DLL", "C:\\NEW\\X.DLL"}}},
        {"copy with backups off",
         false,
         false,
         1,
         "C:\\A\\X.DLL",
         "C:\\B\\",
         {{"1", "C:\\A\\X.DLL", "C:\\B\\X.DLL"}}},
        {"backups switched off while active",
         false,
         true,
         1,
         "C:\\A\\X.DLL",
         "C:\\B\\",
         {{"5", "", ""}, {"1", "C:\\A\\X.DLL", "C:\\B\\X.DLL"}}},
        {"backups already active",
         true,
         true,
         1,
         "C:\\A\\X.DLL",
         "C:\\B\\",
         {{"1", "C:\\A\\X.DLL", "C:\\B\\X.DLL"}}},
        {"delete", true, false, 2, "C:\\B\\X.DLL", "", {{"4", "", ""}, {"2", "C:\\B\\X.DLL", ""}}},
        {"move is a copy and a delete",
         true,
         false,
         3,
         "C:\\A\\X.DLL",
         "C:\\WINDOWS\\SYSTEM\\",
         {{"4", "", ""},
          {"1", "C:\\A\\X.DLL", "C:\\WINDOWS\\SYSTEM\\X.DLL"},
          {"2", "C:\\A\\X.DLL", ""}}},
        {"copy without a source", true, false, 1, "", "C:\\B\\", {}},
        {"copy without a target folder", true, false, 1, "C:\\A\\X.DLL", "", {}},
        {"delete without a source", true, false, 2, "", "", {}},
        {"move without a target folder", true, false, 3, "C:\\A\\X.DLL", "", {}},
        {"unknown kind", true, false, 4, "C:\\A\\X.DLL", "C:\\B\\", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        State().ActionCount = 0;
        State().BackupActive = c.backupActive;
        modVLTProperties::Backup(c.backup);
        modVLTWork::AddAction(c.kind, c.source, c.folder);
        EXPECT_EQ(Live(), c.expected);
    }
}

TEST_F(ActionList, TwoCopiesWithBackupsOnExecuteWithBothTargetsBackedUp) {
    modVLTProperties::BackupPath("C:\\BACK");
    modVLTWork::AddAction(1, "C:\\A\\X.DLL", "C:\\B\\");
    modVLTWork::AddAction(1, "C:\\A\\X.DLL", "C:\\WINDOWS\\SYSTEM\\");
    EXPECT_EQ(Kinds(), (Strings{"4", "1", "4", "1"}));

    std::vector<bool> results;
    for (int i = 0; i < 4; ++i) {
        results.push_back(modVLTWork::DoNextAction());
    }
    EXPECT_EQ(results, (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(State().NextAction, 4);
    EXPECT_EQ(machine.Read("C:\\BACK\\C~~B~X.DLL.backup"), "old");
    EXPECT_EQ(machine.Read("C:\\BACK\\C~~WINDOWS~SYSTEM~X.DLL.backup"), "sys");
    ASSERT_EQ(State().LogCount, 4);
    Strings codes;
    for (const auto& entry : State().ActionLog) {
        codes.push_back(entry[1]);
    }
    EXPECT_EQ(codes, (Strings{"3", "5", "3", "5"}));
    EXPECT_TRUE(State().RestartNeeded);
    // Nothing is replaced before the restart.
    EXPECT_EQ(machine.Read("C:\\B\\X.DLL"), "old");
    EXPECT_FALSE(progress->loaded);
    EXPECT_EQ(progress->items,
              (Strings{"Backing up C:\\B\\X.DLL", "Copying C:\\A\\X.DLL to C:\\B\\X.DLL",
                       "Backing up C:\\WINDOWS\\SYSTEM\\X.DLL",
                       "Copying C:\\A\\X.DLL to C:\\WINDOWS\\SYSTEM\\X.DLL"}));
}

TEST_F(ActionList, BackupsSwitchedOffBeforeQueuingBackNothingUp) {
    modVLTProperties::Backup(false);
    modVLTProperties::BackupPath("C:\\BACK");
    modVLTWork::AddAction(1, "C:\\A\\X.DLL", "C:\\B\\");
    modVLTWork::DeleteFile("C:\\A\\X.DLL");
    EXPECT_EQ(Kinds(), (Strings{"1", "2"}));
    while (modVLTWork::DoNextAction()) {
    }
    EXPECT_FALSE(machine.Exists("C:\\BACK\\C~~B~X.DLL.backup"));
    ASSERT_EQ(State().LogCount, 2);
    EXPECT_EQ(State().ActionLog[0][1], "5");
    EXPECT_EQ(State().ActionLog[1], (vlt::LogEntry{"C:\\A\\X.DLL", "7", ""}));
}

TEST_F(ActionList, DoNextActionWithNothingLeftReturnsFalseAndLeavesTheWindowShown) {
    EXPECT_FALSE(modVLTWork::DoNextAction());
    EXPECT_TRUE(progress->loaded);
    EXPECT_EQ(State().NextAction, 0);
    EXPECT_EQ(State().LogCount, 0);
}

TEST_F(ActionList, ExecutionStartsWithBackupsInactive) {
    // A marker left active by an earlier run must not back up the first entries of this one.
    modVLTProperties::Backup(false);
    modVLTWork::DeleteFile("C:\\B\\X.DLL");
    State().BackupActive = true;
    modVLTWork::DoNextAction();
    EXPECT_FALSE(State().BackupActive);
    EXPECT_EQ(State().ActionLog.front(), (vlt::LogEntry{"C:\\B\\X.DLL", "7", ""}));
}

TEST_F(ActionList, UpdateActionLogNumbersFromOneAndKeepsOlderEntries) {
    modVLTWork::UpdateActionLog("C:\\A", 2, "Error: File does not exist");
    modVLTWork::UpdateActionLog("", 1, "note");
    ASSERT_EQ(State().LogCount, 2);
    EXPECT_EQ(State().ActionLog[0], (vlt::LogEntry{"C:\\A", "2", "Error: File does not exist"}));
    EXPECT_EQ(State().ActionLog[1], (vlt::LogEntry{"", "1", "note"}));
}

TEST_F(ActionList, CopyAroundCopiesTheRecommendedCopyOverEveryOtherOne) {
    modVLTProperties::Backup(false);
    modVLTWork::AddNow("2", "earlier", "");
    const Strings folders = {"C:\\A\\", "C:\\B\\", "c:\\a\\", "C:\\WINDOWS\\SYSTEM\\"};
    std::int32_t first = -7;
    std::int32_t last = -7;
    modVLTWork::CopyAround("C:\\A\\X.DLL", folders, first, last);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 2);
    EXPECT_EQ(Live()[1], (ActionEntry{"1", "C:\\A\\X.DLL", "C:\\B\\X.DLL"}));
    EXPECT_EQ(Live()[2], (ActionEntry{"1", "C:\\A\\X.DLL", "C:\\WINDOWS\\SYSTEM\\X.DLL"}));
}

TEST_F(ActionList, CopyToSystemDirMovesIntoTheSystemFolderAndDeletesTheRest) {
    modVLTProperties::Backup(false);
    const Strings folders = {"C:\\A\\", "C:\\WINDOWS\\SYSTEM\\", "C:\\B\\"};
    std::int32_t first = 0;
    std::int32_t last = 0;
    modVLTWork::CopyToSystemDir("C:\\A\\X.DLL", folders, first, last);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 2);
    // The moved copy is deleted once, by the move.
    EXPECT_EQ(Live(), (std::vector<ActionEntry>{
                          {"1", "C:\\A\\X.DLL", "C:\\WINDOWS\\SYSTEM\\X.DLL"},
                          {"2", "C:\\A\\X.DLL", ""},
                          {"2", "C:\\B\\X.DLL", ""},
                      }));

    State().ActionCount = 0;
    modVLTWork::CopyToSystemDir("c:\\windows\\system\\X.DLL", folders, first, last);
    EXPECT_EQ(Live(),
              (std::vector<ActionEntry>{{"2", "C:\\A\\X.DLL", ""}, {"2", "C:\\B\\X.DLL", ""}}));
    EXPECT_EQ(last - first + 1, 2);
}

TEST_F(ActionList, AFileReachedByTwoPathsIsNeitherDeletedNorOverwrittenByEither) {
    modVLTProperties::Backup(false);
    machine.Symlink("C:\\SYSLINK", machine.HostPath("C:\\WINDOWS\\SYSTEM"))
        .Symlink("C:\\ALIAS", machine.HostPath("C:\\A"));
    const Strings folders = {"C:\\A\\", "C:\\ALIAS\\", "C:\\B\\", "C:\\SYSLINK\\",
                             "C:\\WINDOWS\\SYSTEM\\"};
    std::int32_t first = 0;
    std::int32_t last = 0;
    modVLTWork::CopyAround("C:\\A\\X.DLL", folders, first, last);
    EXPECT_EQ(Live(), (std::vector<ActionEntry>{
                          {"1", "C:\\A\\X.DLL", "C:\\B\\X.DLL"},
                          {"1", "C:\\A\\X.DLL", "C:\\SYSLINK\\X.DLL"},
                      }))
        << "the system folder's file once, under its first path";

    // The copy moved into the system folder is not deleted again under the link's path, and
    // neither is the moved copy under its other path.
    State().ActionCount = 0;
    modVLTWork::CopyToSystemDir("C:\\A\\X.DLL", folders, first, last);
    EXPECT_EQ(Live(), (std::vector<ActionEntry>{
                          {"1", "C:\\A\\X.DLL", "C:\\WINDOWS\\SYSTEM\\X.DLL"},
                          {"2", "C:\\A\\X.DLL", ""},
                          {"2", "C:\\B\\X.DLL", ""},
                      }));
    // A recommended copy named through the link lies in the system folder already.
    State().ActionCount = 0;
    modVLTWork::CopyToSystemDir("C:\\SYSLINK\\X.DLL", folders, first, last);
    EXPECT_EQ(Live(),
              (std::vector<ActionEntry>{{"2", "C:\\A\\X.DLL", ""}, {"2", "C:\\B\\X.DLL", ""}}));

    // The last look before the restart is told: entries that would delete or overwrite the
    // kept file under another path (or copy a file onto itself) are refused and logged.
    State().ActionCount = 0;
    State().NextAction = 0;
    State().QueuingKeeps = "C:\\WINDOWS\\SYSTEM\\X.DLL";
    modVLTWork::AddNow("2", "C:\\SYSLINK\\X.DLL", "");
    modVLTWork::AddNow("1", "C:\\A\\X.DLL", "C:\\SYSLINK\\X.DLL");
    State().QueuingKeeps.clear();
    modVLTWork::AddNow("1", "C:\\A\\X.DLL", "C:\\ALIAS\\X.DLL");
    while (modVLTWork::DoNextAction()) {
    }
    EXPECT_FALSE(State().RestartNeeded);
    EXPECT_FALSE(machine.Exists("C:\\WINDOWS\\wininit.ini"));
    ASSERT_EQ(State().LogCount, 3);
    EXPECT_EQ(
        State().ActionLog[0],
        (vlt::LogEntry{"C:\\SYSLINK\\X.DLL", "2",
                       "Error: Not removed, it is the same file as C:\\WINDOWS\\SYSTEM\\X.DLL"}));
    EXPECT_EQ(State().ActionLog[1], (vlt::LogEntry{"C:\\SYSLINK\\X.DLL", "2",
                                                   "Error: Not overwritten, it is the same file as "
                                                   "C:\\WINDOWS\\SYSTEM\\X.DLL"}));
    EXPECT_EQ(State().ActionLog[2],
              (vlt::LogEntry{"C:\\ALIAS\\X.DLL", "2",
                             "Error: Not overwritten, it is the same file as C:\\A\\X.DLL"}));
}

TEST_F(ActionList, GroupRepairWithoutARecommendedFileQueuesNothing) {
    const Strings folders = {"C:\\A\\", "C:\\WINDOWS\\SYSTEM\\", "C:\\B\\"};
    for (const std::string recommended : {"", "?", "C:\\A\\", "X.DLL", "C:\\A\\?"}) {
        SCOPED_TRACE("\"" + recommended + "\"");
        std::int32_t first = 0;
        std::int32_t last = 0;
        modVLTWork::CopyAround(recommended, folders, first, last);
        EXPECT_EQ(last, first - 1);
        modVLTWork::CopyToSystemDir(recommended, folders, first, last);
        EXPECT_EQ(last, first - 1);
        EXPECT_EQ(State().ActionCount, 0);
    }
}

}  // namespace
