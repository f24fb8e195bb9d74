// The review window over the demo machine, which holds a group of every kind: the groups and
// notes it must show, and the pictures of the window for the documentation. The pictures are
// written only when VELTO_SCREENSHOTS names a folder (tools write them into docs/), so that an
// ordinary test run never rewrites committed files.
#include <QAbstractButton>
#include <QCheckBox>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/vlt/windows/frmDupSysTestSupport.h"
#include "tools/imagewriter/DemoMachine.h"
#include "vlt/core/modVLTWork.h"

namespace {

using dupsystest::BareDll;
using dupsystest::DupSysTest;

// Whether a button's caption has room on one line (a check box's beside its box). The accept
// button is left out: it wraps its caption and makes it smaller until it fits.
bool CaptionFits(const QAbstractButton& button) {
    if (button.objectName() == "cmdFollowRecommendation" || button.text().isEmpty()) {
        return true;
    }
    QString caption = button.text();
    caption.remove('&');
    int needed = button.fontMetrics().horizontalAdvance(caption);
    if (qobject_cast<const QCheckBox*>(&button) != nullptr) {
        needed += button.style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                  button.style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    }
    return needed <= button.width();
}

class DupSysPictures : public DupSysTest {
  protected:
    DupSysPictures() {
        for (const imagewriter::DemoFile& file : imagewriter::DemoFiles({})) {
            machine.File(file.path, std::string(file.bytes.begin(), file.bytes.end()));
            machine.WriteTime(file.path, std::chrono::system_clock::from_time_t(file.writeTime));
        }
        // Two builds of a helper without version information.
        machine.File("C:\\Program Files\\Quill Writer\\QHELP.DLL", BareDll(8192))
            .File("C:\\Program Files\\Ledger Plus\\QHELP.DLL", BareDll(12288));
        Match();
        window->FirstExpandPending = false;
        window->Show();
    }

    // Saves the window's picture as `name`.png when pictures are asked for; the picture is the
    // window at its size either way, with its context menu drawn in when that is open.
    void Picture(const std::string& name) {
        for (const QAbstractButton* button : window->Client->findChildren<QAbstractButton*>()) {
            EXPECT_TRUE(CaptionFits(*button)) << button->objectName().toStdString();
        }
        QPixmap picture = window->grab();
        EXPECT_EQ(picture.size(), window->size()) << name;
        if (window->mnuActions->isVisible()) {
            QPainter painter(&picture);
            painter.drawPixmap(window->mapFromGlobal(window->mnuActions->pos()),
                               window->mnuActions->grab());
        }
        if (const char* folder = std::getenv("VELTO_SCREENSHOTS")) {
            const std::filesystem::path path = std::filesystem::path(folder) / (name + ".png");
            EXPECT_TRUE(picture.save(QString::fromStdString(path.string()), "PNG")) << path;
        }
    }
};

TEST_F(DupSysPictures, TheDemoMachineShowsAGroupOfEveryKind) {
    EXPECT_EQ(Node("ORBDATA.DLL").Image(), frmDupSys::kHasRecommendation);
    EXPECT_EQ(Node("C:\\WINDOWS\\SYSTEM\\ORBDATA.DLL").Image(), frmDupSys::kRecommended);
    EXPECT_EQ(Node("TESSUTIL.DLL").Image(), frmDupSys::kNoRecommendation);
    EXPECT_TRUE(window->TreeView1->Exists("TESSUTIL.DLL *  COMPANY NAME DOES NOT MATCH"));
    EXPECT_TRUE(window->TreeView1->Exists("QHELP.DLL *  VERSION INFORMATION MISSING"));
    // Byte-identical copies without version information are no problem.
    EXPECT_FALSE(window->TreeView1->Exists("HELPER32.DLL"));

    for (const char* group : {"ORBDATA.DLL", "TESSUTIL.DLL", "QHELP.DLL"}) {
        Node(group).SetExpanded(true);
    }
    Node("C:\\WINDOWS\\SYSTEM\\ORBDATA.DLL").SetExpanded(true);
    Click("C:\\WINDOWS\\SYSTEM\\ORBDATA.DLL");
    Picture("review-window");

    Click("C:\\Program Files\\Orbis Old\\ORBDATA.DLL");
    Press("C:\\Program Files\\Orbis Old\\ORBDATA.DLL", forms::vbRightButton);
    EXPECT_TRUE(window->mnuActions->isVisible());
    Picture("review-window-menu");
    window->mnuActions->hide();

    window->cmdFollowRecommendation_Click();
    dialogs->AnswerMsgBox(dialogs::vbYes);
    window->KillIt("C:\\Program Files\\Quill Writer\\QHELP.DLL");
    Click("C:\\Program Files\\Quill Writer\\QHELP.DLL");
    EXPECT_EQ(Node("ORBDATA.DLL").Image(), frmDupSys::kKept);
    EXPECT_EQ(Node("C:\\Program Files\\Quill Writer\\QHELP.DLL").Image(), frmDupSys::kFlagged);
    Picture("review-window-flagged");
}

}  // namespace
