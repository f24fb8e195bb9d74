#include "platform/offline/OfflineRegistryStore.h"

#include <algorithm>

#include "platform/offline/HiveHealth.h"
#include "platform/offline/HiveWrite.h"
#include "platform/offline/InstallationFacts.h"
#include "platform/registry/WindowsForm.h"

namespace offline {
namespace {

using registry::FoldedPath;
using registry::Joined;
using registry::KeyId;
using registry::Outcome;
using registry::StoreError;

constexpr int kMaxDepth = 512;
constexpr std::string_view kCurrentControlSet = "CurrentControlSet";
const std::vector<std::string> kClasses = {"Classes"};

[[noreturn]] void CannotWrite(const std::string& what) {
    throw StoreError(StoreError::Kind::WriteFailed, what);
}

}  // namespace

OfflineRegistryStore::LoadedHive OfflineRegistryStore::LoadHive(const std::filesystem::path& file) {
    LoadedHive loaded;
    loaded.stamp = Stamp::Of(file);
    const HiveHealth health = CheckHiveFile(file);
    if (health.state == HiveHealth::State::Damaged) {
        throw StoreError(StoreError::Kind::Corrupt, file.string() + " " + health.reason);
    }
    loaded.hive = std::make_unique<Hive>(file, Hive::Mode::Read, health.header.minor);
    if (health.state == HiveHealth::State::Dirty) {
        loaded.dirtyReason = health.reason;
    }
    return loaded;
}

std::shared_ptr<OfflineRegistryStore> OfflineRegistryStore::Open(
    std::array<LoadedHive, kHiveCount> hives, std::string userSid,
    std::optional<std::string> writeRefusal, bool readOnly) {
    for (const int needed : {kSoftware, kSystem, kUser}) {
        if (!hives[needed].hive) {
            throw StoreError(StoreError::Kind::CannotOpen,
                             "the installation lacks a hive it needs (SOFTWARE, SYSTEM and the "
                             "user's NTUSER.DAT)");
        }
    }
    std::shared_ptr<OfflineRegistryStore> store(
        new OfflineRegistryStore(std::move(hives), std::move(userSid), std::move(writeRefusal)));
    store->readOnly_ = readOnly;
    return store;
}

OfflineRegistryStore::OfflineRegistryStore(std::array<LoadedHive, kHiveCount> hives,
                                           std::string userSid,
                                           std::optional<std::string> writeRefusal)
    : userSid_(std::move(userSid)), refusal_(std::move(writeRefusal)) {
    entries_.emplace_back();  // KeyId 0 names no key
    for (int hive = 0; hive < kHiveCount; ++hive) {
        static_cast<LoadedHive&>(slots_[hive]) = std::move(hives[hive]);
    }
    for (const registry::Root root : registry::kAllRoots) {
        if (root != registry::Root::ClassesRoot && root != registry::Root::CurrentUser) {
            Entry entry;
            entry.root = root;
            entry.name = std::string(registry::RootName(root));
            virtual_[root] = NewEntry(std::move(entry));
        }
    }
}

void OfflineRegistryStore::Load(int hive) {
    Slot& slot = slots_[hive];
    const std::filesystem::path file = slot.hive->file();
    static_cast<LoadedHive&>(slot) = LoadHive(file);
    slot.written = 0;
    ++slot.generation;
    ++structure_;
    std::erase_if(byPlace_, [&](const auto& item) { return item.first.first == hive; });
}

void OfflineRegistryStore::RefreshIfChanged() {
    if (!broken_.empty()) {
        throw StoreError(StoreError::Kind::Corrupt, broken_);
    }
    // A scratch store's copies hold what it was told: they are never read anew.
    if (depth_ > 0 || scratch_) {
        return;
    }
    for (int hive = 0; hive < kHiveCount; ++hive) {
        if (slots_[hive].hive && Stamp::Of(slots_[hive].hive->file()) != slots_[hive].stamp) {
            Load(hive);
        }
    }
}

// ---- keys ----

KeyId OfflineRegistryStore::NewEntry(Entry entry) {
    entries_.push_back(std::move(entry));
    return static_cast<KeyId>(entries_.size() - 1);
}

KeyId OfflineRegistryStore::Virtual(registry::Root root) {
    return virtual_.at(root);
}

KeyId OfflineRegistryStore::HiveRoot(int hive) {
    const Slot& slot = slots_[hive];
    const Place place{hive, slot.hive->root()};
    if (const auto it = byPlace_.find({place.hive, place.node}); it != byPlace_.end()) {
        return it->second;
    }
    KeyId parent = 0;
    std::string name;
    switch (hive) {
        case kSoftware:
            parent = Virtual(registry::Root::LocalMachine);
            name = "SOFTWARE";
            break;
        case kSystem:
            parent = Virtual(registry::Root::LocalMachine);
            name = "SYSTEM";
            break;
        case kDefaultUser:
            parent = Virtual(registry::Root::Users);
            name = ".DEFAULT";
            break;
        case kUser:
            parent = Virtual(registry::Root::Users);
            name = userSid_;
            break;
        default:
            parent = Virtual(registry::Root::Users);
            name = userSid_ + "_Classes";
            break;
    }
    return KeyFor(place, parent, name);
}

KeyId OfflineRegistryStore::KeyFor(Place place, KeyId parent, const std::string& name) {
    if (const auto it = byPlace_.find({place.hive, place.node}); it != byPlace_.end()) {
        return it->second;
    }
    Entry entry;
    entry.kind = Entry::Kind::Node;
    entry.hive = place.hive;
    entry.node = place.node;
    entry.generation = slots_[place.hive].generation;
    entry.parent = parent;
    entry.name = name;
    const Entry& above = entries_[static_cast<std::size_t>(parent)];
    entry.depth = above.kind == Entry::Kind::Node && above.hive == place.hive ? above.depth + 1 : 0;
    const KeyId id = NewEntry(std::move(entry));
    byPlace_[{place.hive, place.node}] = id;
    return id;
}

std::optional<OfflineRegistryStore::Place> OfflineRegistryStore::Locate(KeyId key) {
    if (key <= 0 || static_cast<std::size_t>(key) >= entries_.size()) {
        return std::nullopt;
    }
    Entry& entry = entries_[static_cast<std::size_t>(key)];
    if (entry.kind != Entry::Kind::Node) {
        return std::nullopt;
    }
    const Slot& slot = slots_[entry.hive];
    if (!slot.hive) {
        return std::nullopt;
    }
    if (entry.generation == slot.generation) {
        if (!slot.hive->IsKey(entry.node)) {
            return std::nullopt;
        }
        return Place{entry.hive, entry.node};
    }
    // The hive was read anew: the key is wherever its path leads now.
    if (entries_[static_cast<std::size_t>(entry.parent)].kind == Entry::Kind::Virtual) {
        entry.node = slot.hive->root();
        entry.generation = slot.generation;
        byPlace_[{entry.hive, entry.node}] = key;
        return Place{entry.hive, entry.node};
    }
    const auto found = Find(entry.parent, entry.name);
    Entry& again = entries_[static_cast<std::size_t>(key)];
    if (!found || found->hive != again.hive) {
        return std::nullopt;
    }
    again.node = found->node;
    again.generation = slots_[again.hive].generation;
    byPlace_[{found->hive, found->node}] = key;
    return found;
}

std::optional<NodeRef> OfflineRegistryStore::ControlSetNode() {
    const auto set = CurrentControlSet(*slots_[kSystem].hive);
    return set ? std::optional<NodeRef>(set->node) : std::nullopt;
}

bool OfflineRegistryStore::IsUserSoftware(const Place& place) {
    if (place.hive != kUser || !slots_[kUserClasses].hive) {
        return false;
    }
    const Hive& user = *slots_[kUser].hive;
    const auto software = user.Child(user.root(), "Software");
    return software && *software == place.node;
}

std::optional<OfflineRegistryStore::Place> OfflineRegistryStore::Find(KeyId parent,
                                                                      std::string_view name) {
    const Entry& entry = entries_[static_cast<std::size_t>(parent)];
    if (entry.kind == Entry::Kind::Virtual) {
        for (const registry::Subkey& child : ChildrenOf(parent)) {
            if (registry::NamesEqual(child.name, name)) {
                return Locate(child.id);
            }
        }
        return std::nullopt;
    }
    const auto place = Locate(parent);
    if (!place) {
        return std::nullopt;
    }
    const Hive& hive = *slots_[place->hive].hive;
    if (place->hive == kSystem && place->node == hive.root() &&
        registry::NamesEqual(name, kCurrentControlSet)) {
        const auto set = ControlSetNode();
        return set ? std::optional<Place>(Place{kSystem, *set}) : std::nullopt;
    }
    if (IsUserSoftware(*place) && registry::NamesEqual(name, kClasses.front())) {
        return Place{kUserClasses, slots_[kUserClasses].hive->root()};
    }
    if (entries_[static_cast<std::size_t>(parent)].depth >= kMaxDepth) {
        return std::nullopt;
    }
    const auto child = hive.Child(place->node, name);
    return child ? std::optional<Place>(Place{place->hive, *child}) : std::nullopt;
}

std::optional<KeyId> OfflineRegistryStore::Child(KeyId parent, std::string_view name) {
    const auto place = Find(parent, name);
    if (!place) {
        return std::nullopt;
    }
    if (place->node == slots_[place->hive].hive->root()) {
        return HiveRoot(place->hive);
    }
    return KeyFor(*place, parent, std::string(name));
}

std::vector<registry::Subkey> OfflineRegistryStore::ChildrenOf(KeyId key) {
    std::vector<registry::Subkey> out;
    // Copied: finding keys adds entries, which may move the others.
    const Entry entry = entries_[static_cast<std::size_t>(key)];
    if (entry.kind == Entry::Kind::Virtual) {
        std::vector<int> hives;
        if (entry.root == registry::Root::LocalMachine) {
            hives = {kSoftware, kSystem};
        } else if (entry.root == registry::Root::Users) {
            hives = {kDefaultUser, kUser, kUserClasses};
        }
        for (const int hive : hives) {
            if (slots_[hive].hive) {
                const KeyId root = HiveRoot(hive);
                out.push_back({root, entries_[static_cast<std::size_t>(root)].name});
            }
        }
        return out;
    }
    const auto place = Locate(key);
    if (!place || entry.depth >= kMaxDepth) {
        return out;
    }
    const Hive& hive = *slots_[place->hive].hive;
    const bool userSoftware = IsUserSoftware(*place);
    bool classesListed = false;
    for (const auto& [node, name] : hive.Children(place->node)) {
        if (userSoftware && registry::NamesEqual(name, kClasses.front())) {
            out.push_back({HiveRoot(kUserClasses), name});
            classesListed = true;
            continue;
        }
        out.push_back({KeyFor(Place{place->hive, node}, key, name), name});
    }
    if (userSoftware && !classesListed) {
        out.push_back({HiveRoot(kUserClasses), kClasses.front()});
    }
    return out;
}

Outcome OfflineRegistryStore::Walk(KeyId parent, std::span<const std::string> path, bool create,
                                   KeyId& key) {
    if (!keyExists(parent)) {
        return Outcome::KeyDeleted;
    }
    KeyId current = parent;
    for (const std::string& name : path) {
        auto child = Child(current, name);
        if (!child) {
            if (!create) {
                return Outcome::NotFound;
            }
            child = AddKey(current, name);
        }
        current = *child;
    }
    key = current;
    return Outcome::Ok;
}

// ---- writing ----

std::unique_ptr<registry::RegistryStore> OfflineRegistryStore::copyIntoMemory() {
    std::lock_guard lock(mutex_);
    std::array<LoadedHive, kHiveCount> hives;
    for (int hive = 0; hive < kHiveCount; ++hive) {
        if (slots_[hive].hive) {
            hives[hive] = LoadHive(slots_[hive].hive->file());
        }
    }
    std::unique_ptr<OfflineRegistryStore> copy(
        new OfflineRegistryStore(std::move(hives), userSid_, std::nullopt));
    copy->scratch_ = true;
    return copy;
}

std::optional<std::string> OfflineRegistryStore::writeRefusal() const {
    std::lock_guard lock(mutex_);
    if (scratch_) {
        return std::nullopt;
    }
    if (refusal_) {
        return refusal_;
    }
    for (const Slot& slot : slots_) {
        if (!slot.dirtyReason.empty()) {
            return slot.hive->file().string() + " " + slot.dirtyReason;
        }
    }
    return std::nullopt;
}

void OfflineRegistryStore::RefuseIfNotWritable() const {
    if (readOnly_) {
        CannotWrite("the registry of " + location() + " was opened to be read only");
    }
    if (const auto why = writeRefusal()) {
        CannotWrite("nothing may be written to this installation's registry: " + *why);
    }
}

Hive& OfflineRegistryStore::Writable(int hive) {
    RefuseIfNotWritable();
    Slot& slot = slots_[hive];
    if (slot.hive->mode() == Hive::Mode::Read) {
        if (!scratch_ && Stamp::Of(slot.hive->file()) != slot.stamp) {
            CannotWrite(slot.hive->file().string() +
                        " was changed by another program since it was read: nothing written");
        }
        // The same bytes read whole: every key keeps its offset.
        slot.hive =
            std::make_unique<Hive>(slot.hive->file(), Hive::Mode::Write, slot.hive->minor());
    }
    // Whatever is written may make or delete keys behind HKEY_CLASSES_ROOT.
    ++structure_;
    return *slot.hive;
}

std::vector<RawValue> OfflineRegistryStore::ValuesAt(const Place& place) {
    if (const auto it = pendingValues_.find({place.hive, place.node}); it != pendingValues_.end()) {
        return it->second;
    }
    return slots_[place.hive].hive->Values(place.node);
}

std::vector<RawValue>& OfflineRegistryStore::EditValues(const Place& place) {
    Writable(place.hive);
    ++valueEdits_;
    const auto [it, added] = pendingValues_.try_emplace({place.hive, place.node});
    if (added) {
        it->second = slots_[place.hive].hive->Values(place.node);
    }
    return it->second;
}

void OfflineRegistryStore::FlushValues() {
    for (const auto& [where, values] : pendingValues_) {
        slots_[where.first].hive->SetValues(where.second, values);
    }
    pendingValues_.clear();
}

KeyId OfflineRegistryStore::AddKey(KeyId parent, const std::string& name) {
    const Entry entry = entries_[static_cast<std::size_t>(parent)];
    if (entry.kind == Entry::Kind::Virtual) {
        CannotWrite(entry.name + "\\" + name +
                    " cannot be made: only the installation's hives are there");
    }
    const auto place = Locate(parent);
    if (!place) {
        CannotWrite("a key was deleted while a key was made below it");
    }
    if (place->hive == kSystem && place->node == slots_[kSystem].hive->root() &&
        registry::NamesEqual(name, kCurrentControlSet)) {
        CannotWrite(
            "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet cannot be reached: SYSTEM\\Select "
            "\"Current\" names no control set of " +
            slots_[kSystem].hive->file().string());
    }
    if (entry.depth + 1 >= kMaxDepth) {
        CannotWrite("a key cannot lie deeper than " + std::to_string(kMaxDepth) + " levels");
    }
    const NodeRef child = Writable(place->hive).AddChild(place->node, name);
    return KeyFor(Place{place->hive, child}, parent, name);
}

std::uint64_t OfflineRegistryStore::Mutations() const {
    // A copy is only ever replaced by one read anew when no frame is open, or by one opened
    // for writing in place of one that was never changed: the sum only grows within frames.
    std::uint64_t sum = valueEdits_;
    for (const Slot& slot : slots_) {
        sum += slot.hive ? slot.hive->mutations() : 0;
    }
    return sum;
}

void OfflineRegistryStore::Begin() {
    RefreshIfChanged();
    ++depth_;
    frames_.push_back(Mutations());
}

void OfflineRegistryStore::Commit() {
    frames_.pop_back();
    if (--depth_ > 0) {
        return;
    }
    try {
        if (failedInside_) {
            CannotWrite(
                "a change inside the transaction failed and libhivex cannot take it back: "
                "nothing written");
        }
        FlushValues();
        std::vector<Hive*> changed;
        for (Slot& slot : slots_) {
            if (slot.unwritten()) {
                if (!scratch_ && Stamp::Of(slot.hive->file()) != slot.stamp) {
                    CannotWrite(slot.hive->file().string() +
                                " was changed by another program since it was read: nothing "
                                "written");
                }
                changed.push_back(slot.hive.get());
            }
        }
        if (changed.empty()) {
            return;
        }
        if (!scratch_) {
            WriteHives(changed);
        }
    } catch (...) {
        DiscardChanges();
        throw;
    }
    for (Slot& slot : slots_) {
        if (slot.unwritten()) {
            slot.written = slot.hive->mutations();
            if (!scratch_) {
                slot.stamp = Stamp::Of(slot.hive->file());
                ++fileWrites_;
            }
        }
    }
}

void OfflineRegistryStore::Rollback() {
    const std::uint64_t before = frames_.back();
    frames_.pop_back();
    if (--depth_ > 0) {
        failedInside_ = failedInside_ || Mutations() != before;
        return;
    }
    DiscardChanges();
}

void OfflineRegistryStore::DiscardChanges() {
    failedInside_ = false;
    pendingValues_.clear();
    for (int hive = 0; hive < kHiveCount; ++hive) {
        if (!slots_[hive].unwritten()) {
            continue;
        }
        try {
            Load(hive);
        } catch (const StoreError& e) {
            // Its copy in memory holds what was to be thrown away, and the file cannot be
            // read again: nothing more can be trusted.
            broken_ = std::string(e.what()) + " (read again after a failed change)";
        }
    }
}

template <class F>
Outcome OfflineRegistryStore::Mutate(F&& body) {
    return registry::InFrame([&] { Begin(); }, [&] { Commit(); }, [&] { Rollback(); }, body);
}

// ---- HKEY_CLASSES_ROOT ----

bool OfflineRegistryStore::IsMerged(KeyId key) const {
    return key > 0 && static_cast<std::size_t>(key) < entries_.size() &&
           entries_[static_cast<std::size_t>(key)].kind == Entry::Kind::Merged;
}

KeyId OfflineRegistryStore::MergedId(std::vector<std::string> names) {
    const std::string path = FoldedPath(names);
    if (const auto it = mergedByPath_.find(path); it != mergedByPath_.end()) {
        return it->second;
    }
    Entry entry;
    entry.kind = Entry::Kind::Merged;
    entry.merged = std::move(names);
    const KeyId id = NewEntry(std::move(entry));
    mergedByPath_.emplace(path, id);
    return id;
}

std::optional<KeyId> OfflineRegistryStore::UserClasses() {
    KeyId key = 0;
    const std::vector<std::string> path = {"Software", "Classes"};
    if (Walk(HiveRoot(kUser), path, false, key) == Outcome::Ok) {
        return key;
    }
    return std::nullopt;
}

std::optional<KeyId> OfflineRegistryStore::MachineClasses() {
    return Child(HiveRoot(kSoftware), kClasses.front());
}

OfflineRegistryStore::Sides OfflineRegistryStore::Below(const Sides& from,
                                                        std::span<const std::string> path) {
    Sides sides;
    KeyId key = 0;
    if (from.user && Walk(*from.user, path, false, key) == Outcome::Ok) {
        sides.user = key;
    }
    if (from.machine && Walk(*from.machine, path, false, key) == Outcome::Ok) {
        sides.machine = key;
    }
    return sides;
}

void OfflineRegistryStore::Remember(KeyId merged, const Sides& sides) {
    Entry& entry = entries_[static_cast<std::size_t>(merged)];
    entry.sides = std::pair{sides.user, sides.machine};
    entry.sidesAt = structure_;
}

OfflineRegistryStore::Sides OfflineRegistryStore::SidesOf(KeyId merged) {
    const Entry& entry = entries_[static_cast<std::size_t>(merged)];
    if (entry.sides && entry.sidesAt == structure_) {
        return Sides{entry.sides->first, entry.sides->second};
    }
    const std::vector<std::string> names = entry.merged;
    const Sides sides = Below(Sides{UserClasses(), MachineClasses()}, names);
    Remember(merged, sides);
    return sides;
}

Outcome OfflineRegistryStore::KeysBehind(KeyId key, std::vector<KeyId>& keys) {
    if (IsMerged(key)) {
        keys = SidesOf(key).keys();
        if (keys.empty()) {
            return entries_[static_cast<std::size_t>(key)].merged.empty() ? Outcome::NotFound
                                                                          : Outcome::KeyDeleted;
        }
        return Outcome::Ok;
    }
    if (!keyExists(key)) {
        return Outcome::KeyDeleted;
    }
    keys = {key};
    return Outcome::Ok;
}

std::vector<registry::Value> OfflineRegistryStore::ValuesOf(KeyId key) {
    std::vector<registry::Value> out;
    const auto place = Locate(key);
    if (!place) {
        return out;
    }
    for (RawValue& raw : ValuesAt(*place)) {
        out.push_back({std::move(raw.name), raw.type, registry::StoreData(raw.type, raw.data)});
    }
    return out;
}

// ---- the interface ----

std::string OfflineRegistryStore::location() const {
    // A hive read anew replaces the one held: looked at under the lock.
    std::lock_guard lock(mutex_);
    const std::string folder = slots_[kSystem].hive->file().parent_path().string();
    return scratch_ ? "a copy in memory of " + folder : folder;
}

std::uint64_t OfflineRegistryStore::fileWrites() const {
    std::lock_guard lock(mutex_);
    return fileWrites_;
}

KeyId OfflineRegistryStore::rootKey(registry::Root root) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    switch (root) {
        case registry::Root::CurrentUser:
            return HiveRoot(kUser);
        case registry::Root::ClassesRoot:
            return MergedId({});
        case registry::Root::CurrentConfig: {
            KeyId key = 0;
            const std::vector<std::string> path = {"SYSTEM", std::string(kCurrentControlSet),
                                                   "Hardware Profiles", "Current"};
            if (Walk(Virtual(registry::Root::LocalMachine), path, false, key) == Outcome::Ok) {
                return key;
            }
            return Virtual(root);
        }
        default:
            return Virtual(root);
    }
}

Outcome OfflineRegistryStore::openKey(KeyId parent, std::span<const std::string> path, KeyId& key) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    if (IsMerged(parent)) {
        const auto base = entries_[static_cast<std::size_t>(parent)].merged;
        const Sides above = SidesOf(parent);
        if (!base.empty() && !above.any()) {
            return Outcome::KeyDeleted;
        }
        const Sides sides = Below(above, path);
        if (!sides.any()) {
            return Outcome::NotFound;
        }
        key = MergedId(Joined(base, path));
        Remember(key, sides);
        return Outcome::Ok;
    }
    return Walk(parent, path, false, key);
}

Outcome OfflineRegistryStore::createKey(KeyId parent, std::span<const std::string> path,
                                        KeyId& key) {
    std::lock_guard lock(mutex_);
    if (IsMerged(parent)) {
        if (const Outcome opened = openKey(parent, path, key); opened != Outcome::NotFound) {
            return opened;
        }
        auto names = Joined(entries_[static_cast<std::size_t>(parent)].merged, path);
        return Mutate([&] {
            KeyId created = 0;
            const auto classes = MachineClasses();
            const Outcome outcome =
                classes ? Walk(*classes, names, true, created)
                        : Walk(HiveRoot(kSoftware), Joined(kClasses, names), true, created);
            if (outcome == Outcome::Ok) {
                key = MergedId(names);
            }
            return outcome;
        });
    }
    return Mutate([&] { return Walk(parent, path, true, key); });
}

bool OfflineRegistryStore::keyExists(KeyId key) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    if (key <= 0 || static_cast<std::size_t>(key) >= entries_.size()) {
        return false;
    }
    const Entry& entry = entries_[static_cast<std::size_t>(key)];
    switch (entry.kind) {
        case Entry::Kind::Virtual:
            return true;
        case Entry::Kind::Merged:
            return entry.merged.empty() || SidesOf(key).any();
        case Entry::Kind::Node:
            break;
    }
    return Locate(key).has_value();
}

Outcome OfflineRegistryStore::deleteKey(KeyId key) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    if (IsMerged(key)) {
        if (entries_[static_cast<std::size_t>(key)].merged.empty()) {
            return Outcome::IsRoot;
        }
        const Sides sides = SidesOf(key);
        if (!sides.any()) {
            return Outcome::KeyDeleted;
        }
        for (const KeyId side : sides.keys()) {
            if (!ChildrenOf(side).empty()) {
                return Outcome::HasSubkeys;
            }
        }
        return Mutate([&] {
            // The values set so far go to libhivex first: none may name a deleted key.
            FlushValues();
            for (const KeyId side : sides.keys()) {
                const auto place = Locate(side);
                Writable(place->hive).DeleteKey(place->node);
            }
            return Outcome::Ok;
        });
    }
    if (!keyExists(key)) {
        return Outcome::KeyDeleted;
    }
    const auto place = Locate(key);
    if (!place || place->node == slots_[place->hive].hive->root()) {
        return Outcome::IsRoot;
    }
    if (!ChildrenOf(key).empty()) {
        return Outcome::HasSubkeys;
    }
    return Mutate([&] {
        FlushValues();
        Writable(place->hive).DeleteKey(place->node);
        return Outcome::Ok;
    });
}

Outcome OfflineRegistryStore::deleteTree(KeyId key) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    std::vector<KeyId> targets;
    if (IsMerged(key)) {
        targets = SidesOf(key).keys();
        if (targets.empty()) {
            return entries_[static_cast<std::size_t>(key)].merged.empty() ? Outcome::Ok
                                                                          : Outcome::KeyDeleted;
        }
    } else if (!keyExists(key)) {
        return Outcome::KeyDeleted;
    } else if (entries_[static_cast<std::size_t>(key)].kind == Entry::Kind::Virtual) {
        CannotWrite(entries_[static_cast<std::size_t>(key)].name +
                    " cannot be emptied: it holds the installation's hives");
    } else {
        targets = {key};
    }
    // HKEY_CLASSES_ROOT itself, like a root, only loses what it holds: its sides are the
    // machine's and the user's Classes keys, which stay.
    const bool keepSelf = IsMerged(key) && entries_[static_cast<std::size_t>(key)].merged.empty();
    return Mutate([&] {
        FlushValues();
        for (const KeyId target : targets) {
            const auto place = Locate(target);
            if (!place) {
                continue;
            }
            Hive& hive = Writable(place->hive);
            if (place->node != hive.root() && !keepSelf) {
                hive.DeleteKey(place->node);
                continue;
            }
            // A hive's root (or a side of HKEY_CLASSES_ROOT) stays, emptied.
            for (const auto& [child, name] : hive.Children(place->node)) {
                hive.DeleteKey(child);
            }
            hive.SetValues(place->node, {});
        }
        return Outcome::Ok;
    });
}

Outcome OfflineRegistryStore::queryValue(KeyId key, std::string_view name,
                                         registry::ValueData& value) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    std::vector<KeyId> lookIn;
    if (const Outcome found = KeysBehind(key, lookIn); found != Outcome::Ok) {
        return found;
    }
    for (const KeyId id : lookIn) {
        const auto place = Locate(id);
        if (!place) {
            continue;
        }
        const auto pending = pendingValues_.find({place->hive, place->node});
        if (pending == pendingValues_.end()) {
            if (const auto raw = slots_[place->hive].hive->Value(place->node, name)) {
                value.type = raw->type;
                value.data = registry::StoreData(raw->type, raw->data);
                return Outcome::Ok;
            }
            continue;
        }
        for (const RawValue& raw : pending->second) {
            if (registry::NamesEqual(raw.name, name)) {
                value.type = raw.type;
                value.data = registry::StoreData(raw.type, raw.data);
                return Outcome::Ok;
            }
        }
    }
    return Outcome::NotFound;
}

Outcome OfflineRegistryStore::setValue(KeyId key, std::string_view name, std::uint32_t type,
                                       std::span<const std::uint8_t> data) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    if (IsMerged(key)) {
        const bool root = entries_[static_cast<std::size_t>(key)].merged.empty();
        const Sides sides = SidesOf(key);
        const auto target = sides.user ? sides.user : sides.machine;
        if (!target) {
            if (!root) {
                return Outcome::KeyDeleted;
            }
            // The machine's Classes key made and the value set as one change, or neither.
            return Mutate([&] {
                KeyId classes = 0;
                if (const Outcome made = Walk(HiveRoot(kSoftware), kClasses, true, classes);
                    made != Outcome::Ok) {
                    return made;
                }
                return setValue(classes, name, type, data);
            });
        }
        return setValue(*target, name, type, data);
    }
    if (!keyExists(key)) {
        return Outcome::KeyDeleted;
    }
    const auto place = Locate(key);
    if (!place) {
        CannotWrite(entries_[static_cast<std::size_t>(key)].name +
                    " holds no values: only the installation's hives are there");
    }
    return Mutate([&] {
        std::vector<RawValue> values = ValuesAt(*place);
        PutValue(values, RawValue{std::string(name), type, registry::WindowsData(type, data)});
        // Refused here, before anything changed, rather than when the transaction ends.
        slots_[place->hive].hive->RefuseUnwritable(place->node, values);
        EditValues(*place) = std::move(values);
        return Outcome::Ok;
    });
}

Outcome OfflineRegistryStore::deleteValue(KeyId key, std::string_view name) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    std::vector<KeyId> targets;
    if (const Outcome found = KeysBehind(key, targets); found != Outcome::Ok) {
        return found;
    }
    const auto named = [&](const RawValue& value) {
        return registry::NamesEqual(value.name, name);
    };
    std::vector<Place> holding;
    for (const KeyId id : targets) {
        const auto place = Locate(id);
        if (!place) {
            continue;
        }
        const auto values = ValuesAt(*place);
        if (std::any_of(values.begin(), values.end(), named)) {
            holding.push_back(*place);
        }
    }
    if (holding.empty()) {
        return Outcome::NotFound;
    }
    return Mutate([&] {
        for (const Place& place : holding) {
            std::erase_if(EditValues(place), named);
        }
        return Outcome::Ok;
    });
}

Outcome OfflineRegistryStore::subkeys(KeyId key, std::vector<registry::Subkey>& out) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    out.clear();
    if (IsMerged(key)) {
        const auto names = entries_[static_cast<std::size_t>(key)].merged;
        const Sides sides = SidesOf(key);
        if (!sides.any() && !names.empty()) {
            return Outcome::KeyDeleted;
        }
        // The user's first, as they come first; each child's keys found on the way.
        std::unordered_map<std::string, std::size_t> seen;
        std::vector<Sides> childSides;
        for (const auto& [side, isUser] : {std::pair{sides.user, true}, {sides.machine, false}}) {
            if (!side) {
                continue;
            }
            for (const registry::Subkey& child : ChildrenOf(*side)) {
                const auto [it, added] = seen.emplace(registry::FoldName(child.name), out.size());
                if (added) {
                    auto childNames = names;
                    childNames.push_back(child.name);
                    out.push_back({MergedId(std::move(childNames)), child.name});
                    childSides.emplace_back();
                }
                (isUser ? childSides[it->second].user : childSides[it->second].machine) = child.id;
            }
        }
        for (std::size_t i = 0; i < out.size(); ++i) {
            Remember(out[i].id, childSides[i]);
        }
        return Outcome::Ok;
    }
    if (!keyExists(key)) {
        return Outcome::KeyDeleted;
    }
    out = ChildrenOf(key);
    return Outcome::Ok;
}

Outcome OfflineRegistryStore::subkeyAt(KeyId key, std::uint32_t index, std::string& name) {
    std::lock_guard lock(mutex_);
    return registry::SubkeyAtIndex(*this, key, index, name);
}

Outcome OfflineRegistryStore::values(KeyId key, std::vector<registry::Value>& out) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    out.clear();
    std::vector<KeyId> sides;
    if (IsMerged(key)) {
        sides = SidesOf(key).keys();
        if (sides.empty() && !entries_[static_cast<std::size_t>(key)].merged.empty()) {
            return Outcome::KeyDeleted;
        }
    } else if (!keyExists(key)) {
        return Outcome::KeyDeleted;
    } else {
        sides = {key};
    }
    out = registry::MergedValues(sides, [&](KeyId side) { return ValuesOf(side); });
    return Outcome::Ok;
}

Outcome OfflineRegistryStore::valueAt(KeyId key, std::uint32_t index, registry::Value& value) {
    std::lock_guard lock(mutex_);
    return registry::ValueAtIndex(*this, key, index, value);
}

void OfflineRegistryStore::transaction(const std::function<void()>& body) {
    std::lock_guard lock(mutex_);
    registry::InFrame([&] { Begin(); }, [&] { Commit(); }, [&] { Rollback(); }, body);
}

}  // namespace offline
