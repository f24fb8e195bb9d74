#include "vlt/windows/frmRestoreBackups.h"

#include <QAbstractItemView>
#include <cctype>

#include "controls/file/QzFile.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Twips.h"
#include "platform/win32/FileAttributes.h"
#include "platform/win32/FindFiles.h"
#include "vlt/core/QzBase.h"
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

// Walks the readings whose folders exist, fewest "~" kept inside a component first, and keeps
// the first reading whose file exists and the first whose folder exists.
struct ReadingSearch {
    const std::vector<std::string>& pieces;
    const std::function<bool(const std::string&)>& isFolder;
    const std::function<bool(const std::string&)>& isFile;
    std::string fileExists;
    std::string folderExists;

    void From(const std::string& folder, std::size_t first) {
        for (std::size_t last = first + 1; last <= pieces.size() && fileExists.empty(); ++last) {
            const std::string name = Component(pieces, first, last);
            if (name.empty()) {
                continue;  // two separators in a row name no component
            }
            const std::string path = folder + name;
            if (last == pieces.size()) {
                if (isFile(path)) {
                    fileExists = path;
                } else if (folderExists.empty()) {
                    folderExists = path;
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
    QObject::connect(List1, &QListWidget::currentRowChanged,
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
    ReadingSearch search{pieces, isFolder, isFile, {}, {}};
    if (isFolder(root)) {
        search.From(root, 0);
    }
    if (!search.fileExists.empty()) {
        return search.fileExists;
    }
    if (!search.folderExists.empty()) {
        return search.folderExists;
    }
    std::string separated = root + pieces[0];
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        separated += "\\" + pieces[i];
    }
    return separated;
}

std::string frmRestoreBackups::OriginalPath(const std::string& name) {
    return OriginalPath(name, MachineFolder, MachineFile);
}

void frmRestoreBackups::Form_Load() {
    vlt::TraceScope trace("frmRestoreBackups.Form_Load");
    List1->clear();
    BackupFiles.clear();
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
        const std::string path = OriginalPath(entry.cFileName);
        if (path.empty()) {
            vlt::Trace("Not a backup this program made: " + entry.cFileName);
            continue;
        }
        List1->addItem(QString::fromStdString(path));
        BackupFiles.push_back(entry.cFileName);
    }
    List1_Click();
    QzResize1->Resize();
}

void frmRestoreBackups::Form_Resize() {
    QzResize1->Resize();
}

void frmRestoreBackups::List1_Click() {
    const int line = List1->currentRow();
    if (line < 0 || line >= static_cast<int>(BackupFiles.size())) {
        lbRestoreTo->setText(
            List1->count() == 0
                ? "There are no backups to restore."
                : "Select the backups to restore. Each line is the path a backup is put back "
                  "at when Windows restarts.");
        return;
    }
    const std::string target = List1->item(line)->text().toStdString();
    std::string text =
        "Restores " + target + "\nfrom the backup " + BackupFiles[static_cast<std::size_t>(line)];
    if (!MachineFolder(FolderOf(target))) {
        text += "\n(the folder " + FolderOf(target) + " does not exist on this machine)";
    }
    lbRestoreTo->setText(QString::fromStdString(text));
}

void frmRestoreBackups::cmdRestore_Click() {
    vlt::TraceScope trace("frmRestoreBackups.cmdRestore_Click");
    vlt::Steps steps("frmRestoreBackups.cmdRestore_Click");
    std::string report;
    std::vector<int> handled;
    for (int line = 0; line < List1->count(); ++line) {
        if (!List1->item(line)->isSelected()) {
            continue;
        }
        const std::string source = folder_ + BackupFiles[static_cast<std::size_t>(line)];
        const std::string target = List1->item(line)->text().toStdString();
        Qz_File::QzFile& file = vlt::QzFile1();
        if (!file.FileExists(source)) {
            dialogs::MsgBox(source + " no longer exists.  Cannot restore", dialogs::vbExclamation,
                            std::string("File Does Not Exist"));
            handled.push_back(line);
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
    }
    List1_Click();
    if (!report.empty()) {
        dialogs::MsgBox("To be Restored on Restart:\r\n" + report, dialogs::vbInformation,
                        std::string("Files Restored"));
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
