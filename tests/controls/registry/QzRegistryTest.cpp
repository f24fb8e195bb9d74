// The registry control against a test machine's registry: each member with its result and the
// code it records, the odd inputs included.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "controls/registry/QzRegistry.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Format.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/win32/advapi32/Registry.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"

namespace Qz_Registry {
namespace {

using automation::ByteArray;
using automation::StringArray;
using automation::Variant;

struct Stored {
    win32::DWORD type = 0;
    std::vector<win32::BYTE> data;
    bool operator==(const Stored&) const = default;
};

// What the registry holds for a value, read below the control.
std::optional<Stored> Read(win32::HKEY root, const std::string& key, const std::string& name) {
    win32::HKEY handle{};
    if (win32::RegOpenKeyA(root, key, &handle) != win32::ERROR_SUCCESS) {
        return std::nullopt;
    }
    Stored out;
    win32::DWORD size = 0;
    if (win32::RegQueryValueExA(handle, name, nullptr, &out.type, nullptr, &size) !=
        win32::ERROR_SUCCESS) {
        win32::RegCloseKey(handle);
        return std::nullopt;
    }
    out.data.resize(size);
    win32::RegQueryValueExA(handle, name, nullptr, &out.type, out.data.data(), &size);
    win32::RegCloseKey(handle);
    return out;
}

std::vector<win32::BYTE> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<win32::BYTE> Dword(std::uint32_t n) {
    return {static_cast<win32::BYTE>(n), static_cast<win32::BYTE>(n >> 8),
            static_cast<win32::BYTE>(n >> 16), static_cast<win32::BYTE>(n >> 24)};
}

std::string SzText(std::string_view text) {
    return std::string(text) + '\0';
}

class QzRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testsupport::SeedRegistry(machine_, R"(REGEDIT4

[HKEY_CURRENT_USER\Software\Korvane\Velto]
"Text7"="7"
"Dword7"=dword:00000007
"Minus1"=dword:ffffffff
"Blob"=hex:00,01,ff
"EmptyBlob"=hex:
"Expand"=hex(2):25,50,41,54,48,25,00
"Nul"=hex(1):61,62,00,63,64,00
"NoNul"=hex(1):61,62,63
"EmptyText"=hex(1):
"Big"=hex(5):00,00,00,01
"Multi"=hex(7):61,00,62,00,00
"None"=hex(0):

[HKEY_CURRENT_USER\Software\Korvane\Velto\Exclusions]
[HKEY_CURRENT_USER\Software\Korvane\Velto\Recent]
[HKEY_CURRENT_USER\Software\Korvane\Velto\Recent\Deeper]

[HKEY_LOCAL_MACHINE\Software\Korvane\Velto]
"Where"="machine"
)");
        reg_.SetRegKey("\\Software\\Korvane\\Velto");
        reg_.RegistryErrorOccurred.Connect([this] { ++events_; });
    }

    testsupport::MachineBuilder machine_;
    QzRegistry reg_;
    int events_ = 0;
};

TEST_F(QzRegistryTest, GetRegSettingByType) {
    const struct {
        const char* name;
        std::optional<Variant> defaultValue;
        Variant expected;
        std::int32_t code;
    } cases[] = {
        {"Text7", std::nullopt, Variant("7"), 0},
        {"Dword7", std::nullopt, Variant(std::int32_t{7}), 0},
        {"Minus1", std::nullopt, Variant(std::int32_t{-1}), 0},
        {"Blob", std::nullopt, Variant(ByteArray({0, 1, 255})), 0},
        {"EmptyBlob", Variant("d"), Variant(ByteArray()), 0},
        // Not expanded, cut at the first NUL, read whole without one.
        {"Expand", std::nullopt, Variant("%PATH%"), 0},
        {"Nul", std::nullopt, Variant("ab"), 0},
        {"NoNul", std::nullopt, Variant("abc"), 0},
        {"EmptyText", Variant("d"), Variant(""), 0},
        // Big-endian DWORDs come back as stored, without a byte swap.
        {"Big", std::nullopt, Variant(std::int32_t{0x01000000}), 0},
        // Types without a reading give the default.
        {"Multi", Variant("N"), Variant("N"), 0},
        {"None", std::nullopt, Variant(), 0},
        {"Missing", Variant("N"), Variant("N"), 2},
        {"Missing", std::nullopt, Variant(), 2},
        {"missing", Variant(std::int32_t{3}), Variant(std::int32_t{3}), 2},
        {"text7", std::nullopt, Variant("7"), 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reg_.GetRegSetting(c.name, c.defaultValue), c.expected) << c.name;
        EXPECT_EQ(reg_.RegErr(), c.code) << c.name;
    }
    EXPECT_EQ(reg_.RegError(), "Success");
    EXPECT_EQ(events_, 0);
}

TEST_F(QzRegistryTest, GetRegSettingKeyAndRoot) {
    const struct {
        const char* key;
        std::int32_t root;
        Variant expected;
        std::int32_t code;
    } cases[] = {
        {"", 0, Variant("dflt"), 2},  // RegKey under hKey (HKCU) holds no "Where"
        {"", HKEY_LOCAL_MACHINE, Variant("machine"), 0},
        {"Software\\Korvane\\Velto", HKLM, Variant("machine"), 0},
        {"\\Software\\Nowhere", HKLM, Variant("dflt"), 6},
        {"Software\\Korvane\\Velto", HKEY_USERS, Variant("dflt"), 6},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reg_.GetRegSetting("Where", Variant("dflt"), c.key, c.root), c.expected)
            << c.key << " " << c.root;
        EXPECT_EQ(reg_.RegErr(), c.code) << c.key;
    }
    reg_.SethKey(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(reg_.GetRegSetting("Where"), Variant("machine"));
}

TEST_F(QzRegistryTest, SaveRegSettingByVariantType) {
    const automation::Date date(46000.5);
    const struct {
        const char* label;
        Variant data;
        Stored stored;
    } cases[] = {
        {"3.6", Variant(3.6), {win32::REG_DWORD, Dword(4)}},
        {"2.5", Variant(2.5), {win32::REG_DWORD, Dword(2)}},
        {"3.5", Variant(3.5), {win32::REG_DWORD, Dword(4)}},
        {"-2.5", Variant(-2.5), {win32::REG_DWORD, Dword(static_cast<std::uint32_t>(-2))}},
        {"integer", Variant(std::int16_t{-7}), {win32::REG_DWORD, Dword(0xFFFFFFF9u)}},
        {"long", Variant(std::int32_t{123456}), {win32::REG_DWORD, Dword(123456)}},
        {"single", Variant(1.5f), {win32::REG_DWORD, Dword(2)}},
        {"currency",
         Variant(automation::Currency::FromScaled(25000)),
         {win32::REG_DWORD, Dword(2)}},
        {"byte", Variant(std::uint8_t{200}), {win32::REG_DWORD, Dword(200)}},
        {"string", Variant("7"), {win32::REG_SZ, Bytes(SzText("7"))}},
        {"empty string", Variant(""), {win32::REG_SZ, {}}},
        {"date", Variant(date), {win32::REG_SZ, Bytes(SzText(automation::GeneralDateText(date)))}},
        {"bytes", Variant(ByteArray({9, 0, 8})), {win32::REG_BINARY, {9, 0, 8}}},
        {"bytes from 1", Variant(ByteArray({7, 6}, 1)), {win32::REG_BINARY, {7, 6}}},
        {"no bytes", Variant(ByteArray()), {win32::REG_BINARY, {}}},
        {"true", Variant(true), {win32::REG_NONE, {}}},
        {"false", Variant(false), {win32::REG_NONE, {}}},
        {"empty", Variant(), {win32::REG_NONE, {}}},
        {"null", Variant(automation::Null), {win32::REG_NONE, {}}},
        {"strings", Variant(StringArray({"a"})), {win32::REG_NONE, {}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reg_.SaveRegSetting(c.label, c.data), 0) << c.label;
        EXPECT_EQ(reg_.RegErr(), 0);
        EXPECT_EQ(Read(win32::HKEY_CURRENT_USER, "Software\\Korvane\\Velto", c.label), c.stored)
            << c.label;
    }
}

TEST_F(QzRegistryTest, SaveRegSettingCreatesKeysAndOverwrites) {
    EXPECT_EQ(reg_.SaveRegSetting("Backup", Variant("Y"), "Software\\New\\Deep", HKLM), 0);
    EXPECT_EQ(reg_.GetRegSetting("Backup", {}, "Software\\New\\Deep", HKLM), Variant("Y"));
    // The type follows the new data.
    EXPECT_EQ(reg_.SaveRegSetting("Text7", Variant(std::int32_t{8})), 0);
    EXPECT_EQ(reg_.GetRegSetting("Text7"), Variant(std::int32_t{8}));
    // The default value of a key.
    EXPECT_EQ(reg_.SaveRegSetting("", Variant("dflt")), 0);
    EXPECT_EQ(reg_.GetRegSetting(""), Variant("dflt"));
}

TEST_F(QzRegistryTest, SaveRegSettingOutOfRangeNumberWritesNothing) {
    for (const double n : {3e9, -2147483649.0, 1e300}) {
        try {
            reg_.SaveRegSetting("Huge", Variant(n));
            ADD_FAILURE() << n << " was saved";
        } catch (const automation::Error& e) {
            EXPECT_EQ(e.Number(), automation::Overflow);
        }
        EXPECT_FALSE(Read(win32::HKEY_CURRENT_USER, "Software\\Korvane\\Velto", "Huge"));
    }
}

TEST_F(QzRegistryTest, SaveRegSettingFailureIsRecorded) {
    // A key name longer than the registry allows cannot be created.
    const std::string tooLong = "Software\\" + std::string(300, 'k');
    EXPECT_EQ(reg_.SaveRegSetting("v", Variant("x"), tooLong), 87);
    EXPECT_EQ(reg_.RegErr(), 87);
    EXPECT_EQ(events_, 0);
}

TEST_F(QzRegistryTest, DeleteValue) {
    const struct {
        const char* value;
        const char* key;
        std::int32_t code;
    } cases[] = {
        {"Text7", "", 0},
        {"Text7", "", 2},  // already gone
        {"Where", "Software\\Korvane\\Nowhere", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reg_.DeleteValue(c.value, c.key), c.code) << c.value;
        EXPECT_EQ(reg_.RegErr(), c.code);
    }
    EXPECT_EQ(reg_.GetRegSetting("Dword7"), Variant(std::int32_t{7}));
}

TEST_F(QzRegistryTest, DeleteKeyIsNotRecorded) {
    reg_.GetRegSetting("Missing");
    ASSERT_EQ(reg_.RegErr(), 2);
    const struct {
        const char* key;
        std::int32_t code;
    } cases[] = {
        {"Software\\Korvane\\Velto\\Recent", 5},  // has a subkey
        {"Software\\Korvane\\Velto\\Recent\\Deeper", 0},
        {"Software\\Korvane\\Velto\\Recent", 0},
        {"Software\\Korvane\\Velto\\Recent", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reg_.DeleteKey(c.key), c.code) << c.key;
        EXPECT_EQ(reg_.RegErr(), 2);
    }
    EXPECT_EQ(reg_.GetAllKeys(), Variant(StringArray({"Exclusions"})));
}

TEST_F(QzRegistryTest, GetAllKeys) {
    EXPECT_EQ(reg_.GetAllKeys(), Variant(StringArray({"Exclusions", "Recent"})));
    EXPECT_EQ(reg_.RegErr(), 0);
    const Variant none = reg_.GetAllKeys("Software\\Korvane\\Velto\\Exclusions");
    EXPECT_EQ(automation::LBound(none), 0);
    EXPECT_EQ(automation::UBound(none), -1);
    EXPECT_EQ(reg_.GetAllKeys("Software\\Missing"), Variant(StringArray()));
    EXPECT_EQ(reg_.RegErr(), 2);
}

TEST_F(QzRegistryTest, GetAllValues) {
    reg_.SetRegKey("Software\\Korvane\\Velto\\Exclusions");
    EXPECT_TRUE(reg_.GetAllValues().IsEmpty());
    EXPECT_EQ(reg_.RegErr(), 0);
    EXPECT_TRUE(reg_.GetAllValues("Software\\Missing").IsEmpty());
    EXPECT_EQ(reg_.RegErr(), 2);

    reg_.SaveRegSetting("", Variant("default"));
    reg_.SaveRegSetting("C:\\TEMP", Variant(""));
    reg_.SaveRegSetting("Full", Variant(ByteArray(std::vector<std::uint8_t>(4000, 1))));
    EXPECT_EQ(reg_.GetAllValues(), Variant(StringArray({"", "C:\\TEMP", "Full"})));
    // Data over 4000 bytes used to end the list silently (every later exclusion was lost);
    // the value is read again with room for it.
    reg_.SaveRegSetting("Over", Variant(ByteArray(std::vector<std::uint8_t>(4001, 1))));
    reg_.SaveRegSetting("After", Variant("x"));
    EXPECT_EQ(reg_.GetAllValues(), Variant(StringArray({"", "C:\\TEMP", "Full", "Over", "After"})));
    EXPECT_EQ(reg_.RegErr(), 0);
}

TEST_F(QzRegistryTest, LongNamesDoNotEndTheEnumeration) {
    // 255 characters of UTF-8 take more than 255 bytes; an exclusion with its "  ***" mark
    // can be longer still. Every name after them is listed too.
    std::string accented = "C:\\";
    for (int i = 0; i < 250; ++i) {
        accented += "\xC3\xA9";  // é
    }
    const std::string marked = "C:\\" + std::string(300, 'L') + "  ***";
    const std::vector<std::string> names = {"C:\\A", accented, marked, "C:\\Z"};
    const std::string key = "Software\\Korvane\\Velto\\Exclusions";
    for (const std::string& name : names) {
        reg_.SaveRegSetting(name, Variant(""), key);
    }
    EXPECT_EQ(reg_.GetAllValues(key), Variant(StringArray(names)));
    EXPECT_EQ(reg_.RegErr(), 0);
    // Key names are at most 255 characters; in UTF-8 that is more than 255 bytes.
    const std::vector<std::string> subkeys = {"A", accented.substr(3), "Z"};
    for (const std::string& subkey : subkeys) {
        reg_.SaveRegSetting("", Variant(""), key + "\\" + subkey);
    }
    EXPECT_EQ(reg_.GetAllKeys(key), Variant(StringArray(subkeys)));
    EXPECT_EQ(reg_.RegErr(), 0);
}

TEST_F(QzRegistryTest, GetEXTCommandLine) {
    testsupport::SeedRegistry(machine_, R"(REGEDIT4

[HKEY_CLASSES_ROOT\.htm]
@="htmlfile"
[HKEY_CLASSES_ROOT\htmlfile\Shell\Open\Command]
@="xdg-open \"%1\""
[HKEY_CLASSES_ROOT\htmlfile\Shell\Print\Command]
@="print \"%1\""
[HKEY_CLASSES_ROOT\.txt\Shell\Open\Command]
@="edit %1"
[HKEY_CLASSES_ROOT\.txt]
@="txtfile"
[HKEY_CLASSES_ROOT\txtfile\Shell\Open\Command]
@="notepad %1"
[HKEY_CLASSES_ROOT\.odd]
[HKEY_CLASSES_ROOT\Shell\Open\Command]
@="root command"
)");
    const struct {
        const char* extension;
        const char* command;
        const char* expected;
    } cases[] = {
        {"htm", "Open", "xdg-open \"%1\""},
        {".htm", "Open", "xdg-open \"%1\""},
        {".HTM", "open", "xdg-open \"%1\""},
        {"htm", "Print", "print \"%1\""},
        {"htm", "Edit", ""},
        {"txt", "Open", "edit %1"},  // under the extension itself first
        {"odd", "Open", ""},         // no type name: nothing from the root's own Shell key
        {"none", "Open", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reg_.GetEXTCommandLine(c.extension, c.command), c.expected) << c.extension;
    }
    EXPECT_EQ(reg_.GetEXTCommandLine("htm"), "xdg-open \"%1\"");
}

TEST_F(QzRegistryTest, SetEXTCommandLineOnCleanMachine) {
    reg_.SetEXTCommandLine("xyz", "C:\\X.EXE %1");
    const std::string type = "AutoDefine.Korvane.xyz";
    const struct {
        std::string key;
        std::string text;
    } expected[] = {
        {".xyz", type},
        {type, "XYZ File"},
        {type + "\\Shell\\Open", "Open"},
        {type + "\\Shell\\Open\\Command", "C:\\X.EXE %1"},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(Read(win32::HKEY_CLASSES_ROOT, e.key, ""),
                  (Stored{win32::REG_SZ, Bytes(SzText(e.text))}))
            << e.key;
    }
    EXPECT_FALSE(Read(win32::HKEY_CLASSES_ROOT, type + "\\DefaultIcon", ""));
    EXPECT_EQ(reg_.GetEXTCommandLine(".xyz"), "C:\\X.EXE %1");
}

TEST_F(QzRegistryTest, SetEXTCommandLineKeepsTypeAndDescription) {
    testsupport::SeedRegistry(machine_, R"(REGEDIT4

[HKEY_CLASSES_ROOT\.htm]
@="htmlfile"
[HKEY_CLASSES_ROOT\htmlfile]
@="HTML Document"
[HKEY_CLASSES_ROOT\htmlfile\Shell\Open\Command]
@="old"
)");
    reg_.SetEXTCommandLine(".htm", "new %1", "Open", "", "&Open it", "C:\\ICON.ICO,1");
    EXPECT_EQ(reg_.GetRegSetting("", {}, ".htm", HKCR), Variant("htmlfile"));
    EXPECT_EQ(reg_.GetRegSetting("", {}, "htmlfile", HKCR), Variant("HTML Document"));
    EXPECT_EQ(reg_.GetRegSetting("", {}, "htmlfile\\Shell\\Open", HKCR), Variant("&Open it"));
    EXPECT_EQ(reg_.GetEXTCommandLine("htm"), "new %1");
    EXPECT_EQ(reg_.GetRegSetting("", {}, "htmlfile\\DefaultIcon", HKCR), Variant("C:\\ICON.ICO,1"));

    reg_.SetEXTCommandLine("htm", "x", "Print", "Web page");
    EXPECT_EQ(reg_.GetRegSetting("", {}, "htmlfile", HKCR), Variant("Web page"));
    EXPECT_EQ(reg_.GetRegSetting("", {}, "htmlfile\\Shell\\Print", HKCR), Variant("Print"));
    EXPECT_EQ(reg_.GetEXTCommandLine("htm"), "new %1");
}

TEST_F(QzRegistryTest, SetEXTCommandLineRefusesExtensionsOutsideTheirKey) {
    for (const char* extension : {"", ".", "a\\b", ".\\Shell"}) {
        try {
            reg_.SetEXTCommandLine(extension, "cmd");
            ADD_FAILURE() << extension;
        } catch (const automation::Error& e) {
            EXPECT_EQ(e.Number(), automation::InvalidProcedureCall) << extension;
        }
    }
    EXPECT_EQ(reg_.GetAllKeys("", HKCR), Variant(StringArray()));
}

TEST(QzRegistryErrors, RecorderTexts) {
    EXPECT_EQ(RegistryErrorText(1008), "");
    EXPECT_EQ(RegistryErrorText(1009), "Registry is corrupt");
    EXPECT_EQ(RegistryErrorText(1016), "Registry IO Failure");
    EXPECT_EQ(RegistryErrorText(1018), "Illegal operation--Key is deleted");
    EXPECT_EQ(RegistryErrorText(1021), "Child key must be volatile");
    EXPECT_EQ(RegistryErrorText(1022), "");
    EXPECT_EQ(RegistryErrorText(0), "");
    EXPECT_EQ(RegistryErrorText(2), "");
}

// Only the registry's own failures set the text and raise the event; later ordinary codes
// change RegErr and leave the text.
TEST(QzRegistryErrors, EventOnlyForRegistryFailures) {
    const struct {
        const char* label;
        const char* registryFile;  // nullptr: no registry.db at all
        std::int32_t code;
        const char* text;
    } cases[] = {
        {"missing store", nullptr, 1016, "Registry IO Failure"},
        {"not a database", "this is not a registry", 1009, "Registry is corrupt"},
    };
    for (const auto& c : cases) {
        testsupport::MachineBuilder machine;
        if (c.registryFile != nullptr) {
            std::ofstream(machine.machine()->registryPath()) << c.registryFile;
        }
        QzRegistry reg;
        int events = 0;
        std::int32_t codeSeen = 0;
        reg.RegistryErrorOccurred.Connect([&] {
            ++events;
            codeSeen = reg.RegErr();
        });
        EXPECT_EQ(reg.GetRegSetting("v", Variant("d"), "Software"), Variant("d")) << c.label;
        EXPECT_EQ(reg.RegErr(), c.code) << c.label;
        EXPECT_EQ(reg.RegError(), c.text) << c.label;
        EXPECT_EQ(events, 1) << c.label;
        EXPECT_EQ(codeSeen, c.code) << c.label;

        // A later success records 0 and keeps the text of the serious error.
        testsupport::SeedRegistry(machine);
        if (c.registryFile != nullptr) {
            std::filesystem::remove(machine.machine()->registryPath());
            testsupport::SeedRegistry(machine);
        }
        machine::SetCurrentMachine(machine::Machine::Open(machine.folder()));
        EXPECT_EQ(reg.SaveRegSetting("v", Variant("x"), "Software"), 0) << c.label;
        EXPECT_EQ(reg.RegErr(), 0);
        reg.GetRegSetting("missing", {}, "Software");
        EXPECT_EQ(reg.RegErr(), 2);
        EXPECT_EQ(reg.RegError(), c.text);
        EXPECT_EQ(events, 1) << c.label;
    }
}

TEST(QzRegistryControl, PropertiesPersist) {
    QzRegistry fresh;
    EXPECT_EQ(fresh.hKey(), HKEY_CURRENT_USER);
    EXPECT_EQ(fresh.RegKey(), "");
    EXPECT_EQ(fresh.RegErr(), 0);
    EXPECT_EQ(fresh.RegError(), "Success");

    QzRegistry loaded;
    loaded.ReadProperties(automation::PropertyBag());
    EXPECT_EQ(loaded.hKey(), HKEY_CURRENT_USER);
    EXPECT_EQ(loaded.RegKey(), "\\Software\\");

    const struct {
        HKEY_REGISTRY_KEYS root;
        const char* key;
    } cases[] = {
        {HKEY_LOCAL_MACHINE, "\\Software\\Korvane\\QzRegistry"},
        {HKEY_CURRENT_USER, "\\Software\\"},
        {HKEY_CLASSES_ROOT, ""},
        {HKEY_DYN_DATA, "Software\\Korvane\\Velto"},
    };
    for (const auto& c : cases) {
        QzRegistry saved;
        std::vector<std::string> changed;
        saved.PropertyChanged.Connect([&](const std::string& name) { changed.push_back(name); });
        saved.SethKey(c.root);
        saved.SetRegKey(c.key);
        EXPECT_EQ(changed, (std::vector<std::string>{"hKey", "RegKey"}));
        automation::PropertyBag bag;
        saved.WriteProperties(bag);
        QzRegistry restored;
        restored.ReadProperties(bag);
        EXPECT_EQ(restored.hKey(), c.root) << c.key;
        EXPECT_EQ(restored.RegKey(), c.key);
    }
}

TEST(QzRegistryControl, KeepsDesignSize) {
    QzRegistry reg;
    for (const auto& [w, h] : {std::pair{100, 5000}, std::pair{735, 735}, std::pair{0, 0}}) {
        reg.SetSize(w, h);
        EXPECT_EQ(reg.Width(), 735);
        EXPECT_EQ(reg.Height(), 735);
    }
}

TEST(QzRegistryControl, CreatedByProgIDAndShowsAbout) {
    auto reg = automation::CreateObjectAs<QzRegistry>("Qz_Registry.QzRegistry");
    ASSERT_TRUE(reg);
    auto script = std::make_shared<dialogs::ScriptedDialogs>();
    dialogs::ScopedBackend backend(script);
    reg->AboutDisplay();
    ASSERT_EQ(script->MsgBoxes().size(), 1u);
    const auto box = script->MsgBoxes()[0];
    EXPECT_EQ(box.title, "About QzRegistry");
    EXPECT_TRUE(box.prompt.starts_with("QzRegistry\r\nby Korvane\r\n")) << box.prompt;
    EXPECT_NE(box.prompt.find("\r\n\r\nQzRegistry is a trademark of Korvane\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace Qz_Registry
