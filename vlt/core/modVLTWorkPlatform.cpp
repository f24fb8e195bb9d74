// modVLTWork: the files that belong to the platform the machine runs on, and what the platform
// loads where a program brings its own copy of a library the platform provides.

#include <algorithm>

#include "controls/file/QzFile.h"
#include "platform/automation/Text.h"
#include "platform/machine/Machine.h"
#include "platform/win32/kernel32/Paths.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTWork.h"

namespace modVLTWork {

std::optional<machine::PlatformFile> PlatformFileOf(const std::string& path,
                                                    const std::string& wineMark) {
    if (wineMark == "builtin") {
        const std::string_view tail =
            std::string_view(path).substr(path.size() - std::min<std::size_t>(path.size(), 4));
        return machine::PlatformFile{"Wine", automation::EqualsIgnoreCase(tail, ".exe")
                                                 ? "Wine's own program (builtin)"
                                                 : "Wine's own library (builtin)"};
    }
    if (wineMark == "placeholder") {
        return machine::PlatformFile{"Wine", "Wine's placeholder for a library it provides"};
    }
    const auto current = machine::CurrentMachine();
    const auto host = current ? win32::HostPathOf(path) : std::nullopt;
    return host ? current->kind().PlatformFileAt(*host) : std::nullopt;
}

std::string PlatformFileText(const std::string& path, const FileProps& props) {
    return props[kPlatformOwner].empty() ? std::string() : path + " is " + props[kPlatformFile];
}

std::string PlatformNote(const std::string& owner) {
    return "LEFT TO " + automation::UCase(owner);
}

std::optional<machine::LibraryChoice> LibraryChoiceOf(std::span<const std::string> paths) {
    const auto current = machine::CurrentMachine();
    if (!current || paths.empty()) {
        return std::nullopt;
    }
    Qz_File::QzFile& file = vlt::QzFile1();
    for (const std::string& path : paths) {
        bool preferNative = false;
        if (file.GetWineMark(path, &preferNative) == "builtin") {
            return current->kind().LibraryChoiceFor(file.GrabFilename(path), preferNative);
        }
    }
    return std::nullopt;
}

std::string LibraryChoiceText(const machine::LibraryChoice& choice) {
    std::string text = choice.byDefault + " by default (" + choice.why + ")";
    for (const machine::LibraryChoice::Program& program : choice.programs) {
        text += "; " + program.loads + " for " + program.program + " (" + program.why + ")";
    }
    return text;
}

}  // namespace modVLTWork
