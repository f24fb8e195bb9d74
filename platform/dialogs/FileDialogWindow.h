// The machine's open and save dialog: a window that shows the machine's drives and folders
// and answers with a Windows path, so that no host path ever reaches the program.
//
// The window needs Qt Widgets and the machine's folder lists, so its library installs it here
// when the program sets up its forms; the Qt dialogs backend shows it for every open and save
// request. Without one installed the backend falls back to Qt's own file dialog.
#pragma once

#include <functional>
#include <optional>

#include "platform/dialogs/Dialogs.h"

namespace dialogs {

// `save` chooses the save dialog; std::nullopt when the user cancelled.
using FileDialogWindow =
    std::function<std::optional<FileDialogResult>(bool save, const FileDialogRequest& request)>;

// Installs a window (an empty one removes it) and returns the previous one.
FileDialogWindow SetFileDialogWindow(FileDialogWindow window);
bool HasFileDialogWindow();
// Shows the installed window; a cancel when there is none.
std::optional<FileDialogResult> ShowFileDialogWindow(bool save, const FileDialogRequest& request);

}  // namespace dialogs
