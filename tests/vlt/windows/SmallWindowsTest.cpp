// The four small windows: progress, splash, the save-dialog wrapper and the hidden form of
// the system-information control; and the main window's DLL box.
#include <QPixmap>
#include <QTest>
#include <functional>
#include <string>

#include "controls/file/QzFile.h"
#include "platform/automation/CreateObject.h"
#include "platform/dialogs/Clock.h"
#include "platform/inet/Inet.h"
#include "tests/vlt/windows/WindowsTestSupport.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/windows/CommonDialog.h"
#include "vlt/windows/QzSysInfo.h"
#include "vlt/windows/VltWindows.h"
#include "vlt/windows/frmRestoreBackups.h"
#include "vlt/windows/frmSplash.h"
#include "vlt/windows/frmStandBy.h"
#include "vlt/windows/frmVelto.h"

namespace {

using windowstest::WindowsTest;

// Runs `pump` at every DoEvents while it lives (the listing calls DoEvents as it walks).
class ScopedPump {
  public:
    explicit ScopedPump(std::function<void()> pump)
        : previous_(dialogs::SetDoEventsHook(std::move(pump))) {}
    ~ScopedPump() { dialogs::SetDoEventsHook(std::move(previous_)); }

  private:
    std::function<void()> previous_;
};

class StandByTest : public WindowsTest {
  protected:
    StandByTest() {
        LoadHost();
        machine.File("C:\\APPS\\A.DLL", "a");
    }
    std::string Status() const { return window.lbStatus->text().toStdString(); }
    std::string Elapsed() const { return window.lbtime->text().toStdString(); }

    frmStandBy window;
};

TEST_F(StandByTest, AnEmptyItemTextShowsTheFolderTheListingReads) {
    window.Show();
    window.SetScanItem("Matching duplicates");
    window.Timer1_Timer();
    EXPECT_EQ(Status(), "Matching duplicates");

    window.SetScanItem("");
    Qz_File::QzFile& file = vlt::QzFile1();
    file.SetPaths("C:\\;");
    file.SetFilter("*.dll");
    file.SetIncludeSubDirectories(true);
    std::string seen;
    {
        ScopedPump pump([&] {
            if (seen.empty() && !file.CurrentScanPath().empty()) {
                window.Timer1_Timer();
                seen = Status();
            }
        });
        ASSERT_TRUE(file.LoadFileListing(true));
    }
    EXPECT_TRUE(seen.starts_with("Scanning: C:\\")) << seen;
}

TEST_F(StandByTest, ElapsedSecondsCountFromTheLoadInWholeSeconds) {
    window.Show();
    clock->Advance(5.4);
    window.Timer1_Timer();
    EXPECT_EQ(Elapsed(), "Elapsed time: 5 seconds");
    clock->Advance(0.2);
    window.Timer1_Timer();
    EXPECT_EQ(Elapsed(), "Elapsed time: 6 seconds");
    // A reload starts the count again.
    window.Unload();
    window.Show();
    window.Timer1_Timer();
    EXPECT_EQ(Elapsed(), "Elapsed time: 0 seconds");
}

TEST_F(StandByTest, TheAnimationWalksThroughEightFramesAndWraps) {
    window.Show();
    for (int tick = 0; tick <= frmStandBy::kFrames; ++tick) {
        window.Timer1_Timer();
        EXPECT_EQ(window.Picture1->pixmap().toImage(),
                  window.Image1[tick % frmStandBy::kFrames]->pixmap().toImage())
            << tick;
    }
}

TEST_F(StandByTest, CancelStopsTheListingAndStaysUntilTheNextLoad) {
    window.Show();
    Qz_File::QzFile& file = vlt::QzFile1();
    file.SetPaths("C:\\;");
    file.SetFilter("*.dll");
    {
        ScopedPump pump([&] {
            if (!window.Canceled()) {
                QTest::mouseClick(window.cmdCancel, Qt::LeftButton);
            }
        });
        EXPECT_FALSE(file.LoadFileListing(true));
    }
    EXPECT_TRUE(window.Canceled());
    window.SetScanItem("something");
    window.Unload();
    window.Show();
    EXPECT_FALSE(window.Canceled());
    EXPECT_EQ(window.ScanItem(), file.CurrentScanPath());
}

TEST_F(StandByTest, FormTitleIsTrimmed) {
    window.SetFormTitle("  Update Check  ");
    EXPECT_EQ(window.windowTitle().toStdString(), "Update Check");
}

TEST_F(WindowsTest, SplashShowsTheProgramAndClosesOnAKeyOrAClickOnItsFrame) {
    frmSplash splash;
    splash.Show();
    EXPECT_EQ(splash.lblVersion->text().toStdString(), "Version 1.0.12");
    EXPECT_EQ(splash.lblProductName->text().toStdString(), "Velto");
    EXPECT_FALSE(splash.lblCopyright->text().isEmpty());
    QTest::keyClick(&splash, Qt::Key_Space);
    EXPECT_FALSE(splash.Loaded());

    splash.Show();
    QTest::mouseClick(splash.Frame1, Qt::LeftButton);
    EXPECT_FALSE(splash.Loaded());
}

class CommonDialogTest : public WindowsTest {
  protected:
    CommonDialog dialog;
};

TEST_F(CommonDialogTest, LoadingAddsTheLongNamePathAndOverwriteFlags) {
    dialog.SetFileName("ActionReport.htm");
    EXPECT_EQ(dialog.ctl.flags,
              dialogs::OFN_LONGNAMES | dialogs::OFN_PATHMUSTEXIST | dialogs::OFN_OVERWRITEPROMPT);
}

TEST_F(CommonDialogTest, FlagPropertiesSetAndClearOnlyTheirOwnBit) {
    struct Case {
        void (CommonDialog::*set)(bool);
        bool (CommonDialog::*get)() const;
        long flag;
    } const cases[] = {
        {&CommonDialog::SetMultiSelect, &CommonDialog::MultiSelect, dialogs::OFN_ALLOWMULTISELECT},
        {&CommonDialog::SetCreatePrompt, &CommonDialog::CreatePrompt, dialogs::OFN_CREATEPROMPT},
        {&CommonDialog::SetHideReadOnly, &CommonDialog::HideReadOnly, dialogs::OFN_HIDEREADONLY},
    };
    for (const Case& c : cases) {
        (dialog.*c.set)(false);
        const long before = dialog.ctl.flags;
        EXPECT_FALSE((dialog.*c.get)());
        (dialog.*c.set)(false);
        EXPECT_EQ(dialog.ctl.flags, before) << "clearing a clear flag";
        (dialog.*c.set)(true);
        EXPECT_TRUE((dialog.*c.get)());
        EXPECT_EQ(dialog.ctl.flags, before | c.flag);
        (dialog.*c.set)(false);
        EXPECT_EQ(dialog.ctl.flags, before);
    }
}

TEST_F(CommonDialogTest, ShowSaveHandsOverTheSettingsAndReturnsTheChoice) {
    dialog.SetInitDir("C:\\My Documents");
    dialog.SetDefaultExt("htm");
    dialog.SetFilter("HTML File|*.htm;*.html");
    dialog.SetFileName("ActionReport.htm");
    dialog.SetHideReadOnly(true);
    dialogs->AnswerFileDialog("C:\\My Documents\\Run.htm");
    EXPECT_EQ(dialog.ShowSave(), "C:\\My Documents\\Run.htm");
    EXPECT_FALSE(dialog.Canceled());
    EXPECT_EQ(dialog.FileName(), "C:\\My Documents\\Run.htm");
    EXPECT_EQ(dialog.FileTitle(), "Run.htm");
    ASSERT_EQ(dialogs->History().size(), 1u);
    const auto& shown = dialogs->History()[0];
    EXPECT_EQ(shown.kind, dialogs::ScriptedDialogs::Kind::Save);
    EXPECT_EQ(shown.file.initDir, "C:\\My Documents");
    EXPECT_EQ(shown.file.fileName, "ActionReport.htm");
    EXPECT_EQ(shown.file.defaultExt, "htm");
    EXPECT_EQ(shown.file.filter, "HTML File|*.htm;*.html");
    EXPECT_NE(shown.file.flags & dialogs::OFN_HIDEREADONLY, 0);
}

TEST_F(CommonDialogTest, ACancelledDialogGivesAnEmptyNameAndCanceled) {
    for (const bool save : {true, false}) {
        dialogs->AnswerFileDialog("C:\\X.htm");
        (save ? dialog.ShowSave() : dialog.ShowOpen());
        ASSERT_FALSE(dialog.Canceled());
        dialogs->AnswerFileDialog(std::nullopt);
        EXPECT_EQ(save ? dialog.ShowSave() : dialog.ShowOpen(), "");
        EXPECT_TRUE(dialog.Canceled());
    }
    EXPECT_EQ(dialogs->History().back().kind, dialogs::ScriptedDialogs::Kind::Open);
}

TEST_F(WindowsTest, SysInfoLoadsOnFirstUseAndIsNeverShown) {
    QzSysInfo host;
    EXPECT_FALSE(host.Loaded());
    EXPECT_EQ(host.Sys1().SystemDir(), "C:\\WINDOWS\\SYSTEM\\");
    EXPECT_TRUE(host.Loaded());
    EXPECT_FALSE(host.isVisible());
    EXPECT_EQ(host.windowTitle().toStdString(), "Do Not Show");
}

TEST_F(WindowsTest, TheMainWindowsDllBoxShowsAndStoresTheSetting) {
    LoadHost();
    Store({{"DLL", "N"}});
    frmVelto window;
    window.Load();
    EXPECT_FALSE(window.ckDLL->isChecked());
    EXPECT_FALSE(window.isVisible());
    window.TickDLL();
    EXPECT_TRUE(window.ckDLL->isChecked());
    EXPECT_TRUE(modVLTProperties::DLL());
}

TEST_F(WindowsTest, TheOrderlyCloseUnloadsEveryInstalledForm) {
    LoadHost();
    vltwindows::InstallWindows();
    vlt::State().ScanSucceeded = true;
    vlt::frmVelto().Load();
    vlt::frmStandBy().Show();
    vlt::Sys1();
    EXPECT_EQ(forms::LoadedForms().size(), 3u);
    vlt::State().windows.unloadAllForms();
    EXPECT_TRUE(forms::LoadedForms().empty());
}

}  // namespace

namespace {

// The update check when HTTP transfers cannot be made: the reason, then the About window.
TEST_F(WindowsTest, AnUpdateCheckWithoutTransfersExplainsAndShowsTheAboutWindow) {
    LoadHost();
    automation::RegisterProgID(InetCtls::Inet::kProgID, [] { return nullptr; });
    std::vector<std::string> modal;
    bool prepared = true;
    {
        forms::ScopedModalDriver driver(
            [&](forms::Form& form) { modal.push_back(form.objectName().toStdString()); });
        prepared = QzBase::PrepareUpdateCheck();
    }
    automation::RegisterProgID(InetCtls::Inet::kProgID,
                               [] { return std::make_shared<InetCtls::Inet>(); });
    EXPECT_FALSE(prepared);
    EXPECT_EQ(vlt::State().UpdateCheck, nullptr);
    const auto boxes = dialogs->MsgBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Cannot automatically check for update.");
    EXPECT_EQ(boxes[0].style, dialogs::vbInformation);
    EXPECT_EQ(boxes[0].prompt,
              "Microsoft Internet Explorer 5.0 or above does not appear to be installed or there "
              "is some other problem with a component.\r\n\r\nUnable to automatically "
              "update.\r\n\r\nPlease Click on the Korvane button on the next screen to check the "
              "website directly.");
    EXPECT_EQ(modal.size(), 1u) << "the About window";
}

}  // namespace

namespace {

// Every procedure of the program writes its entry and exit lines, the event handlers that run
// at every tick, click and resize and the property procedures included.
TEST_F(WindowsTest, SmallHandlersAndPropertyProceduresWriteTheirTraceLines) {
    LoadHost("-TRACE");
    frmStandBy standBy;
    CommonDialog dialog;
    frmVelto main;
    frmRestoreBackups restore;
    const struct {
        const char* name;
        std::function<void()> call;
    } cases[] = {
        {"frmStandBy.Timer1_Timer", [&] { standBy.Timer1_Timer(); }},
        {"frmStandBy.ScanItem Let", [&] { standBy.SetScanItem("x"); }},
        {"frmStandBy.ScanItem Get", [&] { standBy.ScanItem(); }},
        {"frmStandBy.FormTitle Let", [&] { standBy.SetFormTitle(" x "); }},
        {"frmStandBy.Canceled Get", [&] { standBy.Canceled(); }},
        {"CommonDialog.InitDir Let", [&] { dialog.SetInitDir("C:\\"); }},
        {"CommonDialog.InitDir Get", [&] { dialog.InitDir(); }},
        {"CommonDialog.FileName Let", [&] { dialog.SetFileName("A.HTM"); }},
        {"CommonDialog.FileName Get", [&] { dialog.FileName(); }},
        {"CommonDialog.DefaultExt Let", [&] { dialog.SetDefaultExt("htm"); }},
        {"CommonDialog.DefaultExt Get", [&] { dialog.DefaultExt(); }},
        {"CommonDialog.Filter Let", [&] { dialog.SetFilter("HTML File|*.htm"); }},
        {"CommonDialog.Filter Get", [&] { dialog.Filter(); }},
        {"CommonDialog.DialogTitle Let", [&] { dialog.SetDialogTitle("Save"); }},
        {"CommonDialog.DialogTitle Get", [&] { dialog.DialogTitle(); }},
        {"CommonDialog.FileTitle Get", [&] { dialog.FileTitle(); }},
        {"CommonDialog.FilterIndex Let", [&] { dialog.SetFilterIndex(1); }},
        {"CommonDialog.FilterIndex Get", [&] { dialog.FilterIndex(); }},
        {"CommonDialog.MaxFileNameSize Let", [&] { dialog.SetMaxFileNameSize(260); }},
        {"CommonDialog.MaxFileNameSize Get", [&] { dialog.MaxFileNameSize(); }},
        {"CommonDialog.MultiSelect Let", [&] { dialog.SetMultiSelect(false); }},
        {"CommonDialog.MultiSelect Get", [&] { dialog.MultiSelect(); }},
        {"CommonDialog.CreatePrompt Let", [&] { dialog.SetCreatePrompt(false); }},
        {"CommonDialog.CreatePrompt Get", [&] { dialog.CreatePrompt(); }},
        {"CommonDialog.HideReadOnly Let", [&] { dialog.SetHideReadOnly(true); }},
        {"CommonDialog.HideReadOnly Get", [&] { dialog.HideReadOnly(); }},
        {"CommonDialog.Canceled Get", [&] { dialog.Canceled(); }},
        {"frmVelto.Form_Activate", [&] { main.Form_Activate(); }},
        {"frmVelto.Form_Resize", [&] { main.Form_Resize(); }},
        {"frmVelto.List1_Click", [&] { main.List1_Click(); }},
        {"frmRestoreBackups.Form_Resize", [&] { restore.Form_Resize(); }},
        {"frmRestoreBackups.List1_Click", [&] { restore.List1_Click(); }},
    };
    const std::string file = std::string(coretest::kProgramDir) + "\\VLT.trc";
    for (const auto& c : cases) {
        const std::size_t before = machine.Read(file).size();
        c.call();
        const std::string written = machine.Read(file).substr(before);
        EXPECT_NE(written.find(std::string(": +Enter ") + c.name + "\r\n"), std::string::npos)
            << c.name;
        EXPECT_NE(written.find(std::string(": -Exit ") + c.name + "\r\n"), std::string::npos)
            << c.name;
    }
}

}  // namespace
