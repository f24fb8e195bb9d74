#pragma once
// The one place where a machine folder's kind is told, for every program that opens a machine
// the user names: an emulated machine (machine.ini) or a Wine prefix (system.reg and
// dosdevices/). Everything after the opening asks the machine's kind (MachineKind.h).

#include <filesystem>
#include <memory>

#include "platform/machine/Machine.h"

namespace kinds {

// Throws machine::MachineError, saying what the folder lacks and how to create a machine.
std::shared_ptr<machine::Machine> OpenMachine(const std::filesystem::path& folder);

// As machine::OpenChosenMachine, for every kind.
std::shared_ptr<machine::Machine> OpenChosenMachine(const machine::MachineLocation& location);

}  // namespace kinds
