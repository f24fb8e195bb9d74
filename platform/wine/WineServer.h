#pragma once
// Whether a wineserver runs for a prefix. While any Wine program runs, its wineserver holds the
// prefix's registry in memory and writes it back when it ends, so a registry file written
// meanwhile is overwritten or lost. The server holds a write lock on the file "lock" of its
// server folder, named server-<device hex>-<inode hex> after the prefix folder, under
//   /tmp/.wine-<uid>/                         (Wine's own builds), or
//   ${TMPDIR:-/tmp}/<name>/                   (Debian's builds, which keep <name>, a folder
//                                              made with mkdtemp, in the prefix's file
//                                              "wineserver").

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace wine {

// Names the prefix in the command: a bare `wineserver -k` ends the server of whatever prefix
// $WINEPREFIX (or ~/.wine) names, not necessarily this one.
std::string WineRunningMessage(const std::filesystem::path& prefix);

enum class ServerState {
    NotRunning,
    Running,
    // A lock file that cannot be opened: whoever owns it may be running.
    Unknown,
};

struct ServerCheck {
    ServerState state = ServerState::NotRunning;
    // The lock file looked at last, or the reason the state is unknown.
    std::string detail;
};

// The lock files a server for `prefix` may hold, in the order they are looked at.
std::vector<std::filesystem::path> ServerLockFiles(const std::filesystem::path& prefix);
ServerCheck CheckServer(const std::filesystem::path& prefix);

}  // namespace wine
