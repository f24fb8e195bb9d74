// ShowDirListing: the folder window lives in a Qt library of its own (controls/file/picker),
// reached through the directory-picker seam so that this control needs no Qt.
#include "controls/file/QzFile.h"
#include "platform/dialogs/DirectoryPicker.h"

namespace Qz_File {

std::string QzFile::ShowDirListing(const std::string& InitPath,
                                   const std::optional<std::string>& Title, bool* Canceled,
                                   const std::string& RequiredFile, bool* RequiredFileFound) {
    const dialogs::DirectoryPickerResult result =
        dialogs::ShowDirectoryPicker({Title.value_or(std::string()), InitPath, RequiredFile});
    if (Canceled != nullptr) {
        *Canceled = result.canceled;
    }
    if (RequiredFileFound != nullptr && !RequiredFile.empty()) {
        *RequiredFileFound = result.requiredFileFound;
    }
    return result.resultDir;
}

}  // namespace Qz_File
