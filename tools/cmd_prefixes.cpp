// velto-machine prefixes [--json]: every Wine prefix the user has, as the launchers' own files
// name them (platform/wine/prefixes), one row each, and the folders they name that are none.
// Nothing is written. Exit status: 0, or 2 for wrong arguments.

#include <iostream>

#include "platform/wine/prefixes/PrefixFinder.h"
#include "tools/PrefixReport.h"
#include "tools/TerminalProgress.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

int Prefixes(const std::vector<std::string>& args) {
    const ParsedArgs parsed = ParseArgs(args, {"--json"}, {});
    if (!parsed.positional.empty()) {
        throw UsageError("usage: velto-machine prefixes [--json]");
    }
    TerminalProgress progress;
    const auto rows = wine::prefixes::FindPrefixes(
        wine::prefixes::Home::FromEnvironment(),
        [&progress](const std::string& folder) { progress.Show(folder); });
    progress.Clear();
    if (parsed.has("--json")) {
        WritePrefixesJson(rows, std::cout);
    } else {
        WritePrefixesText(rows, std::cout);
    }
    if (!std::cout.flush()) {
        std::cerr << "velto-machine prefixes: cannot write the output\n";
        return kUsage;
    }
    return kOk;
}

const RegisterCommand kPrefixes({"prefixes", "[--json]",
                                 "lists the Wine prefixes of Steam, Lutris, Bottles, Heroic, "
                                 "PlayOnLinux, CrossOver, $WINEPREFIX and ~/.wine, and changes "
                                 "nothing",
                                 Prefixes});

}  // namespace
}  // namespace velto_machine
