#pragma once
// How host programs are started: the one place where the stand-in starts a process. Programs
// run detached (their own session, stdin from /dev/null) and are never waited for.
//
// The current launcher can be replaced (tests record what would have been started). Without a
// replacement, the environment variable VELTO_NO_LAUNCH (set to anything but "" or "0") turns
// every start into a line on stderr, so that test runs and unattended runs never open a
// browser or a file manager.

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace win32 {

inline constexpr const char* kNoLaunchVariable = "VELTO_NO_LAUNCH";

struct LaunchRequest {
    // argv[0] is a host program: a path, or a name looked up on $PATH.
    std::vector<std::string> argv;
    // Empty: the program starts in the current process's folder.
    std::filesystem::path workingDirectory;

    bool operator==(const LaunchRequest&) const = default;
};

class Launcher {
  public:
    virtual ~Launcher() = default;
    // Starts the program without waiting for it. Returns 0 and sets `processId` (0 when no
    // process was made), or an errno: ENOENT when there is no such program, EACCES when it
    // cannot be run.
    virtual int Launch(const LaunchRequest& request, long& processId) = 0;
    // The exit status of a program this launcher started, once it has ended, waiting for that
    // at most `limit`; nullopt while it still runs, and for a process it knows nothing of (0).
    // An opener such as xdg-open that finds nothing for a document ends at once with a
    // non-zero status: this is how a caller learns that nothing is shown.
    virtual std::optional<int> ExitStatus(long processId, std::chrono::milliseconds limit);
};

// The launcher in use; never null.
std::shared_ptr<Launcher> CurrentLauncher();
// Installs a launcher (nullptr restores the default) and returns the previous one.
std::shared_ptr<Launcher> SetLauncher(std::shared_ptr<Launcher> launcher);
// The launcher that really starts programs, whatever VELTO_NO_LAUNCH says.
std::shared_ptr<Launcher> HostLauncher();

// The current launcher's ExitStatus.
std::optional<int> ExitStatusWithin(long processId, std::chrono::milliseconds limit);

// A request as one shell-quoted line, for messages: xdg-open '/tmp/a b.htm'
std::string DescribeLaunch(const LaunchRequest& request);

}  // namespace win32
