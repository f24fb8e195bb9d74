#include "platform/wine/prefixes/KeyValues.h"

#include <array>
#include <optional>

#include "platform/machine/Text.h"

namespace wine::prefixes {
namespace {

// Deeper than any file Steam writes; a bound keeps a hostile file from exhausting the stack.
constexpr std::size_t kMaxDepth = 64;

struct Token {
    enum class Kind { End, Text, Open, Close, Condition };
    Kind kind = Kind::End;
    std::string text;
    bool quoted = false;
    std::size_t line = 1;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

class Tokens {
  public:
    explicit Tokens(std::string_view text) : text_(text) {}

    Token Next() {
        if (peeked_) {
            Token token = std::move(*peeked_);
            peeked_.reset();
            return token;
        }
        return Read();
    }
    const Token& Peek() {
        if (!peeked_) {
            peeked_ = Read();
        }
        return *peeked_;
    }

  private:
    void SkipBlanksAndComments() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (IsBlank(c)) {
                line_ += c == '\n' ? 1 : 0;
                ++pos_;
            } else if (text_.substr(pos_, 2) == "//") {
                while (pos_ < text_.size() && text_[pos_] != '\n') {
                    ++pos_;
                }
            } else {
                return;
            }
        }
    }

    Token Read() {
        SkipBlanksAndComments();
        Token token;
        token.line = line_;
        if (pos_ == text_.size()) {
            return token;
        }
        const char c = text_[pos_];
        if (c == '{' || c == '}') {
            token.kind = c == '{' ? Token::Kind::Open : Token::Kind::Close;
            ++pos_;
        } else if (c == '"') {
            token.kind = Token::Kind::Text;
            token.quoted = true;
            token.text = Quoted();
        } else if (c == '[') {
            token.kind = Token::Kind::Condition;
            const std::size_t end = text_.find_first_of("]\n", pos_);
            if (end == std::string_view::npos || text_[end] != ']') {
                throw KeyValuesError(line_, "a condition [...] is not closed on its line");
            }
            token.text = std::string(text_.substr(pos_ + 1, end - pos_ - 1));
            pos_ = end + 1;
        } else {
            token.kind = Token::Kind::Text;
            const std::size_t start = pos_;
            while (pos_ < text_.size() && !IsBlank(text_[pos_]) && text_[pos_] != '"' &&
                   text_[pos_] != '{' && text_[pos_] != '}') {
                ++pos_;
            }
            token.text = std::string(text_.substr(start, pos_ - start));
        }
        return token;
    }

    std::string Quoted() {
        const std::size_t opened = line_;
        std::string text;
        for (++pos_; pos_ < text_.size(); ++pos_) {
            const char c = text_[pos_];
            if (c == '"') {
                ++pos_;
                return text;
            }
            line_ += c == '\n' ? 1 : 0;
            if (c == '\\' && pos_ + 1 < text_.size()) {
                const char next = text_[pos_ + 1];
                const char decoded = next == 'n' ? '\n' : next == 't' ? '\t' : next;
                if (next == 'n' || next == 't' || next == '\\' || next == '"') {
                    text += decoded;
                    ++pos_;
                    continue;
                }
            }
            text += c;
        }
        throw KeyValuesError(opened, "a quoted string is not closed");
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    std::optional<Token> peeked_;
};

// Valve's platform conditions as they stand on Linux: $WIN32 means "a PC", not Windows.
bool Holds(std::string_view condition) {
    condition = machine::text::Trim(condition);
    const bool negated = !condition.empty() && condition.front() == '!';
    if (negated) {
        condition.remove_prefix(1);
    }
    static constexpr std::array<std::string_view, 3> kTrue = {"$WIN32", "$LINUX", "$POSIX"};
    bool holds = false;
    for (const std::string_view name : kTrue) {
        holds = holds || machine::text::EqualsNoCase(condition, name);
    }
    return holds != negated;
}

std::string Quote(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
            case '\\':
                quoted += "\\\\";
                break;
            case '"':
                quoted += "\\\"";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                quoted += c;
        }
    }
    return quoted + "\"";
}

void ReadBody(Tokens& tokens, KeyValue& section, std::size_t depth, std::size_t opened) {
    if (depth > kMaxDepth) {
        throw KeyValuesError(
            opened, "sections are nested deeper than " + std::to_string(kMaxDepth) + " levels");
    }
    section.section = true;
    for (;;) {
        Token key = tokens.Next();
        switch (key.kind) {
            case Token::Kind::End:
                throw KeyValuesError(opened, "section \"" + section.key + "\" is not closed");
            case Token::Kind::Close:
                return;
            case Token::Kind::Open:
                throw KeyValuesError(key.line, "a section has no name");
            case Token::Kind::Condition:
                throw KeyValuesError(key.line, "a condition [...] with no key before it");
            case Token::Kind::Text:
                break;
        }
        KeyValue child;
        child.key = std::move(key.text);
        Token value = tokens.Next();
        bool kept = true;
        if (value.kind == Token::Kind::Condition) {
            kept = Holds(value.text);
            value = tokens.Next();
            if (value.kind != Token::Kind::Open) {
                throw KeyValuesError(
                    value.line, "a condition [...] between \"" + child.key + "\" and its value");
            }
        }
        if (value.kind == Token::Kind::Open) {
            ReadBody(tokens, child, depth + 1, value.line);
        } else if (value.kind == Token::Kind::Text) {
            child.value = std::move(value.text);
            if (tokens.Peek().kind == Token::Kind::Condition) {
                kept = Holds(tokens.Next().text);
            }
        } else {
            throw KeyValuesError(key.line, "\"" + child.key + "\" has no value");
        }
        if (kept) {
            section.children.push_back(std::move(child));
        }
    }
}

void Write(const KeyValue& entry, std::size_t depth, std::string& out) {
    const std::string indent(depth, '\t');
    if (!entry.section) {
        out += indent + Quote(entry.key) + "\t\t" + Quote(entry.value) + "\n";
        return;
    }
    out += indent + Quote(entry.key) + "\n" + indent + "{\n";
    for (const KeyValue& child : entry.children) {
        Write(child, depth + 1, out);
    }
    out += indent + "}\n";
}

}  // namespace

const KeyValue* KeyValue::Find(std::string_view name) const {
    for (const KeyValue& child : children) {
        if (machine::text::EqualsNoCase(child.key, name)) {
            return &child;
        }
    }
    return nullptr;
}

std::string KeyValue::Text(std::string_view name) const {
    const KeyValue* child = Find(name);
    return child != nullptr && !child->section ? child->value : std::string();
}

std::vector<KeyValue> ParseKeyValues(std::string_view text) {
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        throw KeyValuesError(1, "the file is UTF-16 text, which is not read");
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    Tokens tokens(text);
    std::vector<KeyValue> sections;
    for (Token name = tokens.Next(); name.kind != Token::Kind::End; name = tokens.Next()) {
        if (name.kind != Token::Kind::Text) {
            throw KeyValuesError(name.line, name.kind == Token::Kind::Close
                                                ? "a closing brace with no section open"
                                                : "text before the first section's name");
        }
        if (!name.quoted && name.text.starts_with('#')) {
            throw KeyValuesError(name.line, "directives such as " + name.text + " are not read");
        }
        KeyValue section;
        section.key = std::move(name.text);
        Token open = tokens.Next();
        bool kept = true;
        if (open.kind == Token::Kind::Condition) {
            kept = Holds(open.text);
            open = tokens.Next();
        }
        if (open.kind != Token::Kind::Open) {
            throw KeyValuesError(open.line,
                                 "\"" + section.key + "\" is no section: a file holds sections");
        }
        ReadBody(tokens, section, 1, open.line);
        if (kept) {
            sections.push_back(std::move(section));
        }
    }
    if (sections.empty()) {
        throw KeyValuesError(1, "the file holds no section");
    }
    return sections;
}

std::string WriteKeyValues(const std::vector<KeyValue>& sections) {
    std::string out;
    for (const KeyValue& section : sections) {
        Write(section, 0, out);
    }
    return out;
}

}  // namespace wine::prefixes
