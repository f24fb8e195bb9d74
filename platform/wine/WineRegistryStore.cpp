#include "platform/wine/WineRegistryStore.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/wine/WineServer.h"

namespace wine {
namespace {

using registry::FoldedPath;
using registry::Joined;
using registry::KeyId;
using registry::Outcome;
using registry::StoreError;

constexpr KeyId kMergedBase = KeyId{1} << 40;
// Windows gives up on a chain of links this long.
constexpr int kMaxLinkDepth = 16;
constexpr int kMachine = 0;
constexpr int kUser = 1;
constexpr int kDefaultUser = 2;
constexpr std::string_view kDefaultSid = "S-1-5-21-0-0-0-1000";
const std::vector<std::string> kClasses = {"Software", "Classes"};

// "\Registry\Machine\Software\Classes" starts with the root "\Registry\Machine".
std::optional<std::string_view> AfterRoot(std::string_view path, std::string_view root) {
    if (path.size() < root.size() || !registry::NamesEqual(path.substr(0, root.size()), root)) {
        return std::nullopt;
    }
    path.remove_prefix(root.size());
    if (!path.empty() && path.front() != '\\') {
        return std::nullopt;
    }
    return path;
}

}  // namespace

std::shared_ptr<WineRegistryStore> WineRegistryStore::Open(const std::filesystem::path& prefix) {
    std::shared_ptr<WineRegistryStore> store(new WineRegistryStore(prefix));
    return store;
}

WineRegistryStore::WineRegistryStore(std::filesystem::path prefix) : prefix_(std::move(prefix)) {
    hives_[kMachine].file = prefix_ / kMachineFile;
    hives_[kUser].file = prefix_ / kUserFile;
    hives_[kDefaultUser].file = prefix_ / kDefaultUserFile;
    nodes_.emplace_back();  // KeyId 0 names no key
    for (int hive = 0; hive < kHives; ++hive) {
        Load(hive);
    }
    for (const registry::Root root : {registry::Root::Users, registry::Root::PerformanceData,
                                      registry::Root::DynData, registry::Root::CurrentConfig}) {
        const KeyId id = NewNode(-1, 0, std::string(registry::RootName(root)));
        virtualRoots_[root] = id;
    }
    Node& users = nodes_[static_cast<std::size_t>(virtualRoots_[registry::Root::Users])];
    users.children = {hives_[kDefaultUser].root, hives_[kUser].root};
}

WineRegistryStore::WineRegistryStore(const WineRegistryStore& from, InMemory)
    : prefix_(from.prefix_),
      hives_(from.hives_),
      nodes_(from.nodes_),
      byPath_(from.byPath_),
      virtualRoots_(from.virtualRoots_),
      merged_(from.merged_),
      mergedByPath_(from.mergedByPath_),
      inMemory_(true) {}

std::unique_ptr<registry::RegistryStore> WineRegistryStore::copyIntoMemory() {
    std::lock_guard lock(mutex_);
    if (!frames_.empty()) {
        throw StoreError(StoreError::Kind::ReadFailed,
                         "the registry of " + prefix_.string() +
                             " cannot be copied while a transaction is under way");
    }
    RefreshIfChanged();
    return std::unique_ptr<registry::RegistryStore>(new WineRegistryStore(*this, InMemory{}));
}

void WineRegistryStore::Load(int hive) {
    Hive& h = hives_[hive];
    const Stamp stamp = Stamp::Of(h.file);
    std::string text;
    const int err = win32::host::ReadWholeFile(h.file, text);
    if (err != 0 && (err != ENOENT || hive == kMachine)) {
        throw StoreError(StoreError::Kind::CannotOpen,
                         h.file.string() + " cannot be read: " + std::strerror(err));
    }
    if (err == ENOENT) {
        const std::string relative = hive == kUser ? "REGISTRY\\User\\" + std::string(kDefaultSid)
                                                   : "REGISTRY\\User\\.Default";
        h.doc = HiveFile::Empty(relative, hives_[kMachine].doc.archLine());
    } else {
        try {
            h.doc = HiveFile::Parse(text);
        } catch (const std::invalid_argument& e) {
            throw StoreError(StoreError::Kind::Corrupt,
                             h.file.string() + " is not a Wine registry file: " + e.what());
        }
    }
    h.stamp = stamp;
    h.dirty = false;
    h.rootName = "\\" + h.doc.relativeTo();
    if (h.rootName == "\\") {
        h.rootName = hive == kMachine ? "\\REGISTRY\\Machine"
                     : hive == kUser  ? "\\REGISTRY\\User\\" + std::string(kDefaultSid)
                                      : "\\REGISTRY\\User\\.Default";
    }

    const KeyId old = h.root;
    for (std::size_t id = 1; id < nodes_.size(); ++id) {
        Node& node = nodes_[id];
        if (node.hive == hive && node.alive) {
            node.alive = false;
            byPath_.erase(node.path);
        }
    }
    std::string rootName;
    if (hive != kMachine) {
        const std::size_t slash = h.rootName.rfind('\\');
        rootName = h.rootName.substr(slash + 1);
    }
    h.root = NewNode(hive, 0, rootName);
    const auto& blocks = h.doc.blocks();
    // Wine writes a key's subkeys right after it, so a block mostly shares its path's start
    // with the block before: the keys of that start are known without looking them up.
    std::vector<KeyId> chain;
    const std::vector<std::string>* previous = nullptr;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const std::vector<std::string>& names = blocks[b].key.names;
        std::size_t shared = 0;
        while (previous != nullptr && shared < names.size() && shared < previous->size() &&
               names[shared] == (*previous)[shared]) {
            ++shared;
        }
        chain.resize(shared);
        KeyId current = shared == 0 ? h.root : chain.back();
        for (std::size_t i = shared; i < names.size(); ++i) {
            const auto child = Child(current, names[i]);
            current = child ? *child : NewNode(hive, current, names[i]);
            chain.push_back(current);
        }
        nodes_[static_cast<std::size_t>(current)].block = static_cast<std::ptrdiff_t>(b);
        previous = &names;
    }
    if (old != 0) {
        for (Node& node : nodes_) {
            for (KeyId& child : node.children) {
                if (node.hive < 0 && child == old) {
                    child = h.root;
                }
            }
        }
    }
}

void WineRegistryStore::RefreshIfChanged() {
    if (!frames_.empty() || inMemory_) {
        return;
    }
    for (int hive = 0; hive < kHives; ++hive) {
        if (Stamp::Of(hives_[hive].file) != hives_[hive].stamp) {
            Load(hive);
        }
    }
}

KeyId WineRegistryStore::NewNode(int hive, KeyId parent, std::string name) {
    Node node;
    node.hive = hive;
    node.parent = parent;
    if (hive >= 0) {
        node.path = parent == 0 ? std::to_string(hive) + ":"
                                : nodes_[static_cast<std::size_t>(parent)].path + "\\" +
                                      registry::FoldName(name);
    }
    node.name = std::move(name);
    const auto id = static_cast<KeyId>(nodes_.size());
    if (hive >= 0) {
        byPath_[node.path] = id;
    }
    nodes_.push_back(std::move(node));
    if (parent != 0) {
        nodes_[static_cast<std::size_t>(parent)].children.push_back(id);
    }
    return id;
}

WineRegistryStore::Node* WineRegistryStore::Live(KeyId key) {
    if (key <= 0 || static_cast<std::size_t>(key) >= nodes_.size()) {
        return nullptr;
    }
    Node& node = nodes_[static_cast<std::size_t>(key)];
    return node.alive ? &node : nullptr;
}

HiveFile::Block* WineRegistryStore::BlockOf(const Node& node) {
    if (node.hive < 0 || node.block < 0) {
        return nullptr;
    }
    return &hives_[node.hive].doc.blocks()[static_cast<std::size_t>(node.block)];
}

std::optional<KeyId> WineRegistryStore::Child(KeyId parent, std::string_view name) {
    const Node& node = nodes_[static_cast<std::size_t>(parent)];
    if (node.hive < 0) {
        for (const KeyId child : node.children) {
            if (registry::NamesEqual(nodes_[static_cast<std::size_t>(child)].name, name)) {
                return child;
            }
        }
        return std::nullopt;
    }
    const auto it = byPath_.find(node.path + "\\" + registry::FoldName(name));
    if (it == byPath_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<KeyId> WineRegistryStore::LinkTarget(const Node& node) {
    const HiveFile::Block* block = BlockOf(node);
    const HiveFile::Item* item =
        block != nullptr ? HiveFile::FindValue(*block, registry::FoldName("SymbolicLinkValue"))
                         : nullptr;
    if (item == nullptr) {
        return std::nullopt;
    }
    std::u16string units;
    const auto& data = item->value->data;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    const std::string target = TextFromUtf16(units);
    for (const int hive : {kUser, kDefaultUser, kMachine}) {
        if (const auto rest = AfterRoot(target, hives_[hive].rootName)) {
            KeyId key = 0;
            const auto names = registry::SplitKeyNames(*rest);
            if (Walk(hives_[hive].root, names, false, key) == Outcome::Ok) {
                return key;
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

Outcome WineRegistryStore::Walk(KeyId parent, std::span<const std::string> path, bool create,
                                KeyId& key) {
    if (Live(parent) == nullptr) {
        return Outcome::KeyDeleted;
    }
    KeyId current = parent;
    for (const std::string& name : path) {
        auto child = Child(current, name);
        if (!child) {
            if (!create) {
                return Outcome::NotFound;
            }
            RefuseWrite(nodes_[static_cast<std::size_t>(current)]);
            child = AddKey(current, name);
        }
        current = *child;
        for (int depth = 0;; ++depth) {
            const Node& node = nodes_[static_cast<std::size_t>(current)];
            const HiveFile::Block* block = BlockOf(node);
            if (block == nullptr || !block->link) {
                break;
            }
            const auto target = depth < kMaxLinkDepth ? LinkTarget(node) : std::nullopt;
            if (!target) {
                return Outcome::NotFound;
            }
            current = *target;
        }
    }
    key = current;
    return Outcome::Ok;
}

void WineRegistryStore::RefuseWrite(const Node& node) const {
    if (node.hive < 0) {
        throw StoreError(StoreError::Kind::WriteFailed,
                         node.name + " cannot be written in a Wine prefix");
    }
}

// ---- frames ----

void WineRegistryStore::Begin() {
    RefreshIfChanged();
    Frame frame;
    frame.nodeCount = nodes_.size();
    for (int hive = 0; hive < kHives; ++hive) {
        frame.blockCounts[hive] = hives_[hive].doc.blocks().size();
        frame.dirty[hive] = hives_[hive].dirty;
    }
    frames_.push_back(std::move(frame));
}

void WineRegistryStore::Commit() {
    if (frames_.size() == 1) {
        try {
            WriteDirtyHives();
        } catch (...) {
            Rollback();
            throw;
        }
        frames_.pop_back();
        return;
    }
    Frame inner = std::move(frames_.back());
    frames_.pop_back();
    Frame& outer = frames_.back();
    for (auto& [id, node] : inner.nodes) {
        if (static_cast<std::size_t>(id) < outer.nodeCount) {
            outer.nodes.try_emplace(id, std::move(node));
        }
    }
    for (auto& [where, block] : inner.blocks) {
        if (where.second < outer.blockCounts[where.first]) {
            outer.blocks.try_emplace(where, std::move(block));
        }
    }
}

void WineRegistryStore::Rollback() {
    Frame frame = std::move(frames_.back());
    frames_.pop_back();
    for (std::size_t id = frame.nodeCount; id < nodes_.size(); ++id) {
        const auto it = byPath_.find(nodes_[id].path);
        if (it != byPath_.end() && it->second == static_cast<KeyId>(id)) {
            byPath_.erase(it);
        }
    }
    nodes_.resize(frame.nodeCount);
    for (auto& [id, node] : frame.nodes) {
        if (node.alive && node.hive >= 0) {
            byPath_[node.path] = id;
        } else if (const auto it = byPath_.find(node.path);
                   it != byPath_.end() && it->second == id) {
            byPath_.erase(it);
        }
        nodes_[static_cast<std::size_t>(id)] = std::move(node);
    }
    for (int hive = 0; hive < kHives; ++hive) {
        hives_[hive].doc.blocks().resize(frame.blockCounts[hive]);
        hives_[hive].dirty = frame.dirty[hive];
    }
    for (auto& [where, block] : frame.blocks) {
        hives_[where.first].doc.blocks()[where.second] = std::move(block);
    }
}

template <class F>
Outcome WineRegistryStore::Mutate(F&& body) {
    return registry::InFrame([&] { Begin(); }, [&] { Commit(); }, [&] { Rollback(); }, body);
}

void WineRegistryStore::SaveNode(KeyId key) {
    Frame& frame = frames_.back();
    if (static_cast<std::size_t>(key) < frame.nodeCount && !frame.nodes.contains(key)) {
        frame.nodes.emplace(key, nodes_[static_cast<std::size_t>(key)]);
    }
}

HiveFile::Block& WineRegistryStore::EditBlock(KeyId key) {
    SaveNode(key);
    Node& node = nodes_[static_cast<std::size_t>(key)];
    RefuseWrite(node);
    Hive& hive = hives_[node.hive];
    auto& blocks = hive.doc.blocks();
    if (node.block < 0) {
        HiveFile::Block block;
        for (KeyId at = key; nodes_[static_cast<std::size_t>(at)].parent != 0;
             at = nodes_[static_cast<std::size_t>(at)].parent) {
            block.key.names.insert(block.key.names.begin(),
                                   nodes_[static_cast<std::size_t>(at)].name);
        }
        block.added = true;
        HiveFile::Touch(block, FiletimeNow());
        blocks.push_back(std::move(block));
        nodes_[static_cast<std::size_t>(key)].block =
            static_cast<std::ptrdiff_t>(blocks.size() - 1);
    } else {
        Frame& frame = frames_.back();
        const std::pair<int, std::size_t> where{node.hive, static_cast<std::size_t>(node.block)};
        if (where.second < frame.blockCounts[node.hive] && !frame.blocks.contains(where)) {
            frame.blocks.emplace(where, blocks[where.second]);
        }
    }
    hive.dirty = true;
    return blocks[static_cast<std::size_t>(nodes_[static_cast<std::size_t>(key)].block)];
}

void WineRegistryStore::TouchTime(KeyId key) {
    const Node& node = nodes_[static_cast<std::size_t>(key)];
    if (node.hive >= 0 && node.block >= 0) {
        HiveFile::Touch(EditBlock(key), FiletimeNow());
    }
}

KeyId WineRegistryStore::AddKey(KeyId parent, const std::string& name) {
    SaveNode(parent);
    const KeyId id = NewNode(nodes_[static_cast<std::size_t>(parent)].hive, parent, name);
    // Wine writes a key without values too, so the new key gets its block at once.
    EditBlock(id);
    TouchTime(parent);
    return id;
}

void WineRegistryStore::RemoveKey(KeyId key) {
    SaveNode(key);
    Node& node = nodes_[static_cast<std::size_t>(key)];
    if (node.block >= 0) {
        EditBlock(key).removed = true;
    }
    Node& removed = nodes_[static_cast<std::size_t>(key)];
    removed.alive = false;
    byPath_.erase(removed.path);
    const KeyId parent = removed.parent;
    SaveNode(parent);
    auto& siblings = nodes_[static_cast<std::size_t>(parent)].children;
    std::erase(siblings, key);
    TouchTime(parent);
}

void WineRegistryStore::RemoveTree(KeyId key, bool keepSelf) {
    const std::vector<KeyId> children = nodes_[static_cast<std::size_t>(key)].children;
    for (const KeyId child : children) {
        RemoveTree(child, false);
    }
    if (!keepSelf) {
        RemoveKey(key);
        return;
    }
    if (nodes_[static_cast<std::size_t>(key)].block >= 0) {
        HiveFile::Block& block = EditBlock(key);
        std::erase_if(block.items,
                      [](const HiveFile::Item& item) { return item.value.has_value(); });
        HiveFile::Touch(block, FiletimeNow());
    }
}

void WineRegistryStore::WriteDirtyHives() {
    bool any = false;
    for (const Hive& hive : hives_) {
        any = any || hive.dirty;
    }
    if (!any) {
        return;
    }
    if (inMemory_) {
        for (Hive& hive : hives_) {
            hive.dirty = false;
        }
        return;
    }
    const ServerCheck server = CheckServer(prefix_);
    if (server.state == ServerState::Running) {
        throw StoreError(StoreError::Kind::WriteFailed, WineRunningMessage(prefix_));
    }
    if (server.state == ServerState::Unknown) {
        throw StoreError(StoreError::Kind::WriteFailed,
                         "cannot tell whether Wine is running in this prefix (" + server.detail +
                             "): nothing written");
    }
    for (const Hive& hive : hives_) {
        if (hive.dirty && Stamp::Of(hive.file) != hive.stamp) {
            throw StoreError(StoreError::Kind::WriteFailed,
                             hive.file.string() +
                                 " was changed by another program since it was read (did Wine "
                                 "run meanwhile?): nothing written to it");
        }
    }
    std::array<Stamp, kHives> written;
    for (int i = 0; i < kHives; ++i) {
        Hive& hive = hives_[i];
        if (!hive.dirty) {
            continue;
        }
        if (const int err = win32::WriteHostFileAtomically(hive.file, hive.doc.Serialize());
            err != 0) {
            throw StoreError(StoreError::Kind::WriteFailed,
                             "cannot write " + hive.file.string() + ": " + std::strerror(err));
        }
        written[i] = Stamp::Of(hive.file);
        ++fileWrites_;
    }
    for (int i = 0; i < kHives; ++i) {
        if (hives_[i].dirty) {
            hives_[i].stamp = written[i];
            hives_[i].dirty = false;
        }
    }
}

// ---- HKEY_CLASSES_ROOT ----

bool WineRegistryStore::IsMerged(KeyId key) const {
    return key >= kMergedBase;
}

KeyId WineRegistryStore::MergedId(std::vector<std::string> names) {
    const std::string path = FoldedPath(names);
    if (const auto it = mergedByPath_.find(path); it != mergedByPath_.end()) {
        return kMergedBase + static_cast<KeyId>(it->second);
    }
    merged_.push_back(std::move(names));
    mergedByPath_.emplace(path, merged_.size() - 1);
    return kMergedBase + static_cast<KeyId>(merged_.size() - 1);
}

WineRegistryStore::Sides WineRegistryStore::Resolve(const std::vector<std::string>& names) {
    Sides sides;
    const auto full = Joined(kClasses, names);
    KeyId key = 0;
    if (Walk(hives_[kUser].root, full, false, key) == Outcome::Ok) {
        sides.user = key;
    }
    if (Walk(hives_[kMachine].root, full, false, key) == Outcome::Ok) {
        sides.machine = key;
    }
    return sides;
}

Outcome WineRegistryStore::KeysBehind(KeyId key, std::vector<KeyId>& keys) {
    if (IsMerged(key)) {
        const auto& names = merged_[static_cast<std::size_t>(key - kMergedBase)];
        keys = Resolve(names).keys();
        if (keys.empty()) {
            return names.empty() ? Outcome::NotFound : Outcome::KeyDeleted;
        }
        return Outcome::Ok;
    }
    if (Live(key) == nullptr) {
        return Outcome::KeyDeleted;
    }
    keys = {key};
    return Outcome::Ok;
}

std::vector<std::pair<std::string, WineRegistryStore::Sides>> WineRegistryStore::MergedChildren(
    const Sides& sides) {
    std::vector<std::pair<std::string, Sides>> out;
    std::unordered_map<std::string, std::size_t> seen;
    for (const auto& [side, isUser] : {std::pair{sides.user, true}, {sides.machine, false}}) {
        if (!side) {
            continue;
        }
        for (const KeyId child : nodes_[static_cast<std::size_t>(*side)].children) {
            const std::string& name = nodes_[static_cast<std::size_t>(child)].name;
            const auto [it, added] = seen.emplace(registry::FoldName(name), out.size());
            if (added) {
                out.emplace_back(name, Sides{});
            }
            (isUser ? out[it->second].second.user : out[it->second].second.machine) = child;
        }
    }
    return out;
}

std::vector<registry::Value> WineRegistryStore::ValuesOf(KeyId key) {
    std::vector<registry::Value> out;
    const Node* node = Live(key);
    const HiveFile::Block* block = node != nullptr ? BlockOf(*node) : nullptr;
    if (block == nullptr) {
        return out;
    }
    for (const HiveFile::Item& item : block->items) {
        if (item.value) {
            out.push_back({item.value->name, item.value->type, item.value->data});
        }
    }
    return out;
}

// ---- the interface ----

std::string WineRegistryStore::location() const {
    return inMemory_ ? "a copy in memory of " + prefix_.string() : prefix_.string();
}

std::uint64_t WineRegistryStore::fileWrites() const {
    std::lock_guard lock(mutex_);
    return fileWrites_;
}

std::string WineRegistryStore::architecture() const {
    const std::lock_guard lock(mutex_);
    const std::string line = hives_[kMachine].doc.archLine();
    constexpr std::string_view kPrefix = "#arch=";
    return line.starts_with(kPrefix) ? line.substr(kPrefix.size()) : std::string();
}

std::string WineRegistryStore::userSid() const {
    std::lock_guard lock(mutex_);
    const std::string& root = hives_[kUser].rootName;
    return root.substr(root.rfind('\\') + 1);
}

KeyId WineRegistryStore::rootKey(registry::Root root) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    switch (root) {
        case registry::Root::LocalMachine:
            return hives_[kMachine].root;
        case registry::Root::CurrentUser:
            return hives_[kUser].root;
        case registry::Root::ClassesRoot:
            return MergedId({});
        case registry::Root::CurrentConfig: {
            KeyId key = 0;
            const std::vector<std::string> path = {"System", "CurrentControlSet",
                                                   "Hardware Profiles", "Current"};
            if (Walk(hives_[kMachine].root, path, false, key) == Outcome::Ok) {
                return key;
            }
            return virtualRoots_[root];
        }
        default:
            return virtualRoots_[root];
    }
}

Outcome WineRegistryStore::openKey(KeyId parent, std::span<const std::string> path, KeyId& key) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    if (IsMerged(parent)) {
        const auto& base = merged_[static_cast<std::size_t>(parent - kMergedBase)];
        if (!base.empty() && !Resolve(base).any()) {
            return Outcome::KeyDeleted;
        }
        auto names = Joined(base, path);
        if (!Resolve(names).any()) {
            return Outcome::NotFound;
        }
        key = MergedId(std::move(names));
        return Outcome::Ok;
    }
    return Walk(parent, path, false, key);
}

Outcome WineRegistryStore::createKey(KeyId parent, std::span<const std::string> path, KeyId& key) {
    std::lock_guard lock(mutex_);
    if (IsMerged(parent)) {
        if (const Outcome opened = openKey(parent, path, key); opened != Outcome::NotFound) {
            return opened;
        }
        auto names = Joined(merged_[static_cast<std::size_t>(parent - kMergedBase)], path);
        return Mutate([&] {
            KeyId created = 0;
            const Outcome outcome =
                Walk(hives_[kMachine].root, Joined(kClasses, names), true, created);
            if (outcome == Outcome::Ok) {
                key = MergedId(names);
            }
            return outcome;
        });
    }
    return Mutate([&] { return Walk(parent, path, true, key); });
}

bool WineRegistryStore::keyExists(KeyId key) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    if (IsMerged(key)) {
        const auto& names = merged_[static_cast<std::size_t>(key - kMergedBase)];
        return names.empty() || Resolve(names).any();
    }
    return Live(key) != nullptr;
}

Outcome WineRegistryStore::deleteKey(KeyId key) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    if (IsMerged(key)) {
        const auto names = merged_[static_cast<std::size_t>(key - kMergedBase)];
        if (names.empty()) {
            return Outcome::IsRoot;
        }
        const Sides sides = Resolve(names);
        if (!sides.any()) {
            return Outcome::KeyDeleted;
        }
        if (!MergedChildren(sides).empty()) {
            return Outcome::HasSubkeys;
        }
        return Mutate([&] {
            for (const KeyId side : sides.keys()) {
                RemoveKey(side);
            }
            return Outcome::Ok;
        });
    }
    const Node* node = Live(key);
    if (node == nullptr) {
        return Outcome::KeyDeleted;
    }
    if (node->parent == 0) {
        return Outcome::IsRoot;
    }
    if (!node->children.empty()) {
        return Outcome::HasSubkeys;
    }
    return Mutate([&] {
        RemoveKey(key);
        return Outcome::Ok;
    });
}

Outcome WineRegistryStore::deleteTree(KeyId key) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    if (IsMerged(key)) {
        const auto names = merged_[static_cast<std::size_t>(key - kMergedBase)];
        const Sides sides = Resolve(names);
        if (!sides.any()) {
            return names.empty() ? Outcome::Ok : Outcome::KeyDeleted;
        }
        return Mutate([&] {
            for (const KeyId side : sides.keys()) {
                RemoveTree(side, names.empty());
            }
            return Outcome::Ok;
        });
    }
    const Node* node = Live(key);
    if (node == nullptr) {
        return Outcome::KeyDeleted;
    }
    RefuseWrite(*node);
    const bool root = node->parent == 0;
    return Mutate([&] {
        RemoveTree(key, root);
        return Outcome::Ok;
    });
}

Outcome WineRegistryStore::queryValue(KeyId key, std::string_view name,
                                      registry::ValueData& value) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    std::vector<KeyId> lookIn;
    if (const Outcome found = KeysBehind(key, lookIn); found != Outcome::Ok) {
        return found;
    }
    const std::string folded = registry::FoldName(name);
    for (const KeyId id : lookIn) {
        const HiveFile::Block* block = BlockOf(nodes_[static_cast<std::size_t>(id)]);
        if (const HiveFile::Item* item = block ? HiveFile::FindValue(*block, folded) : nullptr) {
            value.type = item->value->type;
            value.data = item->value->data;
            return Outcome::Ok;
        }
    }
    return Outcome::NotFound;
}

Outcome WineRegistryStore::setValue(KeyId key, std::string_view name, std::uint32_t type,
                                    std::span<const std::uint8_t> data) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    if (IsMerged(key)) {
        const auto& names = merged_[static_cast<std::size_t>(key - kMergedBase)];
        const Sides sides = Resolve(names);
        const auto target = sides.user ? sides.user : sides.machine;
        if (!target) {
            if (!names.empty()) {
                return Outcome::KeyDeleted;
            }
            // The machine's Classes key made and the value set as one change, or neither.
            return Mutate([&] {
                KeyId classes = 0;
                if (const Outcome made = Walk(hives_[kMachine].root, kClasses, true, classes);
                    made != Outcome::Ok) {
                    return made;
                }
                return setValue(classes, name, type, data);
            });
        }
        return setValue(*target, name, type, data);
    }
    const Node* node = Live(key);
    if (node == nullptr) {
        return Outcome::KeyDeleted;
    }
    RefuseWrite(*node);
    return Mutate([&] {
        HiveFile::Block& block = EditBlock(key);
        HiveFile::SetValue(block, ValueLine{std::string(name), type, {data.begin(), data.end()}});
        HiveFile::Touch(block, FiletimeNow());
        return Outcome::Ok;
    });
}

Outcome WineRegistryStore::deleteValue(KeyId key, std::string_view name) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    std::vector<KeyId> targets;
    if (const Outcome found = KeysBehind(key, targets); found != Outcome::Ok) {
        return found;
    }
    const std::string folded = registry::FoldName(name);
    std::erase_if(targets, [&](KeyId id) {
        const HiveFile::Block* block = BlockOf(nodes_[static_cast<std::size_t>(id)]);
        return block == nullptr || HiveFile::FindValue(*block, folded) == nullptr;
    });
    if (targets.empty()) {
        return Outcome::NotFound;
    }
    return Mutate([&] {
        for (const KeyId id : targets) {
            HiveFile::Block& block = EditBlock(id);
            HiveFile::DeleteValue(block, folded);
            HiveFile::Touch(block, FiletimeNow());
        }
        return Outcome::Ok;
    });
}

Outcome WineRegistryStore::subkeys(KeyId key, std::vector<registry::Subkey>& out) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    out.clear();
    if (IsMerged(key)) {
        const auto names = merged_[static_cast<std::size_t>(key - kMergedBase)];
        const Sides sides = Resolve(names);
        if (!sides.any() && !names.empty()) {
            return Outcome::KeyDeleted;
        }
        for (const auto& [name, childSides] : MergedChildren(sides)) {
            auto childNames = names;
            childNames.push_back(name);
            out.push_back({MergedId(std::move(childNames)), name});
        }
        return Outcome::Ok;
    }
    const Node* node = Live(key);
    if (node == nullptr) {
        return Outcome::KeyDeleted;
    }
    for (const KeyId child : node->children) {
        out.push_back({child, nodes_[static_cast<std::size_t>(child)].name});
    }
    return Outcome::Ok;
}

Outcome WineRegistryStore::subkeyAt(KeyId key, std::uint32_t index, std::string& name) {
    std::lock_guard lock(mutex_);
    return registry::SubkeyAtIndex(*this, key, index, name);
}

Outcome WineRegistryStore::values(KeyId key, std::vector<registry::Value>& out) {
    std::lock_guard lock(mutex_);
    RefreshIfChanged();
    out.clear();
    if (IsMerged(key)) {
        const auto& names = merged_[static_cast<std::size_t>(key - kMergedBase)];
        const Sides sides = Resolve(names);
        if (!sides.any() && !names.empty()) {
            return Outcome::KeyDeleted;
        }
        out = registry::MergedValues(sides.keys(), [&](KeyId side) { return ValuesOf(side); });
        return Outcome::Ok;
    }
    if (Live(key) == nullptr) {
        return Outcome::KeyDeleted;
    }
    out = ValuesOf(key);
    return Outcome::Ok;
}

Outcome WineRegistryStore::valueAt(KeyId key, std::uint32_t index, registry::Value& value) {
    std::lock_guard lock(mutex_);
    return registry::ValueAtIndex(*this, key, index, value);
}

void WineRegistryStore::transaction(const std::function<void()>& body) {
    std::lock_guard lock(mutex_);
    registry::InFrame([&] { Begin(); }, [&] { Commit(); }, [&] { Rollback(); }, body);
}

}  // namespace wine
