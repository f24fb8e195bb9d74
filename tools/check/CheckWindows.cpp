#include "tools/check/CheckWindows.h"

#include "controls/file/QzFile.h"
#include "vlt/core/VltState.h"

namespace velto_check {

void RecordingReview::AddGroup(const std::string& name, int image) {
    nodes.push_back({"", name, name, image, false});
}

void RecordingReview::AddCopy(const std::string& groupKey, const std::string& path, int image) {
    nodes.push_back({groupKey, path, path, image, false});
}

void RecordingReview::AddNote(const std::string& groupKey, const std::string& key,
                              const std::string& text, int image) {
    nodes.push_back({groupKey, key, text, image, true});
}

std::string ProgressItem::ScanItem() const {
    if (!item_.empty()) {
        return item_;
    }
    // While the listing runs, the item is the folder it is reading.
    const Qz_File::QzFile* file = vlt::State().QzFile1;
    return file != nullptr ? file->CurrentScanPath() : std::string();
}

void ProgressItem::SetScanItem(const std::string& item) {
    item_ = item;
}

}  // namespace velto_check
