#pragma once
// Shortcut files (.lnk) in the documented shell-link binary format, written by the shell
// object of WshShell.h and the recent-documents list. Everything the program gives as text is
// UTF-8 here; in the file the strings are UTF-16 (the link says so with IsUnicode), the local
// base path is in the ANSI code page (Windows-1252), with a UTF-16 copy beside it when the
// code page cannot hold every character.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace win32 {

struct ShellLink {
    // The target's full Windows path (the link's local base path); empty: the link has none.
    std::string targetPath;
    std::string description;
    // From the link's folder to the target (".\bin\tool.exe"); empty: none.
    std::string relativePath;
    std::string workingDirectory;
    std::string arguments;
    // The icon's file; empty: the target's own icon.
    std::string iconLocation;
    std::int32_t iconIndex = 0;
    // SW_SHOWNORMAL 1, SW_SHOWMAXIMIZED 3, SW_SHOWMINNOACTIVE 7.
    std::uint32_t showCommand = 1;
    // Virtual key in the low byte, HOTKEYF_ modifiers (shift 1, control 2, alt 4) in the high.
    std::uint16_t hotKey = 0;

    // The target as it was when the link was made (FILETIME values).
    std::uint32_t fileAttributes = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t accessTime = 0;
    std::uint64_t writeTime = 0;
    std::uint32_t fileSize = 0;
    // The target's volume.
    std::uint32_t driveType = 0;
    std::uint32_t driveSerialNumber = 0;
    std::string volumeLabel;

    bool operator==(const ShellLink&) const = default;
};

// The file's bytes: the 76-byte header, a LinkInfo with the volume and the local base path
// (when there is a target), the strings that are not empty, and the terminal extra block.
// Strings are cut at 65535 UTF-16 units, the most the format can count.
std::vector<std::uint8_t> EncodeShellLink(const ShellLink& link);

// Reads a link written here or by Windows (an item list, a network location and extra blocks
// are skipped). Every offset and count is checked; nullopt for anything that is not a
// well-formed link.
std::optional<ShellLink> DecodeShellLink(std::span<const std::uint8_t> bytes);

// A link to `target` (a full Windows path of the current machine) carrying what the machine
// knows of it: attributes, times and size (zeros when it does not exist yet), and its drive's
// type, serial number and label.
ShellLink LinkTo(std::string_view target);

// The target as seen from the folder of the link at `linkPath`: ".\TOOL.EXE",
// "..\BIN\TOOL.EXE"; empty when the two are on different drives. Both are full paths.
std::string RelativeLinkPath(std::string_view linkPath, std::string_view target);

}  // namespace win32
