#pragma once
// Text helpers for names and files of the emulated machine: strings are UTF-8 throughout;
// bytes that are not valid UTF-8 are Windows-1252. The decoding and the case folding are the
// automation layer's, so that a name, a file and a program string fold and decode alike.

#include <string>
#include <string_view>

#include "platform/automation/Text.h"

namespace machine::text {

using automation::AppendUtf8;
using automation::IsValidUtf8;

// Windows-1252 bytes to UTF-8 (the five unassigned codes map to the C1 controls, as Windows does).
inline std::string Cp1252ToUtf8(std::string_view bytes) {
    return automation::TextFromWindows1252(bytes);
}

// The text of a file as read from disk: a UTF-8 file loses its byte-order mark, anything that
// is not valid UTF-8 is taken as Windows-1252.
inline std::string DecodeFileText(std::string_view bytes) {
    return automation::TextFromFileBytes(bytes);
}

// Upper-case folding, the comparison Windows uses for names: ASCII, Latin-1 and the
// Windows-1252 letters beyond it. Bytes that are not valid UTF-8 are kept as they are.
inline std::string FoldCase(std::string_view utf8) {
    return automation::UCase(utf8);
}
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    return automation::EqualsIgnoreCase(a, b);
}

// Blanks and tabs removed at both ends.
std::string_view Trim(std::string_view s);

// A word as a POSIX shell takes it literally, for commands shown to the user: as it is when
// it holds no character the shell treats specially, else in single quotes.
std::string ShellQuoted(std::string_view word);

}  // namespace machine::text
