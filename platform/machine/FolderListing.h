#pragma once
// The entries of one host folder as Windows sees them, indexed for lookups that cost the same
// in a folder of ten entries and of ten thousand, and kept up to date one entry at a time as
// names come and go, so that a change never makes the whole folder be read again.
//
// Short names depend on every name in the folder (the numbering follows the sorted long
// names), so they are worked out only when someone asks for one, and again only after the
// names changed. A name can only be a generated short name when it is a valid 8.3 name with a
// "~" in it; every other name is looked up by its long form alone.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace machine {

// One entry of a host folder as Windows sees it.
struct DirEntryName {
    std::string host;
    std::string windows;
    std::string shortName;
    // A symbolic link (or an entry whose type readdir did not tell): check where it leads.
    bool mayBeLink = false;
};

class FolderListing {
  public:
    // `entries` in the host's readdir order; their short names are left to the listing.
    explicit FolderListing(std::vector<DirEntryName> entries);

    // The entry a Windows name stands for: the entry the exact name leads to (NameMapping.h),
    // else the entry of that name without regard to case (of several, the smallest host name
    // among those their own name leads to), else a short name. Entries come back with
    // `windows` the name they are shown by.
    std::optional<DirEntryName> Lookup(std::string_view windowsName);
    // The entry the exact name `windowsName` leads to, with its short name.
    std::optional<DirEntryName> FindExact(std::string_view windowsName);
    // The name the entry of host name `host` is shown by; nullopt when there is none.
    std::optional<std::string> ShownName(const std::string& host) const;

    // The host entry `host` exists now (a link or not, as lstat says); adds it if it is new.
    void Put(const std::string& host, bool mayBeLink);
    // The host entry `host` is gone.
    void Erase(const std::string& host);

    // Every entry with its short name, `windows` the name it is shown by: the readdir order of
    // the last full read, entries added since at the end.
    std::shared_ptr<const std::vector<DirEntryName>> Entries();
    std::size_t size() const { return slots_.size() - dead_; }

  private:
    struct Slot {
        DirEntryName entry;
        std::string folded;
        bool live = true;
    };

    void Index(std::size_t slot);
    // The entry an exact Windows name leads to.
    std::optional<std::size_t> Winner(std::string_view windows, const std::string& folded) const;
    bool Shadowed(std::size_t slot) const;
    // The slot's entry as it is shown.
    DirEntryName Shown(std::size_t slot, bool withShortName) const;
    void AssignShortNamesIfStale();
    void Compact();

    std::vector<Slot> slots_;
    std::size_t dead_ = 0;
    std::unordered_map<std::string, std::size_t> byHost_;
    std::unordered_multimap<std::string, std::size_t> byFolded_;
    // Folded short name -> slot; valid while shortNamesFresh_.
    std::unordered_map<std::string, std::size_t> byShort_;
    bool shortNamesFresh_ = false;
    std::shared_ptr<const std::vector<DirEntryName>> entries_;
};

// Whether a name could be a short name Windows generated: a valid 8.3 name holding a "~".
bool MayBeGeneratedShortName(std::string_view name);

}  // namespace machine
