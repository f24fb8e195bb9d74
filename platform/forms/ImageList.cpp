#include "platform/forms/ImageList.h"

#include "platform/automation/Errors.h"

namespace forms {

int ImageList::Add(const QIcon& picture) {
    pictures_.push_back(picture);
    return Count();
}

const QIcon& ImageList::Item(int index) const {
    if (index < 1 || index > Count()) {
        automation::Raise(automation::IndexOutOfBounds, "ImageList");
    }
    return pictures_[static_cast<std::size_t>(index - 1)];
}

}  // namespace forms
