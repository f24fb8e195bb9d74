#include "controls/xml/XMLReader.h"

#include <string_view>

#include "controls/xml/XMLText.h"
#include "platform/automation/Text.h"

namespace Qz_XML {
namespace {

std::string TrimBlanksAndTabs(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// One line break at each end goes; a file written with LF alone counts as well as CR LF.
void RemoveOuterLineBreaks(std::string& text) {
    if (text.starts_with("\r\n")) {
        text.erase(0, 2);
    } else if (text.starts_with("\n")) {
        text.erase(0, 1);
    }
    if (text.ends_with("\r\n")) {
        text.resize(text.size() - 2);
    } else if (text.ends_with("\n")) {
        text.pop_back();
    }
}

}  // namespace

int XMLReader::ReadByte() {
    if (position_ >= text_.size()) {
        atEnd_ = true;
        return -1;
    }
    return static_cast<unsigned char>(text_[position_++]);
}

std::string XMLReader::ReadElement(bool convert) {
    if (!pendingEnd_.empty()) {
        std::string name = "/" + pendingEnd_;
        pendingEnd_.clear();
        parameters_.clear();
        value_.clear();
        return name;
    }
    int c = 0;
    do {
        c = ReadByte();
    } while (c >= 0 && c != '<');
    std::string tag;
    if (c == '<') {
        tag.push_back('<');
        // Line breaks and other control characters inside a tag disappear. A comment read as
        // a tag runs to its own end, so that a ">" inside it stays comment text.
        while ((c = ReadByte()) >= 0) {
            if (c >= ' ') {
                tag.push_back(static_cast<char>(c));
            }
            const bool comment = tag.starts_with("<!--");
            if (comment ? (tag.size() >= 7 && tag.ends_with("-->")) : c == '>') {
                break;
            }
        }
    }
    std::string name = ParseTag(tag, convert);
    tag_ = std::move(tag);
    CollectValue(convert);
    return name;
}

std::string XMLReader::ParseTag(const std::string& tag, bool convert) {
    std::string_view body(tag);
    if (body.starts_with("<")) {
        body.remove_prefix(1);
    }
    if (body.ends_with(">")) {
        body.remove_suffix(1);
    }
    const auto blank = body.find(' ');
    std::string name(body.substr(0, blank));
    parameters_.clear();
    if (blank == std::string_view::npos) {
        // "<name/>" is an empty element as much as "<name />" is.
        if (name.size() > 1 && name.ends_with("/") && !name.starts_with("!")) {
            name.pop_back();
            pendingEnd_ = name;
        }
        return name;
    }
    // Parameters are split at blanks, except blanks inside double quotes. A "/" written
    // without a blank before it stays part of the last value.
    const std::string_view rest = body.substr(blank + 1);
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i < rest.size() && (rest[i] != ' ' || quoted)) {
            quoted ^= rest[i] == '"';
            continue;
        }
        const std::string_view piece = automation::Trim(rest.substr(start, i - start));
        start = i + 1;
        const auto equals = piece.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        std::string_view value = piece.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        parameters_.emplace_back(std::string(piece.substr(0, equals)),
                                 convert ? UnConvertText(value) : std::string(value));
    }
    if (tag.ends_with(" />")) {
        pendingEnd_ = name;
    }
    return name;
}

void XMLReader::CollectValue(bool convert) {
    std::string text;
    bool leading = true;
    bool commentTaken = false;
    for (int c = ReadByte(); c >= 0; c = ReadByte()) {
        if (c == '<') {
            const std::size_t at = position_ - 1;
            // One comment right after an element belongs to it; the text goes on after it.
            if (!commentTaken && text_.compare(at, 5, "<!-- ") == 0) {
                const auto end = text_.find("-->", at + 5);
                const std::size_t stop = end == std::string::npos ? text_.size() : end + 3;
                comment_ = text_.substr(at, stop - at);
                position_ = stop;
                commentTaken = true;
                leading = true;
                continue;
            }
            position_ = at;
            break;
        }
        // A tab counts as a blank: skipped before the text, kept inside it, trimmed at its
        // ends, so that tab-indented files read like blank-indented ones.
        if (leading && (c == ' ' || c == '\t')) {
            continue;
        }
        if (c == '\r' || c == '\n' || c == '\t' || c >= ' ') {
            text.push_back(static_cast<char>(c));
            leading = false;
        } else if (!leading) {
            break;  // another control character ends the text
        }
    }
    text = TrimBlanksAndTabs(text);
    if (convert) {
        text = UnConvertText(text);
    }
    RemoveOuterLineBreaks(text);
    value_ = std::move(text);
}

}  // namespace Qz_XML
