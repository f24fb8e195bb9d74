// The texts Windows programs of this family print for system facts: the platform of
// GetVersionEx, the drive type of GetDriveType and the processor of GetSystemInfo. Both the
// system-information control and the trace file's snapshot show them, so they live here once.
#pragma once

#include <cstdint>
#include <string>

namespace win32 {

// "Windows Version 3", "Windows 95/98/Me", "Windows NT/2000/XP or .NET Server"; empty for any
// other platform identifier.
std::string PlatformText(std::int64_t platformId);

// "Unknown", "Drive Not Present", "Removable drive", "Fixed drive", "Network drive",
// "CD-ROM drive", "RAM-disk"; empty for any other value.
std::string DriveTypeText(std::int64_t type);

// The processor by architecture, level and revision (model in the high byte, stepping in the
// low byte): "Intel, Pentium Model 2.3", "MIPS R4000", "Alpha 21064 Model A1 Pass 2", "PPC 604
// Processor Version 1.2", ...; empty for an unknown architecture. An Intel level outside 3..8
// reads ", Beyond Pentium 4".
std::string ProcessorText(std::uint32_t architecture, std::uint32_t level, std::uint32_t revision);

}  // namespace win32
