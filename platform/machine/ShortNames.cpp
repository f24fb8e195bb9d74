#include "platform/machine/ShortNames.h"

#include <algorithm>
#include <cctype>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

#include "platform/machine/Text.h"

namespace machine {
namespace {

bool IsShortNameChar(unsigned char c) {
    if (std::isalnum(c)) {
        return true;
    }
    constexpr std::string_view kSpecial = "$%'-_@~`!(){}^#&";
    return c != 0 && kSpecial.find(static_cast<char>(c)) != std::string_view::npos;
}

// Appends the usable characters of `part`, upper-cased, up to `limit` characters. Blanks and
// dots vanish; characters that have no place in a short name become "_", one per character.
void AppendUsable(std::string& out, std::string_view part, size_t limit) {
    for (size_t pos = 0; pos < part.size() && out.size() < limit;) {
        const auto b = static_cast<unsigned char>(part[pos]);
        size_t len = 1;
        if (b >= 0x80) {
            len = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
            out += '_';
        } else if (b != ' ' && b != '.') {
            out += IsShortNameChar(b) ? static_cast<char>(std::toupper(b)) : '_';
        }
        pos += len;
    }
}

std::string Generate(std::string_view longName, unsigned n) {
    std::string_view name = longName;
    while (name.starts_with('.')) {
        name.remove_prefix(1);
    }
    const size_t dot = name.rfind('.');
    std::string base;
    std::string ext;
    if (dot == std::string_view::npos) {
        AppendUsable(base, name, 6);
    } else {
        AppendUsable(base, name.substr(0, dot), 6);
        AppendUsable(ext, name.substr(dot + 1), 3);
    }
    if (base.empty()) {
        base.push_back('_');
    }
    const std::string number = std::to_string(n);
    const size_t keep = number.size() < 7 ? 7 - number.size() : 0;
    std::string result = base.substr(0, keep);
    result += '~';
    result += number;
    if (!ext.empty()) {
        result += '.';
        result += ext;
    }
    return result;
}

}  // namespace

bool IsValidShortName(std::string_view name) {
    const size_t dot = name.find('.');
    const std::string_view base = name.substr(0, dot);
    const std::string_view ext =
        dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 ||
        (dot != std::string_view::npos && ext.empty())) {
        return false;
    }
    const auto usable = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(),
                           [](char c) { return IsShortNameChar(static_cast<unsigned char>(c)); });
    };
    return usable(base) && usable(ext);
}

std::vector<std::string> AssignShortNames(const std::vector<std::string>& longNames) {
    std::vector<size_t> order(longNames.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<std::string> folded(longNames.size());
    for (size_t i = 0; i < longNames.size(); ++i) {
        folded[i] = text::FoldCase(longNames[i]);
    }
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return folded[a] != folded[b] ? folded[a] < folded[b] : longNames[a] < longNames[b];
    });

    std::vector<std::string> result(longNames.size());
    std::unordered_set<std::string> taken;
    // Names that are valid 8.3 names keep themselves first, so a generated name never takes
    // the short name of an existing file.
    for (const size_t i : order) {
        if (IsValidShortName(longNames[i]) && taken.insert(folded[i]).second) {
            result[i] = longNames[i];
        }
    }
    // Names with the same first candidate share every later one, so each such family goes on
    // from the number after its last one: every number below it is known to be taken, and a
    // folder of thousands of alike names (backups) costs one try per name, not thousands.
    std::unordered_map<std::string, unsigned> nextNumber;
    for (const size_t i : order) {
        if (!result[i].empty()) {
            continue;
        }
        unsigned& next = nextNumber.try_emplace(Generate(longNames[i], 1), 1).first->second;
        for (unsigned n = next;; ++n) {
            std::string candidate = Generate(longNames[i], n);
            if (taken.insert(candidate).second) {
                result[i] = std::move(candidate);
                next = n + 1;
                break;
            }
        }
    }
    return result;
}

}  // namespace machine
