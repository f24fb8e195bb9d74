#pragma once
// Windows paths of the current machine: the adapters other code calls to reach host files,
// and the short and long forms of a path. Without a current machine every call fails with
// ERROR_NOT_READY.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/machine/Machine.h"

namespace win32 {
namespace host {
struct FileStat;
}

// The host path a Windows path stands for. The path need not exist, but its folder must;
// nullopt (with the last error) when it does not resolve.
std::optional<std::filesystem::path> HostPathOf(std::string_view windowsPath);
// The Windows path of a host path on one of the machine's drives.
std::optional<std::string> WindowsPathOf(const std::filesystem::path& hostPath);

// The 8.3 form of every component of an existing path ("C:\PROGRA~1\VELTO").
std::optional<std::string> GetShortPathNameA(std::string_view path);
// Every component of an existing path spelled as on disk.
std::optional<std::string> GetLongPathNameA(std::string_view path);

namespace detail {

// A resolved path with the machine it belongs to.
struct Target {
    std::shared_ptr<machine::Machine> machine;
    std::filesystem::path host;
    bool exists = false;
    machine::WindowsPath windows;
    std::filesystem::path driveRoot;
    // The entry as the resolution saw it, when one look settled the path.
    std::optional<struct statx> seen;

    bool isRoot() const { return windows.isRoot(); }
    // The entry's host stat (links followed) for a caller that looks right after resolving:
    // what the resolution saw, else a fresh look. 0 or an errno.
    int Stat(host::FileStat& out) const;
    // Tells the path cache that the entry at this path was created, replaced or removed, so
    // that it forgets what it knew of that one name.
    void Forget() const;
};

// Resolves on the current machine; sets the last error when that fails.
std::optional<Target> Resolve(std::string_view windowsPath);
// As Resolve, for a file about to be written whole: nullopt with ERROR_ACCESS_DENIED for a
// folder, a drive root or a read-only file.
std::optional<Target> ResolveForWrite(std::string_view windowsPath);

}  // namespace detail
}  // namespace win32
