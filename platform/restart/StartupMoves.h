#pragma once
// The moves and deletions that wait for the machine's next start, read without carrying them
// out: what a program must know before it touches a file the start will move (a backup that
// is to be restored, say).

#include <optional>
#include <vector>

#include "platform/restart/Boot.h"

namespace win32 {

// In the order the start carries them out: the [Rename] lines of wininit.ini, then the
// pending-rename list (each with its source, target and place; `error` stays ERROR_SUCCESS).
// nullopt with the last error set when wininit.ini or the list exists but cannot be read.
std::optional<std::vector<BootOperation>> ScheduledStartupMoves();

}  // namespace win32
