#include "platform/win32/version/VersionStrings.h"

#include <array>
#include <cstdio>
#include <utility>

#include "platform/win32/version/VersionBlock.h"

namespace win32 {

std::string TranslationKey(std::span<const std::uint8_t> translation) {
    std::array<std::uint8_t, 4> entry{};
    for (std::size_t i = 0; i < entry.size() && i < translation.size(); ++i) {
        entry[i] = translation[i];
    }
    char key[9];
    std::snprintf(key, sizeof key, "%02X%02X%02X%02X", entry[1], entry[0], entry[3], entry[2]);
    return key;
}

StandardVersionStrings ReadStandardVersionStrings(std::span<const std::uint8_t> block) {
    StandardVersionStrings s;
    const auto translation = QueryVersionBlock(block, "\\VarFileInfo\\Translation");
    if (!translation) {
        return s;
    }
    const std::string table = "\\StringFileInfo\\" + TranslationKey(translation->bytes) + "\\";
    const std::pair<const char*, std::string*> values[] = {
        {"CompanyName", &s.CompanyName},       {"FileDescription", &s.FileDescription},
        {"FileVersion", &s.FileVersion},       {"InternalName", &s.InternalName},
        {"LegalCopyright", &s.LegalCopyright}, {"OriginalFileName", &s.OriginalFilename},
        {"ProductName", &s.ProductName},       {"ProductVersion", &s.ProductVersion},
    };
    for (const auto& [name, out] : values) {
        if (const auto value = QueryVersionBlock(block, table + name)) {
            *out = value->Text();
        }
    }
    return s;
}

}  // namespace win32
