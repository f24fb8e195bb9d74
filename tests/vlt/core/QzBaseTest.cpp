// QzBase: folder names, the pause, the orderly close, running event handlers, and the
// update-check glue's good path (the refusal needs the About window: see the windows' tests).
#include <stdexcept>
#include <string>

#include "controls/sysinfo/QzSystemInfo.h"
#include "controls/upgrade/QzUpgrade.h"
#include "platform/automation/Errors.h"
#include "platform/win32/user32/ExitWindows.h"
#include "tests/vlt/core/CoreTestSupport.h"
#include "vlt/core/GlobalControls.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/VltState.h"

namespace {

using coretest::CoreTest;

TEST_F(CoreTest, LastSlashEndsAFolderWithOneBackslash) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\WINDOWS", "C:\\WINDOWS\\"},
        {"C:\\", "C:\\"},
        {"C:\\Program Files\\Velto\\", "C:\\Program Files\\Velto\\"},
        {"C:", "C:\\"},
        {"", "\\"},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(QzBase::LastSlash(path), expected) << path;
    }
}

TEST_F(CoreTest, LastSlashTracesThePathItWasGiven) {
    LoadHost("-TRACE");
    QzBase::LastSlash("C:\\WINDOWS");
    const std::string trace = machine.Read(std::string(coretest::kProgramDir) + "\\VLT.trc");
    EXPECT_NE(trace.find(":  ***Adding Slash to: C:\\WINDOWS\r\n"), std::string::npos);
    EXPECT_NE(trace.find(": +Enter QzBase.LastSlash\r\n"), std::string::npos);
}

TEST_F(CoreTest, PauseWaitsOnTheClock) {
    const double before = clock->Monotonic();
    QzBase::Pause(2.5);
    EXPECT_GE(clock->Monotonic() - before, 2.5);
}

TEST_F(CoreTest, CloseProgramRunsOnceAndEndsTheProgram) {
    LoadHost();
    int unloads = 0;
    vlt::State().windows.unloadAllForms = [&] { ++unloads; };
    EXPECT_THROW(QzBase::CloseProgram(), vlt::ProgramEnded);
    EXPECT_TRUE(vlt::State().Closing);
    EXPECT_FALSE(vlt::TheGlobalControls().Loaded());
    EXPECT_EQ(vlt::State().QzFile1, nullptr);
    EXPECT_EQ(unloads, 1);
    // The second call does nothing at all: it neither unloads again nor ends the caller.
    EXPECT_NO_THROW(QzBase::CloseProgram());
    EXPECT_EQ(unloads, 1);
}

TEST_F(CoreTest, EndingWindowsClosesTheProgramAndKeepsARestartForTheEnd) {
    const std::pair<const char*, void (Qz_System_Info::QzSystemInfo::*)() const> members[] = {
        {"ShutDown", &Qz_System_Info::QzSystemInfo::ShutDown},
        {"PowerDown", &Qz_System_Info::QzSystemInfo::PowerDown},
        {"Logoff", &Qz_System_Info::QzSystemInfo::Logoff},
        {"Reboot", &Qz_System_Info::QzSystemInfo::Reboot},
    };
    for (const auto& [name, member] : members) {
        SCOPED_TRACE(name);
        win32::ClearExitRequest();
        vlt::ResetState();
        LoadHost();
        int unloads = 0;
        vlt::State().windows.unloadAllForms = [&] { ++unloads; };
        vlt::RunEventHandler(QzBase::EndIfWindowsIsEnding);
        EXPECT_FALSE(vlt::State().Closing) << "nothing was asked";

        (Qz_System_Info::QzSystemInfo().*member)();
        vlt::RunEventHandler(QzBase::EndIfWindowsIsEnding);
        EXPECT_TRUE(vlt::State().Closing);
        EXPECT_EQ(unloads, 1);
        const auto request = win32::PendingExitRequest();
        ASSERT_TRUE(request.has_value());
        EXPECT_EQ(request->restart, std::string(name) == "Reboot");
    }
    win32::ClearExitRequest();
}

TEST_F(CoreTest, AnEventHandlerStopsAtEndAndAbendsOnAnUnhandledError) {
    bool after = false;
    vlt::RunEventHandler([&] {
        vlt::End();
        after = true;
    });
    EXPECT_FALSE(after);
    EXPECT_FALSE(vlt::State().Abended);
    EXPECT_TRUE(dialogs->History().empty());

    struct Case {
        std::function<void()> handler;
        std::string box;
    } const cases[] = {
        {[] { automation::Raise(automation::FileNotFound); },
         "Run-time error '53':\r\n\r\nFile not found"},
        {[] { throw std::runtime_error("disk on fire"); },
         "Run-time error '51':\r\n\r\ndisk on fire"},
    };
    for (const Case& c : cases) {
        vlt::State().Abended = false;
        dialogs->Clear();
        vlt::RunEventHandler(c.handler);
        EXPECT_TRUE(vlt::State().Abended);
        ASSERT_EQ(dialogs->MsgBoxes().size(), 1u);
        EXPECT_EQ(dialogs->MsgBoxes()[0].prompt, c.box);
    }
}

TEST_F(CoreTest, PrepareUpdateCheckMakesTheUpdateControlForTheProgram) {
    LoadHost();
    ASSERT_TRUE(QzBase::PrepareUpdateCheck());
    auto upgrade = std::dynamic_pointer_cast<Qz_Upgrade::QzUpgrade>(vlt::State().UpdateCheck);
    ASSERT_NE(upgrade, nullptr);
    EXPECT_EQ(upgrade->PADFile(), std::string(coretest::kProgramDir) + "\\pad_file.xml");
    EXPECT_EQ(upgrade->Major(), "1");
    EXPECT_EQ(upgrade->Minor(), "0");
    EXPECT_EQ(upgrade->Revision(), "12");
    EXPECT_TRUE(dialogs->History().empty());
    QzBase::ReleaseUpdateCheck();
    EXPECT_EQ(vlt::State().UpdateCheck, nullptr);
}

}  // namespace
