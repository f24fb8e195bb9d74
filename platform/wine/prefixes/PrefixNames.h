#pragma once
// A prefix picked by its launcher's name for it, as `--machine` takes one:
//   steam:<app id>   lutris:<slug>   bottles:<name>   heroic:<app name>
//   playonlinux:<name>   crossover:<bottle>   wine:default (~/.wine)   wine:WINEPREFIX
// After the colon, the id or the name the launcher shows (in any case) is matched.

#include <string>
#include <string_view>
#include <vector>

#include "platform/wine/prefixes/FoundPrefix.h"
#include "platform/wine/prefixes/Launchers.h"

namespace wine::prefixes {

// Whether `text` is meant as such a name: a known launcher and a colon, and no file or folder
// of that name where the program runs (a folder called "steam:1" is still a folder).
bool IsMachineName(std::string_view text);

// The folder of the one prefix `name` picks among `found`. Throws machine::MachineError when
// it picks none or several (listing the candidates) or a folder that is no prefix.
std::filesystem::path PickByName(std::string_view name, const std::vector<FoundPrefix>& found);

// `argument` as given when it is no machine name, else the folder it picks among the prefixes
// of the user (Home::FromEnvironment); throws as PickByName.
std::string ResolveMachineArgument(const std::string& argument);

}  // namespace wine::prefixes
