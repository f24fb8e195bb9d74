#pragma once
// The shell's special folders of the emulated machine (SHGetFolderPathA). A folder's path is
// the profile's [Folders] value under the folder's shell name ("Personal", "Startup",
// "Common Programs", the names Windows keeps under "Shell Folders"), else the default of the
// machine's family:
//   9x: in the Windows folder (C:\WINDOWS\Start Menu\Programs\StartUp), documents in
//       C:\My Documents, shared folders under C:\WINDOWS\All Users;
//   NT: in C:\Documents and Settings\<user> and ...\All Users on the Windows drive.
// The virtual folders (Internet, Control Panel, Printers, Recycle Bin, My Computer, Network)
// have no path.

#include <optional>
#include <string>
#include <string_view>

#include "platform/win32/ntdll/WinError.h"

namespace win32 {

inline constexpr int CSIDL_DESKTOP = 0x0000;
inline constexpr int CSIDL_INTERNET = 0x0001;
inline constexpr int CSIDL_PROGRAMS = 0x0002;
inline constexpr int CSIDL_CONTROLS = 0x0003;
inline constexpr int CSIDL_PRINTERS = 0x0004;
inline constexpr int CSIDL_PERSONAL = 0x0005;
inline constexpr int CSIDL_FAVORITES = 0x0006;
inline constexpr int CSIDL_STARTUP = 0x0007;
inline constexpr int CSIDL_RECENT = 0x0008;
inline constexpr int CSIDL_SENDTO = 0x0009;
inline constexpr int CSIDL_BITBUCKET = 0x000A;
inline constexpr int CSIDL_STARTMENU = 0x000B;
inline constexpr int CSIDL_MYMUSIC = 0x000D;
inline constexpr int CSIDL_DESKTOPDIRECTORY = 0x0010;
inline constexpr int CSIDL_DRIVES = 0x0011;
inline constexpr int CSIDL_NETWORK = 0x0012;
inline constexpr int CSIDL_NETHOOD = 0x0013;
inline constexpr int CSIDL_FONTS = 0x0014;
inline constexpr int CSIDL_TEMPLATES = 0x0015;
inline constexpr int CSIDL_COMMON_STARTMENU = 0x0016;
inline constexpr int CSIDL_COMMON_PROGRAMS = 0x0017;
inline constexpr int CSIDL_COMMON_STARTUP = 0x0018;
inline constexpr int CSIDL_COMMON_DESKTOPDIRECTORY = 0x0019;
inline constexpr int CSIDL_APPDATA = 0x001A;
inline constexpr int CSIDL_PRINTHOOD = 0x001B;
inline constexpr int CSIDL_LOCAL_APPDATA = 0x001C;
inline constexpr int CSIDL_ALTSTARTUP = 0x001D;
inline constexpr int CSIDL_COMMON_ALTSTARTUP = 0x001E;
inline constexpr int CSIDL_COMMON_FAVORITES = 0x001F;
inline constexpr int CSIDL_INTERNET_CACHE = 0x0020;
inline constexpr int CSIDL_COOKIES = 0x0021;
inline constexpr int CSIDL_HISTORY = 0x0022;
inline constexpr int CSIDL_COMMON_APPDATA = 0x0023;
inline constexpr int CSIDL_WINDOWS = 0x0024;
inline constexpr int CSIDL_SYSTEM = 0x0025;
inline constexpr int CSIDL_PROGRAM_FILES = 0x0026;
inline constexpr int CSIDL_MYPICTURES = 0x0027;
inline constexpr int CSIDL_PROGRAM_FILES_COMMON = 0x002B;
inline constexpr int CSIDL_COMMON_TEMPLATES = 0x002D;
inline constexpr int CSIDL_COMMON_DOCUMENTS = 0x002E;
inline constexpr int CSIDL_COMMON_ADMINTOOLS = 0x002F;
inline constexpr int CSIDL_ADMINTOOLS = 0x0030;

inline constexpr int CSIDL_FLAG_DONT_VERIFY = 0x4000;
inline constexpr int CSIDL_FLAG_CREATE = 0x8000;
inline constexpr int CSIDL_FLAG_MASK = 0xFF00;

inline constexpr DWORD SHGFP_TYPE_CURRENT = 0;
inline constexpr DWORD SHGFP_TYPE_DEFAULT = 1;

// The folder's path without a trailing backslash. With CSIDL_FLAG_CREATE a missing folder is
// created (with the folders on its way); with CSIDL_FLAG_DONT_VERIFY the path comes back
// whether the folder exists or not; otherwise a missing folder fails with
// ERROR_FILE_NOT_FOUND. SHGFP_TYPE_DEFAULT gives the family's default, ignoring the profile.
// Fails with ERROR_INVALID_PARAMETER for a number that names no folder with a path. The
// owner window and access token are accepted and not used: the machine has one user.
std::optional<std::string> SHGetFolderPathA(HWND hwndOwner, int nFolder, DWORD hToken,
                                            DWORD dwFlags);

// The shell name of a folder number ("Personal" for CSIDL_PERSONAL); nullopt for virtual
// folders and unknown numbers. Flags in the number are ignored.
std::optional<std::string_view> SpecialFolderShellName(int nFolder);

}  // namespace win32
