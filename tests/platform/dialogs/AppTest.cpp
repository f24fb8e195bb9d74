#include "platform/dialogs/App.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/automation/Errors.h"
#include "platform/machine/Machine.h"

namespace dialogs {
namespace {

TEST(App, IdentityAndVersion) {
    EXPECT_EQ(App().Title(), "Velto");
    EXPECT_EQ(App().ProductName(), "Velto");
    EXPECT_EQ(App().CompanyName(), "Korvane");
    EXPECT_EQ(App().Major(), VELTO_VERSION_MAJOR);
    EXPECT_EQ(App().Minor(), VELTO_VERSION_MINOR);
    EXPECT_EQ(App().Revision(), VELTO_VERSION_REVISION);
    EXPECT_NE(App().LegalCopyright().find("Korvane"), std::string::npos);
    EXPECT_FALSE(App().LegalTrademarks().empty());
    EXPECT_FALSE(App().PrevInstance());
    EXPECT_EQ(App().EXEName(), program_invocation_short_name);
}

class AppPath : public testing::Test {
  protected:
    std::filesystem::path folder;

    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("velto-app-" + std::to_string(::getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder / "drives" / "C");
    }
    void TearDown() override {
        machine::SetCurrentMachine(nullptr);
        std::filesystem::remove_all(folder);
    }
    void OpenWithProgramDir(const std::string& programDir) {
        std::ofstream(folder / "machine.ini") << "[Machine]\r\nProgramDir=" << programDir << "\r\n";
        machine::SetCurrentMachine(machine::Machine::Open(folder));
    }
};

TEST_F(AppPath, IsTheProfilesProgramFolderWithoutATrailingBackslash) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Program Files\\Velto", "C:\\Program Files\\Velto"},
        {"D:\\Tools\\Velto\\", "D:\\Tools\\Velto"},
        {"C:\\", "C:\\"},
    };
    for (const auto& [programDir, expected] : cases) {
        OpenWithProgramDir(programDir);
        EXPECT_EQ(App().Path(), expected) << programDir;
    }
}

TEST_F(AppPath, DefaultsToTheProfileDefault) {
    std::ofstream(folder / "machine.ini") << "[Machine]\r\n";
    machine::SetCurrentMachine(machine::Machine::Open(folder));
    EXPECT_EQ(App().Path(), "C:\\Program Files\\Velto");
}

TEST_F(AppPath, WithoutAMachineRaisesPathNotFound) {
    machine::SetCurrentMachine(nullptr);
    try {
        App().Path();
        FAIL() << "no error";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.Number(), automation::PathNotFound);
    }
}

}  // namespace
}  // namespace dialogs
