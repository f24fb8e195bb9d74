#include "controls/debug/Desktop.h"

#include <iostream>

#include "platform/automation/Errors.h"
#include "platform/win32/kernel32/Process.h"
#include "platform/win32/shell32/Shell.h"

namespace Qz_Debug {

void OpenLinkOnDesktop(const std::string& link) {
    win32::ShellExecuteA(0, "open", link, "", "", win32::SW_SHOWNORMAL);
}

void ShowFolderInFileManager(const std::string& windowsFolder) {
    // Quoted, so that a folder with blanks stays one argument; the closing backslash is doubled
    // so that it does not escape the quote.
    const std::string quoted =
        "\"" + windowsFolder + (windowsFolder.ends_with('\\') ? "\\" : "") + "\"";
    try {
        win32::Shell("explorer.exe " + quoted, win32::vbNormalFocus);
    } catch (const automation::Error& e) {
        // The error being reported matters more than the folder window; say why it is missing.
        std::cerr << "The trace folder " << windowsFolder << " cannot be shown: " << e.Description()
                  << '\n';
    }
}

}  // namespace Qz_Debug
