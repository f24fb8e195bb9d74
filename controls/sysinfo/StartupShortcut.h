// The Startup-folder entry of AddStartupProgram: a shortcut made through the shell object
// "WScript.Shell".
#pragma once

#include <string>

namespace Qz_System_Info {

// The file name of the shortcut: `valueName` when given, else the program's name (the first
// word of the command line without its folder and extension); characters a file name cannot
// hold become "_"; ".lnk" is added.
std::string StartupShortcutName(const std::string& commandLine, const std::string& valueName);

// Writes (or replaces) the shortcut in `folder`: the program of `commandLine` as its target, the
// rest as its arguments, `valueName` as its description, window style 3 (maximized).
void CreateStartupShortcut(const std::string& folder, const std::string& commandLine,
                           const std::string& valueName);

}  // namespace Qz_System_Info
