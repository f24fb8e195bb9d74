#include "platform/win32/kernel32/SystemFactTexts.h"

#include <iterator>

namespace win32 {
namespace {

std::string ModelDotStepping(std::uint32_t revision) {
    return std::to_string((revision >> 8) & 0xFF) + "." + std::to_string(revision & 0xFF);
}

std::string PowerPcModel(std::uint32_t level) {
    switch (level) {
        case 1:
            return "601";
        case 3:
            return "603";
        case 4:
            return "604";
        case 6:
            return "603+";
        case 9:
            return "604+";
        case 20:
            return "620";
        default:
            // The family is 6xx; unlisted levels still say which one.
            return "6" + std::to_string(level);
    }
}

}  // namespace

std::string PlatformText(std::int64_t platformId) {
    static constexpr const char* kTexts[] = {"Windows Version 3", "Windows 95/98/Me",
                                             "Windows NT/2000/XP or .NET Server"};
    return platformId >= 0 && platformId < static_cast<std::int64_t>(std::size(kTexts))
               ? kTexts[platformId]
               : std::string();
}

std::string DriveTypeText(std::int64_t type) {
    static constexpr const char* kTexts[] = {"Unknown",     "Drive Not Present", "Removable drive",
                                             "Fixed drive", "Network drive",     "CD-ROM drive",
                                             "RAM-disk"};
    return type >= 0 && type < static_cast<std::int64_t>(std::size(kTexts)) ? kTexts[type]
                                                                            : std::string();
}

std::string ProcessorText(std::uint32_t architecture, std::uint32_t level, std::uint32_t revision) {
    const std::string lv = std::to_string(level);
    switch (architecture) {
        case 0: {
            static constexpr const char* kFamilies[] = {
                ", 80386",       ", 80486",    ", Pentium", ", Pentium Pro or Pentium II",
                ", Pentium III", ", Pentium 4"};
            const std::string family =
                level >= 3 && level <= 8 ? kFamilies[level - 3] : ", Beyond Pentium 4";
            return "Intel" + family + " Model " + ModelDotStepping(revision);
        }
        case 1:
            return "MIPS R" + lv + "000";
        case 2:
            return "Alpha " + lv + " Model A" + std::to_string((revision >> 8) & 0xFF) + " Pass " +
                   std::to_string(revision & 0xFF);
        case 3:
            return "PPC " + PowerPcModel(level) + " Processor Version " +
                   ModelDotStepping(revision);
        case 4:
            return "SH" + lv;
        case 5:
            return "ARM Level " + lv;
        case 6:
            return "Intel Itanium " + lv + " Model " + ModelDotStepping(revision);
        case 0xFFFF:
            return "Unknown Level " + lv + " Version " + ModelDotStepping(revision);
        default:
            return {};
    }
}

}  // namespace win32
