#include "platform/registry/SqliteRegistryStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace registry {

namespace {

// registry.db, schema version 1 (PRAGMA user_version), PRAGMA application_id 0x564C5452 "VLTR".
//   keys(id, parent, name, fold): one row per key. The seven roots are ids 1..7 in handle
//     order (HKEY_CLASSES_ROOT 1 ... HKEY_DYN_DATA 7) with parent 0. `name` keeps the spelling
//     the key was created with; `fold` is FoldName(name) and is unique among siblings. Ids
//     grow and are never reused (AUTOINCREMENT), so ORDER BY id is creation order.
//   vals(id, key, name, fold, type, data): one row per value of key `key`, the default value
//     under the empty name, `fold` unique per key. `type` is the REG_* number (unsigned
//     32-bit) and `data` the bytes exactly as written: REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ
//     hold the program's UTF-8 text with the terminating NUL the ANSI call writes; REG_DWORD
//     is 4 bytes, little-endian.
// The file runs in write-ahead-log mode so that readers in other processes never wait.
constexpr int kApplicationId = 0x564C5452;
constexpr const char* kSchema = R"sql(
CREATE TABLE keys (
    id     INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER NOT NULL,
    name   TEXT NOT NULL,
    fold   TEXT NOT NULL,
    UNIQUE (parent, fold)
);
CREATE INDEX keys_in_order ON keys (parent, id);
CREATE TABLE vals (
    id   INTEGER PRIMARY KEY AUTOINCREMENT,
    key  INTEGER NOT NULL,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE (key, fold)
);
CREATE INDEX vals_in_order ON vals (key, id);
)sql";

KeyId RootId(Root root) {
    return static_cast<KeyId>(static_cast<std::uint32_t>(root) -
                              static_cast<std::uint32_t>(Root::ClassesRoot)) +
           1;
}

std::string ErrnoText() {
    return std::strerror(errno);
}

// Makes a finished file or a directory entry durable; the error text, or empty on success.
std::string SyncPath(const std::filesystem::path& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        return ErrnoText();
    }
    const std::string failure = ::fsync(fd) == 0 ? std::string() : ErrnoText();
    ::close(fd);
    return failure;
}

// The schema and the seven roots of an empty registry, as one transaction.
std::string NewRegistrySql() {
    std::string sql =
        "PRAGMA application_id = " + std::to_string(kApplicationId) +
        ";PRAGMA user_version = " + std::to_string(SqliteRegistryStore::kSchemaVersion) +
        ";BEGIN;" + kSchema + "INSERT INTO keys (id, parent, name, fold) VALUES ";
    for (Root root : kAllRoots) {
        const std::string name(RootName(root));
        sql += (root == Root::ClassesRoot ? "(" : ",(") + std::to_string(RootId(root)) + ", 0, '" +
               name + "', '" + FoldName(name) + "')";
    }
    return sql + ";COMMIT;";
}

// The URI SQLite opens `path` by: of an absolute path, only what a URI decodes or ends the
// path at ("%", "?", "#") needs escaping.
std::string FileUri(const std::filesystem::path& path) {
    const std::filesystem::path absolute = std::filesystem::absolute(path);
    std::string uri = "file:";
    for (const char c : absolute.native()) {
        uri += c == '%'   ? std::string("%25")
               : c == '?' ? "%3f"
               : c == '#' ? "%23"
                          : std::string(1, c);
    }
    return uri;
}

}  // namespace

std::string RecoveryAdvice(const std::filesystem::path& machineFolder,
                           const std::filesystem::path& registryFile) {
    return "to recover, move " + registryFile.string() +
           " aside and build a new registry from a saved export with: velto-machine reg import " +
           machineFolder.string() +
           " FILE (FILE written by velto-machine reg export; a file holding only the line "
           "REGEDIT4 gives an empty registry)";
}

// A prepared statement from the store's cache, reset when it goes out of scope.
class SqliteRegistryStore::Statement {
  public:
    Statement(SqliteRegistryStore& store, sqlite3_stmt* stmt) : store_(store), stmt_(stmt) {}
    ~Statement() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, std::int64_t value) {
        check(sqlite3_bind_int64(stmt_, index, value));
        return *this;
    }
    Statement& bind(int index, std::string_view text) {
        // A non-null pointer keeps an empty name an empty text rather than NULL.
        check(sqlite3_bind_text(stmt_, index, text.empty() ? "" : text.data(),
                                static_cast<int>(text.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bind(int index, std::span<const std::uint8_t> bytes) {
        static const std::uint8_t kEmpty = 0;
        check(sqlite3_bind_blob(stmt_, index, bytes.empty() ? &kEmpty : bytes.data(),
                                static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
        return *this;
    }

    // True while a row is available.
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) {
            return true;
        }
        if (rc == SQLITE_DONE) {
            return false;
        }
        store_.fail(rc, store_.depth_ > 0);
    }

    std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string text(int column) const {
        const auto* p = sqlite3_column_text(stmt_, column);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                 : std::string();
    }
    std::vector<std::uint8_t> blob(int column) const {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
        return p ? std::vector<std::uint8_t>(
                       p, p + static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                 : std::vector<std::uint8_t>();
    }

  private:
    void check(int rc) {
        if (rc != SQLITE_OK) {
            store_.fail(rc, store_.depth_ > 0);
        }
    }

    SqliteRegistryStore& store_;
    sqlite3_stmt* stmt_;
};

void SqliteRegistryStore::Create(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        throw StoreError(StoreError::Kind::CannotOpen,
                         "registry " + path.string() + " already exists; it is left as it is");
    }
    // Built under a sibling name and published with link(), which refuses to replace a file
    // that appeared meanwhile; a crash leaves at most the sibling behind.
    const std::filesystem::path sibling =
        path.string() + ".new-" + std::to_string(static_cast<long>(::getpid()));
    std::filesystem::remove(sibling, ec);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(sibling.c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXRESCODE,
                             nullptr);
    std::string failure;
    if (rc == SQLITE_OK) {
        // No syncs while building: the file is private until it is synced once and linked.
        const std::string sql =
            "PRAGMA synchronous = OFF;" + NewRegistrySql() + "PRAGMA journal_mode = WAL;";
        rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        failure = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    }
    // Closing the only connection folds the log into the file and removes it.
    if (sqlite3_close(db) != SQLITE_OK && failure.empty()) {
        failure = "cannot close the new file";
    }
    if (failure.empty()) {
        failure = SyncPath(sibling, O_RDONLY);
    }
    if (failure.empty() && ::link(sibling.c_str(), path.c_str()) != 0) {
        failure = ErrnoText();
    }
    std::filesystem::remove(sibling, ec);
    if (failure.empty()) {
        failure =
            SyncPath(path.parent_path().empty() ? "." : path.parent_path(), O_RDONLY | O_DIRECTORY);
    }
    if (!failure.empty()) {
        throw StoreError(StoreError::Kind::WriteFailed,
                         "cannot create registry " + path.string() + ": " + failure);
    }
}

std::unique_ptr<SqliteRegistryStore> SqliteRegistryStore::Open(
    const std::filesystem::path& path, std::chrono::milliseconds busyTimeout) {
    // Without SQLITE_OPEN_CREATE a missing file fails instead of becoming an empty registry.
    auto store = OpenChecked(path, path.string(), SQLITE_OPEN_READWRITE, busyTimeout);
    store->exec("PRAGMA synchronous = FULL", false);
    return store;
}

std::unique_ptr<SqliteRegistryStore> SqliteRegistryStore::OpenReadOnly(
    const std::filesystem::path& path) {
    // A log with content holds commits the file does not: they are read through it, which
    // needs its index (-shm) from the writer. An empty log holds nothing.
    std::error_code ec;
    const auto logSize = std::filesystem::file_size(path.string() + "-wal", ec);
    const std::string uri = FileUri(path) + (!ec && logSize > 0 ? "?mode=ro" : "?immutable=1");
    return OpenChecked(path, uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, kDefaultBusyTimeout);
}

std::unique_ptr<SqliteRegistryStore> SqliteRegistryStore::OpenChecked(
    const std::filesystem::path& path, const std::string& name, int flags,
    std::chrono::milliseconds busyTimeout) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        throw StoreError(StoreError::Kind::CannotOpen,
                         "registry " + path.string() +
                             " does not exist (velto-machine create makes a machine with one)");
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(name.c_str(), &db,
                                   flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK) {
        const std::string why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw StoreError(StoreError::Kind::CannotOpen,
                         "cannot open registry " + path.string() + ": " + why);
    }
    std::unique_ptr<SqliteRegistryStore> store(new SqliteRegistryStore(db, path));
    sqlite3_busy_timeout(db, static_cast<int>(busyTimeout.count()));

    std::int64_t applicationId = 0;
    std::int64_t version = 0;
    {
        Statement query = store->prepare("PRAGMA application_id");
        if (query.step()) {
            applicationId = query.integer(0);
        }
    }
    {
        Statement query = store->prepare("PRAGMA user_version");
        if (query.step()) {
            version = query.integer(0);
        }
    }
    if (applicationId != kApplicationId) {
        throw StoreError(StoreError::Kind::Corrupt,
                         "registry " + path.string() + " is not a registry database");
    }
    if (version != kSchemaVersion) {
        throw StoreError(StoreError::Kind::Corrupt,
                         "registry " + path.string() + " has schema version " +
                             std::to_string(version) + "; this program reads version " +
                             std::to_string(kSchemaVersion));
    }
    return store;
}

std::unique_ptr<SqliteRegistryStore> SqliteRegistryStore::CreateInMemory(
    const std::string& description) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(":memory:", &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE,
                             nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(db, NewRegistrySql().c_str(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        const std::string why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw StoreError(StoreError::Kind::CannotOpen,
                         "cannot make a registry in memory for " + description + ": " + why);
    }
    return std::unique_ptr<SqliteRegistryStore>(new SqliteRegistryStore(db, description));
}

SqliteRegistryStore::SqliteRegistryStore(sqlite3* db, std::filesystem::path path)
    : db_(db), path_(std::move(path)) {}

SqliteRegistryStore::~SqliteRegistryStore() {
    for (auto& [sql, stmt] : statements_) {
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db_);
}

std::string SqliteRegistryStore::location() const {
    return path_.string();
}

SqliteRegistryStore::Statement SqliteRegistryStore::prepare(const char* sql) {
    auto it = statements_.find(sql);
    if (it == statements_.end()) {
        sqlite3_stmt* stmt = nullptr;
        const int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
        if (rc != SQLITE_OK) {
            fail(rc, depth_ > 0);
        }
        it = statements_.emplace(sql, stmt).first;
    }
    return Statement(*this, it->second);
}

void SqliteRegistryStore::exec(const char* sql, bool writing) {
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        fail(rc, writing);
    }
}

void SqliteRegistryStore::fail(int rc, bool writing) const {
    const std::string where = "registry " + path_.string();
    const std::string detail = sqlite3_errmsg(db_);
    switch (rc & 0xff) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            throw StoreError(StoreError::Kind::Corrupt,
                             where + " is damaged or not a registry database (" + detail + ")");
        case SQLITE_CANTOPEN:
            throw StoreError(StoreError::Kind::CannotOpen,
                             "cannot open " + where + " (" + detail + ")");
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw StoreError(writing ? StoreError::Kind::WriteFailed : StoreError::Kind::ReadFailed,
                             where + " stayed in use by another process (" + detail + ")");
        default:
            throw StoreError(
                writing ? StoreError::Kind::WriteFailed : StoreError::Kind::ReadFailed,
                (writing ? "cannot write " : "cannot read ") + where + " (" + detail + ")");
    }
}

void SqliteRegistryStore::transaction(const std::function<void()>& body) {
    std::lock_guard lock(mutex_);
    const bool outer = depth_ == 0;
    // IMMEDIATE takes the write lock at once, so waiting for another writer happens here
    // under the busy time-out instead of failing half-way.
    exec(outer ? "BEGIN IMMEDIATE" : "SAVEPOINT nested", true);
    ++depth_;
    try {
        body();
        exec(outer ? "COMMIT" : "RELEASE nested", true);
        --depth_;
    } catch (...) {
        --depth_;
        // The exception being passed on says what went wrong. When SQLite has already ended
        // the transaction itself (a full disk, say), there is nothing left to roll back.
        if (!sqlite3_get_autocommit(db_)) {
            sqlite3_exec(db_, outer ? "ROLLBACK" : "ROLLBACK TO nested; RELEASE nested", nullptr,
                         nullptr, nullptr);
        }
        throw;
    }
}

template <class F>
Outcome SqliteRegistryStore::write(F&& body) {
    std::lock_guard lock(mutex_);
    Outcome outcome = Outcome::Ok;
    transaction([&] { outcome = body(); });
    return outcome;
}

KeyId SqliteRegistryStore::rootKey(Root root) {
    return RootId(root);
}

bool SqliteRegistryStore::keyExistsLocked(KeyId key) {
    Statement query = prepare("SELECT 1 FROM keys WHERE id = ?1");
    return query.bind(1, key).step();
}

bool SqliteRegistryStore::keyExists(KeyId key) {
    std::lock_guard lock(mutex_);
    return keyExistsLocked(key);
}

std::optional<KeyId> SqliteRegistryStore::childKey(KeyId parent, const std::string& name) {
    Statement query = prepare("SELECT id FROM keys WHERE parent = ?1 AND fold = ?2");
    if (query.bind(1, parent).bind(2, FoldName(name)).step()) {
        return query.integer(0);
    }
    return std::nullopt;
}

// Reads made one after another in one read transaction: they see one state of the file, and
// the transaction is begun once instead of once per statement (which is most of a small
// read's cost). Inside a write transaction the reads are part of that one already.
class SqliteRegistryStore::ReadTogether {
  public:
    explicit ReadTogether(SqliteRegistryStore& store) : store_(store) {
        if (sqlite3_get_autocommit(store_.db_) != 0) {
            store_.exec("BEGIN", false);
            begun_ = true;
        }
    }
    ~ReadTogether() {
        // Ending a transaction that has only read cannot lose anything; should COMMIT not go
        // through, ROLLBACK ends it as well.
        if (begun_ && sqlite3_get_autocommit(store_.db_) == 0 &&
            sqlite3_exec(store_.db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            sqlite3_exec(store_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    ReadTogether(const ReadTogether&) = delete;
    ReadTogether& operator=(const ReadTogether&) = delete;

  private:
    SqliteRegistryStore& store_;
    bool begun_ = false;
};

Outcome SqliteRegistryStore::openKey(KeyId parent, std::span<const std::string> path, KeyId& key) {
    std::lock_guard lock(mutex_);
    const ReadTogether reads(*this);
    if (!keyExistsLocked(parent)) {
        return Outcome::KeyDeleted;
    }
    KeyId current = parent;
    for (const auto& name : path) {
        const auto child = childKey(current, name);
        if (!child) {
            return Outcome::NotFound;
        }
        current = *child;
    }
    key = current;
    return Outcome::Ok;
}

Outcome SqliteRegistryStore::createKey(KeyId parent, std::span<const std::string> path,
                                       KeyId& key) {
    return write([&] {
        if (!keyExistsLocked(parent)) {
            return Outcome::KeyDeleted;
        }
        KeyId current = parent;
        for (const auto& name : path) {
            if (const auto child = childKey(current, name)) {
                current = *child;
                continue;
            }
            prepare("INSERT INTO keys (parent, name, fold) VALUES (?1, ?2, ?3)")
                .bind(1, current)
                .bind(2, name)
                .bind(3, FoldName(name))
                .step();
            current = sqlite3_last_insert_rowid(db_);
        }
        key = current;
        return Outcome::Ok;
    });
}

Outcome SqliteRegistryStore::deleteKey(KeyId key) {
    return write([&] {
        Statement query = prepare("SELECT parent FROM keys WHERE id = ?1");
        if (!query.bind(1, key).step()) {
            return Outcome::KeyDeleted;
        }
        if (query.integer(0) == 0) {
            return Outcome::IsRoot;
        }
        if (prepare("SELECT 1 FROM keys WHERE parent = ?1").bind(1, key).step()) {
            return Outcome::HasSubkeys;
        }
        prepare("DELETE FROM vals WHERE key = ?1").bind(1, key).step();
        prepare("DELETE FROM keys WHERE id = ?1").bind(1, key).step();
        return Outcome::Ok;
    });
}

Outcome SqliteRegistryStore::deleteTree(KeyId key) {
    return write([&] {
        if (!keyExistsLocked(key)) {
            return Outcome::KeyDeleted;
        }
        prepare(
            "WITH RECURSIVE tree (id) AS (SELECT ?1 UNION ALL "
            "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
            "DELETE FROM vals WHERE key IN tree")
            .bind(1, key)
            .step();
        // Roots (parent 0) stay; only what lies below them goes.
        prepare(
            "WITH RECURSIVE tree (id) AS (SELECT ?1 UNION ALL "
            "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
            "DELETE FROM keys WHERE id IN tree AND parent <> 0")
            .bind(1, key)
            .step();
        return Outcome::Ok;
    });
}

Outcome SqliteRegistryStore::queryValue(KeyId key, std::string_view name, ValueData& value) {
    std::lock_guard lock(mutex_);
    Statement query = prepare("SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2");
    if (query.bind(1, key).bind(2, FoldName(name)).step()) {
        value.type = static_cast<std::uint32_t>(query.integer(0));
        value.data = query.blob(1);
        return Outcome::Ok;
    }
    return keyExistsLocked(key) ? Outcome::NotFound : Outcome::KeyDeleted;
}

Outcome SqliteRegistryStore::setValue(KeyId key, std::string_view name, std::uint32_t type,
                                      std::span<const std::uint8_t> data) {
    return write([&] {
        if (!keyExistsLocked(key)) {
            return Outcome::KeyDeleted;
        }
        const std::string fold = FoldName(name);
        prepare("UPDATE vals SET type = ?3, data = ?4 WHERE key = ?1 AND fold = ?2")
            .bind(1, key)
            .bind(2, fold)
            .bind(3, static_cast<std::int64_t>(type))
            .bind(4, data)
            .step();
        if (sqlite3_changes(db_) == 0) {
            prepare("INSERT INTO vals (key, fold, type, data, name) VALUES (?1, ?2, ?3, ?4, ?5)")
                .bind(1, key)
                .bind(2, fold)
                .bind(3, static_cast<std::int64_t>(type))
                .bind(4, data)
                .bind(5, name)
                .step();
        }
        return Outcome::Ok;
    });
}

Outcome SqliteRegistryStore::deleteValue(KeyId key, std::string_view name) {
    return write([&] {
        prepare("DELETE FROM vals WHERE key = ?1 AND fold = ?2")
            .bind(1, key)
            .bind(2, FoldName(name))
            .step();
        if (sqlite3_changes(db_) > 0) {
            return Outcome::Ok;
        }
        return keyExistsLocked(key) ? Outcome::NotFound : Outcome::KeyDeleted;
    });
}

Outcome SqliteRegistryStore::subkeyAt(KeyId key, std::uint32_t index, std::string& name) {
    std::lock_guard lock(mutex_);
    Statement query =
        prepare("SELECT name FROM keys WHERE parent = ?1 ORDER BY id LIMIT 1 OFFSET ?2");
    if (query.bind(1, key).bind(2, static_cast<std::int64_t>(index)).step()) {
        name = query.text(0);
        return Outcome::Ok;
    }
    return keyExistsLocked(key) ? Outcome::NotFound : Outcome::KeyDeleted;
}

Outcome SqliteRegistryStore::valueAt(KeyId key, std::uint32_t index, Value& value) {
    std::lock_guard lock(mutex_);
    Statement query =
        prepare("SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2");
    if (query.bind(1, key).bind(2, static_cast<std::int64_t>(index)).step()) {
        value.name = query.text(0);
        value.type = static_cast<std::uint32_t>(query.integer(1));
        value.data = query.blob(2);
        return Outcome::Ok;
    }
    return keyExistsLocked(key) ? Outcome::NotFound : Outcome::KeyDeleted;
}

Outcome SqliteRegistryStore::subkeys(KeyId key, std::vector<Subkey>& out) {
    std::lock_guard lock(mutex_);
    if (!keyExistsLocked(key)) {
        return Outcome::KeyDeleted;
    }
    out.clear();
    Statement query = prepare("SELECT id, name FROM keys WHERE parent = ?1 ORDER BY id");
    query.bind(1, key);
    while (query.step()) {
        out.push_back({query.integer(0), query.text(1)});
    }
    return Outcome::Ok;
}

Outcome SqliteRegistryStore::values(KeyId key, std::vector<Value>& out) {
    std::lock_guard lock(mutex_);
    if (!keyExistsLocked(key)) {
        return Outcome::KeyDeleted;
    }
    out.clear();
    Statement query = prepare("SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id");
    query.bind(1, key);
    while (query.step()) {
        out.push_back({query.text(0), static_cast<std::uint32_t>(query.integer(1)), query.blob(2)});
    }
    return Outcome::Ok;
}

}  // namespace registry
