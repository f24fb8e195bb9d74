#include "vlt/core/SystemFolders.h"

#include <array>
#include <charconv>
#include <utility>

#include "controls/file/QzFile.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Text.h"
#include "platform/machine/Machine.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTWorkActions.h"

namespace modVLTWork {
namespace {

constexpr std::array<std::pair<std::uint16_t, const char*>, 4> kProcessorNames = {{
    {0x014C, "x86"},
    {0x8664, "x64"},
    {0xAA64, "ARM64"},
    {0x01C4, "ARM"},
}};

std::optional<machine::ProcessorView> ViewOfProcessor(std::uint16_t processor) {
    const auto current = machine::CurrentMachine();
    if (!current) {
        return std::nullopt;
    }
    return current->profile().processorView(processor);
}

std::optional<machine::ProcessorView> ViewOf(const std::string& imageType) {
    const auto processor = ProcessorOf(imageType);
    return processor ? ViewOfProcessor(*processor) : std::nullopt;
}

std::string MachineSystemFolder() {
    return QzBase::LastSlash(vlt::Sys1().SystemDir());
}

}  // namespace

std::optional<std::uint16_t> ProcessorOf(const std::string& imageType) {
    constexpr std::string_view kPe = "PE ";
    if (!imageType.starts_with(kPe)) {
        return std::nullopt;
    }
    std::uint16_t machine = 0;
    const char* begin = imageType.data() + kPe.size();
    const char* end = imageType.data() + imageType.size();
    const auto [next, error] = std::from_chars(begin, end, machine, 16);
    if (error != std::errc() || next != end) {
        return std::nullopt;
    }
    return machine;
}

std::string ProcessorName(const std::string& imageType) {
    if (const auto processor = ProcessorOf(imageType)) {
        for (const auto& [machine, name] : kProcessorNames) {
            if (machine == *processor) {
                return name;
            }
        }
    }
    return imageType;
}

std::optional<std::string> ProcessorSystemFolder(const std::string& imageType) {
    const auto view = ViewOf(imageType);
    if (!view) {
        return std::nullopt;
    }
    return QzBase::LastSlash(view->systemDir);
}

std::string SystemFolderFor(const std::string& imageType) {
    return ProcessorSystemFolder(imageType).value_or(MachineSystemFolder());
}

std::string SystemFolderOf(const std::string& path) {
    return SystemFolderFor(vlt::QzFile1().GetImageType(path));
}

bool IsSystemFolder(const std::string& folder) {
    const std::string slashed = QzBase::LastSlash(folder);
    if (automation::EqualsIgnoreCase(slashed, MachineSystemFolder())) {
        return true;
    }
    for (const auto& [processor, name] : kProcessorNames) {
        const auto view = ViewOfProcessor(processor);
        if (view && automation::EqualsIgnoreCase(slashed, QzBase::LastSlash(view->systemDir))) {
            return true;
        }
    }
    return false;
}

std::string SharedDllsKeyOf(const std::string& path) {
    const auto view = ViewOf(vlt::QzFile1().GetImageType(path));
    if (view && view->wow64Registry) {
        return kSharedDLLsKey32;
    }
    return kSharedDLLsKey;
}

}  // namespace modVLTWork
