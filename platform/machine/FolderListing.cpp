#include "platform/machine/FolderListing.h"

#include "platform/machine/NameMapping.h"
#include "platform/machine/ShortNames.h"
#include "platform/machine/Text.h"

namespace machine {
namespace {

// Removed entries stay as holes until they are this many and outnumber the live ones.
constexpr std::size_t kMinHolesToCompact = 64;

bool BeyondAscii(std::string_view name) {
    for (const char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return false;
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

std::optional<std::size_t> FolderListing::Winner(std::string_view windows,
                                                 const std::string& folded) const {
    if (const auto literal = WindowsNameToHost(windows)) {
        if (const auto it = byHost_.find(*literal); it != byHost_.end()) {
            return it->second;
        }
    }
    std::optional<std::size_t> best;
    const auto [first, last] = byFolded_.equal_range(folded);
    for (auto it = first; it != last; ++it) {
        const DirEntryName& entry = slots_[it->second].entry;
        if (entry.windows == windows && (!best || entry.host < slots_[*best].entry.host)) {
            best = it->second;
        }
    }
    return best;
}

// As ShadowedEntries decides it, for one entry: an ASCII reading is its host name's alone.
bool FolderListing::Shadowed(std::size_t slot) const {
    const Slot& s = slots_[slot];
    if (!BeyondAscii(s.entry.windows) && !BeyondAscii(s.entry.host)) {
        return false;
    }
    const auto winner = Winner(s.entry.windows, s.folded);
    return winner && *winner != slot;
}

DirEntryName FolderListing::Shown(std::size_t slot, bool withShortName) const {
    DirEntryName entry = slots_[slot].entry;
    if (!withShortName) {
        entry.shortName.clear();
    }
    if (Shadowed(slot)) {
        entry.windows = RawWindowsName(entry.host);
    }
    return entry;
}

std::optional<DirEntryName> FolderListing::Lookup(std::string_view windowsName) {
    const std::string folded = text::FoldCase(windowsName);
    if (const auto exact = Winner(windowsName, folded)) {
        return Shown(*exact, false);
    }
    std::optional<std::size_t> best;
    const auto [first, last] = byFolded_.equal_range(folded);
    for (auto it = first; it != last; ++it) {
        if ((!best || slots_[it->second].entry.host < slots_[*best].entry.host) &&
            !Shadowed(it->second)) {
            best = it->second;
        }
    }
    if (best) {
        return Shown(*best, false);
    }
    if (!MayBeGeneratedShortName(windowsName)) {
        return std::nullopt;
    }
    AssignShortNamesIfStale();
    const auto it = byShort_.find(folded);
    if (it == byShort_.end()) {
        return std::nullopt;
    }
    return Shown(it->second, false);
}

std::optional<DirEntryName> FolderListing::FindExact(std::string_view windowsName) {
    const auto winner = Winner(windowsName, text::FoldCase(windowsName));
    if (!winner) {
        return std::nullopt;
    }
    AssignShortNamesIfStale();
    return Shown(*winner, true);
}

std::optional<std::string> FolderListing::ShownName(const std::string& host) const {
    const auto it = byHost_.find(host);
    if (it == byHost_.end()) {
        return std::nullopt;
    }
    return Shown(it->second, false).windows;
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
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].live) {
            entries->push_back(Shown(i, true));
        }
    }
    entries_ = std::move(entries);
    return entries_;
}

}  // namespace machine
