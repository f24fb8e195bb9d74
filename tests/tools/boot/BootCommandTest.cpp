// velto-machine boot, run as its own process on machines velto-machine created.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/machine/Machine.h"
#include "platform/restart/RestartMoves.h"
#include "platform/win32/kernel32/Files.h"
#include "tests/support/RunProgram.h"

namespace {

class BootCommand : public ::testing::Test {
  protected:
    BootCommand() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-boot-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
    }
    ~BootCommand() override {
        machine::SetCurrentMachine(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    testsupport::ProgramRun Tool(std::vector<std::string> args) {
        args.insert(args.begin(), VELTO_MACHINE_TOOL);
        return testsupport::RunProgram(args);
    }

    std::filesystem::path Create(const char* platform) {
        const auto folder = dir_ / platform;
        const auto run = Tool({"create", folder.string(), "--platform", platform});
        EXPECT_EQ(run.status, 0) << run.err;
        return folder;
    }

    static void Write(const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::size_t pos = 0;
        while (pos < text.size()) {
            const std::size_t end = text.find('\n', pos);
            lines.push_back(text.substr(pos, end - pos));
            pos = end == std::string::npos ? text.size() : end + 1;
        }
        return lines;
    }

    std::filesystem::path dir_;
};

TEST_F(BootCommand, NineXRunsEveryLineAndFailsForTheOneThatFailed) {
    const auto m = Create("9x");
    const auto c = m / "drives" / "C";
    Write(c / "WINDOWS" / "TEMP" / "VLT1.TMP", "new");
    Write(c / "WINDOWS" / "SYSTEM" / "A.DLL", "old");
    Write(c / "OLD.DLL", "gone soon");
    Write(c / "WINDOWS" / "wininit.ini",
          "[rename]\r\nC:\\WINDOWS\\SYSTEM\\A.DLL=C:\\WINDOWS\\TEMP\\VLT1.TMP\r\n"
          "C:\\X.DLL=C:\\WINDOWS\\TEMP\\MISSING.TMP\r\nNUL=C:\\OLD.DLL\r\n");

    const auto run = Tool({"boot", m.string()});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(Lines(run.out),
              (std::vector<std::string>{
                  "wininit.ini line 2: move C:\\WINDOWS\\TEMP\\VLT1.TMP to "
                  "C:\\WINDOWS\\SYSTEM\\A.DLL: done",
                  "wininit.ini line 3: move C:\\WINDOWS\\TEMP\\MISSING.TMP to C:\\X.DLL: failed "
                  "(error 2, file not found)",
                  "wininit.ini line 4: delete C:\\OLD.DLL: done",
                  "wininit.ini renamed to wininit.bak",
              }));
    EXPECT_FALSE(std::filesystem::exists(c / "OLD.DLL"));
    EXPECT_TRUE(std::filesystem::exists(c / "WINDOWS" / "wininit.bak"));
    EXPECT_FALSE(std::filesystem::exists(c / "WINDOWS" / "wininit.ini"));

    const auto again = Tool({"boot", m.string()});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "nothing to carry out\n");
}

TEST_F(BootCommand, NtCarriesOutThePendingList) {
    const auto m = Create("nt");
    const auto c = m / "drives" / "C";
    Write(c / "WINDOWS" / "TEMP" / "VLT1.TMP", "new");
    Write(c / "WINDOWS" / "SYSTEM32" / "A.DLL", "old");
    machine::SetCurrentMachine(machine::Machine::Open(m));
    ASSERT_TRUE(
        win32::MoveFileExA("C:\\WINDOWS\\TEMP\\VLT1.TMP", "C:\\WINDOWS\\SYSTEM32\\A.DLL",
                           win32::MOVEFILE_DELAY_UNTIL_REBOOT | win32::MOVEFILE_REPLACE_EXISTING));
    machine::SetCurrentMachine(nullptr);

    const auto run = Tool({"boot", m.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Lines(run.out), (std::vector<std::string>{
                                  "pending operation 1: move C:\\WINDOWS\\TEMP\\VLT1.TMP to "
                                  "C:\\WINDOWS\\SYSTEM32\\A.DLL (replacing it): done",
                                  "PendingFileRenameOperations cleared",
                              }));
    std::ifstream in(c / "WINDOWS" / "SYSTEM32" / "A.DLL");
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "new");

    machine::SetCurrentMachine(machine::Machine::Open(m));
    const auto rest = win32::ReadPendingRenames();
    ASSERT_TRUE(rest);
    EXPECT_TRUE(rest->empty());
}

TEST_F(BootCommand, UsageErrors) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"boot"},
                                                 {"boot", (dir_ / "nothing-here").string()},
                                                 {"boot", dir_.string(), "extra"}}) {
        const auto run = Tool(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

}  // namespace
