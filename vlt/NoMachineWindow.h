// The window vlt shows when it is started from the desktop's menu (--desktop) and finds no
// machine: it says what a machine is, how to make one (a button runs velto-machine create
// --demo on the default folder, and the command is shown for the terminal) and lets the user
// choose an existing machine folder for this run. Started from a terminal, vlt keeps saying
// it on standard error and ending with status 2; scripts see no window.
#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/machine/Machine.h"

class QLabel;
class QPushButton;

namespace vltmain {

class NoMachineWindow : public QDialog {
  public:
    // `location` is where the machine was looked for, `problem` why it could not be opened.
    NoMachineWindow(machine::MachineLocation location, const std::string& problem);

    // Shows the window until a machine is opened or the window is closed.
    std::shared_ptr<machine::Machine> Ask();
    // The machine made or chosen; null while there is none.
    std::shared_ptr<machine::Machine> machine() const { return machine_; }

    // The folder chooser (a folder dialog); tests put their own in.
    std::function<std::optional<std::filesystem::path>()> chooseFolder;
    // The velto-machine program that makes the demo machine; empty when none was found, and
    // then the button is not offered.
    std::filesystem::path machineTool;
    // The run the machine's lock is taken for (MachineLock.h).
    std::string holder = "vlt";

    void cmdCreate_Click();
    void cmdOpen_Click();

    QLabel* lbProblem;
    QLabel* lbStatus;
    QPushButton* cmdCreate;
    QPushButton* cmdOpen;
    QPushButton* cmdClose;

  private:
    void Opened(std::shared_ptr<machine::Machine> opened);

    machine::MachineLocation location_;
    std::shared_ptr<machine::Machine> machine_;
};

// velto-machine beside the running program (both are installed into one bin folder), else
// on $PATH; empty when neither has it.
std::filesystem::path FindMachineTool();

}  // namespace vltmain
