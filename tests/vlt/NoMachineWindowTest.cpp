// The window vlt --desktop shows without a machine: choosing a folder that is no machine says
// why and lets the user try again, choosing a machine or creating the demo machine hands it
// to the program, and a create that fails says so.

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QTreeWidget>

#include "platform/forms/Application.h"
#include "tests/platform/wine/FakePrefix.h"
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

// The prefixes found are listed (those a wineserver holds marked, the folders that are no
// prefixes only counted) and the one chosen is opened; the folder dialog shows hidden folders.
TEST_F(NoMachine, APrefixFoundIsChosenFromTheList) {
    winetest::FakePrefix steam;
    winetest::FakePrefix own;
    const auto row = [](const char* launcher, const char* id, const std::filesystem::path& folder,
                        std::string problem, wine::ServerState state) {
        wine::prefixes::FoundPrefix found;
        found.namings.push_back({launcher, false, id, "", folder});
        found.folder = folder;
        found.problem = std::move(problem);
        found.facts.server.state = state;
        return found;
    };
    window->ShowPrefixes({row("steam", "220", steam.folder(), "", wine::ServerState::NotRunning),
                          row("steam", "400", other.folder() / "400", "the folder does not exist",
                              wine::ServerState::NotRunning),
                          row("wine", "default", own.folder(), "", wine::ServerState::Running)});
    ASSERT_EQ(window->lvPrefixes->topLevelItemCount(), 2);
    EXPECT_EQ(window->lvPrefixes->topLevelItem(0)->text(0), "Steam");
    EXPECT_EQ(window->lvPrefixes->topLevelItem(0)->text(2), "no");
    EXPECT_EQ(window->lvPrefixes->topLevelItem(1)->text(2), "yes");
    EXPECT_TRUE(window->lbPrefixes->text().contains("1 more folder a launcher names is no prefix"));
    EXPECT_FALSE(window->lbProblem->text().contains("no machine folder here"));
    EXPECT_EQ(window->lbProblem->toolTip(), "no machine folder here");

    window->lvPrefixes->setCurrentItem(nullptr);
    window->cmdOpenPrefix_Click();
    EXPECT_EQ(window->machine(), nullptr);
    EXPECT_EQ(window->lbStatus->text(), "Choose a prefix in the list first.");
    window->lvPrefixes->setCurrentItem(window->lvPrefixes->topLevelItem(0));
    window->cmdOpenPrefix_Click();
    ASSERT_NE(window->machine(), nullptr) << window->lbStatus->text().toStdString();
    EXPECT_EQ(window->machine()->folder(), steam.folder());

    const auto dialog = vltmain::MakeFolderDialog(window.get());
    EXPECT_TRUE(dialog->filter().testFlag(QDir::Hidden));
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
}

}  // namespace
