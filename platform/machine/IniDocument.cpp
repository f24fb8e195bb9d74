#include "platform/machine/IniDocument.h"

#include "platform/machine/Text.h"

namespace machine {
namespace {

std::string Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument doc;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find_first_of("\r\n", pos);
        const std::string_view raw =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (end == std::string_view::npos) {
            pos = text.size();
        } else {
            pos = end +
                  ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
        }
        Line line{std::string(raw), Kind::Other, {}, {}};
        const std::string_view trimmed = text::Trim(raw);
        if (trimmed.empty()) {
            line.kind = Kind::Blank;
        } else if (trimmed.front() == ';') {
            line.kind = Kind::Comment;
        } else if (trimmed.front() == '[') {
            line.kind = Kind::Header;
            const std::string_view inner = trimmed.substr(1);
            line.name = std::string(text::Trim(inner.substr(0, inner.find(']'))));
        } else if (const size_t eq = trimmed.find('='); eq != std::string_view::npos) {
            line.kind = Kind::Entry;
            line.name = std::string(text::Trim(trimmed.substr(0, eq)));
            line.value = std::string(text::Trim(trimmed.substr(eq + 1)));
        } else {
            line.name = std::string(trimmed);
        }
        doc.lines_.push_back(std::move(line));
    }
    return doc;
}

std::optional<IniDocument::Range> IniDocument::FindSection(std::string_view section) const {
    const std::string folded = text::FoldCase(text::Trim(section));
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Kind::Header || text::FoldCase(lines_[i].name) != folded) {
            continue;
        }
        size_t end = i + 1;
        while (end < lines_.size() && lines_[end].kind != Kind::Header) {
            ++end;
        }
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> IniDocument::FindKey(const Range& range, std::string_view key) const {
    const std::string folded = text::FoldCase(text::Trim(key));
    for (size_t i = range.header + 1; i < range.end; ++i) {
        const Line& line = lines_[i];
        if ((line.kind == Kind::Entry || line.kind == Kind::Other) &&
            text::FoldCase(line.name) == folded) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
    const auto range = FindSection(section);
    if (!range) {
        return std::nullopt;
    }
    const auto index = FindKey(*range, key);
    if (!index) {
        return std::nullopt;
    }
    return Unquote(lines_[*index].value);
}

bool IniDocument::HasSection(std::string_view section) const {
    return FindSection(section).has_value();
}

std::vector<std::string> IniDocument::SectionNames() const {
    std::vector<std::string> names;
    std::vector<std::string> folded;
    for (const Line& line : lines_) {
        if (line.kind != Kind::Header) {
            continue;
        }
        std::string f = text::FoldCase(line.name);
        bool seen = false;
        for (const auto& g : folded) {
            seen = seen || g == f;
        }
        if (!seen) {
            folded.push_back(std::move(f));
            names.push_back(line.name);
        }
    }
    return names;
}

std::vector<size_t> IniDocument::UnreadableLines() const {
    std::vector<size_t> numbers;
    bool inSection = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        bool readable = line.kind == Kind::Blank || line.kind == Kind::Comment;
        if (line.kind == Kind::Header) {
            readable = text::Trim(line.text).ends_with(']');
            inSection = true;
        } else if (line.kind == Kind::Entry) {
            readable = inSection && !line.name.empty();
        }
        if (!readable) {
            numbers.push_back(i + 1);
        }
    }
    return numbers;
}

std::vector<std::pair<std::string, std::string>> IniDocument::Entries(
    std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    if (const auto range = FindSection(section)) {
        for (size_t i = range->header + 1; i < range->end; ++i) {
            const Line& line = lines_[i];
            if (line.kind == Kind::Entry || line.kind == Kind::Other) {
                entries.emplace_back(line.name, line.value);
            }
        }
    }
    return entries;
}

bool IniDocument::IsWritable(std::string_view section, std::string_view key,
                             std::string_view value) {
    const auto hasBreak = [](std::string_view s) {
        return s.find_first_of("\r\n") != std::string_view::npos;
    };
    const std::string_view k = text::Trim(key);
    return !hasBreak(section) && !hasBreak(key) && !hasBreak(value) &&
           section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
           !k.starts_with('[') && !k.starts_with(';');
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string keyName(text::Trim(key));
    const auto range = FindSection(section);
    if (range) {
        if (const auto index = FindKey(*range, keyName)) {
            Line& line = lines_[*index];
            line.kind = Kind::Entry;
            line.value = std::string(text::Trim(value));
            line.text = line.name + "=" + std::string(value);
            return;
        }
        // After the last non-blank line, so blank lines keep separating it from the next one.
        size_t at = range->end;
        while (at > range->header + 1 && lines_[at - 1].kind == Kind::Blank) {
            --at;
        }
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                      Line{keyName + "=" + std::string(value), Kind::Entry, keyName,
                           std::string(text::Trim(value))});
        return;
    }
    if (!lines_.empty() && lines_.back().kind != Kind::Blank) {
        lines_.push_back(Line{"", Kind::Blank, {}, {}});
    }
    const std::string sectionName(text::Trim(section));
    lines_.push_back(Line{"[" + sectionName + "]", Kind::Header, sectionName, {}});
    lines_.push_back(Line{keyName + "=" + std::string(value), Kind::Entry, keyName,
                          std::string(text::Trim(value))});
}

bool IniDocument::DeleteKey(std::string_view section, std::string_view key) {
    const auto range = FindSection(section);
    if (!range) {
        return false;
    }
    const auto index = FindKey(*range, key);
    if (!index) {
        return false;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*index));
    return true;
}

bool IniDocument::DeleteSection(std::string_view section) {
    const auto range = FindSection(section);
    if (!range) {
        return false;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(range->end));
    return true;
}

std::string IniDocument::Serialize() const {
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        out += "\r\n";
    }
    return out;
}

}  // namespace machine
