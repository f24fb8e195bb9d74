// The image list that trees take their node icons from: pictures by index, counted from 1.
#pragma once

#include <QIcon>
#include <vector>

namespace forms {

class ImageList {
  public:
    // Appends a picture and returns its index (1 for the first).
    int Add(const QIcon& picture);
    int Count() const { return static_cast<int>(pictures_.size()); }
    // Raises run-time error 35600 (index out of bounds) outside 1..Count().
    const QIcon& Item(int index) const;
    void Clear() { pictures_.clear(); }

  private:
    std::vector<QIcon> pictures_;
};

}  // namespace forms
