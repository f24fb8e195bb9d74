#pragma once
// Wine's own programs (wineboot, wineserver, wine) run in a prefix and waited for.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace wine {

// Whether `program` ("wineboot") is on $PATH.
bool WineProgramInstalled(const std::string& program);

struct WineRun {
    // The exit status; -1 when the program could not be started or did not exit normally.
    int status = -1;
    std::string output;  // stdout and stderr together
};

// Runs `args` (a program on $PATH first) with WINEPREFIX=prefix and the `environment` added,
// standard input from /dev/null, and waits for it.
WineRun RunInPrefix(const std::filesystem::path& prefix, const std::vector<std::string>& args,
                    const std::vector<std::pair<std::string, std::string>>& environment = {});

// Waits until the prefix's wineserver has ended, so that the registry files it keeps in memory
// are written (`wineserver -w`).
void WaitForWineserver(const std::filesystem::path& prefix);

}  // namespace wine
