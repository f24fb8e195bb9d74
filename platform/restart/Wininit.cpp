#include "platform/restart/Wininit.h"

#include "platform/machine/Text.h"

namespace win32 {

WininitReader::WininitReader(std::string_view bytes) {
    if (machine::text::IsValidUtf8(bytes)) {
        if (bytes.starts_with("\xEF\xBB\xBF")) {
            bytes.remove_prefix(3);
        }
        text_ = bytes;
    } else {
        decoded_ = machine::text::DecodeFileText(bytes);
        text_ = decoded_;
    }
}

bool WininitReader::Next(Line& out) {
    while (pos_ < text_.size()) {
        std::size_t end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        const std::string_view line = machine::text::Trim(text_.substr(pos_, end - pos_));
        ++lineNumber_;
        // CR LF is one line end; a lone CR or LF is one too.
        pos_ = end + (text_.compare(end, 2, "\r\n") == 0 ? 2 : 1);

        if (line.starts_with('[')) {
            inRename_ = machine::text::EqualsNoCase(line, "[Rename]");
            continue;
        }
        if (!inRename_ || line.empty() || line.starts_with(';')) {
            continue;
        }
        const std::size_t equals = line.find('=');
        const std::string_view key = equals == std::string_view::npos
                                         ? std::string_view{}
                                         : machine::text::Trim(line.substr(0, equals));
        const std::string_view value = equals == std::string_view::npos
                                           ? std::string_view{}
                                           : machine::text::Trim(line.substr(equals + 1));
        out.line = lineNumber_;
        out.rename.reset();
        if (key.empty() || value.empty()) {
            return true;
        }
        WininitRename rename;
        rename.line = lineNumber_;
        rename.source = std::string(value);
        if (!machine::text::EqualsNoCase(key, "NUL")) {
            rename.target = std::string(key);
        }
        out.rename = std::move(rename);
        return true;
    }
    return false;
}

WininitRenames ParseWininitRenames(std::string_view bytes) {
    WininitRenames result;
    WininitReader reader(bytes);
    for (WininitReader::Line line; reader.Next(line);) {
        if (line.rename) {
            result.renames.push_back(std::move(*line.rename));
        } else {
            result.ignoredLines.push_back(line.line);
        }
    }
    return result;
}

}  // namespace win32
