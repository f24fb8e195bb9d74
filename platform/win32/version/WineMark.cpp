#include "platform/win32/version/WineMark.h"

#include <array>
#include <cstring>
#include <string_view>

namespace win32 {
namespace {

// The signature with its terminating NUL, as Wine compares it.
bool Signed(std::span<const std::uint8_t> field, std::string_view signature) {
    return signature.size() < field.size() &&
           std::memcmp(field.data(), signature.data(), signature.size()) == 0 &&
           field[signature.size()] == 0;
}

// DllCharacteristics lies at the same place in PE32 and PE32+ optional headers: 0x5E past
// the "PE\0\0" signature.
bool PrefersNative(ImageSource& image, std::uint32_t newHeader) {
    std::array<std::uint8_t, 4> signature{};
    std::array<std::uint8_t, 2> characteristics{};
    return image.Read(newHeader, signature) && signature[0] == 'P' && signature[1] == 'E' &&
           signature[2] == 0 && signature[3] == 0 &&
           image.Read(std::uint64_t{newHeader} + 0x5E, characteristics) &&
           (ReadU16(characteristics, 0) & kPreferNativeCharacteristic) != 0;
}

}  // namespace

WineModule ReadWineMark(ImageSource& image) {
    std::array<std::uint8_t, kWineSignatureOffset + kWineSignatureSize> head{};
    if (image.Size() < head.size() || !image.Read(0, head) || head[0] != 'M' || head[1] != 'Z') {
        return {};
    }
    const auto field = std::span<const std::uint8_t>(head).subspan(kWineSignatureOffset);
    WineModule module;
    if (Signed(field, kWineBuiltinSignature)) {
        module.mark = WineMark::Builtin;
        module.preferNative = PrefersNative(image, ReadU32(head, 0x3C));
    } else if (Signed(field, kWinePlaceholderSignature)) {
        module.mark = WineMark::Placeholder;
    }
    return module;
}

}  // namespace win32
