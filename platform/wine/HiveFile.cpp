#include "platform/wine/HiveFile.h"

#include <stdexcept>

#include "platform/registry/RegistryStore.h"

namespace wine {
namespace {

constexpr std::string_view kRelativeTo = ";; All keys relative to ";

// The next line of `text` from `pos`, with its line end.
std::string_view NextLine(std::string_view text, std::size_t& pos) {
    const std::size_t start = pos;
    const std::size_t end = text.find('\n', pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    return text.substr(start, pos - start);
}

std::string_view Content(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

bool Continues(std::string_view line) {
    std::string_view content = Content(line);
    while (!content.empty() && (content.back() == ' ' || content.back() == '\t')) {
        content.remove_suffix(1);
    }
    return content.ends_with('\\');
}

}  // namespace

HiveFile HiveFile::Parse(std::string_view text) {
    if (!text.starts_with(kHiveSignature)) {
        throw std::invalid_argument("it does not start with \"" + std::string(kHiveSignature) +
                                    "\"");
    }
    HiveFile file;
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] != '[') {
        file.header_ += NextLine(text, pos);
    }
    Block* block = nullptr;
    while (pos < text.size()) {
        const std::string_view line = NextLine(text, pos);
        if (line.starts_with('[')) {
            if (auto key = ParseKeyLine(Content(line))) {
                file.blocks_.push_back(Block{});
                block = &file.blocks_.back();
                block->key = std::move(*key);
                block->keyRaw = std::string(line);
                continue;
            }
        }
        if (block == nullptr) {
            file.header_ += line;
            continue;
        }
        if (block->items.empty() && line.starts_with('#')) {
            block->meta.emplace_back(line);
            if (const auto time = ParseTimeLine(Content(line))) {
                block->filetime = *time;
            } else if (Content(line) == "#link") {
                block->link = true;
            }
            continue;
        }
        Item item;
        item.raw = std::string(line);
        if (line.starts_with('@') || line.starts_with('"')) {
            while (Continues(item.raw) && pos < text.size()) {
                item.raw += NextLine(text, pos);
            }
            item.value = ParseValue(item.raw);
            if (item.value) {
                item.foldedName = registry::FoldName(item.value->name);
            }
        }
        block->items.push_back(std::move(item));
    }
    return file;
}

HiveFile HiveFile::Empty(std::string_view relativeTo, std::string_view archLine) {
    HiveFile file;
    file.header_ = std::string(kHiveSignature) + "\n" + std::string(kRelativeTo) +
                   EscapeUnits(Utf16FromText(relativeTo), "") + "\n\n";
    if (!archLine.empty()) {
        file.header_ += std::string(archLine) + "\n";
    }
    return file;
}

std::string HiveFile::relativeTo() const {
    std::size_t pos = 0;
    while (pos < header_.size()) {
        const std::string_view line = Content(NextLine(header_, pos));
        if (line.starts_with(kRelativeTo)) {
            const std::string escaped(line.substr(kRelativeTo.size()));
            std::size_t at = 0;
            const auto units = UnescapeUntil(escaped + '\n', at, '\n');
            return units ? TextFromUtf16(*units) : std::string();
        }
    }
    return {};
}

std::string HiveFile::archLine() const {
    std::size_t pos = 0;
    while (pos < header_.size()) {
        const std::string_view line = Content(NextLine(header_, pos));
        if (line.starts_with("#arch=")) {
            return std::string(line);
        }
    }
    return {};
}

std::string HiveFile::Serialize() const {
    std::string out = header_;
    for (const Block& block : blocks_) {
        if (block.removed) {
            continue;
        }
        if (block.added) {
            if (!out.empty() && !out.ends_with('\n')) {
                out += '\n';
            }
            if (!out.ends_with("\n\n")) {
                out += '\n';
            }
        }
        if (!block.touched) {
            out += block.keyRaw;
            for (const std::string& line : block.meta) {
                out += line;
            }
        } else {
            KeyLine key = block.key;
            key.seconds = SecondsOf(block.filetime);
            out += RenderKeyLine(key);
            bool timeWritten = false;
            for (const std::string& line : block.meta) {
                if (ParseTimeLine(Content(line))) {
                    out += RenderTimeLine(block.filetime);
                    timeWritten = true;
                } else {
                    if (!timeWritten) {
                        out += RenderTimeLine(block.filetime);
                        timeWritten = true;
                    }
                    out += line;
                }
            }
            if (!timeWritten) {
                out += RenderTimeLine(block.filetime);
            }
        }
        for (const Item& item : block.items) {
            out += item.raw.empty() && item.value ? RenderValue(*item.value) : item.raw;
        }
    }
    return out;
}

void HiveFile::SetValue(Block& block, ValueLine value) {
    const std::string folded = registry::FoldName(value.name);
    for (Item& item : block.items) {
        if (item.value && item.foldedName == folded) {
            // The spelling the value was created with stays, as Windows keeps it.
            value.name = item.value->name;
            item.value = std::move(value);
            item.raw.clear();
            return;
        }
    }
    std::size_t at = 0;
    for (std::size_t i = 0; i < block.items.size(); ++i) {
        if (block.items[i].value) {
            at = i + 1;
        }
    }
    Item item;
    item.value = std::move(value);
    item.foldedName = folded;
    block.items.insert(block.items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
}

bool HiveFile::DeleteValue(Block& block, std::string_view foldedName) {
    for (auto it = block.items.begin(); it != block.items.end(); ++it) {
        if (it->value && it->foldedName == foldedName) {
            block.items.erase(it);
            return true;
        }
    }
    return false;
}

const HiveFile::Item* HiveFile::FindValue(const Block& block, std::string_view foldedName) {
    for (const Item& item : block.items) {
        if (item.value && item.foldedName == foldedName) {
            return &item;
        }
    }
    return nullptr;
}

void HiveFile::Touch(Block& block, std::uint64_t filetime) {
    block.touched = true;
    block.filetime = filetime;
}

}  // namespace wine
