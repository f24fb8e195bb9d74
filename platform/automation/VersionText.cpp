#include "platform/automation/VersionText.h"

#include <cstddef>

namespace automation {
namespace {

int Sign(int value) {
    return (value > 0) - (value < 0);
}

int CompareText(std::string_view a, std::string_view b) {
    return Sign(a.compare(b));
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t DigitsAtStart(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && IsDigit(text[n])) {
        ++n;
    }
    return n;
}

// Numbers of any length, as their digits: without leading zeros the longer is the larger,
// and of two as long the digits decide.
int CompareNumbers(std::string_view a, std::string_view b) {
    const auto significant = [](std::string_view digits) {
        const std::size_t first = digits.find_first_not_of('0');
        return first == std::string_view::npos ? std::string_view{} : digits.substr(first);
    };
    a = significant(a);
    b = significant(b);
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return CompareText(a, b);
}

int CompareParts(std::string_view a, std::string_view b) {
    const std::size_t aDigits = DigitsAtStart(a);
    const std::size_t bDigits = DigitsAtStart(b);
    if (aDigits == 0 || bDigits == 0) {
        return CompareText(a, b);
    }
    if (const int numbers = CompareNumbers(a.substr(0, aDigits), b.substr(0, bDigits));
        numbers != 0) {
        return numbers;
    }
    if (const int rest = CompareText(a.substr(aDigits), b.substr(bDigits)); rest != 0) {
        return rest;
    }
    // The same number written with other leading zeros ("05" and "5"): only identical texts
    // are equal.
    return CompareText(a, b);
}

// The part that starts at `pos`, moving `pos` past it and its ".".
std::string_view NextPart(std::string_view text, std::size_t& pos) {
    const std::size_t point = text.find('.', pos);
    const std::size_t end = point == std::string_view::npos ? text.size() : point;
    const std::string_view part = text.substr(pos, end - pos);
    pos = point == std::string_view::npos ? text.size() + 1 : point + 1;
    return part;
}

}  // namespace

int CompareVersionTexts(std::string_view a, std::string_view b) {
    std::size_t aPos = 0;
    std::size_t bPos = 0;
    for (;;) {
        const bool aLeft = aPos <= a.size();
        const bool bLeft = bPos <= b.size();
        if (!aLeft || !bLeft) {
            return aLeft == bLeft ? 0 : (aLeft ? 1 : -1);
        }
        const std::string_view aPart = NextPart(a, aPos);
        const std::string_view bPart = NextPart(b, bPos);
        if (const int order = CompareParts(aPart, bPart); order != 0) {
            return order;
        }
    }
}

}  // namespace automation
