#pragma once
// velto-machine check --all: the check on every Wine prefix the user has, one after the other,
// each shown as `check` shows it, then a closing table (prefix, files listed, groups flagged,
// groups the unattended run would repair). A prefix a wineserver holds is skipped and said
// so; one that cannot be opened or checked is reported, and the others are still checked.
// Exit status: 2 when a prefix could not be checked (held, or failed), else 1 when any group
// is flagged, else 0.
//
// With --json, one document:
//   {"prefixes": [{"machine": "steam:220", "name": "Half-Life 2", "folder": "/...",
//                  "status": "checked" | "in-use" | "failed",
//                  "error": null or why,
//                  "check": the document `check --json` writes, or null}],
//    "checked": 3, "inUse": 0, "failed": 0, "flagged": 2, "repaired": 1}
// Folders the launchers name that are no prefixes are not checked (`prefixes` lists them).

#include "tools/check/MachineCheck.h"

namespace velto_machine {

int CheckAllPrefixes(const velto_check::Options& options, bool json);

}  // namespace velto_machine
