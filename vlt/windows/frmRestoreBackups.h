// frmRestoreBackups: lists the backups the program made before it replaced or removed system
// files (the "*.backup" files of the backup folder, and the older ones kept aside as
// "*.backup.1", ".2", ...), each under the path it will be put back
// at, and schedules the chosen ones to be moved back over their originals at the next start of
// Windows. Closing the window offers the restart when something was scheduled.
//
// A backup's name is its original path with the drive's colon and every backslash written as
// "~" (C:\WIN\SYS\A.DLL is C~~WIN~SYS~A.DLL.backup), shortened where a path is too long for
// one host name (vlt/core/BackupNames.h, which reads the names). The window shows the path each
// name reads as on this machine in the list and, for the selected lines, in lbRestoreTo, with a
// word when its folder does not exist, the backup is already to be restored at the next start,
// the name fits two files that both exist, or a shortened name cannot be read back with
// certainty (such backups are not restored).
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <string>
#include <vector>

#include "controls/resize/QzResize.h"
#include "platform/forms/Form.h"
#include "vlt/core/BackupRestore.h"

class frmRestoreBackups : public forms::Form {
  public:
    frmRestoreBackups();

    // Shows a new window modally; it loads afresh every time, as the window expects.
    static void ShowModal();

    void Form_Load() override;
    void Form_Resize() override;
    void Form_Unload(int& cancel) override;
    // Schedules the selected backups, except those BackupRestore.h refuses (each is said, and
    // their lines stay).
    void cmdRestore_Click();
    // Says where the selected backups go; Restore is enabled only while some are selected.
    void List1_Click();

    // The backup file names, in the order of the lines of List1.
    std::vector<std::string> BackupFiles;
    // Set once a restore was scheduled while the window was open.
    bool RestoreScheduled = false;

    QLabel* lbFolder;
    QListWidget* List1;
    QLabel* lbRestoreTo;
    QPushButton* cmdRestore;
    Qz_Resize::QzResize* QzResize1;

  private:
    // The path the backup of line `line` goes back to.
    std::string Target(int line) const;
    std::vector<int> SelectedLines() const;

    // The backups as this load found them, beside the lines of List1 (vlt/core/BackupRestore.h
    // lists and schedules them; the window presents and commands).
    vlt::BackupList backups_;
};
