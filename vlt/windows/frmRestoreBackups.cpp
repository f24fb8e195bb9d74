#include "vlt/windows/frmRestoreBackups.h"

#include <QAbstractItemView>

#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Twips.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/ScheduledMoves.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTWorkActions.h"

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
    RestoreScheduled = false;
    backups_ = vlt::ListBackups();
    lbFolder->setText(QString::fromStdString("Backups in " + backups_.folder));
    BackupFiles.clear();
    for (const vlt::BackupEntry& entry : backups_.entries) {
        List1->addItem(QString::fromStdString(entry.reading.path));
        BackupFiles.push_back(entry.name);
    }
    List1_Click();
    QzResize1->Resize();
}

void frmRestoreBackups::Form_Resize() {
    vlt::TraceScope trace("frmRestoreBackups.Form_Resize");
    QzResize1->Resize();
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
        const std::string where = selected.size() == 1 ? std::string() : Target(line) + ": ";
        const vlt::BackupEntry& entry = backups_.entries[static_cast<std::size_t>(line)];
        switch (vlt::RestoreHindrance(backups_, entry, scheduled)) {
            case vlt::RestoreStatus::AlreadyWaiting:
                text += "\n(" + where + "already to be restored at the next start of Windows)";
                break;
            case vlt::RestoreStatus::TargetTaken:
                text += "\n(" + where +
                        "another backup of it is to be restored at the next start of Windows)";
                break;
            case vlt::RestoreStatus::TwoPlaces:
                text += "\n(" + where + "the backup's name fits " + entry.reading.alsoFits +
                        " as well, so it is not restored)";
                break;
            case vlt::RestoreStatus::NotCertain:
                text += "\n(" + where + entry.reading.problem + ", so it is not restored)";
                break;
            case vlt::RestoreStatus::NoFolder:
                text += "\n(" + where +
                        vlt::RestoreReason(vlt::RestoreStatus::NoFolder, backups_, entry) + ")";
                break;
            default:
                break;
        }
    }
    lbRestoreTo->setText(QString::fromStdString(text));
}

void frmRestoreBackups::cmdRestore_Click() {
    vlt::TraceScope trace("frmRestoreBackups.cmdRestore_Click");
    const std::vector<int> lines = SelectedLines();
    const std::vector<vlt::RestoreStatus> statuses =
        vlt::ScheduleRestores(backups_, std::vector<std::size_t>(lines.begin(), lines.end()));
    std::string report;
    std::string already;
    std::string taken;
    std::string noFolder;
    std::string unsure;
    std::string unrecorded;
    // A vanished backup and a scheduled one leave the list; every other line stays, and a
    // restore that could not be scheduled keeps its line, so nothing claims it was.
    std::vector<int> handled;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int line = lines[i];
        const vlt::BackupEntry& entry = backups_.entries[static_cast<std::size_t>(line)];
        const std::string& target = entry.reading.path;
        switch (statuses[i]) {
            case vlt::RestoreStatus::Scheduled:
                report += target + "\r\n";
                RestoreScheduled = true;
                handled.push_back(line);
                break;
            case vlt::RestoreStatus::Vanished:
                dialogs::MsgBox(backups_.Source(entry) + " no longer exists.  Cannot restore",
                                dialogs::vbExclamation, std::string("File Does Not Exist"));
                handled.push_back(line);
                break;
            case vlt::RestoreStatus::AlreadyWaiting:
                already += target + "\r\n";
                break;
            case vlt::RestoreStatus::TargetTaken:
                taken += target + "\r\n";
                break;
            case vlt::RestoreStatus::TwoPlaces:
                unsure += target + " or " + entry.reading.alsoFits + "\r\n";
                break;
            case vlt::RestoreStatus::NotCertain:
                unrecorded += target + ": " + entry.reading.problem + "\r\n";
                break;
            case vlt::RestoreStatus::NoFolder:
                noFolder += target + "\r\n";
                break;
            case vlt::RestoreStatus::NotScheduled:
                break;
        }
    }
    for (auto line = handled.rbegin(); line != handled.rend(); ++line) {
        delete List1->takeItem(*line);
        BackupFiles.erase(BackupFiles.begin() + *line);
        backups_.entries.erase(backups_.entries.begin() + *line);
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
    if (!taken.empty()) {
        dialogs::MsgBox(
            "Not scheduled: another backup of each of these files is already to be restored at "
            "the next start of Windows; restoring both would lose one of them.\r\n" +
                taken,
            dialogs::vbExclamation, std::string("Restore Already Scheduled"));
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
