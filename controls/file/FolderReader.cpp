#include "controls/file/FolderReader.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/machine/NameMapping.h"
#include "platform/machine/PathResolver.h"

namespace Qz_File {
namespace {

// Printable ASCII without the characters Windows forbids: the host name is the Windows name.
bool ShowsUnchanged(std::string_view name) {
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b >= 0x80 || machine::IsForbiddenInWindowsName(b)) {
            return false;
        }
    }
    return true;
}

class DirHandle {
  public:
    explicit DirHandle(const std::filesystem::path& folder) : dir_(::opendir(folder.c_str())) {}
    ~DirHandle() {
        if (dir_ != nullptr) {
            ::closedir(dir_);
        }
    }
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;
    DIR* get() const { return dir_; }

  private:
    DIR* dir_;
};

}  // namespace

bool FolderReader::Read(const std::filesystem::path& folder,
                        const std::filesystem::path& driveRoot) {
    text_.clear();
    items_.clear();
    const DirHandle dir(folder);
    if (dir.get() == nullptr) {
        return false;
    }
    errno = 0;
    while (const dirent* ent = ::readdir(dir.get())) {
        const std::string_view hostName = ent->d_name;
        if (hostName == "." || hostName == "..") {
            errno = 0;
            continue;
        }
        bool isFolder = ent->d_type == DT_DIR;
        // Only folders and regular files: a FIFO, socket or device is no copy of anything,
        // and reading one could wait for ever.
        if (ent->d_type != DT_DIR && ent->d_type != DT_REG && ent->d_type != DT_LNK &&
            ent->d_type != DT_UNKNOWN) {
            errno = 0;
            continue;
        }
        if (ent->d_type == DT_LNK || ent->d_type == DT_UNKNOWN) {
            const std::filesystem::path path = folder / hostName;
            struct stat st;
            if (::lstat(path.c_str(), &st) != 0) {
                errno = 0;
                continue;
            }
            if (S_ISLNK(st.st_mode) && (!machine::PathResolver::LeadsInside(path, driveRoot) ||
                                        ::stat(path.c_str(), &st) != 0)) {
                errno = 0;
                continue;
            }
            if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
                errno = 0;
                continue;
            }
            isFolder = S_ISDIR(st.st_mode);
        }
        Item item{};
        item.isFolder = isFolder;
        item.host = text_.size();
        item.hostLength = hostName.size();
        text_ += hostName;
        if (ShowsUnchanged(hostName)) {
            item.name = item.host;
            item.nameLength = item.hostLength;
        } else {
            const std::string windowsName = machine::HostNameToWindows(hostName);
            item.name = text_.size();
            item.nameLength = windowsName.size();
            text_ += windowsName;
        }
        items_.push_back(item);
        errno = 0;
    }
    if (errno != 0) {
        text_.clear();
        items_.clear();
        return false;
    }
    ShowShadowedByRawName();
    return true;
}

void FolderReader::ShowShadowedByRawName() {
    std::vector<std::size_t> odd;
    std::vector<std::string_view> hosts;
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].name != items_[i].host) {
            odd.push_back(i);
            hosts.push_back(HostName(items_[i]));
            names.push_back(Name(items_[i]));
        }
    }
    if (odd.size() < 2) {
        return;
    }
    const auto shadowed = machine::ShadowedEntries(hosts, names);
    std::vector<std::string> raw;
    for (const std::size_t k : shadowed) {
        raw.push_back(machine::RawWindowsName(hosts[k]));
    }
    // Appended only now: the views above point into the text.
    for (std::size_t j = 0; j < shadowed.size(); ++j) {
        Item& item = items_[odd[shadowed[j]]];
        item.name = text_.size();
        item.nameLength = raw[j].size();
        text_ += raw[j];
    }
}

}  // namespace Qz_File
