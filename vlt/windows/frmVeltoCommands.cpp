// The main window's exclusion list, the scan and the commands of its buttons and menus.
#include <QListWidgetItem>
#include <memory>
#include <set>

#include "controls/file/QzFile.h"
#include "controls/registry/QzRegistry.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "controls/upgrade/QzUpgrade.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"
#include "platform/dialogs/App.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/win32/kernel32/FindFiles.h"
#include "vlt/core/ActionReport.h"
#include "vlt/core/BackupNames.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/ScheduledMoves.h"
#include "vlt/core/ShowDocument.h"
#include "vlt/core/Steps.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"
#include "vlt/windows/AboutCommands.h"
#include "vlt/windows/frmRestoreBackups.h"
#include "vlt/windows/frmVelto.h"

namespace {

bool HasMark(const QListWidgetItem& line) {
    return line.text().contains("***");
}

}  // namespace

void frmVelto::cmdAddExclusion_Click() {
    vlt::TraceScope trace("frmVelto.cmdAddExclusion_Click");
    bool canceled = false;
    const std::string folder = vlt::QzFile1().ShowDirListing(
        "c:", std::string("Select Directory to Exclude from Scan"), &canceled);
    if (folder.empty() || canceled) {
        return;
    }
    // The picker gives folders without the trailing "\" that SystemDir has.
    const std::string chosen = QzBase::LastSlash(folder);
    const std::string systemDir = QzBase::LastSlash(vlt::Sys1().SystemDir());
    const auto refuse = [](const std::string& why) {
        dialogs::MsgBox("You cannot exclude the system folder from the scan." + why,
                        dialogs::vbExclamation | dialogs::vbOKOnly,
                        std::string("System folder cannot be excluded"));
    };
    if (automation::EqualsIgnoreCase(chosen, systemDir)) {
        refuse("");
        return;
    }
    std::string line = folder;
    if (dialogs::MsgBox("Do you wish to exclude all subdirectories as well?",
                        dialogs::vbYesNo | dialogs::vbQuestion,
                        std::string("Exclude Subdirectories?")) == dialogs::vbYes) {
        // With its subfolders, a folder above the system folder would exclude it too.
        if (systemDir.size() > chosen.size() &&
            automation::EqualsIgnoreCase(systemDir.substr(0, chosen.size()), chosen)) {
            refuse("\r\n" + systemDir + " lies below " + chosen + ".");
            return;
        }
        line += kSubfolderMark;
        lbNote1->setVisible(true);
    }
    for (int i = 0; i < List1->count(); ++i) {
        if (automation::EqualsIgnoreCase(List1->item(i)->text().toStdString(), line)) {
            List1->setCurrentRow(i);
            return;
        }
    }
    List1->addItem(QString::fromStdString(line));
}

void frmVelto::List1_Click() {
    vlt::TraceScope trace("frmVelto.List1_Click");
    cmdRemoveExclusion->setEnabled(true);
}

void frmVelto::cmdRemoveExclusion_Click() {
    vlt::TraceScope trace("frmVelto.cmdRemoveExclusion_Click");
    if (List1->selectedItems().isEmpty()) {
        return;
    }
    QListWidgetItem* current = List1->currentItem();
    if (current == nullptr || !current->isSelected()) {
        current = List1->selectedItems().front();
    }
    delete List1->takeItem(List1->row(current));
    ShowNoteWhenMarked();
    cmdRemoveExclusion->setEnabled(!List1->selectedItems().isEmpty());
}

void frmVelto::ShowNoteWhenMarked() {
    bool marked = false;
    for (int i = 0; i < List1->count() && !marked; ++i) {
        marked = HasMark(*List1->item(i));
    }
    lbNote1->setVisible(marked);
}

void frmVelto::SaveExclusions() {
    vlt::TraceScope trace("frmVelto.SaveExclusions");
    if (ExclusionsUnread) {
        vlt::Trace("Exclusions not saved: the stored list was not read in full");
        return;
    }
    Qz_Registry::QzRegistry& registry = vlt::QzRegistry1();
    const std::string key = registry.RegKey() + "\\Exclusions";
    registry.DeleteKey(key);
    for (int i = 0; i < List1->count(); ++i) {
        registry.SaveRegSetting(List1->item(i)->text().toStdString(),
                                automation::Variant(std::string()), key);
    }
}

void frmVelto::DoTheScan() {
    vlt::TraceScope trace("frmVelto.DoTheScan");
    modVLTProperties::AllDups(optAllDuplicate[0]->isChecked());
    const auto value = [](const QCheckBox* box) {
        return std::string(box->isChecked() ? "1" : "0");
    };
    vlt::Trace("Bckup=" + value(ckBackup) + ",ACM=" + value(ckACM) + ",DLL=" + value(ckDLL) +
               ",DRV=" + value(ckDRV) + ",EXE=" + value(ckEXE) + ",OCX=" + value(ckOCX) +
               ",TLB=" + value(ckTLB) + ",VBX=" + value(ckVBX) + ",VXD=" + value(ckVXD));
    SaveExclusions();
    modVLTWork::StartScan();
    if (vlt::State().ScanSucceeded) {
        forms::Form::Unload();
    }
}

void frmVelto::cmdScan_Click() {
    vlt::TraceScope trace("frmVelto.cmdScan_Click");
    DoTheScan();
}

void frmVelto::mnuScan_Click() {
    vlt::TraceScope trace("frmVelto.mnuScan_Click");
    DoTheScan();
}

void frmVelto::cmdGetBackup_Click() {
    vlt::TraceScope trace("frmVelto.cmdGetBackup_Click");
    bool canceled = false;
    const std::string folder = vlt::QzFile1().ShowDirListing(
        txBackupPath->text().toStdString(), std::string("Set Backup Directory"), &canceled);
    if (!folder.empty() && !canceled) {
        txBackupPath->setText(QString::fromStdString(folder));
    }
}

void frmVelto::cmdRecycle_Click() {
    vlt::TraceScope trace("frmVelto.cmdRecycle_Click");
    // Only the backups: the backup folder is the program's own folder until the user picks
    // another, and may be any folder the user picked, so "*.*" would bin files that are no
    // backups. Older backups kept as "name.backup.1" go too.
    const std::string folder = QzBase::LastSlash(modVLTProperties::BackupPath());
    const std::string pattern = folder + "*.backup*";
    // A backup that a restore will move back at the next start must be there then: binned, the
    // start would find nothing to put back.
    const std::optional<vlt::ScheduledMoves> scheduled = vlt::ScheduledMoves::Read();
    if (!scheduled) {
        dialogs::MsgBox(
            "The moves waiting for the next start of Windows cannot be read, so it "
            "is not known which backups are still to be restored.  No backup was "
            "sent to the Recycle Bin.",
            dialogs::vbExclamation | dialogs::vbOKOnly, std::string("Backups Kept"));
        return;
    }
    std::string kept;
    std::string others;
    // A shortened backup's record goes with it, unless a backup it names stays.
    std::set<std::string> records;
    std::set<std::string> keptRecords;
    for (const win32::WIN32_FIND_DATAA& entry :
         win32::FindFiles(pattern, 0).value_or(std::vector<win32::WIN32_FIND_DATAA>{})) {
        const std::string path = folder + entry.cFileName;
        const std::string record = vlt::BackupRecordName(entry.cFileName);
        if (scheduled->MovesAway(path)) {
            kept += path + "\r\n";
            keptRecords.insert(record);
        } else {
            others += path + '\0';
            records.insert(record);
        }
    }
    bool recordsGo = false;
    for (const std::string& record : records) {
        if (!record.empty() && !keptRecords.contains(record) &&
            vlt::QzFile1().FileExists(folder + record)) {
            others += folder + record + '\0';
            recordsGo = true;
        }
    }
    if (!kept.empty()) {
        dialogs::MsgBox(
            "These backups are to be restored at the next start of Windows and stay "
            "where they are:\r\n" +
                kept,
            dialogs::vbInformation | dialogs::vbOKOnly, std::string("Backups Kept"));
    }
    const std::string what = kept.empty() && !recordsGo ? pattern : others;
    if (!what.empty() && !vlt::QzFile1().Recycle(what)) {
        vlt::Trace("Backups not sent to the Recycle Bin: " + pattern);
    }
}

void frmVelto::cmdRestore_Click() {
    vlt::TraceScope trace("frmVelto.cmdRestore_Click");
    frmRestoreBackups::ShowModal();
}

void frmVelto::mnuRestore_Click() {
    vlt::TraceScope trace("frmVelto.mnuRestore_Click");
    frmRestoreBackups::ShowModal();
}

void frmVelto::Help_Click() {
    vlt::TraceScope trace("frmVelto.Help_Click");
    vlt::Steps steps("frmVelto.Help_Click");
    steps.run("Shell to Help", [] {
        const std::string folder = QzBase::LastSlash(dialogs::App().Path());
        Qz_File::QzFile& file = vlt::QzFile1();
        // A compiled help file goes to the help viewer; the help this program ships is a set
        // of HTML pages, opened in the desktop's browser.
        if (const std::string compiled = folder + "vlt.chm"; file.FileExists(compiled)) {
            vlt::ShowDocument("hh \"" + compiled + "\"", compiled, "Help Not Shown");
            return;
        }
        const std::string pages = folder + "help\\index.htm";
        if (!file.FileExists(pages)) {
            dialogs::MsgBox("The help pages are missing: " + pages +
                                " was not found.\r\n\r\nCreate the machine again to get the "
                                "help pages of this version of " +
                                dialogs::App().Title() + ".",
                            dialogs::vbExclamation, std::string("Help not found"));
            return;
        }
        vlt::ShowDocument(modVLTFinalize::ViewCommandLine(vlt::OpenCommand(".htm"), pages), pages,
                          "Help Not Shown");
    });
}

void frmVelto::mnuAbout_Click() {
    vlt::TraceScope trace("frmVelto.mnuAbout_Click");
    vltwindows::ShowAboutBox();
}

void frmVelto::mnuLicense_Click() {
    vlt::TraceScope trace("frmVelto.mnuLicense_Click");
    vltwindows::ShowLicenceAgreement();
}

void frmVelto::mnuUpdateCheck_Click() {
    vlt::TraceScope trace("frmVelto.mnuUpdateCheck_Click");
    vlt::ProgressWindow& progress = vlt::frmStandBy();
    progress.Show();
    progress.SetFormTitle("Update Check");
    progress.SetScanItem("Checking for Upgrade");
    if (!QzBase::PrepareUpdateCheck()) {
        progress.Unload();
        return;
    }
    bool installing = false;
    try {
        const auto upgrade =
            std::dynamic_pointer_cast<Qz_Upgrade::QzUpgrade>(vlt::State().UpdateCheck);
        if (!upgrade) {
            automation::Raise(automation::TypeMismatch, "frmVelto.mnuUpdateCheck_Click");
        }
        installing = upgrade->GUIDownloadUpdate(dialogs::App().Path(), true);
    } catch (const automation::Error& error) {
        // No server, or a download that broke off: the user hears it, the program goes on.
        QzBase::ReleaseUpdateCheck();
        progress.Unload();
        dialogs::MsgBox("The update check failed:\r\n" + error.Description(),
                        dialogs::vbExclamation, std::string("Update Check"));
        return;
    }
    QzBase::ReleaseUpdateCheck();
    progress.Unload();
    if (installing) {
        dialogs::MsgBox("Velto will now close so that the update can install.",
                        dialogs::vbInformation | dialogs::vbOKOnly, std::string("Closing"));
        forms::Form::Unload();
        return;
    }
    dialogs::MsgBox("No update available", dialogs::vbInformation | dialogs::vbOKOnly,
                    std::string("Update Check"));
}

void frmVelto::cmdExit_Click() {
    vlt::TraceScope trace("frmVelto.cmdExit_Click");
    // The orderly close unloads the control host before this window, so the list is stored
    // while it still can be.
    SaveExclusions();
    trace.Exit();
    QzBase::CloseProgram();
}
