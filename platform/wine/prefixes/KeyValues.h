#pragma once
// Valve's KeyValues text, as Steam writes libraryfolders.vdf and appmanifest_<appid>.acf:
//
//   "libraryfolders"            a file is one or more named sections
//   {
//       "0"                     a section holds values and sections
//       {
//           "path"    "/home/me/.local/share/Steam"
//           "apps" { }
//       }
//   }
//
// Tokens are quoted ("...", may span lines; \\ \" \n \t are escapes, any other backslash is
// kept as it stands) or bare (up to white space, a quote or a brace). "//" starts a comment
// that runs to the end of the line. A "[$LINUX]" condition may follow a value or a section's
// name; a false one drops the key ($WIN32, $LINUX and $POSIX hold here, "!" turns one round).
// Names are compared without regard to case, and the first of two equal names wins, as in
// Valve's own reader. The reader is strict: anything else (a brace out of place, a key
// without a value, text after the last section, #include, UTF-16) is an error with its line.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace wine::prefixes {

struct KeyValue {
    std::string key;
    // The value of a key that is no section.
    std::string value;
    bool section = false;
    std::vector<KeyValue> children;

    // The first child named `name` (in any case); null when there is none.
    const KeyValue* Find(std::string_view name) const;
    // The value of the child `name`; empty when it is missing or a section.
    std::string Text(std::string_view name) const;
};

class KeyValuesError : public std::runtime_error {
  public:
    KeyValuesError(std::size_t line, const std::string& message)
        : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}
    std::size_t line() const { return line_; }

  private:
    std::size_t line_;
};

// The sections of `text`; throws KeyValuesError.
std::vector<KeyValue> ParseKeyValues(std::string_view text);
// Writes sections as Steam does: quoted tokens, tabs, braces on lines of their own.
std::string WriteKeyValues(const std::vector<KeyValue>& sections);

}  // namespace wine::prefixes
