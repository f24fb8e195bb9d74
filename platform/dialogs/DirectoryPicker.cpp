#include "platform/dialogs/DirectoryPicker.h"

#include <utility>

namespace dialogs {

namespace {

DirectoryPicker& Installed() {
    static DirectoryPicker picker;
    return picker;
}

}  // namespace

DirectoryPicker SetDirectoryPicker(DirectoryPicker picker) {
    std::swap(Installed(), picker);
    return picker;
}

bool HasDirectoryPicker() {
    return static_cast<bool>(Installed());
}

DirectoryPickerResult ShowDirectoryPicker(const FolderDialogRequest& request) {
    // A copy, so that a picker that replaces itself while it runs stays alive until it returns.
    const DirectoryPicker picker = Installed();
    if (!picker) {
        return DirectoryPickerResult{};
    }
    return picker(request);
}

ScopedDirectoryPicker::ScopedDirectoryPicker(DirectoryPicker picker)
    : previous_(SetDirectoryPicker(std::move(picker))) {}

ScopedDirectoryPicker::~ScopedDirectoryPicker() {
    SetDirectoryPicker(std::move(previous_));
}

}  // namespace dialogs
