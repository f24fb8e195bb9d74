// Windows paths as long as Windows takes them (259 characters, MAX_PATH less its NUL), made of
// folder names with 2- and 3-byte UTF-8 characters, each short enough for one host name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace testsupport {

// A path on drive C: of exactly `chars` characters, ending in the folder separator and `file`.
std::string LongWindowsPath(std::size_t chars, const std::string& file = "LIBRARY.DLL");
// `count` characters cycling through a text of 1-, 2- and 3-byte characters.
std::string MixedText(std::size_t count);
// The characters (code points) of UTF-8 text.
std::size_t Characters(std::string_view text);

}  // namespace testsupport
