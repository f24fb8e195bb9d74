#pragma once
// The profile functions: values in INI files with Windows semantics (see
// machine::IniDocument). A file name without a folder means that file in the Windows folder,
// as on Windows; GetProfileStringA and WriteProfileStringA work on the machine's win.ini.
// Files are read as UTF-8 (else Windows-1252) and rewritten whole, atomically, as UTF-8 with
// CR LF line ends, under a lock so that concurrent writers do not lose each other's changes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win32 {

// The value, or `defaultValue` without its trailing blanks when the file, section or key is
// missing (last error ERROR_FILE_NOT_FOUND).
std::string GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, std::string_view fileName);

// Sets `key` in `section`. An absent `value` deletes the key, an absent `key` deletes the
// whole section; all three absent only flushes, which there is nothing to do for. Fails with
// ERROR_INVALID_PARAMETER for text that would not read back as written (line breaks, "]" in a
// section name, "=" in a key), and with ERROR_ACCESS_DENIED for a read-only file.
bool WritePrivateProfileStringA(std::optional<std::string_view> section,
                                std::optional<std::string_view> key,
                                std::optional<std::string_view> value, std::string_view fileName);

// The "key=value" lines of a section, in file order.
std::vector<std::string> GetPrivateProfileSectionA(std::string_view section,
                                                   std::string_view fileName);
std::vector<std::string> GetPrivateProfileSectionNamesA(std::string_view fileName);

std::string GetProfileStringA(std::string_view section, std::string_view key,
                              std::string_view defaultValue);
bool WriteProfileStringA(std::optional<std::string_view> section,
                         std::optional<std::string_view> key,
                         std::optional<std::string_view> value);

}  // namespace win32
