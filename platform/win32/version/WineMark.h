#pragma once
// Wine's mark on the modules it installs. Every PE file Wine writes into a prefix (its builtin
// libraries and programs, and the placeholders older versions wrote for modules it provides)
// carries a 32-byte signature right after the 64-byte DOS header, at file offset 0x40:
// "Wine builtin DLL" or "Wine placeholder DLL", NUL-padded. Wine's own loader and setup tell
// its files by the signature and its terminating NUL, so this reader does too. Such a file
// is Wine's implementation, whatever its version resource claims to be.
//
// A builtin may ask to be passed over for a program's own copy when no override names it:
// Wine sets bit 0x0010 of the optional header's DllCharacteristics (a bit Windows leaves
// reserved) on such builtins (d3dx9, d3dcompiler and others).

#include <cstdint>

#include "platform/win32/version/VersionImage.h"

namespace win32 {

enum class WineMark : std::uint8_t { None, Builtin, Placeholder };

struct WineModule {
    WineMark mark = WineMark::None;
    // A builtin that prefers a native copy of itself when one is found.
    bool preferNative = false;
};

inline constexpr std::uint64_t kWineSignatureOffset = 0x40;
inline constexpr std::uint32_t kWineSignatureSize = 32;
inline constexpr const char* kWineBuiltinSignature = "Wine builtin DLL";
inline constexpr const char* kWinePlaceholderSignature = "Wine placeholder DLL";
inline constexpr std::uint16_t kPreferNativeCharacteristic = 0x0010;

// None for anything shorter than the signature's end, not an MZ file, or unreadable.
WineModule ReadWineMark(ImageSource& image);

}  // namespace win32
