#include "vlt/windows/frmRestoreBackups.h"

#include <QAbstractItemView>
#include <algorithm>
#include <cctype>

#include "controls/file/QzFile.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Twips.h"
#include "platform/machine/ShortNames.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/FindFiles.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/ScheduledMoves.h"
#include "vlt/core/Steps.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWorkActions.h"

namespace {

constexpr std::string_view kBackupExtension = ".backup";

std::vector<std::string> SplitAtTildes(const std::string& text) {
    std::vector<std::string> pieces(1);
    for (const char c : text) {
        if (c == '~') {
            pieces.emplace_back();
        } else {
            pieces.back() += c;
        }
    }
    return pieces;
}

// The pieces first..last-1 joined by the "~" they were split at: one component of a reading.
std::string Component(const std::vector<std::string>& pieces, std::size_t first, std::size_t last) {
    std::string component = pieces[first];
    for (std::size_t i = first + 1; i < last; ++i) {
        component += '~';
        component += pieces[i];
    }
    return component;
}

// A name of the form Windows gives as a short name: a valid 8.3 name whose base ends in "~"
// and a number (PROGRA~1, MSVBVM~1.DLL).
bool GeneratedShortName(const std::string& name) {
    if (!machine::IsValidShortName(name)) {
        return false;
    }
    const std::string base = name.substr(0, name.find('.'));
    const std::size_t tilde = base.rfind('~');
    return tilde != std::string::npos && tilde > 0 && tilde + 1 < base.size() &&
           base.find_first_not_of("0123456789", tilde + 1) == std::string::npos;
}

// A reading of a backup's name that fits this machine: its folder exists, and its file too, or
// its name is believable.
struct Candidate {
    std::string path;
    bool fileExists = false;
};

// Walks the readings whose folders exist, fewest "~" kept inside a component first, and keeps
// those that fit, in that order.
struct ReadingSearch {
    // More readings than this of one name only tell that the name is ambiguous.
    static constexpr std::size_t kEnough = 8;

    const std::vector<std::string>& pieces;
    const std::function<bool(const std::string&)>& isFolder;
    const std::function<bool(const std::string&)>& isFile;
    std::vector<Candidate> fitting;

    void From(const std::string& folder, std::size_t first) {
        for (std::size_t last = first + 1; last <= pieces.size() && fitting.size() < kEnough;
             ++last) {
            const std::string name = Component(pieces, first, last);
            if (name.empty()) {
                continue;  // two separators in a row name no component
            }
            const std::string path = folder + name;
            if (last == pieces.size()) {
                if (isFile(path)) {
                    fitting.push_back({path, true});
                } else if (last == first + 1 || GeneratedShortName(name)) {
                    // A "~" kept in a file name that is not there is believed only where it
                    // makes a short name such as MSVBVM~1.DLL; "GONE~C.DLL" is a name made up
                    // of separators.
                    fitting.push_back({path, false});
                }
            } else if (isFolder(path)) {
                From(path + "\\", last);
            }
        }
    }
};

bool MachineFolder(const std::string& path) {
    const std::int32_t attributes = win32::GetFileAttributesA(path);
    return attributes != win32::INVALID_FILE_ATTRIBUTES &&
           (attributes & win32::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MachineFile(const std::string& path) {
    const std::int32_t attributes = win32::GetFileAttributesA(path);
    return attributes != win32::INVALID_FILE_ATTRIBUTES &&
           (attributes & win32::FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// An older backup kept aside is "{name}.backup.{n}"; its original path is that of
// "{name}.backup".
std::string WithoutOlderNumber(const std::string& name) {
    const std::size_t point = name.rfind('.');
    const bool numbered = point != std::string::npos && point + 1 < name.size() &&
                          name.find_first_not_of("0123456789", point + 1) == std::string::npos;
    return numbered ? name.substr(0, point) : name;
}

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.rfind('\\') + 1);
}

// How a backup's name reads on this machine: the path it goes back to and, when that file
// exists and another reading fits as well (its file may have been the one backed up and then
// removed), that other reading; else "".
struct Reading {
    std::string path;
    std::string alsoFits;
};

Reading ReadBackupName(const std::string& backupName,
                       const std::function<bool(const std::string&)>& isFolder,
                       const std::function<bool(const std::string&)>& isFile) {
    const std::string name = WithoutOlderNumber(backupName);
    // Only "X~~" followed by something and ".backup" is a name this program makes.
    const bool isBackupName =
        name.size() > 3 + kBackupExtension.size() &&
        std::isalpha(static_cast<unsigned char>(name[0])) != 0 && name[1] == '~' &&
        name[2] == '~' &&
        automation::EqualsIgnoreCase(name.substr(name.size() - kBackupExtension.size()),
                                     kBackupExtension);
    if (!isBackupName) {
        return {};
    }
    const std::string root = name.substr(0, 1) + ":\\";
    const std::vector<std::string> pieces =
        SplitAtTildes(name.substr(3, name.size() - 3 - kBackupExtension.size()));
    if (pieces.back().empty()) {
        return {};  // the name would end in a backslash: a folder, never a backup
    }
    ReadingSearch search{pieces, isFolder, isFile, {}};
    if (isFolder(root)) {
        search.From(root, 0);
    }
    const auto& fitting = search.fitting;
    const auto file = std::find_if(fitting.begin(), fitting.end(),
                                   [](const Candidate& c) { return c.fileExists; });
    if (file != fitting.end()) {
        const auto other = std::find_if(fitting.begin(), fitting.end(),
                                        [&](const Candidate& c) { return c.path != file->path; });
        return {file->path, other != fitting.end() ? other->path : std::string()};
    }
    if (!fitting.empty()) {
        return {fitting.front().path, {}};
    }
    std::string separated = root + pieces[0];
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        separated += "\\" + pieces[i];
    }
    return {separated, {}};
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

std::string frmRestoreBackups::OriginalPath(const std::string& backupName,
                                            const std::function<bool(const std::string&)>& isFolder,
                                            const std::function<bool(const std::string&)>& isFile) {
    return ReadBackupName(backupName, isFolder, isFile).path;
}

std::string frmRestoreBackups::OriginalPath(const std::string& name) {
    return OriginalPath(name, MachineFolder, MachineFile);
}

std::string frmRestoreBackups::AlsoFits(const std::string& backupName,
                                        const std::function<bool(const std::string&)>& isFolder,
                                        const std::function<bool(const std::string&)>& isFile) {
    return ReadBackupName(backupName, isFolder, isFile).alsoFits;
}

void frmRestoreBackups::Form_Load() {
    vlt::TraceScope trace("frmRestoreBackups.Form_Load");
    List1->clear();
    BackupFiles.clear();
    alsoFits_.clear();
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
        const Reading reading = ReadBackupName(entry.cFileName, MachineFolder, MachineFile);
        if (reading.path.empty()) {
            vlt::Trace("Not a backup this program made: " + entry.cFileName);
            continue;
        }
        List1->addItem(QString::fromStdString(reading.path));
        BackupFiles.push_back(entry.cFileName);
        alsoFits_.push_back(reading.alsoFits);
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
        if (scheduled && scheduled->MovesAway(Source(line))) {
            text += "\n(" + where + "already to be restored at the next start of Windows)";
        } else if (const std::string& other = alsoFits_[static_cast<std::size_t>(line)];
                   !other.empty()) {
            text += "\n(" + where + "the backup's name fits " + other +
                    " as well, so it is not restored)";
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
        // Two files the name could stand for: a restore over the wrong one would destroy it.
        if (const std::string& other = alsoFits_[static_cast<std::size_t>(line)]; !other.empty()) {
            unsure += target + " or " + other + "\r\n";
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
        alsoFits_.erase(alsoFits_.begin() + *line);
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
}

void frmRestoreBackups::Form_Unload(int& /*cancel*/) {
    vlt::RunEventHandler([this] {
        vlt::TraceScope trace("frmRestoreBackups.Form_Unload");
        if (RestoreScheduled && modVLTWork::RebootRequested()) {
            vlt::Sys1().Reboot();
        }
    });
}
