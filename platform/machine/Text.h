#pragma once
// Text helpers shared by everything that reads names or files of the emulated machine:
// strings are UTF-8 throughout; bytes that are not valid UTF-8 are Windows-1252.

#include <string>
#include <string_view>

namespace machine::text {

bool IsValidUtf8(std::string_view bytes);

// Appends the UTF-8 form of a code point (invalid code points become U+FFFD).
void AppendUtf8(std::string& out, char32_t codePoint);

// Windows-1252 bytes to UTF-8 (the five unassigned codes map to the C1 controls, as Windows does).
std::string Cp1252ToUtf8(std::string_view bytes);

// The text of a file as read from disk: a UTF-8 file loses its byte-order mark, anything that
// is not valid UTF-8 is taken as Windows-1252.
std::string DecodeFileText(std::string_view bytes);

// Upper-case folding of ASCII and Latin-1 letters, the comparison Windows uses for names.
// Bytes that are not valid UTF-8 are kept as they are.
std::string FoldCase(std::string_view utf8);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Blanks and tabs removed at both ends.
std::string_view Trim(std::string_view s);

}  // namespace machine::text
