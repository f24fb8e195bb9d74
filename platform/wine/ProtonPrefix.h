#pragma once
// A prefix that Steam's Proton keeps for a game: steamapps/compatdata/<appid>/pfx, with beside
// it (in compatdata/<appid>/)
//   tracked_files  the files and folders Proton itself placed in the prefix, one path a line,
//                  relative to pfx/ ("drive_c/windows/system32/d3d11.dll"), a folder with a
//                  trailing "/"; its own DXVK and vkd3d libraries among them;
//   pfx.lock       locked with flock while Proton sets the prefix up (creates or upgrades it,
//                  links and copies its libraries in), before the game starts.
// What Proton placed is Proton's, not a program's copy. A prefix is taken as Proton's when its
// folder is named "pfx" and one of the two files lies beside it.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>

#include "platform/machine/MachineKind.h"

namespace wine {

// The files Proton placed, by path relative to the prefix; empty for a prefix that is not
// Proton's or has no list. Throws machine::MachineError when the list cannot be read.
class ProtonFiles {
  public:
    static ProtonFiles Read(const std::filesystem::path& prefix);
    std::optional<machine::PlatformFile> Owner(const std::filesystem::path& host) const;
    std::size_t size() const { return files_.size(); }

  private:
    std::filesystem::path prefix_;
    std::unordered_set<std::string> files_;
};

// Proton's lock on the prefix, held (flock, as Proton takes it) for as long as this lives, so
// that Proton waits while Velto works on the prefix. Throws machine::MachineError while Proton
// holds it; holds nothing for a prefix that has no pfx.lock.
class ProtonLock {
  public:
    explicit ProtonLock(const std::filesystem::path& prefix);
    ~ProtonLock();
    ProtonLock(const ProtonLock&) = delete;
    ProtonLock& operator=(const ProtonLock&) = delete;

  private:
    int fd_ = -1;
};

// Why the prefix should not be read as it stands (Proton is setting it up, or whether it is
// cannot be told); none when Proton is not at work on it.
std::optional<std::string> ProtonAtWork(const std::filesystem::path& prefix);

inline constexpr const char* kProtonBusyMessage =
    "Proton is setting this prefix up (it holds pfx.lock): wait until the game has started, or "
    "close Steam's game";

}  // namespace wine
