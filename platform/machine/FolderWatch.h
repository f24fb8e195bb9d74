#pragma once
// Which entries of cached host folders changed, whoever changed them. A folder's change time
// alone cannot tell: two changes within one tick of the file system's clock (a second on
// some) leave it the same, so a listing read just after a change could miss the next one. A
// watch reports every name that came or went, this process's changes and everyone else's.
//
// The host implementation uses inotify. It declines folders on network and user-space file
// systems, whose other clients change them unseen, and works on in a forked child (which
// gets watches of its own). Where a folder cannot be watched, the path cache falls back to
// the folder's change time and distrusts a listing for a while after each change.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace machine {

struct FolderChange {
    int watch = -1;
    // The entry that came, went or was replaced; empty when the watched folder itself went
    // (removed, moved away or no longer watched).
    std::string name;
};

class FolderWatch {
  public:
    virtual ~FolderWatch() = default;
    // A watch id (>= 0) for the folder, the same for the same folder; -1 when it cannot be
    // watched.
    virtual int Add(const std::filesystem::path& dir) = 0;
    virtual void Remove(int watch) = 0;
    // Appends the changes since the last call. False when changes were lost (too many queued,
    // or the process forked): every watch is then gone and no earlier id means anything.
    virtual bool Drain(std::vector<FolderChange>& out) = 0;
};

std::unique_ptr<FolderWatch> MakeHostFolderWatch();

}  // namespace machine
