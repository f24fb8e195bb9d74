// File and shell operations: restart-time moves (wininit.ini and the NT list), the Recycle
// Bin, path pieces, shortcuts, recent documents, INI values and the save prompt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/file/RestartList.h"
#include "controls/file/WininitWriter.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/restart/Boot.h"
#include "platform/restart/RestartMoves.h"
#include "platform/restart/Wininit.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/Profile.h"
#include "platform/win32/shell32/Shell.h"
#include "platform/win32/shell32/SpecialFolders.h"
#include "platform/win32/shell32/WshShell.h"
#include "tests/controls/file/FileTestSupport.h"
#include "tests/support/RegistrySeed.h"

namespace {

using filetest::FileTest;
using Qz_File::AddRenameLine;

constexpr const char* kLine = "C:\\WINDOWS\\SYSTEM\\A.DLL=C:\\TEMP\\A.DLL";

std::int32_t ErrorOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const automation::Error& e) {
        return e.Number();
    }
    return 0;
}

TEST(WininitWriter, TheLineGoesToTheEndOfTheRenameSectionAndNothingIsLost) {
    const struct {
        const char* what;
        std::string before;
        std::string after;
    } cases[] = {
        {"no file", "", std::string("[Rename]\r\n") + kLine + "\r\n"},
        {"the section in the middle, closed by a blank line",
         "[Rename]\r\nNUL=C:\\OLD.TMP\r\n\r\n[Other]\r\nx=1\r\n",
         std::string("[Rename]\r\nNUL=C:\\OLD.TMP\r\n\r\n") + kLine + "\r\n[Other]\r\nx=1\r\n"},
        {"the section last", "[Other]\r\nx=1\r\n[Rename]\r\nNUL=C:\\OLD.TMP\r\n",
         std::string("[Other]\r\nx=1\r\n[Rename]\r\nNUL=C:\\OLD.TMP\r\n") + kLine + "\r\n"},
        {"no section", "[Other]\r\nx=1\r\n",
         std::string("[Other]\r\nx=1\r\n[Rename]\r\n") + kLine + "\r\n"},
        {"a lower-case header with blanks", "  [rename]  \r\nNUL=C:\\OLD.TMP\r\n [x]\r\n",
         std::string("  [rename]  \r\nNUL=C:\\OLD.TMP\r\n") + kLine + "\r\n [x]\r\n"},
        {"a header between tabs, a section header after tabs", "\t[RENAME]\t\r\n\t[x]\r\n",
         std::string("\t[RENAME]\t\r\n") + kLine + "\r\n\t[x]\r\n"},
        {"line ends of any kind come out as CR LF", "[Rename]\nNUL=C:\\OLD.TMP\r[x]\ny=2",
         std::string("[Rename]\r\nNUL=C:\\OLD.TMP\r\n") + kLine + "\r\n[x]\r\ny=2\r\n"},
        {"a name that only starts like the header", "[Renamed]\r\n",
         std::string("[Renamed]\r\n[Rename]\r\n") + kLine + "\r\n"},
        {"an identical line is added again", std::string("[Rename]\r\n") + kLine + "\r\n",
         std::string("[Rename]\r\n") + kLine + "\r\n" + kLine + "\r\n"},
        // Once, in the last section: a copy in each would be carried out twice.
        {"two rename sections get the line once, in the last",
         "[Rename]\r\nNUL=C:\\A.TMP\r\n[x]\r\n[Rename]\r\nNUL=C:\\B.TMP\r\n\r\n[y]\r\n",
         std::string("[Rename]\r\nNUL=C:\\A.TMP\r\n[x]\r\n[Rename]\r\nNUL=C:\\B.TMP\r\n\r\n") +
             kLine + "\r\n[y]\r\n"},
        {"Windows-1252 text is kept as its characters", "[x]\r\nname=caf\xE9\r\n",
         std::string("[x]\r\nname=caf\xC3\xA9\r\n[Rename]\r\n") + kLine + "\r\n"},
        // Two marks: the text begins with U+FEFF, which the next read must find again.
        {"a text that begins with a byte-order mark keeps it", "\xEF\xBB\xBF\xEF\xBB\xBF",
         std::string("\xEF\xBB\xBF\xEF\xBB\xBF\r\n[Rename]\r\n") + kLine + "\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AddRenameLine(c.before, kLine), c.after) << c.what;
        // What the machine's start reads from the result: the new line, as its last rename.
        const auto renames = win32::ParseWininitRenames(c.after).renames;
        ASSERT_FALSE(renames.empty()) << c.what;
        EXPECT_EQ(renames.back().source, "C:\\TEMP\\A.DLL") << c.what;
    }
    EXPECT_EQ(Qz_File::RenameLine("C:\\TEMP\\A.DLL", "C:\\W\\A.DLL"),
              "C:\\W\\A.DLL=C:\\TEMP\\A.DLL");
    EXPECT_EQ(Qz_File::RenameLine("C:\\TEMP\\A.DLL", ""), "NUL=C:\\TEMP\\A.DLL");
}

TEST_F(FileTest, MoveOnRestartOnThe9xFamilyWritesWininit) {
    const auto result = file.MoveOnRestart("C:\\TEMP\\A.DLL", "C:\\WINDOWS\\SYSTEM\\A.DLL");
    EXPECT_TRUE(result.IsEmpty());
    EXPECT_EQ(machine.Read("C:\\WINDOWS\\wininit.ini"),
              std::string("[Rename]\r\n") + kLine + "\r\n");

    machine.File("C:\\WINDOWS\\wininit.ini", "[Rename]\r\nNUL=C:\\OLD.TMP\r\n[Other]\r\nx=1\r\n");
    file.MoveOnRestart("C:\\TEMP\\B.TMP", "");
    EXPECT_EQ(machine.Read("C:\\WINDOWS\\wininit.ini"),
              "[Rename]\r\nNUL=C:\\OLD.TMP\r\nNUL=C:\\TEMP\\B.TMP\r\n[Other]\r\nx=1\r\n");
    // Replaced in one step: nothing beside it is left behind.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(machine.HostPath("C:\\WINDOWS"))) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"SYSTEM", "TEMP", "wininit.ini"}));
}

TEST_F(FileTest, MoveOnRestartIsCarriedOutAtTheNextStart) {
    testsupport::SeedRegistry(machine);
    for (const auto platform : {machine::Platform::Win9x, machine::Platform::NT}) {
        machine.Platform(platform);
        machine.File("C:\\TEMP\\NEW.DLL", "new").File("C:\\WINDOWS\\SYSTEM\\A.DLL", "old");
        machine.File("C:\\TEMP\\GONE.TMP", "x");
        file.MoveOnRestart("C:\\TEMP\\NEW.DLL", "C:\\WINDOWS\\SYSTEM\\A.DLL");
        file.MoveOnRestart("C:\\TEMP\\GONE.TMP", "");
        EXPECT_EQ(machine.Exists("C:\\WINDOWS\\wininit.ini"), platform == machine::Platform::Win9x);
        const auto report = win32::BootMachine();
        EXPECT_FALSE(report.failed);
        EXPECT_EQ(machine.Read("C:\\WINDOWS\\SYSTEM\\A.DLL"), "new");
        EXPECT_FALSE(machine.Exists("C:\\TEMP\\GONE.TMP"));
    }
}

TEST_F(FileTest, CancelMoveOnRestartTakesBackOnlyTheMatchingMoveAndWaitingMovesAreNotOurs) {
    testsupport::SeedRegistry(machine);
    using Move = std::pair<std::string, std::string>;
    for (const auto platform : {machine::Platform::Win9x, machine::Platform::NT}) {
        SCOPED_TRACE(platform == machine::Platform::NT ? "NT" : "9x");
        machine.Platform(platform);
        const bool nt = platform == machine::Platform::NT;
        const auto waiting = [&] {
            std::vector<Move> moves;
            if (nt) {
                const auto list = win32::ReadPendingRenames();
                for (const auto& entry : list ? *list : std::vector<win32::PendingRename>{}) {
                    moves.emplace_back(entry.source, entry.target.value_or(""));
                }
            } else {
                for (const auto& line :
                     win32::ParseWininitRenames(machine.Read("C:\\WINDOWS\\wininit.ini")).renames) {
                    moves.emplace_back(line.source, line.target.value_or(""));
                }
            }
            return moves;
        };
        machine.Folder("C:\\WINDOWS\\SYSTEM");
        file.MoveOnRestart("C:\\TEMP\\B.TMP", "");  // another program's
        file.MoveOnRestart("C:\\TEMP\\NEW.DLL", "C:\\WINDOWS\\SYSTEM\\A.DLL");
        // Ours would add nothing, so it is not ours to take back.
        EXPECT_TRUE(file.MoveWaitsOnRestart("C:\\TEMP\\B.TMP", ""));
        EXPECT_FALSE(file.MoveWaitsOnRestart("C:\\TEMP\\C.TMP", ""));
        file.MoveOnRestart("C:\\TEMP\\B.TMP", "");
        file.MoveOnRestart("C:\\TEMP\\C.TMP", "");
        EXPECT_EQ(waiting(), (std::vector<Move>{{"C:\\TEMP\\B.TMP", ""},
                                                {"C:\\TEMP\\NEW.DLL", "C:\\WINDOWS\\SYSTEM\\A.DLL"},
                                                {"C:\\TEMP\\C.TMP", ""}}));
        EXPECT_TRUE(file.CancelMoveOnRestart("c:\\temp\\new.dll", "C:\\WINDOWS\\system\\A.DLL"));
        EXPECT_FALSE(file.CancelMoveOnRestart("C:\\TEMP\\NEW.DLL", "C:\\WINDOWS\\SYSTEM\\A.DLL"));
        EXPECT_FALSE(file.CancelMoveOnRestart("C:\\TEMP\\C.TMP", "C:\\C.DLL"));
        EXPECT_TRUE(file.CancelMoveOnRestart("C:\\TEMP\\C.TMP", ""));
        EXPECT_EQ(waiting(), (std::vector<Move>{{"C:\\TEMP\\B.TMP", ""}}));
        EXPECT_FALSE(file.CancelMoveOnRestart("C:\\TEMP\\C.TMP", ""));
        EXPECT_TRUE(file.CancelMoveOnRestart("C:\\TEMP\\B.TMP", ""));
        EXPECT_TRUE(waiting().empty());
        EXPECT_FALSE(file.CancelMoveOnRestart("C:\\TEMP\\B.TMP", ""));
    }
}

TEST_F(FileTest, MoveOnRestartOnNTGoesToTheSystemList) {
    machine.Platform(machine::Platform::NT);
    testsupport::SeedRegistry(machine);
    file.MoveOnRestart("C:\\TEMP\\A.DLL", "C:\\WINDOWS\\SYSTEM32\\A.DLL");
    file.MoveOnRestart("C:\\TEMP\\B.TMP", "");
    const auto list = win32::ReadPendingRenames();
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<win32::PendingRename>{
                         {"C:\\TEMP\\A.DLL", "C:\\WINDOWS\\SYSTEM32\\A.DLL", true},
                         {"C:\\TEMP\\B.TMP", std::nullopt, false}}));
}

TEST_F(FileTest, MoveOnRestartOnNTFailsLoudlyWhenTheSystemRefusesTheEntry) {
    machine.Platform(machine::Platform::NT);
    testsupport::SeedRegistry(machine);
    file.MoveOnRestart("C:\\TEMP\\A.DLL", "");
    // Without the system's restart list every delayed move is refused.
    const auto installed = win32::detail::SetRestartMoveHandler(nullptr);
    const auto error = ErrorOf([&] { file.MoveOnRestart("C:\\TEMP\\B.DLL", ""); });
    win32::detail::SetRestartMoveHandler(installed);
    EXPECT_NE(error, 0);
    const auto list = win32::ReadPendingRenames();
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<win32::PendingRename>{{"C:\\TEMP\\A.DLL", std::nullopt, false}}));
}

TEST_F(FileTest, MoveOnRestartFailsLoudlyAndKeepsTheFileWhenItCannotWrite) {
    SKIP_WITHOUT_XATTRS();
    const std::string before = "[Rename]\r\nNUL=C:\\OLD.TMP\r\n";
    machine.File("C:\\WINDOWS\\wininit.ini", before).Attributes("C:\\WINDOWS\\wininit.ini", 1);
    EXPECT_EQ(ErrorOf([&] { file.MoveOnRestart("C:\\TEMP\\A.DLL", ""); }),
              automation::PermissionDenied);
    EXPECT_EQ(machine.Read("C:\\WINDOWS\\wininit.ini"), before);
}

// An operation waiting already (the last one for its source and target) is not added again,
// on either family; one that something scheduled after it undoes is.
TEST_F(FileTest, MoveOnRestartAddsAWaitingOperationOnce) {
    testsupport::SeedRegistry(machine);
    using Ops = std::vector<std::pair<std::string, std::string>>;
    const struct {
        const char* what;
        Ops calls;
        std::size_t kept;
    } cases[] = {
        {"the same removal twice", {{"C:\\OLD.DLL", ""}, {"c:\\old.dll", ""}}, 1},
        {"the same move twice", {{"C:\\T\\A.TMP", "C:\\A.DLL"}, {"C:\\T\\A.TMP", "C:\\A.DLL"}}, 1},
        {"a removal, a copy onto it, the removal again",
         {{"C:\\A.DLL", ""}, {"C:\\T\\A.TMP", "C:\\A.DLL"}, {"C:\\A.DLL", ""}},
         3},
        {"two copies onto one target",
         {{"C:\\T\\1.TMP", "C:\\A.DLL"}, {"C:\\T\\2.TMP", "C:\\A.DLL"}},
         2},
    };
    for (const auto platform : {machine::Platform::Win9x, machine::Platform::NT}) {
        machine.Platform(platform);
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            std::filesystem::remove(machine.HostPath("C:\\WINDOWS\\wininit.ini"));
            win32::RemovePendingRenames(*win32::ReadPendingRenames());
            for (const auto& [source, target] : c.calls) {
                file.MoveOnRestart(source, target);
            }
            const std::size_t waiting =
                platform == machine::Platform::NT
                    ? win32::ReadPendingRenames()->size()
                    : win32::ParseWininitRenames(machine.Read("C:\\WINDOWS\\wininit.ini"))
                          .renames.size();
            EXPECT_EQ(waiting, c.kept);
        }
    }
}

// A copy of the same bytes onto the same target, still waiting, is found; one that no longer
// holds them, or that a later operation undoes, is not.
TEST_F(FileTest, CopyPendingOnRestartFindsAWaitingCopyOfTheSameBytes) {
    machine.File("C:\\APP\\A.DLL", "new").File("C:\\WINDOWS\\TEMP\\VLT1.TMP", "new");
    machine.File("C:\\WINDOWS\\SYSTEM\\A.DLL", "old");
    const std::string target = "C:\\WINDOWS\\SYSTEM\\A.DLL";
    EXPECT_FALSE(file.CopyPendingOnRestart("C:\\APP\\A.DLL", target));
    file.MoveOnRestart("C:\\WINDOWS\\TEMP\\VLT1.TMP", target);
    EXPECT_TRUE(file.CopyPendingOnRestart("C:\\APP\\A.DLL", target));
    machine.File("C:\\APP\\A.DLL", "newer");
    EXPECT_FALSE(file.CopyPendingOnRestart("C:\\APP\\A.DLL", target));
    machine.File("C:\\APP\\A.DLL", "new");
    file.MoveOnRestart(target, "");
    EXPECT_FALSE(file.CopyPendingOnRestart("C:\\APP\\A.DLL", target));
}

// wininit.ini splits a line at its first "=": a target holding one goes in by its short form,
// which the start reads back as that very file; a new file of such a name cannot go in.
TEST_F(FileTest, ATargetHoldingAnEqualsSignIsWrittenInAFormTheStartReadsBack) {
    testsupport::SeedRegistry(machine);
    machine.File("C:\\A=B\\R.DLL", "old").File("C:\\WINDOWS\\TEMP\\VLT1.TMP", "new");
    EXPECT_TRUE(file.CanScheduleTarget("C:\\A=B\\R.DLL"));
    file.MoveOnRestart("C:\\WINDOWS\\TEMP\\VLT1.TMP", "C:\\A=B\\R.DLL");
    const auto renames =
        win32::ParseWininitRenames(machine.Read("C:\\WINDOWS\\wininit.ini")).renames;
    ASSERT_EQ(renames.size(), 1u);
    EXPECT_EQ(renames[0].target, "C:\\A_B~1\\R.DLL");
    EXPECT_EQ(renames[0].source, "C:\\WINDOWS\\TEMP\\VLT1.TMP");

    EXPECT_FALSE(file.CanScheduleTarget("C:\\A=B\\NEW=1.DLL"));
    EXPECT_EQ(
        ErrorOf([&] { file.MoveOnRestart("C:\\WINDOWS\\TEMP\\VLT1.TMP", "C:\\A=B\\NEW=1.DLL"); }),
        automation::BadFileNameOrNumber);
    EXPECT_EQ(win32::ParseWininitRenames(machine.Read("C:\\WINDOWS\\wininit.ini")).renames.size(),
              1u);

    EXPECT_FALSE(win32::BootMachine().failed);
    EXPECT_EQ(machine.Read("C:\\A=B\\R.DLL"), "new");
}

TEST_F(FileTest, FileExistsReportsFilesAndOnlyFoldersWithMoreThanTheFolderBit) {
    SKIP_WITHOUT_XATTRS();
    machine.File("C:\\A.DLL")
        .File("C:\\H.DLL")
        .Attributes("C:\\H.DLL", 2 | 4)
        .Folder("C:\\PLAIN")
        .Folder("C:\\RO")
        .Attributes("C:\\RO", 1)
        .Folder("C:\\HID")
        .Attributes("C:\\HID", 2);
    const struct {
        const char* path;
        bool exists;
    } cases[] = {
        {"C:\\A.DLL", true},        {"c:\\a.dll", true},  {"C:\\H.DLL", true},
        {"C:\\MISSING.DLL", false}, {"C:\\PLAIN", false}, {"C:\\RO", true},
        {"C:\\HID", true},          {"", false},          {"C:\\A.DLL\\X", false},
        {"Q:\\A.DLL", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(file.FileExists(c.path), c.exists) << c.path;
    }
}

TEST(PathPieces, GrabFilenamePathAndNameWithoutExtension) {
    Qz_File::QzFile file;
    const struct {
        const char* path;
        const char* name;
        const char* folder;
        const char* noExt;
    } cases[] = {
        {"C:\\A\\B.DLL", "B.DLL", "C:\\A\\", "B"},
        {"B.DLL", "B.DLL", "", "B"},
        {"C:\\A\\archive.tar.gz", "archive.tar.gz", "C:\\A\\", "archive.tar"},
        {"C:\\X\\.profile", ".profile", "C:\\X\\", ""},
        {"C:\\X.Y\\README", "README", "C:\\X.Y\\", "README"},
        {"C:\\X\\a.", "a.", "C:\\X\\", "a"},
        {"C:\\X\\", "", "C:\\X\\", ""},
        {"", "", "", ""},
        {"C:\\\xC3\xA9t\xC3\xA9.txt", "\xC3\xA9t\xC3\xA9.txt", "C:\\", "\xC3\xA9t\xC3\xA9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(file.GrabFilename(c.path), c.name) << c.path;
        EXPECT_EQ(file.GrabFilePath(c.path), c.folder) << c.path;
        EXPECT_EQ(file.GrabFileNameNoExt(c.path), c.noExt) << c.path;
    }
}

class ShellTest : public FileTest {
  protected:
    void SetUp() override {
        FileTest::SetUp();
        const char* old = std::getenv("XDG_DATA_HOME");
        oldXdg_ = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("XDG_DATA_HOME", (machine.folder() / "xdg").c_str(), 1);
    }
    void TearDown() override {
        if (oldXdg_) {
            ::setenv("XDG_DATA_HOME", oldXdg_->c_str(), 1);
        } else {
            ::unsetenv("XDG_DATA_HOME");
        }
        FileTest::TearDown();
    }
    std::size_t TrashedFiles() const {
        const auto files = machine.folder() / "xdg" / "Trash" / "files";
        if (!std::filesystem::exists(files)) {
            return 0;
        }
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(files),
                                                      std::filesystem::directory_iterator()));
    }

    std::shared_ptr<dialogs::ScriptedDialogs> boxes = std::make_shared<dialogs::ScriptedDialogs>();
    dialogs::ScopedBackend backend{boxes};

  private:
    std::optional<std::string> oldXdg_;
};

TEST_F(ShellTest, RecycleSendsFilesAndPatternsToTheTrashAfterTheShellAsks) {
    machine.File("C:\\A.DLL").File("C:\\BACKUP\\1.backup").File("C:\\BACKUP\\2.backup");

    EXPECT_TRUE(file.Recycle("C:\\MISSING.DLL"));
    EXPECT_TRUE(boxes->History().empty()) << "nothing to do is no question";

    boxes->AnswerMsgBox(dialogs::vbNo);
    EXPECT_FALSE(file.Recycle("C:\\A.DLL"));
    EXPECT_TRUE(machine.Exists("C:\\A.DLL"));

    boxes->AnswerMsgBox(dialogs::vbYes);
    EXPECT_TRUE(file.Recycle("C:\\A.DLL"));
    EXPECT_FALSE(machine.Exists("C:\\A.DLL"));

    boxes->AnswerMsgBox(dialogs::vbYes);
    EXPECT_TRUE(file.Recycle("C:\\BACKUP\\*.*"));
    EXPECT_FALSE(machine.Exists("C:\\BACKUP\\1.backup"));
    EXPECT_FALSE(machine.Exists("C:\\BACKUP\\2.backup"));
    EXPECT_EQ(boxes->MsgBoxes().size(), 3u) << "one question per operation";
    EXPECT_EQ(TrashedFiles(), 3u);

    EXPECT_TRUE(file.EmptyRecycleBin("", Qz_File::SHERB_NOCONFIRMATION));
    EXPECT_EQ(TrashedFiles(), 0u);
    EXPECT_FALSE(file.EmptyRecycleBin("Q:\\", Qz_File::SHERB_NOCONFIRMATION))
        << "not a drive of the machine";
}

TEST_F(ShellTest, CreateShortcutWritesARealShortcut) {
    machine.File("C:\\APPS\\TOOL.EXE").Folder("C:\\X");
    ASSERT_TRUE(file.CreateShortcut("C:\\X\\Tool", "The tool", "C:\\APPS\\TOOL.EXE"));
    ASSERT_TRUE(machine.Exists("C:\\X\\Tool.lnk"));
    const auto shell = automation::CreateObjectAs<win32::WshShell>("WScript.Shell");
    auto link =
        std::dynamic_pointer_cast<win32::WshShortcut>(shell->CreateShortcut("C:\\X\\Tool.lnk"));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->TargetPath(), "C:\\APPS\\TOOL.EXE");
    EXPECT_EQ(link->Description(), "The tool");
    EXPECT_EQ(link->IconLocation(), "C:\\APPS\\TOOL.EXE,1");
    EXPECT_EQ(link->WindowStyle(), 3);
    EXPECT_EQ(link->WorkingDirectory(), "C:\\APPS");
    EXPECT_EQ(link->Arguments(), "");

    ASSERT_TRUE(file.CreateShortcut("C:\\X\\Second.LNK", "", "C:\\APPS\\TOOL.EXE", "-v", "C:\\X",
                                    "Ctrl+Alt+T", "C:\\APPS\\TOOL.EXE,0", 7));
    EXPECT_FALSE(machine.Exists("C:\\X\\Second.LNK.lnk"));
    link =
        std::dynamic_pointer_cast<win32::WshShortcut>(shell->CreateShortcut("C:\\X\\Second.LNK"));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->Arguments(), "-v");
    EXPECT_EQ(link->WorkingDirectory(), "C:\\X");
    EXPECT_EQ(link->Hotkey(), "Alt+Ctrl+T");
    EXPECT_EQ(link->IconLocation(), "C:\\APPS\\TOOL.EXE,0");
    EXPECT_EQ(link->WindowStyle(), 7);

    ASSERT_TRUE(file.CreateShortcut("C:\\X\\Site.url", "ignored", "http://www.example.com/"));
    EXPECT_NE(machine.Read("C:\\X\\Site.url").find("URL=http://www.example.com/"),
              std::string::npos);

    EXPECT_EQ(ErrorOf([&] {
                  file.CreateShortcut("C:\\X\\Bad", "", "C:\\APPS\\TOOL.EXE", {}, {}, "Hyper+Q");
              }),
              automation::InvalidProcedureCall);
}

TEST_F(ShellTest, RecentDocumentsAreAddedAndCleared) {
    machine.File("C:\\DOCS\\REPORT.HTM");
    file.AddToRecentDocuments("C:\\DOCS\\REPORT.HTM");
    const auto recent =
        win32::SHGetFolderPathA(0, win32::CSIDL_RECENT, 0, win32::SHGFP_TYPE_CURRENT);
    ASSERT_TRUE(recent);
    EXPECT_TRUE(machine.Exists(*recent + "\\REPORT.HTM.lnk"));
    file.ClearRecentDocuments();
    EXPECT_FALSE(machine.Exists(*recent + "\\REPORT.HTM.lnk"));
}

TEST_F(ShellTest, IniValuesAndTheWinIniNotice) {
    win32::ClearPostedMessages();
    machine.Folder("C:\\APP");
    EXPECT_EQ(ErrorOf([&] { file.WriteINIValue("C:\\NOWHERE\\X.INI", "S", "K", "v"); }),
              automation::PathNotFound);
    file.WriteINIValue("C:\\APP\\APP.INI", "Options", "Colour", "blue");
    EXPECT_EQ(file.ReadINIValue("C:\\APP\\APP.INI", "options", "COLOUR"), "blue");
    EXPECT_TRUE(win32::PostedMessages().empty());

    file.WriteINIValue("c:\\windows\\WIN.INI", "Velto", "Run", "yes");
    EXPECT_EQ(file.ReadINIValue("C:\\WINDOWS\\win.ini", "Velto", "Run"), "yes");
    const auto posted = win32::PostedMessages();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].hwnd, win32::HWND_BROADCAST);
    EXPECT_EQ(posted[0].msg, win32::WM_WININICHANGE);
    EXPECT_EQ(posted[0].text, "Velto");

    const std::string ascii(300, 'x');
    std::string latin;
    for (int i = 0; i < 300; ++i) {
        latin += "\xC3\xA9";
    }
    const struct {
        const char* what;
        std::string stored;
        std::optional<std::string> fallback;
        std::string read;
    } cases[] = {
        {"a long value is cut to 259 characters", ascii, {}, ascii.substr(0, 259)},
        {"characters, not bytes", latin, {}, latin.substr(0, 2 * 259)},
        {"a missing value gives the default", "", "none", "none"},
        {"a long default is cut too", "", ascii, ascii.substr(0, 259)},
        {"no default: empty", "", {}, ""},
    };
    for (const auto& c : cases) {
        if (!c.stored.empty()) {
            file.WriteINIValue("C:\\APP\\APP.INI", "Long", "Value", c.stored);
        } else {
            win32::WritePrivateProfileStringA("Long", std::nullopt, std::nullopt,
                                              "C:\\APP\\APP.INI");
        }
        EXPECT_EQ(file.ReadINIValue("C:\\APP\\APP.INI", "Long", "Value", c.fallback), c.read)
            << c.what;
    }
    EXPECT_EQ(file.ReadINIValue("C:\\NOWHERE\\X.INI", "S", "K", "dflt"), "dflt");
    EXPECT_NE(ErrorOf([&] { file.WriteINIValue("C:\\APP\\APP.INI", "S", "K", "two\r\nlines"); }), 0)
        << "a value that would not read back is refused, not lost";
}

TEST_F(ShellTest, VerifySaveAsksYesNoCancel) {
    const struct {
        std::optional<std::string> object;
        int answer;
        const char* prompt;
        const char* title;
    } cases[] = {
        {std::nullopt, dialogs::vbYes, "Do you wish to save your project?", "Project not Saved"},
        {"document", dialogs::vbNo, "Do you wish to save your document?", "Document not Saved"},
        {"\xC3\xA9tude", dialogs::vbCancel, "Do you wish to save your \xC3\xA9tude?",
         "\xC3\x89tude not Saved"},
        {"", dialogs::vbYes, "Do you wish to save your project?", "Project not Saved"},
    };
    for (const auto& c : cases) {
        boxes->Clear();
        boxes->AnswerMsgBox(c.answer);
        EXPECT_EQ(file.VerifySave(c.object), c.answer) << c.prompt;
        const auto shown = boxes->MsgBoxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].prompt, c.prompt);
        EXPECT_EQ(shown[0].title, c.title);
        EXPECT_EQ(shown[0].style, dialogs::vbYesNoCancel);
    }
}

}  // namespace
