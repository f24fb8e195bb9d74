// The Wine registry store on prefixes the tests write themselves: the text of every value type,
// what a write leaves alone, HKEY_CLASSES_ROOT, links, transactions, a running wineserver and
// a file changed behind the store's back.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <stdexcept>

#include <gtest/gtest.h>

#include "platform/machine/MachineError.h"
#include "platform/wine/HiveFile.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineRegistryStore.h"
#include "platform/wine/WineServer.h"
#include "tests/platform/wine/FakePrefix.h"
#include "tests/platform/wine/FakeServer.h"

namespace {

using registry::KeyId;
using registry::Outcome;
using registry::Root;
using winetest::FakePrefix;
using winetest::FakeServer;
using winetest::Key;

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::string Text(registry::RegistryStore& store, Root root, const std::string& key,
                 const std::string& name) {
    KeyId id = 0;
    registry::ValueData value;
    if (store.openKey(store.rootKey(root), registry::SplitKeyNames(key), id) != Outcome::Ok ||
        store.queryValue(id, name, value) != Outcome::Ok) {
        return "(none)";
    }
    return std::string(value.data.begin(), value.data.end());
}

KeyId Create(registry::RegistryStore& store, Root root, const std::string& key) {
    KeyId id = 0;
    EXPECT_EQ(store.createKey(store.rootKey(root), registry::SplitKeyNames(key), id), Outcome::Ok);
    return id;
}

TEST(WineRegText, EveryValueTypeIsWrittenAsWineWritesItAndReadBack) {
    struct Case {
        std::string name;
        std::uint32_t type;
        std::string data;  // as the store keeps it
        std::string line;
    };
    const std::string bytes25(25, '\x11');
    const Case cases[] = {
        {"Path", registry::REG_SZ, std::string("C:\\a \"b\"\0", 9),
         "\"Path\"=\"C:\\\\a \\\"b\\\"\"\n"},
        {"", registry::REG_SZ, std::string("x\0", 2), "@=\"x\"\n"},
        {"Caf\xC3\xA9", registry::REG_SZ,
         std::string("\xC3\xA9"
                     "1 \xE2\x82\xAC\0",
                     8),
         "\"Caf\\xe9\"=\"\\x00e91 \\x20ac\"\n"},
        {"Tab", registry::REG_SZ, std::string("a\tb\x1b\x01z\0", 7), "\"Tab\"=\"a\\tb\\e\\1z\"\n"},
        {"Expand", registry::REG_EXPAND_SZ, std::string("%SystemRoot%\0", 13),
         "\"Expand\"=str(2):\"%SystemRoot%\"\n"},
        {"Multi", registry::REG_MULTI_SZ,
         std::string("a\0"
                     "1\0\0",
                     5),
         "\"Multi\"=str(7):\"a\\0001\\0\"\n"},
        {"Count", registry::REG_DWORD, std::string("\x0c\0\0\x80", 4),
         "\"Count\"=dword:8000000c\n"},
        {"Data", registry::REG_BINARY, bytes25,
         "\"Data\"=hex:11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,\\\n"
         "  11,11,11\n"},
        {"Open", registry::REG_SZ, std::string("ab", 2), "\"Open\"=hex(1):61,00,62,00\n"},
        {"Big", 11, std::string("\1\2\3\4\5\6\7\x08", 8),
         "\"Big\"=hex(b):01,02,03,04,05,06,07,08\n"},
        {"Nothing", registry::REG_NONE, "", "\"Nothing\"=hex(0):\n"},
    };
    for (const Case& c : cases) {
        const wine::ValueLine value{c.name, c.type, Bytes(c.data)};
        EXPECT_EQ(wine::RenderValue(value), c.line) << c.name;
        const auto parsed = wine::ParseValue(c.line);
        ASSERT_TRUE(parsed) << c.line;
        EXPECT_EQ(parsed->name, c.name);
        EXPECT_EQ(parsed->type, c.type) << c.line;
        // A string without its closing NUL comes back as Wine would hand it back: the same.
        EXPECT_EQ(std::string(parsed->data.begin(), parsed->data.end()), c.data) << c.line;
    }
    for (const char* odd : {"\"A\"", "\"A\"=junk", "\"A\"=dword:123456789", "\"A=\"b\"",
                            "\"A\"=\"unterminated", "[Key]"}) {
        EXPECT_FALSE(wine::ParseValue(odd)) << odd;
    }
}

TEST(WineRegistryStore, AWriteChangesOnlyWhatItChanges) {
    FakePrefix prefix;
    const std::string keys =
        Key("Software\\\\Keep",
            "\"A\"=\"1\"\n;; a comment Wine would not write\n\"B\"=dword:00000002\n") +
        Key("Software\\\\Edit", "\"Old\"=\"x\"\n\"Gone\"=\"y\"\n") +
        Key("Software\\\\Drop", "\"C\"=\"3\"\n") + "\n[Software\\\\Bare]\n\"D\"=\"4\"";
    prefix.Hive("system.reg", "REGISTRY\\\\Machine", keys);
    const std::string before = prefix.Read("system.reg");
    const auto store = wine::WineRegistryStore::Open(prefix.folder());
    const KeyId hklm = store->rootKey(Root::LocalMachine);
    store->transaction([&] {
        const KeyId edit = Create(*store, Root::LocalMachine, "SOFTWARE\\EDIT");
        store->setValue(edit, "old", registry::REG_SZ, Bytes(std::string("new\0", 4)));
        store->setValue(edit, "Added", registry::REG_DWORD, Bytes(std::string("\1\0\0\0", 4)));
        EXPECT_EQ(store->deleteValue(edit, "Gone"), Outcome::Ok);
        KeyId drop = 0;
        ASSERT_EQ(store->openKey(hklm, registry::SplitKeyNames("Software\\Drop"), drop),
                  Outcome::Ok);
        EXPECT_EQ(store->deleteKey(drop), Outcome::Ok);
        Create(*store, Root::LocalMachine, "Software\\Fresh\\Leaf");
    });
    EXPECT_EQ(store->fileWrites(), 1u);
    const std::string after = prefix.Read("system.reg");
    // The untouched key, comment and all, and the file's end without a line end stay as read.
    EXPECT_NE(after.find(Key("Software\\\\Keep",
                             "\"A\"=\"1\"\n;; a comment Wine would not write\n"
                             "\"B\"=dword:00000002\n")),
              std::string::npos);
    EXPECT_NE(after.find("\n[Software\\\\Bare]\n\"D\"=\"4\"\n\n[Software\\\\Fresh"),
              std::string::npos)
        << after;
    EXPECT_EQ(after.substr(0, before.find('[')), before.substr(0, before.find('[')));
    EXPECT_EQ(after.find("Drop"), std::string::npos);
    // The edited key: its value spelled as first written, in place; the new one after it.
    const std::size_t edit = after.find("[Software\\\\Edit] ");
    ASSERT_NE(edit, std::string::npos);
    EXPECT_NE(after.find("#time=", edit), std::string::npos);
    EXPECT_NE(after.find("\"Old\"=\"new\"\n\"Added\"=dword:00000001\n", edit), std::string::npos);
    EXPECT_EQ(after.find("Gone"), std::string::npos);
    EXPECT_EQ(after.find("1700000000\n#time=1d9f0c5a0b1c2d3\n\"Old\""), std::string::npos)
        << "the changed key keeps its old time";
    EXPECT_NE(after.find("[Software\\\\Fresh\\\\Leaf] "), std::string::npos);

    // Read again, everything is as written.
    const auto again = wine::WineRegistryStore::Open(prefix.folder());
    EXPECT_EQ(Text(*again, Root::LocalMachine, "Software\\Edit", "OLD"), std::string("new\0", 4));
    EXPECT_EQ(Text(*again, Root::LocalMachine, "Software\\Bare", "D"), std::string("4\0", 2));
    EXPECT_EQ(Text(*again, Root::LocalMachine, "Software\\Drop", "C"), "(none)");
}

TEST(WineRegistryStore, ClassesRootIsTheUsersClassesOverTheMachines) {
    FakePrefix prefix;
    prefix.Hive(
        "system.reg", "REGISTRY\\\\Machine",
        Key("Software\\\\Classes\\\\.txt", "@=\"txtfile\"\n\"Content Type\"=\"text/plain\"\n") +
            Key("Software\\\\Classes\\\\txtfile\\\\shell\\\\open\\\\command",
                "@=\"notepad.exe %1\"\n"));
    prefix.Hive("user.reg", "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000",
                Key("Software\\\\Classes\\\\.txt", "@=\"mytext\"\n") +
                    Key("Software\\\\Classes\\\\mytext", "@=\"My text\"\n"));
    const auto store = wine::WineRegistryStore::Open(prefix.folder());
    EXPECT_EQ(Text(*store, Root::ClassesRoot, ".txt", ""), std::string("mytext\0", 7));
    EXPECT_EQ(Text(*store, Root::ClassesRoot, ".TXT", "Content Type"),
              std::string("text/plain\0", 11));
    EXPECT_EQ(Text(*store, Root::ClassesRoot, "txtfile\\shell\\open\\command", ""),
              std::string("notepad.exe %1\0", 15));
    std::vector<registry::Subkey> names;
    ASSERT_EQ(store->subkeys(store->rootKey(Root::ClassesRoot), names), Outcome::Ok);
    std::multiset<std::string> seen;
    for (const auto& subkey : names) {
        seen.insert(subkey.name);
    }
    EXPECT_EQ(seen, (std::multiset<std::string>{".txt", "mytext", "txtfile"}));

    // A write goes where the key is the user's, else to the machine's classes.
    KeyId txt = 0;
    ASSERT_EQ(
        store->openKey(store->rootKey(Root::ClassesRoot), registry::SplitKeyNames(".txt"), txt),
        Outcome::Ok);
    store->setValue(txt, "Mine", registry::REG_SZ, Bytes(std::string("1\0", 2)));
    const KeyId added = Create(*store, Root::ClassesRoot, ".velto");
    store->setValue(added, "", registry::REG_SZ, Bytes(std::string("veltofile\0", 10)));
    EXPECT_NE(prefix.Read("user.reg").find("\"Mine\"=\"1\""), std::string::npos);
    EXPECT_NE(prefix.Read("system.reg").find("[Software\\\\Classes\\\\.velto]"), std::string::npos);
    EXPECT_EQ(Text(*store, Root::LocalMachine, "Software\\Classes\\.velto", ""),
              std::string("veltofile\0", 10));
}

TEST(WineRegistryStore, RootsLinksAndDeletedKeys) {
    FakePrefix prefix;
    // 16 UTF-16 units: \Registry\Machine\Software\Target
    std::string link;
    for (const char c : std::string("\\Registry\\Machine\\Software\\Target")) {
        char unit[8];
        std::snprintf(unit, sizeof unit, "%02x,00,", static_cast<unsigned char>(c));
        link += unit;
    }
    link.pop_back();
    prefix.Hive("system.reg", "REGISTRY\\\\Machine",
                Key("Software\\\\Target", "\"Where\"=\"target\"\n") +
                    "\n[Software\\\\Alias] 1700000000\n#time=1d9f0c5a0b1c2d3\n#link\n"
                    "\"SymbolicLinkValue\"=hex(6):" +
                    link + "\n");
    prefix.Hive("userdef.reg", "REGISTRY\\\\User\\\\.Default",
                Key("Control Panel", "\"X\"=\"d\"\n"));
    const auto store = wine::WineRegistryStore::Open(prefix.folder());
    EXPECT_EQ(Text(*store, Root::LocalMachine, "Software\\Alias", "Where"),
              std::string("target\0", 7));
    EXPECT_EQ(Text(*store, Root::Users, ".Default\\Control Panel", "X"), std::string("d\0", 2));
    EXPECT_EQ(store->userSid(), "S-1-5-21-0-0-0-1000");
    KeyId sid = 0;
    EXPECT_EQ(
        store->openKey(store->rootKey(Root::Users), registry::SplitKeyNames(store->userSid()), sid),
        Outcome::Ok);
    EXPECT_EQ(sid, store->rootKey(Root::CurrentUser));
    EXPECT_EQ(store->deleteKey(sid), Outcome::IsRoot);
    EXPECT_THROW(Create(*store, Root::DynData, "X"), registry::StoreError);

    const KeyId doomed = Create(*store, Root::CurrentUser, "Software\\Doomed");
    KeyId parent = 0;
    ASSERT_EQ(store->openKey(store->rootKey(Root::CurrentUser), registry::SplitKeyNames("Software"),
                             parent),
              Outcome::Ok);
    EXPECT_EQ(store->deleteKey(parent), Outcome::HasSubkeys);
    EXPECT_EQ(store->deleteTree(doomed), Outcome::Ok);
    EXPECT_EQ(store->setValue(doomed, "v", registry::REG_SZ, Bytes("\0")), Outcome::KeyDeleted);
    const KeyId reborn = Create(*store, Root::CurrentUser, "Software\\Doomed");
    EXPECT_NE(reborn, doomed);
    EXPECT_FALSE(store->keyExists(doomed));
}

TEST(WineRegistryStore, ATransactionThatFailsLeavesFilesAndMemoryAsTheyWere) {
    FakePrefix prefix;
    prefix.Hive("system.reg", "REGISTRY\\\\Machine", Key("Software\\\\Velto", "\"A\"=\"1\"\n"));
    const std::string before = prefix.Read("system.reg");
    const auto store = wine::WineRegistryStore::Open(prefix.folder());
    EXPECT_THROW(store->transaction([&] {
        const KeyId key = Create(*store, Root::LocalMachine, "Software\\Velto");
        store->setValue(key, "A", registry::REG_SZ, Bytes(std::string("2\0", 2)));
        Create(*store, Root::LocalMachine, "Software\\Velto\\New");
        store->transaction(
            [&] { store->setValue(key, "Inner", registry::REG_SZ, Bytes(std::string("3\0", 2))); });
        throw std::runtime_error("abandoned");
    }),
                 std::runtime_error);
    EXPECT_EQ(store->fileWrites(), 0u);
    EXPECT_EQ(prefix.Read("system.reg"), before);
    EXPECT_EQ(Text(*store, Root::LocalMachine, "Software\\Velto", "A"), std::string("1\0", 2));
    EXPECT_EQ(Text(*store, Root::LocalMachine, "Software\\Velto", "Inner"), "(none)");
    KeyId gone = 0;
    EXPECT_EQ(store->openKey(store->rootKey(Root::LocalMachine),
                             registry::SplitKeyNames("Software\\Velto\\New"), gone),
              Outcome::NotFound);
    // Inner transactions that fail on their own undo only their own writes.
    store->transaction([&] {
        const KeyId key = Create(*store, Root::LocalMachine, "Software\\Velto");
        store->setValue(key, "Kept", registry::REG_SZ, Bytes(std::string("k\0", 2)));
        try {
            store->transaction([&] {
                store->setValue(key, "Lost", registry::REG_SZ, Bytes(std::string("l\0", 2)));
                throw std::runtime_error("inner");
            });
        } catch (const std::runtime_error&) {
        }
    });
    EXPECT_EQ(store->fileWrites(), 1u);
    EXPECT_EQ(Text(*store, Root::LocalMachine, "Software\\Velto", "Kept"), std::string("k\0", 2));
    EXPECT_EQ(Text(*store, Root::LocalMachine, "Software\\Velto", "Lost"), "(none)");
}

TEST(WineRegistryStore, AFileChangedOnDiskIsReadAgainAndNeverOverwritten) {
    FakePrefix prefix;
    prefix.Hive("system.reg", "REGISTRY\\\\Machine", Key("Software\\\\Velto", "\"A\"=\"1\"\n"));
    const auto store = wine::WineRegistryStore::Open(prefix.folder());
    const KeyId held = Create(*store, Root::LocalMachine, "Software\\Velto");
    // Wine ended and wrote its own registry: the store reads it before the next call.
    prefix.Hive("system.reg", "REGISTRY\\\\Machine",
                Key("Software\\\\Velto", "\"A\"=\"1\"\n\"FromWine\"=\"w\"\n"));
    EXPECT_EQ(Text(*store, Root::LocalMachine, "Software\\Velto", "FromWine"),
              std::string("w\0", 2));
    EXPECT_EQ(store->setValue(held, "B", registry::REG_SZ, Bytes("\0")), Outcome::KeyDeleted);
    // A change between reading and writing, inside one transaction: nothing is written.
    const std::string wine =
        "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n" +
        Key("Software\\\\Velto", "\"Late\"=\"l\"\n");
    EXPECT_THROW(store->transaction([&] {
        const KeyId key = Create(*store, Root::LocalMachine, "Software\\Velto");
        store->setValue(key, "Mine", registry::REG_SZ, Bytes(std::string("m\0", 2)));
        prefix.Write("system.reg", wine);
    }),
                 registry::StoreError);
    EXPECT_EQ(prefix.Read("system.reg"), wine);
}

// The copy a check works on: what it is told stays in memory, and Wine's later writes do not
// reach it.
TEST(WineRegistryStore, ACopyInMemoryNeverReadsOrWritesTheFilesAgain) {
    FakePrefix prefix;
    prefix.Hive("system.reg", "REGISTRY\\\\Machine", Key("Software\\\\Velto", "\"A\"=\"1\"\n"));
    const auto store = wine::WineRegistryStore::Open(prefix.folder());
    const std::string before = prefix.Read("system.reg");
    const auto copy = store->copyIntoMemory();
    EXPECT_NE(copy->location().find(prefix.folder().string()), std::string::npos);
    copy->transaction([&] {
        const KeyId key = Create(*copy, Root::LocalMachine, "Software\\Velto");
        copy->setValue(key, "Mine", registry::REG_SZ, Bytes(std::string("m\0", 2)));
    });
    EXPECT_EQ(Text(*copy, Root::LocalMachine, "Software\\Velto", "Mine"), std::string("m\0", 2));
    EXPECT_EQ(Text(*copy, Root::ClassesRoot, ".none", ""), "(none)");
    EXPECT_EQ(prefix.Read("system.reg"), before);
    EXPECT_EQ(store->fileWrites(), 0u);
    prefix.Hive("system.reg", "REGISTRY\\\\Machine", Key("Software\\\\Velto", "\"A\"=\"2\"\n"));
    EXPECT_EQ(Text(*copy, Root::LocalMachine, "Software\\Velto", "A"), std::string("1\0", 2));
    EXPECT_EQ(Text(*store, Root::LocalMachine, "Software\\Velto", "A"), std::string("2\0", 2));
}

TEST(WineRegistryStore, NothingIsOpenedOrWrittenWhileAWineserverRuns) {
    FakePrefix prefix;
    prefix.Hive("system.reg", "REGISTRY\\\\Machine", Key("Software\\\\Velto", "\"A\"=\"1\"\n"));
    const std::string before = prefix.Read("system.reg");
    const auto store = wine::WineRegistryStore::Open(prefix.folder());
    {
        FakeServer server(prefix.folder());
        EXPECT_EQ(wine::CheckServer(prefix.folder()).state, wine::ServerState::Running);
        try {
            wine::OpenWinePrefix(prefix.folder());
            ADD_FAILURE() << "opened while Wine runs";
        } catch (const machine::MachineError& e) {
            EXPECT_EQ(std::string(e.what()), wine::WineRunningMessage(prefix.folder()));
        }
        const KeyId key = Create(*store, Root::LocalMachine, "Software\\Velto");
        try {
            store->setValue(key, "A", registry::REG_SZ, Bytes(std::string("2\0", 2)));
            ADD_FAILURE() << "written while Wine runs";
        } catch (const registry::StoreError& e) {
            EXPECT_EQ(e.kind(), registry::StoreError::Kind::WriteFailed);
            EXPECT_EQ(std::string(e.what()), wine::WineRunningMessage(prefix.folder()));
        }
        EXPECT_EQ(prefix.Read("system.reg"), before);
        EXPECT_EQ(Text(*store, Root::LocalMachine, "Software\\Velto", "A"), std::string("1\0", 2));
        server.Stop();
        EXPECT_EQ(wine::CheckServer(prefix.folder()).state, wine::ServerState::NotRunning);
        EXPECT_EQ(store->setValue(key, "A", registry::REG_SZ, Bytes(std::string("2\0", 2))),
                  Outcome::Ok);
    }
    EXPECT_NE(prefix.Read("system.reg").find("\"A\"=\"2\""), std::string::npos);
}

TEST(WineRegistryStore, AWriterKilledMidWriteLeavesAWholeFile) {
    FakePrefix prefix;
    std::string keys;
    for (int i = 0; i < 20000; ++i) {
        keys += Key("Software\\\\Bulk\\\\K" + std::to_string(i),
                    "\"V\"=\"" + std::string(40, 'x') + "\"\n");
    }
    prefix.Hive("system.reg", "REGISTRY\\\\Machine", keys);
    const std::size_t blocks = 20000;
    for (int round = 0; round < 3; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const auto store = wine::WineRegistryStore::Open(prefix.folder());
            const KeyId key = Create(*store, Root::LocalMachine, "Software\\Bulk\\K7");
            for (int i = 0;; ++i) {
                store->setValue(key, "V", registry::REG_SZ, Bytes(std::to_string(i) + '\0'));
            }
        }
        ::usleep(150000 + 70000 * round);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string text = prefix.Read("system.reg");
        const auto file = wine::HiveFile::Parse(text);
        EXPECT_EQ(file.blocks().size(), blocks);
        EXPECT_EQ(file.Serialize(), text);
        ASSERT_FALSE(file.blocks().empty());
        EXPECT_EQ(file.blocks().back().key.names.back(), "K19999");
    }
}

}  // namespace
