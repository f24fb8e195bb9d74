#pragma once
// The version functions of the Win32 stand-in, on files of the current machine.
//
//   DWORD size = GetFileVersionInfoSizeA("C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX");
//   auto block = GetFileVersionInfoA("C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX");
//   auto company = VerQueryValueA(*block, "\\StringFileInfo\\040904B0\\CompanyName");

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/win32/version/VersionBlock.h"
#include "platform/win32/version/VersionErrors.h"
#include "platform/win32/version/VersionResource.h"
#include "platform/win32/version/VersionTypes.h"
#include "platform/win32/version/WineMark.h"

namespace win32 {

// The size Windows reports for a file's version information: the block GetFileVersionInfoA
// returns plus the room Windows keeps beside it for converted text. 0 when the file has
// none, with the last error saying why (ERROR_FILE_NOT_FOUND, ERROR_RESOURCE_DATA_NOT_FOUND
// for a file that is no image or has no resources, ERROR_RESOURCE_TYPE_NOT_FOUND,
// ERROR_BAD_FORMAT for a damaged image, ...). `*handle` is set to 0, as Windows does.
DWORD GetFileVersionInfoSizeA(std::string_view fileName, DWORD* handle = nullptr);

// The version block of a file: the bytes of its RT_VERSION resource. `handle` is ignored, as
// Windows ignores it. nullopt with the last error when the file has none.
std::optional<std::vector<std::uint8_t>> GetFileVersionInfoA(std::string_view fileName,
                                                             DWORD handle = 0);

// What kind of executable image a file is and for which processor (VersionResource.h);
// nullopt with the last error when the file cannot be read. A file that is no image (or whose
// headers are damaged) is ImageFormat::NotAnImage.
std::optional<ImageMachine> GetImageMachine(std::string_view fileName);

// Wine's mark on a file (WineMark.h); none for a file that cannot be read.
WineModule GetWineModule(std::string_view fileName);

// A value of a version block ("\", "\VarFileInfo\Translation",
// "\StringFileInfo\040904B0\CompanyName"); nullopt with ERROR_RESOURCE_TYPE_NOT_FOUND when
// the block does not hold it.
std::optional<VersionValue> VerQueryValueA(std::span<const std::uint8_t> block,
                                           std::string_view subBlock);

}  // namespace win32
