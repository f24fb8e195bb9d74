// Starting host programs from Windows command lines, and the launcher that tests and
// unattended runs keep from starting anything.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "platform/automation/Errors.h"
#include "platform/win32/kernel32/Process.h"
#include "platform/win32/ntdll/Launcher.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RecordingLauncher.h"

namespace {

using Args = std::vector<std::string>;

struct SplitCase {
    const char* line;
    Args argv;
};

TEST(CommandLine, SplitsAsTheStartUpCodeDoes) {
    const SplitCase cases[] = {
        {"", {}},
        {"   ", {}},
        {"notepad", {"notepad"}},
        {"  a  b\tc ", {"a", "b", "c"}},
        {"\"C:\\Program Files\\X\\x.exe\" /s", {"C:\\Program Files\\X\\x.exe", "/s"}},
        {"C:\\dir\\x.exe \"a b\" c", {"C:\\dir\\x.exe", "a b", "c"}},
        {"x a\\\\\"b c\"", {"x", "a\\b c"}},
        {"x a\\\"b", {"x", "a\"b"}},
        {"x a\\\\b", {"x", "a\\\\b"}},
        {"x \"a\"\"b\"", {"x", "a\"b"}},
        {"x \"\"", {"x", ""}},
        {"x \"unterminated arg", {"x", "unterminated arg"}},
        {"C:\\a\\b\\ c", {"C:\\a\\b\\", "c"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(win32::SplitCommandLine(c.line), c.argv);
    }
}

class HostCommandTest : public ::testing::Test {
  protected:
    std::string Host(const char* windowsPath) { return machine_.HostPath(windowsPath).string(); }
    testsupport::MachineBuilder machine_;
};

TEST_F(HostCommandTest, MachinePathsBecomeHostPaths) {
    machine_.File("C:\\Reports\\report.htm", "x").Folder("C:\\Logs");
    struct Case {
        std::string line;
        Args argv;
    } cases[] = {
        {"xdg-open \"C:\\Reports\\report.htm\"", {"xdg-open", Host("C:\\Reports\\report.htm")}},
        {"xdg-open c:/reports/REPORT.HTM", {"xdg-open", Host("C:\\Reports\\report.htm")}},
        {"xdg-open http://example.org/x", {"xdg-open", "http://example.org/x"}},
        {"tool Q:\\nodrive --flag", {"tool", "Q:\\nodrive", "--flag"}},
        {"tool C:notapath", {"tool", "C:notapath"}},
        {"explorer.exe C:\\Logs\\", {"xdg-open", Host("C:\\Logs")}},
        {"C:\\WINDOWS\\EXPLORER.EXE /e,C:\\Logs", {"xdg-open", Host("C:\\Logs")}},
        {"explorer /select,C:\\Reports\\report.htm", {"xdg-open", Host("C:\\Reports")}},
        {"Explorer", {"xdg-open", Host("C:\\")}},
        {"hh.exe C:\\Reports\\report.htm::/topic.htm",
         {"xdg-open", Host("C:\\Reports\\report.htm")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto request = win32::HostCommand(c.line);
        ASSERT_TRUE(request);
        EXPECT_EQ(request->argv, c.argv);
    }
    EXPECT_FALSE(win32::HostCommand("   "));
}

TEST_F(HostCommandTest, ShellStartsThroughTheLauncher) {
    testsupport::RecordingLauncher launcher;
    EXPECT_EQ(win32::Shell("tool one \"two three\"", win32::vbNormalFocus), 1001.0);
    EXPECT_EQ(launcher.Commands(), (std::vector<Args>{{"tool", "one", "two three"}}));
}

struct ShellFailure {
    const char* name;
    const char* line;
    int style;
    int launchError;
    std::int32_t number;
};

TEST_F(HostCommandTest, ShellFailuresAreRunTimeErrors) {
    const ShellFailure cases[] = {
        {"missing program", "no-such-program", win32::vbMinimizedFocus, ENOENT, 53},
        {"not runnable", "tool", win32::vbHide, EACCES, 53},
        {"empty command line", "", win32::vbMinimizedFocus, 0, 5},
        {"unknown window style", "tool", 9, 0, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::RecordingLauncher launcher;
        launcher.FailWith(c.launchError);
        try {
            win32::Shell(c.line, c.style);
            ADD_FAILURE() << "no error raised";
        } catch (const automation::Error& e) {
            EXPECT_EQ(e.Number(), c.number);
        }
    }
}

TEST(Launcher, HostLauncherStartsRealProgramsAndReportsMissingOnes) {
    long pid = 0;
    EXPECT_EQ(win32::HostLauncher()->Launch({{"true"}, {}}, pid), 0);
    EXPECT_GT(pid, 0);
    EXPECT_EQ(win32::HostLauncher()->Launch({{"velto-no-such-program-x"}, {}}, pid), ENOENT);
    EXPECT_EQ(win32::HostLauncher()->Launch({{"/nonexistent/dir/tool"}, {}}, pid), ENOENT);
    // A file without any execute bit is there but cannot be run.
    std::string plain = (std::filesystem::temp_directory_path() / "velto-plain-XXXXXX").string();
    const int fd = ::mkstemp(plain.data());
    ASSERT_GE(fd, 0);
    ::close(fd);
    ::chmod(plain.c_str(), 0644);
    EXPECT_EQ(win32::HostLauncher()->Launch({{plain}, {}}, pid), EACCES);
    std::filesystem::remove(plain);
    EXPECT_EQ(win32::HostLauncher()->Launch({{"true"}, "/nonexistent/folder"}, pid), ENOENT);
}

// How a started program ended, for a caller that must know whether an opener gave up.
TEST(Launcher, TheHostLauncherTellsHowAProgramEnded) {
    const auto launcher = win32::HostLauncher();
    long pid = 0;
    ASSERT_EQ(launcher->Launch({{"sh", "-c", "exit 3"}, {}}, pid), 0);
    EXPECT_EQ(launcher->ExitStatus(pid, std::chrono::seconds(60)), 3);
    ASSERT_EQ(launcher->Launch({{"true"}, {}}, pid), 0);
    EXPECT_EQ(launcher->ExitStatus(pid, std::chrono::seconds(60)), 0);
    // One that runs on has no status yet; one never started has none at all.
    ASSERT_EQ(launcher->Launch({{"sleep", "60"}, {}}, pid), 0);
    EXPECT_EQ(launcher->ExitStatus(pid, std::chrono::milliseconds(0)), std::nullopt);
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    EXPECT_EQ(launcher->ExitStatus(pid, std::chrono::seconds(60)), 128);
    EXPECT_EQ(launcher->ExitStatus(0, std::chrono::milliseconds(0)), std::nullopt);
}

TEST(Launcher, NoLaunchVariablePrintsInsteadOfStarting) {
    const char* before = std::getenv(win32::kNoLaunchVariable);
    const std::string saved = before != nullptr ? before : "";
    ::setenv(win32::kNoLaunchVariable, "1", 1);
    testing::internal::CaptureStderr();
    long pid = -1;
    // A program that does not exist: nothing is even looked up.
    const int err = win32::CurrentLauncher()->Launch({{"xdg-open", "/tmp/a b.htm"}, {}}, pid);
    const std::string printed = testing::internal::GetCapturedStderr();
    if (before != nullptr) {
        ::setenv(win32::kNoLaunchVariable, saved.c_str(), 1);
    } else {
        ::unsetenv(win32::kNoLaunchVariable);
    }
    EXPECT_EQ(err, 0);
    EXPECT_EQ(pid, 0);
    EXPECT_NE(printed.find("not starting: xdg-open '/tmp/a b.htm'"), std::string::npos) << printed;
}

TEST(Launcher, DescribeQuotesForTheShell) {
    EXPECT_EQ(win32::DescribeLaunch({{"xdg-open", "mailto:a@b.c?Subject=x%20y"}, {}}),
              "xdg-open 'mailto:a@b.c?Subject=x%20y'");
    EXPECT_EQ(win32::DescribeLaunch({{"tool", "it's"}, "/tmp"}), "tool 'it'\\''s' (in /tmp)");
}

}  // namespace
