// The host's own options of vlt. They are GNU long options, taken out of the arguments before
// the program sees its command line, so a host path given to them can never be mistaken for
// one of the program's switches ("-S"). "--" ends them; everything else, joined by blanks, is
// the program's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vltmain {

struct HostOptions {
    std::optional<std::string> machine;
    // The user of a Windows installation whose settings the program uses.
    std::optional<std::string> user;
    bool help = false;
    bool version = false;
    // Started from the desktop's menu entry: a machine that cannot be opened is explained in
    // a window (where there is a display), since nobody reads standard error there.
    bool desktop = false;
    // The program's command line.
    std::string commandLine;
    // Set when the arguments cannot be understood; says why.
    std::string error;
};

HostOptions ParseHostOptions(const std::vector<std::string>& arguments);

}  // namespace vltmain
