#include "controls/file/picker/frmDirListing.h"

#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialogs/DirectoryPicker.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "tests/platform/forms/QtTestSupport.h"
#include "tests/support/MachineBuilder.h"

namespace Qz_File {
namespace {

using Driver = std::function<void(frmDirListing&)>;

std::vector<std::string> Subfolders(const DirListBox& list) {
    std::vector<std::string> paths;
    for (int i = 0; i < list.ListCount(); ++i) {
        paths.push_back(list.List(i));
    }
    return paths;
}

std::vector<std::string> Files(const FileListBox& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.ListCount(); ++i) {
        names.push_back(list.List(i));
    }
    return names;
}

// The item of a folder in the folder list, by its full path.
QTreeWidgetItem* ItemOf(DirListBox& list, const std::string& path) {
    const auto items = list.findItems("*", Qt::MatchWildcard | Qt::MatchRecursive, 0);
    for (QTreeWidgetItem* item : items) {
        if (item->data(0, Qt::UserRole).toString().toStdString() == path) {
            return item;
        }
    }
    return nullptr;
}

class frmDirListingTest : public forms::test::QtFixture {
  protected:
    frmDirListingTest() {
        machine.Folder("C:\\Program Files\\Velto")
            .File("C:\\WINDOWS\\SYSTEM\\VB40032.DLL", "MZ")
            .File("C:\\WINDOWS\\SYSTEM\\comctl32.ocx", "MZ")
            .File("C:\\WINDOWS\\WIN.INI")
            .File("C:\\AUTOEXEC.BAT")
            .File("C:\\config.sys")
            .DriveWithoutMedium('A')
            .Drive('D', machine::DriveType::Fixed)
            .File("D:\\DATA\\REPORT.HTM");
        dialogs::SetBackend(scripted);
    }
    ~frmDirListingTest() override { dialogs::SetBackend(nullptr); }

    // ShowDirListing with `drive` acting as the user while the window is up.
    dialogs::DirectoryPickerResult Pick(const std::string& initDir, const Driver& drive,
                                        const std::string& requiredFile = {},
                                        const std::string& title = "Select") {
        forms::ScopedModalDriver driver([&](forms::Form& form) {
            auto& window = dynamic_cast<frmDirListing&>(form);
            shownTitle = window.windowTitle().toStdString();
            if (drive) {
                drive(window);
            }
        });
        return ShowDirListing({title, initDir, requiredFile});
    }

    testsupport::MachineBuilder machine;
    std::shared_ptr<dialogs::ScriptedDialogs> scripted =
        std::make_shared<dialogs::ScriptedDialogs>();
    std::string shownTitle;
};

const Driver kPressOK = [](frmDirListing& w) { w.OK_Click(); };

TEST_F(frmDirListingTest, ShowDirListingAnswersWhatTheUserDid) {
    const struct {
        const char* name;
        const char* initDir;
        const char* requiredFile;
        Driver user;
        const char* result;
        bool canceled;
        bool found;
    } cases[] = {
        {"OK on the root of C:", "C:\\", "", kPressOK, "C:\\", false, false},
        {"OK on a subfolder", "c:\\windows\\system", "", kPressOK, "C:\\WINDOWS\\SYSTEM", false,
         false},
        {"a folder opened by the user", "C:\\", "",
         [](frmDirListing& w) {
             w.Dir1->UserOpened(ItemOf(*w.Dir1, "C:\\WINDOWS"));
             w.OK_Click();
         },
         "C:\\WINDOWS", false, false},
        {"a folder only highlighted", "C:\\WINDOWS", "",
         [](frmDirListing& w) {
             w.Dir1->setCurrentItem(ItemOf(*w.Dir1, "C:\\WINDOWS\\SYSTEM"));
             w.OK_Click();
         },
         "C:\\WINDOWS\\SYSTEM", false, false},
        {"back up to an ancestor", "C:\\WINDOWS\\SYSTEM", "",
         [](frmDirListing& w) {
             w.Dir1->UserOpened(ItemOf(*w.Dir1, "C:\\"));
             w.OK_Click();
         },
         "C:\\", false, false},
        {"Cancel", "C:\\WINDOWS", "", [](frmDirListing& w) { w.cmdCancel_Click(); }, "", true,
         false},
        {"the close box", "C:\\WINDOWS", "", nullptr, "", true, false},
        {"the required file is there", "C:\\WINDOWS\\SYSTEM", "vb40032.dll", kPressOK,
         "C:\\WINDOWS\\SYSTEM", false, true},
        {"a required pattern", "C:\\WINDOWS\\SYSTEM", "*.TLB;*.OCX", kPressOK,
         "C:\\WINDOWS\\SYSTEM", false, true},
        {"the required file is missing", "C:\\WINDOWS", "VB40032.DLL", kPressOK, "", false, false},
        {"a required file in another folder does not count", "C:\\WINDOWS", "SYSTEM\\VB40032.DLL",
         kPressOK, "", false, false},
        {"Cancel with a required file", "C:\\WINDOWS\\SYSTEM", "VB40032.DLL",
         [](frmDirListing& w) { w.cmdCancel_Click(); }, "", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto answer = Pick(c.initDir, c.user, c.requiredFile);
        EXPECT_EQ(answer.resultDir, c.result);
        EXPECT_EQ(answer.canceled, c.canceled);
        EXPECT_EQ(answer.requiredFileFound, c.found);
    }
    EXPECT_TRUE(std::none_of(forms::LoadedForms().begin(), forms::LoadedForms().end(),
                             [](forms::Form* f) { return f->objectName() == "frmDirListing"; }));
    EXPECT_EQ(scripted->History().size(), 0u);
}

TEST_F(frmDirListingTest, TheWindowStartsWhereItCan) {
    machine.ProfileValue("Drives", "E", "cdrom:");
    const struct {
        const char* name;
        const char* initDir;
        const char* opened;
        const char* initDirAfter;
    } cases[] = {
        {"an empty floppy drive", "A:\\", "C:\\", "c:\\"},
        {"a CD drive without a disc", "e:\\setup", "C:\\", "c:\\"},
        {"a drive the machine lacks", "Q:\\", "C:\\", "c:\\"},
        {"a drive letter alone", "c:", "C:\\", "c:"},
        {"no start folder", "", "C:\\", ""},
        {"another drive", "d:\\data", "D:\\DATA", "d:\\data"},
        {"a folder yet to be made", "C:\\Program Files\\Velto\\Backups\\",
         "C:\\Program Files\\Velto", "C:\\Program Files\\Velto\\Backups\\"},
        {"a file instead of a folder", "C:\\WINDOWS\\WIN.INI", "C:\\WINDOWS",
         "C:\\WINDOWS\\WIN.INI"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        frmDirListing window;
        window.InitDir = c.initDir;
        window.Load();
        EXPECT_EQ(window.Dir1->Path(), c.opened);
        EXPECT_EQ(window.File1->Path(), c.opened);
        const std::string drive(1, static_cast<char>(std::tolower(c.opened[0])));
        EXPECT_EQ(window.Drive1->Drive(), drive + ":");
        EXPECT_EQ(window.InitDir, c.initDirAfter);
        EXPECT_EQ(window.Label1->text().toStdString(), c.opened);
        EXPECT_EQ(window.ResultDir(), "");
        EXPECT_FALSE(window.CancelError);
        window.Unload();
    }
}

TEST_F(frmDirListingTest, TheWindowShowsItsControlsWithTheirTexts) {
    frmDirListing window;
    EXPECT_EQ(window.windowTitle(), "Select Directory");
    EXPECT_EQ(window.Label1->text(), "Current Folder");
    window.InitDir = "C:\\WINDOWS";
    window.Load();
    const struct {
        QWidget* control;
        const char* name;
        const char* text;
        const char* toolTip;
    } controls[] = {
        {window.Drive1, "Drive1", nullptr, "Drive"},
        {window.Dir1, "Dir1", nullptr, "Folder (Directory)"},
        {window.File1, "File1", nullptr, "Files in Folder"},
        {window.Label1, "Label1", "C:\\WINDOWS", "Current Folder: C:\\WINDOWS"},
        {window.Label2, "Label2", "Files in selected folder:", ""},
        {window.OK, "OK", "OK", "Press OK when you have selected your folder."},
        {window.cmdCancel, "cmdCancel", "Cancel", "Press cancel to abort your selection."},
        {window.cmdNewFolder, "cmdNewFolder", nullptr, "Create New Folder"},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.control->objectName(), c.name);
        EXPECT_EQ(c.control->toolTip(), c.toolTip);
        if (c.text != nullptr) {
            EXPECT_EQ(c.control->property("text").toString(), c.text);
        }
        EXPECT_TRUE(window.rect().contains(c.control->geometry())) << "outside the window";
    }
    // Centred on the screen.
    const QRect screen = window.screen()->geometry();
    EXPECT_NEAR(window.frameGeometry().center().x(), screen.center().x(), 1);
    EXPECT_NEAR(window.frameGeometry().center().y(), screen.center().y(), 1);
    window.Unload();
}

TEST_F(frmDirListingTest, TheListsShowTheOpenFolder) {
    if (testsupport::MachineBuilder::XattrsSupported()) {
        machine.File("C:\\WINDOWS\\SYSTEM\\HIDDEN.DLL")
            .Attributes("C:\\WINDOWS\\SYSTEM\\HIDDEN.DLL", win32::FILE_ATTRIBUTE_HIDDEN)
            .Folder("C:\\WINDOWS\\SYSTEM\\Secret")
            .Attributes("C:\\WINDOWS\\SYSTEM\\Secret",
                        win32::FILE_ATTRIBUTE_DIRECTORY | win32::FILE_ATTRIBUTE_HIDDEN);
    }
    machine.Folder("C:\\WINDOWS\\SYSTEM\\color").Folder("C:\\WINDOWS\\SYSTEM\\IOSUBSYS");
    frmDirListing window;
    window.InitDir = "C:\\WINDOWS\\SYSTEM";
    window.Load();
    std::vector<std::string> folders{"C:\\WINDOWS\\SYSTEM\\color", "C:\\WINDOWS\\SYSTEM\\IOSUBSYS"};
    if (testsupport::MachineBuilder::XattrsSupported()) {
        folders.push_back("C:\\WINDOWS\\SYSTEM\\Secret");
    }
    EXPECT_EQ(Subfolders(*window.Dir1), folders);
    EXPECT_EQ(Files(*window.File1), (std::vector<std::string>{"comctl32.ocx", "VB40032.DLL"}));
    // The tree holds the ancestors, the open folder and its subfolders.
    EXPECT_EQ(window.Dir1->topLevelItemCount(), 1);
    EXPECT_EQ(window.Dir1->topLevelItem(0)->text(0), "C:\\");
    EXPECT_EQ(window.Dir1->Highlighted(), "C:\\WINDOWS\\SYSTEM");

    window.Dir1->UserOpened(ItemOf(*window.Dir1, "C:\\"));
    EXPECT_EQ(Files(*window.File1), (std::vector<std::string>{"AUTOEXEC.BAT", "config.sys"}));
    EXPECT_EQ(Subfolders(*window.Dir1),
              (std::vector<std::string>{"C:\\Program Files", "C:\\WINDOWS"}));
    EXPECT_EQ(window.Label1->toolTip(), "Current Folder: C:\\");
    window.Unload();
}

TEST_F(frmDirListingTest, ChoosingADriveOpensItAndANotReadyOneIsRefused) {
    frmDirListing window;
    window.InitDir = "C:\\WINDOWS";
    window.Load();
    const auto entries = [&] {
        std::vector<std::string> texts;
        for (int i = 0; i < window.Drive1->count(); ++i) {
            texts.push_back(window.Drive1->itemText(i).toStdString());
        }
        return texts;
    }();
    EXPECT_EQ(entries, (std::vector<std::string>{"a:", "c:", "d:"}));

    window.Drive1->UserPicked(window.Drive1->findData("d:"));
    EXPECT_EQ(window.Drive1->Drive(), "d:");
    EXPECT_EQ(window.Dir1->Path(), "D:\\");
    EXPECT_EQ(window.Label1->text(), "D:\\");
    EXPECT_EQ(Subfolders(*window.Dir1), (std::vector<std::string>{"D:\\DATA"}));

    scripted->AnswerMsgBox(dialogs::vbOK);
    window.Drive1->UserPicked(window.Drive1->findData("a:"));
    ASSERT_EQ(scripted->MsgBoxes().size(), 1u);
    EXPECT_EQ(scripted->MsgBoxes()[0].style, dialogs::vbOKOnly | dialogs::vbExclamation);
    EXPECT_NE(scripted->MsgBoxes()[0].prompt.find("not ready"), std::string::npos);
    EXPECT_EQ(window.Drive1->Drive(), "d:");
    EXPECT_EQ(window.Drive1->currentText(), "d:");
    EXPECT_EQ(window.Dir1->Path(), "D:\\");

    // A removed folder: opening it refreshes the list and says why.
    window.Dir1->UserOpened(ItemOf(*window.Dir1, "D:\\"));
    std::filesystem::remove_all(machine.HostPath("D:\\DATA"));
    scripted->AnswerMsgBox(dialogs::vbOK);
    window.Dir1->UserOpened(window.Dir1->topLevelItem(0)->child(0));
    EXPECT_EQ(scripted->MsgBoxes().size(), 2u);
    EXPECT_EQ(window.Dir1->Path(), "D:\\");
    EXPECT_EQ(window.Dir1->ListCount(), 0);
    window.Unload();
}

TEST_F(frmDirListingTest, NewFolderIsMadeInTheOpenFolderAndHighlighted) {
    scripted->AnswerInputBox("Backups");
    const auto answer = Pick("C:\\Program Files\\Velto", [](frmDirListing& w) {
        w.cmdNewFolder_Click();
        w.OK_Click();
    });
    EXPECT_TRUE(machine.Exists("C:\\Program Files\\Velto\\Backups"));
    EXPECT_EQ(answer.resultDir, "C:\\Program Files\\Velto\\Backups");
    ASSERT_EQ(scripted->History().size(), 1u);
    EXPECT_EQ(scripted->History()[0].prompt, "Enter Folder Name");
    EXPECT_EQ(scripted->History()[0].title, "Create New Folder");
    EXPECT_EQ(scripted->History()[0].defaultText, "New Folder");
}

TEST_F(frmDirListingTest, NewFolderThatCannotBeMadeLeavesTheWindowAsItWas) {
    const struct {
        const char* name;
        std::optional<std::string> typed;
        bool message;
    } cases[] = {
        {"prompt cancelled", std::nullopt, false},         {"empty name", std::string(), false},
        {"forbidden character", std::string("a:b"), true}, {"only dots", std::string(".."), true},
        {"already there", std::string("SYSTEM"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scripted->Clear();
        frmDirListing window;
        window.InitDir = "C:\\WINDOWS";
        window.Load();
        const auto before = Subfolders(*window.Dir1);
        scripted->AnswerInputBox(c.typed);
        if (c.message) {
            scripted->AnswerMsgBox(dialogs::vbOK);
        }
        window.cmdNewFolder_Click();
        EXPECT_EQ(scripted->MsgBoxes().size(), c.message ? 1u : 0u);
        EXPECT_EQ(scripted->Pending(), 0u);
        EXPECT_EQ(Subfolders(*window.Dir1), before);
        EXPECT_EQ(window.Dir1->Path(), "C:\\WINDOWS");
        window.Unload();
    }
}

TEST_F(frmDirListingTest, EscapeCancelsAndTheTitleIsTheCallers) {
    const auto answer = Pick(
        "C:\\",
        [](frmDirListing& w) {
            w.activateWindow();
            QTest::keyClick(w.Dir1, Qt::Key_Escape);
            EXPECT_TRUE(w.isHidden()) << "Escape left the window open";
            EXPECT_TRUE(w.CancelError);
        },
        {}, "Set Backup Directory");
    EXPECT_EQ(shownTitle, "Set Backup Directory");
    EXPECT_TRUE(answer.canceled);
    EXPECT_EQ(answer.resultDir, "");
}

TEST_F(frmDirListingTest, WithoutAnyReadableDriveOnlyCancelAnswers) {
    machine::SetCurrentMachine(nullptr);
    const auto answer = Pick("C:\\", [](frmDirListing& w) {
        EXPECT_EQ(w.Dir1->Path(), "");
        EXPECT_EQ(w.Drive1->count(), 0);
        w.OK_Click();
        EXPECT_TRUE(w.isVisible()) << "OK chose nothing";
    });
    EXPECT_EQ(answer.resultDir, "");
    EXPECT_TRUE(answer.canceled);
    machine::SetCurrentMachine(machine.machine());
}

TEST_F(frmDirListingTest, InstalledAsTheDirectoryPicker) {
    const auto previous = dialogs::SetDirectoryPicker(nullptr);
    InstallDirectoryPicker();
    forms::ScopedModalDriver driver([](forms::Form& form) {
        auto& window = dynamic_cast<frmDirListing&>(form);
        window.Dir1->UserOpened(ItemOf(*window.Dir1, "C:\\WINDOWS\\SYSTEM"));
        window.OK_Click();
    });
    const auto answer = dialogs::ShowDirectoryPicker({"Pick", "C:\\WINDOWS", "*.DLL"});
    EXPECT_EQ(answer.resultDir, "C:\\WINDOWS\\SYSTEM");
    EXPECT_FALSE(answer.canceled);
    EXPECT_TRUE(answer.requiredFileFound);
    dialogs::SetDirectoryPicker(previous);
}

}  // namespace
}  // namespace Qz_File
