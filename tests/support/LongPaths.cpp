#include "tests/support/LongPaths.h"

#include <stdexcept>
#include <vector>

namespace testsupport {
namespace {

// Letters of three widths: "V", "ö" (2 bytes), "€" and "漢" (3 bytes), "_" and "-".
const std::vector<std::string> kLetters = {"V", "\xC3\xB6",     "r", "\xE2\x82\xAC", "z",
                                           "_", "\xE6\xBC\xA2", "-", "\xC3\x9F",     "e"};
// Characters of one folder name at most: at most 3 bytes each, far below a host name's 255.
constexpr std::size_t kFolderChars = 40;

}  // namespace

std::size_t Characters(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

std::string MixedText(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += kLetters[i % kLetters.size()];
    }
    return text;
}

std::string LongWindowsPath(std::size_t chars, const std::string& file) {
    std::string path = "C:";
    // Characters still to fill with "\folder" before "\file".
    const std::size_t fixed = Characters(path) + 1 + Characters(file);
    if (chars < fixed) {
        throw std::invalid_argument("no path of that length holds " + file);
    }
    std::size_t left = chars - fixed;
    if (left == 1) {
        throw std::invalid_argument("one character cannot make a folder");
    }
    while (left > 0) {
        std::size_t name = std::min(left - 1, kFolderChars);
        // Never leave one character, which no "\folder" can take.
        if (left - 1 - name == 1) {
            --name;
        }
        path += "\\" + MixedText(name);
        left -= name + 1;
    }
    return path + "\\" + file;
}

}  // namespace testsupport
