#include "platform/machine/MachineProfile.h"

#include <array>
#include <charconv>
#include <utility>

#include "platform/machine/Text.h"

namespace machine {
namespace {

constexpr std::array<std::pair<DriveType, std::string_view>, 5> kDriveTypeNames = {{
    {DriveType::Fixed, "fixed"},
    {DriveType::Removable, "removable"},
    {DriveType::CdRom, "cdrom"},
    {DriveType::Remote, "remote"},
    {DriveType::RamDisk, "ramdisk"},
}};

}  // namespace

std::optional<DriveType> ParseDriveType(std::string_view name) {
    const std::string folded = text::FoldCase(text::Trim(name));
    for (const auto& [type, typeName] : kDriveTypeNames) {
        if (folded == text::FoldCase(typeName)) {
            return type;
        }
    }
    return std::nullopt;
}

std::string_view DriveTypeName(DriveType type) {
    for (const auto& [t, typeName] : kDriveTypeNames) {
        if (t == type) {
            return typeName;
        }
    }
    return "unknown";
}

std::optional<WindowsVersion> ParseWindowsVersion(std::string_view text) {
    std::array<std::uint32_t, 3> parts{};
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (size_t i = 0; i < parts.size(); ++i) {
        const auto [next, ec] = std::from_chars(p, end, parts[i]);
        if (ec != std::errc() || next == p) {
            return std::nullopt;
        }
        p = next;
        if (i + 1 < parts.size()) {
            if (p == end || *p != '.') {
                return std::nullopt;
            }
            ++p;
        }
    }
    if (p != end) {
        return std::nullopt;
    }
    return WindowsVersion{parts[0], parts[1], parts[2]};
}

std::optional<ProcessorView> MachineProfile::processorView(std::uint16_t peMachine) const {
    if (peMachine != kProcessorX86) {
        return std::nullopt;
    }
    return ProcessorView{systemDir(), false};
}

std::optional<ProcessorView> MachineProfile::X64WindowsView(
    std::uint16_t peMachine, const std::string& wow64SystemDir) const {
    if (peMachine == kProcessorX64) {
        return ProcessorView{systemDir(), false};
    }
    if (peMachine == kProcessorX86) {
        return ProcessorView{wow64SystemDir, true};
    }
    return std::nullopt;
}

}  // namespace machine
