#include "platform/machine/NtVersion.h"

#include <charconv>

#include "platform/machine/Text.h"

namespace machine {
namespace {

std::optional<std::uint32_t> Number(std::string_view text) {
    text = text::Trim(text);
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<WindowsVersion> NtVersionFrom(const NtVersionValues& values) {
    WindowsVersion version;
    const auto major = values.dword("CurrentMajorVersionNumber");
    const auto minor = values.dword("CurrentMinorVersionNumber");
    if (major && minor) {
        version.major = *major;
        version.minor = *minor;
    } else {
        const auto current = values.text("CurrentVersion");
        const std::size_t dot = current ? current->find('.') : std::string::npos;
        if (dot == std::string::npos) {
            return std::nullopt;
        }
        const auto a = Number(std::string_view(*current).substr(0, dot));
        const auto b = Number(std::string_view(*current).substr(dot + 1));
        if (!a || !b) {
            return std::nullopt;
        }
        version.major = *a;
        version.minor = *b;
    }
    for (const char* name : {"CurrentBuildNumber", "CurrentBuild"}) {
        if (const auto text = values.text(name)) {
            if (const auto build = Number(*text)) {
                version.build = *build;
                break;
            }
        }
    }
    return version;
}

}  // namespace machine
