#pragma once
// The machine's system folders and temporary files. Folder results carry no trailing
// backslash, except GetTempPathA, which Windows ends in one.

#include <optional>
#include <string>
#include <string_view>

#include "platform/win32/ntdll/WinError.h"

namespace win32 {

std::optional<std::string> GetWindowsDirectoryA();
std::optional<std::string> GetSystemDirectoryA();
std::optional<std::string> GetTempPathA();

// `path`\ + the first three characters of `prefix` + a hexadecimal number + ".tmp". With
// `unique` 0 a free number is chosen and the empty file is created (exclusively, so two
// callers never get the same name); otherwise the name is only built from `unique`.
std::optional<std::string> GetTempFileNameA(std::string_view path, std::string_view prefix,
                                            unsigned unique = 0);

}  // namespace win32
