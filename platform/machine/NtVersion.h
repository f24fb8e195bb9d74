#pragma once
// The version of a Windows NT installation from the values of its key
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion, whoever reads them (a
// registry store, a hive file, the text of a Wine registry file):
//   "CurrentMajorVersionNumber", "CurrentMinorVersionNumber" (REG_DWORD, Windows 10 on): they
//       win over "CurrentVersion", which Windows 10 and later (and Wine set to them) keep at
//       "6.3" for old programs;
//   "CurrentVersion" ("5.1");
//   "CurrentBuildNumber", else "CurrentBuild" (XP kept the build there too, in an older form).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/machine/MachineProfile.h"

namespace machine {

// How the caller reads one value of the key by name; nullopt when the key has no such value
// or it has another type.
struct NtVersionValues {
    // A value of a string type, up to its first NUL.
    std::function<std::optional<std::string>(std::string_view name)> text;
    // A REG_DWORD value.
    std::function<std::optional<std::uint32_t>(std::string_view name)> dword;
};

// nullopt when the values name no major and minor version; the build is 0 when they name none.
std::optional<WindowsVersion> NtVersionFrom(const NtVersionValues& values);

}  // namespace machine
