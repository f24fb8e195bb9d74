// frmRestoreBackups: lists the backups the program made before it replaced or removed system
// files (the "*.backup" files of the backup folder, and the older ones kept aside as
// "*.backup.1", ".2", ...), each under the path it will be put back
// at, and schedules the chosen ones to be moved back over their originals at the next start of
// Windows. Closing the window offers the restart when something was scheduled.
//
// A backup's name is its original path with the drive's colon and every backslash written as
// "~" (C:\WIN\SYS\A.DLL is C~~WIN~SYS~A.DLL.backup). A "~" that belonged to the path itself, as
// in the short name C:\PROGRA~1, reads the same as a separator, so a name can stand for several
// paths. The window settles each name on the reading that fits this machine (see OriginalPath)
// and shows that path in the list and, for the selected lines, in lbRestoreTo, with a word when
// its folder does not exist, the backup is already to be restored at the next start, or the
// name fits two files that both exist (such a backup is not restored).
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "controls/resize/QzResize.h"
#include "platform/forms/Form.h"

class frmRestoreBackups : public forms::Form {
  public:
    frmRestoreBackups();

    // Shows a new window modally; it loads afresh every time, as the window expects.
    static void ShowModal();

    // The path the backup file `name` (without its folder) is restored to, or "" for a name
    // this program never makes. An older backup kept aside ("{name}.backup.2") goes back to
    // the path of "{name}.backup". Of the readings of its "~" characters, the first in this order
    // wins: the file itself exists; its folder exists and every "~" it keeps inside a name
    // belongs to a folder that exists or to a short name such as MSVBVM~1.DLL; the reading with
    // every "~" a separator (whose folder may then not exist: the window says so). Within one
    // rank, readings with more separators come first. `isFolder` and `isFile` say
    // whether a Windows path exists as such; the window passes the machine's.
    static std::string OriginalPath(const std::string& name,
                                    const std::function<bool(const std::string&)>& isFolder,
                                    const std::function<bool(const std::string&)>& isFile);
    // The same on the current machine.
    static std::string OriginalPath(const std::string& name);
    // When the file OriginalPath names exists: another reading that fits the machine as well
    // (C:\X~Y\F.DLL, or only the folder C:\X~Y, beside C:\X\Y\F.DLL), else "". Such a backup
    // is not restored: nothing tells which of the two it was taken from, and a restore to the
    // wrong one would overwrite a file the backup is not of.
    static std::string AlsoFits(const std::string& name,
                                const std::function<bool(const std::string&)>& isFolder,
                                const std::function<bool(const std::string&)>& isFile);

    void Form_Load() override;
    void Form_Resize() override;
    void Form_Unload(int& cancel) override;
    // Schedules the selected backups, except one already scheduled, one whose folder is gone
    // and one whose name fits two files (each is said, and their lines stay).
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
    // The backup file of line `line`, and the path it goes back to.
    std::string Source(int line) const;
    std::string Target(int line) const;
    std::vector<int> SelectedLines() const;

    // The backup folder as this load found it, ending in "\".
    std::string folder_;
    // Beside BackupFiles: the second file each name fits, or "".
    std::vector<std::string> alsoFits_;
};
