#pragma once
// What the check's report adds to the review window's texts: the host path beside each
// Windows path, the file times in ISO 8601 with the offset, the copies' other properties, and
// the moves that wait for the machine's next start (the current machine's).

#include <iosfwd>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "platform/restart/Boot.h"
#include "tools/check/MachineCheck.h"

namespace velto_check {

// The host path a Windows path of the current machine stands for; null when it resolves to
// none.
nlohmann::ordered_json HostPathJson(const std::string& windowsPath);
// "sourceHost"/"targetHost" of a copy, "hostPath" of a deletion (null where a path does not
// resolve).
void AddHostPaths(const Action& action, nlohmann::ordered_json& json);
// "hostPath", "createdAt", "modifiedAt" and the other property texts of a copy.
void AddCopyFacts(const Copy& copy, nlohmann::ordered_json& json);
// The property texts the plain text leaves out, one indented line.
void WriteMoreProperties(const Copy& copy, std::ostream& out);

// Nothing when nothing waits.
void WriteWaitingText(const std::optional<std::vector<win32::BootOperation>>& waiting,
                      std::ostream& out);
nlohmann::ordered_json WaitingJson(const std::optional<std::vector<win32::BootOperation>>& waiting);

}  // namespace velto_check
