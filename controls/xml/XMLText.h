// Character conversion of the XML control, shared by the writer, the reader and QzXML's
// public conversion members.
#pragma once

#include <string>
#include <string_view>

namespace Qz_XML {

// Every character whose code is below 32, the double quote, "&", "<", ">" and the codes 160 to
// 255 become "&#code;"; everything else (codes 128 to 159 and characters beyond 255 included)
// is copied as it is. Codes are Unicode code points of the UTF-8 text; a byte that is not valid
// UTF-8 counts as its Windows-1252 character.
std::string ConvertText(std::string_view text);

// Only "<" and ">" become "&lt;" and "&gt;": what a parameter value needs when the text
// conversion is off, so that it cannot end the tag.
std::string EscapeAngles(std::string_view text);

// Character references to characters: "&#65;" and "&#x41;" by code (any Unicode character;
// the codes 128 to 159 are taken in Windows-1252, the system's code page, so &#146; is U+2019),
// the five XML names (&quot; &lt; &gt; &amp; &apos;), the 96 HTML names of the codes 160 to 255
// (&nbsp; ... &yuml;) and &brkbar; &die; &hibar;. A name is found by the first table entry that
// begins with the same characters. An "&" without a ";" close enough behind it stays as it is;
// an unknown reference is copied without its ";".
std::string UnConvertText(std::string_view text);

}  // namespace Qz_XML
