#include "platform/machine/FolderListing.h"

#include "platform/machine/NameMapping.h"
#include "platform/machine/ShortNames.h"
#include "platform/machine/Text.h"

namespace machine {
namespace {

// Removed entries stay as holes until they are this many and outnumber the live ones.
constexpr std::size_t kMinHolesToCompact = 64;

DirEntryName WithoutShortName(const DirEntryName& entry) {
    return DirEntryName{entry.host, entry.windows, {}, entry.mayBeLink};
}

}  // namespace

bool MayBeGeneratedShortName(std::string_view name) {
    return name.find('~') != std::string_view::npos && IsValidShortName(name);
}

FolderListing::FolderListing(std::vector<DirEntryName> entries) {
    slots_.reserve(entries.size());
    byHost_.reserve(entries.size());
    byFolded_.reserve(entries.size());
    for (DirEntryName& entry : entries) {
        std::string folded = text::FoldCase(entry.windows);
        slots_.push_back(Slot{std::move(entry), std::move(folded), true});
        Index(slots_.size() - 1);
    }
}

void FolderListing::Index(std::size_t slot) {
    byHost_[slots_[slot].entry.host] = slot;
    byFolded_.emplace(slots_[slot].folded, slot);
}

std::optional<DirEntryName> FolderListing::Lookup(std::string_view windowsName) {
    const std::string folded = text::FoldCase(windowsName);
    const Slot* best = nullptr;
    const auto [first, last] = byFolded_.equal_range(folded);
    for (auto it = first; it != last; ++it) {
        const Slot& slot = slots_[it->second];
        if (best == nullptr || slot.entry.host < best->entry.host) {
            best = &slot;
        }
    }
    if (best != nullptr) {
        return WithoutShortName(best->entry);
    }
    if (!MayBeGeneratedShortName(windowsName)) {
        return std::nullopt;
    }
    AssignShortNamesIfStale();
    const auto it = byShort_.find(folded);
    if (it == byShort_.end()) {
        return std::nullopt;
    }
    return WithoutShortName(slots_[it->second].entry);
}

std::optional<DirEntryName> FolderListing::FindExact(std::string_view windowsName) {
    const auto [first, last] = byFolded_.equal_range(text::FoldCase(windowsName));
    for (auto it = first; it != last; ++it) {
        if (slots_[it->second].entry.windows == windowsName) {
            return WithShortName(it->second);
        }
    }
    return std::nullopt;
}

std::optional<DirEntryName> FolderListing::WithShortName(std::size_t slot) {
    AssignShortNamesIfStale();
    return slots_[slot].entry;
}

void FolderListing::Put(const std::string& host, bool mayBeLink) {
    if (const auto it = byHost_.find(host); it != byHost_.end()) {
        DirEntryName& entry = slots_[it->second].entry;
        if (entry.mayBeLink != mayBeLink) {
            entry.mayBeLink = mayBeLink;
            entries_.reset();
        }
        return;
    }
    std::string windows = HostNameToWindows(host);
    std::string folded = text::FoldCase(windows);
    slots_.push_back(
        Slot{DirEntryName{host, std::move(windows), {}, mayBeLink}, std::move(folded)});
    Index(slots_.size() - 1);
    shortNamesFresh_ = false;
    entries_.reset();
}

void FolderListing::Erase(const std::string& host) {
    const auto it = byHost_.find(host);
    if (it == byHost_.end()) {
        return;
    }
    const std::size_t slot = it->second;
    byHost_.erase(it);
    const auto [first, last] = byFolded_.equal_range(slots_[slot].folded);
    for (auto f = first; f != last; ++f) {
        if (f->second == slot) {
            byFolded_.erase(f);
            break;
        }
    }
    slots_[slot].live = false;
    ++dead_;
    // Every short name is numbered among the others, so one going can renumber the rest.
    shortNamesFresh_ = false;
    entries_.reset();
    if (dead_ >= kMinHolesToCompact && dead_ > slots_.size() / 2) {
        Compact();
    }
}

void FolderListing::Compact() {
    std::vector<Slot> live;
    live.reserve(slots_.size() - dead_);
    for (Slot& slot : slots_) {
        if (slot.live) {
            live.push_back(std::move(slot));
        }
    }
    slots_ = std::move(live);
    dead_ = 0;
    byHost_.clear();
    byFolded_.clear();
    byShort_.clear();
    shortNamesFresh_ = false;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Index(i);
    }
}

void FolderListing::AssignShortNamesIfStale() {
    if (shortNamesFresh_) {
        return;
    }
    std::vector<std::size_t> live;
    std::vector<std::string> longNames;
    live.reserve(size());
    longNames.reserve(size());
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].live) {
            live.push_back(i);
            longNames.push_back(slots_[i].entry.windows);
        }
    }
    auto shortNames = AssignShortNames(longNames);
    byShort_.clear();
    byShort_.reserve(live.size());
    for (std::size_t k = 0; k < live.size(); ++k) {
        byShort_[text::FoldCase(shortNames[k])] = live[k];
        slots_[live[k]].entry.shortName = std::move(shortNames[k]);
    }
    shortNamesFresh_ = true;
}

std::shared_ptr<const std::vector<DirEntryName>> FolderListing::Entries() {
    if (entries_) {
        return entries_;
    }
    AssignShortNamesIfStale();
    auto entries = std::make_shared<std::vector<DirEntryName>>();
    entries->reserve(size());
    for (const Slot& slot : slots_) {
        if (slot.live) {
            entries->push_back(slot.entry);
        }
    }
    entries_ = std::move(entries);
    return entries_;
}

}  // namespace machine
