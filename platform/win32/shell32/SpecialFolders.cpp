#include "platform/win32/shell32/SpecialFolders.h"

#include "platform/machine/Machine.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/kernel32/SystemInfo.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

// Defaults are written with these marks, filled in from the machine:
//   %WIN%   the Windows folder          %SYS%   the system folder
//   %ROOT%  the Windows folder's drive  ("C:")
//   %USER%  the user's profile folder   (9x: the Windows folder, NT: ...\Documents and
//   Settings\<user>) %ALL%   the shared profile folder   (9x: %WIN%\All Users, NT: ...\Documents
//   and Settings\All Users)
struct FolderEntry {
    int csidl;
    std::string_view shellName;
    std::string_view default9x;  // empty: no default
    std::string_view defaultNT;
};

constexpr FolderEntry kFolders[] = {
    {CSIDL_DESKTOP, "Desktop", "%WIN%\\Desktop", "%USER%\\Desktop"},
    {CSIDL_PROGRAMS, "Programs", "%WIN%\\Start Menu\\Programs", "%USER%\\Start Menu\\Programs"},
    {CSIDL_PERSONAL, "Personal", "%ROOT%\\My Documents", "%USER%\\My Documents"},
    {CSIDL_FAVORITES, "Favorites", "%WIN%\\Favorites", "%USER%\\Favorites"},
    {CSIDL_STARTUP, "Startup", "%WIN%\\Start Menu\\Programs\\StartUp",
     "%USER%\\Start Menu\\Programs\\Startup"},
    {CSIDL_RECENT, "Recent", "%WIN%\\Recent", "%USER%\\Recent"},
    {CSIDL_SENDTO, "SendTo", "%WIN%\\SendTo", "%USER%\\SendTo"},
    {CSIDL_STARTMENU, "Start Menu", "%WIN%\\Start Menu", "%USER%\\Start Menu"},
    {CSIDL_MYMUSIC, "My Music", "%ROOT%\\My Documents\\My Music", "%USER%\\My Documents\\My Music"},
    {CSIDL_DESKTOPDIRECTORY, "Desktop", "%WIN%\\Desktop", "%USER%\\Desktop"},
    {CSIDL_NETHOOD, "NetHood", "%WIN%\\NetHood", "%USER%\\NetHood"},
    {CSIDL_FONTS, "Fonts", "%WIN%\\Fonts", "%WIN%\\Fonts"},
    {CSIDL_TEMPLATES, "Templates", "%WIN%\\ShellNew", "%USER%\\Templates"},
    {CSIDL_COMMON_STARTMENU, "Common Start Menu", "%ALL%\\Start Menu", "%ALL%\\Start Menu"},
    {CSIDL_COMMON_PROGRAMS, "Common Programs", "%ALL%\\Start Menu\\Programs",
     "%ALL%\\Start Menu\\Programs"},
    {CSIDL_COMMON_STARTUP, "Common Startup", "%ALL%\\Start Menu\\Programs\\StartUp",
     "%ALL%\\Start Menu\\Programs\\Startup"},
    {CSIDL_COMMON_DESKTOPDIRECTORY, "Common Desktop", "%ALL%\\Desktop", "%ALL%\\Desktop"},
    {CSIDL_APPDATA, "AppData", "%WIN%\\Application Data", "%USER%\\Application Data"},
    {CSIDL_PRINTHOOD, "PrintHood", "%WIN%\\PrintHood", "%USER%\\PrintHood"},
    {CSIDL_LOCAL_APPDATA, "Local AppData", "%WIN%\\Local Settings\\Application Data",
     "%USER%\\Local Settings\\Application Data"},
    {CSIDL_ALTSTARTUP, "AltStartup", "", ""},
    {CSIDL_COMMON_ALTSTARTUP, "Common AltStartup", "", ""},
    {CSIDL_COMMON_FAVORITES, "Common Favorites", "%ALL%\\Favorites", "%ALL%\\Favorites"},
    {CSIDL_INTERNET_CACHE, "Cache", "%WIN%\\Temporary Internet Files",
     "%USER%\\Local Settings\\Temporary Internet Files"},
    {CSIDL_COOKIES, "Cookies", "%WIN%\\Cookies", "%USER%\\Cookies"},
    {CSIDL_HISTORY, "History", "%WIN%\\History", "%USER%\\Local Settings\\History"},
    {CSIDL_COMMON_APPDATA, "Common AppData", "%ALL%\\Application Data", "%ALL%\\Application Data"},
    {CSIDL_WINDOWS, "Windows", "%WIN%", "%WIN%"},
    {CSIDL_SYSTEM, "System", "%SYS%", "%SYS%"},
    {CSIDL_PROGRAM_FILES, "Program Files", "%ROOT%\\Program Files", "%ROOT%\\Program Files"},
    {CSIDL_MYPICTURES, "My Pictures", "%ROOT%\\My Documents\\My Pictures",
     "%USER%\\My Documents\\My Pictures"},
    {CSIDL_PROGRAM_FILES_COMMON, "Common Files", "%ROOT%\\Program Files\\Common Files",
     "%ROOT%\\Program Files\\Common Files"},
    {CSIDL_COMMON_TEMPLATES, "Common Templates", "%ALL%\\Templates", "%ALL%\\Templates"},
    {CSIDL_COMMON_DOCUMENTS, "Common Documents", "%ALL%\\Documents", "%ALL%\\Documents"},
    {CSIDL_COMMON_ADMINTOOLS, "Common Administrative Tools",
     "%ALL%\\Start Menu\\Programs\\Administrative Tools",
     "%ALL%\\Start Menu\\Programs\\Administrative Tools"},
    {CSIDL_ADMINTOOLS, "Administrative Tools", "%WIN%\\Start Menu\\Programs\\Administrative Tools",
     "%USER%\\Start Menu\\Programs\\Administrative Tools"},
};

const FolderEntry* Find(int nFolder) {
    const int csidl = nFolder & ~CSIDL_FLAG_MASK;
    for (const FolderEntry& entry : kFolders) {
        if (entry.csidl == csidl) {
            return &entry;
        }
    }
    return nullptr;
}

void ReplaceAll(std::string& text, std::string_view mark, const std::string& value) {
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
        text.replace(at, mark.size(), value);
        at += value.size();
    }
}

std::string Expand(std::string_view pattern, const machine::MachineProfile& profile) {
    const std::string windows = profile.windowsDir();
    const std::string root = windows.substr(0, 2);
    const bool nt = profile.platform() == machine::Platform::NT;
    const std::string profiles = root + "\\Documents and Settings";
    std::string user;
    if (nt) {
        user = profiles + "\\" + GetUserNameA().value_or("Default User");
    }
    std::string text(pattern);
    ReplaceAll(text, "%WIN%", windows);
    ReplaceAll(text, "%SYS%", profile.systemDir());
    ReplaceAll(text, "%ROOT%", root);
    ReplaceAll(text, "%USER%", nt ? user : windows);
    ReplaceAll(text, "%ALL%", nt ? profiles + "\\All Users" : windows + "\\All Users");
    return text;
}

// Creates `path` and every missing folder on its way; false with the last error set.
bool CreateFolders(const machine::WindowsPath& path) {
    machine::WindowsPath prefix{path.drive, {}};
    for (const std::string& component : path.components) {
        prefix.components.push_back(component);
        const auto target = detail::Resolve(prefix.str());
        if (!target) {
            return false;
        }
        if (!target->exists && !CreateDirectoryA(prefix.str()) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return true;
}

bool IsFolder(std::string_view path) {
    const auto target = detail::Resolve(path);
    host::FileStat st;
    return target && target->exists && host::Stat(target->host, st) == 0 && st.isDirectory;
}

}  // namespace

std::optional<std::string_view> SpecialFolderShellName(int nFolder) {
    const FolderEntry* entry = Find(nFolder);
    return entry != nullptr ? std::optional(entry->shellName) : std::nullopt;
}

std::optional<std::string> SHGetFolderPathA(HWND, int nFolder, DWORD, DWORD dwFlags) {
    const auto current = machine::CurrentMachine();
    if (!current) {
        SetLastError(ERROR_NOT_READY);
        return std::nullopt;
    }
    const FolderEntry* entry = Find(nFolder);
    if (entry == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    const auto& profile = current->profile();
    std::optional<std::string> text;
    if (dwFlags != SHGFP_TYPE_DEFAULT && entry->csidl != CSIDL_WINDOWS &&
        entry->csidl != CSIDL_SYSTEM) {
        // The [Folders] value itself: the profile's own fallbacks know only the 9x family.
        text = profile.value("Folders", entry->shellName);
        if (text && text->empty()) {
            text.reset();
        }
    }
    if (!text) {
        const std::string_view pattern =
            profile.platform() == machine::Platform::NT ? entry->defaultNT : entry->default9x;
        if (pattern.empty()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return std::nullopt;
        }
        text = Expand(pattern, profile);
    }
    machine::PathError error = machine::PathError::None;
    const auto path = machine::ParseWindowsPath(*text, current->currentDirectory(), error);
    if (!path) {
        SetLastError(static_cast<DWORD>(error));
        return std::nullopt;
    }
    const std::string result = path->str();
    if ((nFolder & CSIDL_FLAG_DONT_VERIFY) == 0 && !IsFolder(result)) {
        if ((nFolder & CSIDL_FLAG_CREATE) == 0) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return std::nullopt;
        }
        if (!CreateFolders(*path)) {
            return std::nullopt;
        }
        if (!IsFolder(result)) {
            // A file holds the folder's name.
            SetLastError(ERROR_ALREADY_EXISTS);
            return std::nullopt;
        }
    }
    SetLastError(ERROR_SUCCESS);
    return result;
}

}  // namespace win32
