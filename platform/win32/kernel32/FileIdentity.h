#pragma once
// Which host file a Windows path names. A folder link inside a drive lets two paths reach one
// file (C:\SYSLINK\X.DLL and C:\WINDOWS\SYSTEM\X.DLL); the host tells files apart by device
// and inode, whatever the path, and so does this.

#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

namespace win32 {

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    auto operator<=>(const FileIdentity&) const = default;
};

// The identity of the file or folder the path names (links followed); nullopt, with the last
// error, when it does not exist or cannot be reached.
std::optional<FileIdentity> FileIdentityOf(std::string_view windowsPath);

// True when both paths exist and name one host file.
bool SameFile(std::string_view a, std::string_view b);

// True when two Windows paths name one place, whether or not anything is there: the same text
// without regard to case, or the same host path (a short and a long form of one folder).
bool SamePlace(std::string_view a, std::string_view b);

}  // namespace win32
