#pragma once
// The start-up rename list of the 9x family: the [Rename] section of wininit.ini in the
// Windows folder. Each line is "target=source" (the source is moved over the target, which is
// replaced) or "NUL=path" (the path is deleted; NUL in any case). Lines starting with ";" are
// comments. The section header is recognised in any case and with blanks around it; every
// [Rename] section of the file counts, in file order.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win32 {

struct WininitRename {
    std::size_t line = 0;  // 1-based line number in the file
    std::string source;
    // Absent for a NUL= line: delete the source.
    std::optional<std::string> target;

    bool operator==(const WininitRename&) const = default;
};

struct WininitRenames {
    std::vector<WininitRename> renames;
    // Lines of a [Rename] section that are neither blank, nor a comment, nor key=value, or
    // whose key or value is empty: left alone and reported.
    std::vector<std::size_t> ignoredLines;
};

// `text` is the file's content as read from disk (UTF-8, else Windows-1252; CR LF, LF or CR
// line ends).
WininitRenames ParseWininitRenames(std::string_view text);

// The same reading one line at a time, for a file too large to hold twice over: `bytes` must
// outlive the reader (it is decoded into a copy only when it is not UTF-8).
class WininitReader {
  public:
    explicit WininitReader(std::string_view bytes);

    struct Line {
        // Set: a rename line; else an ignored line of a [Rename] section.
        std::optional<WininitRename> rename;
        std::size_t line = 0;
    };
    // The next rename or ignored line; false at the end of the file.
    bool Next(Line& out);

  private:
    std::string decoded_;
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t lineNumber_ = 0;
    bool inRename_ = false;
};

}  // namespace win32
