// frmFileDialog: the machine's open and save dialog. It shows the machine's drives, folders
// and files the way the picker window does (the same list boxes) and a box for the file name;
// the start folder, a typed name and the answer are Windows paths of the machine
// ("C:\My Documents\ActionReport.htm"). A typed host path ("/tmp/x.htm") is refused, so no
// host path ever reaches the program.
//
// Typing a folder's name (or "..", or "C:") opens that folder, typing a pattern ("*.txt")
// lists what matches it, and the save dialog adds the default extension, insists that the
// folder exists and asks before it replaces a file (OFN_OVERWRITEPROMPT); the open dialog
// wants a file that exists.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <optional>
#include <string>
#include <vector>

#include "controls/file/picker/ListBoxes.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Form.h"

namespace Qz_File {

class frmFileDialog : public forms::Form {
  public:
    explicit frmFileDialog(bool save);

    // Set before the window is shown.
    dialogs::FileDialogRequest Request;
    // The answer once OK accepted a name; std::nullopt while none was (or after Cancel).
    const std::optional<dialogs::FileDialogResult>& Result() const { return result_; }

    QLabel* lbFileName;
    QLineEdit* txFileName;
    FileListBox* File1;
    QLabel* lbFolders;
    QLineEdit* txFolder;
    DirListBox* Dir1;
    QLabel* lbType;
    QComboBox* cboType;
    QLabel* lbDrives;
    DriveListBox* Drive1;
    QPushButton* OK;
    QPushButton* cmdCancel;
    QToolButton* cmdNewFolder;

    void Form_Load() override;
    void Drive1_Change();
    void Dir1_Change();
    void cboType_Click();
    void File1_Click();
    void cmdNewFolder_Click();
    void OK_Click();
    void cmdCancel_Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Opens a folder the user asked for; false (and the user told why) when it cannot be.
    bool OpenFolder(const std::string& folder);
    // Whether the file name box names a file to answer with; opens folders and applies
    // patterns on the way.
    std::optional<std::string> ChosenFile(const std::string& typed);
    void Tell(const std::string& message) const;

    bool save_;
    std::vector<dialogs::FileFilter> filters_;
    std::optional<dialogs::FileDialogResult> result_;
};

// Shows the window modally for one request and returns the answer (a cancel when no Qt
// application is running).
std::optional<dialogs::FileDialogResult> ShowFileDialog(bool save,
                                                        const dialogs::FileDialogRequest& request);

// Makes ShowFileDialog the machine's open and save dialog (platform/dialogs/FileDialogWindow.h).
void InstallFileDialog();

}  // namespace Qz_File
