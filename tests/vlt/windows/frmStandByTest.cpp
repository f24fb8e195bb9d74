// What the progress window shows beyond its behaviour: a caption that starts afresh at every
// load, and an item too long for the window.
#include <QTest>
#include <string>

#include "tests/vlt/windows/WindowsTestSupport.h"
#include "vlt/windows/frmStandBy.h"

namespace {

using windowstest::WindowsTest;

class frmStandByLook : public WindowsTest {
  protected:
    frmStandByLook() { LoadHost(); }
    frmStandBy window;
};

TEST_F(frmStandByLook, EveryLoadStartsWithTheScanCaption) {
    window.Show();
    window.SetFormTitle("Update Check");
    window.Unload();
    window.Show();
    EXPECT_EQ(window.windowTitle().toStdString(), "Scanning");
}

TEST_F(frmStandByLook, ALongItemIsShortenedInItsMiddleAndTheWindowKeepsItsWidth) {
    window.Show();
    const int width = window.width();
    std::string path = "C:\\";
    for (int depth = 0; depth < 30; ++depth) {
        path += "Folder" + std::to_string(depth) + "\\";
    }
    path += "LAST.DLL";
    window.SetScanItem(path);
    window.Timer1_Timer();
    const std::string shown = window.lbStatus->text().toStdString();
    EXPECT_LT(shown.size(), path.size());
    EXPECT_TRUE(shown.starts_with("C:\\Folder0")) << shown;
    EXPECT_TRUE(shown.ends_with("LAST.DLL")) << shown;
    EXPECT_EQ(window.lbStatus->toolTip().toStdString(), path);
    EXPECT_EQ(window.width(), width);

    window.SetScanItem("Matching duplicates");
    window.Timer1_Timer();
    EXPECT_EQ(window.lbStatus->text().toStdString(), "Matching duplicates");
    EXPECT_TRUE(window.lbStatus->toolTip().isEmpty());
}

}  // namespace
