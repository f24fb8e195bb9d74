#include "vlt/windows/frmRestoreBackups.h"

#include <QAbstractItemView>

#include "controls/file/QzFile.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Twips.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/FindFiles.h"
#include "vlt/core/BackupNames.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/ScheduledMoves.h"
#include "vlt/core/Steps.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWorkActions.h"

namespace {

bool MachineFolder(const std::string& path) {
    const std::int32_t attributes = win32::GetFileAttributesA(path);
    return attributes != win32::INVALID_FILE_ATTRIBUTES &&
           (attributes & win32::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.rfind('\\') + 1);
}

}  // namespace

frmRestoreBackups::frmRestoreBackups()
    : lbFolder(new QLabel(this)),
      List1(new QListWidget(this)),
      lbRestoreTo(new QLabel(this)),
      cmdRestore(new QPushButton("Restore Selected Files", this)),
      QzResize1(new Qz_Resize::QzResize(this)) {
    setObjectName("frmRestoreBackups");
    setWindowTitle("Restore Backup System Files");
    lbFolder->setObjectName("lbFolder");
    List1->setObjectName("List1");
    lbRestoreTo->setObjectName("lbRestoreTo");
    cmdRestore->setObjectName("cmdRestore");
    List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lbRestoreTo->setWordWrap(true);
    lbRestoreTo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cmdRestore->setToolTip("Put the selected backups back when Windows restarts");
    forms::Move(*lbFolder, 120, 90, 7260, 285);
    forms::Move(*List1, 120, 405, 7260, 3600);
    forms::Move(*lbRestoreTo, 120, 4095, 7260, 900);
    forms::Move(*cmdRestore, 4680, 5100, 2700, 480);
    resize(forms::TwipsToPixels(7500), forms::TwipsToPixels(5760));
    QObject::connect(cmdRestore, &QPushButton::clicked,
                     [this] { vlt::RunEventHandler([this] { cmdRestore_Click(); }); });
    // The label follows the selection, which is what Restore works on (the current row alone
    // may be unselected).
    QObject::connect(List1, &QListWidget::itemSelectionChanged,
                     [this] { vlt::RunEventHandler([this] { List1_Click(); }); });
}

void frmRestoreBackups::ShowModal() {
    frmRestoreBackups window;
    window.Show(forms::vbModal);
    window.Unload();
}

void frmRestoreBackups::Form_Load() {
    vlt::TraceScope trace("frmRestoreBackups.Form_Load");
    List1->clear();
    BackupFiles.clear();
    readings_.clear();
    RestoreScheduled = false;
    // The stored folder ends in "\", but the default (the program's folder) does not.
    folder_ = QzBase::LastSlash(modVLTProperties::BackupPath());
    lbFolder->setText(QString::fromStdString("Backups in " + folder_));
    // "*.backup" and the older backups kept aside as "*.backup.1", ".2", ...
    const auto found = win32::FindFiles(folder_ + "*.backup*", 0);
    if (!found) {
        vlt::Trace("No backup folder to list: " + folder_);
    }
    for (const win32::WIN32_FIND_DATAA& entry :
         found.value_or(std::vector<win32::WIN32_FIND_DATAA>{})) {
        vlt::BackupReading reading = vlt::ReadBackupName(folder_, entry.cFileName);
        if (reading.path.empty()) {
            vlt::Trace("Not a backup this program made: " + entry.cFileName);
            continue;
        }
        List1->addItem(QString::fromStdString(reading.path));
        BackupFiles.push_back(entry.cFileName);
        readings_.push_back(std::move(reading));
    }
    List1_Click();
    QzResize1->Resize();
}

void frmRestoreBackups::Form_Resize() {
    vlt::TraceScope trace("frmRestoreBackups.Form_Resize");
    QzResize1->Resize();
}

std::string frmRestoreBackups::Source(int line) const {
    return folder_ + BackupFiles[static_cast<std::size_t>(line)];
}

std::string frmRestoreBackups::Target(int line) const {
    return List1->item(line)->text().toStdString();
}

std::vector<int> frmRestoreBackups::SelectedLines() const {
    std::vector<int> lines;
    for (int line = 0; line < List1->count(); ++line) {
        if (List1->item(line)->isSelected()) {
            lines.push_back(line);
        }
    }
    return lines;
}

void frmRestoreBackups::List1_Click() {
    vlt::TraceScope trace("frmRestoreBackups.List1_Click");
    const std::vector<int> selected = SelectedLines();
    cmdRestore->setEnabled(!selected.empty());
    if (selected.empty()) {
        lbRestoreTo->setText(
            List1->count() == 0
                ? "There are no backups to restore."
                : "Select the backups to restore. Each line is the path a backup is put back "
                  "at when Windows restarts.");
        return;
    }
    const std::optional<vlt::ScheduledMoves> scheduled = vlt::ScheduledMoves::Read();
    std::string text;
    if (selected.size() == 1) {
        const int line = selected.front();
        text = "Restores " + Target(line) + "\nfrom the backup " +
               BackupFiles[static_cast<std::size_t>(line)];
    } else {
        text = "Restores the " + std::to_string(selected.size()) +
               " selected backups when Windows restarts.";
    }
    for (const int line : selected) {
        const std::string target = Target(line);
        const std::string where = selected.size() == 1 ? std::string() : target + ": ";
        const vlt::BackupReading& reading = readings_[static_cast<std::size_t>(line)];
        if (scheduled && scheduled->MovesAway(Source(line))) {
            text += "\n(" + where + "already to be restored at the next start of Windows)";
        } else if (!reading.alsoFits.empty()) {
            text += "\n(" + where + "the backup's name fits " + reading.alsoFits +
                    " as well, so it is not restored)";
        } else if (!reading.problem.empty()) {
            text += "\n(" + where + reading.problem + ", so it is not restored)";
        } else if (!MachineFolder(FolderOf(target))) {
            text += "\n(" + where + "the folder " + FolderOf(target) +
                    " does not exist on this machine)";
        }
    }
    lbRestoreTo->setText(QString::fromStdString(text));
}

void frmRestoreBackups::cmdRestore_Click() {
    vlt::TraceScope trace("frmRestoreBackups.cmdRestore_Click");
    vlt::Steps steps("frmRestoreBackups.cmdRestore_Click");
    // Read once, before anything is added: a backup scheduled by an earlier visit (or by
    // another run) must not be scheduled again, or the second move fails at the start.
    const std::optional<vlt::ScheduledMoves> scheduled = vlt::ScheduledMoves::Read();
    std::string report;
    std::string already;
    std::string noFolder;
    std::string unsure;
    std::string unrecorded;
    std::vector<int> handled;
    Qz_File::QzFile& file = vlt::QzFile1();
    for (const int line : SelectedLines()) {
        const std::string source = Source(line);
        const std::string target = Target(line);
        if (!file.FileExists(source)) {
            dialogs::MsgBox(source + " no longer exists.  Cannot restore", dialogs::vbExclamation,
                            std::string("File Does Not Exist"));
            handled.push_back(line);
            continue;
        }
        if (scheduled && scheduled->MovesAway(source)) {
            already += target + "\r\n";
            continue;
        }
        // Two files the name could stand for, or a shortened name nothing reads back: a
        // restore over the wrong file would destroy it.
        const vlt::BackupReading& reading = readings_[static_cast<std::size_t>(line)];
        if (!reading.alsoFits.empty()) {
            unsure += target + " or " + reading.alsoFits + "\r\n";
            continue;
        }
        if (!reading.problem.empty()) {
            unrecorded += target + ": " + reading.problem + "\r\n";
            continue;
        }
        // The start moves a file into a folder; it makes none. A backup whose folder is gone
        // stays where it is, and the user hears why.
        if (!MachineFolder(FolderOf(target))) {
            noFolder += target + "\r\n";
            continue;
        }
        // A restore that could not be scheduled keeps its line, so nothing claims it was.
        if (steps.run("Scheduling restore of " + target,
                      [&] { file.MoveOnRestart(source, target); })) {
            report += target + "\r\n";
            RestoreScheduled = true;
            handled.push_back(line);
        }
    }
    for (auto line = handled.rbegin(); line != handled.rend(); ++line) {
        delete List1->takeItem(*line);
        BackupFiles.erase(BackupFiles.begin() + *line);
        readings_.erase(readings_.begin() + *line);
    }
    List1_Click();
    if (!report.empty()) {
        dialogs::MsgBox("To be Restored on Restart:\r\n" + report, dialogs::vbInformation,
                        std::string("Files Restored"));
    }
    if (!already.empty()) {
        dialogs::MsgBox(
            "Already to be restored at the next start of Windows, so not scheduled "
            "again:\r\n" +
                already,
            dialogs::vbInformation, std::string("Restore Already Scheduled"));
    }
    if (!noFolder.empty()) {
        dialogs::MsgBox(
            "Cannot be put back: the folder of each of these files does not exist "
            "on this machine.\r\n" +
                noFolder,
            dialogs::vbExclamation, std::string("Folder Does Not Exist"));
    }
    if (!unsure.empty()) {
        dialogs::MsgBox(
            "Not restored: the name of each of these backups fits two places on this machine, "
            "and nothing tells which one it was taken from; restored to the wrong one, it would "
            "overwrite another file. Copy the backup back by hand.\r\n" +
                unsure,
            dialogs::vbExclamation, std::string("Restore Not Certain"));
    }
    if (!unrecorded.empty()) {
        dialogs::MsgBox(
            "Not restored: each of these backups has a shortened name, and nothing certain "
            "names the file it was taken from; restored by guess, it could overwrite another "
            "file. Copy the backup back by hand.\r\n" +
                unrecorded,
            dialogs::vbExclamation, std::string("Restore Not Certain"));
    }
}

void frmRestoreBackups::Form_Unload(int& /*cancel*/) {
    vlt::RunEventHandler([this] {
        vlt::TraceScope trace("frmRestoreBackups.Form_Unload");
        if (RestoreScheduled && modVLTWork::RebootRequested()) {
            vlt::Sys1().Reboot();
        }
    });
}
