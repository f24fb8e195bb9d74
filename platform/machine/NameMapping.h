#pragma once
// Host file names and Windows file names. A host name may hold characters Windows forbids in a
// name (\ / : * ? " < > | and codes below 32); Windows sees each such character c as the
// private-use character U+F000+c, and a Windows name carrying U+F000+c means c on the host.
// Host names that are not valid UTF-8 read as Windows-1252.

#include <optional>
#include <string>
#include <string_view>

namespace machine {

bool IsForbiddenInWindowsName(char32_t c);

// The name Windows shows for a host directory entry.
std::string HostNameToWindows(std::string_view hostName);

// The host bytes for a Windows name; nullopt when the name cannot name a host entry (a literal
// forbidden character, a mapped "/" or NUL, "." or "..", empty).
std::optional<std::string> WindowsNameToHost(std::string_view windowsName);

}  // namespace machine
