// The commands of the review window: the tree's context menu, flagging a copy for deletion,
// copying one copy over the others, accepting the recommendation, comparing contents, the
// exclusions, the backup controls and leaving the window. Commands only queue entries on the
// action list (through the core's queuing procedures) and keep an undo record each.
#include <QCursor>
#include <vector>

#include "controls/file/QzFile.h"
#include "controls/registry/QzRegistry.h"
#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"
#include "platform/dialogs/App.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Twips.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/SystemFolders.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTFinalize.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"
#include "vlt/core/modVLTWorkActions.h"
#include "vlt/windows/AboutCommands.h"
#include "vlt/windows/frmDupSys.h"
#include "vlt/windows/frmRestoreBackups.h"

namespace {

namespace props = modVLTProperties;
using forms::Node;

bool HasStar(const std::string& key) {
    return key.find('*') != std::string::npos;
}

QString MenuText(const std::string& text) {
    // A value holding "&" must show it, not underline the next letter.
    return QString::fromStdString(text).replace("&", "&&");
}

}  // namespace

// --- The context menu ---

void frmDupSys::TreeView1_MouseDown(int button, int /*shift*/, double x, double y) {
    vlt::TraceScope trace("frmDupSys.TreeView1_MouseDown");
    const Node node = TreeView1->HitTestTwips(x, y);
    if (!node) {
        return;
    }
    const std::string key = node.Key();
    ClickedKey = std::string(automation::Trim(key.substr(0, key.find('*'))));
    if (button != forms::vbRightButton) {
        return;
    }
    Qz_File::QzFile& file = vlt::QzFile1();
    if (ClickedKey == file.GrabFilename(ClickedKey)) {
        for (QAction* item : {mnuFileProperties->menuAction(), mnuDeleteFile, mnuCopy,
                              mnuExcludePath, mnuActionDum1}) {
            item->setVisible(false);
        }
    } else {
        mnuExcludePath->setVisible(true);
        mnuFileProperties->menuAction()->setVisible(true);
        const Node copy = TreeView1->Find(ClickedKey);
        const bool kept = copy && copy.Image() == kKept;
        for (QAction* item : {mnuActionDum1, mnuDeleteFile, mnuCopy}) {
            item->setVisible(!kept);
        }
        const modVLTWork::FileProps values = modVLTWork::GetFileProps(ClickedKey);
        mnuProp[0]->setText(MenuText(FileSizeText(values[modVLTWork::kSize])));
        if (!PropMenusLoaded) {
            for (std::size_t i = 1; i < mnuProp.size(); ++i) {
                mnuProp[i] = mnuFileProperties->addAction(QString());
                mnuProp[i]->setObjectName("mnuProp");
            }
            PropMenusLoaded = true;
        }
        for (std::size_t i = 1; i < mnuProp.size(); ++i) {
            mnuProp[i]->setText(MenuText(PropLabels[i - 1] + ": " + values[PropField(i - 1)]));
        }
    }
    mnuAccept->setEnabled(cmdFollowRecommendation->isEnabled());
    const Node group = GroupOf(ClickedKey);
    mnuUndo->setVisible(group && group.Image() == kKept);
    const QPoint at(forms::TwipsToPixels(x), forms::TwipsToPixels(y));
    mnuActions->popup(TreeView1->mapToGlobal(at));
}

// --- Choosing the copy a command works on ---

std::string frmDupSys::FileSelect(const std::string& action, const std::string& key) {
    vlt::TraceScope trace("frmDupSys.FileSelect");
    std::string text = key;
    if (text.empty()) {
        // Only a copy's text is a path: a row reads "label: value", and a value may hold a
        // backslash that must not pass for one.
        const Node selected = TreeView1->SelectedItem();
        if (selected && !HasStar(selected.Key())) {
            text = selected.Text();
        }
    }
    if (text.find('\\') != std::string::npos) {
        return text.substr(0, text.find('*'));
    }
    dialogs::MsgBox("Please select one of the full paths to " + action + ". " +
                        "(You should not remove the file from all paths.)",
                    dialogs::vbInformation | dialogs::vbOKOnly, "File Selected For " + action);
    return {};
}

void frmDupSys::BackupVerify() {
    vlt::TraceScope trace("frmDupSys.BackupVerify");
    if (props::Backup()) {
        return;
    }
    if (dialogs::MsgBox("Backup is not selected.  Are you sure you want to do this without "
                        "backing up the files?",
                        dialogs::vbYesNo | dialogs::vbQuestion,
                        std::string("Backup not selected")) == dialogs::vbNo) {
        props::Backup(true);
        ckBackup->setChecked(true);
    }
}

// --- Queuing ---

bool frmDupSys::RefusedAsPlatformFile(const std::string& path, const std::string& what) {
    const modVLTWork::FileProps props = modVLTWork::GetFileProps(path);
    const std::string& owner = props[modVLTWork::kPlatformOwner];
    if (owner.empty()) {
        return false;
    }
    dialogs::MsgBox(modVLTWork::PlatformFileText(path, props) +
                        ", whatever its version says.\r\nIt is left to " + owner + ": " +
                        dialogs::App().Title() + " does not " + what + ".",
                    dialogs::vbExclamation | dialogs::vbOKOnly, "Left to " + owner);
    SetStatus(path + " is left to " + owner + ".");
    return true;
}

void frmDupSys::KillIt(const std::string& path) {
    vlt::TraceScope trace("frmDupSys.KillIt");
    if (path.empty() || RefusedAsPlatformFile(path, "delete it")) {
        return;
    }
    BackupVerify();
    if (dialogs::MsgBox("Are you sure you want to delete " + path + "?", dialogs::vbYesNo,
                        std::string("Confirm Delete")) == dialogs::vbNo) {
        SetStatus("Delete of " + path + " canceled.");
        return;
    }
    vlt::VltState& state = vlt::State();
    const std::int32_t first = state.ActionCount;
    modVLTWork::DeleteFile(path);
    pendingMarks_.clear();
    if (const Node node = TreeView1->Find(path)) {
        Mark(pendingMarks_, node, kFlagged);
    }
    AddActionIDX(GroupName(path), first, state.ActionCount - 1);
    SetStatus(path + " flagged for delete.");
}

void frmDupSys::GoCopy(const std::string& path) {
    vlt::TraceScope trace("frmDupSys.GoCopy");
    if (path.empty() || RefusedAsPlatformFile(path, "copy it over other copies")) {
        return;
    }
    BackupVerify();
    const Node group = GroupOf(path);
    if (!group || !group.Child()) {
        return;
    }
    Qz_File::QzFile& file = vlt::QzFile1();
    // The system folder of the group's processor: a 32-bit copy on a 64-bit Windows goes
    // into SysWOW64.
    const std::string system = SystemFolderOf(group);
    if (automation::EqualsIgnoreCase(QzBase::LastSlash(file.GrabFilePath(path)), system)) {
        dialogs::MsgBox("Cannot copy file onto self.", dialogs::vbInformation | dialogs::vbOKOnly,
                        "Copy to " + WithoutSlash(system));
        return;
    }
    if (PlatformCopyIn(group)) {
        return;
    }
    const std::string inSystem = system + file.GrabFilename(path);
    if (file.FileExists(inSystem)) {
        if (dialogs::MsgBox(inSystem + " exists!  Do you want to overlay it anyhow?",
                            dialogs::vbYesNo | dialogs::vbQuestion,
                            std::string("File Exists")) == dialogs::vbNo) {
            SetStatus("Copying of " + path + " to " + WithoutSlash(system) + " canceled.");
            return;
        }
        SetPathArray(group.Child(), false, path);
        SetStatus(path + " flagged for copied to " + WithoutSlash(system));
    } else {
        SetPathArray(group.Child(), false, path);
        SetStatus(path + " flagged for copied to all paths where the file exists.");
    }
}

bool frmDupSys::SetPathArray(Node start, bool followRecommendation, const std::string& keptPath) {
    vlt::TraceScope trace("frmDupSys.SetPathArray");
    BackupVerify();
    if (!start) {
        return false;
    }
    Qz_File::QzFile& file = vlt::QzFile1();
    const Node group = GroupOf(start.Key());
    if (!group || PlatformCopyIn(group)) {
        return false;
    }
    const bool inSystem = file.FileExists(SystemFolderOf(group) + FileNameOf(group));
    std::vector<Node> copies;
    Node kept;
    for (Node node = start; node; node = node.Next()) {
        if (HasStar(node.Key())) {
            continue;
        }
        copies.push_back(node);
        const bool qualifies =
            followRecommendation ? node.Image() == kRecommended : node.Key() == keptPath;
        if (!kept && qualifies) {
            kept = node;
        }
    }
    if (!kept) {
        return false;
    }
    pendingMarks_.clear();
    std::vector<std::string> folders;
    for (const Node& node : copies) {
        Mark(pendingMarks_, node, node == kept ? kKept : kFlagged);
        folders.push_back(QzBase::LastSlash(file.GrabFilePath(node.Key())));
    }
    const std::string source = kept.Key();
    std::int32_t first = 0;
    std::int32_t last = -1;
    if (inSystem) {
        modVLTWork::CopyToSystemDir(source, folders, first, last);
    } else {
        modVLTWork::CopyAround(source, folders, first, last);
    }
    AddActionIDX(group.Key(), first, last);
    return true;
}

void frmDupSys::AcceptRecommended(Node start) {
    vlt::TraceScope trace("frmDupSys.AcceptRecommended");
    if (!start) {
        return;
    }
    const Node group = GroupOf(start.Key());
    if (!group || !group.Child()) {
        return;
    }
    if (group.Image() == kNoRecommendation) {
        dialogs::MsgBox(
            "Because of inconsistent File/Product versions and/or other properties on the file, "
            "it is not possible to automatically determine an action.",
            dialogs::vbInformation | dialogs::vbOKOnly, std::string("Unable to comply"));
        return;
    }
    // The group shows "accepted" only when something was queued for it.
    if (SetPathArray(group.Child(), true)) {
        Mark(actionIDX_.back().Marks, group, kKept);
    }
}

void frmDupSys::AreFilesSame(Node start) {
    vlt::TraceScope trace("frmDupSys.AreFilesSame");
    if (!start) {
        return;
    }
    const Node group = GroupOf(start.Key());
    if (!group) {
        return;
    }
    Qz_File::QzFile& file = vlt::QzFile1();
    // A note names no file: its key has no folder part, and an empty folder would make the
    // comparison read a file of that name from wherever the program happens to run.
    std::vector<std::string> folders;
    for (Node node = group.Child(); node; node = node.Next()) {
        if (!HasStar(node.Key())) {
            folders.push_back(file.GrabFilePath(node.Key()));
        }
    }
    const std::string name = FileNameOf(group);
    std::string matched;
    std::string current;
    if (modVLTWork::FilesSame(folders, name, matched, current)) {
        dialogs::MsgBox("All files with the name:\r\n" + name +
                            "\r\nthat were scanned on your system are the same",
                        dialogs::vbInformation | dialogs::vbOKOnly,
                        std::string("File Comparison."));
        TakeOutOfTree(group.Key(), "The group " + group.Key() + " (all its copies are the same)");
    } else {
        dialogs::MsgBox(
            "Files are not the same\r\n\r\nCompared: \r\n" + matched + "\r\nto\r\n" + current,
            dialogs::vbExclamation | dialogs::vbOKOnly, std::string("File Comparison"));
    }
}

// --- Buttons and menu entries ---

void frmDupSys::cmdRemove_Click() {
    vlt::TraceScope trace("frmDupSys.cmdRemove_Click");
    KillIt(FileSelect("remove", {}));
    RefreshSelected();
}

void frmDupSys::mnuDeleteFile_Click() {
    vlt::TraceScope trace("frmDupSys.mnuDeleteFile_Click");
    KillIt(FileSelect("remove", ClickedKey));
    RefreshSelected();
}

void frmDupSys::cmdWinSys_Click() {
    vlt::TraceScope trace("frmDupSys.cmdWinSys_Click");
    GoCopy(FileSelect("copy", {}));
    RefreshSelected();
}

void frmDupSys::mnuCopy_Click() {
    vlt::TraceScope trace("frmDupSys.mnuCopy_Click");
    GoCopy(FileSelect("copy", ClickedKey));
    RefreshSelected();
}

void frmDupSys::cmdFollowRecommendation_Click() {
    vlt::TraceScope trace("frmDupSys.cmdFollowRecommendation_Click");
    AcceptRecommended(TreeView1->SelectedItem());
    RefreshSelected();
}

void frmDupSys::mnuAccept_Click() {
    vlt::TraceScope trace("frmDupSys.mnuAccept_Click");
    AcceptRecommended(TreeView1->Find(ClickedKey));
    RefreshSelected();
}

void frmDupSys::cmdFileCompare_Click() {
    vlt::TraceScope trace("frmDupSys.cmdFileCompare_Click");
    AreFilesSame(TreeView1->SelectedItem());
    RefreshSelected();
}

void frmDupSys::mnuCompare_Click() {
    vlt::TraceScope trace("frmDupSys.mnuCompare_Click");
    AreFilesSame(TreeView1->Find(ClickedKey));
    RefreshSelected();
}

void frmDupSys::cmdUndo_Click() {
    vlt::TraceScope trace("frmDupSys.cmdUndo_Click");
    UndoWork(TreeView1->SelectedItem());
    RefreshSelected();
}

void frmDupSys::mnuUndo_Click() {
    vlt::TraceScope trace("frmDupSys.mnuUndo_Click");
    UndoWork(TreeView1->Find(ClickedKey));
    RefreshSelected();
}

void frmDupSys::mnuFileExclude_Click() {
    vlt::TraceScope trace("frmDupSys.mnuFileExclude_Click");
    if (!ClickedKey.empty()) {
        TakeOutOfTree(ClickedKey, ClickedKey);
    }
    RefreshSelected();
}

void frmDupSys::mnuExcludePath_Click() {
    vlt::TraceScope trace("frmDupSys.mnuExcludePath_Click");
    // Only a copy has a folder; the menu entry is hidden for groups and notes.
    if (ClickedKey.find('\\') == std::string::npos) {
        return;
    }
    const std::string folder = QzBase::LastSlash(vlt::QzFile1().GrabFilePath(ClickedKey));
    // The main window refuses the system folder as an exclusion; this door must not let it in.
    if (modVLTWork::IsSystemFolder(folder)) {
        dialogs::MsgBox("You cannot exclude the system folder from the scan.",
                        dialogs::vbExclamation | dialogs::vbOKOnly,
                        std::string("System folder cannot be excluded"));
        return;
    }
    Qz_Registry::QzRegistry& registry = vlt::QzRegistry1();
    registry.SaveRegSetting(folder, automation::Variant(std::string()),
                            registry.RegKey() + "\\Exclusions");
    TakeOutOfTree(ClickedKey, ClickedKey);
    RefreshSelected();
}

void frmDupSys::mnuAbout_Click() {
    vlt::TraceScope trace("frmDupSys.mnuAbout_Click");
    vltwindows::ShowAboutBox();
}

void frmDupSys::mnuLicense_Click() {
    vlt::TraceScope trace("frmDupSys.mnuLicense_Click");
    vltwindows::ShowLicenceAgreement();
}

// --- Backup controls ---

void frmDupSys::ckBackup_Click() {
    vlt::TraceScope trace("frmDupSys.ckBackup_Click");
    const bool checked = ckBackup->isChecked();
    props::Backup(checked);
    if (!checked) {
        dialogs::MsgBox(
            "Warning--If you remove a required system file, you won't be able to recover the "
            "file without re-installing the application "
            "damaged by the removal of the system file.  It is HIGHLY "
            "recommended that you select \"Backup\".",
            dialogs::vbExclamation | dialogs::vbOKOnly, std::string("Backup Recommended"));
    }
    cmdGetBackup->setEnabled(checked);
    txBackupPath->setEnabled(checked);
}

void frmDupSys::cmdGetBackup_Click() {
    vlt::TraceScope trace("frmDupSys.cmdGetBackup_Click");
    bool canceled = false;
    const std::string folder = vlt::QzFile1().ShowDirListing(
        txBackupPath->text().toStdString(), std::string("Set Backup Directory"), &canceled);
    if (!folder.empty() && !canceled) {
        txBackupPath->setText(QString::fromStdString(folder));
    }
}

void frmDupSys::txBackupPath_Change() {
    vlt::TraceScope trace("frmDupSys.txBackupPath_Change");
    props::BackupPath(txBackupPath->text().toStdString());
}

// --- Leaving the window ---

void frmDupSys::cmdExit_Click() {
    vlt::TraceScope trace("frmDupSys.cmdExit_Click");
    if (Reporting) {
        return;
    }
    RunActionReport();
    vlt::State().ChangesApplied = true;
    forms::Form::Unload();
}

void frmDupSys::cmdCancel_Click() {
    vlt::TraceScope trace("frmDupSys.cmdCancel_Click");
    if (Reporting) {
        return;
    }
    forms::Form::Unload();
}

void frmDupSys::cmdRescan_Click() {
    vlt::TraceScope trace("frmDupSys.cmdRescan_Click");
    if (Reporting) {
        return;
    }
    vlt::VltState& state = vlt::State();
    if (dialogs::MsgBox("Do you wish to apply your changes first?",
                        dialogs::vbYesNo | dialogs::vbQuestion,
                        std::string("Rescan")) == dialogs::vbYes) {
        // With nothing queued there is nothing to apply; the report would only say so and end
        // the program instead of scanning again.
        if (state.NextAction < state.ActionCount) {
            RunActionReport();
        }
    } else {
        // Declined changes must not wait, unseen, in the action list for the next OK.
        while (!actionIDX_.empty()) {
            RemoveIDX(actionIDX_.front().FileName);
        }
    }
    state.ScanSucceeded = false;
    vlt::frmVelto().Show();
    ClosingForRescan = true;
    forms::Form::Unload();
}

void frmDupSys::cmdRestore_Click() {
    vlt::TraceScope trace("frmDupSys.cmdRestore_Click");
    frmRestoreBackups::ShowModal();
}

// --- Helpers of the commands ---

void frmDupSys::Mark(std::vector<std::pair<std::string, int>>& marks, Node node, int picture) {
    node.SetImage(picture);
    marks.emplace_back(node.Key(), picture);
}

void frmDupSys::TakeOutOfTree(const std::string& key, const std::string& what) {
    const Node node = TreeView1->Find(key);
    if (!node) {
        return;
    }
    // What the tree no longer shows cannot be looked at, undone or carried out at OK.
    const int withdrawn = WithdrawCommands(key);
    const std::string group = GroupName(key);
    TreeView1->Remove(node);
    std::string status = what + " is taken out of consideration.";
    if (withdrawn > 0) {
        if (const Node remaining = TreeView1->Find(group)) {
            PaintQueued(remaining);
        }
        status += " " + std::to_string(withdrawn) +
                  (withdrawn == 1 ? " queued change to it was" : " queued changes to it were") +
                  " withdrawn.";
    }
    SetStatus(status);
}

void frmDupSys::RunActionReport() {
    struct Closed {
        frmDupSys& window;
        explicit Closed(frmDupSys& w) : window(w) {
            window.Reporting = true;
            window.MenuBar->setEnabled(false);
            window.Client->setEnabled(false);
        }
        ~Closed() {
            window.Reporting = false;
            window.MenuBar->setEnabled(true);
            window.Client->setEnabled(true);
        }
    } closed(*this);
    modVLTFinalize::DoActionReport();
}

bool frmDupSys::PlatformCopyIn(Node group) {
    for (Node child = group.Child(); child; child = child.Next()) {
        if (child.Key().find('*') == std::string::npos &&
            RefusedAsPlatformFile(child.Key(), "copy over it")) {
            return true;
        }
    }
    return false;
}

void frmDupSys::RefreshSelected() {
    if (const Node selected = TreeView1->SelectedItem()) {
        UpdateButtons(selected);
    }
}
