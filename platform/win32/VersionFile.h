#pragma once
// Version resources of host files.

#include <filesystem>

#include "platform/win32/VersionResource.h"

namespace win32 {

// Reads the version resource of a host file, fetching only the structures the lookup walks.
// A file that cannot be opened or read gives the Win32 code of that failure; a folder gives
// ERROR_ACCESS_DENIED, as opening one does on Windows; a device or pipe is no image.
VersionLoadResult LoadVersionResourceFromFile(const std::filesystem::path& hostPath);

}  // namespace win32
