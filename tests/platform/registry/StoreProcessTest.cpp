// Several processes on one registry file: what two copies of the program, or the program and
// velto-machine, do when they run on the same machine at once.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/registry/SqliteRegistryStore.h"
#include "tests/platform/registry/TestSupport.h"

using namespace registry;
using namespace std::chrono_literals;

namespace {

const std::vector<std::string> kSharedKey{"Software", "Shared"};

std::vector<std::uint8_t> Payload(int index, std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<std::uint8_t>(index * 31 + i);
    }
    return data;
}

// Runs `body` in a child process; its result is the child's exit status. The child never
// returns into the test framework.
pid_t Spawn(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int status = 3;
        try {
            status = body();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child %d: %s\n", static_cast<int>(::getpid()), e.what());
        }
        ::_exit(status);
    }
    return pid;
}

int ExitStatus(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string IntegrityCheck(const std::filesystem::path& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    std::string result = "no answer";
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
}

KeyId SharedKey(RegistryStore& store) {
    KeyId key = 0;
    store.createKey(store.rootKey(Root::LocalMachine), kSharedKey, key);
    return key;
}

}  // namespace

TEST(StoreProcesses, TwoWritersSeeEachOthersCommittedData) {
    TempFolder folder;
    const auto path = folder / "registry.db";
    SqliteRegistryStore::Create(path);
    constexpr int kEach = 150;

    // Both writers start together and add their values one write at a time, interleaved with
    // the other's; then each waits for the other's last value and checks them all.
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    auto writer = [&](const std::string& mine, const std::string& theirs) {
        return [&, mine, theirs] {
            auto store = SqliteRegistryStore::Open(path);
            char go = 0;
            if (::read(start[0], &go, 1) != 1) {
                return 7;
            }
            for (int i = 0; i < kEach; ++i) {
                const KeyId key = SharedKey(*store);
                if (store->setValue(key, Numbered(mine, i), REG_BINARY, Payload(i, 64)) !=
                    Outcome::Ok) {
                    return 4;
                }
            }
            const KeyId key = SharedKey(*store);
            const auto deadline = std::chrono::steady_clock::now() + 60s;
            ValueData last;
            while (store->queryValue(key, Numbered(theirs, kEach - 1), last) != Outcome::Ok) {
                if (std::chrono::steady_clock::now() > deadline) {
                    return 5;
                }
                std::this_thread::sleep_for(5ms);
            }
            for (int i = 0; i < kEach; ++i) {
                ValueData data;
                if (store->queryValue(key, Numbered(theirs, i), data) != Outcome::Ok ||
                    data.data != Payload(i, 64)) {
                    return 6;
                }
            }
            return 0;
        };
    };
    const pid_t a = Spawn(writer("a", "b"));
    const pid_t b = Spawn(writer("b", "a"));
    ASSERT_EQ(::write(start[1], "go", 2), 2);
    ::close(start[0]);
    ::close(start[1]);
    EXPECT_EQ(ExitStatus(a), 0);
    EXPECT_EQ(ExitStatus(b), 0);

    auto store = SqliteRegistryStore::Open(path);
    std::vector<Value> values;
    ASSERT_EQ(store->values(SharedKey(*store), values), Outcome::Ok);
    EXPECT_EQ(values.size(), 2u * kEach);
    std::vector<Subkey> software;
    store->subkeys(store->rootKey(Root::LocalMachine), software);
    EXPECT_EQ(software.size(), 1u) << "both writers created the same key once";
}

TEST(StoreProcesses, WriterKilledInsideATransactionLeavesNothingBehind) {
    TempFolder folder;
    const auto path = folder / "registry.db";
    SqliteRegistryStore::Create(path);
    {
        auto store = SqliteRegistryStore::Open(path);
        store->setValue(SharedKey(*store), "before", REG_SZ, Payload(1, 10));
    }
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = Spawn([&] {
        auto store = SqliteRegistryStore::Open(path);
        store->transaction([&] {
            const KeyId key = SharedKey(*store);
            for (int i = 0; i < 2000; ++i) {
                store->setValue(key, Numbered("tx", i), REG_BINARY, Payload(i, 512));
                if (i == 1000) {
                    KeyId sub = 0;
                    const std::vector<std::string> extra{"Software", "Shared", "Extra"};
                    store->createKey(store->rootKey(Root::LocalMachine), extra, sub);
                    (void)!::write(ready[1], "x", 1);
                    for (;;) {
                        ::pause();
                    }
                }
            }
        });
        return 0;
    });
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    ::kill(child, SIGKILL);
    EXPECT_EQ(ExitStatus(child), 128 + SIGKILL);
    ::close(ready[0]);
    ::close(ready[1]);

    EXPECT_EQ(IntegrityCheck(path), "ok");
    // A short time-out: the dead writer's lock must be gone, not merely waited out.
    auto store = SqliteRegistryStore::Open(path, 500ms);
    const KeyId key = SharedKey(*store);
    std::vector<Value> values;
    ASSERT_EQ(store->values(key, values), Outcome::Ok);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0], (Value{"before", REG_SZ, Payload(1, 10)}));
    std::vector<Subkey> children;
    store->subkeys(key, children);
    EXPECT_TRUE(children.empty());
    EXPECT_EQ(store->setValue(key, "after", REG_DWORD, Payload(2, 4)), Outcome::Ok);
}

TEST(StoreProcesses, WriterKilledBetweenWritesKeepsEveryCommittedValueWhole) {
    TempFolder folder;
    const auto path = folder / "registry.db";
    SqliteRegistryStore::Create(path);
    constexpr std::size_t kSize = 48 * 1024;  // spans many pages, so a torn write would show
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = Spawn([&] {
        auto store = SqliteRegistryStore::Open(path);
        const KeyId key = SharedKey(*store);
        for (int i = 0;; ++i) {
            store->setValue(key, Numbered("v", i), REG_BINARY, Payload(i, kSize));
            if (i == 20) {
                (void)!::write(ready[1], "x", 1);
            }
        }
        return 0;
    });
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    std::this_thread::sleep_for(30ms);
    ::kill(child, SIGKILL);
    ExitStatus(child);
    ::close(ready[0]);
    ::close(ready[1]);

    EXPECT_EQ(IntegrityCheck(path), "ok");
    auto store = SqliteRegistryStore::Open(path, 500ms);
    std::vector<Value> values;
    ASSERT_EQ(store->values(SharedKey(*store), values), Outcome::Ok);
    ASSERT_GE(values.size(), 21u);
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(values[i].name, Numbered("v", static_cast<long long>(i)));
        EXPECT_EQ(values[i].data, Payload(static_cast<int>(i), kSize)) << values[i].name;
    }
}
