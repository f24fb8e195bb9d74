// What the error dialogs hand to the user's desktop: a mail link for the default mail handler,
// and a folder for the file manager. Both go through the platform's launcher; neither reports
// back whether anything opened.
#pragma once

#include <string>

namespace Qz_Debug {

void OpenLinkOnDesktop(const std::string& link);
// Starts "explorer.exe {folder}" in a normal window.
void ShowFolderInFileManager(const std::string& windowsFolder);

}  // namespace Qz_Debug
