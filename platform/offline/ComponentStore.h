#pragma once
// Windows' component store (Windows\WinSxS, Vista and later). Windows keeps the files of its
// components there and reaches them from the system folders (and some program folders) through
// hard links: one file with several names, which servicing replaces for all of them at once
// and checks against the store. Such a file is the store's. Overwriting it through its system
// folder name changes the store's copy too, and replacing it breaks the link, so that the next
// update or repair of Windows finds its file changed: Velto leaves it to Windows.
//
// A file is the store's when its identity (device and inode) is that of a file under WinSxS,
// never by its link count: ntfs-3g counts two links for any file that has a DOS short name
// beside its long name. The identities are gathered once, at the first question, in one walk
// of WinSxS that keeps only files of the types Velto lists (a file of another type asked about
// later adds its type with one more walk); links inside the store are never followed. When
// part of the store cannot be read, a file with more than one link is taken for the store's,
// since nobody can tell.

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>

#include "platform/machine/MachineKind.h"

namespace offline {

class ComponentStore {
  public:
    // `folder`: the host folder of WinSxS; `windowsPath`: its Windows path, for the user.
    ComponentStore(std::filesystem::path folder, std::string windowsPath);

    // The store's claim on the host file `host` (owner "Windows"); nullopt when it is none of
    // the store's files.
    std::optional<machine::PlatformFile> Owner(const std::filesystem::path& host) const;

  private:
    struct FileId {
        dev_t device;
        ino_t inode;
        bool operator==(const FileId&) const = default;
    };
    struct FileIdHash {
        std::size_t operator()(const FileId& id) const {
            return std::hash<ino_t>()(id.inode) * 31 + std::hash<dev_t>()(id.device);
        }
    };

    // Adds the files of `types` (lower case, without the dot) to the index. Under mutex_.
    void Index(const std::set<std::string>& types) const;
    void Walk(int folder, const std::string& windowsPath, const std::set<std::string>& types,
              int depth) const;
    void Unreadable(const std::string& windowsPath, int error) const;

    std::filesystem::path folder_;
    std::string windowsPath_;
    mutable std::mutex mutex_;
    mutable std::set<std::string> indexedTypes_;
    mutable std::unordered_set<FileId, FileIdHash> files_;
    // The first part of the store that could not be read, and why; empty when all could.
    mutable std::string unreadable_;
};

}  // namespace offline
