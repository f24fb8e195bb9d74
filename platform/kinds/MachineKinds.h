#pragma once
// The one place where a machine folder's kind is told, for every program that opens a machine
// the user names: an emulated machine (machine.ini), a Wine prefix (system.reg and
// dosdevices/) or a Windows installation on a disk (Windows\System32\config\SYSTEM).
// Everything after the opening asks the machine's kind (MachineKind.h).

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/machine/Machine.h"

namespace kinds {

struct OpenOptions {
    // The user of a Windows installation whose HKEY_CURRENT_USER is used (name or SID); only
    // a Windows installation has several.
    std::optional<std::string> user;
};

// Throws machine::MachineError, saying what the folder lacks and how to create a machine.
std::shared_ptr<machine::Machine> OpenMachine(const std::filesystem::path& folder,
                                              const OpenOptions& options = {});

// As machine::OpenChosenMachine, for every kind.
std::shared_ptr<machine::Machine> OpenChosenMachine(const machine::MachineLocation& location,
                                                    const OpenOptions& options = {});

// For a program that changes the machine: a MachineError, saying why, for a machine that may
// only be checked (MachineKind::whyNotWritable).
void RefuseIfOnlyCheckable(const machine::Machine& opened);

}  // namespace kinds
