#include "platform/registry/RegText.h"

#include <gtest/gtest.h>

#include "platform/registry/SqliteRegistryStore.h"
#include "tests/platform/registry/TestSupport.h"

using namespace registry;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

class RegTextTest : public ::testing::Test {
  protected:
    std::unique_ptr<SqliteRegistryStore> newStore(const std::string& name) {
        SqliteRegistryStore::Create(folder_ / name);
        return SqliteRegistryStore::Open(folder_ / name);
    }

    KeyId key(RegistryStore& store, Root root, std::vector<std::string> names) {
        KeyId id = 0;
        EXPECT_EQ(store.createKey(store.rootKey(root), names, id), Outcome::Ok);
        return id;
    }

    // The value as the store holds it, or nullopt.
    std::optional<ValueData> read(RegistryStore& store, const std::string& path,
                                  std::string_view name) {
        const auto parsed = ParseKeyPath(path);
        KeyId id = 0;
        ValueData data;
        if (!parsed ||
            store.openKey(store.rootKey(parsed->root), parsed->names, id) != Outcome::Ok ||
            store.queryValue(id, name, data) != Outcome::Ok) {
            return std::nullopt;
        }
        return data;
    }

    TempFolder folder_;
};

// Text that the export writes for `lines`: the header, then the lines with CR LF ends.
std::string RegFile(std::initializer_list<std::string_view> lines) {
    std::string text = "REGEDIT4\r\n\r\n";
    for (auto line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace

TEST_F(RegTextTest, EveryTypeSurvivesExportAndImportByteForByte) {
    auto source = newStore("a.db");
    const KeyId types = key(*source, Root::LocalMachine, {"Software", "Types \"quoted\" key"});
    const std::vector<Value> values = {
        {"", REG_SZ, Bytes(std::string("the default\0", 12))},
        {"sz", REG_SZ, Bytes(std::string("C:\\WINDOWS\\SYSTEM \"q\"\0", 23))},
        {"empty sz", REG_SZ, {}},
        {"sz without NUL", REG_SZ, Bytes("abc")},
        {"sz with inner NUL", REG_SZ, Bytes(std::string("a\0b\0", 4))},
        {"sz with line break", REG_SZ, Bytes(std::string("a\r\nb\0", 5))},
        {"sz not UTF-8", REG_SZ, Bytes(std::string("caf\xE9\0", 5))},
        {"latin \xC3\xA9 name", REG_SZ, Bytes(std::string("\xC3\xA9t\xC3\xA9\0", 6))},
        {"none", REG_NONE, {}},
        {"none with data", REG_NONE, {1, 2}},
        {"expand", REG_EXPAND_SZ, Bytes(std::string("%SystemRoot%\\x\0", 15))},
        {"binary", REG_BINARY, std::vector<std::uint8_t>(300, 0xAB)},
        {"empty binary", REG_BINARY, {}},
        {"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {"short dword", REG_DWORD, {7, 0}},
        {"big endian", REG_DWORD_BIG_ENDIAN, {0x12, 0x34, 0x56, 0x78}},
        {"link", REG_LINK, {0x5C, 0, 0x3F, 0}},
        {"multi", REG_MULTI_SZ, Bytes(std::string("one\0two\0\0", 9))},
        {"resource list", REG_RESOURCE_LIST, {1, 0, 0, 0}},
        {"large type", 0xDEADBEEFu, {0xFF}},
        {"name with \\ and \"", REG_SZ, Bytes(std::string("x\0", 2))},
    };
    for (const auto& v : values) {
        source->setValue(types, v.name, v.type, v.data);
    }
    key(*source, Root::LocalMachine, {"Software", "Types \"quoted\" key", "Empty Subkey"});
    key(*source, Root::CurrentUser, {"Software", "Zed"});
    key(*source, Root::CurrentUser, {"Software", "Alpha"});
    source->setValue(source->rootKey(Root::Users), "on a root", REG_DWORD, Bytes("\1\0\0\0"));

    const std::string text = ExportRegText(*source);
    auto copy = newStore("b.db");
    ImportRegText(*copy, text);

    std::vector<Value> copied;
    KeyId copiedTypes = 0;
    const std::vector<std::string> path{"software", "TYPES \"QUOTED\" KEY"};
    ASSERT_EQ(copy->openKey(copy->rootKey(Root::LocalMachine), path, copiedTypes), Outcome::Ok);
    ASSERT_EQ(copy->values(copiedTypes, copied), Outcome::Ok);
    EXPECT_EQ(copied, values);
    EXPECT_EQ(ExportRegText(*copy), text) << "keys, order and spelling came across";
}

TEST_F(RegTextTest, ExportWritesRegeditText) {
    auto store = newStore("a.db");
    const KeyId velto = key(*store, Root::CurrentUser, {"Software", "Korvane", "Velto"});
    store->setValue(velto, "", REG_SZ, Bytes(std::string("Velto\0", 6)));
    store->setValue(velto, "Backup", REG_SZ, Bytes(std::string("Y\0", 2)));
    store->setValue(velto, "Count", REG_DWORD, Bytes(std::string("\x0A\0\0\0", 4)));
    store->setValue(velto, "Blob", REG_BINARY, std::vector<std::uint8_t>(30, 0x01));
    store->setValue(velto, "List", REG_MULTI_SZ, Bytes(std::string("a\0\0", 3)));
    key(*store, Root::CurrentUser, {"Software", "Korvane", "Velto", "Exclusions"});

    EXPECT_EQ(
        ExportRegText(*store, ParseKeyPath("hkcu\\software\\korvane")),
        RegFile({
            "[HKEY_CURRENT_USER\\Software\\Korvane]",
            "",
            "[HKEY_CURRENT_USER\\Software\\Korvane\\Velto]",
            "@=\"Velto\"",
            "\"Backup\"=\"Y\"",
            "\"Count\"=dword:0000000a",
            "\"Blob\"=hex:01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,\\",
            "  01,01,01,01,01,01,01,01",
            "\"List\"=hex(7):61,00,00",
            "",
            "[HKEY_CURRENT_USER\\Software\\Korvane\\Velto\\Exclusions]",
            "",
        }));
    // A key not made yet holds nothing: the header alone.
    const auto nothing = ParseKeyPath("HKEY_CURRENT_USER\\Software\\Nothing");
    EXPECT_FALSE(KeyExists(*store, *nothing));
    EXPECT_TRUE(KeyExists(*store, *ParseKeyPath("HKCU\\Software\\Korvane")));
    EXPECT_EQ(ExportRegText(*store, nothing), "REGEDIT4\r\n\r\n");
}

TEST_F(RegTextTest, ExportRefusesNamesTheFormatCannotHold) {
    const std::string names[] = {"line\nbreak", std::string("nul\0inside", 10), "not utf-8 \xE9"};
    for (const auto& name : names) {
        auto store = newStore(Numbered("x", &name - names) + ".db");
        store->setValue(key(*store, Root::CurrentUser, {"K"}), name, REG_NONE, {});
        EXPECT_THROW(ExportRegText(*store), RegTextError) << name;

        auto keyStore = newStore(Numbered("k", &name - names) + ".db");
        key(*keyStore, Root::CurrentUser, {"K", name});
        EXPECT_THROW(ExportRegText(*keyStore), RegTextError) << name;
    }
    // A backslash is fine in a value name but would split a key name in two.
    auto store = newStore("slash.db");
    const KeyId k = key(*store, Root::CurrentUser, {"K"});
    store->setValue(k, "a\\b", REG_NONE, {});
    EXPECT_NO_THROW(ExportRegText(*store));
    key(*store, Root::CurrentUser, {"K", "a\\b"});
    EXPECT_THROW(ExportRegText(*store), RegTextError);
}

TEST_F(RegTextTest, ImportReadsEachKindOfLine) {
    struct Case {
        const char* line;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    };
    const Case cases[] = {
        {"\"v\"=\"text\"", REG_SZ, Bytes(std::string("text\0", 5))},
        {"\"v\" = \"a \\\\ b \\\" c\"", REG_SZ, Bytes(std::string("a \\ b \" c\0", 10))},
        {"\"v\"=\"\"", REG_SZ, {0}},
        {"\"v\"=dword:7", REG_DWORD, {7, 0, 0, 0}},
        {"\"v\"=dword:FFFFFFFF", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"\"v\"=hex:", REG_BINARY, {}},
        {"\"v\"=hex:1,a ,FF", REG_BINARY, {1, 0x0A, 0xFF}},
        {"\"v\"=hex:01,02,", REG_BINARY, {1, 2}},
        {"\"v\"=hex(2):25,00", REG_EXPAND_SZ, {0x25, 0}},
        {"\"v\"=hex(0):", REG_NONE, {}},
        {"\"v\"=hex(ABCDEF01):00", 0xABCDEF01u, {0}},
        {"\"v\"=hex:01,\\\r\n   02,\\\n\t03", REG_BINARY, {1, 2, 3}},
    };
    for (const auto& c : cases) {
        auto store = newStore(Numbered("s", &c - cases) + ".db");
        ImportRegText(*store, "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n" + std::string(c.line) + "\n");
        const auto value = read(*store, "HKEY_CURRENT_USER\\K", "v");
        ASSERT_TRUE(value.has_value()) << c.line;
        EXPECT_EQ(value->type, c.type) << c.line;
        EXPECT_EQ(value->data, c.data) << c.line;
    }
}

TEST_F(RegTextTest, ImportDeletesKeysAndValuesAndCounts) {
    auto store = newStore("a.db");
    ImportRegText(
        *store, RegFile({"[HKEY_LOCAL_MACHINE\\A\\B\\C]", "\"x\"=\"1\"", "[HKEY_LOCAL_MACHINE\\A]",
                         "\"keep\"=\"1\"", "\"drop\"=\"1\"", "@=\"default\""}));
    const ImportSummary summary = ImportRegText(
        *store,
        RegFile({"; a comment", "[-HKEY_LOCAL_MACHINE\\A\\B]", "[-HKEY_LOCAL_MACHINE\\No]",
                 "[HKLM\\A]", "\"DROP\"=-", "\"never there\"=-", "@=-", "\"new\"=dword:1"}));
    EXPECT_EQ(summary.keys, 1u);
    EXPECT_EQ(summary.values, 1u);
    EXPECT_EQ(summary.deletedKeys, 1u);
    EXPECT_EQ(summary.deletedValues, 2u);
    EXPECT_EQ(ExportRegText(*store, ParseKeyPath("HKEY_LOCAL_MACHINE\\A")),
              RegFile({"[HKEY_LOCAL_MACHINE\\A]", "\"keep\"=\"1\"", "\"new\"=dword:00000001", ""}));
}

TEST_F(RegTextTest, MalformedFileChangesNothingAndNamesEveryBadLine) {
    struct Case {
        std::string text;
        std::vector<std::size_t> badLines;
    };
    const Case cases[] = {
        {"REGEDIT5\n[HKEY_CURRENT_USER\\K]\n", {1}},
        {"Windows Registry Editor Version 5.00\r\n", {1}},
        {"", {1}},
        {"REGEDIT4\n[HKEY_NOWHERE\\K]\n", {2}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K\n", {2}},
        {"REGEDIT4\n[-HKEY_CURRENT_USER]\n", {2}},
        {"REGEDIT4\n\"v\"=\"before any key\"\n", {2}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"no end\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"C:\\WINDOWS\"\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"x\" junk\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\" \"x\"\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=dword:123456789\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=dword:\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=dword:12g4\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=hex:123\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=hex:01,,02\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=hex(x):01\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=hex(1:01\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=hex:01,\\", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=string\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\njust words\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\n", {2}},
        // Names no export could write back: a lone CR or a NUL inside.
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"a\rb\"=\"x\"\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"a" + std::string(1, '\0') + "b\"=\"x\"\n", {3}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K\rL]\n", {2}},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K" + std::string(1, '\0') + "]\n", {2}},
        // Every bad line is listed, good ones around them are not, and values below a bad
        // key line are not blamed twice.
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"a\"=dword:1\n\"b\"=bad\n[HKEY_BAD]\n\"c\"=\"1\"\n"
         "[HKEY_CURRENT_USER\\L]\n\"d\"=hex:01,\\\n  zz\n",
         {4, 5, 9}},
    };
    for (const auto& c : cases) {
        auto store = newStore(Numbered("m", &c - cases) + ".db");
        ImportRegText(*store, RegFile({"[HKEY_CURRENT_USER\\K]", "\"v\"=\"old\""}));
        const std::string before = ExportRegText(*store);
        try {
            ImportRegText(*store, c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const RegTextError& e) {
            std::vector<std::size_t> lines;
            for (const auto& error : e.lines()) {
                lines.push_back(error.line);
            }
            EXPECT_EQ(lines, c.badLines) << e.what();
        }
        EXPECT_EQ(ExportRegText(*store), before) << c.text;
    }
}

TEST_F(RegTextTest, ImportReadsWindows1252AndSkipsAByteOrderMark) {
    auto store = newStore("a.db");
    ImportRegText(*store, "REGEDIT4\r\n[HKEY_CURRENT_USER\\Caf\xE9]\r\n\"\x80\"=\"na\xEFve\"\r\n");
    const auto value = read(*store, "HKEY_CURRENT_USER\\Caf\xC3\xA9", "\xE2\x82\xAC");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->data, Bytes(std::string("na\xC3\xAFve\0", 7)));

    ImportRegText(*store, "\xEF\xBB\xBFREGEDIT4\n[HKEY_CURRENT_USER\\B]\n\"v\"=\"\xC3\xA9\"\n");
    EXPECT_EQ(read(*store, "HKEY_CURRENT_USER\\B", "v")->data, Bytes(std::string("\xC3\xA9\0", 3)));

    EXPECT_THROW(ImportRegText(*store, std::string("\xFF\xFER\0E\0", 6)), RegTextError);
}

TEST(KeyPaths, ParseAndFormat) {
    EXPECT_EQ(ParseKeyPath("HKLM\\Software\\\\X\\"),
              (KeyPath{Root::LocalMachine, {"Software", "X"}}));
    EXPECT_EQ(ParseKeyPath("HKEY_CLASSES_ROOT"), (KeyPath{Root::ClassesRoot, {}}));
    EXPECT_EQ(ParseKeyPath("Software\\X"), std::nullopt);
    EXPECT_EQ(ParseKeyPath(""), std::nullopt);
    EXPECT_EQ(FormatKeyPath({Root::CurrentConfig, {"a", "b"}}), "HKEY_CURRENT_CONFIG\\a\\b");
}
