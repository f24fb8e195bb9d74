#include "platform/registry/WindowsForm.h"

#include <algorithm>
#include <chrono>

#include "platform/automation/Text.h"
#include "platform/registry/RegistryStore.h"

namespace registry {

std::u16string Utf16FromText(std::string_view utf8) {
    std::u16string units;
    units.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t code = automation::NextCodePoint(utf8, pos);
        if (code >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(code));
        }
    }
    return units;
}

std::string TextFromUtf16(std::u16string_view units) {
    if (std::all_of(units.begin(), units.end(), [](char16_t c) { return c < 0x80; })) {
        return std::string(units.begin(), units.end());
    }
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            automation::AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                                            (units[i + 1] - 0xDC00));
            ++i;
        } else {
            automation::AppendUtf8(out, c);
        }
    }
    return out;
}

std::vector<std::uint8_t> BytesOfUnits(std::u16string_view units) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

std::u16string UnitsOfBytes(std::span<const std::uint8_t> bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return units;
}

std::vector<std::uint8_t> WindowsData(std::uint32_t type, std::span<const std::uint8_t> storeData) {
    if (!IsStringType(type)) {
        return {storeData.begin(), storeData.end()};
    }
    const std::string_view text(reinterpret_cast<const char*>(storeData.data()), storeData.size());
    return BytesOfUnits(Utf16FromText(text));
}

std::vector<std::uint8_t> StoreData(std::uint32_t type, std::span<const std::uint8_t> windowsData) {
    if (!IsStringType(type)) {
        return {windowsData.begin(), windowsData.end()};
    }
    const std::string text = TextFromUtf16(UnitsOfBytes(windowsData));
    return {text.begin(), text.end()};
}

std::uint64_t FiletimeNow() {
    constexpr std::uint64_t kTicks1601To1970 = 116'444'736'000'000'000;
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
    return kTicks1601To1970 + static_cast<std::uint64_t>(since1970 / 100);
}

}  // namespace registry
