#pragma once
// What velto-machine prefixes prints: a table for people, or one JSON document for scripts.
//
// The JSON document:
//   {"prefixes": [{
//      "machine": "steam:220",            what --machine takes
//      "launcher": "steam", "launcherName": "Steam", "flatpak": false,
//      "id": "220", "name": "Half-Life 2",  name: null when the launcher's files hold none
//      "folder": "/home/me/...",          null when a launcher's file named none
//      "source": "/home/me/...",          the launcher's file (or folder) that names it
//      "prefix": true,                    whether the folder is a Wine prefix Velto opens
//      "reason": null,                    or why it is none
//      "bits": 64, "windows": "Windows 10 (10.0.19043)",
//      "inUse": false,                    a wineserver holds it; null when that cannot be told
//      "changed": "2026-12-08T10:29:00Z", its registry's last change (UTC); null for none
//      "alsoNamed": [{"machine": ..., "launcher": ..., "name": ..., "source": ...}],
//      "notes": ["..."]                   what else the launchers' files say of it
//   }]}

#include <ctime>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/wine/prefixes/FoundPrefix.h"

namespace velto_machine {

void WritePrefixesText(const std::vector<wine::prefixes::FoundPrefix>& rows, std::ostream& out);
void WritePrefixesJson(const std::vector<wine::prefixes::FoundPrefix>& rows, std::ostream& out);

// "steam:220 (Half-Life 2)": a prefix as the other commands name it.
std::string PrefixTitle(const wine::prefixes::FoundPrefix& row);

}  // namespace velto_machine
