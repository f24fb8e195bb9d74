#include "controls/file/modFileList.h"

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "controls/file/FileListing.h"
#include "controls/file/FolderReader.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/Clock.h"
#include "platform/machine/Machine.h"
#include "platform/machine/SystemStores.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/FindFiles.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"

namespace Qz_File::modFileList {
namespace {

// Plain, read-only, hidden, system and archive files: every file, no folders.
constexpr win32::DWORD kFileMask = 39;

struct ListState {
    std::string filter;
    std::string paths;
    bool includeSubDirectories = false;
    std::string exclusions;
    FileListing listing;
    ScanStates state = NotScanned;
    bool cancel = false;
    std::string status;
    // A load is running (the only way to get here meanwhile is through its DoEvents).
    bool loading = false;
    // The running load's settings were replaced; it is to stop and leave nothing behind.
    bool settingsChanged = false;
};

ListState& S() {
    thread_local ListState state;
    return state;
}

// The listing is no longer valid. A running load still owns the entries; it drops them when
// it notices, and until then FileCount reports 0 as for any listing not scanned.
void Invalidate() {
    ListState& s = S();
    s.state = NotScanned;
    if (s.loading) {
        s.settingsChanged = true;
    } else {
        s.listing.Clear();
    }
}

std::string WithBackslash(std::string_view path) {
    std::string out(path);
    if (!out.ends_with('\\')) {
        out += '\\';
    }
    return out;
}

struct FilterElement {
    std::string text;
    // Set for a plain wildcard pattern, matched against the folder read the walk already has;
    // anything else (no wildcard, a folder part, an empty element) goes through FindFiles so
    // that it means exactly what the directory function makes of it.
    std::optional<win32::WildcardPattern> pattern;
};

FilterElement MakeFilter(std::string text) {
    FilterElement element;
    const bool plain = text.find_first_of("*?") != std::string::npos &&
                       text.find_first_of("\\/:|<>\"") == std::string::npos;
    if (plain) {
        element.pattern.emplace(text);
    }
    element.text = std::move(text);
    return element;
}

class Walk {
  public:
    Walk(bool mayCancel, bool includeSubDirectories, std::vector<FilterElement> filters,
         machine::SystemStores stores)
        : mayCancel_(mayCancel),
          includeSubDirectories_(includeSubDirectories),
          filters_(std::move(filters)),
          stores_(std::move(stores)) {}

    bool stopped() const { return stopped_; }

    // Lets the host's events run when the load may be cancelled; false once the load is to stop.
    bool Checkpoint() {
        if (mayCancel_) {
            dialogs::DoEvents();
        }
        return !Stopping();
    }

    void ScanRoot(const std::string& folder) {
        const auto target = win32::detail::Resolve(folder);
        if (!target || !target->exists) {
            ScanFolder(folder, nullptr, 0);
            return;
        }
        driveRoot_ = target->driveRoot;
        win32::host::FileStat st;
        const bool known = win32::host::Stat(target->host, st) == 0;
        if (known) {
            chain_.emplace_back(st.device, st.inode);
        }
        ScanFolder(folder, &target->host, 0);
        if (known) {
            chain_.pop_back();
        }
    }

  private:
    struct Subfolder {
        std::string name;
        std::filesystem::path host;
        std::uint64_t device;
        std::uint64_t inode;
    };

    bool Stopping() {
        const ListState& s = S();
        stopped_ = stopped_ || s.cancel || s.settingsChanged;
        return stopped_;
    }

    FolderReader& ReaderAt(std::size_t depth) {
        while (readers_.size() <= depth) {
            readers_.push_back(std::make_unique<FolderReader>());
        }
        return *readers_[depth];
    }

    // Entered only when its attribute word is exactly "directory" (any further bit keeps the
    // walk out), it is not excluded, and it is not a folder the walk is already inside (a link
    // back up the tree would otherwise be walked without end).
    std::optional<Subfolder> Enterable(const std::string& folder, const std::filesystem::path& host,
                                       std::string_view name, std::string_view hostName) const {
        Subfolder sub{std::string(name), host / hostName, 0, 0};
        win32::host::FileStat st;
        if (win32::host::Stat(sub.host, st) != 0 || !st.isDirectory ||
            win32::detail::AttributesOf(sub.host, st, name) != win32::FILE_ATTRIBUTE_DIRECTORY) {
            return std::nullopt;
        }
        if (stores_.Contains(folder, name)) {
            return std::nullopt;
        }
        const std::string& exclusions = S().exclusions;
        if (!exclusions.empty()) {
            std::string item = "|" + automation::UCase(folder);
            item += automation::UCase(name);
            item += "\\|";
            if (exclusions.find(item) != std::string::npos) {
                return std::nullopt;
            }
        }
        for (const auto& [device, inode] : chain_) {
            if (device == st.device && inode == st.inode) {
                return std::nullopt;
            }
        }
        sub.device = st.device;
        sub.inode = st.inode;
        return sub;
    }

    void ScanFolder(const std::string& folder, const std::filesystem::path* host,
                    std::size_t depth) {
        if (!Checkpoint()) {
            return;
        }
        FolderReader& reader = ReaderAt(depth);
        const bool readable = host != nullptr && reader.Read(*host, driveRoot_);
        if (includeSubDirectories_ && readable) {
            // Collected first, then visited: the subtrees come before this folder's own files.
            std::vector<Subfolder> subfolders;
            for (const FolderReader::Item& item : reader.items()) {
                if (mayCancel_) {
                    dialogs::DoEvents();
                }
                if (item.isFolder) {
                    if (auto sub =
                            Enterable(folder, *host, reader.Name(item), reader.HostName(item))) {
                        subfolders.push_back(std::move(*sub));
                    }
                }
                if (Stopping()) {
                    return;
                }
            }
            for (const Subfolder& sub : subfolders) {
                S().status = std::string(kScanningPrefix) + folder;
                chain_.emplace_back(sub.device, sub.inode);
                ScanFolder(folder + sub.name + "\\", &sub.host, depth + 1);
                chain_.pop_back();
                if (stopped_) {
                    return;
                }
            }
        }
        ListOwnFiles(folder, readable ? &reader : nullptr);
    }

    void ListOwnFiles(const std::string& folder, const FolderReader* reader) {
        FileListing& listing = S().listing;
        std::optional<std::uint32_t> folderNumber;
        const auto add = [&](std::string_view name) {
            if (!folderNumber) {
                folderNumber = listing.AddFolder(folder);
            }
            listing.Add(name, *folderNumber);
        };
        for (const FilterElement& filter : filters_) {
            if (filter.pattern) {
                if (reader == nullptr) {
                    continue;
                }
                for (const FolderReader::Item& item : reader->items()) {
                    if (!item.isFolder && filter.pattern->Matches(reader->Name(item))) {
                        add(reader->Name(item));
                    }
                }
            } else if (const auto found = win32::FindFiles(folder + filter.text, kFileMask)) {
                for (const win32::WIN32_FIND_DATAA& entry : *found) {
                    add(entry.cFileName);
                }
            }
        }
    }

    const bool mayCancel_;
    const bool includeSubDirectories_;
    const std::vector<FilterElement> filters_;
    // Never listed, whatever the exclusions say.
    const machine::SystemStores stores_;
    std::filesystem::path driveRoot_;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> chain_;
    std::vector<std::unique_ptr<FolderReader>> readers_;
    bool stopped_ = false;
};

// Marks the load as running for as long as it runs, also when an error ends it.
class LoadingScope {
  public:
    LoadingScope() {
        S().loading = true;
        S().settingsChanged = false;
    }
    ~LoadingScope() {
        S().loading = false;
        S().settingsChanged = false;
    }
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;
};

bool Abandon() {
    ListState& s = S();
    s.state = NotScanned;
    s.listing.Clear();
    return false;
}

// The walk and the sort. Each load starts from an empty listing, so that a load that ended
// in an error leaves nothing that the next one would add to.
bool Load(bool mayCancel) {
    ListState& s = S();
    const LoadingScope scope;
    s.listing.Clear();
    s.state = Scanning;
    if (s.paths.empty()) {
        return false;
    }
    if (s.filter.empty()) {
        s.filter = "*.*;";
    }
    std::vector<FilterElement> filters;
    for (std::string& element : SplitList(s.filter, "")) {
        filters.push_back(MakeFilter(std::move(element)));
    }
    const auto current = machine::CurrentMachine();
    Walk walk(mayCancel, s.includeSubDirectories, std::move(filters),
              current ? machine::SystemStores(current->profile()) : machine::SystemStores());
    for (const std::string& folder : SplitList(s.paths, "\\")) {
        walk.ScanRoot(folder);
        if (walk.stopped()) {
            return Abandon();
        }
    }
    s.status = kSortingText;
    if (!s.listing.Sort([&walk] { return walk.Checkpoint(); })) {
        return Abandon();
    }
    s.state = Scanned;
    return true;
}

}  // namespace

std::vector<std::string> SplitList(std::string_view list, std::string_view suffix) {
    std::vector<std::string> elements;
    if (list.empty()) {
        return elements;
    }
    std::string text(list);
    if (!text.ends_with(';')) {
        text += ';';
    }
    std::size_t start = 0;
    for (std::size_t end = text.find(';'); end != std::string::npos;
         start = end + 1, end = text.find(';', start)) {
        std::string element = text.substr(start, end - start);
        if (!suffix.empty() && !element.ends_with(suffix)) {
            element += suffix;
        }
        elements.push_back(std::move(element));
    }
    return elements;
}

const std::string& Paths() {
    return S().paths;
}

void SetPaths(std::string_view paths) {
    S().paths = paths;
    Invalidate();
}

const std::string& Filter() {
    return S().filter;
}

void SetFilter(std::string_view filter) {
    S().filter = filter;
    Invalidate();
}

bool IncludeSubDirectories() {
    return S().includeSubDirectories;
}

void SetIncludeSubDirectories(bool include) {
    S().includeSubDirectories = include;
    Invalidate();
}

const std::string& ExclusionList() {
    return S().exclusions;
}

void AddExclusionPath(std::string_view excludedPath) {
    std::string& list = S().exclusions;
    list += '|';
    list += automation::UCase(WithBackslash(excludedPath));
    list += '|';
}

void RemoveExclusionPath(std::string_view excludedPath) {
    std::string& list = S().exclusions;
    const std::string item = "|" + automation::UCase(WithBackslash(excludedPath)) + "|";
    if (const auto at = list.find(item); at != std::string::npos) {
        list.erase(at, item.size());
    }
}

void ClearExclusionPaths() {
    S().exclusions.clear();
}

bool LoadFileListing(bool mayCancel) {
    ListState& s = S();
    if (s.loading) {
        return false;
    }
    // A cancel asked for while no load ran is not carried into this one.
    s.cancel = false;
    const bool result = s.state == Scanned || Load(mayCancel);
    s.cancel = false;
    return result;
}

void ScanCancel() {
    S().cancel = true;
}

ScanStates ScanState() {
    return S().state;
}

const std::string& CurrentScanPath() {
    return S().status;
}

std::int32_t FileCount() {
    const ListState& s = S();
    return s.state == NotScanned ? 0 : s.listing.Count();
}

std::string File(std::int32_t index) {
    ListState& s = S();
    if (s.state != Scanned) {
        if (s.loading) {
            return {};
        }
        s.cancel = false;
        if (!Load(false)) {
            return {};
        }
    }
    if (index < 0 || index >= s.listing.Count()) {
        return {};
    }
    return s.listing.File(index);
}

std::int32_t UniqueFileCount() {
    const ListState& s = S();
    return s.state == NotScanned ? 0 : s.listing.DistinctNames();
}

void ResetForTesting() {
    ListState& s = S();
    s.filter.clear();
    s.paths.clear();
    s.includeSubDirectories = false;
    s.exclusions.clear();
    s.listing.Clear();
    s.state = NotScanned;
    s.cancel = false;
    s.status.clear();
}

}  // namespace Qz_File::modFileList
