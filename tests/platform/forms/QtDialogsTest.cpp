#include "platform/forms/QtDialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "platform/machine/Machine.h"
#include "tests/platform/forms/QtTestSupport.h"

namespace forms {
namespace {

using namespace dialogs;

// Types a name into the dialog's file name box, as a user would. (selectFile leaves the box
// alone once it has the focus, which on a shown dialog depends on timing.)
void Type(QFileDialog* dialog, const QString& name) {
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    edit->setText(name);
}

// QFileDialog hides accept(); the dialog's own accept runs through the base class.
void Accept(QFileDialog* dialog) {
    static_cast<QDialog*>(dialog)->accept();
}

QAbstractButton* ButtonOf(QMessageBox* box, QMessageBox::StandardButton which) {
    return box->button(which);
}

class QtDialogsTest : public test::QtFixture {
  protected:
    std::shared_ptr<QtDialogs> qt = std::make_shared<QtDialogs>();
    ScopedBackend use{qt};
};

struct BoxCase {
    int style;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
    QMessageBox::Icon icon;
    // What the user does: a button to click, or a key; Escape on a box without Cancel is
    // ignored and the box then gets its `thenClick` button.
    Qt::Key key;
    QMessageBox::StandardButton click;
    int expected;
};

void PrintTo(const BoxCase& c, std::ostream* os) {
    *os << "style " << c.style << " key " << c.key << " click " << c.click;
}

class QtMessageBox : public QtDialogsTest, public testing::WithParamInterface<BoxCase> {};

TEST_P(QtMessageBox, ShowsTheButtonsAndAnswersTheOldResult) {
    const BoxCase c = GetParam();
    bool checked = false;
    test::OnModal<QMessageBox>(
        [&](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), "Application Error!");
            EXPECT_EQ(box->text(), "The error received was:\n\nError 53:\nFile not found");
            EXPECT_EQ(box->standardButtons(), c.buttons);
            EXPECT_EQ(box->defaultButton(), ButtonOf(box, c.defaultButton));
            EXPECT_EQ(box->icon(), c.icon);
            checked = true;
            if (c.key != Qt::Key_unknown) {
                QTest::keyClick(box, c.key);
            }
            if (box->isVisible()) {
                ButtonOf(box, c.click)->click();
            }
        },
        "message box");
    EXPECT_EQ(MsgBox("The error received was:\r\n\r\nError 53:\r\nFile not found", c.style,
                     "Application Error!"),
              c.expected);
    EXPECT_TRUE(checked);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, QtMessageBox,
    testing::Values(
        BoxCase{18, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
                QMessageBox::Abort, QMessageBox::Critical, Qt::Key_unknown, QMessageBox::Retry,
                vbRetry},
        // Escape does nothing on Abort/Retry/Ignore; the user then has to pick Ignore.
        BoxCase{18, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
                QMessageBox::Abort, QMessageBox::Critical, Qt::Key_Escape, QMessageBox::Ignore,
                vbIgnore},
        BoxCase{vbYesNo | vbQuestion, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                QMessageBox::Question, Qt::Key_Escape, QMessageBox::Yes, vbYes},
        BoxCase{vbYesNo | vbDefaultButton2, QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                QMessageBox::NoIcon, Qt::Key_Return, QMessageBox::Yes, vbNo},
        BoxCase{vbYesNoCancel | vbExclamation,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes,
                QMessageBox::Warning, Qt::Key_Escape, QMessageBox::Yes, vbCancel},
        BoxCase{vbOKOnly | vbInformation, QMessageBox::Ok, QMessageBox::Ok,
                QMessageBox::Information, Qt::Key_Escape, QMessageBox::Ok, vbOK},
        BoxCase{vbRetryCancel, QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry,
                QMessageBox::NoIcon, Qt::Key_unknown, QMessageBox::Cancel, vbCancel}));

TEST_F(QtDialogsTest, CloseBoxOfAYesNoBoxIsRefused) {
    test::OnModal<QMessageBox>(
        [](QMessageBox* box) {
            EXPECT_FALSE(box->close());
            EXPECT_TRUE(box->isVisible());
            box->button(QMessageBox::No)->click();
        },
        "message box");
    EXPECT_EQ(MsgBox("Restart now?", vbYesNo, "Restart Required"), vbNo);
}

TEST_F(QtDialogsTest, PromptsAreShownAsPlainText) {
    test::OnModal<QMessageBox>(
        [](QMessageBox* box) {
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            box->button(QMessageBox::Ok)->click();
        },
        "message box");
    MsgBox("<b>C:\\A\\X.DLL</b>");
}

TEST_F(QtDialogsTest, InputBoxGivesTheTextOrEmptyOnCancel) {
    test::OnModal<QInputDialog>(
        [](QInputDialog* dialog) {
            EXPECT_EQ(dialog->windowTitle(), "Create New Folder");
            EXPECT_EQ(dialog->labelText(), "Enter Folder Name");
            EXPECT_EQ(dialog->textValue(), "New Folder");
            dialog->setTextValue("Backups 2");
            dialog->accept();
        },
        "input box");
    EXPECT_EQ(InputBox("Enter Folder Name", "Create New Folder", "New Folder"), "Backups 2");
    test::OnModal<QInputDialog>([](QInputDialog* dialog) { dialog->reject(); }, "input box");
    EXPECT_EQ(InputBox("Enter Folder Name", "Create New Folder", "New Folder"), "");
}

// File dialogs need a machine: its drive C: is a folder of the test.
class QtFileDialogTest : public QtDialogsTest {
  protected:
    std::filesystem::path folder;

    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("velto-forms-" + std::to_string(::getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder / "drives" / "C" / "Reports");
        std::ofstream(folder / "machine.ini") << "[Machine]\r\n";
        machine::SetCurrentMachine(machine::Machine::Open(folder));
    }
    void TearDown() override {
        machine::SetCurrentMachine(nullptr);
        std::filesystem::remove_all(folder);
    }
    QString Host(const std::string& relative) const {
        return QString::fromStdString((folder / relative).string());
    }
};

TEST_F(QtFileDialogTest, SaveAnswersWithAWindowsPath) {
    FileDialogRequest request;
    request.dialogTitle = "Save Report";
    request.initDir = "c:\\reports";
    request.fileName = "ActionReport.htm";
    request.defaultExt = "htm";
    request.filter = "HTML File|*.htm;*.html";
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    test::OnModal<QFileDialog>(
        [&](QFileDialog* dialog) {
            EXPECT_EQ(dialog->windowTitle(), "Save Report");
            EXPECT_EQ(std::filesystem::path(dialog->directory().absolutePath().toStdString()),
                      std::filesystem::canonical(folder / "drives" / "C" / "Reports"));
            EXPECT_EQ(dialog->selectedNameFilter(), "HTML File (*.htm *.HTM *.html *.HTML)");
            Type(dialog, "Run 1");
            Accept(dialog);
        },
        "save dialog");
    const auto result = GetSaveFileName(request);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->fileName, "C:\\Reports\\Run 1.htm");
    EXPECT_EQ(result->fileTitle, "Run 1.htm");
    EXPECT_EQ(result->filterIndex, 1);
}

TEST_F(QtFileDialogTest, AChoiceOutsideTheMachineIsRefusedAndTheDialogStays) {
    int warnings = 0;
    test::OnModal<QFileDialog>(
        [&](QFileDialog* dialog) {
            Type(dialog, Host("outside.htm"));
            test::OnModal<QMessageBox>(
                [&](QMessageBox* box) {
                    ++warnings;
                    box->accept();
                    test::OnModal<QFileDialog>([](QFileDialog* d) { d->reject(); },
                                               "save dialog again");
                },
                "warning");
            Accept(dialog);
        },
        "save dialog");
    EXPECT_FALSE(GetSaveFileName(FileDialogRequest{}));
    EXPECT_EQ(warnings, 1);
}

TEST_F(QtFileDialogTest, FolderDialogAnswersWithAWindowsPath) {
    test::OnModal<QFileDialog>(
        [&](QFileDialog* dialog) {
            Type(dialog, Host("drives/C/Reports"));
            Accept(dialog);
        },
        "folder dialog");
    EXPECT_EQ(BrowseForFolder({"Set Backup Directory", "C:\\"}), "C:\\Reports");
}

}  // namespace
}  // namespace forms
