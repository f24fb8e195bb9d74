// The window vlt shows when it is started from the desktop's menu (--desktop) and finds no
// machine: it lists the Wine prefixes the user's launchers keep (platform/wine/prefixes) and
// opens the one chosen, opens any other folder (a prefix such as ~/.wine, or an emulated
// machine), or makes the demo machine on the default folder (the command is shown for the
// terminal too). Started from a terminal, vlt keeps saying why on standard error and ending
// with status 2; scripts see no window.
#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/kinds/MachineKinds.h"
#include "platform/machine/Machine.h"
#include "platform/wine/prefixes/FoundPrefix.h"

class QFileDialog;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace vltmain {

class NoMachineWindow : public QDialog {
  public:
    // `location` is where the machine was looked for, `problem` why it could not be opened
    // (given as the tip of the window's first lines, which say it in plain words).
    NoMachineWindow(machine::MachineLocation location, const std::string& problem);

    // Lists the prefixes among `found` (the folders that are none are only counted).
    void ShowPrefixes(std::vector<wine::prefixes::FoundPrefix> found);
    // Shows the window until a machine is opened or the window is closed.
    std::shared_ptr<machine::Machine> Ask();
    // The machine made or chosen; null while there is none.
    std::shared_ptr<machine::Machine> machine() const { return machine_; }

    // The folder chooser (MakeFolderDialog, shown); tests put their own in.
    std::function<std::optional<std::filesystem::path>()> chooseFolder;
    // The velto-machine program that makes the demo machine; empty when none was found, and
    // then the button is not offered.
    std::filesystem::path machineTool;
    // The run the machine's lock is taken for (MachineLock.h).
    std::string holder = "vlt";
    // How the chosen machine is opened (the user of an installation, from --user).
    kinds::OpenOptions options;

    void cmdOpenPrefix_Click();
    void cmdCreate_Click();
    void cmdOpen_Click();

    QLabel* lbProblem;
    QTreeWidget* lvPrefixes;
    QLabel* lbPrefixes;
    QLabel* lbStatus;
    QPushButton* cmdOpenPrefix;
    QPushButton* cmdCreate;
    QPushButton* cmdOpen;
    QPushButton* cmdClose;

  private:
    void Open(const std::filesystem::path& folder);

    machine::MachineLocation location_;
    std::vector<wine::prefixes::FoundPrefix> prefixes_;
    std::shared_ptr<machine::Machine> machine_;
};

// The folder dialog of "Open Another Folder": Qt's own, starting in the home folder and
// showing hidden folders, since prefixes (~/.wine) and launchers' folders are hidden ones.
std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* parent);

// velto-machine beside the running program (both are installed into one bin folder), or
// where the build tree keeps it (build/tools beside build/vlt), else on $PATH; empty when
// none has it.
std::filesystem::path FindMachineTool();

}  // namespace vltmain
