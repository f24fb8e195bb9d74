#pragma once
// What a folder's own files say of it as a prefix, read without walking it: the registry
// files (system.reg's head and the few keys the Windows version is in), their times, and
// whether a wineserver serves it.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wine/WineRegText.h"
#include "platform/wine/WineServer.h"
#include "platform/wine/prefixes/FoundPrefix.h"

namespace wine::prefixes {

// Why `folder` is no prefix Velto opens ("no system.reg"), or "" with `facts` filled; whether
// Wine runs in it from its lock files and the wineservers among `servers`.
std::string ReadPrefixFacts(const std::filesystem::path& folder, const ServerProcesses& servers,
                            PrefixFacts& facts);

// The values of the key `names` (relative to the file's root) in the text of a registry file,
// as Wine wrote them; none when the file has no such key. Only the key's own lines are parsed.
std::vector<ValueLine> ValuesOfKey(std::string_view text, const std::vector<std::string>& names);

// "Windows 10 (10.0.19043)" from the Windows version Wine reports in the prefix: the setting
// in user.reg (HKCU\Software\Wine "Version"), else the version keys of system.reg.
std::string WindowsVersionText(std::string_view systemReg, std::string_view userReg);

}  // namespace wine::prefixes
