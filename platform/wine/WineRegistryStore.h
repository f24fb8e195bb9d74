#pragma once
// The registry of a Wine prefix: its three text files, read once into memory.
//
//   HKEY_LOCAL_MACHINE          system.reg
//   HKEY_CURRENT_USER           user.reg  (also HKEY_USERS\<the user's SID>)
//   HKEY_USERS\.Default         userdef.reg
//   HKEY_CLASSES_ROOT           HKCU\Software\Classes over HKLM\Software\Classes, as Windows
//                               merges them: a key or value of the user's comes first; a write
//                               goes to the user's key where it has one, else to the machine's
//   HKEY_CURRENT_CONFIG         HKLM\System\CurrentControlSet\Hardware Profiles\Current
//   the other roots             empty, and nothing can be written to them
//
// A key marked "#link" leads to the key its SymbolicLinkValue names, as it does in Wine.
//
// Every write changes the memory first and then replaces each file it changed, once, with
// win32's atomic file replacement: inside a transaction once at its end, else once per call.
// What the write did not change is written back byte for byte (HiveFile.h). A file is never
// written while a wineserver runs for the prefix, nor when it changed on disk since it was
// read (Wine ended meanwhile and wrote its own): the write fails with StoreError(WriteFailed)
// and the memory goes back to what the files hold. A file that changed on disk is read again
// before the next call that is not inside a transaction; keys opened before then report
// KeyDeleted.

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/registry/RegistryStore.h"
#include "platform/wine/HiveFile.h"

namespace wine {

class WineRegistryStore final : public registry::RegistryStore {
  public:
    static constexpr const char* kMachineFile = "system.reg";
    static constexpr const char* kUserFile = "user.reg";
    static constexpr const char* kDefaultUserFile = "userdef.reg";

    // Reads the files of `prefix`. StoreError(CannotOpen) when system.reg cannot be read,
    // Corrupt when a file is not a Wine registry. A missing user.reg or userdef.reg is made
    // on the first write to it.
    static std::shared_ptr<WineRegistryStore> Open(const std::filesystem::path& prefix);

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
    // Itself, as it stands: keys, values and file texts are already in memory, so the copy
    // costs no reading. The copy never reads or writes the files.
    std::unique_ptr<registry::RegistryStore> copyIntoMemory() override;

    // How many times a file was written since the store was opened.
    std::uint64_t fileWrites() const;
    // The user's security identifier, as user.reg names its root.
    std::string userSid() const;
    // The architecture system.reg names ("win64", "win32"), or "" when it names none (Wine then
    // takes the prefix as a 32-bit one).
    std::string architecture() const;

  private:
    static constexpr int kHives = 3;

    struct Stamp {
        bool exists = false;
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t seconds = 0, nanoseconds = 0;
        bool operator==(const Stamp&) const = default;
    };
    struct Hive {
        std::filesystem::path file;
        std::string rootName;  // "\Registry\Machine", as links name it
        HiveFile doc;
        Stamp stamp;
        bool dirty = false;
        registry::KeyId root = 0;
    };
    struct Node {
        std::string name;
        std::string path;  // hive number, ":", folded names joined by "\"
        registry::KeyId parent = 0;
        int hive = -1;  // -1: a root that is no file's
        bool alive = true;
        std::vector<registry::KeyId> children;
        // The key's block in its file; -1 for a key the file only names on the way to others.
        std::ptrdiff_t block = -1;
    };
    struct Frame {
        std::map<registry::KeyId, Node> nodes;
        std::map<std::pair<int, std::size_t>, HiveFile::Block> blocks;
        std::size_t nodeCount = 0;
        std::array<std::size_t, kHives> blockCounts{};
        std::array<bool, kHives> dirty{};
    };
    struct Sides {
        std::optional<registry::KeyId> user;
        std::optional<registry::KeyId> machine;
        bool any() const { return user || machine; }
        // The sides there are, the user's first: it wins where both hold a value.
        std::vector<registry::KeyId> keys() const {
            std::vector<registry::KeyId> found;
            for (const auto& side : {user, machine}) {
                if (side) {
                    found.push_back(*side);
                }
            }
            return found;
        }
    };

    explicit WineRegistryStore(std::filesystem::path prefix);
    // The copy in memory of `from` (copyIntoMemory).
    struct InMemory {};
    WineRegistryStore(const WineRegistryStore& from, InMemory);

    void Load(int hive);
    void RefreshIfChanged();
    Stamp StampOf(const std::filesystem::path& file) const;
    registry::KeyId NewNode(int hive, registry::KeyId parent, std::string name);
    Node* Live(registry::KeyId key);
    HiveFile::Block* BlockOf(const Node& node);
    std::optional<registry::KeyId> Child(registry::KeyId parent, std::string_view name);
    std::optional<registry::KeyId> LinkTarget(const Node& node);
    registry::Outcome Walk(registry::KeyId parent, std::span<const std::string> path, bool create,
                           registry::KeyId& key);
    void RefuseWrite(const Node& node) const;

    // Changes inside a frame, and their undoing.
    void Begin();
    void Commit();
    void Rollback();
    template <class F>
    registry::Outcome Mutate(F&& body);
    void SaveNode(registry::KeyId key);
    HiveFile::Block& EditBlock(registry::KeyId key);
    void TouchTime(registry::KeyId key);
    registry::KeyId AddKey(registry::KeyId parent, const std::string& name);
    void RemoveKey(registry::KeyId key);
    void RemoveTree(registry::KeyId key, bool keepSelf);
    void WriteDirtyHives();

    // HKEY_CLASSES_ROOT.
    bool IsMerged(registry::KeyId key) const;
    registry::KeyId MergedId(std::vector<std::string> names);
    Sides Resolve(const std::vector<std::string>& names);
    // The keys a value of `key` lives in: a merged key's sides, else the key itself; the
    // outcome says why there are none.
    registry::Outcome KeysBehind(registry::KeyId key, std::vector<registry::KeyId>& keys);
    std::vector<std::pair<std::string, Sides>> MergedChildren(const Sides& sides);
    std::vector<registry::Value> ValuesOf(registry::KeyId key);

    std::filesystem::path prefix_;
    std::array<Hive, kHives> hives_;
    std::vector<Node> nodes_;
    std::unordered_map<std::string, registry::KeyId> byPath_;
    std::map<registry::Root, registry::KeyId> virtualRoots_;
    std::vector<std::vector<std::string>> merged_;
    std::unordered_map<std::string, std::size_t> mergedByPath_;
    std::vector<Frame> frames_;
    std::uint64_t fileWrites_ = 0;
    // A copy made by copyIntoMemory: the files are neither looked at again nor written.
    bool inMemory_ = false;
    mutable std::recursive_mutex mutex_;
};

}  // namespace wine
