#pragma once
// The shell's services for documents and other programs: opening a document or a link with
// the program registered for it, the recent-documents list, and messages to every window.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/ntdll/WinError.h"

namespace win32 {

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_SHOWMINNOACTIVE = 7;

// ShellExecute's failures (values of 32 and below).
inline constexpr UINT SE_ERR_FNF = 2;
inline constexpr UINT SE_ERR_PNF = 3;
inline constexpr UINT SE_ERR_ACCESSDENIED = 5;
inline constexpr UINT SE_ERR_BAD_FORMAT = 11;
inline constexpr UINT SE_ERR_NOASSOC = 31;

// Opens `file` (a document or folder of the machine, or a link such as "http://..." or
// "mailto:...") with the verb `operation` ("open" when empty). The command comes from the
// machine's registry: HKCR\<.ext> names a class (or is one), whose shell\<verb>\command holds a
// command line in which %1 (or %L) stands for the file and %* for `parameters`; a link's class
// is its scheme ("mailto"). The registry is not asked on a machine whose programs may not open
// documents (a Wine prefix's are Windows programs). Without a registered command, "open" and
// "explore" hand the document, folder or link to xdg-open, the desktop's opener; other verbs
// fail with SE_ERR_NOASSOC. A relative `file` is taken in `directory` when one is given.
//
// Returns a value above 32 when the program was started, else SE_ERR_FNF or SE_ERR_PNF for a
// missing file, SE_ERR_BAD_FORMAT for a Windows program (which the host cannot run),
// SE_ERR_NOASSOC when nothing can open it. The window and show command are accepted and not
// used: the host's programs choose their own windows.
UINT ShellExecuteA(HWND hwnd, std::string_view operation, std::string_view file,
                   std::string_view parameters, std::string_view directory, int showCommand);

inline constexpr UINT SHARD_PIDL = 1;
inline constexpr UINT SHARD_PATHA = 2;
inline constexpr UINT SHARD_PATHW = 3;

// With SHARD_PATHA and a path: puts a shortcut to the path (which must exist) in the Recent
// folder, named after the file ("REPORT.HTM.lnk"), replacing an older one. Flags 0 or no path:
// empties the Recent folder of its shortcuts. The Recent folder is made when missing.
void SHAddToRecentDocs(UINT uFlags, std::optional<std::string_view> path);

inline constexpr HWND HWND_BROADCAST = 0xFFFF;
inline constexpr UINT WM_WININICHANGE = 0x001A;
inline constexpr UINT WM_SETTINGCHANGE = 0x001A;

// A message posted to windows of the machine. The machine has no windows of its own, so a
// message to every top-level window is only recorded (a program can look at what it sent);
// a message to any other window fails with ERROR_INVALID_WINDOW_HANDLE.
struct PostedMessage {
    HWND hwnd = 0;
    UINT msg = 0;
    std::uint32_t wParam = 0;
    std::int32_t lParam = 0;
    // The text when lParam pointed to one (WM_WININICHANGE names a section).
    std::optional<std::string> text;

    bool operator==(const PostedMessage&) const = default;
};

bool PostMessageA(HWND hWnd, UINT msg, std::uint32_t wParam, std::int32_t lParam);
bool PostMessageA(HWND hWnd, UINT msg, std::uint32_t wParam, std::string_view lParamText);

// Every message recorded since the program started (or since the last clear), in order.
std::vector<PostedMessage> PostedMessages();
void ClearPostedMessages();

}  // namespace win32
