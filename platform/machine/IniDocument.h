#pragma once
// An INI file with the semantics of the Windows profile functions: sections and keys match
// without regard to case (ASCII and Latin-1), the first match wins, blanks around names and
// values do not count, a value enclosed in matching quotes loses them. Editing keeps every line
// it does not touch as it was, so comments and odd lines survive a rewrite.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace machine {

class IniDocument {
  public:
    // `text` is the decoded file text (see text::DecodeFileText); CR LF, LF and CR end lines.
    static IniDocument Parse(std::string_view text);

    // The value of the first `key` in the first section named `section`.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    bool HasSection(std::string_view section) const;
    // Section names in file order (a repeated name once); the nameless part before the first
    // header is not a section.
    std::vector<std::string> SectionNames() const;
    // Numbers (from 1) of the lines that are none of: blank, a ";" comment, a "[name]"
    // header, a key=value entry inside a section.
    std::vector<size_t> UnreadableLines() const;
    // Key and raw value of each entry of the first section named `section`, in file order.
    std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

    // Whether a section, key and value can be written so that reading the file back gives them
    // unchanged: no line breaks anywhere, no "]" in a section name, no "=" in a key and no key
    // that would read as a header or a comment.
    static bool IsWritable(std::string_view section, std::string_view key, std::string_view value);

    // Replaces the first `key` of the section, or adds it after the section's last entry, or
    // adds the section at the end of the file.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes the first `key` of the section; false when there was none.
    bool DeleteKey(std::string_view section, std::string_view key);
    // Removes the first section of that name with all its lines; false when there was none.
    bool DeleteSection(std::string_view section);

    // The file text: UTF-8, every line ended by CR LF.
    std::string Serialize() const;

  private:
    enum class Kind { Blank, Comment, Header, Entry, Other };
    struct Line {
        std::string text;
        Kind kind;
        std::string name;   // section name (Header) or key (Entry, Other)
        std::string value;  // raw value of an Entry, trimmed
    };
    struct Range {
        size_t header;  // index of the header line
        size_t end;     // one past the last line of the section
    };

    std::optional<Range> FindSection(std::string_view section) const;
    std::optional<size_t> FindKey(const Range& range, std::string_view key) const;

    std::vector<Line> lines_;
};

}  // namespace machine
