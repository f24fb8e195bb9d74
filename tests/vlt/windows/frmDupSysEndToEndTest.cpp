// The interactive road through the program with its real windows: the main window scans the
// demo machine, the review window opens, the user flags copies through its commands (and
// undoes one), presses OK, saves the report and agrees to the restart; then the machine starts
// and carries out what was scheduled.
#include <chrono>
#include <string>

#include "platform/restart/Boot.h"
#include "platform/win32/user32/ExitWindows.h"
#include "tests/vlt/windows/frmDupSysTestSupport.h"
#include "tools/imagewriter/DemoMachine.h"
#include "vlt/windows/VltWindows.h"
#include "vlt/windows/frmVelto.h"

namespace {

using dupsystest::BareDll;
using dupsystest::DupSysTest;

constexpr const char* kSystem = "C:\\WINDOWS\\SYSTEM\\";
constexpr const char* kFiles = "C:\\Program Files\\";
constexpr const char* kBackups = "C:\\Program Files\\Velto\\";
constexpr const char* kReport = "C:\\My Documents\\ActionReport.htm";

class InteractiveRun : public DupSysTest {
  protected:
    InteractiveRun() {
        for (const imagewriter::DemoFile& file : imagewriter::DemoFiles({})) {
            machine.File(file.path, std::string(file.bytes.begin(), file.bytes.end()));
            machine.WriteTime(file.path, std::chrono::system_clock::from_time_t(file.writeTime));
        }
        machine.File(std::string(kFiles) + "Quill Writer\\QHELP.DLL", BareDll(8192))
            .File(std::string(kFiles) + "Ledger Plus\\QHELP.DLL", BareDll(12288))
            .Folder("C:\\My Documents");
        win32::ClearExitRequest();
    }
    ~InteractiveRun() override { win32::ClearExitRequest(); }

    static std::string Files(const std::string& rest) { return kFiles + rest; }
    bool Has(const std::string& text, const std::string& part) const {
        return text.find(part) != std::string::npos;
    }
};

TEST_F(InteractiveRun, FlaggedCopiesAreBackedUpReportedAndReplacedAtTheNextStart) {
    vltwindows::InstallWindows();
    // The fixture's helpers look at its own window: it is the one installed.
    vlt::State().windows.review = window;
    auto& main = dynamic_cast<frmVelto&>(vlt::frmVelto());
    frmDupSys& review = *window;
    main.Show();
    main.ckOCX->setChecked(true);
    main.cmdScan_Click();
    ASSERT_TRUE(review.isVisible());
    EXPECT_FALSE(main.Loaded());

    const std::string oldData = Files("Orbis Old\\ORBDATA.DLL");
    const std::string quillUtil = Files("Quill Writer\\TESSUTIL.DLL");
    const std::string ledgerHelp = Files("Ledger Plus\\QHELP.DLL");
    const std::string quillHelp = Files("Quill Writer\\QHELP.DLL");
    const std::string ledgerChart = Files("Ledger Plus\\LUMCHART.OCX");
    const std::string newerCalc = Files("Orbis Suite\\ORBCALC.DLL");
    const std::string newerCalcBytes = machine.Read(newerCalc);
    const std::string ledgerHelpBytes = machine.Read(ledgerHelp);
    const std::string quillUtilBytes = machine.Read(quillUtil);

    // Accept the recommendation of two groups: the newer copy in the system folder stays, and
    // the newer copy outside it moves in.
    Click(oldData);
    review.cmdFollowRecommendation_Click();
    Click("ORBCALC.DLL");
    review.cmdFollowRecommendation_Click();
    // Delete the other maker's copy through the context menu.
    review.FirstExpandPending = false;
    Node("TESSUTIL.DLL").SetExpanded(true);
    dialogs->AnswerMsgBox(dialogs::vbYes);
    Press(quillUtil, forms::vbRightButton);
    review.mnuActions->hide();
    review.mnuDeleteFile->trigger();
    // Copy one build of a helper over the other.
    Click(ledgerHelp);
    review.cmdWinSys_Click();
    // A deletion thought better of.
    dialogs->AnswerMsgBox(dialogs::vbYes);
    Click(ledgerChart);
    review.cmdRemove_Click();
    review.cmdUndo_Click();
    EXPECT_EQ(Node(ledgerChart).Image(), frmDupSys::kOtherCopy);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Confirm Delete", "Confirm Delete"}));

    dialogs->Clear();
    dialogs->AnswerMsgBox(dialogs::vbYes);  // save the detailed report
    dialogs->AnswerFileDialog(kReport);
    dialogs->AnswerMsgBox(dialogs::vbNo);   // do not view it
    dialogs->AnswerMsgBox(dialogs::vbYes);  // restart now
    review.cmdExit_Click();
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Summary Action Report", "Report Created.",
                                                  "Restart Required"}));
    EXPECT_EQ(dialogs->Unanswered(), 0u);
    EXPECT_FALSE(review.Loaded());
    EXPECT_TRUE(win32::PendingExitRequest().has_value());

    // Every file that is deleted or overwritten was backed up first.
    for (const auto& [original, backup] :
         {std::pair{oldData, "C~~Program Files~Orbis Old~ORBDATA.DLL.backup"},
          std::pair{quillUtil, "C~~Program Files~Quill Writer~TESSUTIL.DLL.backup"},
          std::pair{quillHelp, "C~~Program Files~Quill Writer~QHELP.DLL.backup"},
          std::pair{std::string(kSystem) + "ORBCALC.DLL",
                    "C~~WINDOWS~SYSTEM~ORBCALC.DLL.backup"}}) {
        EXPECT_TRUE(machine.Exists(std::string(kBackups) + backup)) << original;
    }
    EXPECT_EQ(
        machine.Read(std::string(kBackups) + "C~~Program Files~Quill Writer~TESSUTIL.DLL.backup"),
        quillUtilBytes);
    EXPECT_FALSE(
        machine.Exists(std::string(kBackups) + "C~~Program Files~Ledger Plus~LUMCHART.OCX.backup"));

    // The report names what was done; the undone deletion is not among it.
    const std::string report = machine.Read(kReport);
    for (const std::string& part :
         {std::string("Files Backed Up"), std::string("Files To Be Removed on restart"),
          std::string("Files to Copy on restart"), oldData, quillUtil, quillHelp}) {
        EXPECT_TRUE(Has(report, part)) << part;
    }
    EXPECT_FALSE(Has(report, ledgerChart));

    // Nothing changed before the restart; at the start every scheduled move is carried out.
    EXPECT_TRUE(machine.Exists(oldData));
    EXPECT_TRUE(machine.Exists("C:\\WINDOWS\\wininit.ini"));
    win32::BootMachine();
    EXPECT_FALSE(machine.Exists(oldData));
    EXPECT_FALSE(machine.Exists(quillUtil));
    EXPECT_FALSE(machine.Exists(newerCalc));
    EXPECT_EQ(machine.Read(std::string(kSystem) + "ORBCALC.DLL"), newerCalcBytes);
    EXPECT_EQ(machine.Read(quillHelp), ledgerHelpBytes);
    EXPECT_EQ(machine.Read(ledgerHelp), ledgerHelpBytes);
    EXPECT_TRUE(machine.Exists(ledgerChart));
    EXPECT_TRUE(machine.Exists(std::string(kSystem) + "ORBDATA.DLL"));
}

}  // namespace
