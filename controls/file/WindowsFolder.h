// The Windows folder as QzFile's members use it; internal to the control.
#pragma once

#include <string>

namespace Qz_File {

// The Windows folder ending in "\"; when the system cannot tell it, the number of its error is
// shown and the folder is taken as empty.
std::string WindowsFolder();

}  // namespace Qz_File
