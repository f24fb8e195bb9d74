#include "controls/debug/SystemSnapshot.h"

#include <cmath>
#include <string_view>

#include "platform/automation/Conversion.h"
#include "platform/automation/Format.h"

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

std::string HighLow(std::uint32_t revision) {
    return std::to_string((revision >> 8) & 0xFF) + "." + std::to_string(revision & 0xFF);
}

}  // namespace

std::string PlatformText(std::uint32_t platformId) {
    switch (platformId) {
        case 0:
            return "Windows Version 3";
        case 1:
            return "Windows 95/98/Me";
        case 2:
            return "Windows NT/2000/XP or .NET Server";
        default:
            return {};
    }
}

std::string ProcessorDescription(std::uint32_t architecture, std::uint32_t level,
                                 std::uint32_t revision) {
    const std::string lv = std::to_string(level);
    switch (architecture) {
        case 0: {
            std::string text = "Intel";
            switch (level) {
                case 0:
                    return text;
                case 3:
                    text += ", 80386";
                    break;
                case 4:
                    text += ", 80486";
                    break;
                case 5:
                    text += ", Pentium";
                    break;
                case 6:
                    text += ", Pentium Pro or Pentium II";
                    break;
                case 7:
                    text += ", Pentium III";
                    break;
                case 8:
                    text += ", Pentium 4";
                    break;
                default:
                    text += ", Beyond Pentium 4";
                    break;
            }
            return text + " Model " + HighLow(revision);
        }
        case 1:
            return "MIPS R" + lv + "000";
        case 2:
            return "Alpha " + lv + " Model A" + std::to_string((revision >> 8) & 0xFF) + " Pass " +
                   std::to_string(revision & 0xFF);
        case 3: {
            std::string model;
            switch (level) {
                case 1:
                    model = "601";
                    break;
                case 3:
                    model = "603";
                    break;
                case 4:
                    model = "604";
                    break;
                case 6:
                    model = "603+";
                    break;
                case 9:
                    model = "604+";
                    break;
                case 20:
                    model = "620";
                    break;
                default:
                    model = "6" + lv;
                    break;
            }
            return "PPC " + model + " Processor Version " + HighLow(revision);
        }
        case 4:
            return "SH" + lv;
        case 5:
            return "ARM Level " + lv;
        case 6:
            return "Intel Itanium " + lv + " Model " + HighLow(revision);
        case 0xFFFF:
            return "Unknown Level " + lv + " Version " + HighLow(revision);
        default:
            return {};
    }
}

std::string DriveTypeText(std::uint32_t type) {
    static constexpr const char* kTexts[] = {"Unknown",     "Drive Not Present", "Removable drive",
                                             "Fixed drive", "Network drive",     "CD-ROM drive",
                                             "RAM-disk"};
    return type < std::size(kTexts) ? kTexts[type] : std::string();
}

std::vector<std::string> SnapshotLines(const SnapshotFacts& f) {
    std::vector<std::string> lines;
    lines.emplace_back(kRule);
    // A failed call leaves every number 0 and both texts empty.
    lines.push_back("OS = " + (f.versionKnown ? PlatformText(f.platformId) : std::string()) + " " +
                    std::to_string(f.major) + "." + std::to_string(f.minor) + "." +
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
        lines.push_back(d.root + " - " + DriveTypeText(d.type) +
                        " Total Space: " + Grouped(d.totalBytes) +
                        " bytes, Free Space: " + Grouped(d.freeBytes) + " bytes");
    }
    lines.emplace_back(kSeparator);
    lines.push_back("Current path: " + f.currentPath);
    lines.emplace_back(kRule);
    return lines;
}

}  // namespace Qz_Debug
