#include "vlt/windows/frmDupSys.h"

#include <QSignalBlocker>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "controls/file/QzFile.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Format.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/App.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/NamedControls.h"
#include "platform/forms/Twips.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/SystemFolders.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"

namespace {

namespace props = modVLTProperties;
using forms::Node;

// Where the node's picture as the matcher built it is kept, so that undo can paint it again.
constexpr int kBuiltImageRole = Qt::UserRole + 16;

// The FileProps field shown under each of PropLabels' labels.
constexpr std::array<int, 11> kPropField = {
    modVLTWork::kCreated,         modVLTWork::kModified,         modVLTWork::kAccessed,
    modVLTWork::kProductVersion,  modVLTWork::kFileVersion,      modVLTWork::kCompanyName,
    modVLTWork::kFileDescription, modVLTWork::kInternalName,     modVLTWork::kLegalCopyright,
    modVLTWork::kProductName,     modVLTWork::kOriginalFileName,
};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// A command button whose caption wraps onto a second line when the button is too narrow for
// it, as the old command buttons did ("Accept Recommended" in the narrow button column), and
// whose text gets smaller, down to a readable least size, when one word alone is too wide.
class WrappingButton : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        constexpr int kFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
        constexpr double kLeastPoints = 6.5;
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        QFont font = this->font();
        while (font.pointSizeF() > kLeastPoints) {
            const QRect needed = QFontMetrics(font).boundingRect(area, kFlags, caption);
            if (needed.width() <= area.width() && needed.height() <= area.height()) {
                break;
            }
            font.setPointSizeF(font.pointSizeF() - 0.5);
        }
        painter.setFont(font);
        painter.drawItemText(area, kFlags, palette(), isEnabled(), caption, QPalette::ButtonText);
    }
};

QPushButton* Button(const char* name, const char* caption, const char* tip, QWidget* parent) {
    auto* button = forms::NamedControl<QPushButton>(name, caption, parent);
    button->setToolTip(tip);
    return button;
}

using forms::MenuItem;
using forms::PictureButton;

}  // namespace

template <typename Sender, typename Signal, typename Handler>
void frmDupSys::On(Sender* sender, Signal signal, Handler handler) {
    QObject::connect(sender, signal, this, [this, handler] {
        vlt::RunEventHandler([this, handler] { (this->*handler)(); });
    });
}

frmDupSys::frmDupSys()
    : MenuBar(new QMenuBar(this)),
      Client(new QWidget(this)),
      TreeView1(new forms::TreeView(Client)),
      StatusBar1(new forms::StatusBar(Client)),
      cmdFileCompare(
          PictureButton("cmdFileCompare", ComparePicture(), "Are Files Identical?", Client)),
      cmdExpandAll(PictureButton("cmdExpandAll", ExpandAllPicture(), "Expand All", Client)),
      cmdCollapseAll(PictureButton("cmdCollapseAll", CollapseAllPicture(), "Collapse All", Client)),
      cmdRemove(Button("cmdRemove", "&Remove", "Remove Selected File", Client)),
      cmdWinSys(Button("cmdWinSys", "&Move", "Move Selected File to Windows System", Client)),
      cmdFollowRecommendation(new WrappingButton("&Accept Recommended", Client)),
      cmdUndo(Button("cmdUndo", "&Undo", "Undo selected change", Client)),
      cmdRestore(Button("cmdRestore", "R&estore", "Restore Backed up system files", Client)),
      cmdRescan(Button("cmdRescan", "Re&scan", "Rescan", Client)),
      cmdExit(Button("cmdExit", "&OK", "Apply all changes and exit", Client)),
      cmdCancel(Button("cmdCancel", "&Cancel", "Abort all changes.", Client)),
      ckBackup(new QCheckBox("Backup to:", Client)),
      txBackupPath(new QLineEdit(Client)),
      cmdGetBackup(PictureButton("cmdGetBackup", FolderPicture(), "Set Backup Folder", Client)),
      Label1(new QLabel("Your actions will not take effect until you click OK.", Client)),
      Label8(new QLabel(Client)) {
    setObjectName("frmDupSys");
    setWindowTitle("Duplicated System Files - Velto");
    setWindowIcon(QIcon(NodePicture(kHasRecommendation)));
    MenuBar->setObjectName("MenuBar");
    Client->setObjectName("Client");
    TreeView1->setObjectName("TreeView1");
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    cmdFollowRecommendation->setObjectName("cmdFollowRecommendation");
    cmdFollowRecommendation->setToolTip("Replace all system files with the recommended one.");
    ckBackup->setObjectName("ckBackup");
    txBackupPath->setObjectName("txBackupPath");
    Label1->setObjectName("Label1");
    Label8->setObjectName("Label8");
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        ImageList1.Add(QIcon(NodePicture(picture)));
    }
    TreeView1->SetImageList(&ImageList1);
    BuildMenus();

    TreeView1->Expand = [this](Node node) {
        vlt::RunEventHandler([this, node] { TreeView1_Expand(node); });
    };
    TreeView1->NodeClick = [this](Node node) {
        vlt::RunEventHandler([this, node] { TreeView1_NodeClick(node); });
    };
    TreeView1->MouseDown = [this](int button, int shift, double x, double y) {
        vlt::RunEventHandler([=, this] { TreeView1_MouseDown(button, shift, x, y); });
    };
    // The arrow keys move the selection without a click: the buttons follow it all the same.
    On(TreeView1, &QTreeWidget::currentItemChanged, &frmDupSys::RefreshSelected);
    On(cmdFileCompare, &QToolButton::clicked, &frmDupSys::cmdFileCompare_Click);
    On(cmdExpandAll, &QToolButton::clicked, &frmDupSys::cmdExpandAll_Click);
    On(cmdCollapseAll, &QToolButton::clicked, &frmDupSys::cmdCollapseAll_Click);
    On(cmdRemove, &QPushButton::clicked, &frmDupSys::cmdRemove_Click);
    On(cmdWinSys, &QPushButton::clicked, &frmDupSys::cmdWinSys_Click);
    On(cmdFollowRecommendation, &QPushButton::clicked, &frmDupSys::cmdFollowRecommendation_Click);
    On(cmdUndo, &QPushButton::clicked, &frmDupSys::cmdUndo_Click);
    On(cmdRestore, &QPushButton::clicked, &frmDupSys::cmdRestore_Click);
    On(cmdRescan, &QPushButton::clicked, &frmDupSys::cmdRescan_Click);
    On(cmdExit, &QPushButton::clicked, &frmDupSys::cmdExit_Click);
    On(cmdCancel, &QPushButton::clicked, &frmDupSys::cmdCancel_Click);
    On(cmdGetBackup, &QToolButton::clicked, &frmDupSys::cmdGetBackup_Click);
    // A check box runs its click handler whenever its value changes, also when the program
    // sets it, and a text box its change handler at every change, as the old controls did.
    On(ckBackup, &QCheckBox::toggled, &frmDupSys::ckBackup_Click);
    On(txBackupPath, &QLineEdit::textChanged, &frmDupSys::txBackupPath_Change);
    On(mnuCompare, &QAction::triggered, &frmDupSys::mnuCompare_Click);
    On(mnuUndo, &QAction::triggered, &frmDupSys::mnuUndo_Click);
    On(mnuDeleteFile, &QAction::triggered, &frmDupSys::mnuDeleteFile_Click);
    On(mnuCopy, &QAction::triggered, &frmDupSys::mnuCopy_Click);
    On(mnuAccept, &QAction::triggered, &frmDupSys::mnuAccept_Click);
    On(mnuFileExclude, &QAction::triggered, &frmDupSys::mnuFileExclude_Click);
    On(mnuExcludePath, &QAction::triggered, &frmDupSys::mnuExcludePath_Click);
    On(mnuAbout, &QAction::triggered, &frmDupSys::mnuAbout_Click);
    On(mnuLicense, &QAction::triggered, &frmDupSys::mnuLicense_Click);

    // The fixed part of the layout (twips in the client area); the resize table moves the rest.
    // The window keeps the 8-point text it was designed with, so that captions fit the narrow
    // button column whatever the desktop's default size.
    QFont font = this->font();
    font.setPointSize(8);
    setFont(font);
    constexpr double kColumnLeft = 45;
    constexpr double kColumnWidth = 1125;
    constexpr double kTreeLeft = 1230;
    forms::Move(*cmdRemove, kColumnLeft, 60, kColumnWidth, 420);
    forms::Move(*cmdWinSys, kColumnLeft, 540, kColumnWidth, 420);
    forms::Move(*cmdFollowRecommendation, kColumnLeft, 1020, kColumnWidth, 600);
    forms::Move(*cmdUndo, kColumnLeft, 1680, kColumnWidth, 420);
    forms::Move(*cmdRestore, kColumnLeft, 2340, kColumnWidth, 420);
    forms::Move(*cmdRescan, kColumnLeft, 2820, kColumnWidth, 420);
    forms::Move(*cmdExit, kColumnLeft, 3480, kColumnWidth, 420);
    forms::Move(*Label1, kTreeLeft, 30, 4500, 225);
    forms::Move(*TreeView1, kTreeLeft, 285, 0, 0);
    // The right-hand controls end where the tree ends, 60 twips inside the client area.
    forms::Move(*cmdFileCompare, 0, 0, 330, 270);
    forms::Move(*cmdExpandAll, 0, 0, 285, 270);
    forms::Move(*cmdCollapseAll, 0, 0, 330, 270);
    forms::Move(*ckBackup, 30, 0, 1185, 270);
    forms::Move(*txBackupPath, kTreeLeft, 0, 0, 300);
    forms::Move(*cmdGetBackup, 0, 0, 360, 300);
    forms::Move(*Label8, kColumnLeft, 0, 6000, 240);
    forms::Move(*cmdCancel, 0, 0, 1080, 375);
    setMinimumWidth(forms::TwipsToPixels(7500 - kFrameWidth));
    resize(forms::TwipsToPixels(kDesignWidth - kFrameWidth),
           MenuBar->sizeHint().height() + forms::TwipsToPixels(kDesignHeight - kFrameHeight));
    PlaceControls();
}

void frmDupSys::BuildMenus() {
    mnuActions = new QMenu("&Actions", this);
    mnuActions->setObjectName("mnuActions");
    mnuCompare = MenuItem(mnuActions, "mnuCompare", "Compare &Files");
    mnuUndo = MenuItem(mnuActions, "mnuUndo", "&Undo");
    mnuDeleteFile = MenuItem(mnuActions, "mnuDeleteFile", "&Delete File");
    mnuCopy = MenuItem(mnuActions, "mnuCopy", "&Copy");
    mnuAccept = MenuItem(mnuActions, "mnuAccept", "&Accept Recommendation");
    mnuAccept->setVisible(false);
    mnuFileExclude = MenuItem(mnuActions, "mnuFileExclude", "E&xclude file from consideration");
    mnuExcludePath = MenuItem(mnuActions, "mnuExcludePath", "Exclude &path from scan");
    mnuActionDum1 = mnuActions->addSeparator();
    mnuActionDum1->setObjectName("mnuActionDum1");
    mnuFileProperties = mnuActions->addMenu("&Properties");
    mnuFileProperties->setObjectName("mnuFileProperties");
    mnuProp[0] = MenuItem(mnuFileProperties, "mnuProp", "");

    mnuHelp = MenuBar->addMenu("&Help");
    mnuHelp->setObjectName("mnuHelp");
    MenuHelp1 = MenuItem(mnuHelp, "MenuHelp1", "&Help");
    mnuHelp->addSeparator();
    mnuAbout = MenuItem(mnuHelp, "mnuAbout", "&About");
    mnuLicense = MenuItem(mnuHelp, "mnuLicense", "Display &License");
}

// --- Load, resize, unload ---

void frmDupSys::Form_Load() {
    vlt::TraceScope trace("frmDupSys.Form_Load");
    // Every load starts a fresh window, as the old runtime made the form anew.
    TreeView1->Clear();
    actionIDX_.clear();
    pendingMarks_.clear();
    ExpandingAll = false;
    ClosingForRescan = false;
    ClickedKey.clear();
    if (PropMenusLoaded) {
        for (std::size_t i = 1; i < mnuProp.size(); ++i) {
            delete mnuProp[i];
            mnuProp[i] = nullptr;
        }
        PropMenusLoaded = false;
    }
    {
        const QSignalBlocker blockBox(ckBackup);
        const QSignalBlocker blockText(txBackupPath);
        ckBackup->setChecked(false);
        txBackupPath->clear();
    }

    FirstExpandPending = true;
    Label8->setText(Q(dialogs::App().LegalCopyright()));
    cmdFollowRecommendation->setVisible(props::ShowRecommended());
    SetStatus("Right-Click for additional menu items");
    const bool backup = props::Backup();
    ckBackup->setChecked(backup);
    txBackupPath->setText(Q(props::BackupPath()));
    txBackupPath->setEnabled(backup);
    cmdGetBackup->setEnabled(backup);
    cmdWinSys->setToolTip(Q("Copy Selected File to " + SystemFolder()));
    PropLabels = {"Created",      "Modified",     "Accessed",          "Product Version",
                  "File Version", "Company Name", "File Description",  "Internal Name",
                  "Copyright",    "Product Name", "Original File Name"};
    for (QWidget* button : {cmdUndo, cmdRemove, cmdWinSys, cmdFollowRecommendation}) {
        button->setEnabled(false);
    }
    for (QAction* item : {mnuFileProperties->menuAction(), mnuDeleteFile, mnuCopy, mnuExcludePath,
                          mnuActionDum1, mnuAccept}) {
        item->setVisible(false);
    }
}

void frmDupSys::Form_Resize() {
    vlt::TraceScope trace("frmDupSys.Form_Resize");
    const int state = WindowState();
    if (state == forms::vbNormal) {
        const int menuHeight = MenuBar->sizeHint().height();
        const double height = forms::PixelsToTwips(this->height() - menuHeight) + kFrameHeight;
        if (height < kMinHeight) {
            resize(width(), menuHeight + forms::TwipsToPixels(kMinHeight - kFrameHeight));
        }
    }
    if (state != forms::vbMinimized) {
        PlaceControls();
    }
}

void frmDupSys::PlaceControls() {
    const int menuHeight = MenuBar->sizeHint().height();
    MenuBar->setGeometry(0, 0, width(), menuHeight);
    Client->setGeometry(0, menuHeight, width(), height() - menuHeight);
    const int statusHeight = StatusBar1->sizeHint().height();
    StatusBar1->setGeometry(0, Client->height() - statusHeight, Client->width(), statusHeight);

    const double W = forms::PixelsToTwips(Client->width()) + kFrameWidth;
    const double H = forms::PixelsToTwips(Client->height()) + kFrameHeight;
    // A window narrower or lower than the controls need must not make a size negative.
    const auto atLeastZero = [](double twips) { return twips < 0 ? 0.0 : twips; };
    forms::SetHeight(*TreeView1, atLeastZero(H - 1875));
    forms::SetWidth(*TreeView1, atLeastZero(W - 1350));
    forms::SetTop(*ckBackup, H - 1545);
    forms::SetTop(*txBackupPath, H - 1560);
    forms::SetWidth(*txBackupPath, atLeastZero(W - 1725));
    forms::SetTop(*cmdGetBackup, H - 1575);
    forms::SetLeft(*cmdGetBackup, W - 480);
    forms::SetTop(*Label8, H - 1155);
    forms::SetTop(*cmdCancel, H - 1215);
    forms::SetLeft(*cmdCancel, W - 1200);
    forms::SetLeft(*cmdFileCompare, W - 1560);
    forms::SetLeft(*cmdExpandAll, W - 750);
    forms::SetLeft(*cmdCollapseAll, W - 450);
}

void frmDupSys::Form_QueryUnload(int& cancel, int unloadMode) {
    vlt::TraceScope trace("frmDupSys.Form_QueryUnload");
    if (Reporting && unloadMode == forms::vbFormControlMenu) {
        cancel = 1;
    }
}

void frmDupSys::Form_Unload(int& cancel) {
    vlt::RunEventHandler([&] {
        vlt::TraceScope trace("frmDupSys.Form_Unload");
        if (ClosingForRescan) {
            return;
        }
        // Changes carried out (OK, or Rescan's "apply first") are no longer there to abort;
        // changes queued since then are.
        const vlt::VltState& state = vlt::State();
        const bool queued = state.NextAction < state.ActionCount;
        if ((!state.ChangesApplied || queued) &&
            dialogs::MsgBox("Are you sure you wish to exit and abort your changes?",
                            dialogs::vbYesNo | dialogs::vbQuestion,
                            std::string("Verify Abort")) == dialogs::vbNo) {
            cancel = 1;
            return;
        }
        QzBase::CloseProgram();
    });
}

// --- The tree as the matcher fills it ---

void frmDupSys::AddGroup(const std::string& name, int image) {
    Load();
    const Node node = TreeView1->Add(std::string(), forms::tvwLast, name, name, image);
    node.Item()->setData(0, kBuiltImageRole, image);
}

void frmDupSys::AddCopy(const std::string& groupKey, const std::string& path, int image) {
    Load();
    const Node node = TreeView1->Add(groupKey, forms::tvwChild, path, path, image);
    node.Item()->setData(0, kBuiltImageRole, image);
}

void frmDupSys::AddNote(const std::string& groupKey, const std::string& key,
                        const std::string& text, int image) {
    Load();
    const Node node = TreeView1->Add(groupKey, forms::tvwChild, key, text, image);
    node.Item()->setData(0, kBuiltImageRole, image);
}

void frmDupSys::RepaintAsBuilt(Node group) {
    const auto paint = [](Node node) {
        node.SetImage(node.Item()->data(0, kBuiltImageRole).toInt());
    };
    for (Node child = group.Child(); child; child = child.Next()) {
        paint(child);
    }
    paint(group);
}

// --- Property rows ---

void frmDupSys::AddChild(const std::string& parentKey, const std::string& label,
                         const std::string& value) {
    vlt::TraceScope trace("frmDupSys.AddChild");
    if (value.empty()) {
        return;
    }
    TreeView1->Add(parentKey, forms::tvwChild, parentKey + "*" + label, label + ": " + value);
}

std::size_t frmDupSys::PropField(std::size_t label) {
    return static_cast<std::size_t>(kPropField.at(label));
}

// A size of 0 formats to nothing, so its row reads "File Size:  bytes".
std::string frmDupSys::FileSizeText(const std::string& size) {
    return "File Size: " +
           automation::Format(automation::Variant(automation::Val(size)), "###,###,###,###") +
           " bytes";
}

void frmDupSys::AddProperties(Node node) {
    vlt::TraceScope trace("frmDupSys.AddProperties");
    if (!node || node.Key().find('*') != std::string::npos) {
        return;
    }
    const Node first = node.Child();
    if (!first) {
        // A copy opened by Expand All has no rows yet: its group's rows are loaded now, so
        // that a click on it shows what a click on its group would.
        if (const Node group = node.Parent()) {
            AddProperties(group);
        }
        return;
    }
    if (first.Key().find('*') != std::string::npos || first.Children() > 0) {
        return;
    }
    std::vector<std::string> paths;
    for (Node child = first; child; child = child.Next()) {
        if (child.Key().find('*') == std::string::npos) {
            paths.push_back(child.Text());
        }
    }
    // Where programs bring their own copy of a library the platform provides: what it loads.
    const auto choice = modVLTWork::LibraryChoiceOf(paths);
    for (const std::string& path : paths) {
        const modVLTWork::FileProps values = modVLTWork::GetFileProps(path);
        TreeView1->Add(path, forms::tvwChild, path + "*Size",
                       FileSizeText(values[modVLTWork::kSize]));
        for (std::size_t i = 0; i < PropLabels.size(); ++i) {
            AddChild(path, PropLabels[i], values[PropField(i)]);
        }
        if (!values[modVLTWork::kPlatformOwner].empty()) {
            AddChild(path, "Left to " + values[modVLTWork::kPlatformOwner],
                     values[modVLTWork::kPlatformFile]);
        }
        if (choice) {
            AddChild(path, choice->platform + " loads", modVLTWork::LibraryChoiceText(*choice));
        }
    }
}

// --- Expanding, collapsing, clicking ---

void frmDupSys::TreeView1_Expand(Node node) {
    vlt::TraceScope trace("frmDupSys.TreeView1_Expand");
    if (ExpandingAll) {
        return;
    }
    if (node.Expanded() && FirstExpandPending) {
        node.SetExpanded(false);
        FirstExpandPending = false;
    }
    AddProperties(node);
}

void frmDupSys::cmdExpandAll_Click() {
    vlt::TraceScope trace("frmDupSys.cmdExpandAll_Click");
    Qz_File::QzFile& file = vlt::QzFile1();
    ExpandingAll = true;
    TreeView1->ExpandWhere([&](const Node& node) {
        const std::string key = node.Key();
        return key == file.GrabFilename(key);
    });
    ExpandingAll = false;
}

void frmDupSys::cmdCollapseAll_Click() {
    vlt::TraceScope trace("frmDupSys.cmdCollapseAll_Click");
    TreeView1->collapseAll();
}

void frmDupSys::TreeView1_NodeClick(Node node) {
    vlt::TraceScope trace("frmDupSys.TreeView1_NodeClick");
    if (!node) {
        return;
    }
    const std::string name = GroupName(node.Key());
    if (ClickedKey.empty()) {
        ClickedKey = name;
    }
    AddProperties(node);
    UpdateButtons(node);
}

void frmDupSys::UpdateButtons(Node node) {
    const std::string key = node.Key();
    const std::string name = GroupName(key);
    const Node group = TreeView1->Find(name);
    // RecommendedList names paths: the group's copies' file name is what it holds.
    const std::string fileName = group ? FileNameOf(group) : name;
    const std::string& list = vlt::State().RecommendedList;
    const int picture = node.Image();
    if (picture == kKept || picture == kFlagged) {
        cmdUndo->setEnabled(true);
        cmdRemove->setEnabled(false);
        cmdWinSys->setEnabled(false);
        cmdFollowRecommendation->setEnabled(false);
    } else {
        cmdUndo->setEnabled(false);
        cmdFollowRecommendation->setEnabled(list.find(fileName + "|") != std::string::npos);
    }
    if (key == name) {
        cmdRemove->setEnabled(false);
        cmdWinSys->setEnabled(false);
    } else {
        cmdFollowRecommendation->setEnabled(list.find(fileName) != std::string::npos);
        cmdRemove->setEnabled(true);
        cmdWinSys->setEnabled(true);
    }
    // A row names its copy: the tip speaks of the copy, not of "path*label".
    const std::string copy = std::string(automation::Trim(key.substr(0, key.find('*'))));
    Qz_File::QzFile& file = vlt::QzFile1();
    const std::string system = group ? SystemFolderOf(group) : SystemFolderSlash();
    if (file.FileExists(system + fileName)) {
        cmdWinSys->setToolTip(Q("Copy " + copy + " to " + WithoutSlash(system) +
                                " and delete from all other folders."));
    } else {
        cmdWinSys->setToolTip(
            Q("Copy " + copy + " to all folders where " + file.GrabFilename(copy) + " exists."));
    }
}

// --- Small helpers ---

std::string frmDupSys::GroupName(const std::string& key) {
    const std::string before(automation::Trim(key.substr(0, key.find('*'))));
    if (before.find('\\') == std::string::npos) {
        return before;
    }
    // A copy's group is its parent: the copies of one name may stand in groups of their own
    // (one per processor), whose keys are not the name.
    if (const Node copy = TreeView1->Find(before)) {
        if (const Node group = copy.Parent()) {
            return group.Key();
        }
    }
    return vlt::QzFile1().GrabFilename(before);
}

Node frmDupSys::GroupOf(const std::string& key) {
    return TreeView1->Find(GroupName(key));
}

std::string frmDupSys::FileNameOf(Node group) {
    for (Node child = group.Child(); child; child = child.Next()) {
        if (child.Key().find('*') == std::string::npos) {
            return vlt::QzFile1().GrabFilename(child.Key());
        }
    }
    return group.Key();
}

void frmDupSys::SetStatus(const std::string& text) {
    StatusBar1->SetSimpleText(text);
}

std::string frmDupSys::SystemFolderSlash() {
    return QzBase::LastSlash(vlt::Sys1().SystemDir());
}

std::string frmDupSys::SystemFolder() {
    return WithoutSlash(vlt::Sys1().SystemDir());
}

std::string frmDupSys::WithoutSlash(std::string folder) {
    // A drive root keeps its backslash (C:\), as every folder name of the system does.
    if (folder.size() > 3 && folder.back() == '\\') {
        folder.pop_back();
    }
    return folder;
}

std::string frmDupSys::SystemFolderOf(Node group) {
    for (Node child = group.Child(); child; child = child.Next()) {
        if (child.Key().find('*') == std::string::npos) {
            return modVLTWork::SystemFolderOf(child.Key());
        }
    }
    return SystemFolderSlash();
}
