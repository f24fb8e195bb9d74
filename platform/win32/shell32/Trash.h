#pragma once
// The Recycle Bin of the emulated machine is the desktop's Trash, in the freedesktop.org Trash
// layout: $XDG_DATA_HOME/Trash (else ~/.local/share/Trash) holding the
// files under files/ and, for each, info/<name>.trashinfo with its original path and the
// time it was deleted. File managers show, restore and empty what the machine put there.
//
// Emptying the bin only ever touches entries whose original path lies on the machine's drives:
// whatever else the user keeps in the desktop's Trash is not the machine's to delete.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/win32/ntdll/WinError.h"

namespace win32 {

inline constexpr UINT FO_MOVE = 1;
inline constexpr UINT FO_COPY = 2;
inline constexpr UINT FO_DELETE = 3;
inline constexpr UINT FO_RENAME = 4;

inline constexpr WORD FOF_SILENT = 0x0004;
inline constexpr WORD FOF_NOCONFIRMATION = 0x0010;
inline constexpr WORD FOF_ALLOWUNDO = 0x0040;
inline constexpr WORD FOF_FILESONLY = 0x0080;
inline constexpr WORD FOF_SIMPLEPROGRESS = 0x0100;
inline constexpr WORD FOF_NOERRORUI = 0x0400;

struct SHFILEOPSTRUCTA {
    HWND hwnd = 0;
    UINT wFunc = 0;
    // Paths each ended by a NUL and the list by a second one ("C:\A\0C:\B\0\0"), as the
    // callers build it; text without any NUL is one path. The last part of a path may hold
    // the wildcards * and ? ("C:\BACKUP\*.*").
    std::string pFrom;
    std::string pTo;
    WORD fFlags = 0;
    bool fAnyOperationsAborted = false;
    std::string lpszProgressTitle;
};

// FO_DELETE: the paths (wildcards expanded; folders too unless FOF_FILESONLY) go to the Trash
// with FOF_ALLOWUNDO, else are deleted for good, folders with their contents. Unless
// FOF_NOCONFIRMATION the user is asked first through the dialogs service (Yes/No); a No sets
// fAnyOperationsAborted and returns ERROR_CANCELLED. A failure is shown (unless
// FOF_NOERRORUI), the other paths are still handled, and the first failure's Win32 code comes
// back; 0 when everything went. A plain path that does not exist is ERROR_FILE_NOT_FOUND; a
// pattern matching nothing is nothing to do. The other functions return ERROR_INVALID_FUNCTION:
// nothing on the machine moves, copies or renames through the shell.
int SHFileOperationA(SHFILEOPSTRUCTA& operation);

using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT HRESULT_FROM_WIN32(DWORD code) {
    return code == 0 ? S_OK : static_cast<HRESULT>(0x80070000u | (code & 0xFFFF));
}

inline constexpr DWORD SHERB_NOCONFIRMATION = 0x1;
inline constexpr DWORD SHERB_NOPROGRESSUI = 0x2;
inline constexpr DWORD SHERB_NOSOUND = 0x4;

// Deletes for good what the machine's drive `rootPath` ("C:\"; empty: every drive) put in
// the Trash, after asking unless SHERB_NOCONFIRMATION. S_OK also when there was nothing;
// HRESULT_FROM_WIN32(ERROR_CANCELLED) when the user said no; E_INVALIDARG for a root that is
// not one of the machine's drives; E_FAIL when an entry could not be deleted.
HRESULT SHEmptyRecycleBinA(HWND hwnd, std::string_view rootPath, DWORD dwFlags);

// The Trash folder: $XDG_DATA_HOME/Trash, else $HOME/.local/share/Trash.
std::filesystem::path TrashFolder();

}  // namespace win32
