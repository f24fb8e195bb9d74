// ExitWindowsEx only records; a recorded restart becomes a start of the machine at the end.
#include <gtest/gtest.h>

#include "platform/win32/kernel32/Files.h"
#include "platform/win32/user32/ExitWindows.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"

namespace {

class ExitWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override { win32::ClearExitRequest(); }
    void TearDown() override { win32::ClearExitRequest(); }
};

struct Sequence {
    const char* name;
    std::vector<win32::UINT> calls;
    win32::UINT lastFlags;
    bool restart;
};

TEST_F(ExitWindowsTest, RecordsWhatWasAsked) {
    const Sequence cases[] = {
        {"shut down, forced", {win32::EWX_SHUTDOWN | win32::EWX_FORCE}, 5, false},
        {"restart, forced", {win32::EWX_REBOOT | win32::EWX_FORCE}, 6, true},
        {"log off, forced", {win32::EWX_LOGOFF | win32::EWX_FORCE}, 4, false},
        {"power off, forced", {win32::EWX_POWEROFF | win32::EWX_FORCE}, 12, false},
        {"a later restart counts", {4, 6}, 6, true},
        {"a later shut down does not cancel the restart", {6, 5}, 5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        win32::ClearExitRequest();
        for (const win32::UINT flags : c.calls) {
            EXPECT_TRUE(win32::ExitWindowsEx(flags, 0));
        }
        const auto request = win32::PendingExitRequest();
        ASSERT_TRUE(request);
        EXPECT_EQ(request->flags, c.lastFlags);
        EXPECT_EQ(request->restart, c.restart);
    }
}

TEST_F(ExitWindowsTest, NothingAskedNothingDone) {
    EXPECT_FALSE(win32::PendingExitRequest());
    EXPECT_FALSE(win32::RunPendingRestart());
    win32::ExitWindowsEx(win32::EWX_SHUTDOWN, 0);
    EXPECT_FALSE(win32::RunPendingRestart()) << "shutting down starts nothing";
}

TEST_F(ExitWindowsTest, ARestartStartsTheMachineOnce) {
    testsupport::MachineBuilder m;
    m.Platform(machine::Platform::NT);
    testsupport::SeedRegistry(m);
    m.File("C:\\OLD.DLL", "old");
    ASSERT_TRUE(
        win32::MoveFileExA("C:\\OLD.DLL", std::nullopt, win32::MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(win32::ExitWindowsEx(win32::EWX_REBOOT | win32::EWX_FORCE, 0));
    EXPECT_TRUE(m.Exists("C:\\OLD.DLL")) << "nothing happens before the program ends";

    std::vector<std::string> printed;
    const auto report =
        win32::RunPendingRestart([&](const std::string& line) { printed.push_back(line); });
    ASSERT_TRUE(report);
    EXPECT_FALSE(report->failed);
    EXPECT_EQ(report->operations.size(), 1u);
    EXPECT_FALSE(printed.empty());
    EXPECT_FALSE(m.Exists("C:\\OLD.DLL"));
    EXPECT_FALSE(win32::PendingExitRequest());
    EXPECT_FALSE(win32::RunPendingRestart());
}

}  // namespace
