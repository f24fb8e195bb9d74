// The machine's save and open dialog: Windows paths in (start folder, typed names) and out,
// the default extension, the checks before a name is accepted, and no host path ever.
#include "controls/file/picker/frmFileDialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs/FileDialogWindow.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/forms/QtDialogs.h"
#include "tests/platform/forms/QtTestSupport.h"
#include "tests/support/MachineBuilder.h"

namespace Qz_File {
namespace {

using Driver = std::function<void(frmFileDialog&)>;

std::vector<std::string> Files(const FileListBox& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.ListCount(); ++i) {
        names.push_back(list.List(i));
    }
    return names;
}

class frmFileDialogTest : public forms::test::QtFixture {
  protected:
    frmFileDialogTest() {
        machine.Folder("C:\\My Documents\\Old Reports")
            .File("C:\\My Documents\\Old.htm", "old")
            .File("C:\\My Documents\\letter.txt", "text")
            .Drive('D', machine::DriveType::Fixed)
            .Folder("D:\\DATA");
        dialogs::SetBackend(scripted);
        request.initDir = "C:\\My Documents";
        request.fileName = "ActionReport.htm";
        request.defaultExt = "htm";
        request.filter = "HTML File|*.htm;*.html";
        request.flags = dialogs::OFN_OVERWRITEPROMPT | dialogs::OFN_HIDEREADONLY;
    }
    ~frmFileDialogTest() override { dialogs::SetBackend(nullptr); }

    // The dialog with `drive` acting as the user while it is up.
    std::optional<dialogs::FileDialogResult> Show(bool save, const Driver& drive) {
        forms::ScopedModalDriver driver([&](forms::Form& form) {
            auto* dialog = dynamic_cast<frmFileDialog*>(&form);
            ASSERT_NE(dialog, nullptr);
            drive(*dialog);
        });
        return ShowFileDialog(save, request);
    }
    // Types `name` and presses Save; the answer, or "" while the dialog stays open.
    static std::string Type(frmFileDialog& dialog, const std::string& name) {
        dialog.txFileName->setText(QString::fromStdString(name));
        dialog.OK_Click();
        return dialog.Result() ? dialog.Result()->fileName : std::string();
    }

    testsupport::MachineBuilder machine;
    std::shared_ptr<dialogs::ScriptedDialogs> scripted =
        std::make_shared<dialogs::ScriptedDialogs>();
    dialogs::FileDialogRequest request;
};

TEST_F(frmFileDialogTest, OpensOnTheMachinesFolderAndAnswersWithAWindowsPath) {
    const auto result = Show(true, [](frmFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Save As");
        EXPECT_EQ(dialog.txFolder->text().toStdString(), "C:\\My Documents");
        EXPECT_EQ(dialog.Drive1->Drive(), "c:");
        EXPECT_EQ(dialog.txFileName->text().toStdString(), "ActionReport.htm");
        EXPECT_EQ(dialog.cboType->currentText().toStdString(), "HTML File (*.htm;*.html)");
        EXPECT_EQ(Files(*dialog.File1), std::vector<std::string>{"Old.htm"});
        dialog.OK_Click();
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(result->fileName, "C:\\My Documents\\ActionReport.htm");
    EXPECT_EQ(result->fileTitle, "ActionReport.htm");
    EXPECT_EQ(result->filterIndex, 1);
    EXPECT_TRUE(scripted->History().empty());
}

TEST_F(frmFileDialogTest, TypedNamesAreTheMachinesPaths) {
    struct Case {
        const char* typed;
        const char* chosen;  // "" while the dialog stays open
        const char* folder;  // the folder shown afterwards
        const char* told;    // the start of the message shown, or ""
    } const cases[] = {
        {"Run", "C:\\My Documents\\Run.htm", "C:\\My Documents", ""},
        {"run.html", "C:\\My Documents\\run.html", "C:\\My Documents", ""},
        {"D:\\DATA\\Week 1", "D:\\DATA\\Week 1.htm", "C:\\My Documents", ""},
        {"\\TOP.HTM", "C:\\TOP.HTM", "C:\\My Documents", ""},
        {"/tmp/report.htm", "", "C:\\My Documents",
         "/tmp/report.htm is not a name on this machine"},
        {"Gone\\x.htm", "", "C:\\My Documents", "C:\\My Documents\\Gone\\x.htm\r\nThe folder"},
        {"a|b.htm", "", "C:\\My Documents", "a|b.htm\r\nThe file name is not valid."},
        {"Old Reports", "", "C:\\My Documents\\Old Reports", ""},
        {"..", "", "C:\\", ""},
        {"d:", "", "D:\\", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        scripted->Clear();
        std::string folder;
        const auto result = Show(true, [&](frmFileDialog& dialog) {
            EXPECT_EQ(Type(dialog, c.typed), c.chosen);
            folder = dialog.txFolder->text().toStdString();
            if (!dialog.Result()) {
                dialog.cmdCancel_Click();
            }
        });
        EXPECT_EQ(result.has_value(), *c.chosen != '\0');
        EXPECT_EQ(folder, c.folder);
        const auto boxes = scripted->MsgBoxes();
        EXPECT_EQ(boxes.size(), *c.told != '\0' ? 1u : 0u);
        if (!boxes.empty()) {
            EXPECT_TRUE(boxes[0].prompt.starts_with(c.told)) << boxes[0].prompt;
        }
    }
}

TEST_F(frmFileDialogTest, AnExistingFileIsReplacedOnlyWhenTheUserSaysSo) {
    scripted->AnswerMsgBox(dialogs::vbNo);
    scripted->AnswerMsgBox(dialogs::vbYes);
    const auto result = Show(true, [](frmFileDialog& dialog) {
        EXPECT_EQ(Type(dialog, "Old"), "");
        EXPECT_EQ(Type(dialog, "Old"), "C:\\My Documents\\Old.htm");
    });
    ASSERT_TRUE(result);
    const auto boxes = scripted->MsgBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].prompt,
              "C:\\My Documents\\Old.htm already exists.\r\nDo you want to replace it?");
}

TEST_F(frmFileDialogTest, PatternsAndTypesChooseWhatTheFileListShows) {
    request.filter = "HTML File|*.htm;*.html|Text|*.txt";
    request.filterIndex = 2;
    Show(true, [](frmFileDialog& dialog) {
        EXPECT_EQ(Files(*dialog.File1), std::vector<std::string>{"letter.txt"});
        dialog.cboType->setCurrentIndex(0);
        dialog.cboType_Click();
        EXPECT_EQ(Files(*dialog.File1), std::vector<std::string>{"Old.htm"});
        EXPECT_EQ(Type(dialog, "*.*"), "");
        EXPECT_EQ(Files(*dialog.File1), (std::vector<std::string>{"letter.txt", "Old.htm"}));
        EXPECT_EQ(dialog.txFileName->text().toStdString(), "");
        dialog.File1->setCurrentRow(0);
        dialog.File1_Click();
        EXPECT_EQ(dialog.txFileName->text().toStdString(), "letter.txt");
        dialog.cmdCancel_Click();
    });
}

TEST_F(frmFileDialogTest, TheOpenDialogWantsAFileThatExists) {
    const auto result = Show(false, [](frmFileDialog& dialog) {
        EXPECT_EQ(dialog.OK->text().toStdString(), "&Open");
        EXPECT_EQ(Type(dialog, "Missing.htm"), "");
        EXPECT_EQ(Type(dialog, "Old.htm"), "C:\\My Documents\\Old.htm");
    });
    ASSERT_TRUE(result);
    ASSERT_EQ(scripted->MsgBoxes().size(), 1u);
    EXPECT_NE(scripted->MsgBoxes()[0].prompt.find("File not found"), std::string::npos);
}

// The interactive backend hands open and save to the installed window.
TEST_F(frmFileDialogTest, TheQtBackendShowsThisWindow) {
    const auto previous = dialogs::SetFileDialogWindow({});
    InstallFileDialog();
    forms::QtDialogs qt;
    forms::ScopedModalDriver driver([](forms::Form& form) {
        auto& dialog = dynamic_cast<frmFileDialog&>(form);
        Type(dialog, "Run");
    });
    const auto result = qt.ShowSave(request);
    dialogs::SetFileDialogWindow(previous);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->fileName, "C:\\My Documents\\Run.htm");
}

}  // namespace
}  // namespace Qz_File
