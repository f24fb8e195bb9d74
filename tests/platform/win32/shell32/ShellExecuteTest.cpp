// Opening documents, folders and links with the machine's registered commands, and messages to
// every window; the recording launcher stands in for the desktop.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/win32/ntdll/LastError.h"
#include "platform/win32/shell32/Shell.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RecordingLauncher.h"
#include "tests/support/RegistrySeed.h"

namespace {

using Args = std::vector<std::string>;

class ShellExecuteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testsupport::SeedRegistry(machine_,
                                  "REGEDIT4\r\n\r\n"
                                  "[HKEY_CLASSES_ROOT\\.htm]\r\n@=\"htmlfile\"\r\n\r\n"
                                  "[HKEY_CLASSES_ROOT\\htmlfile\\shell\\open\\command]\r\n"
                                  "@=\"xdg-open \\\"%1\\\"\"\r\n\r\n"
                                  "[HKEY_CLASSES_ROOT\\.log\\shell\\open\\command]\r\n"
                                  "@=\"viewer --page %* %% %2\"\r\n\r\n"
                                  "[HKEY_CLASSES_ROOT\\.ini]\r\n@=\"inifile\"\r\n\r\n"
                                  "[HKEY_CLASSES_ROOT\\inifile\\shell\\edit\\command]\r\n"
                                  "@=\"editor\"\r\n\r\n"
                                  "[HKEY_CLASSES_ROOT\\mailto\\shell\\open\\command]\r\n"
                                  "@=\"mailer \\\"%1\\\"\"\r\n");
        machine_.File("C:\\Reports\\report.htm", "<html>")
            .File("C:\\Reports\\notes.txt", "notes")
            .File("C:\\Reports\\run.log", "log")
            .File("C:\\WINDOWS\\win.ini", "")
            .File("C:\\Apps\\setup.exe", "MZ");
    }

    std::string Host(const char* windowsPath) { return machine_.HostPath(windowsPath).string(); }

    testsupport::MachineBuilder machine_;
};

struct OpenCase {
    const char* name;
    const char* operation;
    const char* file;
    const char* parameters;
    const char* directory;
    win32::UINT result;
    std::optional<Args> command;  // nullopt: nothing started
};

TEST_F(ShellExecuteTest, DocumentsFoldersAndLinks) {
    const OpenCase cases[] = {
        {"registered class", "open", "C:\\Reports\\report.htm", "", "", 42,
         Args{"xdg-open", Host("C:\\Reports\\report.htm")}},
        {"verb defaults to open, case of the name ignored", "", "c:\\reports\\REPORT.HTM", "", "",
         42, Args{"xdg-open", Host("C:\\Reports\\report.htm")}},
        {"command on the extension's own key, %* and %%", "open", "C:\\Reports\\run.log", "--tail",
         "", 42, Args{"viewer", "--page", "--tail", "%", Host("C:\\Reports\\run.log")}},
        {"a command without %1 gets the document", "edit", "C:\\WINDOWS\\win.ini", "", "", 42,
         Args{"editor", Host("C:\\WINDOWS\\win.ini")}},
        {"unregistered document: the desktop opens it", "open", "C:\\Reports\\notes.txt", "", "",
         42, Args{"xdg-open", Host("C:\\Reports\\notes.txt")}},
        {"relative to the directory", "open", "notes.txt", "", "C:\\Reports", 42,
         Args{"xdg-open", Host("C:\\Reports\\notes.txt")}},
        {"folder", "explore", "C:\\Reports", "", "", 42, Args{"xdg-open", Host("C:\\Reports")}},
        {"web link", "open", "http://example.org/velto?x=1", "", "", 42,
         Args{"xdg-open", "http://example.org/velto?x=1"}},
        {"registered link scheme", "open", "mailto:help@example.org?Subject=Bug%20report", "", "",
         42, Args{"mailer", "mailto:help@example.org?Subject=Bug%20report"}},
        {"missing file", "open", "C:\\Reports\\gone.htm", "", "", win32::SE_ERR_FNF, std::nullopt},
        {"missing folder", "open", "C:\\Gone\\x.htm", "", "", win32::SE_ERR_PNF, std::nullopt},
        {"a Windows program cannot run here", "open", "C:\\Apps\\setup.exe", "", "",
         win32::SE_ERR_BAD_FORMAT, std::nullopt},
        {"no command for the verb", "print", "C:\\Reports\\notes.txt", "", "",
         win32::SE_ERR_NOASSOC, std::nullopt},
        {"no command for a link verb", "print", "https://example.org", "", "",
         win32::SE_ERR_NOASSOC, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::RecordingLauncher launcher;
        const win32::UINT result = win32::ShellExecuteA(0, c.operation, c.file, c.parameters,
                                                        c.directory, win32::SW_SHOWNORMAL);
        if (c.result == 42) {
            EXPECT_GT(result, 32u);
        } else {
            EXPECT_EQ(result, c.result);
        }
        if (c.command) {
            EXPECT_EQ(launcher.Commands(), std::vector<Args>{*c.command});
        } else {
            EXPECT_TRUE(launcher.Commands().empty());
        }
    }
}

TEST_F(ShellExecuteTest, WorkingDirectoryIsTheHostFolder) {
    testsupport::RecordingLauncher launcher;
    ASSERT_GT(win32::ShellExecuteA(0, "open", "report.htm", "", "C:\\Reports", 1), 32u);
    ASSERT_EQ(launcher.Launched().size(), 1u);
    EXPECT_EQ(launcher.Launched()[0].workingDirectory, machine_.HostPath("C:\\Reports"));
}

TEST_F(ShellExecuteTest, ProgramsThatCannotStart) {
    testsupport::RecordingLauncher launcher;
    launcher.FailWith(ENOENT);
    // The registered program is missing: as Windows, file not found.
    EXPECT_EQ(win32::ShellExecuteA(0, "open", "C:\\Reports\\report.htm", "", "", 1),
              win32::SE_ERR_FNF);
    // Nothing on the desktop opens documents.
    EXPECT_EQ(win32::ShellExecuteA(0, "open", "C:\\Reports\\notes.txt", "", "", 1),
              win32::SE_ERR_NOASSOC);
}

TEST(PostMessage, BroadcastsAreRecordedOthersFail) {
    win32::ClearPostedMessages();
    EXPECT_TRUE(win32::PostMessageA(win32::HWND_BROADCAST, win32::WM_WININICHANGE, 0, "windows"));
    EXPECT_TRUE(win32::PostMessageA(win32::HWND_BROADCAST, 0x0400, 7, -1));
    EXPECT_FALSE(win32::PostMessageA(0x1234, win32::WM_WININICHANGE, 0, "windows"));
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_INVALID_WINDOW_HANDLE);
    const std::vector<win32::PostedMessage> expected = {
        {win32::HWND_BROADCAST, 0x1A, 0, 0, "windows"},
        {win32::HWND_BROADCAST, 0x400, 7, -1, std::nullopt},
    };
    EXPECT_EQ(win32::PostedMessages(), expected);
    win32::ClearPostedMessages();
    EXPECT_TRUE(win32::PostedMessages().empty());
}

}  // namespace
