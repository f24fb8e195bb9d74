#include "platform/registry/RegText.h"

#include <array>
#include <charconv>
#include <utility>

namespace registry {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kEol = "\r\n";
constexpr std::size_t kLineWidth = 78;  // hex lists wrap before this column, as regedit's do

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    return s;
}

bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (s.size() - i <= extra) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        const bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Windows-1252 to UTF-8. The five codes the code page leaves undefined map to the C1
// controls of the same number, as the Windows conversion does.
std::string FromWindows1252(std::string_view s) {
    static constexpr std::array<std::uint16_t, 32> k80to9F = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        AppendUtf8(out, (c >= 0x80 && c <= 0x9F) ? k80to9F[c - 0x80] : c);
    }
    return out;
}

// ---- writing ----

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// Names go into the file as they are; a line break or a NUL would end the line or the name,
// and bytes that are not UTF-8 would make the whole file read as Windows-1252. A key name
// cannot hold the backslash that separates keys.
bool IsWritableName(std::string_view name, bool isKey) {
    const std::string_view forbidden =
        isKey ? std::string_view("\r\n\0\\", 4) : std::string_view("\r\n\0", 3);
    return name.find_first_of(forbidden) == std::string_view::npos && IsValidUtf8(name);
}

// REG_SZ data that reads back identically from "quoted" form: UTF-8 text with exactly one
// NUL, at the end.
bool IsPlainString(const std::vector<std::uint8_t>& data) {
    if (data.empty() || data.back() != 0) {
        return false;
    }
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size() - 1);
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos &&
           IsValidUtf8(text);
}

std::string Hex(std::uint32_t value, int width) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    while (static_cast<int>(out.size()) < width) {
        out.insert(out.begin(), '0');
    }
    return out;
}

void WriteValue(std::string& out, const Value& value) {
    std::string line = value.name.empty() ? "@=" : Quote(value.name) + "=";
    if (value.type == REG_SZ && IsPlainString(value.data)) {
        line += Quote(std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                       value.data.size() - 1));
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        const std::uint32_t dword = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                    (static_cast<std::uint32_t>(value.data[3]) << 24);
        line += "dword:" + Hex(dword, 8);
    } else {
        line += value.type == REG_BINARY ? "hex:" : "hex(" + Hex(value.type, 1) + "):";
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            std::string item = Hex(value.data[i], 2);
            if (i + 1 < value.data.size()) {
                item.push_back(',');
            }
            // Wrap after a comma, never before the first byte of the list.
            if (i > 0 && line.size() + item.size() + 1 > kLineWidth) {
                out += line;
                out += "\\";
                out += kEol;
                line = "  ";
            }
            line += item;
        }
    }
    out += line;
    out += kEol;
}

// The spelling the store keeps for each name of `path`, or nullopt when a key is missing.
std::optional<std::pair<KeyId, KeyPath>> FindStoredKey(RegistryStore& store, const KeyPath& path) {
    KeyId id = store.rootKey(path.root);
    KeyPath stored{path.root, {}};
    for (const auto& name : path.names) {
        std::vector<Subkey> children;
        store.subkeys(id, children);
        bool found = false;
        for (auto& child : children) {
            if (NamesEqual(child.name, name)) {
                id = child.id;
                stored.names.push_back(std::move(child.name));
                found = true;
                break;
            }
        }
        // A key reached by name only (a link that is not listed, as CurrentControlSet of a
        // Windows installation) keeps the spelling asked for.
        KeyId linked = 0;
        if (!found &&
            store.openKey(id, std::span<const std::string>(&name, 1), linked) == Outcome::Ok) {
            id = linked;
            stored.names.push_back(name);
            found = true;
        }
        if (!found) {
            return std::nullopt;
        }
    }
    return std::make_pair(id, std::move(stored));
}

// Depth first, each key before its subkeys, siblings in creation order. A root gets a
// section only for values of its own, unless the export was asked for that root.
void WriteTree(RegistryStore& store, KeyId start, const KeyPath& startPath, bool named,
               std::string& out) {
    struct Pending {
        KeyId id;
        std::string path;
        bool isRoot;
    };
    std::vector<Pending> stack{{start, FormatKeyPath(startPath), startPath.names.empty()}};
    bool first = named;
    while (!stack.empty()) {
        Pending key = std::move(stack.back());
        stack.pop_back();
        std::vector<Value> values;
        std::vector<Subkey> children;
        if (store.values(key.id, values) != Outcome::Ok ||
            store.subkeys(key.id, children) != Outcome::Ok) {
            throw RegTextError("key " + key.path + " was deleted during the export");
        }
        if (!key.isRoot || !values.empty() || first) {
            out += "[" + key.path + "]";
            out += kEol;
            for (const auto& value : values) {
                if (!IsWritableName(value.name, false)) {
                    throw RegTextError("a value name in " + key.path +
                                       " holds a line break, a NUL or bytes that are not UTF-8 "
                                       "and cannot be written as REGEDIT4 text");
                }
                WriteValue(out, value);
            }
            out += kEol;
        }
        first = false;
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            if (!IsWritableName(it->name, true)) {
                throw RegTextError("a key name below " + key.path +
                                   " holds a line break, a NUL, a backslash or bytes that are "
                                   "not UTF-8 and cannot be written as REGEDIT4 text");
            }
            stack.push_back({it->id, key.path + "\\" + it->name, false});
        }
    }
}

// ---- reading ----

struct Operation {
    enum class Kind { OpenKey, DeleteKey, SetValue, DeleteValue } kind;
    KeyPath key;
    std::string name;
    std::uint32_t type = REG_NONE;
    std::vector<std::uint8_t> data;
};

class Parser {
  public:
    explicit Parser(std::string_view text) {
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            lines_.push_back(TrimRight(text.substr(start, end - start)));
            start = end + 1;
        }
    }

    std::vector<Operation> run() {
        if (lines_.empty() || lines_.front() != kHeader) {
            const bool version5 =
                !lines_.empty() && lines_.front().starts_with("Windows Registry Editor");
            error(1, version5 ? "only REGEDIT4 files can be read; this is a later version"
                              : "the first line must be REGEDIT4");
            return {};
        }
        for (index_ = 1; index_ < lines_.size(); ++index_) {
            line_ = index_ + 1;
            const std::string_view line = TrimLeft(lines_[index_]);
            if (line.empty() || line.front() == ';') {
                continue;
            }
            if (line.front() == '[') {
                section(line);
            } else if (line.front() == '"' || line.front() == '@') {
                value(line);
            } else {
                error(line_, "expected [key], \"name\"=data, @=data or a ; comment");
            }
        }
        return std::move(operations_);
    }

    std::vector<LineError> errors() && { return std::move(errors_); }

  private:
    void error(std::size_t line, std::string message) {
        errors_.push_back({line, std::move(message)});
    }

    void section(std::string_view line) {
        haveKey_ = false;
        badSection_ = true;
        const std::size_t close = line.rfind(']');
        if (close == std::string_view::npos || close + 1 != line.size()) {
            error(line_, "a key line must end with ]");
            return;
        }
        std::string_view inner = line.substr(1, close - 1);
        const bool remove = !inner.empty() && inner.front() == '-';
        if (remove) {
            inner.remove_prefix(1);
        }
        auto path = ParseKeyPath(inner);
        if (!path) {
            error(line_, "unknown root key in [" + std::string(inner) + "]");
            return;
        }
        for (const auto& name : path->names) {
            if (NameLength(name) > kMaxKeyNameChars) {
                error(line_, "a key name is longer than 255 characters");
                return;
            }
            // What the export could not write back would make every later export fail.
            if (!IsWritableName(name, true)) {
                error(line_, "a key name holds a line break or a NUL");
                return;
            }
        }
        if (remove) {
            if (path->names.empty()) {
                error(line_, "a root key cannot be deleted");
                return;
            }
            badSection_ = false;
            operations_.push_back({Operation::Kind::DeleteKey, std::move(*path), {}, 0, {}});
            return;
        }
        operations_.push_back({Operation::Kind::OpenKey, std::move(*path), {}, 0, {}});
        haveKey_ = true;
        badSection_ = false;
    }

    // Reads "text" at the front of `rest` with its \\ and \" escapes.
    std::optional<std::string> quoted(std::string_view& rest) {
        std::string text;
        for (std::size_t i = 1; i < rest.size(); ++i) {
            const char c = rest[i];
            if (c == '"') {
                rest.remove_prefix(i + 1);
                return text;
            }
            if (c == '\\') {
                if (i + 1 < rest.size() && (rest[i + 1] == '\\' || rest[i + 1] == '"')) {
                    text.push_back(rest[++i]);
                    continue;
                }
                error(line_,
                      "a backslash in quoted text must be written \\\\ (or \\\" for a quote)");
                return std::nullopt;
            }
            text.push_back(c);
        }
        error(line_, "quoted text has no closing \"");
        return std::nullopt;
    }

    void value(std::string_view line) {
        const std::size_t firstLine = line_;
        std::string name;
        std::string_view rest = line;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else {
            auto text = quoted(rest);
            if (!text) {
                return;
            }
            if (NameLength(*text) > kMaxValueNameChars) {
                error(line_, "a value name is longer than 16383 characters");
                return;
            }
            if (!IsWritableName(*text, false)) {
                error(line_, "a value name holds a line break or a NUL");
                return;
            }
            name = std::move(*text);
        }
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != '=') {
            error(line_, "expected = after the value name");
            return;
        }
        rest = TrimLeft(rest.substr(1));

        Operation op{Operation::Kind::SetValue, {}, std::move(name), REG_NONE, {}};
        if (rest == "-") {
            op.kind = Operation::Kind::DeleteValue;
        } else if (!rest.empty() && rest.front() == '"') {
            auto text = quoted(rest);
            if (!text) {
                return;
            }
            if (!TrimLeft(rest).empty()) {
                error(line_, "unexpected text after the closing \"");
                return;
            }
            op.type = REG_SZ;
            op.data.assign(text->begin(), text->end());
            op.data.push_back(0);
        } else if (rest.starts_with("dword:")) {
            const std::string_view digits = rest.substr(6);
            std::uint32_t dword = 0;
            const auto [end, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), dword, 16);
            if (digits.empty() || digits.size() > 8 || ec != std::errc() ||
                end != digits.data() + digits.size()) {
                error(line_, "dword: needs 1 to 8 hexadecimal digits");
                return;
            }
            op.type = REG_DWORD;
            op.data = {static_cast<std::uint8_t>(dword), static_cast<std::uint8_t>(dword >> 8),
                       static_cast<std::uint8_t>(dword >> 16),
                       static_cast<std::uint8_t>(dword >> 24)};
        } else if (rest.starts_with("hex")) {
            if (!hexValue(rest, op)) {
                return;
            }
        } else {
            error(line_, "unknown data; expected \"text\", dword:, hex:, hex(n): or -");
            return;
        }
        if (!haveKey_) {
            // Values below a malformed [key] line were already covered by its error.
            if (!badSection_) {
                error(firstLine, "a value line must follow a [key] line");
            }
            return;
        }
        operations_.push_back(std::move(op));
    }

    bool hexValue(std::string_view rest, Operation& op) {
        rest.remove_prefix(3);
        op.type = REG_BINARY;
        if (!rest.empty() && rest.front() == '(') {
            const std::size_t close = rest.find(')');
            const std::string_view digits =
                rest.substr(1, close == std::string_view::npos ? 0 : close - 1);
            const auto [end, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), op.type, 16);
            if (close == std::string_view::npos || digits.empty() || digits.size() > 8 ||
                ec != std::errc() || end != digits.data() + digits.size()) {
                error(line_, "hex(n): needs a type of 1 to 8 hexadecimal digits");
                return false;
            }
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':') {
            error(line_, "expected : after hex");
            return false;
        }
        // A list continues on the next line when this one ends with a backslash.
        std::string list(rest.substr(1));
        while (!list.empty() && list.back() == '\\') {
            list.pop_back();
            if (index_ + 1 >= lines_.size()) {
                error(line_, "the hex list continues past the end of the file");
                return false;
            }
            ++index_;
            line_ = index_ + 1;
            list += TrimLeft(lines_[index_]);
        }
        std::string_view items = TrimRight(list);
        while (!items.empty()) {
            const std::size_t comma = std::min(items.find(','), items.size());
            const std::string_view item = TrimRight(TrimLeft(items.substr(0, comma)));
            unsigned byte = 0;
            const auto [end, ec] =
                std::from_chars(item.data(), item.data() + item.size(), byte, 16);
            if (item.empty() || item.size() > 2 || ec != std::errc() ||
                end != item.data() + item.size()) {
                error(line_, "hex data must be bytes of 1 or 2 hexadecimal digits between commas");
                return false;
            }
            op.data.push_back(static_cast<std::uint8_t>(byte));
            // A trailing comma after the last byte is tolerated.
            items.remove_prefix(std::min(comma + 1, items.size()));
            items = TrimLeft(items);
        }
        return true;
    }

    std::vector<std::string_view> lines_;
    std::size_t index_ = 0;
    std::size_t line_ = 1;
    bool haveKey_ = false;     // value lines have a key to go to
    bool badSection_ = false;  // the last [key] line was malformed
    std::vector<Operation> operations_;
    std::vector<LineError> errors_;
};

}  // namespace

std::optional<KeyPath> ParseKeyPath(std::string_view text) {
    const std::size_t slash = std::min(text.find('\\'), text.size());
    const auto root = ParseRootName(text.substr(0, slash));
    if (!root) {
        return std::nullopt;
    }
    return KeyPath{*root, SplitKeyNames(text.substr(slash))};
}

std::string FormatKeyPath(const KeyPath& path) {
    std::string text(RootName(path.root));
    for (const auto& name : path.names) {
        text += "\\" + name;
    }
    return text;
}

bool KeyExists(RegistryStore& store, const KeyPath& path) {
    return FindStoredKey(store, path).has_value();
}

std::string ExportRegText(RegistryStore& store, const std::optional<KeyPath>& from) {
    std::string out(kHeader);
    out += kEol;
    out += kEol;
    if (from) {
        if (const auto found = FindStoredKey(store, *from)) {
            WriteTree(store, found->first, found->second, true, out);
        }
        return out;
    }
    for (Root root : kAllRoots) {
        WriteTree(store, store.rootKey(root), KeyPath{root, {}}, false, out);
    }
    return out;
}

ImportSummary ImportRegText(RegistryStore& store, std::string_view text) {
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        throw RegTextError("the file is UTF-16 text; only REGEDIT4 files can be read",
                           {{1, "UTF-16 text"}});
    }
    std::string decoded;
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    if (!IsValidUtf8(text)) {
        decoded = FromWindows1252(text);
        text = decoded;
    }
    Parser parser(text);
    const std::vector<Operation> operations = parser.run();
    std::vector<LineError> errors = std::move(parser).errors();
    if (!errors.empty()) {
        std::string message = "the file is not valid REGEDIT4 text; nothing was imported:";
        for (const auto& e : errors) {
            message += "\nline " + std::to_string(e.line) + ": " + e.message;
        }
        throw RegTextError(message, std::move(errors));
    }

    ImportSummary summary;
    store.transaction([&] {
        KeyId current = 0;
        for (const auto& op : operations) {
            switch (op.kind) {
                case Operation::Kind::OpenKey:
                    store.createKey(store.rootKey(op.key.root), op.key.names, current);
                    ++summary.keys;
                    break;
                case Operation::Kind::DeleteKey: {
                    KeyId doomed = 0;
                    if (store.openKey(store.rootKey(op.key.root), op.key.names, doomed) ==
                            Outcome::Ok &&
                        store.deleteTree(doomed) == Outcome::Ok) {
                        ++summary.deletedKeys;
                    }
                    break;
                }
                case Operation::Kind::SetValue:
                    if (store.setValue(current, op.name, op.type, op.data) != Outcome::Ok) {
                        throw RegTextError(
                            "a key was deleted by another process during the "
                            "import; nothing was imported");
                    }
                    ++summary.values;
                    break;
                case Operation::Kind::DeleteValue:
                    if (store.deleteValue(current, op.name) == Outcome::Ok) {
                        ++summary.deletedValues;
                    }
                    break;
            }
        }
    });
    return summary;
}

}  // namespace registry
