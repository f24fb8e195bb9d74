#include "controls/debug/SystemSnapshot.h"

#include <cmath>
#include <string_view>

#include "platform/automation/Conversion.h"
#include "platform/automation/Format.h"
#include "platform/win32/kernel32/SystemFactTexts.h"

namespace Qz_Debug {
namespace {

constexpr std::string_view kRule = "========================================";
constexpr std::string_view kSeparator = "    ------    ";

std::string Grouped(std::uint64_t n) {
    return automation::Format(static_cast<double>(n), "###,###,###,###,##0");
}

// Byte counts as whole kilobytes, halves to even.
std::string Kilobytes(std::uint64_t bytes) {
    return Grouped(static_cast<std::uint64_t>(std::nearbyint(static_cast<double>(bytes) / 1024.0)));
}

std::string HexText(std::uint64_t n) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[n & 0xF]);
        n >>= 4;
    } while (n != 0);
    return out;
}

}  // namespace

std::string ProcessorDescription(std::uint32_t architecture, std::uint32_t level,
                                 std::uint32_t revision) {
    // The snapshot names a bare Intel processor without family or model.
    if (architecture == 0 && level == 0) {
        return "Intel";
    }
    return win32::ProcessorText(architecture, level, revision);
}

std::vector<std::string> SnapshotLines(const SnapshotFacts& f) {
    std::vector<std::string> lines;
    lines.emplace_back(kRule);
    // A failed call leaves every number 0 and both texts empty.
    lines.push_back("OS = " + (f.versionKnown ? win32::PlatformText(f.platformId) : std::string()) +
                    " " + std::to_string(f.major) + "." + std::to_string(f.minor) + "." +
                    std::to_string(f.build & 0xFFFF) + " " + f.servicePack);
    lines.push_back("Computer Name: " + f.computerName);
    lines.push_back("User Name: " + f.userName);
    lines.emplace_back(kSeparator);
    lines.push_back("Processor: " + ProcessorDescription(f.architecture, f.level, f.revision) +
                    " - Number Processors: " + std::to_string(f.processors) +
                    " - Active Processor: " + std::to_string(f.activeMask));
    lines.push_back("Min/Max Application Address/BlockSize: " + HexText(f.minAddress) + "/" +
                    HexText(f.maxAddress) + "/" + Grouped(f.granularity));
    lines.push_back(
        "Percent RAM Used: " + automation::Format(static_cast<double>(f.memoryLoad), "##0") + "%");
    lines.push_back("Total RAM:        " + Kilobytes(f.totalPhys) + " KB");
    lines.push_back("Free RAM:         " + Kilobytes(f.availPhys) + " KB");
    lines.push_back("Total/Available PageFile Size: " + Kilobytes(f.totalPageFile) + " KB / " +
                    Kilobytes(f.availPageFile) + " KB");
    lines.push_back("Total/Available Virtual Size:  " + Kilobytes(f.totalVirtual) + " KB / " +
                    Kilobytes(f.availVirtual) + " KB");
    lines.emplace_back(kSeparator);
    lines.emplace_back("Drives: ");
    for (const SnapshotDrive& d : f.drives) {
        lines.push_back(d.root + " - " + win32::DriveTypeText(d.type) +
                        " Total Space: " + Grouped(d.totalBytes) +
                        " bytes, Free Space: " + Grouped(d.freeBytes) + " bytes");
    }
    lines.emplace_back(kSeparator);
    lines.push_back("Current path: " + f.currentPath);
    lines.emplace_back(kRule);
    return lines;
}

}  // namespace Qz_Debug
