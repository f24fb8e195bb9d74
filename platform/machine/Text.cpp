#include "platform/machine/Text.h"

namespace machine::text {

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::string ShellQuoted(std::string_view word) {
    if (!word.empty() &&
        word.find_first_of(" \t\n'\"\\$`*?[]&;|<>()#~!") == std::string_view::npos) {
        return std::string(word);
    }
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace machine::text
