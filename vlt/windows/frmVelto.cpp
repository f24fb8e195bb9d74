#include "vlt/windows/frmVelto.h"

#include <QSignalBlocker>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/automation/Errors.h"
#include "platform/automation/Variant.h"
#include "platform/dialogs/App.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/NamedControls.h"
#include "platform/forms/Twips.h"
#include "platform/machine/Machine.h"
#include "platform/machine/SystemStores.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/Steps.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"

namespace {

// The window is designed on a client area of this size (twips), below the menu bar.
constexpr double kClientWidth = 9840;
constexpr double kClientHeight = 8760;

constexpr const char* kCompCaptions[frmVelto::kCompCount] = {
    "File Version",       "Product Version",    "Created Date",   "Modified Date",
    "Accessed Date",      "File Size",          "Product Name",   "Company Name",
    "Original File Name", "Internal File Name", "File Copyright", "File Description"};

QGroupBox* Frame(const char* name, const char* caption, QWidget* parent) {
    return forms::NamedControl<QGroupBox>(name, caption, parent);
}

QCheckBox* CheckBox(const char* name, const char* caption, QWidget* parent) {
    return forms::NamedControl<QCheckBox>(name, caption, parent);
}

QToolButton* PictureButton(const char* name, frmVelto::Picture picture, const char* tip,
                           QWidget* parent) {
    return forms::PictureButton(name, frmVelto::ButtonPicture(picture), tip, parent);
}

using forms::MenuItem;

}  // namespace

frmVelto::frmVelto()
    : MenuBar(new QMenuBar(this)),
      Frame1(Frame("Frame1", "Files to Check", this)),
      ckDLL(CheckBox("ckDLL", "DLL's (Dynamic Link Library)", Frame1)),
      ckOCX(CheckBox("ckOCX", "OCX's (ActiveX Control)", Frame1)),
      ckDRV(CheckBox("ckDRV", "DRV's (Device Driver)", Frame1)),
      ckEXE(CheckBox("ckEXE", "EXE's (Executable)", Frame1)),
      ckACM(CheckBox("ckACM", "ACM's (Audio Compress Manager)", Frame1)),
      ckTLB(CheckBox("ckTLB", "TLB's (Type Library)", Frame1)),
      ckVBX(CheckBox("ckVBX", "VBX's (Visual Basic Control)", Frame1)),
      ckVXD(CheckBox("ckVXD", "VXD's (Virtual Device Driver)", Frame1)),
      Frame5(Frame("Frame5", "What to Display", this)),
      Frame2(Frame("Frame2", "Options", this)),
      ckRecommend(CheckBox("ckRecommend", "Show recommended best system file", Frame2)),
      frCheckOptions(
          Frame("frCheckOptions", "File Properties to Compare for Version Conflicts", this)),
      ckQzDefault(CheckBox("ckQzDefault", "Use Smart Checking", frCheckOptions)),
      Frame4(Frame("Frame4", "Folders to exclude from scan", this)),
      List1(new QListWidget(Frame4)),
      cmdAddExclusion(
          PictureButton("cmdAddExclusion", Picture::AddExclusion, "Add to Exclusion List", Frame4)),
      cmdRemoveExclusion(PictureButton("cmdRemoveExclusion", Picture::RemoveExclusion,
                                       "Remove Selected Folder from Exclusion List", Frame4)),
      lbNote1(new QLabel("*** - Exclude all subfolders of listed folder", Frame4)),
      lbSystemStores(new QLabel("Never scanned: the system's own stores", Frame4)),
      Frame3(Frame("Frame3", "Backup Directory", this)),
      ckBackup(CheckBox("ckBackup", "Backup removed versions (Highly Recommended)", Frame3)),
      txBackupPath(new QLineEdit(Frame3)),
      cmdGetBackup(PictureButton("cmdGetBackup", Picture::GetBackup, "Set Backup Folder", Frame3)),
      cmdRecycle(
          PictureButton("cmdRecycle", Picture::Recycle, "Send Backups to Recycle Bin", Frame3)),
      cmdRestore(
          PictureButton("cmdRestore", Picture::Restore, "Restore Backup System File", Frame3)),
      cmdScan(new QPushButton("Scan!", this)),
      cmdExit(PictureButton("cmdExit", Picture::Exit, "Exit", this)),
      lbCopyright(new QLabel(this)),
      Line1(new QFrame(this)),
      QzResize1(new Qz_Resize::QzResize(this)) {
    setObjectName("frmVelto");
    setWindowTitle("Select Options - Velto");
    setWindowIcon(QIcon(ButtonPicture(Picture::Logo)));
    MenuBar->setObjectName("MenuBar");
    optAllDuplicate[0] = new QRadioButton("All duplicates", Frame5);
    optAllDuplicate[1] = new QRadioButton("Only duplicates with version conflicts", Frame5);
    for (int i = 0; i < 2; ++i) {
        optAllDuplicate[i]->setObjectName("optAllDuplicate");
        optAllDuplicate[i]->setProperty("Index", i);
    }
    ckQzDefault->setToolTip(
        "Verify File and Product Version, file size, and either Created date OR modified date.  "
        "Company Name, Product Name, Original File Name, and Internal File Name must all match.");
    for (int i = 0; i < kCompCount; ++i) {
        ckComp[i] = CheckBox("ckComp", kCompCaptions[i], frCheckOptions);
        ckComp[i]->setProperty("Index", i);
    }
    List1->setObjectName("List1");
    lbNote1->setObjectName("lbNote1");
    lbSystemStores->setObjectName("lbSystemStores");
    lbSystemStores->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txBackupPath->setObjectName("txBackupPath");
    cmdScan->setObjectName("cmdScan");
    cmdScan->setToolTip("Scan System Files");
    QFont scanFont = cmdScan->font();
    scanFont.setPointSize(14);
    scanFont.setBold(true);
    cmdScan->setFont(scanFont);
    lbCopyright->setObjectName("lbCopyright");
    Line1->setObjectName("Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    BuildMenus();
    LayOut();
    DesignState();
    Connect();
}

void frmVelto::BuildMenus() {
    mnuFile = MenuBar->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    mnuScan = MenuItem(mnuFile, "mnuScan", "Begin &Scan");
    mnuRestore = MenuItem(mnuFile, "mnuRestore", "&Restore Backups");
    mnuHelp = MenuBar->addMenu("&Help");
    mnuHelp->setObjectName("mnuHelp");
    Help = MenuItem(mnuHelp, "Help", "&Help");
    Help->setShortcut(QKeySequence::HelpContents);
    div0 = mnuHelp->addSeparator();
    div0->setObjectName("div0");
    mnuAbout = MenuItem(mnuHelp, "mnuAbout", "&About");
    mnuLicense = MenuItem(mnuHelp, "mnuLicense", "&License");
    div1 = mnuHelp->addSeparator();
    div1->setObjectName("div1");
    mnuUpdateCheck = MenuItem(mnuHelp, "mnuUpdateCheck", "&Check for Updates");
}

void frmVelto::LayOut() {
    // Positions are designed on the client area; the menu bar sits above it.
    const double menu = forms::PixelsToTwips(MenuBar->sizeHint().height());
    auto place = [menu](QWidget* control, double left, double top, double width, double height) {
        forms::Move(*control, left, top + menu, width, height);
    };
    place(Frame1, 120, 120, 4200, 3180);
    const std::array<QCheckBox*, 8> types = {ckDLL, ckOCX, ckDRV, ckEXE,
                                             ckACM, ckTLB, ckVBX, ckVXD};
    for (std::size_t i = 0; i < types.size(); ++i) {
        forms::Move(*types[i], 180, 360 + 330 * static_cast<double>(i), 3960, 300);
    }
    place(frCheckOptions, 4440, 120, 5280, 3180);
    forms::Move(*ckQzDefault, 180, 360, 4920, 300);
    for (int i = 0; i < kCompCount; ++i) {
        forms::Move(*ckComp[i], i < 6 ? 180 : 2700, 810 + 360 * (i % 6), 2460, 300);
    }
    place(Frame5, 120, 3420, 4200, 1110);
    forms::Move(*optAllDuplicate[0], 180, 360, 3960, 300);
    forms::Move(*optAllDuplicate[1], 180, 720, 3960, 300);
    place(Frame2, 4440, 3420, 5280, 1110);
    forms::Move(*ckRecommend, 180, 360, 4920, 300);
    place(Frame4, 120, 4650, 9600, 2100);
    forms::Move(*List1, 180, 360, 8550, 1290);
    forms::Move(*cmdAddExclusion, 8850, 360, 570, 570);
    forms::Move(*cmdRemoveExclusion, 8850, 1050, 570, 570);
    forms::Move(*lbNote1, 180, 1710, 4200, 270);
    forms::Move(*lbSystemStores, 4440, 1710, 4290, 270);
    place(Frame3, 120, 6870, 6780, 1320);
    forms::Move(*ckBackup, 180, 330, 6420, 300);
    forms::Move(*txBackupPath, 180, 780, 4350, 360);
    forms::Move(*cmdGetBackup, 4650, 690, 570, 540);
    forms::Move(*cmdRecycle, 5310, 690, 570, 540);
    forms::Move(*cmdRestore, 5970, 690, 570, 540);
    place(cmdScan, 7020, 6990, 1770, 1200);
    place(cmdExit, 8910, 6990, 810, 1200);
    place(Line1, 0, 8310, kClientWidth, 30);
    place(lbCopyright, 120, 8400, 9600, 270);
    resize(forms::TwipsToPixels(kClientWidth), forms::TwipsToPixels(kClientHeight + menu));
    StretchToWidth();
}

void frmVelto::Connect() {
    // A check box runs its click handler whenever its value changes, also when the program
    // sets it, as the old check boxes did; an option button when it becomes selected.
    auto onToggle = [this](QAbstractButton* box, void (frmVelto::*handler)()) {
        QObject::connect(box, &QAbstractButton::toggled, this, [this, handler] {
            vlt::RunEventHandler([this, handler] { (this->*handler)(); });
        });
    };
    auto onClick = [this](auto* sender, auto signal, void (frmVelto::*handler)()) {
        QObject::connect(sender, signal, this, [this, handler] {
            vlt::RunEventHandler([this, handler] { (this->*handler)(); });
        });
    };
    onToggle(ckACM, &frmVelto::ckACM_Click);
    onToggle(ckDLL, &frmVelto::ckDLL_Click);
    onToggle(ckDRV, &frmVelto::ckDRV_Click);
    onToggle(ckEXE, &frmVelto::ckEXE_Click);
    onToggle(ckOCX, &frmVelto::ckOCX_Click);
    onToggle(ckTLB, &frmVelto::ckTLB_Click);
    onToggle(ckVBX, &frmVelto::ckVBX_Click);
    onToggle(ckVXD, &frmVelto::ckVXD_Click);
    onToggle(ckRecommend, &frmVelto::ckRecommend_Click);
    onToggle(ckQzDefault, &frmVelto::ckQzDefault_Click);
    onToggle(ckBackup, &frmVelto::ckBackup_Click);
    for (int i = 0; i < kCompCount; ++i) {
        QObject::connect(ckComp[i], &QCheckBox::toggled, this,
                         [this, i] { vlt::RunEventHandler([this, i] { ckComp_Click(i); }); });
    }
    for (int i = 0; i < 2; ++i) {
        QObject::connect(optAllDuplicate[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) {
                vlt::RunEventHandler([this, i] { optAllDuplicate_Click(i); });
            }
        });
    }
    onClick(txBackupPath, &QLineEdit::textChanged, &frmVelto::txBackupPath_Change);
    onClick(List1, &QListWidget::itemSelectionChanged, &frmVelto::List1_Click);
    onClick(cmdAddExclusion, &QToolButton::clicked, &frmVelto::cmdAddExclusion_Click);
    onClick(cmdRemoveExclusion, &QToolButton::clicked, &frmVelto::cmdRemoveExclusion_Click);
    onClick(cmdGetBackup, &QToolButton::clicked, &frmVelto::cmdGetBackup_Click);
    onClick(cmdRecycle, &QToolButton::clicked, &frmVelto::cmdRecycle_Click);
    onClick(cmdRestore, &QToolButton::clicked, &frmVelto::cmdRestore_Click);
    onClick(cmdScan, &QPushButton::clicked, &frmVelto::cmdScan_Click);
    onClick(cmdExit, &QToolButton::clicked, &frmVelto::cmdExit_Click);
    onClick(mnuScan, &QAction::triggered, &frmVelto::mnuScan_Click);
    onClick(mnuRestore, &QAction::triggered, &frmVelto::mnuRestore_Click);
    onClick(Help, &QAction::triggered, &frmVelto::Help_Click);
    onClick(mnuAbout, &QAction::triggered, &frmVelto::mnuAbout_Click);
    onClick(mnuLicense, &QAction::triggered, &frmVelto::mnuLicense_Click);
    onClick(mnuUpdateCheck, &QAction::triggered, &frmVelto::mnuUpdateCheck_Click);
}

void frmVelto::DesignState() {
    std::vector<std::unique_ptr<QSignalBlocker>> quiet;
    for (QObject* control : findChildren<QObject*>()) {
        quiet.push_back(std::make_unique<QSignalBlocker>(control));
    }
    for (QCheckBox* box : {ckOCX, ckDRV, ckEXE, ckACM, ckTLB, ckVBX, ckVXD}) {
        box->setChecked(false);
    }
    ckDLL->setChecked(true);
    optAllDuplicate[1]->setChecked(true);
    ckRecommend->setChecked(true);
    ckQzDefault->setChecked(true);
    for (int i = 0; i < kCompCount; ++i) {
        ckComp[i]->setChecked(i == 0);
        ckComp[i]->setEnabled(false);
    }
    for (QWidget* control :
         {static_cast<QWidget*>(Frame2), static_cast<QWidget*>(ckRecommend),
          static_cast<QWidget*>(frCheckOptions), static_cast<QWidget*>(ckQzDefault)}) {
        control->setEnabled(true);
    }
    List1->clear();
    cmdRemoveExclusion->setEnabled(false);
    lbNote1->setVisible(false);
    ckBackup->setChecked(true);
    txBackupPath->clear();
    txBackupPath->setEnabled(true);
    cmdGetBackup->setEnabled(true);
    lbCopyright->clear();
    InCompClick = false;
}

std::int32_t frmVelto::CompBit(int index) {
    return static_cast<std::int32_t>(std::pow(2.0, index) -
                                     std::floor(std::pow(2.0, index - 1) + 0.5));
}

void frmVelto::Form_Load() {
    vlt::TraceScope trace("frmVelto.Form_Load");
    DesignState();
    vlt::Steps steps("frmVelto.Form_Load");
    steps.run("Set Copyright", [&] {
        lbCopyright->setText(QString::fromStdString(dialogs::App().LegalCopyright()));
    });
    std::string backupPath;
    steps.run("Getting Backup Drive", [&] { backupPath = modVLTProperties::BackupPath(); });
    steps.run("Getting Backup Path",
              [&] { txBackupPath->setText(QString::fromStdString(backupPath)); });
    const struct {
        QCheckBox* box;
        bool (*setting)();
    } boxes[] = {
        {ckACM, modVLTProperties::ACM},       {ckDLL, modVLTProperties::DLL},
        {ckDRV, modVLTProperties::DRV},       {ckEXE, modVLTProperties::EXE},
        {ckOCX, modVLTProperties::OCX},       {ckTLB, modVLTProperties::TLB},
        {ckVBX, modVLTProperties::VBX},       {ckVXD, modVLTProperties::VXD},
        {ckBackup, modVLTProperties::Backup}, {ckRecommend, modVLTProperties::ShowRecommended},
    };
    for (const auto& entry : boxes) {
        steps.run("Refreshing BackupPath", [&] { entry.box->setChecked(entry.setting()); });
    }
    steps.run("Refreshing BackupPath", [&] {
        if (modVLTProperties::AllDups()) {
            optAllDuplicate[0]->setChecked(true);
        }
    });
    steps.run("Refreshing BackupPath",
              [&] { ckQzDefault->setChecked(modVLTProperties::SmartCheck()); });
    std::int32_t fields = 0;
    steps.run("Refreshing BackupPath", [&] { fields = modVLTProperties::CompareFields(); });
    for (int i = 0; i < kCompCount; ++i) {
        steps.run("Refreshing BackupPath", [&] {
            const std::int32_t bit = CompBit(i);
            ckComp[i]->setChecked((fields & bit) == bit);
        });
    }
    steps.run("Setting Exclusion List", [&] {
        const auto names = modVLTProperties::Exclusions();
        ExclusionsUnread = !names;
        if (ExclusionsUnread) {
            dialogs::MsgBox(
                "The list of excluded folders cannot be read from the registry.\r\nIt is "
                "left as it is stored, and changes to it in this window are not saved.",
                dialogs::vbExclamation | dialogs::vbOKOnly, std::string("Exclusions not read"));
        }
        for (const std::string& name : names.value_or(std::vector<std::string>{})) {
            List1->addItem(QString::fromStdString(name));
        }
        ShowNoteWhenMarked();
    });
    steps.run("Showing the system's stores", [&] {
        const auto current = machine::CurrentMachine();
        const machine::SystemStores stores =
            current ? machine::SystemStores(current->profile()) : machine::SystemStores();
        QString folders;
        for (const std::string& folder : stores.folders()) {
            folders += (folders.isEmpty() ? "" : "\n") + QString::fromStdString(folder);
        }
        lbSystemStores->setToolTip(
            "Side-by-side, protected and uninstall copies the system keeps on purpose; "
            "Velto never lists them:\n" +
            folders);
        lbSystemStores->setVisible(!stores.folders().empty());
    });
    steps.run("Enabling Backup Path", [&] {
        const bool backup = modVLTProperties::Backup();
        txBackupPath->setEnabled(backup);
        cmdGetBackup->setEnabled(backup);
    });
    QzResize1->Resize();
    StretchToWidth();
}

void frmVelto::Form_Activate() {
    vlt::TraceScope trace("frmVelto.Form_Activate");
    if (!vlt::State().ScanSucceeded) {
        return;
    }
    // While a scan runs its progress window stays in front of this one.
    try {
        if (auto* progress = dynamic_cast<forms::Form*>(&vlt::frmStandBy());
            progress != nullptr && progress->Loaded()) {
            progress->raise();
        }
    } catch (const automation::Error& error) {
        vlt::Trace("Progress window not brought to the front: " + error.Description());
    }
}

void frmVelto::Form_Resize() {
    vlt::TraceScope trace("frmVelto.Form_Resize");
    QzResize1->Resize();
    StretchToWidth();
}

void frmVelto::StretchToWidth() {
    MenuBar->setGeometry(0, 0, width(), MenuBar->sizeHint().height());
    Line1->setGeometry(Line1->x(), Line1->y(), std::max(0, width() - Line1->x()), Line1->height());
}

void frmVelto::Form_Unload(int& /*cancel*/) {
    vlt::RunEventHandler([this] {
        vlt::TraceScope trace("frmVelto.Form_Unload");
        // After the orderly close has unloaded the control host nothing can be stored any
        // more; the commands that close the program store the list before they do.
        if (vlt::State().QzRegistry1 != nullptr) {
            SaveExclusions();
        }
        if (!vlt::State().ScanSucceeded) {
            trace.Exit();
            QzBase::CloseProgram();
        }
    });
}

void frmVelto::ckACM_Click() {
    vlt::TraceScope trace("frmVelto.ckACM_Click");
    modVLTProperties::ACM(ckACM->isChecked());
}

void frmVelto::ckDLL_Click() {
    vlt::TraceScope trace("frmVelto.ckDLL_Click");
    modVLTProperties::DLL(ckDLL->isChecked());
}

void frmVelto::ckDRV_Click() {
    vlt::TraceScope trace("frmVelto.ckDRV_Click");
    modVLTProperties::DRV(ckDRV->isChecked());
}

void frmVelto::ckEXE_Click() {
    vlt::TraceScope trace("frmVelto.ckEXE_Click");
    modVLTProperties::EXE(ckEXE->isChecked());
}

void frmVelto::ckOCX_Click() {
    vlt::TraceScope trace("frmVelto.ckOCX_Click");
    modVLTProperties::OCX(ckOCX->isChecked());
}

void frmVelto::ckTLB_Click() {
    vlt::TraceScope trace("frmVelto.ckTLB_Click");
    modVLTProperties::TLB(ckTLB->isChecked());
}

void frmVelto::ckVBX_Click() {
    vlt::TraceScope trace("frmVelto.ckVBX_Click");
    modVLTProperties::VBX(ckVBX->isChecked());
}

void frmVelto::ckVXD_Click() {
    vlt::TraceScope trace("frmVelto.ckVXD_Click");
    modVLTProperties::VXD(ckVXD->isChecked());
}

void frmVelto::TickDLL() {
    ckDLL->setChecked(true);
}

void frmVelto::ckRecommend_Click() {
    vlt::TraceScope trace("frmVelto.ckRecommend_Click");
    modVLTProperties::ShowRecommended(ckRecommend->isChecked());
}

void frmVelto::ckQzDefault_Click() {
    vlt::TraceScope trace("frmVelto.ckQzDefault_Click");
    const bool smart = ckQzDefault->isChecked();
    modVLTProperties::SmartCheck(smart);
    ckRecommend->setEnabled(smart);
    Frame2->setEnabled(smart);
    for (QCheckBox* box : ckComp) {
        box->setEnabled(!smart);
    }
}

void frmVelto::ckComp_Click(int Index) {
    vlt::TraceScope trace("frmVelto.ckComp_Click");
    if (InCompClick) {
        return;
    }
    InCompClick = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{InCompClick};
    if (Index == 0) {
        ckComp[0]->setChecked(true);
    }
    const std::int32_t bit = CompBit(Index);
    const std::int32_t fields = modVLTProperties::CompareFields();
    const bool checked = ckComp[Index]->isChecked();
    if ((fields & bit) != 0 && !checked) {
        modVLTProperties::CompareFields(fields - bit);
    } else if ((fields & bit) == 0 && bit != 0 && checked) {
        modVLTProperties::CompareFields(fields + bit);
    }
}

void frmVelto::optAllDuplicate_Click(int /*Index*/) {
    vlt::TraceScope trace("frmVelto.optAllDuplicate_Click");
    if (modVLTProperties::AutomaticMode()) {
        optAllDuplicate[1]->setChecked(true);
    }
    const bool all = optAllDuplicate[0]->isChecked();
    modVLTProperties::AllDups(all);
    if (all) {
        for (QWidget* control :
             {static_cast<QWidget*>(frCheckOptions), static_cast<QWidget*>(ckQzDefault),
              static_cast<QWidget*>(Frame2), static_cast<QWidget*>(ckRecommend)}) {
            control->setEnabled(false);
        }
    } else {
        frCheckOptions->setEnabled(true);
        ckQzDefault->setEnabled(true);
        if (ckQzDefault->isChecked()) {
            Frame2->setEnabled(true);
            ckRecommend->setEnabled(true);
        }
    }
    const bool compare = !ckQzDefault->isChecked() && frCheckOptions->isEnabledTo(this);
    for (QCheckBox* box : ckComp) {
        box->setEnabled(compare);
    }
}

void frmVelto::ckBackup_Click() {
    vlt::TraceScope trace("frmVelto.ckBackup_Click");
    const bool backup = ckBackup->isChecked();
    modVLTProperties::Backup(backup);
    if (!backup) {
        dialogs::MsgBox(
            "Warning--If you remove a required system file, you won't be able to recover the "
            "file without re-installing the application damaged by the removal of the system "
            "file.  It is therefore HIGHLY recommended that you select \"Backup\".",
            dialogs::vbExclamation | dialogs::vbOKOnly, std::string("Backup Recommended"));
    }
    cmdGetBackup->setEnabled(backup);
    txBackupPath->setEnabled(backup);
}

void frmVelto::txBackupPath_Change() {
    vlt::TraceScope trace("frmVelto.txBackupPath_Change");
    modVLTProperties::BackupPath(txBackupPath->text().toStdString());
}
