// Programs Windows starts by itself: adding them to each location and listing them back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/sysinfo/QzSystemInfo.h"
#include "controls/sysinfo/StartupShortcut.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Errors.h"
#include "platform/win32/kernel32/Profile.h"
#include "platform/win32/shell32/Shell.h"
#include "platform/win32/shell32/ShellLink.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"

namespace Qz_System_Info {
namespace {

using automation::Variant;

struct Row {
    std::string name;
    std::string commandLine;
    std::int32_t location;
    bool operator==(const Row&) const = default;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << "{" << row.name << " | " << row.commandLine << " | " << row.location << "}";
}

std::vector<Row> Rows(const Variant& table) {
    const auto* array = table.get_if<automation::VariantArray2D>();
    EXPECT_NE(array, nullptr);
    std::vector<Row> rows;
    if (array == nullptr) {
        return rows;
    }
    EXPECT_EQ(array->LBound(1), 0);
    EXPECT_EQ(array->LBound(2), 0);
    EXPECT_EQ(array->UBound(2), 2);
    for (std::int32_t i = 0; i <= array->UBound(1); ++i) {
        rows.push_back({automation::CStr((*array)(i, QzStartupKeyName)),
                        automation::CStr((*array)(i, QzStartupCommandLine)),
                        automation::CLng((*array)(i, QzStartupLocation))});
    }
    return rows;
}

class StartupPrograms : public ::testing::Test {
  protected:
    StartupPrograms() {
        testsupport::SeedRegistry(machine_);
        win32::ClearPostedMessages();
    }

    testsupport::MachineBuilder machine_;
    QzSystemInfo info_;
};

TEST_F(StartupPrograms, EmptyMachineHasNone) {
    const Variant table = info_.StartupPrograms();
    EXPECT_TRUE(Rows(table).empty());
    EXPECT_EQ(automation::UBound(table, 1), -1);
}

TEST_F(StartupPrograms, RegistryLocations) {
    const struct {
        std::int32_t location;
        const char* key;
    } cases[] = {
        {QzRegistryHKLMRun,
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {QzRegistryHKLMRunServices,
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
        {QzRegistryHKLMRunOnce,
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
        {QzRegistryHKCURun, "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {QzRegistryHKCURunServices,
         "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
        {QzRegistryHKCURunOnce,
         "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    };
    for (const auto& c : cases) {
        info_.AddStartupProgram("C:\\X.EXE /min", c.location, "X");
        EXPECT_NE(testsupport::RegistryText(machine_, c.key).find("\"X\"=\"C:\\\\X.EXE /min\""),
                  std::string::npos)
            << c.key;
    }
    std::vector<Row> expected;
    for (const auto& c : cases) {
        expected.push_back({"X", "C:\\X.EXE /min", c.location});
    }
    EXPECT_EQ(Rows(info_.StartupPrograms()), expected);
}

TEST_F(StartupPrograms, FreeValueNames) {
    info_.AddStartupProgram("A.EXE", QzRegistryHKCURun);
    info_.AddStartupProgram("B.EXE", QzRegistryHKCURun);
    info_.AddStartupProgram("C.EXE", QzRegistryHKCURun, "Named");
    // A name taken in another case is taken all the same.
    testsupport::SeedRegistry(machine_, R"(REGEDIT4

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]
"qz entry #3"="OLD.EXE"
)");
    info_.AddStartupProgram("D.EXE", QzRegistryHKCURun);
    EXPECT_EQ(Rows(info_.StartupPrograms()),
              (std::vector<Row>{{"Qz Entry #1", "A.EXE", QzRegistryHKCURun},
                                {"Qz Entry #2", "B.EXE", QzRegistryHKCURun},
                                {"Named", "C.EXE", QzRegistryHKCURun},
                                {"qz entry #3", "OLD.EXE", QzRegistryHKCURun},
                                {"Qz Entry #4", "D.EXE", QzRegistryHKCURun}}));
}

TEST_F(StartupPrograms, AddStartupOnce) {
    info_.AddStartupOnce("ONCE.EXE");
    info_.AddStartupOnce("ONCE.EXE", "Mine", -2147483647);  // HKEY_CURRENT_USER
    info_.AddStartupOnce("TWICE.EXE");
    EXPECT_EQ(Rows(info_.StartupPrograms()),
              (std::vector<Row>{{"Qz Entry #1", "ONCE.EXE", QzRegistryHKLMRunOnce},
                                {"Qz Entry #2", "TWICE.EXE", QzRegistryHKLMRunOnce},
                                {"Mine", "ONCE.EXE", QzRegistryHKCURunOnce}}));
}

TEST_F(StartupPrograms, WinIni) {
    info_.AddStartupProgram("C:\\TOOLS\\FIRST.EXE", QzWinINI);
    info_.AddStartupProgram("second.exe", QzWinINI);
    EXPECT_EQ(win32::GetProfileStringA("windows", "run", ""), "C:\\TOOLS\\FIRST.EXE second.exe");
    const auto posted = win32::PostedMessages();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].hwnd, win32::HWND_BROADCAST);
    EXPECT_EQ(posted[0].msg, win32::WM_WININICHANGE);
    EXPECT_EQ(posted[0].text, "windows");

    ASSERT_TRUE(win32::WriteProfileStringA("windows", "load", "  LOADER.EXE   C:\\X\\TSR  "));
    EXPECT_EQ(Rows(info_.StartupPrograms()),
              (std::vector<Row>{{"LOADER", "LOADER.EXE", QzWinINI},
                                {"TSR", "C:\\X\\TSR", QzWinINI},
                                {"FIRST", "C:\\TOOLS\\FIRST.EXE", QzWinINI},
                                {"second", "second.exe", QzWinINI}}));
}

TEST_F(StartupPrograms, UnknownLocationDoesNothing) {
    for (const std::int32_t location : {-1, 8, 100}) {
        info_.AddStartupProgram("X.EXE", location, "X");
    }
    EXPECT_TRUE(Rows(info_.StartupPrograms()).empty());
    EXPECT_TRUE(win32::PostedMessages().empty());
}

TEST_F(StartupPrograms, ListedInLocationOrder) {
    machine_.File("C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\Agent.lnk", "x");
    ASSERT_TRUE(win32::WriteProfileStringA("windows", "run", "RUN.EXE"));
    ASSERT_TRUE(win32::WriteProfileStringA("windows", "load", "LOAD.EXE"));
    info_.AddStartupProgram("CU.EXE", QzRegistryHKCURunOnce, "cu");
    info_.AddStartupProgram("LM.EXE", QzRegistryHKLMRunServices, "lm");
    EXPECT_EQ(Rows(info_.StartupPrograms()),
              (std::vector<Row>{
                  {"lm", "LM.EXE", QzRegistryHKLMRunServices},
                  {"cu", "CU.EXE", QzRegistryHKCURunOnce},
                  {"Agent", "C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\Agent.lnk", QzStartup},
                  {"LOAD", "LOAD.EXE", QzWinINI},
                  {"RUN", "RUN.EXE", QzWinINI},
              }));
}

TEST(StartupShortcut, FileName) {
    const struct {
        const char* commandLine;
        const char* valueName;
        const char* name;
    } cases[] = {
        {"C:\\TOOLS\\AGENT.EXE /min", "", "AGENT.lnk"},
        {"\"C:\\Program Files\\My Tool\\tool.exe\" -x", "", "tool.lnk"},
        {"notepad", "", "notepad.lnk"},
        {"C:\\X.EXE", "Backup at start", "Backup at start.lnk"},
        {"C:\\X.EXE", "a/b:c*d?e\"f<g>h|i\\j", "a_b_c_d_e_f_g_h_i_j.lnk"},
        {"", "", "Startup program.lnk"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StartupShortcutName(c.commandLine, c.valueName), c.name) << c.commandLine;
    }
}

TEST_F(StartupPrograms, StartupFolderShortcut) {
    machine_.File("C:\\Program Files\\My Tool\\tool.exe", "MZ");
    info_.AddStartupProgram("\"C:\\Program Files\\My Tool\\tool.exe\" /quiet \"a b\"", QzStartup,
                            "My Tool");
    const std::string path = "C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\My Tool.lnk";
    ASSERT_TRUE(machine_.Exists(path));
    const std::string bytes = machine_.Read(path);
    const auto link = win32::DecodeShellLink(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->targetPath, "C:\\Program Files\\My Tool\\tool.exe");
    EXPECT_EQ(link->arguments, "/quiet \"a b\"");
    EXPECT_EQ(link->description, "My Tool");
    EXPECT_EQ(link->showCommand, 3u);
    EXPECT_EQ(Rows(info_.StartupPrograms()), (std::vector<Row>{{"My Tool", path, QzStartup}}));

    // Without a name the shortcut is named after the program; the same program again replaces it.
    info_.AddStartupProgram("C:\\TOOLS\\AGENT.EXE", QzStartup);
    info_.AddStartupProgram("C:\\TOOLS\\AGENT.EXE -v", QzStartup);
    const auto rows = Rows(info_.StartupPrograms());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name == "AGENT" ? rows[0] : rows[1],
              (Row{"AGENT", "C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\AGENT.lnk", QzStartup}));
}

TEST(StartupFailures, WriteFailuresRaise) {
    testsupport::MachineBuilder machine;  // no registry at all
    QzSystemInfo info;
    for (const std::int32_t location : {QzRegistryHKLMRun, QzRegistryHKCURunOnce}) {
        EXPECT_THROW(info.AddStartupProgram("X.EXE", location), automation::Error) << location;
    }
    EXPECT_THROW(info.AddStartupOnce("X.EXE"), automation::Error);
    machine.File("C:\\WINDOWS\\Start Menu", "a file where the folder should be");
    EXPECT_THROW(info.AddStartupProgram("X.EXE", QzStartup), automation::Error);
}

TEST_F(StartupPrograms, UserList) {
    EXPECT_EQ(info_.UserList(), Variant(automation::StringArray()));
    testsupport::SeedRegistry(machine_, R"(REGEDIT4

[HKEY_USERS\.DEFAULT]
[HKEY_USERS\alice]
[HKEY_USERS\alice\Software]
[HKEY_USERS\bob]
)");
    EXPECT_EQ(info_.UserList(), Variant(automation::StringArray({".DEFAULT", "alice", "bob"})));
}

}  // namespace
}  // namespace Qz_System_Info
