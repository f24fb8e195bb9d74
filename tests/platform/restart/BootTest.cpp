// The machine's start: wininit.ini (9x family) and the pending list (NT family) carried out in
// order, failures reported without stopping the rest, and both cleared afterwards.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/restart/Boot.h"
#include "platform/restart/BootProgress.h"
#include "platform/restart/RestartMoves.h"
#include "platform/restart/StartupMoves.h"
#include "platform/restart/Wininit.h"
#include "platform/win32/kernel32/Files.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"

namespace {

using win32::WininitRename;

struct ParseCase {
    const char* name;
    std::string text;
    std::vector<WininitRename> renames;
    std::vector<std::size_t> ignored;
};

TEST(WininitParse, RenameLinesAsTheStartReadsThem) {
    const ParseCase cases[] = {
        {"move and delete",
         "[Rename]\r\nC:\\WINDOWS\\SYSTEM\\A.DLL=C:\\TEMP\\A.TMP\r\nNUL=C:\\OLD.DLL\r\n",
         {{2, "C:\\TEMP\\A.TMP", "C:\\WINDOWS\\SYSTEM\\A.DLL"}, {3, "C:\\OLD.DLL", std::nullopt}},
         {}},
        {"header in any case with blanks, NUL in any case",
         "  [rEnAmE]\t\nnul=C:\\X\nNul = C:\\Y \n",
         {{2, "C:\\X", std::nullopt}, {3, "C:\\Y", std::nullopt}},
         {}},
        {"comments and blank lines skipped",
         "[Rename]\n; C:\\A=C:\\B\n\n   \nC:\\C=C:\\D\n",
         {{5, "C:\\D", "C:\\C"}},
         {}},
        {"other sections are not renames",
         "[Other]\nC:\\A=C:\\B\n[Rename]\nC:\\C=C:\\D\n[Later]\nC:\\E=C:\\F\n",
         {{4, "C:\\D", "C:\\C"}},
         {}},
        {"every rename section counts",
         "[Rename]\nC:\\A=C:\\B\n[X]\n[RENAME]\nNUL=C:\\C\n",
         {{2, "C:\\B", "C:\\A"}, {5, "C:\\C", std::nullopt}},
         {}},
        {"malformed lines are reported, not run",
         "[Rename]\nC:\\A\n=C:\\B\nC:\\C=\nC:\\D=C:\\E\n",
         {{5, "C:\\E", "C:\\D"}},
         {2, 3, 4}},
        {"old Mac line ends",
         "[Rename]\rNUL=C:\\A\rNUL=C:\\B",
         {{2, "C:\\A", std::nullopt}, {3, "C:\\B", std::nullopt}},
         {}},
        {"a header with text after it is another section", "[Rename] x\nNUL=C:\\A\n", {}, {}},
        {"Windows-1252 bytes",
         "[Rename]\nNUL=C:\\Caf\xE9.DLL\n",
         {{2, "C:\\Caf\xC3\xA9.DLL", std::nullopt}},
         {}},
        {"no section", "NUL=C:\\A\n", {}, {}},
        {"empty file", "", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = win32::ParseWininitRenames(c.text);
        EXPECT_EQ(parsed.renames, c.renames);
        EXPECT_EQ(parsed.ignoredLines, c.ignored);
    }
}

// What a finished operation looks like in the report, without the error text.
struct Outcome {
    std::string source;
    win32::DWORD error;
};

std::vector<Outcome> Outcomes(const win32::BootReport& report) {
    std::vector<Outcome> out;
    for (const auto& op : report.operations) {
        out.push_back({op.source, op.error});
    }
    return out;
}

void ExpectOutcomes(const win32::BootReport& report, const std::vector<Outcome>& expected) {
    const auto actual = Outcomes(report);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(actual[i].source, expected[i].source);
        EXPECT_EQ(actual[i].error, expected[i].error);
    }
}

TEST(Boot, NineXWininitRunsInOrderPastAFailure) {
    testsupport::MachineBuilder m;
    testsupport::SeedRegistry(m);
    m.File("C:\\WINDOWS\\TEMP\\VLT1.TMP", "new a")
        .File("C:\\WINDOWS\\SYSTEM\\A.DLL", "old a")
        .File("C:\\APPS\\B.DLL", "b")
        .File("C:\\WINDOWS\\TEMP\\VLT2.TMP", "new c")
        .File("C:\\WINDOWS\\wininit.bak", "last time")
        .File("C:\\WINDOWS\\wininit.ini",
              "[Rename]\r\n"
              "C:\\WINDOWS\\SYSTEM\\A.DLL=C:\\WINDOWS\\TEMP\\VLT1.TMP\r\n"
              "C:\\WINDOWS\\SYSTEM\\GONE.DLL=C:\\WINDOWS\\TEMP\\MISSING.TMP\r\n"
              "garbage\r\n"
              "nul=C:\\APPS\\B.DLL\r\n"
              "C:\\NOFOLDER\\C.DLL=C:\\WINDOWS\\TEMP\\VLT2.TMP\r\n"
              "C:\\WINDOWS\\SYSTEM\\C.DLL=C:\\WINDOWS\\TEMP\\VLT2.TMP\r\n");

    std::vector<std::string> printed;
    const auto report =
        win32::BootMachine([&](const std::string& line) { printed.push_back(line); });

    ExpectOutcomes(report, {{"C:\\WINDOWS\\TEMP\\VLT1.TMP", win32::ERROR_SUCCESS},
                            {"C:\\WINDOWS\\TEMP\\MISSING.TMP", win32::ERROR_FILE_NOT_FOUND},
                            {"C:\\APPS\\B.DLL", win32::ERROR_SUCCESS},
                            {"C:\\WINDOWS\\TEMP\\VLT2.TMP", win32::ERROR_PATH_NOT_FOUND},
                            {"C:\\WINDOWS\\TEMP\\VLT2.TMP", win32::ERROR_SUCCESS}});
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(printed, report.lines);
    EXPECT_EQ(
        report.lines[0],
        "wininit.ini line 2: move C:\\WINDOWS\\TEMP\\VLT1.TMP to C:\\WINDOWS\\SYSTEM\\A.DLL: done");
    EXPECT_EQ(report.lines[1],
              "wininit.ini line 3: move C:\\WINDOWS\\TEMP\\MISSING.TMP to "
              "C:\\WINDOWS\\SYSTEM\\GONE.DLL: failed (error 2, file not found)");
    EXPECT_EQ(report.lines[2], "wininit.ini line 4: not a rename line, left alone");
    EXPECT_EQ(report.lines.back(), "wininit.ini renamed to wininit.bak");

    EXPECT_EQ(m.Read("C:\\WINDOWS\\SYSTEM\\A.DLL"), "new a");
    EXPECT_FALSE(m.Exists("C:\\WINDOWS\\TEMP\\VLT1.TMP"));
    EXPECT_FALSE(m.Exists("C:\\APPS\\B.DLL"));
    EXPECT_EQ(m.Read("C:\\WINDOWS\\SYSTEM\\C.DLL"), "new c");
    EXPECT_FALSE(m.Exists("C:\\WINDOWS\\wininit.ini"));
    EXPECT_NE(m.Read("C:\\WINDOWS\\wininit.bak").find("VLT1.TMP"), std::string::npos);

    const auto again = win32::BootMachine();
    EXPECT_TRUE(again.operations.empty());
    EXPECT_FALSE(again.failed);
    EXPECT_EQ(again.lines, std::vector<std::string>{"nothing to carry out"});
}

TEST(Boot, NtPendingListRunsInOrderPastAFailure) {
    testsupport::MachineBuilder m;
    m.Platform(machine::Platform::NT);
    testsupport::SeedRegistry(m);
    m.File("C:\\WINDOWS\\TEMP\\VLT1.TMP", "new a")
        .File("C:\\WINDOWS\\SYSTEM32\\A.DLL", "old a")
        .File("C:\\X\\KEEP.TMP", "keep")
        .File("C:\\X\\KEEP.DLL", "present")
        .File("C:\\OLD\\B.DLL", "b")
        .Folder("C:\\EMPTY");
    const win32::DWORD delay = win32::MOVEFILE_DELAY_UNTIL_REBOOT;
    ASSERT_TRUE(win32::MoveFileExA("C:\\WINDOWS\\TEMP\\VLT1.TMP", "C:\\WINDOWS\\SYSTEM32\\A.DLL",
                                   delay | win32::MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(win32::MoveFileExA("C:\\X\\KEEP.TMP", "C:\\X\\KEEP.DLL", delay));
    ASSERT_TRUE(win32::MoveFileExA("C:\\GONE\\C.DLL", std::nullopt, delay));
    ASSERT_TRUE(win32::MoveFileExA("C:\\OLD\\B.DLL", std::nullopt, delay));
    ASSERT_TRUE(win32::MoveFileExA("C:\\EMPTY", std::nullopt, delay));

    const auto report = win32::BootMachine();
    ExpectOutcomes(report, {{"C:\\WINDOWS\\TEMP\\VLT1.TMP", win32::ERROR_SUCCESS},
                            {"C:\\X\\KEEP.TMP", win32::ERROR_ALREADY_EXISTS},
                            {"C:\\GONE\\C.DLL", win32::ERROR_PATH_NOT_FOUND},
                            {"C:\\OLD\\B.DLL", win32::ERROR_SUCCESS},
                            {"C:\\EMPTY", win32::ERROR_SUCCESS}});
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(report.lines[0],
              "pending operation 1: move C:\\WINDOWS\\TEMP\\VLT1.TMP to "
              "C:\\WINDOWS\\SYSTEM32\\A.DLL (replacing it): done");
    EXPECT_EQ(report.lines[3], "pending operation 4: delete C:\\OLD\\B.DLL: done");
    EXPECT_EQ(report.lines.back(), "PendingFileRenameOperations cleared");

    EXPECT_EQ(m.Read("C:\\WINDOWS\\SYSTEM32\\A.DLL"), "new a");
    EXPECT_EQ(m.Read("C:\\X\\KEEP.DLL"), "present");
    EXPECT_EQ(m.Read("C:\\X\\KEEP.TMP"), "keep");
    EXPECT_FALSE(m.Exists("C:\\OLD\\B.DLL"));
    EXPECT_FALSE(m.Exists("C:\\EMPTY"));
    const auto rest = win32::ReadPendingRenames();
    ASSERT_TRUE(rest);
    EXPECT_TRUE(rest->empty());
}

TEST(Boot, WininitComesBeforeThePendingList) {
    testsupport::MachineBuilder m;
    m.Platform(machine::Platform::NT);
    testsupport::SeedRegistry(m);
    m.File("C:\\A.TMP", "a").File("C:\\WINDOWS\\wininit.ini", "[Rename]\nC:\\B.DLL=C:\\A.TMP\n");
    // Only finds its source if wininit.ini ran first.
    ASSERT_TRUE(win32::MoveFileExA("C:\\B.DLL", "C:\\C.DLL", win32::MOVEFILE_DELAY_UNTIL_REBOOT));

    const auto report = win32::BootMachine();
    EXPECT_FALSE(report.failed);
    ASSERT_EQ(report.operations.size(), 2u);
    EXPECT_EQ(report.operations[0].from, win32::BootOperation::From::Wininit);
    EXPECT_EQ(report.operations[1].from, win32::BootOperation::From::PendingList);
    EXPECT_EQ(m.Read("C:\\C.DLL"), "a");
}

TEST(Boot, ReadOnlyTargetsAndFoldersWithContentFail) {
    testsupport::MachineBuilder m;
    testsupport::SeedRegistry(m);
    m.File("C:\\NEW.TMP", "new")
        .File("C:\\RO.DLL", "old")
        .File("C:\\FULL\\F.TXT", "f")
        .File("C:\\WINDOWS\\wininit.ini", "[Rename]\nC:\\RO.DLL=C:\\NEW.TMP\nNUL=C:\\FULL\n");
    ASSERT_EQ(::chmod(m.HostPath("C:\\RO.DLL").c_str(), 0444), 0);

    const auto report = win32::BootMachine();
    ExpectOutcomes(report, {{"C:\\NEW.TMP", win32::ERROR_ACCESS_DENIED},
                            {"C:\\FULL", win32::ERROR_DIR_NOT_EMPTY}});
    EXPECT_EQ(m.Read("C:\\RO.DLL"), "old");
    EXPECT_TRUE(m.Exists("C:\\FULL\\F.TXT"));
    EXPECT_FALSE(m.Exists("C:\\WINDOWS\\wininit.ini"));
}

}  // namespace

namespace {

// What the start will do, read beforehand without doing it, in the start's order.
TEST(ScheduledStartupMoves, ListWhatTheStartWillDoWithoutDoingIt) {
    testsupport::MachineBuilder m;
    m.Platform(machine::Platform::NT);
    testsupport::SeedRegistry(m);
    EXPECT_EQ(win32::ScheduledStartupMoves().value_or(std::vector<win32::BootOperation>{1}).size(),
              0u);
    m.File("C:\\A.TMP", "a")
        .File("C:\\WINDOWS\\wininit.ini", "[Rename]\nC:\\B.DLL=C:\\A.TMP\nNUL=C:\\OLD.DLL\n");
    ASSERT_TRUE(win32::MoveFileExA("C:\\B.DLL", "C:\\C.DLL", win32::MOVEFILE_DELAY_UNTIL_REBOOT));
    const auto moves = win32::ScheduledStartupMoves();
    ASSERT_TRUE(moves);
    ASSERT_EQ(moves->size(), 3u);
    EXPECT_EQ((*moves)[0].source, "C:\\A.TMP");
    EXPECT_EQ((*moves)[0].target, "C:\\B.DLL");
    EXPECT_EQ((*moves)[1].target, std::nullopt);
    EXPECT_EQ((*moves)[2].from, win32::BootOperation::From::PendingList);
    EXPECT_EQ((*moves)[2].source, "C:\\B.DLL");
    EXPECT_EQ((*moves)[2].target, "C:\\C.DLL");
    EXPECT_TRUE(m.Exists("C:\\A.TMP"));
    EXPECT_TRUE(m.Exists("C:\\WINDOWS\\wininit.ini"));

    // A wininit.ini that cannot be read (here a folder of that name) is no empty list.
    std::filesystem::remove(m.HostPath("C:\\WINDOWS\\wininit.ini"));
    m.Folder("C:\\WINDOWS\\wininit.ini");
    EXPECT_FALSE(win32::ScheduledStartupMoves());
}

// The start, run in a child process that is killed right after it reported `lines` lines (as
// a start killed between two operations is); false when it ended by itself.
bool BootKilledAfter(std::size_t lines) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::size_t printed = 0;
        win32::BootMachine([&](const std::string&) {
            if (++printed == lines) {
                ::kill(::getpid(), SIGKILL);
            }
        });
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status);
}

// A machine whose restart list holds a copy, a removal, a copy from a file that is gone and
// another copy.
struct ResumeMachine {
    explicit ResumeMachine(machine::Platform platform) : nt(platform == machine::Platform::NT) {
        m.Platform(platform);
        testsupport::SeedRegistry(m);
        m.File("C:\\WINDOWS\\TEMP\\VLT1.TMP", "new a")
            .File("C:\\A.DLL", "old a")
            .File("C:\\B.DLL", "b")
            .File("C:\\WINDOWS\\TEMP\\VLT3.TMP", "new c")
            .File("C:\\C.DLL", "old c");
        const std::vector<std::pair<std::string, std::string>> operations = {
            {"C:\\WINDOWS\\TEMP\\VLT1.TMP", "C:\\A.DLL"},
            {"C:\\B.DLL", ""},
            {"C:\\WINDOWS\\TEMP\\MISSING.TMP", "C:\\X.DLL"},
            {"C:\\WINDOWS\\TEMP\\VLT3.TMP", "C:\\C.DLL"},
        };
        std::string wininit = "[Rename]\r\n";
        for (const auto& [source, target] : operations) {
            if (nt) {
                win32::MoveFileExA(
                    source, target.empty() ? std::nullopt : std::optional<std::string_view>(target),
                    win32::MOVEFILE_DELAY_UNTIL_REBOOT | win32::MOVEFILE_REPLACE_EXISTING);
            } else {
                wininit += (target.empty() ? std::string("NUL") : target) + "=" + source + "\r\n";
            }
        }
        if (!nt) {
            m.File("C:\\WINDOWS\\wininit.ini", wininit);
        }
    }
    // What the user finds once every operation is through, however many starts it took.
    void ExpectAllDone() const {
        EXPECT_EQ(m.Read("C:\\A.DLL"), "new a");
        EXPECT_FALSE(m.Exists("C:\\B.DLL"));
        EXPECT_EQ(m.Read("C:\\C.DLL"), "new c");
        EXPECT_FALSE(m.Exists("C:\\WINDOWS\\wininit.ini"));
        EXPECT_TRUE(win32::ReadPendingRenames()->empty());
        EXPECT_FALSE(std::filesystem::exists(m.folder() / "boot.progress"));
    }

    bool nt;
    testsupport::MachineBuilder m;
};

class BootResume : public ::testing::TestWithParam<machine::Platform> {};

// Killed after any number of operations, the next start carries out only what is left and
// reports as failed only the one operation that fails by itself.
TEST_P(BootResume, AStartCutShortGoesOnWhereItStopped) {
    for (std::size_t done = 1; done <= 4; ++done) {
        SCOPED_TRACE(done);
        ResumeMachine machine(GetParam());
        ASSERT_TRUE(BootKilledAfter(done));
        std::vector<std::string> printed;
        const auto report =
            win32::BootMachine([&](const std::string& line) { printed.push_back(line); });
        ASSERT_EQ(report.operations.size(), 4 - done) << ::testing::PrintToString(printed);
        for (const auto& op : report.operations) {
            EXPECT_EQ(op.succeeded(), op.source != "C:\\WINDOWS\\TEMP\\MISSING.TMP")
                << op.Describe();
        }
        EXPECT_EQ(report.failed, done < 3);
        EXPECT_NE(printed.front().find("the first " + std::to_string(done) +
                                       " operations were carried out by a start that was cut "
                                       "short"),
                  std::string::npos)
            << printed.front();
        machine.ExpectAllDone();
    }
}

// The operation a start was in the middle of when it was cut short: done when its source is
// gone and its target there, else carried out now; a record that no longer matches the list
// counts for nothing.
TEST_P(BootResume, TheOperationInHandAndARecordThatNoLongerMatches) {
    const struct {
        const char* what;
        bool copyHappened;
        std::uint64_t hash;  // 0: the hash of the first operation
        const char* says;
    } cases[] = {
        {"the copy had happened", true, 0, "move C:\\WINDOWS\\TEMP\\VLT1.TMP to C:\\A.DLL"},
        {"the copy had not happened", false, 0, "move C:\\WINDOWS\\TEMP\\VLT1.TMP to C:\\A.DLL"},
        {"the list changed since", false, 42,
         "is not the one a start that was cut short worked on"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResumeMachine machine(GetParam());
        if (c.copyHappened) {
            std::filesystem::rename(machine.m.HostPath("C:\\WINDOWS\\TEMP\\VLT1.TMP"),
                                    machine.m.HostPath("C:\\A.DLL"));
        }
        {
            win32::BootProgress progress(machine.m.folder() / "boot.progress");
            ASSERT_EQ(progress.error(), 0);
            // The first operation was begun and never recorded as done.
            progress.Put(machine.nt ? win32::BootProgress::List::Pending
                                    : win32::BootProgress::List::Wininit,
                         {0, c.hash == 0 ? win32::BootProgress::kStartHash : c.hash, c.hash == 0});
            if (c.hash != 0) {
                progress.Put(machine.nt ? win32::BootProgress::List::Pending
                                        : win32::BootProgress::List::Wininit,
                             {1, c.hash, false});
            }
        }
        std::vector<std::string> printed;
        const auto report =
            win32::BootMachine([&](const std::string& line) { printed.push_back(line); });
        ASSERT_EQ(report.operations.size(), 4u);
        EXPECT_TRUE(report.operations[0].succeeded());
        EXPECT_EQ(report.operations[0].earlier, c.copyHappened);
        std::string all;
        for (const std::string& line : printed) {
            all += line + "\n";
        }
        EXPECT_NE(all.find(c.says), std::string::npos) << all;
        if (c.copyHappened) {
            EXPECT_NE(all.find("done by the start that was cut short"), std::string::npos) << all;
        }
        machine.ExpectAllDone();
    }
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, BootResume,
                         ::testing::Values(machine::Platform::Win9x, machine::Platform::NT));

}  // namespace
