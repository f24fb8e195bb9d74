#include "controls/file/WininitWriter.h"

#include <optional>
#include <set>
#include <vector>

#include "platform/machine/Text.h"

namespace Qz_File {
namespace {

// What the rewritten file starts with so that reading it again gives `text` back: a text that
// itself begins with U+FEFF (a file that had two byte-order marks) keeps a mark in front, or
// the next read would take its first character for the file's mark and drop it.
std::string MarkFor(std::string_view text) {
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    return text.starts_with(kMark) ? std::string(kMark) : std::string();
}

}  // namespace

std::string RenameLine(std::string_view source, std::string_view target) {
    std::string line(target.empty() ? std::string_view("NUL") : target);
    line += '=';
    line += source;
    return line;
}

std::string AddRenameLine(std::string_view wininitBytes, std::string_view line) {
    return AddRenameLines(wininitBytes, std::span(&line, 1));
}

std::string AddRenameLines(std::string_view wininitBytes, std::span<const std::string_view> added) {
    const std::string text = machine::text::DecodeFileText(wininitBytes);
    std::vector<std::string_view> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(std::string_view(text).substr(pos, end - pos));
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    // The start carries the sections out in file order, so the line goes at the end of the
    // last rename section: after every line scheduled before it, and only once.
    std::optional<std::size_t> insertAt;
    bool inRename = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view trimmed = machine::text::Trim(lines[i]);
        if (trimmed.starts_with('[')) {
            if (inRename) {
                insertAt = i;
            }
            inRename = machine::text::EqualsNoCase(trimmed, "[Rename]");
        }
    }
    if (inRename) {
        insertAt = lines.size();
    }
    std::size_t addedSize = 16;
    for (const std::string_view line : added) {
        addedSize += line.size() + 2;
    }
    std::string out = MarkFor(text);
    out.reserve(text.size() + lines.size() + addedSize);
    const auto put = [&out](std::string_view l) {
        out += l;
        out += "\r\n";
    };
    const auto putAdded = [&] {
        for (const std::string_view line : added) {
            put(line);
        }
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (insertAt == i) {
            putAdded();
        }
        put(lines[i]);
    }
    if (insertAt == lines.size()) {
        putAdded();
    } else if (!insertAt) {
        put("[Rename]");
        putAdded();
    }
    return out;
}

std::string RemoveLine(std::string_view wininitBytes, std::size_t lineNumber) {
    return RemoveLines(wininitBytes, {lineNumber});
}

std::string RemoveLines(std::string_view wininitBytes, const std::set<std::size_t>& lineNumbers) {
    const std::string text = machine::text::DecodeFileText(wininitBytes);
    std::string out = MarkFor(text);
    out.reserve(text.size());
    std::size_t number = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view current = std::string_view(text).substr(pos, end - pos);
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (lineNumbers.count(++number) == 0) {
            out += current;
            out += "\r\n";
        }
    }
    return out;
}

}  // namespace Qz_File
