#include "controls/sysinfo/StartupShortcut.h"

#include <memory>
#include <string_view>

#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "platform/win32/kernel32/Process.h"
#include "platform/win32/shell32/WshShell.h"

namespace Qz_System_Info {
namespace {

constexpr std::int32_t kMaximized = 3;

// The program of a command line and the text of its arguments, kept as written.
std::pair<std::string, std::string> ProgramAndArguments(std::string_view commandLine) {
    const std::string_view line = automation::Trim(commandLine);
    const auto words = win32::SplitCommandLine(line);
    if (words.empty()) {
        return {};
    }
    std::size_t end = 0;
    if (line.starts_with('"')) {
        const std::size_t close = line.find('"', 1);
        end = close == std::string_view::npos ? line.size() : close + 1;
    } else {
        end = std::min(line.find(' '), line.size());
    }
    return {words.front(), std::string(automation::Trim(line.substr(end)))};
}

std::string FileTitleWithoutExtension(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot));
}

}  // namespace

std::string StartupShortcutName(const std::string& commandLine, const std::string& valueName) {
    std::string name = valueName.empty()
                           ? FileTitleWithoutExtension(ProgramAndArguments(commandLine).first)
                           : valueName;
    for (char& ch : name) {
        if (static_cast<unsigned char>(ch) < 32 ||
            std::string_view("\\/:*?\"<>|").find(ch) != std::string_view::npos) {
            ch = '_';
        }
    }
    return (name.empty() ? std::string("Startup program") : name) + ".lnk";
}

void CreateStartupShortcut(const std::string& folder, const std::string& commandLine,
                           const std::string& valueName) {
    const auto shell = automation::CreateObjectAs<win32::WshShell>(win32::WshShell::kProgID);
    const auto shortcut = std::dynamic_pointer_cast<win32::WshShortcut>(
        shell->CreateShortcut(folder + "\\" + StartupShortcutName(commandLine, valueName)));
    const auto [program, arguments] = ProgramAndArguments(commandLine);
    shortcut->SetTargetPath(program);
    shortcut->SetArguments(arguments);
    shortcut->SetDescription(valueName);
    shortcut->SetWindowStyle(kMaximized);
    shortcut->Save();
}

}  // namespace Qz_System_Info
