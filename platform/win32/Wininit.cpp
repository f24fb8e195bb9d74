#include "platform/win32/Wininit.h"

#include "platform/machine/Text.h"

namespace win32 {

WininitRenames ParseWininitRenames(std::string_view bytes) {
    const std::string text = machine::text::DecodeFileText(bytes);
    WininitRenames result;
    bool inRename = false;
    std::size_t lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line =
            machine::text::Trim(std::string_view(text).substr(pos, end - pos));
        ++lineNumber;
        // CR LF is one line end; a lone CR or LF is one too.
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);

        if (line.starts_with('[')) {
            inRename = machine::text::EqualsNoCase(line, "[Rename]");
            continue;
        }
        if (!inRename || line.empty() || line.starts_with(';')) {
            continue;
        }
        const std::size_t equals = line.find('=');
        const std::string_view key = equals == std::string_view::npos
                                         ? std::string_view{}
                                         : machine::text::Trim(line.substr(0, equals));
        const std::string_view value = equals == std::string_view::npos
                                           ? std::string_view{}
                                           : machine::text::Trim(line.substr(equals + 1));
        if (key.empty() || value.empty()) {
            result.ignoredLines.push_back(lineNumber);
            continue;
        }
        WininitRename rename;
        rename.line = lineNumber;
        rename.source = std::string(value);
        if (!machine::text::EqualsNoCase(key, "NUL")) {
            rename.target = std::string(key);
        }
        result.renames.push_back(std::move(rename));
    }
    return result;
}

}  // namespace win32
