// The registry of a Windows installation on a disk, written through the store and read back by
// readers no one here wrote (hivexregedit, regfexport): every value type, a write that changes
// only what it changes, CurrentControlSet, HKEY_CLASSES_ROOT, damaged and unfinished hives,
// transactions.
#include <fstream>

#include <gtest/gtest.h>

#include "platform/machine/MachineError.h"
#include "platform/offline/RegfFormat.h"
#include "platform/registry/RegText.h"
#include "tests/platform/offline/OfflineFixture.h"
#include "tests/support/HiveExport.h"

namespace {

namespace fs = std::filesystem;
using offlinetest::Installation;
using registry::KeyId;
using registry::Outcome;
using registry::Root;
using testsupport::Slurp;

constexpr const char* kSharedDlls = "Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

KeyId Open(registry::RegistryStore& store, Root root, const std::string& path) {
    KeyId key = 0;
    EXPECT_EQ(store.openKey(store.rootKey(root), registry::SplitKeyNames(path), key), Outcome::Ok)
        << path;
    return key;
}

KeyId Create(registry::RegistryStore& store, Root root, const std::string& path) {
    KeyId key = 0;
    EXPECT_EQ(store.createKey(store.rootKey(root), registry::SplitKeyNames(path), key), Outcome::Ok)
        << path;
    return key;
}

std::string Text(registry::RegistryStore& store, Root root, const std::string& path,
                 const std::string& name) {
    KeyId key = 0;
    registry::ValueData value;
    if (store.openKey(store.rootKey(root), registry::SplitKeyNames(path), key) != Outcome::Ok ||
        store.queryValue(key, name, value) != Outcome::Ok) {
        return "(none)";
    }
    std::string text(value.data.begin(), value.data.end());
    return text.substr(0, text.find('\0'));
}

void WriteFile(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// The base block of `hive` with another file type and sequence numbers, sealed again.
std::string LogHeader(const fs::path& hive, std::uint32_t type, std::uint32_t sequence) {
    std::string block = Slurp(hive).substr(0, offline::kBaseBlockSize);
    std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(block.data()), block.size());
    offline::WriteLe32(bytes, 4, sequence);
    offline::WriteLe32(bytes, 8, sequence);
    offline::WriteLe32(bytes, 28, type);
    offline::SealBaseBlock(bytes, 0x01D9000000000000);
    return block.substr(0, 512);
}

std::uint32_t Sequence(const fs::path& hive, std::size_t at) {
    const std::string bytes = Slurp(hive);
    return offline::ReadLe32(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), at);
}

TEST(OfflineRegistryStore, EveryValueTypeIsWrittenAsWindowsKeepsItAndReadBack) {
    Installation installation;
    const auto opened = installation.Open();
    const auto store = installation.Store(*opened);
    struct Case {
        std::string name;
        std::uint32_t type;
        std::string data;                  // as the store keeps it
        std::vector<std::uint8_t> inHive;  // as Windows keeps it
    };
    const std::string blob(25, '\x11');
    const std::string longBlob(20000, '\x5a');
    const Case cases[] = {
        {"Text", registry::REG_SZ, std::string("Caf\xC3\xA9 \xE2\x82\xAC\0", 10),
         testsupport::Utf16z(u"Caf\u00e9 \u20ac")},
        {"", registry::REG_SZ, std::string("default\0", 8), testsupport::Utf16z(u"default")},
        {"Path", registry::REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 15),
         testsupport::Utf16z(u"%SystemRoot%\\x")},
        // Empty strings inside, as the pending-rename list holds them.
        {"List",
         registry::REG_MULTI_SZ,
         std::string("a\0\0b\0\0", 6),
         {'a', 0, 0, 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
        {"Count", registry::REG_DWORD, std::string("\x0c\0\0\x80", 4), {0x0c, 0, 0, 0x80}},
        {"Big endian", registry::REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\1", 4), {0, 0, 0, 1}},
        {"Blob", registry::REG_BINARY, blob, Bytes(blob)},
        {"Quad", 11, std::string("\1\2\3\4\5\6\7\x08", 8), {1, 2, 3, 4, 5, 6, 7, 8}},
        {"Nothing", registry::REG_NONE, "", {}},
        {"Odd type", 0x12345, "abc", {'a', 'b', 'c'}},
        // A user's hive (version 1.3) keeps a long value in one cell.
        {"Long", registry::REG_BINARY, longBlob, Bytes(longBlob)},
    };
    store->transaction([&] {
        const KeyId key = Create(*store, Root::CurrentUser, "Software\\Velto Test");
        for (const Case& c : cases) {
            ASSERT_EQ(store->setValue(key, c.name, c.type, Bytes(c.data)), Outcome::Ok) << c.name;
        }
    });

    machine::SetCurrentMachine(nullptr);
    const auto again = installation.Open();
    const auto reread = installation.Store(*again);
    const KeyId key = Open(*reread, Root::CurrentUser, "Software\\Velto Test");
    const auto exported = testsupport::ExportWithHivexregedit(installation.UserHive());
    ASSERT_EQ(exported.error, "");
    for (const Case& c : cases) {
        registry::ValueData value;
        ASSERT_EQ(reread->queryValue(key, c.name, value), Outcome::Ok) << c.name;
        EXPECT_EQ(value.type, c.type) << c.name;
        EXPECT_EQ(value.data, Bytes(c.data)) << c.name;
        const auto* read = exported.Find("Software\\Velto Test", c.name);
        ASSERT_NE(read, nullptr) << c.name;
        EXPECT_EQ(read->type, c.type) << c.name;
        EXPECT_EQ(read->data, c.inHive) << c.name;
    }
    const auto regf = testsupport::ExportWithRegfexport(installation.UserHive());
    EXPECT_EQ(regf.error, "") << regf.text;
    EXPECT_NE(regf.text.find("Value: 0 Text"), std::string::npos) << regf.text;
}

TEST(OfflineRegistryStore, ALongValueIsRefusedWhereTheHiveKeepsItInAFormLibhivexDoesNotWrite) {
    Installation installation;
    const auto opened = installation.Open();
    const auto store = installation.Store(*opened);
    const std::string before = Slurp(installation.Config("SOFTWARE"));
    const KeyId key = Create(*store, Root::LocalMachine, "SOFTWARE\\Velto");
    const std::string afterKey = Slurp(installation.Config("SOFTWARE"));
    EXPECT_NE(afterKey, before);
    try {
        store->setValue(key, "Long", registry::REG_BINARY, std::vector<std::uint8_t>(16345, 1));
        FAIL() << "a value of 16345 bytes went into a hive of version 1.5";
    } catch (const registry::StoreError& e) {
        EXPECT_EQ(e.kind(), registry::StoreError::Kind::WriteFailed);
        EXPECT_NE(std::string(e.what()).find("16345 bytes"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Slurp(installation.Config("SOFTWARE")), afterKey);
    EXPECT_EQ(
        store->setValue(key, "Fits", registry::REG_BINARY, std::vector<std::uint8_t>(16344, 1)),
        Outcome::Ok);
    EXPECT_EQ(testsupport::ExportWithRegfexport(installation.Config("SOFTWARE")).error, "");
}

TEST(OfflineRegistryStore, AWriteChangesOnlyWhatItChanges) {
    Installation installation;
    const auto opened = installation.Open();
    const auto store = installation.Store(*opened);
    const auto before = testsupport::ExportWithHivexregedit(installation.Config("SOFTWARE"));
    ASSERT_EQ(before.error, "");
    std::map<fs::path, std::string> untouched;
    for (const fs::path& file : {installation.Config("SYSTEM"), installation.Config("DEFAULT"),
                                 installation.UserHive(), installation.ClassesHive()}) {
        untouched[file] = Slurp(file);
    }
    const std::uint32_t sequence = Sequence(installation.Config("SOFTWARE"), 4);
    const std::uint64_t writes = store->fileWrites();
    store->transaction([&] {
        const KeyId counts =
            Open(*store, Root::LocalMachine, std::string("SOFTWARE\\") + kSharedDlls);
        const std::uint8_t two[4] = {2, 0, 0, 0};
        store->setValue(counts, "C:\\Windows\\System32\\A.DLL", registry::REG_DWORD, two);
        store->setValue(counts, "c:\\windows\\system32\\a.dll", registry::REG_DWORD, two);
        const KeyId version =
            Open(*store, Root::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
        EXPECT_EQ(store->deleteValue(version, "CommonFilesDir"), Outcome::Ok);
    });
    EXPECT_EQ(store->fileWrites(), writes + 1);
    for (const auto& [file, bytes] : untouched) {
        EXPECT_EQ(Slurp(file), bytes) << file;
    }
    // libhivex numbers the write; the hive is whole (both numbers equal).
    EXPECT_EQ(Sequence(installation.Config("SOFTWARE"), 4), sequence + 1);
    EXPECT_EQ(Sequence(installation.Config("SOFTWARE"), 8), sequence + 1);

    auto expected = before;
    // The value keeps the spelling it was made with.
    expected.keys[kSharedDlls]["C:\\Windows\\System32\\A.DLL"] = {registry::REG_DWORD,
                                                                  {2, 0, 0, 0}};
    expected.keys["Microsoft\\Windows\\CurrentVersion"].erase("CommonFilesDir");
    const auto after = testsupport::ExportWithHivexregedit(installation.Config("SOFTWARE"));
    ASSERT_EQ(after.error, "");
    EXPECT_EQ(after.keys, expected.keys);
    EXPECT_EQ(testsupport::ExportWithRegfexport(installation.Config("SOFTWARE")).error, "");
}

TEST(OfflineRegistryStore, CurrentControlSetIsTheSetSelectNames) {
    Installation installation;
    {
        const auto opened = installation.Open();
        const auto store = installation.Store(*opened);
        const std::uint8_t two[4] = {2, 0, 0, 0};
        store->transaction([&] {
            store->setValue(Open(*store, Root::LocalMachine, "SYSTEM\\Select"), "Current",
                            registry::REG_DWORD, two);
            store->setValue(Open(*store, Root::LocalMachine,
                                 "SYSTEM\\ControlSet002\\Control\\ComputerName\\ComputerName"),
                            "ComputerName", registry::REG_SZ, Bytes(std::string("SECOND\0", 7)));
        });
    }
    machine::SetCurrentMachine(nullptr);
    const auto opened = installation.Open();
    const auto store = installation.Store(*opened);
    EXPECT_EQ(opened->profile().computerName(), "SECOND");
    // velto-machine reg export reaches it by name too, though it is listed nowhere.
    EXPECT_NE(registry::ExportRegText(*installation.Store(*opened),
                                      registry::ParseKeyPath("HKLM\\SYSTEM\\CurrentControlSet\\"
                                                             "Control\\ComputerName"))
                  .find("\"ComputerName\"=\"SECOND\""),
              std::string::npos);
    const std::string manager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    store->setValue(Open(*store, Root::LocalMachine, manager), "Velto", registry::REG_SZ,
                    Bytes(std::string("x\0", 2)));
    const auto exported = testsupport::ExportWithHivexregedit(installation.Config("SYSTEM"));
    EXPECT_NE(exported.Find("ControlSet002\\Control\\Session Manager", "Velto"), nullptr);
    EXPECT_EQ(exported.Find("ControlSet001\\Control\\Session Manager", "Velto"), nullptr);
    EXPECT_EQ(exported.keys.count("CurrentControlSet"), 0u);
    // The hive has no key of that name: none is listed.
    std::vector<registry::Subkey> subkeys;
    ASSERT_EQ(store->subkeys(Open(*store, Root::LocalMachine, "SYSTEM"), subkeys), Outcome::Ok);
    for (const auto& subkey : subkeys) {
        EXPECT_NE(subkey.name, "CurrentControlSet");
    }
    // HKEY_CURRENT_CONFIG is the current set's hardware profile.
    store->setValue(store->rootKey(Root::CurrentConfig), "Velto", registry::REG_SZ,
                    Bytes(std::string("y\0", 2)));
    EXPECT_NE(testsupport::ExportWithHivexregedit(installation.Config("SYSTEM"))
                  .Find("ControlSet002\\Hardware Profiles\\Current", "Velto"),
              nullptr);

    // A Select that names no set: CurrentControlSet leads nowhere and is never made.
    const std::uint8_t seven[4] = {7, 0, 0, 0};
    store->setValue(Open(*store, Root::LocalMachine, "SYSTEM\\Select"), "Current",
                    registry::REG_DWORD, seven);
    const std::string system = Slurp(installation.Config("SYSTEM"));
    KeyId key = 0;
    EXPECT_EQ(
        store->openKey(store->rootKey(Root::LocalMachine), registry::SplitKeyNames(manager), key),
        Outcome::NotFound);
    EXPECT_THROW(
        store->createKey(store->rootKey(Root::LocalMachine), registry::SplitKeyNames(manager), key),
        registry::StoreError);
    EXPECT_EQ(Slurp(installation.Config("SYSTEM")), system);
}

TEST(OfflineRegistryStore, ClassesRootIsTheUsersClassesOverTheMachines) {
    Installation installation;
    const auto opened = installation.Open();
    const auto store = installation.Store(*opened);
    const auto sz = [](const char* text) {
        return Bytes(std::string(text) + std::string(1, '\0'));
    };
    // The user's own .txt, made where Windows makes it: HKCU\Software\Classes, UsrClass.dat.
    store->setValue(Create(*store, Root::CurrentUser, "Software\\Classes\\.txt"), "",
                    registry::REG_SZ, sz("userfile"));
    EXPECT_EQ(Text(*store, Root::ClassesRoot, ".txt", ""), "userfile");
    EXPECT_EQ(Text(*store, Root::ClassesRoot, "txtfile\\shell\\open\\command", ""),
              "%SystemRoot%\\system32\\NOTEPAD.EXE %1");
    EXPECT_EQ(Text(*store, Root::Users,
                   std::string(offline::kNewInstallationUserSid) + "_Classes\\.txt", ""),
              "userfile");
    std::vector<registry::Subkey> subkeys;
    ASSERT_EQ(store->subkeys(store->rootKey(Root::ClassesRoot), subkeys), Outcome::Ok);
    std::vector<std::string> names;
    for (const auto& subkey : subkeys) {
        names.push_back(subkey.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{".txt", ".velto", "txtfile"}));

    // A write goes to the user's key where there is one, else to the machine's.
    store->setValue(Open(*store, Root::ClassesRoot, ".velto"), "Mine", registry::REG_SZ, sz("u"));
    store->setValue(Open(*store, Root::ClassesRoot, "txtfile"), "Theirs", registry::REG_SZ,
                    sz("m"));
    Create(*store, Root::ClassesRoot, ".new");
    const auto user = testsupport::ExportWithHivexregedit(installation.ClassesHive());
    const auto machine = testsupport::ExportWithHivexregedit(installation.Config("SOFTWARE"));
    EXPECT_NE(user.Find(".velto", "Mine"), nullptr);
    EXPECT_NE(machine.Find("Classes\\txtfile", "Theirs"), nullptr);
    EXPECT_EQ(machine.keys.count("Classes\\.new"), 1u);
    EXPECT_EQ(user.keys.count(".new"), 0u);
    EXPECT_EQ(machine.Find("Classes\\.txt", "")->data, testsupport::Utf16z(u"txtfile"));

    // Emptied as a whole, HKEY_CLASSES_ROOT keeps both Classes keys, as a root keeps itself.
    ASSERT_EQ(store->deleteTree(store->rootKey(Root::ClassesRoot)), Outcome::Ok);
    const auto emptied = testsupport::ExportWithHivexregedit(installation.Config("SOFTWARE"));
    EXPECT_EQ(emptied.keys.count("Classes"), 1u);
    EXPECT_EQ(emptied.keys.count("Classes\\txtfile"), 0u);
    EXPECT_EQ(testsupport::ExportWithHivexregedit(installation.ClassesHive()).keys.count(".velto"),
              0u);
}

TEST(OfflineRegistryStore, DamagedAndUnfinishedHivesAreRefused) {
    struct Case {
        std::string what;
        std::function<void(const Installation&)> harm;
        // Empty: the installation opens, but nothing may be written to it.
        std::string openError;
        std::string writeRefusal;
    };
    const Case cases[] = {
        {"a checksum that does not match",
         [](const Installation& i) {
             std::string bytes = Slurp(i.Config("SOFTWARE"));
             bytes[100] ^= 1;
             WriteFile(i.Config("SOFTWARE"), bytes);
         },
         "SOFTWARE is damaged: the checksum of its header is wrong", ""},
        {"a hive cut short",
         [](const Installation& i) {
             WriteFile(i.UserHive(), Slurp(i.UserHive()).substr(0, 5000));
         },
         "NTUSER.DAT is too short for a registry hive (5000 bytes)", ""},
        {"a hive whose write did not finish",
         [](const Installation& i) {
             std::string bytes = Slurp(i.Config("SYSTEM"));
             std::span<std::uint8_t> span(reinterpret_cast<std::uint8_t*>(bytes.data()),
                                          bytes.size());
             offline::WriteLe32(span, 4, offline::ReadLe32(span, 8) + 1);
             offline::SealBaseBlock(span.first(offline::kBaseBlockSize), 0x01D9000000000000);
             WriteFile(i.Config("SYSTEM"), bytes);
         },
         "", "SYSTEM was not written to the end"},
        {"a log of the newer form with changes the hive lacks",
         [](const Installation& i) {
             std::string log = LogHeader(i.Config("SYSTEM"), 6, 1);
             std::string entry(512, '\0');
             entry.replace(0, 4, "HvLE");
             std::span<std::uint8_t> span(reinterpret_cast<std::uint8_t*>(entry.data()), 512);
             offline::WriteLe32(span, 4, 512);
             offline::WriteLe32(span, 12, Sequence(i.Config("SYSTEM"), 8));
             WriteFile(i.Config("system.LOG1"), log + entry);
         },
         "", "has changes in its transaction log system.LOG1 that are not in it yet"},
        {"a log of the older form newer than the hive",
         [](const Installation& i) {
             WriteFile(i.Config("SOFTWARE.LOG"),
                       LogHeader(i.Config("SOFTWARE"), 1, Sequence(i.Config("SOFTWARE"), 8) + 1));
         },
         "", "has changes in its transaction log SOFTWARE.LOG"},
    };
    for (const Case& c : cases) {
        Installation installation;
        c.harm(installation);
        std::map<fs::path, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(installation.root())) {
            if (entry.is_regular_file()) {
                files[entry.path()] = Slurp(entry.path());
            }
        }
        if (!c.openError.empty()) {
            try {
                installation.Open();
                ADD_FAILURE() << c.what << ": opened";
            } catch (const machine::MachineError& e) {
                EXPECT_NE(std::string(e.what()).find(c.openError), std::string::npos)
                    << c.what << ": " << e.what();
            }
            continue;
        }
        const auto opened = installation.Open();
        const auto why = opened->kind().whyNotWritable();
        ASSERT_TRUE(why) << c.what;
        EXPECT_NE(why->find(c.writeRefusal), std::string::npos) << c.what << ": " << *why;
        // It is still read (a check may look), but never written.
        EXPECT_EQ(opened->profile().version().major, 10u) << c.what;
        const auto store = installation.Store(*opened);
        EXPECT_THROW(Create(*store, Root::LocalMachine, "SOFTWARE\\Velto"), registry::StoreError)
            << c.what;
        for (const auto& [file, bytes] : files) {
            EXPECT_EQ(Slurp(file), bytes) << c.what << ": " << file;
        }
    }

    // Logs whose entries the hive took in long ago are no reason to refuse.
    Installation stale;
    std::string log = LogHeader(stale.Config("SYSTEM"), 6, 1);
    std::string entry(512, '\0');
    entry.replace(0, 4, "HvLE");
    std::span<std::uint8_t> span(reinterpret_cast<std::uint8_t*>(entry.data()), 512);
    offline::WriteLe32(span, 4, 512);
    offline::WriteLe32(span, 12, Sequence(stale.Config("SYSTEM"), 8) - 1);
    WriteFile(stale.Config("SYSTEM.LOG1"), log + entry);
    WriteFile(stale.Config("SYSTEM.LOG2"), "");
    EXPECT_FALSE(stale.Open()->kind().whyNotWritable());
}

TEST(OfflineRegistryStore, ATransactionWritesEachHiveOnceOrNothing) {
    Installation installation;
    const auto opened = installation.Open();
    const auto store = installation.Store(*opened);
    const std::uint8_t one[4] = {1, 0, 0, 0};
    const std::uint64_t writes = store->fileWrites();
    store->transaction([&] {
        for (int i = 0; i < 3; ++i) {
            store->setValue(Create(*store, Root::CurrentUser, "Software\\Velto"),
                            "Run " + std::to_string(i), registry::REG_DWORD, one);
            store->setValue(
                Open(*store, Root::LocalMachine, std::string("SOFTWARE\\") + kSharedDlls),
                "C:\\X" + std::to_string(i) + ".DLL", registry::REG_DWORD, one);
        }
    });
    EXPECT_EQ(store->fileWrites(), writes + 2);

    // The values a transaction sets are laid out once per key: libhivex lays out all of a
    // key's values anew for each one set, and never reuses the old space.
    const auto grown = fs::file_size(installation.Config("SOFTWARE"));
    store->transaction([&] {
        const KeyId counts =
            Open(*store, Root::LocalMachine, std::string("SOFTWARE\\") + kSharedDlls);
        for (int i = 0; i < 400; ++i) {
            store->setValue(counts, "C:\\Windows\\System32\\LIB" + std::to_string(i) + ".DLL",
                            registry::REG_DWORD, one);
        }
    });
    EXPECT_LT(fs::file_size(installation.Config("SOFTWARE")) - grown, 64u * 1024u);
    EXPECT_EQ(Text(*store, Root::LocalMachine, std::string("SOFTWARE\\") + kSharedDlls,
                   "C:\\Windows\\System32\\LIB399.DLL"),
              std::string("\1", 1));

    // A body that fails leaves every hive as it was, and the keys it made are gone.
    const KeyId kept = Open(*store, Root::CurrentUser, "Software\\Velto");
    const std::string software = Slurp(installation.Config("SOFTWARE"));
    const std::string user = Slurp(installation.UserHive());
    KeyId made = 0;
    EXPECT_THROW(store->transaction([&] {
        made = Create(*store, Root::CurrentUser, "Software\\Velto\\Inside");
        store->setValue(Open(*store, Root::LocalMachine, std::string("SOFTWARE\\") + kSharedDlls),
                        "C:\\Y.DLL", registry::REG_DWORD, one);
        throw std::runtime_error("the body failed");
    }),
                 std::runtime_error);
    EXPECT_EQ(Slurp(installation.Config("SOFTWARE")), software);
    EXPECT_EQ(Slurp(installation.UserHive()), user);
    EXPECT_FALSE(store->keyExists(made));
    EXPECT_TRUE(store->keyExists(kept));
    EXPECT_EQ(
        Text(*store, Root::LocalMachine, std::string("SOFTWARE\\") + kSharedDlls, "C:\\Y.DLL"),
        "(none)");

    // A write refused before it changed anything, caught by the body: the rest is written.
    store->transaction([&] {
        store->setValue(kept, "Before", registry::REG_DWORD, one);
        EXPECT_THROW(
            store->setValue(Open(*store, Root::LocalMachine, "SOFTWARE\\Microsoft"), "Long",
                            registry::REG_BINARY, std::vector<std::uint8_t>(20000, 0)),
            registry::StoreError);
    });
    EXPECT_NE(testsupport::ExportWithHivexregedit(installation.UserHive())
                  .Find("Software\\Velto", "Before"),
              nullptr);
    EXPECT_EQ(Slurp(installation.Config("SOFTWARE")), software);

    // A write that failed half-way (keys made before the one too deep), caught by the body:
    // libhivex cannot take back part of its copy, so nothing is written.
    const std::string userBefore = Slurp(installation.UserHive());
    const std::vector<std::string> tooDeep(600, "Level");
    EXPECT_THROW(store->transaction([&] {
        store->setValue(kept, "Lost", registry::REG_DWORD, one);
        KeyId deep = 0;
        EXPECT_THROW(store->createKey(kept, tooDeep, deep), registry::StoreError);
    }),
                 registry::StoreError);
    EXPECT_EQ(Slurp(installation.UserHive()), userBefore);
    KeyId level = 0;
    EXPECT_EQ(store->openKey(kept, std::vector<std::string>{"Level"}, level), Outcome::NotFound);

    // A hive another program replaced meanwhile is never written over.
    const fs::path copy = installation.root() / "copy";
    fs::copy_file(installation.UserHive(), copy);
    EXPECT_THROW(store->transaction([&] {
        store->setValue(kept, "Late", registry::REG_DWORD, one);
        fs::rename(copy, installation.UserHive());
    }),
                 registry::StoreError);
    EXPECT_EQ(Slurp(installation.UserHive()), userBefore);
    // Outside a transaction the new file is read: the key is found again by its path.
    EXPECT_EQ(store->setValue(kept, "Again", registry::REG_DWORD, one), Outcome::Ok);
    EXPECT_NE(testsupport::ExportWithHivexregedit(installation.UserHive())
                  .Find("Software\\Velto", "Again"),
              nullptr);
}

}  // namespace

namespace {

TEST(OfflineRegistryStore, AScratchCopyTakesWritesThatNeverReachTheHives) {
    Installation installation;
    // Even where nothing may be written: what a check stores stays in memory.
    WriteFile(installation.root() / "hiberfil.sys", "hibr" + std::string(8188, '\0'));
    const auto opened = installation.Open();
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(installation.root())) {
        if (entry.is_regular_file()) {
            files[entry.path()] = Slurp(entry.path());
        }
    }
    const auto scratch = installation.Store(*opened)->copyIntoMemory();
    ASSERT_NE(scratch, nullptr);
    scratch->transaction([&] {
        scratch->setValue(Create(*scratch, Root::CurrentUser, "Software\\Velto"), "Seen",
                          registry::REG_SZ, Bytes(std::string("yes\0", 4)));
        scratch->setValue(
            Open(*scratch, Root::LocalMachine, std::string("SOFTWARE\\") + kSharedDlls),
            "C:\\A.DLL", registry::REG_DWORD, Bytes(std::string("\1\0\0\0", 4)));
    });
    EXPECT_EQ(Text(*scratch, Root::CurrentUser, "Software\\Velto", "Seen"), "yes");
    EXPECT_EQ(Text(*installation.Store(*opened), Root::CurrentUser, "Software\\Velto", "Seen"),
              "(none)");
    for (const auto& [file, bytes] : files) {
        EXPECT_EQ(Slurp(file), bytes) << file;
    }
}

}  // namespace
