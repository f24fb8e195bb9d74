#pragma once
// Starting programs from a Windows command line. The machine's drives hold Windows programs
// that the host cannot run, so a command line is turned into a host one: the program is a
// host program (a path on the machine's drives, or a name on the host's $PATH) and every
// argument that is a path on one of the machine's drives ("C:\REPORT.HTM") is handed over as
// the host path it stands for. Two Windows programs have a host stand-in: "explorer" on a
// folder and "hh" on a help file both become xdg-open, the desktop's own opener.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/ntdll/Launcher.h"

namespace win32 {

// The window styles of the old Shell function; the host's programs choose their own windows.
inline constexpr int vbHide = 0;
inline constexpr int vbNormalFocus = 1;
inline constexpr int vbMinimizedFocus = 2;
inline constexpr int vbMaximizedFocus = 3;
inline constexpr int vbNormalNoFocus = 4;
inline constexpr int vbMinimizedNoFocus = 6;

// Splits a command line as the Windows start-up code does: blanks separate arguments, double
// quotes group them, 2n backslashes before a quote give n backslashes and a quote that groups,
// 2n+1 give n backslashes and a literal quote; the program name ends at its closing quote or
// first blank, backslashes and all.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The host command for a Windows command line; nullopt when it names no program.
std::optional<LaunchRequest> HostCommand(std::string_view commandLine);

// The old runtime's Shell: starts the command line through the current launcher and returns
// the process id. A program that cannot be started raises run-time error 53 (file not found),
// an empty command line or an unknown window style run-time error 5.
double Shell(std::string_view pathName, int windowStyle = vbMinimizedFocus);

}  // namespace win32
