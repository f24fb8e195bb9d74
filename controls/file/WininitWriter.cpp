#include "controls/file/WininitWriter.h"

#include "platform/machine/Text.h"

namespace Qz_File {

std::string RenameLine(std::string_view source, std::string_view target) {
    std::string line(target.empty() ? std::string_view("NUL") : target);
    line += '=';
    line += source;
    return line;
}

std::string AddRenameLine(std::string_view wininitBytes, std::string_view line) {
    const std::string text = machine::text::DecodeFileText(wininitBytes);
    std::string out;
    out.reserve(text.size() + line.size() + 16);
    const auto put = [&out](std::string_view l) {
        out += l;
        out += "\r\n";
    };
    bool inRename = false;
    bool written = false;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view current = std::string_view(text).substr(pos, end - pos);
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);

        const std::string_view trimmed = machine::text::Trim(current);
        if (inRename && trimmed.starts_with('[')) {
            put(line);
            written = true;
            inRename = false;
        }
        put(current);
        if (machine::text::EqualsNoCase(trimmed, "[Rename]")) {
            inRename = true;
        }
    }
    if (inRename) {
        put(line);
        written = true;
    }
    if (!written) {
        put("[Rename]");
        put(line);
    }
    return out;
}

std::string RemoveLine(std::string_view wininitBytes, std::size_t lineNumber) {
    const std::string text = machine::text::DecodeFileText(wininitBytes);
    std::string out;
    out.reserve(text.size());
    std::size_t number = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view current = std::string_view(text).substr(pos, end - pos);
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (++number != lineNumber) {
            out += current;
            out += "\r\n";
        }
    }
    return out;
}

}  // namespace Qz_File
