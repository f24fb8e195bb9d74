#pragma once
// The registry of a Windows installation that is not running, over its hive files:
//
//   HKEY_LOCAL_MACHINE\SOFTWARE     Windows\System32\config\SOFTWARE
//   HKEY_LOCAL_MACHINE\SYSTEM       Windows\System32\config\SYSTEM; CurrentControlSet below it
//                                   is the set SYSTEM\Select "Current" names (ControlSet001),
//                                   reached by name only: the hive has no key of that name, so
//                                   none is listed and none can be made
//   HKEY_USERS\.DEFAULT             Windows\System32\config\DEFAULT
//   HKEY_CURRENT_USER               the user's NTUSER.DAT (also HKEY_USERS\<SID>); its
//                                   Software\Classes is the user's UsrClass.dat (also
//                                   HKEY_USERS\<SID>_Classes) when there is one
//   HKEY_CLASSES_ROOT               HKCU\Software\Classes over HKLM\SOFTWARE\Classes, merged as
//                                   Windows merges them: a key or value of the user's comes
//                                   first; a write goes to the user's key where it has one,
//                                   else to the machine's
//   HKEY_CURRENT_CONFIG             HKLM\SYSTEM\CurrentControlSet\Hardware Profiles\Current
//   the other roots                 empty; nothing can be written to them or to the roots of
//                                   HKEY_LOCAL_MACHINE and HKEY_USERS
// Subkeys enumerate in the order the hive lists them (sorted, as Windows keeps them), values
// in the order the key holds them. Keys deeper than 512 levels (Windows' limit) are not shown.
//
// Each hive is checked (HiveHealth.h) before it is read: a damaged one cannot be opened
// (StoreError Corrupt); a dirty one is read, but nothing is written to any hive while one is
// (nor while the installation gives another reason, writeRefusal), since Windows would replay
// its logs over whatever was written.
//
// Writes change libhivex's copy of a hive in memory (the hive is read whole for that on its
// first change). libhivex lays out every value of a key anew for each value it sets, and never
// reuses the space of the old ones, so the values a transaction sets are kept aside per key
// and set once, at its end. Then each hive that changed is written once: to a sibling file,
// flushed, and renamed over the hive after every other changed hive was written likewise
// (HiveWrite.h). A hive changed on disk since it was read is never written over (the write fails);
// one changed while no transaction runs is read again before the next call, and keys opened before
// then are found again by their path. libhivex cannot take back part of its copy: a write that
// fails inside a transaction whose body goes on makes the whole transaction fail at its end, with
// nothing written.

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/offline/Hive.h"
#include "platform/registry/FileStoreSupport.h"
#include "platform/registry/RegistryStore.h"

namespace offline {

class OfflineRegistryStore final : public registry::RegistryStore {
  public:
    enum HiveId : int { kSoftware, kSystem, kDefaultUser, kUser, kUserClasses, kHiveCount };

    using Stamp = registry::FileStamp;
    // A hive file checked (HiveHealth.h) and opened for reading.
    struct LoadedHive {
        std::unique_ptr<Hive> hive;  // null for a hive the installation does not have
        Stamp stamp;
        // Why it is dirty; empty when it is not.
        std::string dirtyReason;
    };
    // Throws StoreError(Corrupt) for a damaged hive, saying what is wrong with it.
    static LoadedHive LoadHive(const std::filesystem::path& file);

    // SOFTWARE, SYSTEM and the user's NTUSER.DAT are needed; the others may be missing.
    // `writeRefusal`, when given, is why nothing may be written at all; a store opened to
    // read (`readOnly`) takes no write either.
    static std::shared_ptr<OfflineRegistryStore> Open(std::array<LoadedHive, kHiveCount> hives,
                                                      std::string userSid,
                                                      std::optional<std::string> writeRefusal,
                                                      bool readOnly = false);

    // Why a write fails before it starts: the refusal given, else the first dirty hive's
    // state; nullopt when the hives may be written.
    std::optional<std::string> writeRefusal() const;
    // How many times a hive file was written since the store was opened.
    std::uint64_t fileWrites() const;

    std::string location() const override;
    registry::KeyId rootKey(registry::Root root) override;
    registry::Outcome openKey(registry::KeyId parent, std::span<const std::string> path,
                              registry::KeyId& key) override;
    registry::Outcome createKey(registry::KeyId parent, std::span<const std::string> path,
                                registry::KeyId& key) override;
    bool keyExists(registry::KeyId key) override;
    registry::Outcome deleteKey(registry::KeyId key) override;
    registry::Outcome deleteTree(registry::KeyId key) override;
    registry::Outcome queryValue(registry::KeyId key, std::string_view name,
                                 registry::ValueData& value) override;
    registry::Outcome setValue(registry::KeyId key, std::string_view name, std::uint32_t type,
                               std::span<const std::uint8_t> data) override;
    registry::Outcome deleteValue(registry::KeyId key, std::string_view name) override;
    registry::Outcome subkeyAt(registry::KeyId key, std::uint32_t index,
                               std::string& name) override;
    registry::Outcome valueAt(registry::KeyId key, std::uint32_t index,
                              registry::Value& value) override;
    registry::Outcome subkeys(registry::KeyId key, std::vector<registry::Subkey>& out) override;
    registry::Outcome values(registry::KeyId key, std::vector<registry::Value>& out) override;
    void transaction(const std::function<void()>& body) override;
    // The same hives read anew into a store whose writes stay in libhivex's copies in memory
    // and never reach a file, even where nothing may be written: a copy of the whole registry
    // (hundreds of thousands of keys) would cost more than the check it serves. (A write that
    // fails inside a transaction there loses what the copy was told before.)
    std::unique_ptr<registry::RegistryStore> copyIntoMemory() override;

  private:
    struct Slot : LoadedHive {
        // Raised whenever the hive is read anew: keys are found again by their path.
        std::uint64_t generation = 0;
        // The changes to its copy that are in the file.
        std::uint64_t written = 0;
        bool unwritten() const { return hive && hive->mutations() != written; }
    };
    struct Entry {
        enum class Kind { Virtual, Node, Merged };
        Kind kind = Kind::Virtual;
        int hive = -1;
        NodeRef node = 0;
        std::uint64_t generation = 0;
        // The key this one was reached from and its name there, to find it again.
        registry::KeyId parent = 0;
        std::string name;
        int depth = 0;
        // A virtual key: the root it is, for its fixed subkeys.
        registry::Root root = registry::Root::LocalMachine;
        // A key of HKEY_CLASSES_ROOT: its path below the root, and the keys behind it as they
        // were when the hives' keys last changed (`sidesAt`).
        std::vector<std::string> merged;
        std::optional<std::pair<std::optional<registry::KeyId>, std::optional<registry::KeyId>>>
            sides;
        std::uint64_t sidesAt = 0;
    };
    struct Place {
        int hive = -1;
        NodeRef node = 0;
    };
    using Sides = registry::ClassesSides;

    OfflineRegistryStore(std::array<LoadedHive, kHiveCount> hives, std::string userSid,
                         std::optional<std::string> writeRefusal);

    void Load(int hive);
    void RefreshIfChanged();

    registry::KeyId NewEntry(Entry entry);
    registry::KeyId HiveRoot(int hive);
    registry::KeyId Virtual(registry::Root root);
    registry::KeyId KeyFor(Place place, registry::KeyId parent, const std::string& name);
    std::optional<Place> Locate(registry::KeyId key);
    std::optional<Place> Find(registry::KeyId parent, std::string_view name);
    std::optional<registry::KeyId> Child(registry::KeyId parent, std::string_view name);
    std::vector<registry::Subkey> ChildrenOf(registry::KeyId key);
    std::optional<NodeRef> ControlSetNode();
    bool IsUserSoftware(const Place& place);
    registry::Outcome Walk(registry::KeyId parent, std::span<const std::string> path, bool create,
                           registry::KeyId& key);

    // Writing.
    // The values of a key as the transaction left them so far.
    std::vector<RawValue> ValuesAt(const Place& place);
    std::vector<RawValue>& EditValues(const Place& place);
    void FlushValues();
    void RefuseIfNotWritable() const;
    Hive& Writable(int hive);
    registry::KeyId AddKey(registry::KeyId parent, const std::string& name);
    void Begin();
    void Commit();
    void Rollback();
    template <class F>
    registry::Outcome Mutate(F&& body);
    void DiscardChanges();

    // HKEY_CLASSES_ROOT.
    bool IsMerged(registry::KeyId key) const;
    registry::KeyId MergedId(std::vector<std::string> names);
    // The keys behind a key of HKEY_CLASSES_ROOT, found once for as long as no key is made or
    // deleted: listing a big key (CLSID) would otherwise walk from the root for every subkey.
    Sides SidesOf(registry::KeyId merged);
    Sides Below(const Sides& from, std::span<const std::string> path);
    void Remember(registry::KeyId merged, const Sides& sides);
    std::optional<registry::KeyId> UserClasses();
    std::optional<registry::KeyId> MachineClasses();
    registry::Outcome KeysBehind(registry::KeyId key, std::vector<registry::KeyId>& keys);
    std::vector<registry::Value> ValuesOf(registry::KeyId key);

    std::array<Slot, kHiveCount> slots_;
    std::string userSid_;
    std::optional<std::string> refusal_;
    std::vector<Entry> entries_;
    std::map<std::pair<int, NodeRef>, registry::KeyId> byPlace_;
    std::map<registry::Root, registry::KeyId> virtual_;
    std::unordered_map<std::string, registry::KeyId> mergedByPath_;
    // Raised whenever a hive is written to or read anew.
    std::uint64_t structure_ = 0;
    int depth_ = 0;
    // How many changes libhivex's copies had when each frame began.
    std::uint64_t Mutations() const;
    std::vector<std::uint64_t> frames_;
    // Values set or deleted in this transaction, by key, not yet handed to libhivex.
    std::map<std::pair<int, NodeRef>, std::vector<RawValue>> pendingValues_;
    std::uint64_t valueEdits_ = 0;
    bool failedInside_ = false;
    // Set when a hive could not be read again after changes to it were thrown away.
    std::string broken_;
    bool scratch_ = false;
    bool readOnly_ = false;
    std::uint64_t fileWrites_ = 0;
    mutable std::recursive_mutex mutex_;
};

}  // namespace offline
