// The main, restore, folder-picker, About, licence, splash and progress windows as a user sees
// them: every control whole at the designed size and scaled up, and a screenshot of each when asked
// for (ScreenshotSupport.h).
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "controls/about/frmQzAbout.h"
#include "controls/file/picker/frmDirListing.h"
#include "platform/forms/Twips.h"
#include "tests/vlt/windows/ScreenshotSupport.h"
#include "tests/vlt/windows/WindowsTestSupport.h"
#include "vlt/core/VltState.h"
#include "vlt/windows/AboutCommands.h"
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

TEST_F(Screenshots, RestoreWindowWithBackups) {
    Store({{"BackupPath", "C:\\Program Files\\Velto\\Backups\\"}});
    const std::string folder = std::string(coretest::kProgramDir) + "\\Backups\\";
    for (const char* name :
         {"C~~WINDOWS~SYSTEM~COMCTL32.OCX.backup", "C~~PROGRA~1~Common Files~MSVBVM60.DLL.backup",
          "C~~WINDOWS~SYSTEM~MFC42.DLL.backup", "C~~Games~Chess~OLEPRO32.DLL.backup",
          "C~~Program Files~Gone App~GONE.DLL.backup"}) {
        machine.File(folder + name, "backup");
    }
    machine.Folder("C:\\WINDOWS\\SYSTEM")
        .Folder("C:\\Program Files\\Common Files")
        .Folder("C:\\Games\\Chess");
    frmRestoreBackups window;
    window.Show();
    // One backup chosen, whose folder has gone since: the window says so below the list.
    const auto gone =
        window.List1->findItems("C:\\Program Files\\Gone App\\GONE.DLL", Qt::MatchExactly);
    ASSERT_EQ(gone.size(), 1);
    window.List1->setCurrentItem(gone.front());
    EXPECT_TRUE(window.lbRestoreTo->text().contains("does not exist on this machine"));
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

// The About box and the licence show every text whole (wrapped, or scrolling where it is
// long), at the desktop's font size and at a quarter larger, as at 120 dpi.
TEST_F(Screenshots, AboutBoxAndLicenceAtTwoFontSizes) {
    std::ifstream pad(std::string(VELTO_SOURCE_DIR) + "/resources/pad_file.xml", std::ios::binary);
    machine.File(std::string(coretest::kProgramDir) + "\\pad_file.xml",
                 std::string(std::istreambuf_iterator<char>(pad), {}));
    const QFont designed = QApplication::font();
    for (const double scale : {1.0, 1.25}) {
        SCOPED_TRACE(scale);
        QFont font = designed;
        font.setPointSizeF(designed.pointSizeF() * scale);
        QApplication::setFont(font);
        std::vector<std::string> shown;
        forms::ScopedModalDriver driver([&](forms::Form& form) {
            QApplication::processEvents();
            shown.push_back(form.objectName().toStdString());
            EXPECT_EQ(ClippedControls(form), std::vector<std::string>{}) << shown.back();
            if (auto* about = dynamic_cast<Qz_About::frmQzAbout*>(&form)) {
                // The whole description is there to be read: what the box has no room for
                // scrolls.
                EXPECT_GT(about->lbDescription->text().size(), 900);
                EXPECT_GE(about->lbDescription->height(),
                          about->lbDescription->heightForWidth(about->lbDescription->width()));
                EXPECT_TRUE(about->scrDescription->verticalScrollBar()->maximum() > 0);
                EXPECT_EQ(about->cmdCompanyButton->text().toStdString(), "Korvane on the web.");
                if (scale == 1.0) {
                    SaveScreenshot(form, "about-box");
                }
            } else if (scale == 1.0) {
                SaveScreenshot(form, "licence");
            }
        });
        vltwindows::ShowAboutBox();
        vltwindows::ShowLicenceAgreement();
        EXPECT_EQ(shown, (std::vector<std::string>{"frmQzAbout", "frmQzLicense"}));
    }
    QApplication::setFont(designed);
    EXPECT_TRUE(dialogs->MsgBoxes().empty());
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
