// File and shell operations: the Recycle Bin, path pieces, shortcuts, the recent-documents
// list, INI values and the save prompt (moves at the next start of Windows: QzFileRestart.cpp).
#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <optional>

#include "controls/file/QzFile.h"
#include "controls/file/WindowsFolder.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/win32/kernel32/Directories.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/kernel32/Profile.h"
#include "platform/win32/kernel32/SystemInfo.h"
#include "platform/win32/ntdll/LastError.h"
#include "platform/win32/shell32/Shell.h"
#include "platform/win32/shell32/Trash.h"
#include "platform/win32/shell32/WshShell.h"

namespace Qz_File {
namespace {

// The buffer the INI reader hands back holds 259 characters and its NUL.
constexpr std::size_t kIniValueCharacters = 259;

}  // namespace

std::string WindowsFolder() {
    auto folder = win32::GetWindowsDirectoryA();
    if (!folder) {
        dialogs::MsgBox(std::to_string(win32::GetLastError()));
        return {};
    }
    if (!folder->ends_with('\\')) {
        *folder += '\\';
    }
    return *folder;
}

namespace {

bool IsWinIni(const std::string& file) {
    return automation::EqualsIgnoreCase(file, WindowsFolder() + "win.ini");
}

// The folder a shortcut starts in when none is given: the target's own folder, without its
// trailing backslash unless it is a drive root.
std::string FolderOf(const QzFile& file, const std::string& target) {
    std::string folder = file.GrabFilePath(target);
    if (folder.size() > 1 && folder.ends_with('\\') && !folder.ends_with(":\\")) {
        folder.pop_back();
    }
    return folder;
}

std::string FirstCharacters(const std::string& text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t n = 0; n < count && pos < text.size(); ++n) {
        automation::NextCodePoint(text, pos);
    }
    return text.substr(0, pos);
}

}  // namespace

bool QzFile::Recycle(const std::string& sfile) {
    // A pattern or a list of paths each ended by a NUL goes to the shell as it is.
    if (sfile.find_first_of(std::string_view("*?\0", 3)) == std::string::npos &&
        !FileExists(sfile)) {
        return true;
    }
    win32::SHFILEOPSTRUCTA operation;
    operation.hwnd = containerHwnd_;
    operation.wFunc = win32::FO_DELETE;
    operation.pFrom = sfile;
    operation.pFrom.append(2, '\0');
    operation.fFlags = win32::FOF_ALLOWUNDO;
    return win32::SHFileOperationA(operation) == 0;
}

bool QzFile::EmptyRecycleBin(const std::optional<std::string>& DriveToEmpty,
                             std::optional<CLEAR_RECYCLE> Options) {
    return win32::SHEmptyRecycleBinA(containerHwnd_, DriveToEmpty.value_or(std::string()),
                                     static_cast<win32::DWORD>(Options.value_or(SHERB_NORMAL))) ==
           win32::S_OK;
}

bool QzFile::FileExists(const std::string& sfile) {
    return win32::AttributesBeyondFolder(sfile);
}

std::string QzFile::GrabFilename(const std::string& f) const {
    const auto slash = f.rfind('\\');
    return slash == std::string::npos ? f : f.substr(slash + 1);
}

std::string QzFile::GrabFilePath(const std::string& f) const {
    const auto slash = f.rfind('\\');
    return slash == std::string::npos ? std::string() : f.substr(0, slash + 1);
}

std::string QzFile::GrabFileNameNoExt(const std::string& f) const {
    const std::string name = GrabFilename(f);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool QzFile::CreateShortcut(const std::string& sShortcutPath, const std::string& sDescription,
                            const std::string& sTargetPath,
                            const std::optional<std::string>& sArguments,
                            const std::optional<std::string>& sWorkingDirectory,
                            const std::optional<std::string>& sHotKey,
                            const std::optional<std::string>& sIconLocation,
                            std::optional<std::int16_t> iWindowStyle) {
    const auto shell = automation::CreateObjectAs<win32::WshShell>(win32::WshShell::kProgID);
    std::string path = sShortcutPath;
    const std::string ending = automation::LCase(
        path.size() >= 4 ? std::string_view(path).substr(path.size() - 4) : std::string_view());
    if (ending != ".lnk" && ending != ".url") {
        path += ".lnk";
    }
    const auto object = shell->CreateShortcut(path);
    if (const auto url = std::dynamic_pointer_cast<win32::WshURLShortcut>(object)) {
        // An Internet shortcut holds its address and nothing else.
        url->SetTargetPath(sTargetPath);
        url->Save();
        return true;
    }
    const auto shortcut = std::dynamic_pointer_cast<win32::WshShortcut>(object);
    if (!shortcut) {
        return false;
    }
    if (sArguments && !sArguments->empty()) {
        shortcut->SetArguments(*sArguments);
    }
    shortcut->SetDescription(sDescription);
    if (sHotKey && !sHotKey->empty()) {
        shortcut->SetHotkey(*sHotKey);
    }
    shortcut->SetIconLocation(sIconLocation && !sIconLocation->empty() ? *sIconLocation
                                                                       : sTargetPath + ",1");
    shortcut->SetTargetPath(sTargetPath);
    shortcut->SetWindowStyle(iWindowStyle.value_or(kDefaultWindowStyle));
    shortcut->SetWorkingDirectory(sWorkingDirectory && !sWorkingDirectory->empty()
                                      ? *sWorkingDirectory
                                      : FolderOf(*this, sTargetPath));
    shortcut->Save();
    return true;
}

void QzFile::AddToRecentDocuments(const std::string& sfile) {
    win32::SHAddToRecentDocs(win32::SHARD_PATHA, sfile);
}

void QzFile::ClearRecentDocuments() {
    win32::SHAddToRecentDocs(0, std::nullopt);
}

void QzFile::WriteINIValue(const std::string& sINIFile, const std::string& sSection,
                           const std::string& sKey, const std::string& sValue) {
    if (!win32::WritePrivateProfileStringA(sSection, sKey, sValue, sINIFile)) {
        win32::RaiseLastError(QzFile::kProgID);
    }
    if (IsWinIni(sINIFile)) {
        win32::PostMessageA(win32::HWND_BROADCAST, win32::WM_WININICHANGE, 0, sSection);
    }
}

std::string QzFile::ReadINIValue(const std::string& sINIFile, const std::string& sSection,
                                 const std::string& sKey,
                                 const std::optional<std::string>& sDefault) {
    const std::string fallback = sDefault.value_or(std::string());
    const std::string value =
        IsWinIni(sINIFile) ? win32::GetProfileStringA(sSection, sKey, fallback)
                           : win32::GetPrivateProfileStringA(sSection, sKey, fallback, sINIFile);
    return FirstCharacters(value, kIniValueCharacters);
}

std::int16_t QzFile::VerifySave(const std::optional<std::string>& ObjectToSave) {
    // Without a name the prompt would ask about nothing; the default names what is meant.
    const std::string object =
        ObjectToSave && !ObjectToSave->empty() ? *ObjectToSave : std::string("project");
    const std::string first = FirstCharacters(object, 1);
    const std::string title = automation::UCase(first) + object.substr(first.size()) + " not Saved";
    return static_cast<std::int16_t>(
        dialogs::MsgBox("Do you wish to save your " + object + "?", dialogs::vbYesNoCancel, title));
}

}  // namespace Qz_File
