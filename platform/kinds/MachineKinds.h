#pragma once
// The one place where a machine folder's kind is told, for every program that opens a machine
// the user names: an emulated machine (machine.ini), a Wine prefix (system.reg and
// dosdevices/) or a Windows installation on a disk (Windows\System32\config\SYSTEM).
// Everything after the opening asks the machine's kind (MachineKind.h).
//
// A command opens the machine for what it does with it: to read (nothing is written into the
// folder, whoever else holds it) or to change it (it holds the machine's lock, MachineLock.h,
// for as long as the machine is open, and the machine must be writable: a machine its kind
// keeps from being changed, MachineKind::whyNotWritable, is refused before anything, its lock
// file among it, is written).

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
                                              machine::Access access = machine::Access::Unlocked,
                                              const OpenOptions& options = {});

// Opens the machine to read it.
std::shared_ptr<machine::Machine> OpenToRead(const std::filesystem::path& folder,
                                             const OpenOptions& options = {});

// Opens the machine to change it, taking its lock for `holder` (the command, "vlt -S"). Also
// throws machine::MachineBusy while another process holds it, and machine::MachineError when
// the machine cannot be written.
std::shared_ptr<machine::Machine> OpenToChange(const std::filesystem::path& folder,
                                               const std::string& holder,
                                               const OpenOptions& options = {});

// As machine::OpenChosenMachine, for every kind, opened to change it for `holder`.
std::shared_ptr<machine::Machine> OpenChosenMachine(const machine::MachineLocation& location,
                                                    const std::string& holder,
                                                    const OpenOptions& options = {});

}  // namespace kinds
