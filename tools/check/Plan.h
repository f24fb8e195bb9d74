#pragma once
// A plan: what the unattended run (vlt -S) would do on a machine, kept as a file to be read,
// edited and carried out later (velto-machine check DIR --plan FILE, velto-machine apply DIR
// FILE). It holds the unattended run's own action-list entries and notes as its matching left
// them, group by group, and a fingerprint of every file an entry touches, so that a file
// changed since can be told and its group left alone.
//
// The file (UTF-8 JSON, written atomically; the manual page documents it for readers):
//   {
//     "schema": "velto-plan", "schemaVersion": 1,
//     "machine": "/home/me/win98",             the machine folder
//     "made": "2026-03-05T14:07:09+01:00",     when the check ran
//     "filter": "*.dll", "listed": 312,        the patterns listed and the files listed
//     "backup": true,                          backups were on (they must be when applied)
//     "exclude": ["C:\\APPS3"],                folders this check left out (with --exclude)
//     "notes": [],                             notes of no group (as below)
//     "groups": [{
//       "name": "ORBCALC.DLL",
//       "recommended": "C:\\...", null         the copy the matching recommends
//       "leftAlone": null,                     or why vlt -S leaves the group alone
//       "files": [{"path": "C:\\...", "hostPath": "/...", "exists": true, "size": 2048,
//                  "modified": "2001-02-02T00:00:00.000000000+01:00", "sha256": "…64 hex…"}],
//       "notes": [{"path": "TESSUTIL.DLL", "code": 1, "text": "TESSUTIL.DLL: not repaired, …"}],
//       "actions": [{"action": "backups-on"},
//                   {"action": "copy", "source": "C:\\...", "sourceHost": "/...",
//                    "target": "C:\\...", "targetHost": "/...", "keeps": "C:\\...",
//                    "backup": true},
//                   {"action": "delete", "path": "C:\\...", "hostPath": "/...",
//                    "keeps": "C:\\...", "backup": true}]
//     }]
//   }
// "actions" are the action list's entries in order: "backups-on" and "backups-off" are its
// markers, each holding for the entries after it; "backup" says whether an entry's file is
// backed up first (it decides, should the markers before it say otherwise). "keeps" is the copy the
// group keeps, which no entry may delete or overwrite by another path (null: none). Every path an
// entry touches has its fingerprint under "files". A reader of version 1 ignores keys it does not
// know; a later version that changes the meaning of a key raises "schemaVersion".

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/check/FileFingerprint.h"
#include "tools/check/MachineCheck.h"
#include "vlt/core/DecidedRun.h"

namespace velto_check {

inline constexpr const char* kPlanSchema = "velto-plan";
inline constexpr int kPlanSchemaVersion = 1;

struct PlannedFile {
    std::string path;
    std::string hostPath;
    FileFingerprint print;
};

// An entry of the action list, and whether it is backed up: for a marker, what it switches
// to; for a copy or deletion, what the plan says (the markers before it say the same unless
// the plan was edited, or groups before it are left out; velto-machine apply then puts a
// marker before it that says so).
struct PlannedEntry {
    vlt::DecidedEntry decided;
    bool backup = false;
};

struct PlannedGroup {
    std::string name;
    std::string recommended;
    std::string leftAlone;
    std::vector<PlannedFile> files;
    std::vector<vlt::LogEntry> notes;
    std::vector<PlannedEntry> entries;
};

struct Plan {
    std::string machine;
    std::string made;
    std::string filter;
    std::int32_t listed = 0;
    bool backup = false;
    std::vector<std::string> exclude;
    std::vector<vlt::LogEntry> notes;
    std::vector<PlannedGroup> groups;
};

// The plan of a check of the current machine, its files fingerprinted now. Throws CheckError
// when a file it touches cannot be read, or when the unattended run queued an entry of no
// group (a plan could not say which files it belongs with).
Plan MakePlan(const Result& result, const std::filesystem::path& machine,
              const std::vector<std::string>& exclude);

std::string PlanJson(const Plan& plan);

// A file that is no plan this program can carry out: not JSON, another document, a newer
// version, or a plan damaged (a key missing or of the wrong kind, an entry touching a file it
// has no fingerprint of). The message says which, and where.
class PlanError : public std::runtime_error {
  public:
    explicit PlanError(const std::string& message) : std::runtime_error(message) {}
};
Plan ReadPlan(const std::string& text);

// The files an entry touches: a copy's source and target, a deletion's file; none for markers.
std::vector<std::string> TouchedFiles(const vlt::ActionEntry& entry);

}  // namespace velto_check
