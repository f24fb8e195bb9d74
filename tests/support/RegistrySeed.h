#pragma once
// The registry of a test machine, seeded and read back as REGEDIT4 text, directly on its
// registry.db (not through the Reg* functions under test).

#include <string>
#include <string_view>

#include "tests/support/MachineBuilder.h"

namespace testsupport {

// Gives the machine an empty registry when it has none yet, then imports `regText`
// ("REGEDIT4", [KEY] lines, "name"=data lines). Throws when the text is malformed.
void SeedRegistry(const MachineBuilder& machine, std::string_view regText = {});

// The machine's registry below `key` ("HKEY_CURRENT_USER\Software\Velto"; every root when
// empty) as REGEDIT4 text with CR LF line ends.
std::string RegistryText(const MachineBuilder& machine, std::string_view key = {});

}  // namespace testsupport
