// frmVelto, the main options window: which file types to scan, how copies are compared, what
// the review shows, which folders the scan leaves out and where backups go; it starts the
// scan, opens the restore window, recycles old backups, shows help, the About box and the
// licence, and checks for an update.
//
// Every option is stored the moment its control changes (modVLTProperties); the exclusion
// list is stored as a whole before a scan and when the window unloads. Setting a check box or
// option button runs its click handler, whether the user or the program sets it, so loading
// the settings into the controls applies the enabling rules and the backup warning as a
// user's clicks would.
//
// The window's code is split by job: frmVelto.cpp builds the window, loads the settings and
// keeps the option controls consistent; frmVeltoCommands.cpp holds the exclusions, the scan
// and the commands; frmVeltoPictures.cpp paints the pictures of the picture buttons.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <array>
#include <cstdint>

#include "controls/resize/QzResize.h"
#include "platform/forms/Form.h"
#include "vlt/core/WindowInterfaces.h"

class frmVelto : public forms::Form, public vlt::MainWindow {
  public:
    static constexpr int kCompCount = 12;
    // The mark of an exclusion line whose subfolders are excluded too.
    static constexpr const char* kSubfolderMark = "  ***";

    frmVelto();

    // The CompareFields bit of comparison box `index`: 2^i - Int(2^(i-1) + 0.5), which is
    // 2^(i-1) for boxes 1 to 11 and 0 for box 0 (the file version always takes part).
    static std::int32_t CompBit(int index);

    // Pictures of the picture buttons and the window's icon.
    enum class Picture { AddExclusion, RemoveExclusion, GetBackup, Recycle, Restore, Exit, Logo };
    static QPixmap ButtonPicture(Picture picture);

    // --- Window and options (frmVelto.cpp) ---
    void Form_Load() override;
    void Form_Activate() override;
    void Form_Resize() override;
    void Form_Unload(int& cancel) override;

    void ckACM_Click();
    void ckDLL_Click();
    void ckDRV_Click();
    void ckEXE_Click();
    void ckOCX_Click();
    void ckTLB_Click();
    void ckVBX_Click();
    void ckVXD_Click();
    void ckRecommend_Click();
    void ckQzDefault_Click();
    void ckComp_Click(int Index);
    void optAllDuplicate_Click(int Index);
    void ckBackup_Click();
    void txBackupPath_Change();

    // --- Exclusions, scan and commands (frmVeltoCommands.cpp) ---
    void cmdAddExclusion_Click();
    void List1_Click();
    void cmdRemoveExclusion_Click();
    // Stores the exclusion list: the key is emptied and every line written again, in order.
    // Never when the stored list could not be read in full (ExclusionsUnread): writing the
    // lines shown would lose the entries that were not.
    void SaveExclusions();
    // Starts a scan with the current choices; the window unloads when the scan succeeded.
    void DoTheScan();
    void cmdScan_Click();
    void mnuScan_Click();
    void cmdGetBackup_Click();
    void cmdRecycle_Click();
    void cmdRestore_Click();
    void mnuRestore_Click();
    void Help_Click();
    void mnuAbout_Click();
    void mnuLicense_Click();
    void mnuUpdateCheck_Click();
    void cmdExit_Click();

    // vlt::MainWindow
    void Load() override { forms::Form::Load(); }
    void Show() override { forms::Form::Show(forms::vbModeless); }
    void TickDLL() override;

    // Guards ckComp_Click against the click it causes itself.
    bool InCompClick = false;
    // The stored exclusions could not be read in full when the window loaded.
    bool ExclusionsUnread = false;

    // --- Controls ---
    QMenuBar* MenuBar;
    QMenu* mnuFile;
    QAction* mnuScan;
    QAction* mnuRestore;
    QMenu* mnuHelp;
    QAction* Help;
    QAction* div0;
    QAction* mnuAbout;
    QAction* mnuLicense;
    QAction* div1;
    QAction* mnuUpdateCheck;

    QGroupBox* Frame1;
    QCheckBox* ckDLL;
    QCheckBox* ckOCX;
    QCheckBox* ckDRV;
    QCheckBox* ckEXE;
    QCheckBox* ckACM;
    QCheckBox* ckTLB;
    QCheckBox* ckVBX;
    QCheckBox* ckVXD;

    QGroupBox* Frame5;
    std::array<QRadioButton*, 2> optAllDuplicate{};

    QGroupBox* Frame2;
    QCheckBox* ckRecommend;

    QGroupBox* frCheckOptions;
    QCheckBox* ckQzDefault;
    std::array<QCheckBox*, kCompCount> ckComp{};

    QGroupBox* Frame4;
    QListWidget* List1;
    QToolButton* cmdAddExclusion;
    QToolButton* cmdRemoveExclusion;
    QLabel* lbNote1;
    // On an NT-family machine: the system's stores the scan never lists (SystemStores.h).
    QLabel* lbSystemStores;

    QGroupBox* Frame3;
    QCheckBox* ckBackup;
    QLineEdit* txBackupPath;
    QToolButton* cmdGetBackup;
    QToolButton* cmdRecycle;
    QToolButton* cmdRestore;

    QPushButton* cmdScan;
    QToolButton* cmdExit;
    QLabel* lbCopyright;
    QFrame* Line1;
    Qz_Resize::QzResize* QzResize1;

  private:
    void BuildMenus();
    void LayOut();
    void Connect();
    // Puts every control back as the window was designed, without running any handler: each
    // load starts from the design, as a freshly loaded form did.
    void DesignState();
    // Shows lbNote1 exactly while a line of List1 carries the subfolder mark.
    void ShowNoteWhenMarked();
    // Brings the menu bar and Line1 to the window's width.
    void StretchToWidth();
};
