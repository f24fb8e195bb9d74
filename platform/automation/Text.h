// Text helpers for the UTF-8 strings the system keeps.
//
// The old system worked in an 8-bit code page where a character's code is its Unicode code
// point for 0..255 (Windows-1252 adds a few letters in 128..159). Case mapping therefore folds
// ASCII letters, the Latin-1 letters U+00C0..U+00DE / U+00E0..U+00FE (except the multiplication
// and division signs), and the Windows-1252 pairs S/s with caron (U+0160/U+0161), OE ligature
// (U+0152/U+0153), Z with caron (U+017D/U+017E) and Y with diaeresis (U+0178/U+00FF). The
// sharp s and the micro sign have no single upper-case letter and stay as they are; every other
// character, and any byte that is not valid UTF-8, is copied unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace automation {

std::string UCase(std::string_view text);
std::string LCase(std::string_view text);

// Trim blanks (U+0020 only, as the runtime did; tabs and line breaks stay).
std::string_view LTrim(std::string_view text);
std::string_view RTrim(std::string_view text);
std::string_view Trim(std::string_view text);

// Case-insensitive comparison with the folding above.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
int CompareIgnoreCase(std::string_view a, std::string_view b);

bool IsValidUtf8(std::string_view text);
// Appends the UTF-8 encoding of a code point; a surrogate or anything above U+10FFFF (a lone
// UTF-16 unit read from a file, say) becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint);
// The Unicode code point of a Windows-1252 byte (undefined bytes map to the same code point).
char32_t CodePointFromWindows1252(std::uint8_t byte);
// Windows-1252 bytes to UTF-8.
std::string TextFromWindows1252(std::string_view bytes);
// Text read from a file (or received as one): kept when it is valid UTF-8, less a leading
// byte-order mark, else decoded as Windows-1252.
std::string TextFromFileBytes(std::string_view bytes);

// Decodes the code point at `pos` and advances `pos`; a byte that does not start a valid
// UTF-8 sequence is taken as its Windows-1252 character and consumes one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

}  // namespace automation
