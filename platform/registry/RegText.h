#pragma once

// REGEDIT4 text: the export format users and tests read and write to seed a machine's
// registry. Files are UTF-8 with CR LF line ends; a file that is not valid UTF-8 is read as
// Windows-1252 (as a file made by the old regedit would be).

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/RegistryStore.h"

namespace registry {

// A key named from its root: HKEY_LOCAL_MACHINE\Software\Velto.
struct KeyPath {
    Root root = Root::LocalMachine;
    std::vector<std::string> names;
    bool operator==(const KeyPath&) const = default;
};

// The root by its long name or short alias, then the names between backslashes; empty names
// (doubled or trailing backslashes) are skipped. Nullopt when the root is unknown.
std::optional<KeyPath> ParseKeyPath(std::string_view text);
std::string FormatKeyPath(const KeyPath& path);

struct LineError {
    std::size_t line = 0;
    std::string message;
};

// A file that cannot be read (every malformed line is listed), or a key that cannot be
// written as REGEDIT4 text.
class RegTextError : public std::runtime_error {
  public:
    RegTextError(const std::string& message, std::vector<LineError> lines = {})
        : std::runtime_error(message), lines_(std::move(lines)) {}
    const std::vector<LineError>& lines() const { return lines_; }

  private:
    std::vector<LineError> lines_;
};

// The key `from` (every root when absent) with all values and keys below it, keys in
// creation order. A key that does not exist holds nothing: the text is the header alone.
std::string ExportRegText(RegistryStore& store, const std::optional<KeyPath>& from = std::nullopt);
bool KeyExists(RegistryStore& store, const KeyPath& path);

struct ImportSummary {
    std::size_t keys = 0;           // [KEY] sections
    std::size_t values = 0;         // values written
    std::size_t deletedKeys = 0;    // [-KEY] sections that found their key
    std::size_t deletedValues = 0;  // "name"=- lines that found their value
};

// Reads the whole text first; when any line is malformed nothing is written and
// RegTextError lists them all. Otherwise everything is written in one transaction.
ImportSummary ImportRegText(RegistryStore& store, std::string_view text);

}  // namespace registry
