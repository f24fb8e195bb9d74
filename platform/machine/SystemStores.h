#pragma once
// The NT family's own stores of copies kept on purpose: side-by-side versions (winsxs), the
// printer drivers (spool), the protected copies of system files (dllcache, Driver Cache,
// ServicePackFiles), the files updates replaced ($NtUninstall...$), the queued and downloaded
// updates (servicing, SoftwareDistribution), the driver packages (DriverStore) and their
// signatures (catroot, catroot2), Windows Installer's cache of packages (Installer), the
// assembly caches of .NET (assembly, Microsoft.NET\assembly), and in the root of the Windows
// folder's drive the restore points (System Volume Information), the recycle bins ($Recycle.Bin,
// RECYCLER) and the Windows an upgrade replaced (Windows.old, which going back restores).
// Spreading a copy over them, or deleting them, breaks every program that uses them, so the
// scan never lists them on an NT-family machine, whatever its kind. They are not exclusions of the
// user's: they are never stored with them and cannot be removed.

#include <string>
#include <string_view>
#include <vector>

#include "platform/machine/MachineProfile.h"

namespace machine {

class SystemStores {
  public:
    SystemStores() = default;
    // None on a 9x-family machine.
    explicit SystemStores(const MachineProfile& profile);

    // The stores as Windows paths; "$NtUninstall*$" stands for every folder of that pattern.
    const std::vector<std::string>& folders() const { return folders_; }
    // Whether `name` in the folder `parent` (a Windows path ending in "\") is a store.
    bool Contains(std::string_view parent, std::string_view name) const;

  private:
    std::vector<std::string> folders_;
    std::vector<std::string> folded_;
};

}  // namespace machine
