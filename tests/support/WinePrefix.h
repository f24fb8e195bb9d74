#pragma once
// Real Wine for tests: whether it is installed, fresh prefixes made by wineboot, and Wine's
// own programs run in them. Every command runs quietly, without desktop menu entries and
// without the Mono and Gecko add-ons (a prefix is then made in a few seconds), and is waited
// for together with its wineserver, so that the registry files are written when it returns.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"

namespace testsupport {

inline constexpr const char* kWineMissing =
    "wine is not installed here (tools/install-deps.sh installs Debian's wine)";

bool WineInstalled();

// `args` run with WINEPREFIX=prefix; the wineserver it started has ended on return.
ProgramRun RunInPrefix(const std::filesystem::path& prefix, const std::vector<std::string>& args);

// A new prefix made with `wineboot -i`; nullopt on success, else what went wrong.
std::optional<std::string> MakeWinePrefix(const std::filesystem::path& prefix);
// Ends the prefix's wineserver and removes the prefix with the server folder Wine made for it
// under /tmp (Debian's wine names that folder in the prefix's file "wineserver").
void RemoveWinePrefix(const std::filesystem::path& prefix);

// What `wine reg query` prints for each of `keys` (full root names: HKEY_LOCAL_MACHINE\...),
// in one start of Wine: each value's name ("" for the default), type ("REG_DWORD") and data as
// reg shows it ("0x3"). A key reg does not find is missing from the result.
struct RegQueryValue {
    std::string name;
    std::string type;
    std::string data;
};
using RegQueryKeys = std::vector<std::pair<std::string, std::vector<RegQueryValue>>>;
RegQueryKeys WineRegQuery(const std::filesystem::path& prefix,
                          const std::vector<std::string>& keys);
// The value `name` of `key` in a result; nullopt when it is not there.
std::optional<RegQueryValue> FindQueried(const RegQueryKeys& result, const std::string& key,
                                         const std::string& name);

}  // namespace testsupport
