#pragma once
// Host file names and Windows file names. A host name may hold characters Windows forbids in a
// name (\ / : * ? " < > | and codes below 32); Windows sees each such character c as the
// private-use character U+F000+c, and a Windows name carrying U+F000+c means c on the host.
// Host names that are not valid UTF-8 read as Windows-1252.
//
// Two host names can read the same (Latin-1 E9 and UTF-8 C3 A9 both read "é"). A Windows name
// leads to the entry whose host name is the name's own bytes (WindowsNameToHost), else to the
// smallest host name that reads as it; every other entry that reads as it is shadowed and is
// shown by its raw name instead: each byte beyond ASCII as the private-use character
// U+F000+byte (U+F080 to U+F0FF), which a Windows name turns back into that byte. The raw
// name depends on the entry alone, so it names the same file whatever comes and goes beside it.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace machine {

bool IsForbiddenInWindowsName(char32_t c);

// The name Windows shows for a host directory entry.
std::string HostNameToWindows(std::string_view hostName);

// The host bytes for a Windows name; nullopt when the name cannot name a host entry (a literal
// forbidden character, a mapped "/" or NUL, "." or "..", empty).
std::optional<std::string> WindowsNameToHost(std::string_view windowsName);

// The name a shadowed entry is shown by.
std::string RawWindowsName(std::string_view hostName);

// Of the entries of one folder (host name i reads as Windows name i), the positions of those
// that are shadowed.
std::vector<std::size_t> ShadowedEntries(std::span<const std::string_view> hostNames,
                                         std::span<const std::string_view> windowsNames);

}  // namespace machine
