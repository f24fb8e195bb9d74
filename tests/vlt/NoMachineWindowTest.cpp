// The window vlt --desktop shows without a machine: choosing a folder that is no machine says
// why and lets the user try again, choosing a machine or creating the demo machine hands it
// to the program, and a create that fails says so.

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>
#include <QLabel>

#include "platform/forms/Application.h"
#include "tests/support/MachineBuilder.h"
#include "vlt/NoMachineWindow.h"

namespace {

forms::Application& App() {
    static int argc = 1;
    static char name[] = "test_vlt";
    static char* argv[] = {name, nullptr};
    static forms::Application app(argc, argv);
    return app;
}

class NoMachine : public testing::Test {
  protected:
    NoMachine() {
        App();
        window = std::make_unique<vltmain::NoMachineWindow>(
            machine::MachineLocation{missing, "$XDG_DATA_HOME"}, "no machine folder here");
    }

    testsupport::MachineBuilder other;
    std::filesystem::path missing = other.folder() / "default" / "machine";
    std::unique_ptr<vltmain::NoMachineWindow> window;
};

TEST_F(NoMachine, ChoosingAFolderOpensTheMachineInIt) {
    window->chooseFolder = [&] { return std::optional(other.folder() / "drives"); };
    window->cmdOpen_Click();
    EXPECT_EQ(window->machine(), nullptr);
    EXPECT_NE(window->lbStatus->text().toStdString().find("is not a Velto machine"),
              std::string::npos)
        << window->lbStatus->text().toStdString();

    window->chooseFolder = [&] { return std::optional(other.folder()); };
    window->cmdOpen_Click();
    ASSERT_NE(window->machine(), nullptr);
    EXPECT_EQ(window->machine()->folder(), std::filesystem::absolute(other.folder()));
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

TEST_F(NoMachine, CreatingMakesTheDemoMachineWhereItWasLookedFor) {
    window->machineTool = "/bin/false";
    window->cmdCreate_Click();
    EXPECT_EQ(window->machine(), nullptr);
    EXPECT_TRUE(window->lbStatus->text().startsWith("The demo machine could not be created"));

    window->machineTool = VELTO_MACHINE_TOOL;
    window->cmdCreate_Click();
    ASSERT_NE(window->machine(), nullptr) << window->lbStatus->text().toStdString();
    EXPECT_TRUE(std::filesystem::exists(missing / "machine.ini"));
    EXPECT_TRUE(std::filesystem::exists(missing / "drives/C/WINDOWS/SYSTEM/ORBCALC.DLL"));
}

}  // namespace
