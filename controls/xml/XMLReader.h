// The reading half of QzXML over text held in memory: one tag per ReadElement, its parameters
// and the text that follows it. Kept apart from the file handling so that it can be run over
// arbitrary bytes (the fuzz target does).
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace Qz_XML {

class XMLReader {
  public:
    using Parameter = std::pair<std::string, std::string>;

    // `text` is the whole file as UTF-8; the reader starts at its first byte.
    explicit XMLReader(std::string text) : text_(std::move(text)) {}

    // The next tag's name: "name" for a start tag, "/name" for an end tag (also the end that
    // follows an empty-element tag, which reads nothing), "?xml" for the declaration, "!--"
    // for a comment that is not absorbed into a value. With `convert`, parameter values and the
    // text are decoded (character references).
    std::string ReadElement(bool convert);

    const std::vector<Parameter>& Parameters() const { return parameters_; }
    // The text after the last tag read, up to the next tag: blanks and tabs trimmed, one line
    // break removed at each end.
    const std::string& Value() const { return value_; }
    // The last comment absorbed into a value, "<!-- " to "-->" included.
    const std::string& Comment() const { return comment_; }
    bool AtEnd() const { return atEnd_; }
    // The last tag read, "<" to ">" (line breaks inside it dropped).
    const std::string& Tag() const { return tag_; }

  private:
    int ReadByte();
    std::string ParseTag(const std::string& tag, bool convert);
    void CollectValue(bool convert);

    std::string text_;
    std::size_t position_ = 0;
    bool atEnd_ = false;
    std::string pendingEnd_;
    std::string tag_;
    std::vector<Parameter> parameters_;
    std::string value_;
    std::string comment_;
};

}  // namespace Qz_XML
