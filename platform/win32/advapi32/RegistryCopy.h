#pragma once
// A run that must leave the machine as it found it (velto-machine check) still runs code that
// stores what it was told as it goes. UseRegistryCopy turns the current machine's registry
// into a copy in memory for the rest of the process: the registry calls read and write the
// copy, and the machine's own registry is never written again. Making another machine current
// ends it.

#include <string>

namespace win32 {

// Copies the current machine's registry; false, with the reason in `error`, when there is no
// machine or its registry cannot be read (nothing is changed then).
bool UseRegistryCopy(std::string& error);

}  // namespace win32
