#include "platform/registry/SqliteRegistryStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "tests/platform/registry/TestSupport.h"

using namespace registry;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SqliteRegistryStore::Create(path_);
        store_ = SqliteRegistryStore::Open(path_);
    }

    KeyId create(Root root, std::vector<std::string> names) {
        KeyId key = 0;
        EXPECT_EQ(store_->createKey(store_->rootKey(root), names, key), Outcome::Ok);
        return key;
    }

    std::vector<std::string> subkeyNames(KeyId key) {
        std::vector<Subkey> children;
        EXPECT_EQ(store_->subkeys(key, children), Outcome::Ok);
        std::vector<std::string> names;
        for (auto& child : children) {
            names.push_back(child.name);
        }
        return names;
    }

    std::vector<std::string> valueNames(KeyId key) {
        std::vector<Value> values;
        EXPECT_EQ(store_->values(key, values), Outcome::Ok);
        std::vector<std::string> names;
        for (auto& value : values) {
            names.push_back(value.name);
        }
        return names;
    }

    TempFolder folder_;
    std::filesystem::path path_ = folder_ / "registry.db";
    std::unique_ptr<SqliteRegistryStore> store_;
};

}  // namespace

TEST(NameFolding, FoldsAsciiAndLatin1LettersOnly) {
    struct Case {
        std::string_view name, folded;
    };
    const Case cases[] = {
        {"Software\\VELTO", "software\\velto"},
        {"\xC3\x80\xC3\x89\xC3\x9E", "\xC3\xA0\xC3\xA9\xC3\xBE"},  // ÀÉÞ -> àéþ
        {"\xC3\x97", "\xC3\x97"},                                  // × has no case
        {"\xC3\x9F", "\xC3\x9F"},          // ß (U+00DF) has no single upper-case letter
        {"\xC5\xB8", "\xC5\xB8"},          // Ÿ lies outside Latin-1 and is kept
        {"\xC3", "\xC3"},                  // a lone lead byte at the end
        {"\xC3\xC3\x80", "\xC3\xC3\xA0"},  // a stray lead byte does not swallow the next letter
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FoldName(c.name), c.folded) << c.name;
    }
    EXPECT_TRUE(NamesEqual("sharedDLLs", "SHAREDdlls"));
    EXPECT_TRUE(NamesEqual("Caf\xC3\xA9", "CAF\xC3\x89"));
    EXPECT_FALSE(NamesEqual("Cafe", "Caf\xC3\xA9"));
}

TEST(KeyNames, SplitSkipsEmptyNamesAndMeasuresCharacters) {
    struct Case {
        std::string_view path;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"", {}},
        {"Software", {"Software"}},
        {"\\Software\\Velto", {"Software", "Velto"}},
        {"a\\\\b\\", {"a", "b"}},
        {"\\\\", {}},
        {"with space\\x.y", {"with space", "x.y"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitKeyNames(c.path), c.names) << c.path;
    }
    EXPECT_EQ(NameLength("abc"), 3u);
    EXPECT_EQ(NameLength("Caf\xC3\xA9"), 4u);
    EXPECT_EQ(NameLength("\xE2\x82\xAC"), 1u);
}

TEST(RootNames, LongNamesAndAliasesInAnyCase) {
    EXPECT_EQ(ParseRootName("HKEY_LOCAL_MACHINE"), Root::LocalMachine);
    EXPECT_EQ(ParseRootName("hkcu"), Root::CurrentUser);
    EXPECT_EQ(ParseRootName("HKDD"), Root::DynData);
    EXPECT_EQ(ParseRootName("HKEY_LOCAL"), std::nullopt);
    EXPECT_EQ(ParseRootName(""), std::nullopt);
    EXPECT_EQ(RootFromHandleValue(0x80000004u), Root::PerformanceData);
    EXPECT_EQ(RootFromHandleValue(0x80000007u), std::nullopt);
    EXPECT_EQ(RootFromHandleValue(0x7FFFFFFFu), std::nullopt);
    for (Root root : kAllRoots) {
        EXPECT_EQ(ParseRootName(RootName(root)), root);
    }
}

TEST_F(StoreTest, NewStoreHasSevenEmptyRoots) {
    for (Root root : kAllRoots) {
        const KeyId key = store_->rootKey(root);
        EXPECT_TRUE(store_->keyExists(key));
        std::string name;
        EXPECT_EQ(store_->subkeyAt(key, 0, name), Outcome::NotFound);
        Value value;
        EXPECT_EQ(store_->valueAt(key, 0, value), Outcome::NotFound);
    }
}

TEST_F(StoreTest, CreateNeverReplacesAFile) {
    store_->setValue(store_->rootKey(Root::CurrentUser), "kept", REG_SZ, Bytes("yes"));
    const std::string before = ReadFileBytes(path_);
    EXPECT_THROW(SqliteRegistryStore::Create(path_), StoreError);
    EXPECT_EQ(ReadFileBytes(path_), before);
}

TEST(StoreOpen, RefusesWhatIsNotARegistryAndLeavesItAlone) {
    struct Case {
        const char* what;
        std::function<void(const std::filesystem::path&)> make;
        StoreError::Kind kind;
    };
    const Case cases[] = {
        {"garbage", [](auto& p) { WriteFileBytes(p, std::string(4096, '\x5A') + "junk"); },
         StoreError::Kind::Corrupt},
        {"empty file", [](auto& p) { WriteFileBytes(p, ""); }, StoreError::Kind::Corrupt},
        {"truncated header",
         [](auto& p) { WriteFileBytes(p, std::string("SQLite format 3\0", 16) + "xx"); },
         StoreError::Kind::Corrupt},
        {"another program's database",
         [](auto& p) {
             sqlite3* db = nullptr;
             sqlite3_open(p.c_str(), &db);
             sqlite3_exec(db, "CREATE TABLE t (x)", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         },
         StoreError::Kind::Corrupt},
        {"newer schema",
         [](auto& p) {
             SqliteRegistryStore::Create(p);
             sqlite3* db = nullptr;
             sqlite3_open(p.c_str(), &db);
             sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         },
         StoreError::Kind::Corrupt},
        {"a folder in its place", [](auto& p) { std::filesystem::create_directory(p); },
         StoreError::Kind::CannotOpen},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const auto path = folder / "registry.db";
        c.make(path);
        const bool isFile = std::filesystem::is_regular_file(path);
        const std::string before = isFile ? ReadFileBytes(path) : "";
        try {
            SqliteRegistryStore::Open(path);
            ADD_FAILURE() << c.what << " was opened";
        } catch (const StoreError& e) {
            EXPECT_EQ(e.kind(), c.kind) << c.what << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
        }
        if (isFile) {
            EXPECT_EQ(ReadFileBytes(path), before) << c.what;
        }
    }
}

TEST(StoreOpen, MissingFileIsNotCreated) {
    TempFolder folder;
    const auto path = folder / "registry.db";
    try {
        SqliteRegistryStore::Open(path);
        ADD_FAILURE() << "opened a missing file";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.kind(), StoreError::Kind::CannotOpen);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

// Opened read-only, a registry is read without a byte written into its folder: at rest no
// log or index file appears (and none stays), every write is refused, and while a writer
// keeps its log open the reader still sees the writer's last commit. The folder's entries,
// their sizes and times are compared before and after.
TEST_F(StoreTest, ReadOnlyOpeningWritesNothingIntoTheFolder) {
    const KeyId key = create(Root::CurrentUser, {"Software", "Velto"});
    ASSERT_EQ(store_->setValue(key, "A", REG_SZ, Bytes("1")), Outcome::Ok);
    store_.reset();
    const auto snapshot = [&] {
        std::string listing;
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
            listing += entry.path().filename().string() + " " + std::to_string(entry.file_size()) +
                       " " + std::to_string(entry.last_write_time().time_since_epoch().count()) +
                       "\n";
        }
        return listing;
    };
    const std::string before = snapshot();
    const std::string bytes = ReadFileBytes(path_);
    const auto read = [](RegistryStore& store) {
        ValueData value;
        KeyId found = 0;
        const std::vector<std::string> names{"Software", "Velto"};
        EXPECT_EQ(store.openKey(store.rootKey(Root::CurrentUser), names, found), Outcome::Ok);
        EXPECT_EQ(store.queryValue(found, "A", value), Outcome::Ok);
        return std::string(value.data.begin(), value.data.end());
    };
    {
        const auto reader = SqliteRegistryStore::OpenReadOnly(path_);
        EXPECT_EQ(read(*reader), "1");
        try {
            reader->setValue(reader->rootKey(Root::CurrentUser), "B", REG_SZ, Bytes("2"));
            ADD_FAILURE() << "wrote through a read-only registry";
        } catch (const StoreError& e) {
            EXPECT_EQ(e.kind(), StoreError::Kind::WriteFailed);
        }
        EXPECT_EQ(snapshot(), before);
    }
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(ReadFileBytes(path_), bytes);

    // A writer with its log open: the reader reads through the log.
    auto writer = SqliteRegistryStore::Open(path_);
    KeyId found = 0;
    const std::vector<std::string> names{"Software", "Velto"};
    ASSERT_EQ(writer->openKey(writer->rootKey(Root::CurrentUser), names, found), Outcome::Ok);
    ASSERT_EQ(writer->setValue(found, "A", REG_SZ, Bytes("3")), Outcome::Ok);
    ASSERT_GT(std::filesystem::file_size(folder_ / "registry.db-wal"), 0u);
    EXPECT_EQ(read(*SqliteRegistryStore::OpenReadOnly(path_)), "3");

    // What a URI would read otherwise stays part of the path.
    const auto odd = folder_ / "a ?#%20 b";
    std::filesystem::create_directory(odd);
    SqliteRegistryStore::Create(odd / "registry.db");
    EXPECT_EQ(SqliteRegistryStore::OpenReadOnly(odd / "registry.db")->location(),
              (odd / "registry.db").string());
}

TEST_F(StoreTest, KeysMatchWithoutCaseAndKeepTheirSpelling) {
    const KeyId velto = create(Root::CurrentUser, {"Software", "Korvane", "Velto"});
    KeyId found = 0;
    const std::vector<std::string> other{"SOFTWARE", "korvane", "VELTO"};
    EXPECT_EQ(store_->openKey(store_->rootKey(Root::CurrentUser), other, found), Outcome::Ok);
    EXPECT_EQ(found, velto);
    EXPECT_EQ(create(Root::CurrentUser, other), velto);
    EXPECT_EQ(subkeyNames(store_->rootKey(Root::CurrentUser)),
              std::vector<std::string>{"Software"});

    const KeyId latin = create(Root::CurrentUser, {"Caf\xC3\xA9"});
    EXPECT_EQ(create(Root::CurrentUser, {"CAF\xC3\x89"}), latin);

    // The same path under another root is another key.
    const std::vector<std::string> software{"Software"};
    EXPECT_EQ(store_->openKey(store_->rootKey(Root::LocalMachine), software, found),
              Outcome::NotFound);
}

TEST_F(StoreTest, ValuesKeepTypeAndBytesExactly) {
    const KeyId key = create(Root::LocalMachine, {"Types"});
    const std::vector<Value> written = {
        {"", REG_SZ, Bytes(std::string("default\0", 8))},
        {"none", REG_NONE, {}},
        {"sz", REG_SZ, Bytes(std::string("C:\\WINDOWS\0", 11))},
        {"sz without NUL", REG_SZ, Bytes("abc")},
        {"expand", REG_EXPAND_SZ, Bytes(std::string("%windir%\\x\0", 12))},
        {"binary", REG_BINARY, {0, 1, 2, 0, 0xFF}},
        {"dword", REG_DWORD, {7, 0, 0, 0}},
        {"short dword", REG_DWORD, {7}},
        {"big endian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 7}},
        {"link", REG_LINK, {1, 2}},
        {"multi", REG_MULTI_SZ, Bytes(std::string("a\0bc\0\0", 6))},
        {"odd type", 0xFFFFFFFFu, {9}},
    };
    for (const auto& v : written) {
        ASSERT_EQ(store_->setValue(key, v.name, v.type, v.data), Outcome::Ok) << v.name;
    }
    for (const auto& v : written) {
        ValueData read;
        ASSERT_EQ(store_->queryValue(key, v.name, read), Outcome::Ok) << v.name;
        EXPECT_EQ(read.type, v.type) << v.name;
        EXPECT_EQ(read.data, v.data) << v.name;
    }
    std::vector<Value> listed;
    ASSERT_EQ(store_->values(key, listed), Outcome::Ok);
    EXPECT_EQ(listed, written);
}

TEST_F(StoreTest, OverwriteKeepsPositionAndFirstSpelling) {
    const KeyId key = create(Root::CurrentUser, {"K"});
    store_->setValue(key, "First", REG_SZ, Bytes("1"));
    store_->setValue(key, "Second", REG_SZ, Bytes("2"));
    store_->setValue(key, "FIRST", REG_DWORD, std::vector<std::uint8_t>{1, 0, 0, 0});
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"First", "Second"}));
    ValueData read;
    ASSERT_EQ(store_->queryValue(key, "first", read), Outcome::Ok);
    EXPECT_EQ(read, (ValueData{REG_DWORD, {1, 0, 0, 0}}));
}

TEST_F(StoreTest, EnumerationFollowsCreationOrder) {
    const KeyId key = create(Root::CurrentUser, {"Order"});
    for (const char* name : {"zeta", "Alpha", "mid", "beta"}) {
        create(Root::CurrentUser, {"Order", name});
        store_->setValue(key, name, REG_NONE, {});
    }
    EXPECT_EQ(subkeyNames(key), (std::vector<std::string>{"zeta", "Alpha", "mid", "beta"}));

    // A deleted and re-created entry goes to the end.
    KeyId mid = 0;
    const std::vector<std::string> midPath{"Order", "MID"};
    ASSERT_EQ(store_->openKey(store_->rootKey(Root::CurrentUser), midPath, mid), Outcome::Ok);
    ASSERT_EQ(store_->deleteKey(mid), Outcome::Ok);
    create(Root::CurrentUser, {"Order", "mid"});
    ASSERT_EQ(store_->deleteValue(key, "ALPHA"), Outcome::Ok);
    store_->setValue(key, "alpha", REG_NONE, {});

    EXPECT_EQ(subkeyNames(key), (std::vector<std::string>{"zeta", "Alpha", "beta", "mid"}));
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"zeta", "mid", "beta", "alpha"}));
    std::string name;
    EXPECT_EQ(store_->subkeyAt(key, 3, name), Outcome::Ok);
    EXPECT_EQ(name, "mid");
    EXPECT_EQ(store_->subkeyAt(key, 4, name), Outcome::NotFound);
    Value value;
    EXPECT_EQ(store_->valueAt(key, 1, value), Outcome::Ok);
    EXPECT_EQ(value.name, "mid");
    EXPECT_EQ(store_->valueAt(key, 4, value), Outcome::NotFound);
}

TEST_F(StoreTest, DeleteKeyRefusesRootsAndParents) {
    const KeyId parent = create(Root::CurrentUser, {"Parent"});
    const KeyId child = create(Root::CurrentUser, {"Parent", "Child"});
    store_->setValue(child, "v", REG_SZ, Bytes("x"));

    EXPECT_EQ(store_->deleteKey(store_->rootKey(Root::CurrentUser)), Outcome::IsRoot);
    EXPECT_EQ(store_->deleteKey(parent), Outcome::HasSubkeys);
    EXPECT_TRUE(store_->keyExists(parent));
    EXPECT_EQ(store_->deleteKey(child), Outcome::Ok);
    EXPECT_EQ(store_->deleteKey(parent), Outcome::Ok);
    EXPECT_EQ(store_->deleteKey(parent), Outcome::KeyDeleted);
}

TEST_F(StoreTest, EveryCallOnADeletedKeySaysSo) {
    const KeyId key = create(Root::CurrentUser, {"Gone"});
    store_->setValue(key, "v", REG_SZ, Bytes("x"));
    ASSERT_EQ(store_->deleteTree(key), Outcome::Ok);

    ValueData data;
    Value value;
    std::string name;
    std::vector<Subkey> children;
    std::vector<Value> values;
    KeyId out = 0;
    const std::vector<std::string> below{"Below"};
    EXPECT_EQ(store_->queryValue(key, "v", data), Outcome::KeyDeleted);
    EXPECT_EQ(store_->setValue(key, "v", REG_SZ, Bytes("y")), Outcome::KeyDeleted);
    EXPECT_EQ(store_->deleteValue(key, "v"), Outcome::KeyDeleted);
    EXPECT_EQ(store_->subkeyAt(key, 0, name), Outcome::KeyDeleted);
    EXPECT_EQ(store_->valueAt(key, 0, value), Outcome::KeyDeleted);
    EXPECT_EQ(store_->subkeys(key, children), Outcome::KeyDeleted);
    EXPECT_EQ(store_->values(key, values), Outcome::KeyDeleted);
    EXPECT_EQ(store_->openKey(key, below, out), Outcome::KeyDeleted);
    EXPECT_EQ(store_->createKey(key, below, out), Outcome::KeyDeleted);
    // Nothing was written below the deleted key.
    const std::vector<std::string> again{"Gone"};
    const KeyId recreated = create(Root::CurrentUser, again);
    EXPECT_NE(recreated, key);
    EXPECT_TRUE(subkeyNames(recreated).empty());
    EXPECT_TRUE(valueNames(recreated).empty());
}

TEST_F(StoreTest, DeleteTreeOnARootKeepsTheRoot) {
    const KeyId root = store_->rootKey(Root::Users);
    create(Root::Users, {"a", "b", "c"});
    store_->setValue(root, "top", REG_NONE, {});
    const KeyId other = create(Root::CurrentUser, {"a"});
    EXPECT_EQ(store_->deleteTree(root), Outcome::Ok);
    EXPECT_TRUE(store_->keyExists(root));
    EXPECT_TRUE(subkeyNames(root).empty());
    EXPECT_TRUE(valueNames(root).empty());
    EXPECT_TRUE(store_->keyExists(other));
}

TEST_F(StoreTest, MissingValueIsNotFound) {
    const KeyId key = create(Root::CurrentUser, {"K"});
    ValueData data;
    EXPECT_EQ(store_->queryValue(key, "nothing", data), Outcome::NotFound);
    EXPECT_EQ(store_->deleteValue(key, "nothing"), Outcome::NotFound);
    KeyId out = 0;
    const std::vector<std::string> missing{"No", "Such"};
    EXPECT_EQ(store_->openKey(key, missing, out), Outcome::NotFound);
}

TEST_F(StoreTest, TransactionIsAllOrNothing) {
    const KeyId key = create(Root::CurrentUser, {"Tx"});
    EXPECT_THROW(store_->transaction([&] {
        store_->setValue(key, "a", REG_SZ, Bytes("1"));
        create(Root::CurrentUser, {"Tx", "Sub"});
        throw std::runtime_error("stop");
    }),
                 std::runtime_error);
    EXPECT_TRUE(valueNames(key).empty());
    EXPECT_TRUE(subkeyNames(key).empty());

    // A failing inner transaction leaves the outer one's writes in place.
    store_->transaction([&] {
        store_->setValue(key, "outer", REG_NONE, {});
        EXPECT_THROW(store_->transaction([&] {
            store_->setValue(key, "inner", REG_NONE, {});
            throw std::runtime_error("inner");
        }),
                     std::runtime_error);
    });
    EXPECT_EQ(valueNames(key), std::vector<std::string>{"outer"});

    // The store stays usable after a rollback, and a reopened store agrees.
    store_->setValue(key, "after", REG_NONE, {});
    store_.reset();
    store_ = SqliteRegistryStore::Open(path_);
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"outer", "after"}));
}
