// Adding a line to the start-up rename list of the 9x family, the [Rename] section of
// wininit.ini: "target=source" moves source over target, "NUL=source" deletes source.
//
// The new line goes once, at the end of the last rename section (after any blank lines that
// close it, right before the next section's header), so the start carries it out after every
// line already there; without one it goes into a new "[Rename]" section at the end of the
// file. Every existing line is kept as it was; a line identical to
// the new one is not looked for. The section header and the lines are recognised the way the
// machine's start reads them (any case, blanks and tabs around the header; CR LF, CR or LF
// ends a line), so a line added here is always one the start carries out. The new text has
// CR LF after every line.
#pragma once

#include <set>
#include <span>
#include <string>
#include <string_view>

namespace Qz_File {

// "NUL=" & source when `target` is empty, else target & "=" & source.
std::string RenameLine(std::string_view source, std::string_view target);

// The whole new content for a wininit.ini that held `wininitBytes` (empty: no file).
std::string AddRenameLine(std::string_view wininitBytes, std::string_view line);
// The same for several lines at once, in their order: what adding them one after the other
// would give, made in one pass.
std::string AddRenameLines(std::string_view wininitBytes, std::span<const std::string_view> lines);

// The whole new content without line `lineNumber` (1-based, counted as the machine's start
// counts them: win32::ParseWininitRenames); every other line kept, each ended by CR LF.
std::string RemoveLine(std::string_view wininitBytes, std::size_t lineNumber);
// The same without every line of `lineNumbers`.
std::string RemoveLines(std::string_view wininitBytes, const std::set<std::size_t>& lineNumbers);

}  // namespace Qz_File
