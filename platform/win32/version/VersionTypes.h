#pragma once
// Version-resource structures and constants, with the values of the Windows definitions.
// Header-only so that the image writer and the fuzz build can use them without linking.

#include <cstdint>

namespace win32 {

inline constexpr std::uint16_t RT_VERSION = 16;
inline constexpr std::uint16_t VS_VERSION_INFO = 1;

inline constexpr std::uint32_t VS_FFI_SIGNATURE = 0xFEEF04BD;
inline constexpr std::uint32_t VS_FFI_STRUCVERSION = 0x00010000;
inline constexpr std::uint32_t VS_FFI_FILEFLAGSMASK = 0x0000003F;

inline constexpr std::uint32_t VS_FF_DEBUG = 0x01;
inline constexpr std::uint32_t VS_FF_PRERELEASE = 0x02;
inline constexpr std::uint32_t VS_FF_PATCHED = 0x04;
inline constexpr std::uint32_t VS_FF_PRIVATEBUILD = 0x08;
inline constexpr std::uint32_t VS_FF_INFOINFERRED = 0x10;
inline constexpr std::uint32_t VS_FF_SPECIALBUILD = 0x20;

inline constexpr std::uint32_t VOS_UNKNOWN = 0x00000000;
inline constexpr std::uint32_t VOS_DOS = 0x00010000;
inline constexpr std::uint32_t VOS_OS216 = 0x00020000;
inline constexpr std::uint32_t VOS_OS232 = 0x00030000;
inline constexpr std::uint32_t VOS_NT = 0x00040000;
inline constexpr std::uint32_t VOS__BASE = 0x00000000;
inline constexpr std::uint32_t VOS__WINDOWS16 = 0x00000001;
inline constexpr std::uint32_t VOS__PM16 = 0x00000002;
inline constexpr std::uint32_t VOS__PM32 = 0x00000003;
inline constexpr std::uint32_t VOS__WINDOWS32 = 0x00000004;
inline constexpr std::uint32_t VOS_DOS_WINDOWS16 = 0x00010001;
inline constexpr std::uint32_t VOS_DOS_WINDOWS32 = 0x00010004;
inline constexpr std::uint32_t VOS_OS216_PM16 = 0x00020002;
inline constexpr std::uint32_t VOS_OS232_PM32 = 0x00030003;
inline constexpr std::uint32_t VOS_NT_WINDOWS32 = 0x00040004;

inline constexpr std::uint32_t VFT_UNKNOWN = 0;
inline constexpr std::uint32_t VFT_APP = 1;
inline constexpr std::uint32_t VFT_DLL = 2;
inline constexpr std::uint32_t VFT_DRV = 3;
inline constexpr std::uint32_t VFT_FONT = 4;
inline constexpr std::uint32_t VFT_VXD = 5;
inline constexpr std::uint32_t VFT_STATIC_LIB = 7;

inline constexpr std::uint32_t VFT2_UNKNOWN = 0;
inline constexpr std::uint32_t VFT2_DRV_PRINTER = 1;
inline constexpr std::uint32_t VFT2_DRV_KEYBOARD = 2;
inline constexpr std::uint32_t VFT2_DRV_LANGUAGE = 3;
inline constexpr std::uint32_t VFT2_DRV_DISPLAY = 4;
inline constexpr std::uint32_t VFT2_DRV_MOUSE = 5;
inline constexpr std::uint32_t VFT2_DRV_NETWORK = 6;
inline constexpr std::uint32_t VFT2_DRV_SYSTEM = 7;
inline constexpr std::uint32_t VFT2_DRV_INSTALLABLE = 8;
inline constexpr std::uint32_t VFT2_DRV_SOUND = 9;

// The fixed part of a version resource: the value of the root block, little-endian on disk.
struct VS_FIXEDFILEINFO {
    std::uint32_t dwSignature = 0;
    std::uint32_t dwStrucVersion = 0;
    std::uint32_t dwFileVersionMS = 0;
    std::uint32_t dwFileVersionLS = 0;
    std::uint32_t dwProductVersionMS = 0;
    std::uint32_t dwProductVersionLS = 0;
    std::uint32_t dwFileFlagsMask = 0;
    std::uint32_t dwFileFlags = 0;
    std::uint32_t dwFileOS = 0;
    std::uint32_t dwFileType = 0;
    std::uint32_t dwFileSubtype = 0;
    std::uint32_t dwFileDateMS = 0;
    std::uint32_t dwFileDateLS = 0;

    static constexpr std::uint32_t kSize = 13 * 4;
};

}  // namespace win32
