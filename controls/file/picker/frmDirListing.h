// frmDirListing: the small modal window in which the user picks a folder of the machine, with
// its drive list, folder list and file list, and ShowDirListing, which shows it once.
//
// The window works on the current machine's drives and Windows paths. It can insist that the
// chosen folder holds a file: RequiredFile is a name or wildcard pattern ("VB*.DLL", several
// separated by ";"), and the file list shows what matches.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <string>

#include "controls/file/picker/ListBoxes.h"
#include "platform/dialogs/DirectoryPicker.h"
#include "platform/forms/Form.h"

namespace Qz_File {

class frmDirListing : public forms::Form {
  public:
    frmDirListing();

    // The start folder; OK puts the chosen folder here as well.
    std::string InitDir;
    // A file name or pattern the chosen folder must hold; empty for none.
    std::string RequiredFile;
    // True when the user cancelled or closed the window.
    bool CancelError = false;
    bool RequiredFileFound = false;
    // The chosen folder; empty when cancelled or when it lacks the required file.
    const std::string& ResultDir() const { return resultDir_; }

    DriveListBox* Drive1;
    DirListBox* Dir1;
    FileListBox* File1;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* OK;
    QPushButton* cmdCancel;
    QToolButton* cmdNewFolder;

    void Form_Load() override;
    void Form_Unload(int& cancel) override;
    void Drive1_Change();
    void Dir1_Change();
    void cmdNewFolder_Click();
    void OK_Click();
    void cmdCancel_Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // The file list's pattern: RequiredFile, or "*.*" without one.
    std::string Pattern() const;
    // Opens the start folder, or the nearest folder there is when it cannot be opened.
    void OpenStartFolder();
    // Tells the user why a drive or folder could not be opened; the window stays as it was.
    void ReportOpenFailure(const automation::Error& error);

    std::string resultDir_;
};

// Creates the window, shows it modally with the request's start folder, title and required
// file, and unloads it. A cancel when no Qt application is running.
dialogs::DirectoryPickerResult ShowDirListing(const dialogs::FolderDialogRequest& request);

// Makes ShowDirListing the process's directory picker (QzFile's ShowDirListing goes there).
// The program calls it once when it sets up its forms.
void InstallDirectoryPicker();

}  // namespace Qz_File
