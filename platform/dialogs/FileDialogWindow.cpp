#include "platform/dialogs/FileDialogWindow.h"

#include <utility>

namespace dialogs {

namespace {

FileDialogWindow& Installed() {
    static FileDialogWindow window;
    return window;
}

}  // namespace

FileDialogWindow SetFileDialogWindow(FileDialogWindow window) {
    std::swap(Installed(), window);
    return window;
}

bool HasFileDialogWindow() {
    return static_cast<bool>(Installed());
}

std::optional<FileDialogResult> ShowFileDialogWindow(bool save, const FileDialogRequest& request) {
    // A copy, so that a window that replaces itself while it runs stays alive until it returns.
    const FileDialogWindow window = Installed();
    if (!window) {
        return std::nullopt;
    }
    return window(save, request);
}

}  // namespace dialogs
