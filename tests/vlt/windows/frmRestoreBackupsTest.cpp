// The backup restore window: the list of a real backup folder, restores scheduled for the
// restart, and the restart question (how a backup's name reads: vlt/core's BackupNamesTest).
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "controls/registry/QzRegistry.h"
#include "platform/win32/user32/ExitWindows.h"
#include "tests/support/LongPaths.h"
#include "tests/vlt/windows/WindowsTestSupport.h"
#include "vlt/core/BackupNames.h"
#include "vlt/core/VltState.h"
#include "vlt/windows/frmRestoreBackups.h"
#include "vlt/windows/frmVelto.h"

namespace {

using windowstest::WindowsTest;

class frmRestoreBackupsTest : public WindowsTest {
  protected:
    static constexpr const char* kFolder = "C:\\BACK\\";

    frmRestoreBackupsTest() {
        LoadHost();
        Store({{"BackupPath", kFolder}});
        machine.Folder("C:\\BACK");
        win32::ClearExitRequest();
    }
    ~frmRestoreBackupsTest() override { win32::ClearExitRequest(); }

    void Backup(const std::string& name) { machine.File(kFolder + name, "backup of " + name); }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (int i = 0; i < window.List1->count(); ++i) {
            lines.push_back(window.List1->item(i)->text().toStdString());
        }
        return lines;
    }
    std::string Wininit() const {
        return machine.Exists("C:\\WINDOWS\\wininit.ini") ? machine.Read("C:\\WINDOWS\\wininit.ini")
                                                          : std::string();
    }
    std::vector<std::string> Titles() const {
        std::vector<std::string> titles;
        for (const auto& box : dialogs->MsgBoxes()) {
            titles.push_back(box.title);
        }
        return titles;
    }
    // Every line still shows the path of the backup it restores.
    void ExpectLinesMatchBackups() const {
        ASSERT_EQ(window.BackupFiles.size(), static_cast<std::size_t>(window.List1->count()));
        for (std::size_t i = 0; i < window.BackupFiles.size(); ++i) {
            EXPECT_EQ(Lines()[i], vlt::ReadBackupName(kFolder, window.BackupFiles[i]).path);
        }
    }
    void Select(std::initializer_list<int> lines) {
        window.List1->clearSelection();
        for (const int line : lines) {
            window.List1->item(line)->setSelected(true);
        }
    }

    frmRestoreBackups window;
};

TEST_F(frmRestoreBackupsTest, ListsEachBackupUnderThePathItRestoresTo) {
    Backup("C~~WINDOWS~SYSTEM~A.DLL.backup");
    Backup("C~~PROGRA~1~Velto~B.OCX.backup");
    Backup("D~~GONE~C.DLL.backup");
    Backup("odd.backup");
    Backup("C~~WINDOWS~D.DLL.backup.1");
    Backup("notes.txt");
    window.Show();
    std::vector<std::string> lines = Lines();
    std::sort(lines.begin(), lines.end());
    // The older backup kept aside is offered too (it was never listed, though the program
    // wrote it and the report named it).
    EXPECT_EQ(lines, (std::vector<std::string>{"C:\\PROGRA~1\\Velto\\B.OCX", "C:\\WINDOWS\\D.DLL",
                                               "C:\\WINDOWS\\SYSTEM\\A.DLL", "D:\\GONE\\C.DLL"}));
    ExpectLinesMatchBackups();
    EXPECT_EQ(window.lbFolder->text().toStdString(), "Backups in C:\\BACK\\");

    const int gone = static_cast<int>(
        std::find(window.BackupFiles.begin(), window.BackupFiles.end(), "D~~GONE~C.DLL.backup") -
        window.BackupFiles.begin());
    window.List1->setCurrentRow(gone);
    EXPECT_EQ(window.lbRestoreTo->text().toStdString(),
              "Restores D:\\GONE\\C.DLL\nfrom the backup D~~GONE~C.DLL.backup\n(the folder "
              "D:\\GONE\\ does not exist on this machine)");
}

TEST_F(frmRestoreBackupsTest, RestoringTwoNeighbouringLinesTakesExactlyThoseAndTheRestStillWork) {
    for (const char* name : {"A1", "A2", "A3", "A4"}) {
        Backup(std::string("C~~WINDOWS~") + name + ".DLL.backup");
    }
    window.Show();
    ASSERT_EQ(window.List1->count(), 4);
    const std::vector<std::string> before = Lines();
    const std::vector<std::string> names = window.BackupFiles;
    Select({1, 2});
    QTest::mouseClick(window.cmdRestore, Qt::LeftButton);

    EXPECT_EQ(Lines(), (std::vector<std::string>{before[0], before[3]}));
    ExpectLinesMatchBackups();
    EXPECT_TRUE(window.RestoreScheduled);
    for (const int line : {1, 2}) {
        EXPECT_NE(Wininit().find(before[line] + "=" + kFolder + names[line]), std::string::npos)
            << Wininit();
    }
    for (const int line : {0, 3}) {
        EXPECT_EQ(Wininit().find(before[line] + "="), std::string::npos) << Wininit();
    }
    ASSERT_EQ(Titles(), std::vector<std::string>{"Files Restored"});
    EXPECT_EQ(dialogs->MsgBoxes()[0].prompt,
              "To be Restored on Restart:\r\n" + before[1] + "\r\n" + before[2] + "\r\n");
    EXPECT_EQ(dialogs->MsgBoxes()[0].style, dialogs::vbInformation);

    Select({0, 1});
    QTest::mouseClick(window.cmdRestore, Qt::LeftButton);
    EXPECT_TRUE(Lines().empty());
    for (const int line : {0, 3}) {
        EXPECT_NE(Wininit().find(before[line] + "=" + kFolder + names[line]), std::string::npos);
    }
}

TEST_F(frmRestoreBackupsTest, AVanishedBackupIsReportedAndDroppedAndNoRestartIsOffered) {
    Backup("C~~WINDOWS~A.DLL.backup");
    window.Show();
    std::filesystem::remove(machine.HostPath(std::string(kFolder) + "C~~WINDOWS~A.DLL.backup"));
    Select({0});
    QTest::mouseClick(window.cmdRestore, Qt::LeftButton);
    ASSERT_EQ(Titles(), std::vector<std::string>{"File Does Not Exist"});
    EXPECT_EQ(dialogs->MsgBoxes()[0].prompt,
              "C:\\BACK\\C~~WINDOWS~A.DLL.backup no longer exists.  Cannot restore");
    EXPECT_TRUE(Lines().empty());
    EXPECT_FALSE(window.RestoreScheduled);
    EXPECT_EQ(Wininit(), "");
    window.close();
    EXPECT_EQ(dialogs->MsgBoxes().size(), 1u) << "no restart question";
    EXPECT_FALSE(win32::PendingExitRequest());
}

TEST_F(frmRestoreBackupsTest, ClosingAfterARestoreOffersTheRestart) {
    for (const int answer : {dialogs::vbNo, dialogs::vbYes}) {
        SCOPED_TRACE(answer == dialogs::vbYes ? "Yes" : "No");
        // A backup of its own each time: the first one is already scheduled the second time.
        Backup(answer == dialogs::vbYes ? "C~~WINDOWS~A.DLL.backup" : "C~~WINDOWS~B.DLL.backup");
        window.Show();
        window.List1->selectAll();
        QTest::mouseClick(window.cmdRestore, Qt::LeftButton);
        dialogs->Clear();
        dialogs->AnswerMsgBox(answer);
        window.close();
        EXPECT_EQ(Titles(), std::vector<std::string>{"Restart Required"});
        EXPECT_EQ(win32::PendingExitRequest().has_value(), answer == dialogs::vbYes);
        if (answer == dialogs::vbYes) {
            EXPECT_TRUE(win32::PendingExitRequest()->restart);
        }
        dialogs->Clear();
    }
}

TEST_F(frmRestoreBackupsTest, NothingSelectedOrNoBackupsDoesNothing) {
    window.Show();
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(window.lbRestoreTo->text().toStdString(), "There are no backups to restore.");
    QTest::mouseClick(window.cmdRestore, Qt::LeftButton);
    window.close();

    Backup("C~~WINDOWS~A.DLL.backup");
    window.Show();
    window.List1->clearSelection();
    QTest::mouseClick(window.cmdRestore, Qt::LeftButton);
    EXPECT_EQ(Lines().size(), 1u);
    window.close();
    EXPECT_TRUE(dialogs->MsgBoxes().empty());
    EXPECT_EQ(Wininit(), "");
}

// A backup already scheduled (by an earlier visit of the window) is not scheduled again: the
// second move would find nothing to move at the start.
TEST_F(frmRestoreBackupsTest, ABackupIsNeverScheduledTwice) {
    Backup("C~~WINDOWS~A.DLL.backup");
    const std::string line = "C:\\WINDOWS\\A.DLL=C:\\BACK\\C~~WINDOWS~A.DLL.backup";
    window.Show();
    Select({0});
    QTest::mouseClick(window.cmdRestore, Qt::LeftButton);
    dialogs->AnswerMsgBox(dialogs::vbNo);  // no restart now
    window.close();
    dialogs->Clear();

    window.Show();
    ASSERT_EQ(Lines(), std::vector<std::string>{"C:\\WINDOWS\\A.DLL"});
    Select({0});
    EXPECT_EQ(window.lbRestoreTo->text().toStdString(),
              "Restores C:\\WINDOWS\\A.DLL\nfrom the backup C~~WINDOWS~A.DLL.backup\n(already to "
              "be restored at the next start of Windows)");
    QTest::mouseClick(window.cmdRestore, Qt::LeftButton);
    EXPECT_EQ(Titles(), std::vector<std::string>{"Restore Already Scheduled"});
    EXPECT_EQ(dialogs->MsgBoxes()[0].prompt,
              "Already to be restored at the next start of Windows, so not scheduled "
              "again:\r\nC:\\WINDOWS\\A.DLL\r\n");
    const std::string wininit = Wininit();
    EXPECT_EQ(wininit.find(line), wininit.rfind(line)) << wininit;
    EXPECT_EQ(Lines().size(), 1u);
    EXPECT_FALSE(window.RestoreScheduled);
}

// Two backups of one file (the newer and the one kept aside) never both go back: the start would
// move the first over the file and then replace it with the second, and the first is lost.
TEST_F(frmRestoreBackupsTest, TwoBackupsOfOneFileAreNeverScheduledTogether) {
    Backup("C~~WINDOWS~A.DLL.backup");
    Backup("C~~WINDOWS~A.DLL.backup.1");
    window.Show();
    ASSERT_EQ(Lines().size(), 2u);
    Select({0, 1});
    QTest::mouseClick(window.cmdRestore, Qt::LeftButton);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Files Restored", "Restore Already Scheduled"}));
    EXPECT_NE(dialogs->MsgBoxes()[1].prompt.find("another backup of each of these files"),
              std::string::npos);
    const std::string wininit = Wininit();
    EXPECT_EQ(wininit.find("C:\\WINDOWS\\A.DLL="), wininit.rfind("C:\\WINDOWS\\A.DLL=")) << wininit;
    // The one left says why, and stays so on the next visit.
    ASSERT_EQ(Lines().size(), 1u);
    Select({0});
    EXPECT_NE(
        window.lbRestoreTo->text().toStdString().find("another backup of it is to be restored"),
        std::string::npos);
}

// The start moves files into folders and makes none: a backup whose folder is gone is shown
// under the path it came from, with a word that its folder is missing, and not scheduled.
TEST_F(frmRestoreBackupsTest, ABackupWhoseFolderIsGoneIsShownAsSuchAndNotScheduled) {
    Backup("C~~Program Files~Gone App~GONE.DLL.backup");
    machine.Folder("C:\\Program Files");
    window.Show();
    ASSERT_EQ(Lines(), std::vector<std::string>{"C:\\Program Files\\Gone App\\GONE.DLL"});
    Select({0});
    EXPECT_EQ(window.lbRestoreTo->text().toStdString(),
              "Restores C:\\Program Files\\Gone App\\GONE.DLL\nfrom the backup "
              "C~~Program Files~Gone App~GONE.DLL.backup\n(the folder C:\\Program Files\\Gone "
              "App\\ does not exist on this machine)");
    QTest::mouseClick(window.cmdRestore, Qt::LeftButton);
    EXPECT_EQ(Titles(), std::vector<std::string>{"Folder Does Not Exist"});
    EXPECT_EQ(Wininit(), "");
    EXPECT_EQ(Lines().size(), 1u);
    window.close();
    EXPECT_EQ(Titles().size(), 1u) << "no restart question";
}

// C:\X~Y\F.DLL and C:\X\Y\F.DLL have the same backup name. The first was backed up and
// removed; a restore over the second would destroy it, so none is made and the user is told.
TEST_F(frmRestoreBackupsTest, ABackupWhoseNameFitsTwoFilesIsNotRestored) {
    machine.Folder("C:\\X~Y").File("C:\\X\\Y\\F.DLL", "other");
    Backup("C~~X~Y~F.DLL.backup");
    window.Show();
    ASSERT_EQ(Lines(), std::vector<std::string>{"C:\\X\\Y\\F.DLL"});
    Select({0});
    EXPECT_EQ(window.lbRestoreTo->text().toStdString(),
              "Restores C:\\X\\Y\\F.DLL\nfrom the backup C~~X~Y~F.DLL.backup\n(the backup's name "
              "fits C:\\X~Y\\F.DLL as well, so it is not restored)");
    QTest::mouseClick(window.cmdRestore, Qt::LeftButton);
    ASSERT_EQ(Titles(), std::vector<std::string>{"Restore Not Certain"});
    EXPECT_NE(dialogs->MsgBoxes()[0].prompt.find("C:\\X\\Y\\F.DLL or C:\\X~Y\\F.DLL\r\n"),
              std::string::npos);
    EXPECT_EQ(Wininit(), "");
    EXPECT_EQ(Lines().size(), 1u);
    EXPECT_FALSE(window.RestoreScheduled);
}

// The backup of a path as long as Windows takes has a shortened name: the window lists it under
// the path its record names and puts it back there; one whose record is missing is shown as
// far as its name tells and never restored.
TEST_F(frmRestoreBackupsTest, AShortenedBackupIsRestoredByItsRecordOnly) {
    const std::string path = testsupport::LongWindowsPath(259);
    const std::string orphanPath = testsupport::LongWindowsPath(259, "ORPHAN.DLL");
    machine.Folder(path.substr(0, path.rfind('\\')));
    const std::string name = vlt::BackupFileName(path);
    const std::string orphan = vlt::BackupFileName(orphanPath);
    Backup(name);
    Backup(orphan);
    machine.File(kFolder + vlt::BackupRecordName(name), path + "\r\n");
    window.Show();
    ASSERT_EQ(Lines().size(), 2u);
    const int line = Lines()[0] == path ? 0 : 1;
    ASSERT_EQ(Lines()[static_cast<std::size_t>(line)], path);
    EXPECT_TRUE(Lines()[static_cast<std::size_t>(1 - line)].ends_with("\xE2\x80\xA6\\ORPHAN.DLL"));

    Select({1 - line});
    EXPECT_NE(window.lbRestoreTo->text().toStdString().find(
                  vlt::BackupRecordName(orphan) + ", which names the file, is missing, so it is "
                                                  "not restored)"),
              std::string::npos)
        << window.lbRestoreTo->text().toStdString();
    QTest::mouseClick(window.cmdRestore, Qt::LeftButton);
    ASSERT_EQ(Titles(), std::vector<std::string>{"Restore Not Certain"});
    EXPECT_EQ(Wininit(), "");

    Select({line});
    QTest::mouseClick(window.cmdRestore, Qt::LeftButton);
    EXPECT_NE(Wininit().find(path + "=" + kFolder + name + "\r\n"), std::string::npos) << Wininit();
    EXPECT_EQ(Lines().size(), 1u);
    EXPECT_TRUE(window.RestoreScheduled);
}

// The label speaks of the selected backups only; without a selection Restore cannot be pressed.
TEST_F(frmRestoreBackupsTest, TheLabelNamesOnlySelectedBackups) {
    Backup("C~~WINDOWS~A.DLL.backup");
    Backup("C~~WINDOWS~B.DLL.backup");
    window.Show();
    window.List1->setCurrentRow(0);
    window.List1->clearSelection();
    EXPECT_EQ(window.lbRestoreTo->text().toStdString(),
              "Select the backups to restore. Each line is the path a backup is put back at "
              "when Windows restarts.");
    EXPECT_FALSE(window.cmdRestore->isEnabled());
    Select({1});
    EXPECT_TRUE(window.lbRestoreTo->text().startsWith("Restores " + window.List1->item(1)->text()));
    EXPECT_TRUE(window.cmdRestore->isEnabled());
    Select({0, 1});
    EXPECT_EQ(window.lbRestoreTo->text().toStdString(),
              "Restores the 2 selected backups when Windows restarts.");
}

TEST_F(frmRestoreBackupsTest, TheDefaultBackupFolderIsTheProgramsFolder) {
    vlt::QzRegistry1().DeleteValue("BackupPath");
    machine.File(std::string(coretest::kProgramDir) + "\\C~~WINDOWS~A.DLL.backup", "a");
    window.Show();
    EXPECT_EQ(Lines(), std::vector<std::string>{"C:\\WINDOWS\\A.DLL"});
}

TEST_F(frmRestoreBackupsTest, TheMainWindowShowsItModallyFromItsButtonAndMenu) {
    Backup("C~~WINDOWS~A.DLL.backup");
    frmVelto main;
    main.Load();
    dialogs->Clear();
    int shown = 0;
    forms::ScopedModalDriver driver([&](forms::Form& form) {
        auto* restore = dynamic_cast<frmRestoreBackups*>(&form);
        ASSERT_NE(restore, nullptr);
        EXPECT_TRUE(restore->ShownModal());
        EXPECT_EQ(restore->List1->count(), 1);
        ++shown;
    });
    QTest::mouseClick(main.cmdRestore, Qt::LeftButton);
    main.mnuRestore->trigger();
    EXPECT_EQ(shown, 2);
    vlt::State().ScanSucceeded = true;
    main.Unload();
}

}  // namespace
