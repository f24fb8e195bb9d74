// The directory picker: the small modal folder window of the file-services control, with its
// optional check that the chosen folder holds a required file.
//
// The window itself needs Qt Widgets, which the file-services control must not depend on, so
// the window's library installs itself here when the program sets up its forms, and the
// control calls through this seam. Without an installed picker every request is a cancel.
#pragma once

#include <functional>
#include <string>

#include "platform/dialogs/Dialogs.h"

namespace dialogs {

struct DirectoryPickerResult {
    // The chosen folder (a drive root keeps its backslash, C:\; any other folder has none);
    // empty when cancelled or when the chosen folder lacks the required file.
    std::string resultDir;
    bool canceled = true;
    // Only meaningful when the request named a required file.
    bool requiredFileFound = false;
};

using DirectoryPicker = std::function<DirectoryPickerResult(const FolderDialogRequest&)>;

// Installs a picker (an empty one removes it) and returns the previous one.
DirectoryPicker SetDirectoryPicker(DirectoryPicker picker);
bool HasDirectoryPicker();

// Shows the installed picker; a cancel when there is none.
DirectoryPickerResult ShowDirectoryPicker(const FolderDialogRequest& request);

// Installs a picker for the lifetime of the object and puts the previous one back.
class ScopedDirectoryPicker {
  public:
    explicit ScopedDirectoryPicker(DirectoryPicker picker);
    ~ScopedDirectoryPicker();
    ScopedDirectoryPicker(const ScopedDirectoryPicker&) = delete;
    ScopedDirectoryPicker& operator=(const ScopedDirectoryPicker&) = delete;

  private:
    DirectoryPicker previous_;
};

}  // namespace dialogs
