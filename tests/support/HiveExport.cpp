#include "tests/support/HiveExport.h"

#include <sstream>

#include "tests/support/RunProgram.h"

namespace testsupport {
namespace {

// A quoted name of the export, its escapes undone; `pos` moves past the closing quote.
std::optional<std::string> QuotedName(const std::string& line, std::size_t& pos) {
    std::string name;
    for (++pos; pos < line.size(); ++pos) {
        if (line[pos] == '\\' && pos + 1 < line.size()) {
            name += line[++pos];
        } else if (line[pos] == '"') {
            ++pos;
            return name;
        } else {
            name += line[pos];
        }
    }
    return std::nullopt;
}

std::optional<ExportedValue> Data(const std::string& text) {
    ExportedValue value;
    if (text.starts_with("dword:")) {
        const auto number = static_cast<std::uint32_t>(std::stoul(text.substr(6), nullptr, 16));
        value.type = 4;
        for (int i = 0; i < 4; ++i) {
            value.data.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
        }
        return value;
    }
    std::size_t colon = text.find(':');
    if (text.starts_with("hex:")) {
        value.type = 3;
    } else if (text.starts_with("hex(") && colon != std::string::npos) {
        value.type = static_cast<std::uint32_t>(std::stoul(text.substr(4, colon - 5), nullptr, 16));
    } else {
        return std::nullopt;
    }
    std::istringstream bytes(text.substr(colon + 1));
    for (std::string byte; std::getline(bytes, byte, ',');) {
        if (!byte.empty()) {
            value.data.push_back(static_cast<std::uint8_t>(std::stoul(byte, nullptr, 16)));
        }
    }
    return value;
}

}  // namespace

const ExportedValue* HiveExport::Find(const std::string& key, const std::string& name) const {
    const auto k = keys.find(key);
    if (k == keys.end()) {
        return nullptr;
    }
    const auto v = k->second.find(name);
    return v == k->second.end() ? nullptr : &v->second;
}

HiveExport ExportWithHivexregedit(const std::filesystem::path& hive) {
    HiveExport result;
    const auto run = RunProgram({"hivexregedit", "--export", hive.string(), "\\"});
    if (run.status != 0) {
        result.error = "hivexregedit: " + run.err;
        return result;
    }
    std::istringstream in(run.out);
    std::string line;
    std::string logical;
    std::map<std::string, ExportedValue>* current = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        // A long value goes on over lines that end in a backslash.
        if (!logical.empty() || (!line.empty() && line.back() == '\\' && line.front() != '[')) {
            const bool more = !line.empty() && line.back() == '\\';
            logical += more ? line.substr(0, line.size() - 1) : line;
            if (more) {
                continue;
            }
            line = logical;
            logical.clear();
        }
        std::size_t first = line.find_first_not_of(' ');
        if (first == std::string::npos) {
            continue;
        }
        line = line.substr(first);
        if (line.starts_with("[\\")) {
            const std::string path = line.substr(2, line.size() - 3);
            current = &result.keys[path];
            continue;
        }
        if (current == nullptr || (line[0] != '"' && line[0] != '@')) {
            continue;
        }
        std::size_t pos = 0;
        std::string name;
        if (line[0] == '@') {
            pos = 1;
        } else if (const auto quoted = QuotedName(line, pos)) {
            name = *quoted;
        } else {
            result.error = "cannot read the line " + line;
            return result;
        }
        if (pos >= line.size() || line[pos] != '=') {
            result.error = "cannot read the line " + line;
            return result;
        }
        const auto value = Data(line.substr(pos + 1));
        if (!value) {
            result.error = "cannot read the data of " + line;
            return result;
        }
        (*current)[name] = *value;
    }
    return result;
}

RegfExport ExportWithRegfexport(const std::filesystem::path& hive) {
    RegfExport result;
    const auto run = RunProgram({"regfexport", hive.string()});
    result.text = run.out;
    if (run.status != 0 || run.err.find("rror") != std::string::npos ||
        run.out.find("Unable to") != std::string::npos) {
        result.error = "regfexport (status " + std::to_string(run.status) + "): " + run.err;
    }
    return result;
}

std::vector<std::uint8_t> Utf16z(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

}  // namespace testsupport
