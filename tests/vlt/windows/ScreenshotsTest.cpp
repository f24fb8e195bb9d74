// The main, restore, folder-picker, splash and progress windows as a user sees them: every
// control whole at the designed size and scaled up, and a screenshot of each when asked for
// (ScreenshotSupport.h).
#include <QApplication>
#include <QTest>
#include <string>
#include <vector>

#include "controls/file/picker/frmDirListing.h"
#include "platform/forms/Twips.h"
#include "tests/vlt/windows/ScreenshotSupport.h"
#include "tests/vlt/windows/WindowsTestSupport.h"
#include "vlt/core/VltState.h"
#include "vlt/windows/frmRestoreBackups.h"
#include "vlt/windows/frmSplash.h"
#include "vlt/windows/frmStandBy.h"
#include "vlt/windows/frmVelto.h"

namespace {

using windowstest::ClippedControls;
using windowstest::SaveScreenshot;
using windowstest::WindowsTest;

class Screenshots : public WindowsTest {
  protected:
    Screenshots() { LoadHost(); }

    // Shows the window, checks that nothing is cut off and takes its picture.
    static void Take(QWidget& window, const std::string& name) {
        window.show();
        QApplication::processEvents();
        EXPECT_EQ(ClippedControls(window), std::vector<std::string>{}) << name;
        SaveScreenshot(window, name);
    }
};

TEST_F(Screenshots, MainWindowAtItsDesignedSizeAndScaledUp) {
    Store({{"OCX", "Y"}, {"BackupPath", "C:\\Program Files\\Velto\\Backups\\"}});
    frmVelto window;
    window.Show();
    window.List1->addItem("C:\\WINDOWS\\TEMP  ***");
    window.List1->addItem("C:\\Program Files\\Old Setup Files");
    window.List1->setCurrentRow(1);
    window.lbNote1->setVisible(true);
    Take(window, "main-window");

    window.resize(window.width() * 5 / 4, window.height() * 5 / 4);
    QApplication::processEvents();
    EXPECT_EQ(ClippedControls(window), std::vector<std::string>{}) << "scaled by 1.25";
    EXPECT_GT(window.cmdScan->width(), forms::TwipsToPixels(1770));

    vlt::State().ScanSucceeded = true;
    window.Unload();
}

TEST_F(Screenshots, MainWindowOnAnNTMachineShowsTheStoresItNeverScans) {
    machine.Platform(machine::Platform::NT);
    frmVelto window;
    window.Show();
    window.lbNote1->setVisible(true);
    Take(window, "main-window-nt");
    EXPECT_TRUE(window.lbSystemStores->isVisible());
    EXPECT_NE(window.lbSystemStores->toolTip().toStdString().find("C:\\WINDOWS\\winsxs"),
              std::string::npos);
    vlt::State().ScanSucceeded = true;
    window.Unload();
}

TEST_F(Screenshots, RestoreWindowWithBackups) {
    Store({{"BackupPath", "C:\\Program Files\\Velto\\Backups\\"}});
    const std::string folder = std::string(coretest::kProgramDir) + "\\Backups\\";
    for (const char* name :
         {"C~~WINDOWS~SYSTEM~COMCTL32.OCX.backup", "C~~PROGRA~1~Common Files~MSVBVM60.DLL.backup",
          "C~~WINDOWS~SYSTEM~MFC42.DLL.backup", "C~~Games~Chess~OLEPRO32.DLL.backup"}) {
        machine.File(folder + name, "backup");
    }
    machine.Folder("C:\\WINDOWS\\SYSTEM")
        .Folder("C:\\Program Files\\Common Files")
        .Folder("C:\\Games\\Chess");
    frmRestoreBackups window;
    window.Show();
    window.List1->setCurrentRow(1);
    window.List1->item(2)->setSelected(true);
    Take(window, "restore-window");
    window.close();
}

TEST_F(Screenshots, FolderPicker) {
    machine.Folder("C:\\WINDOWS\\SYSTEM").Folder("C:\\WINDOWS\\TEMP").Folder("C:\\WINDOWS\\FONTS");
    machine.File("C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX", "x").File("C:\\WINDOWS\\SYSTEM\\MFC42.DLL");
    Qz_File::frmDirListing window;
    window.InitDir = "C:\\WINDOWS\\SYSTEM";
    window.setWindowTitle("Set Backup Directory");
    window.Show();
    Take(window, "folder-picker");
    window.Unload();
}

TEST_F(Screenshots, SplashWindow) {
    frmSplash window;
    window.Show();
    Take(window, "splash-window");
    window.Unload();
}

TEST_F(Screenshots, ProgressWindow) {
    frmStandBy window;
    window.Show();
    window.SetScanItem("Matching Duplicates: COMCTL32.OCX");
    clock->Advance(12.2);
    for (int tick = 0; tick < 3; ++tick) {
        window.Timer1_Timer();
    }
    Take(window, "progress-window");
    window.Unload();
}

}  // namespace
