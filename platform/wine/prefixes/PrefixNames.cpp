#include "platform/wine/prefixes/PrefixNames.h"

#include <algorithm>
#include <array>

#include "platform/machine/MachineError.h"
#include "platform/machine/Text.h"
#include "platform/wine/prefixes/PrefixFinder.h"

namespace wine::prefixes {
namespace {
namespace fs = std::filesystem;

constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kTitles = {{
    {"steam", "Steam"},
    {"lutris", "Lutris"},
    {"bottles", "Bottles"},
    {"heroic", "Heroic"},
    {"playonlinux", "PlayOnLinux"},
    {"crossover", "CrossOver"},
    {"wine", "Wine"},
}};

std::string Line(const FoundPrefix& row, const Naming& naming) {
    std::string line = "  " + naming.machineName();
    if (!naming.name.empty()) {
        line += "  " + naming.name;
    }
    return line + "  " + row.folder.string() + (row.isPrefix() ? "" : " (" + row.problem + ")");
}

}  // namespace

std::string LauncherTitle(std::string_view launcher) {
    for (const auto& [name, shown] : kTitles) {
        if (machine::text::EqualsNoCase(name, launcher)) {
            return std::string(shown);
        }
    }
    return std::string(launcher);
}

std::string Naming::launcherTitle() const {
    return LauncherTitle(launcher) + (flatpak ? " (Flatpak)" : "");
}

bool IsMachineName(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view launcher = text.substr(0, colon);
    const bool known = std::any_of(kTitles.begin(), kTitles.end(), [&](const auto& title) {
        return machine::text::EqualsNoCase(title.first, launcher);
    });
    std::error_code ec;
    return known && !fs::exists(fs::path(text), ec);
}

fs::path PickByName(std::string_view name, const std::vector<FoundPrefix>& found) {
    const std::size_t colon = name.find(':');
    const std::string_view launcher = name.substr(0, colon);
    const std::string_view wanted = name.substr(colon + 1);
    std::vector<std::string> candidates;
    std::vector<const FoundPrefix*> picked;
    for (const FoundPrefix& row : found) {
        if (row.folder.empty()) {
            continue;
        }
        for (const Naming& naming : row.namings) {
            if (!machine::text::EqualsNoCase(naming.launcher, launcher)) {
                continue;
            }
            candidates.push_back(Line(row, naming));
            if ((machine::text::EqualsNoCase(naming.id, wanted) ||
                 machine::text::EqualsNoCase(naming.name, wanted)) &&
                std::find(picked.begin(), picked.end(), &row) == picked.end()) {
                picked.push_back(&row);
            }
        }
    }
    const std::string given(name);
    if (picked.size() == 1) {
        if (!picked.front()->isPrefix()) {
            throw machine::MachineError(given + " names " + picked.front()->folder.string() +
                                        ", which is no Wine prefix: " + picked.front()->problem);
        }
        return picked.front()->folder;
    }
    std::string message;
    if (picked.empty()) {
        message = "no prefix is named " + given;
        message += candidates.empty() ? " (no " + LauncherTitle(launcher) + " prefix was found)"
                                      : "; these are:";
    } else {
        message = given + " names more than one prefix; give the folder instead:";
        candidates.clear();
        for (const FoundPrefix* row : picked) {
            candidates.push_back(Line(*row, row->naming()));
        }
    }
    for (const std::string& line : candidates) {
        message += "\n" + line;
    }
    throw machine::MachineError(message);
}

std::string ResolveMachineArgument(const std::string& argument) {
    if (!IsMachineName(argument)) {
        return argument;
    }
    return PickByName(argument, FindPrefixes(Home::FromEnvironment())).string();
}

}  // namespace wine::prefixes
