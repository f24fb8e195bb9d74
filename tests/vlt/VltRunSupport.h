// Runs of the program and the machine tool on generated machines, for the end-to-end tests:
// vlt as the unattended run starts it (no display, no terminal, nothing launched), and
// velto-machine, either to the end or in the background to be killed.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/FileText.h"

namespace vltrun {

struct Result {
    int status = -1;  // -1: killed or not started
    std::string out;
    std::string err;
};

// A program running in the background; its output goes to files beside `folder`.
class Background {
  public:
    Background(std::vector<std::string> argv, const std::filesystem::path& outputBase);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    // Whether it has ended (by itself or killed).
    bool Ended();
    void Kill();
    // Waits for the end.
    Result Wait();

  private:
    pid_t pid_ = -1;
    int status_ = -1;
    bool ended_ = false;
    std::filesystem::path out_;
    std::filesystem::path err_;
};

// vlt --machine DIR -S, unattended, in the background or to the end.
std::vector<std::string> UnattendedCommand(const std::filesystem::path& machineFolder);
Result Unattended(const std::filesystem::path& machineFolder);
// velto-machine with `args`, to the end.
Result Tool(std::vector<std::string> args);

// A PE library with version and company texts; a 32-bit one unless `x64`.
std::string Dll(const std::string& version, const std::string& company = "Korvane",
                bool x64 = false);

// `args` as run in a Wine prefix from outside it: quiet, without a display, nothing launched.
std::vector<std::string> InWine(const std::filesystem::path& prefix, std::vector<std::string> args);

std::vector<std::string> Lines(const std::string& text);
using testsupport::Slurp;

}  // namespace vltrun
