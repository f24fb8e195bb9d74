#pragma once
// What velto-machine check prints: a text for people, or one JSON document for scripts.
//
// The JSON document (one object; keys always present, in this order):
//   {
//     "schema": "velto-check", "schemaVersion": 1,
//     "machine": "/home/me/win98",          the machine folder
//     "filter": "*.dll;*.ocx",              the patterns listed
//     "listed": 312,                        files listed
//     "flagged": 2,                         groups flagged (the length of "groups")
//     "groups": [{
//       "name": "ORBCALC.DLL",
//       "verdict": "recommended",           or "no-recommendation"
//       "recommended": "C:\\...\\ORBCALC.DLL",   null with "no-recommendation"
//       "notes": ["COMPANY NAME DOES NOT MATCH"],  the review window's notes, often []
//       "copies": [{
//         "path": "C:\\...", "recommended": true,
//         "fileVersion": "4.2.0.0", "productVersion": "4.2",   "" when the file has none
//         "company": "Orbis", "product": "...", "description": "...",
//         "created": "23-Apr-1999 10:22:00", "modified": "...",  as the review window shows
//         "size": 24576,                    bytes; -1 when the file cannot be read
//         "platform": null,                 or, for a file of the platform the machine runs
//                                           on: {"owner": "Wine",
//                                                "what": "Wine's own library (builtin)"}
//         "hostPath": "/home/...",          null when the path does not resolve
//         "createdAt": "1999-04-23T10:22:00+02:00", "modifiedAt": "...",  null when unknown
//         "originalName": "", "internalName": "", "copyright": "", "accessed": "...",
//         "imageType": "PE32"               the other texts of the review window's properties
//       }],
//       "unattended": {                     what `vlt -S` would schedule for the next start
//         "actions": [{"action": "copy", "source": "C:\\...", "target": "C:\\...",
//                      "backup": true, "sourceHost": "/...", "targetHost": "/...",
//                      "waiting": false},    the same waits already for the next start
//                     {"action": "delete", "path": "C:\\...", "backup": true,
//                      "hostPath": "/...", "waiting": false,
//                      "useGoesTo": "C:\\..."}],  the copy that takes over the deleted
//                                           copy's use count (the one its program loads
//                                           from now on), or null
//         "leftAlone": null                 or why the unattended run leaves the group alone
//       },
//       "loading": null                     or, where the platform provides the library too,
//                                           what it loads when programs bring their own copy:
//         {"platform": "Wine", "default": "builtin", "why": "no override",
//          "programs": [{"program": "Game.exe", "loads": "native",
//                        "why": "AppDefaults\\Game.exe: \"native\""}]}
//                                           "builtin", "native" or "nothing"; the programs
//                                           set otherwise than the default
//     }],
//     "otherActions": [],                   unattended entries of no group shown (none expected)
//     "waiting": [{                         what waits for the machine's next start (null when
//       "from": "wininit.ini",              it cannot be read), in the order the start does it
//       "position": 1,                      the line, or the place in "pending" (the NT list)
//       "action": "move", "source": "C:\\...", "sourceHost": "/...",
//       "target": "C:\\...", "targetHost": "/...",  null for "delete"
//       "replace": true
//     }]
//   }
// Keys are only ever added within a schema version; dates as the review window shows them
// ("created", "modified") stay beside their ISO 8601 forms.

#include <filesystem>
#include <iosfwd>

#include "tools/check/MachineCheck.h"

namespace velto_check {

inline constexpr int kCheckSchemaVersion = 1;

// "copy C:\A\X.DLL over C:\B\X.DLL (backed up first)", "delete C:\B\X.DLL".
std::string ActionText(const Action& action);

// `verbose`: each copy's other version texts too.
void WriteText(const Result& result, const std::filesystem::path& machine, std::ostream& out,
               bool verbose = false);
void WriteJson(const Result& result, const std::filesystem::path& machine, std::ostream& out);

}  // namespace velto_check
