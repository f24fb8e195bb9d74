// One read of one host folder for the listing walk: every folder and regular file with the
// name Windows shows for it and whether it is a folder, in the host's directory order (FIFOs,
// sockets and devices are left out). Of host names that read the same, each is listed by the
// one Windows name that leads to it. The walk needs nothing
// else from most entries, so nothing else is asked of the file system for them; an entry that
// is a symbolic link counts only when it leads to something inside its drive, as a path
// through it would.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace Qz_File {

class FolderReader {
  public:
    struct Item {
        std::size_t name;  // offset of the Windows name in the text buffer
        std::size_t nameLength;
        std::size_t host;  // offset of the host name (the Windows name when they agree)
        std::size_t hostLength;
        bool isFolder;
    };

    // Reads `folder`; false (and no items) when it cannot be listed. `driveRoot` is the
    // drive's canonical host folder.
    bool Read(const std::filesystem::path& folder, const std::filesystem::path& driveRoot);

    const std::vector<Item>& items() const { return items_; }
    std::string_view Name(const Item& item) const {
        return {text_.data() + item.name, item.nameLength};
    }
    std::string_view HostName(const Item& item) const {
        return {text_.data() + item.host, item.hostLength};
    }

  private:
    // Names that read like a neighbour's are shown as the path resolver reaches them.
    void ShowShadowedByRawName();

    std::string text_;
    std::vector<Item> items_;
};

}  // namespace Qz_File
