#pragma once
// Whether a wineserver runs for a prefix. While any Wine program runs, its wineserver holds the
// prefix's registry in memory and writes it back when it ends, so a registry file written
// meanwhile is overwritten or lost. The server holds a write lock on the file "lock" of its
// server folder, named server-<device hex>-<inode hex> after the prefix folder, under
//   /tmp/.wine-<uid>/                         (Wine's own builds), or
//   ${TMPDIR:-/tmp}/<name>/                   (Debian's builds, which keep <name>, a folder
//                                              made with mkdtemp, in the prefix's file
//                                              "wineserver").
// A server whose lock file lies where this side cannot see it (in a sandbox's own /tmp, as
// Flatpak launchers and Steam's runtime container give their programs, or below another
// $TMPDIR) is found among the host's processes instead: a wineserver keeps the prefix folder
// it serves open for as long as it runs.

#include <sys/types.h>

#include <filesystem>
#include <optional>
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

// The wineservers running on this host and the folders each holds open, read from `proc`
// (the host's /proc, or a tree of the same shape). Processes of other users, which cannot be
// looked into, are passed over.
class ServerProcesses {
  public:
    static ServerProcesses Scan(const std::filesystem::path& proc = "/proc");
    // "process N (wineserver64)" when one of them holds `prefix` open.
    std::optional<std::string> Serving(const std::filesystem::path& prefix) const;

  private:
    struct HeldFolder {
        dev_t device = 0;
        ino_t inode = 0;
        std::string process;
    };
    std::vector<HeldFolder> held_;
};

// The lock files a server for `prefix` may hold, in the order they are looked at.
std::vector<std::filesystem::path> ServerLockFiles(const std::filesystem::path& prefix);
// Looks at the lock files, then at the host's processes.
ServerCheck CheckServer(const std::filesystem::path& prefix);
// The same with processes scanned once for many prefixes.
ServerCheck CheckServer(const std::filesystem::path& prefix, const ServerProcesses& processes);

}  // namespace wine
