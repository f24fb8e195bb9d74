// frmDupSys, the duplicate review window: after a scan it shows every group of same-named
// system files as a tree (one top-level node per file name, one child per copy, the copy's
// properties below it) and lets the user flag copies for deletion, copy one copy over the
// others, accept the recommendation, compare contents and undo. Commands only queue entries on
// the core's action list; nothing touches a file before OK.
//
// The kind of a node is told from its key alone:
//   group  "LIB.DLL"                                   (a file name, no folder part)
//   copy   "C:\APP\LIB.DLL"                            (the full path)
//   note   "LIB.DLL *  COMPANY NAME DOES NOT MATCH"    (the group's name, " * ", " ", the note)
//   row    "C:\APP\LIB.DLL*Size", "C:\APP\LIB.DLL*Company Name"
// A key holding "*" is a row or a note; the text before the first "*", trimmed, is the key of
// its copy (rows) or of its group (notes).
//
// The window is split by job: frmDupSys.cpp builds the window and the tree (lazy property
// rows, node clicks, expanding, resizing), frmDupSysActions.cpp holds the commands,
// frmDupSysUndo.cpp the undo records and frmDupSysPictures.cpp the painted pictures.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/forms/Form.h"
#include "platform/forms/ImageList.h"
#include "platform/forms/StatusBar.h"
#include "platform/forms/TreeView.h"
#include "vlt/core/WindowInterfaces.h"

class frmDupSys : public forms::Form, public vlt::ReviewWindow {
  public:
    // Pictures of ImageList1.
    static constexpr int kRecommended = 1;  // the recommended copy
    static constexpr int kOtherCopy = 2;    // another copy of a group with a recommendation
    static constexpr int kKept = 3;         // the copy kept and copied over; accepted group
    static constexpr int kNoRecommendationCopy = 4;  // a copy of a group without recommendation
    static constexpr int kFlagged = 5;               // a copy flagged to be deleted or overwritten
    static constexpr int kNoRecommendation = 6;      // group without recommendation; note node
    static constexpr int kHasRecommendation = 7;     // group with a recommendation
    static constexpr int kPlatformCopy = 8;          // a file of the platform (Wine's own library)
    static constexpr int kPictureCount = 8;

    // The window never gets lower than this (twips, the window's outer height).
    static constexpr double kMinHeight = 7275;
    // The resize table works with the window's outer size on the classic frame it was designed
    // for: the client area (below the menu bar) plus these borders and caption. Fixing them
    // here makes the layout the same under every window manager and on offscreen.
    static constexpr double kFrameWidth = 60;
    static constexpr double kFrameHeight = 405;
    static constexpr double kDesignWidth = 11400;
    static constexpr double kDesignHeight = 8400;

    // One undo record: the entries First..Last of the action list that one command added for
    // the group FileName, and the pictures the command painted (node key, picture), so that the
    // group can be painted again when an older command of it is undone.
    struct ActionIDX {
        std::string FileName;
        std::int32_t First = 0;
        std::int32_t Last = -1;
        std::vector<std::pair<std::string, int>> Marks;
    };

    frmDupSys();

    // Pictures 1 to 7 of the node icons, and of the picture buttons.
    static QPixmap NodePicture(int index);
    static QPixmap ComparePicture();
    static QPixmap ExpandAllPicture();
    static QPixmap CollapseAllPicture();
    static QPixmap FolderPicture();

    // --- Window and tree (frmDupSys.cpp) ---
    void Form_Load() override;
    void Form_Resize() override;
    // While the action report runs, the close box is refused: the changes are being carried
    // out and the report's questions are still to come.
    void Form_QueryUnload(int& cancel, int unloadMode) override;
    // Asks before abandoning changes that are queued and not carried out.
    void Form_Unload(int& cancel) override;

    // vlt::ReviewWindow: the matcher adds groups, copies and notes; the first addition loads
    // the window.
    void AddGroup(const std::string& name, int image) override;
    void AddCopy(const std::string& groupKey, const std::string& path, int image) override;
    void AddNote(const std::string& groupKey, const std::string& key, const std::string& text,
                 int image) override;
    void Show() override { forms::Form::Show(forms::vbModeless); }

    // A row "label: value" below the node parentKey; nothing for an empty value.
    void AddChild(const std::string& parentKey, const std::string& label, const std::string& value);
    // Loads the size and property rows of every copy of a group that has none yet. Given a
    // copy whose rows were never loaded (after Expand All), loads its group's rows.
    void AddProperties(forms::Node node);
    void TreeView1_Expand(forms::Node node);
    void TreeView1_NodeClick(forms::Node node);
    void cmdExpandAll_Click();
    void cmdCollapseAll_Click();

    // --- Commands (frmDupSysActions.cpp) ---
    void TreeView1_MouseDown(int button, int shift, double x, double y);
    // The copy path a command works on (action "remove" or "copy"): `key` when given, else the
    // selected node's text; "" after telling the user when that is no copy.
    std::string FileSelect(const std::string& action, const std::string& key);
    void BackupVerify();
    void KillIt(const std::string& path);
    void GoCopy(const std::string& path);
    // Accepting the recommendation of the group that `start` belongs to.
    void AcceptRecommended(forms::Node start);
    // Queues keeping one copy of the group and copying it over the others (from `start`, the
    // group's first child, to its last): the recommended copy, or the copy keptPath. False
    // when no copy qualified and nothing was queued.
    bool SetPathArray(forms::Node start, bool followRecommendation,
                      const std::string& keptPath = {});
    void AreFilesSame(forms::Node start);

    void cmdRemove_Click();
    void mnuDeleteFile_Click();
    void cmdWinSys_Click();
    void mnuCopy_Click();
    void cmdFollowRecommendation_Click();
    void mnuAccept_Click();
    void cmdFileCompare_Click();
    void mnuCompare_Click();
    void cmdUndo_Click();
    void mnuUndo_Click();
    void mnuFileExclude_Click();
    void mnuExcludePath_Click();
    void mnuAbout_Click();
    void mnuLicense_Click();
    void ckBackup_Click();
    void cmdGetBackup_Click();
    void txBackupPath_Change();
    void cmdExit_Click();
    void cmdCancel_Click();
    void cmdRescan_Click();
    void cmdRestore_Click();

    // --- Undo records (frmDupSysUndo.cpp) ---
    void AddActionIDX(const std::string& FileName, std::int32_t First, std::int32_t Last);
    // The index of the first record of FileName, or ActionIDXCount() when there is none.
    std::int32_t FindActionFile(const std::string& FileName) const;
    // Takes the oldest command of FileName out of the action list; the positions of the
    // records after it move down with the entries.
    void RemoveIDX(const std::string& FileName);
    // Takes every command that involves the node `key` out of the action list, as undo would:
    // the commands that flag, keep or copy over that copy, or for a group every command of
    // the group. Used when the node leaves the tree, so that nothing the tree no longer shows
    // is carried out at OK. Returns how many commands were withdrawn.
    int WithdrawCommands(const std::string& key);
    void UndoWork(forms::Node node);
    std::int32_t ActionIDXCount() const { return static_cast<std::int32_t>(actionIDX_.size()); }
    const std::vector<ActionIDX>& ActionIDXs() const { return actionIDX_; }

    // --- Window state, reset at every load ---
    bool ExpandingAll = false;
    bool FirstExpandPending = false;
    bool ClosingForRescan = false;
    bool PropMenusLoaded = false;
    // True while OK (or Rescan's "apply first") runs the action report: the window takes no
    // command then, so that nothing is reported, asked or carried out twice.
    bool Reporting = false;
    std::string ClickedKey;
    std::array<std::string, 11> PropLabels;

    // --- Controls ---
    QMenuBar* MenuBar;
    QWidget* Client;  // the client area below the menu bar; controls' positions are in it
    forms::TreeView* TreeView1;
    forms::ImageList ImageList1;
    forms::StatusBar* StatusBar1;
    QToolButton* cmdFileCompare;
    QToolButton* cmdExpandAll;
    QToolButton* cmdCollapseAll;
    QPushButton* cmdRemove;
    QPushButton* cmdWinSys;
    QPushButton* cmdFollowRecommendation;
    QPushButton* cmdUndo;
    QPushButton* cmdRestore;
    QPushButton* cmdRescan;
    QPushButton* cmdExit;
    QPushButton* cmdCancel;
    QCheckBox* ckBackup;
    QLineEdit* txBackupPath;
    QToolButton* cmdGetBackup;
    QLabel* Label1;
    QLabel* Label8;

    QMenu* mnuActions;
    QAction* mnuCompare;
    QAction* mnuUndo;
    QAction* mnuDeleteFile;
    QAction* mnuCopy;
    QAction* mnuAccept;
    QAction* mnuFileExclude;
    QAction* mnuExcludePath;
    QAction* mnuActionDum1;
    QMenu* mnuFileProperties;
    // Item 0 exists from the start; items 1 to 11 are made on first use (PropMenusLoaded).
    std::array<QAction*, 12> mnuProp{};
    QMenu* mnuHelp;
    QAction* MenuHelp1;
    QAction* mnuAbout;
    QAction* mnuLicense;

  private:
    // Connects a widget's signal to a handler that runs as an event handler of the program.
    template <typename Sender, typename Signal, typename Handler>
    void On(Sender* sender, Signal signal, Handler handler);
    void BuildMenus();
    void PlaceControls();
    // The key of the group that the node with this key belongs to: a group's own key (its
    // file name, or the name and the processor when the copies of a name are judged per
    // processor), a note's group, a copy's or a row's parent group.
    std::string GroupName(const std::string& key);
    // The group node that the node with this key belongs to (Nothing when it is gone).
    forms::Node GroupOf(const std::string& key);
    // The file name of a group's copies.
    static std::string FileNameOf(forms::Node group);
    // Whether the copy belongs to the platform; if so the user is told that it is not `what`
    // ("deleted", "copied over", "copied") and why.
    bool RefusedAsPlatformFile(const std::string& path, const std::string& what);
    // Whether a copy of the group belongs to the platform (the user is told so): nothing is
    // copied over the group's copies then.
    bool PlatformCopyIn(forms::Node group);
    // "File Size: 1,024 bytes" from the size as text.
    static std::string FileSizeText(const std::string& size);
    // The FileProps field shown under PropLabels entry `label`.
    static std::size_t PropField(std::size_t label);
    // The buttons' states and cmdWinSys's tool tip for the node clicked or changed last.
    void UpdateButtons(forms::Node node);
    // UpdateButtons for the selected node after a command changed the tree.
    void RefreshSelected();
    // Paints the group as the matcher built it.
    void RepaintAsBuilt(forms::Node group);
    // Paints the group as built, then the pictures of its commands still queued.
    void PaintQueued(forms::Node group);
    // Takes the command of record `index` out of the action list and drops the record.
    void RemoveRecord(std::size_t index);
    // Takes the node out of the tree with the commands that involve it, and says so.
    void TakeOutOfTree(const std::string& key, const std::string& what);
    // Runs the action report with the window closed to commands.
    void RunActionReport();
    // Sets a node's picture and records it for the command being queued.
    void Mark(std::vector<std::pair<std::string, int>>& marks, forms::Node node, int picture);
    void SetStatus(const std::string& text);
    // The system folder as messages show it (no trailing backslash), and with one.
    static std::string SystemFolder();
    static std::string SystemFolderSlash();
    static std::string WithoutSlash(std::string folder);
    // The system folder a group's copies are judged against (their processor's; ending in
    // "\").
    static std::string SystemFolderOf(forms::Node group);

    std::vector<ActionIDX> actionIDX_;
    // Marks of the command being queued, taken over by the next undo record.
    std::vector<std::pair<std::string, int>> pendingMarks_;
};
