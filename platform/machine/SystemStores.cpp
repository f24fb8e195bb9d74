#include "platform/machine/SystemStores.h"

#include "platform/machine/Text.h"

namespace machine {
namespace {

// Folders below the Windows folder, below the system folder and in the root of the Windows
// folder's drive.
constexpr std::string_view kWindowsStores[] = {"winsxs",
                                               "Driver Cache",
                                               "ServicePackFiles",
                                               "$NtServicePackUninstall$",
                                               "$NtUninstall*$",
                                               "servicing",
                                               "SoftwareDistribution",
                                               "Installer",
                                               "assembly",
                                               "Microsoft.NET\\assembly"};
constexpr std::string_view kSystemStores[] = {"spool", "dllcache", "DriverStore", "catroot",
                                              "catroot2"};
constexpr std::string_view kDriveStores[] = {"System Volume Information", "$Recycle.Bin",
                                             "RECYCLER", "Windows.old"};
constexpr std::string_view kAnyUninstall = "$NTUNINSTALL*$";

std::string Join(const std::string& folder, std::string_view name) {
    return folder + (folder.ends_with('\\') ? "" : "\\") + std::string(name);
}

}  // namespace

SystemStores::SystemStores(const MachineProfile& profile) {
    if (profile.platform() != Platform::NT) {
        return;
    }
    for (const std::string_view name : kWindowsStores) {
        folders_.push_back(Join(profile.windowsDir(), name));
    }
    for (const std::string_view name : kSystemStores) {
        folders_.push_back(Join(profile.systemDir(), name));
    }
    const std::string windows = profile.windowsDir();
    if (windows.size() >= 2 && windows[1] == ':') {
        for (const std::string_view name : kDriveStores) {
            folders_.push_back(Join(windows.substr(0, 2) + "\\", name));
        }
    }
    for (const std::string& folder : folders_) {
        folded_.push_back(text::FoldCase(folder));
    }
}

bool SystemStores::Contains(std::string_view parent, std::string_view name) const {
    if (folded_.empty()) {
        return false;
    }
    const std::string folder = text::FoldCase(std::string(parent) + std::string(name));
    for (const std::string& store : folded_) {
        if (store.ends_with(kAnyUninstall)) {
            const std::string_view head =
                std::string_view(store).substr(0, store.size() - kAnyUninstall.size());
            const std::string_view folded = folder;
            const std::string_view own = std::string_view(kAnyUninstall).substr(0, 12);
            if (folded.size() > head.size() + own.size() && folded.starts_with(head) &&
                folded.substr(head.size()).starts_with(own) && folded.ends_with('$') &&
                folded.substr(head.size()).find('\\') == std::string_view::npos) {
                return true;
            }
        } else if (folder == store) {
            return true;
        }
    }
    return false;
}

}  // namespace machine
