#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/registry/RegistryStore.h"

struct sqlite3;
struct sqlite3_stmt;

namespace registry {

// What a user does about a registry file that cannot be used: move it aside and build a new
// one from a saved export with velto-machine reg import.
std::string RecoveryAdvice(const std::filesystem::path& machineFolder,
                           const std::filesystem::path& registryFile);

// The registry of one machine in one SQLite file (registry.db). Several processes may use
// the same file at once: the file runs in write-ahead-log mode, every write takes the write
// lock up front and waits up to `busyTimeout` for another process to finish.
class SqliteRegistryStore final : public RegistryStore {
  public:
    static constexpr int kSchemaVersion = 1;
    static constexpr std::chrono::milliseconds kDefaultBusyTimeout{10000};

    // Creates a new, empty registry file with the seven roots. Never replaces an existing
    // file: fails with StoreError(CannotOpen) when `path` exists.
    static void Create(const std::filesystem::path& path);

    // Opens an existing registry file. A file that is not a registry of a known schema
    // gives StoreError(Corrupt) and is left untouched.
    static std::unique_ptr<SqliteRegistryStore> Open(
        const std::filesystem::path& path,
        std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);

    // Opens an existing registry file for reading without writing a byte into its folder, so
    // that a machine the user may only read can be read: at rest (no write-ahead log beside
    // it) the file is opened immutable, which takes no lock and makes no -wal or -shm file;
    // while a writer has its log open, read-only through that log. Every write fails.
    static std::unique_ptr<SqliteRegistryStore> OpenReadOnly(const std::filesystem::path& path);

    // A new, empty registry that lives in memory only and goes with the store; `description`
    // names it in messages.
    static std::unique_ptr<SqliteRegistryStore> CreateInMemory(const std::string& description);

    ~SqliteRegistryStore() override;
    SqliteRegistryStore(const SqliteRegistryStore&) = delete;
    SqliteRegistryStore& operator=(const SqliteRegistryStore&) = delete;

    std::string location() const override;
    KeyId rootKey(Root root) override;
    Outcome openKey(KeyId parent, std::span<const std::string> path, KeyId& key) override;
    Outcome createKey(KeyId parent, std::span<const std::string> path, KeyId& key) override;
    bool keyExists(KeyId key) override;
    Outcome deleteKey(KeyId key) override;
    Outcome deleteTree(KeyId key) override;
    Outcome queryValue(KeyId key, std::string_view name, ValueData& value) override;
    Outcome setValue(KeyId key, std::string_view name, std::uint32_t type,
                     std::span<const std::uint8_t> data) override;
    Outcome deleteValue(KeyId key, std::string_view name) override;
    Outcome subkeyAt(KeyId key, std::uint32_t index, std::string& name) override;
    Outcome valueAt(KeyId key, std::uint32_t index, Value& value) override;
    Outcome subkeys(KeyId key, std::vector<Subkey>& out) override;
    Outcome values(KeyId key, std::vector<Value>& out) override;
    void transaction(const std::function<void()>& body) override;

  private:
    class Statement;
    class ReadTogether;
    SqliteRegistryStore(sqlite3* db, std::filesystem::path path);
    // Opens `name` (the path, or a URI naming it) with `flags` and checks that it is a
    // registry of this schema.
    static std::unique_ptr<SqliteRegistryStore> OpenChecked(const std::filesystem::path& path,
                                                            const std::string& name, int flags,
                                                            std::chrono::milliseconds busyTimeout);

    Statement prepare(const char* sql);
    void exec(const char* sql, bool writing);
    [[noreturn]] void fail(int rc, bool writing) const;
    template <class F>
    Outcome write(F&& body);
    bool keyExistsLocked(KeyId key);
    std::optional<KeyId> childKey(KeyId parent, const std::string& name);

    sqlite3* db_;
    std::filesystem::path path_;
    std::map<std::string_view, sqlite3_stmt*> statements_;  // keyed by the SQL literal
    std::recursive_mutex mutex_;
    int depth_ = 0;  // open write transactions: 0, or 1 plus nested savepoints
};

}  // namespace registry
