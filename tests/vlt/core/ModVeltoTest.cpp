// The program's Main: the interactive start, the unattended run ("-S" in any case) with and
// without anything to repair, and a failing step.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/automation/Errors.h"
#include "platform/win32/user32/ExitWindows.h"
#include "tests/vlt/core/CoreTestSupport.h"
#include "tools/imagewriter/ImageWriter.h"
#include "vlt/core/GlobalControls.h"
#include "vlt/core/ModVelto.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/VltState.h"

namespace {

using coretest::CoreTest;

std::string Dll(const std::string& version) {
    imagewriter::StringTable table;
    table.strings = {
        {"CompanyName", "Korvane"}, {"FileVersion", version}, {"ProductVersion", version}};
    imagewriter::VersionInfo info;
    info.tables = {table};
    const imagewriter::Image image = imagewriter::BuildImage(imagewriter::VersionImage(info));
    return std::string(image.bytes.begin(), image.bytes.end());
}

class MainTest : public CoreTest {
  protected:
    ~MainTest() override { win32::ClearExitRequest(); }

    // Runs Main the way the program's top level does; true when it ended the program.
    bool RunMain(const std::string& commandLine) {
        vlt::State().CommandLine = commandLine;
        try {
            ModVelto::Main();
            return false;
        } catch (const vlt::ProgramEnded&) {
            return true;
        }
    }

    int Boxes(const std::string& title) const {
        const auto boxes = dialogs->MsgBoxes();
        return static_cast<int>(std::count_if(boxes.begin(), boxes.end(),
                                              [&](const auto& box) { return box.title == title; }));
    }
};

TEST_F(MainTest, WithoutTheSwitchTheMainWindowIsShownAndTheProgramLivesOn) {
    EXPECT_FALSE(RunMain("-TRACEREG"));
    EXPECT_EQ(mainWindow->shows, 1);
    EXPECT_EQ(splash->shows, 1);
    EXPECT_EQ(splash->unloads, 1);
    EXPECT_TRUE(vlt::TheGlobalControls().Loaded());
    EXPECT_FALSE(vlt::State().Closing);
    EXPECT_EQ(Settings().find("AutoScan"), std::string::npos);
}

TEST_F(MainTest, AnUnattendedRunWithNothingToDoSaysSoOnceAndCloses) {
    EXPECT_TRUE(RunMain("-s"));
    EXPECT_EQ(mainWindow->shows, 0);
    EXPECT_EQ(mainWindow->loads, 1);
    EXPECT_TRUE(vlt::State().Closing);
    EXPECT_FALSE(vlt::TheGlobalControls().Loaded());
    const auto boxes = dialogs->MsgBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, "No Action taken");
    // Automatic mode stays stored for later runs; the run itself stored no time.
    EXPECT_NE(Settings().find("\"AutoScan\"=\"Y\""), std::string::npos);
    EXPECT_EQ(Settings().find("LastScanDateTime"), std::string::npos);
    EXPECT_FALSE(win32::PendingExitRequest());
}

// The report the scan wrote is offered once: the start-up does not write it again.
TEST_F(MainTest, AnUnattendedRunRepairsReportsOnceAndAsksForTheRestart) {
    machine.File("C:\\APP\\N.DLL", Dll("1.0")).File("C:\\OTHER\\N.DLL", Dll("2.0"));
    Store({{"AllDups", "Y"}});
    EXPECT_TRUE(RunMain("-S"));
    EXPECT_EQ(Boxes("Report Created."), 1);
    EXPECT_EQ(vlt::State().ReportFile.substr(0, 19), "C:\\WINDOWS\\TEMP\\VLT");
    EXPECT_EQ(Boxes("Restart Required"), 0);
    EXPECT_NE(Settings().find("\"LastScanDateTime\""), std::string::npos);
    EXPECT_NE(Settings().find("\"AllDups\"=\"N\""), std::string::npos);
    const auto restart = win32::PendingExitRequest();
    ASSERT_TRUE(restart);
    EXPECT_TRUE(restart->restart);
    const std::string wininit = machine.Read("C:\\WINDOWS\\wininit.ini");
    EXPECT_NE(wininit.find("C:\\APP\\N.DLL="), std::string::npos) << wininit;
    EXPECT_FALSE(vlt::State().EXE);
}

class FailingMain : public coretest::FakeMain {
  public:
    void Load() override { automation::Raise(automation::OutOfMemory); }
};

// Without its settings the unattended run would scan with defaults and repair folders the user
// excluded: it says once what is wrong and how to recover, and does nothing.
TEST_F(MainTest, AnUnattendedRunOnARegistryThatCannotBeUsedEndsAtOnceSayingHowToRecover) {
    machine.File("C:\\APP\\N.DLL", Dll("1.0")).File("C:\\OTHER\\N.DLL", Dll("2.0"));
    for (const char* name : {"registry.db-wal", "registry.db-shm"}) {
        std::filesystem::remove(machine.folder() / name);
    }
    std::ofstream(machine.folder() / "registry.db", std::ios::trunc).flush();
    EXPECT_TRUE(RunMain("-S"));
    EXPECT_TRUE(vlt::State().MachineUnusable);
    EXPECT_EQ(mainWindow->loads, 0);
    const auto boxes = dialogs->MsgBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Registry cannot be used");
    for (const std::string& part :
         {(machine.folder() / "registry.db").string() + " cannot be used (Error 1009",
          std::string("nothing was scanned, changed or scheduled"),
          "velto-machine reg import " + machine.folder().string() + " FILE"}) {
        EXPECT_NE(boxes[0].prompt.find(part), std::string::npos) << boxes[0].prompt;
    }
    EXPECT_FALSE(machine.Exists("C:\\WINDOWS\\wininit.ini"));
    EXPECT_FALSE(win32::PendingExitRequest());
}

TEST_F(MainTest, AFailedStepIsOfferedWithItsTextAndAbortEndsTheProgram) {
    vlt::State().windows.main = std::make_shared<FailingMain>();
    dialogs->AnswerMsgBox(dialogs::vbAbort);
    try {
        RunMain("-S");
        FAIL() << "Abort did not end Main";
    } catch (const vlt::ProgramAborted& aborted) {
        EXPECT_EQ(aborted.error.Number(), automation::OutOfMemory);
    }
    const auto boxes = dialogs->MsgBoxes();
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].prompt,
              "Error: 7\r\nOut of memory\r\nOccurred at function modVelto.Main\r\nGoScan, Showing "
              "form");
}

TEST_F(MainTest, IgnoringAFailedStepGoesOnWithTheRun) {
    vlt::State().windows.main = std::make_shared<FailingMain>();
    dialogs->AnswerMsgBox(dialogs::vbIgnore);
    EXPECT_TRUE(RunMain("-S"));
    EXPECT_EQ(Boxes("Application Error!"), 1);
    const auto boxes = dialogs->MsgBoxes();
    EXPECT_EQ(boxes.back().prompt, "No Action taken") << "the scan ran and found nothing to do";
}

}  // namespace
