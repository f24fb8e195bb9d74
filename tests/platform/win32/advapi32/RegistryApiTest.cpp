// The Reg* functions, one member at a time: results and codes together, odd inputs included.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/win32/advapi32/Registry.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"

using namespace win32;

namespace {

constexpr HKEY kNull{};
constexpr HKEY kBogus{0x1234};
const HKEY kPreserve{0x5678};

std::string Text(std::string_view s) {
    return std::string(s);
}

std::vector<BYTE> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

class RegistryApi : public ::testing::Test {
  protected:
    void SetUp() override {
        testsupport::SeedRegistry(machine_, R"(REGEDIT4

[HKEY_CURRENT_USER\Software\Korvane\Velto]
@="default text"
"Backup"="Y"
"Count"=dword:00000007
"Blob"=hex:00,01,02
"NoNul"=hex(1):61,62,63
"Multi"=hex(7):61,00,62,00,00
"Empty"=hex(1):

[HKEY_CURRENT_USER\Software\Korvane\Velto\Exclusions]
"C:\\TEMP"=""

[HKEY_CURRENT_USER\Software\Korvane\Velto\Recent]
)");
    }

    HKEY open(HKEY root, std::string_view path) {
        HKEY key = kNull;
        EXPECT_EQ(RegOpenKeyA(root, path, &key), ERROR_SUCCESS) << path;
        return key;
    }

    HKEY velto() { return open(HKEY_CURRENT_USER, "Software\\Korvane\\Velto"); }

    testsupport::MachineBuilder machine_;
};

}  // namespace

TEST_F(RegistryApi, RegOpenKeyA) {
    struct Case {
        HKEY root;
        std::string subKey;
        LSTATUS rc;
        bool nullResult;  // on failure: the result is reset (true) or left alone (false)
    };
    const Case cases[] = {
        {HKEY_CURRENT_USER, "Software\\Korvane\\Velto", ERROR_SUCCESS, false},
        {HKEY_CURRENT_USER, "SOFTWARE\\korvane\\VELTO", ERROR_SUCCESS, false},
        {HKEY_CURRENT_USER, "\\Software\\Korvane\\Velto", ERROR_SUCCESS, false},
        {HKEY_CURRENT_USER, "Software\\\\Korvane\\Velto\\", ERROR_SUCCESS, false},
        {HKEY_CURRENT_USER, std::string("Software\0Korvane", 16), ERROR_SUCCESS, false},
        {HKEY_CURRENT_USER, "Software\\Missing", ERROR_FILE_NOT_FOUND, true},
        {HKEY_LOCAL_MACHINE, "Software\\Korvane", ERROR_FILE_NOT_FOUND, true},
        {HKEY_CURRENT_USER, "Software\\" + std::string(256, 'x'), ERROR_INVALID_PARAMETER, true},
        {kNull, "Software", ERROR_INVALID_HANDLE, false},
        {kBogus, "Software", ERROR_INVALID_HANDLE, false},
        {HKEY{0x80000007u}, "Software", ERROR_INVALID_HANDLE, false},
    };
    for (const auto& c : cases) {
        HKEY key = kPreserve;
        EXPECT_EQ(RegOpenKeyA(c.root, c.subKey, &key), c.rc) << c.subKey;
        if (c.rc == ERROR_SUCCESS) {
            EXPECT_NE(key, kNull);
            EXPECT_NE(key, kPreserve);
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        } else {
            EXPECT_EQ(key, c.nullResult ? kNull : kPreserve) << c.subKey;
        }
    }
    // An empty subkey hands back the given handle itself, checked or not.
    HKEY same = kNull;
    EXPECT_EQ(RegOpenKeyA(HKEY_USERS, "", &same), ERROR_SUCCESS);
    EXPECT_EQ(same, HKEY_USERS);
    EXPECT_EQ(RegOpenKeyA(kBogus, "", &same), ERROR_SUCCESS);
    EXPECT_EQ(same, kBogus);
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software", nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryApi, RegOpenKeyExAOpensANewHandleForAnEmptySubkey) {
    const HKEY key = velto();
    HKEY again = kNull;
    ASSERT_EQ(RegOpenKeyExA(key, "", 0, KEY_READ, &again), ERROR_SUCCESS);
    EXPECT_NE(again, key);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(again, "Backup", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);

    HKEY root = kNull;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_READ, &root), ERROR_SUCCESS);
    EXPECT_EQ(root, HKEY_CLASSES_ROOT);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ".htm", 0, KEY_READ, &root), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(root, kNull);
}

TEST_F(RegistryApi, RegCreateKeyACreatesThePathOnce) {
    HKEY key = kNull;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\A\\B\\C", &key), ERROR_SUCCESS);
    HKEY again = kNull;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "software\\a\\b\\c", &again), ERROR_SUCCESS);
    const BYTE one[] = {1, 0, 0, 0};
    ASSERT_EQ(RegSetValueExA(key, "v", 0, REG_DWORD, one, 4), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(again, "V", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS)
        << "both handles name one key";
    RegCloseKey(key);
    RegCloseKey(again);
    EXPECT_EQ(testsupport::RegistryText(machine_, "HKEY_LOCAL_MACHINE\\Software"),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\A\\B]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\A\\B\\C]\r\n\"v\"=dword:00000001\r\n\r\n");

    HKEY root = kNull;
    EXPECT_EQ(RegCreateKeyA(HKEY_DYN_DATA, "", &root), ERROR_SUCCESS);
    EXPECT_EQ(root, HKEY_DYN_DATA);
    EXPECT_EQ(RegCreateKeyA(kBogus, "x", &root), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "x", nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, std::string(256, 'k'), &root),
              ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryApi, RegQueryValueExAInTwoCalls) {
    struct Case {
        const char* name;
        DWORD type;
        std::string data;
    };
    const Case cases[] = {
        {"", REG_SZ, std::string("default text\0", 13)},
        {"BACKUP", REG_SZ, std::string("Y\0", 2)},
        {"Count", REG_DWORD, std::string("\7\0\0\0", 4)},
        {"Blob", REG_BINARY, std::string("\0\1\2", 3)},
        {"NoNul", REG_SZ, "abc"},
        {"Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5)},
        {"Empty", REG_SZ, ""},
    };
    const HKEY key = velto();
    for (const auto& c : cases) {
        DWORD type = 99;
        DWORD size = 99;
        ASSERT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS)
            << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        ASSERT_EQ(size, c.data.size()) << c.name;

        std::vector<BYTE> buffer(size + 2, 0xEE);
        DWORD exact = size;
        EXPECT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, buffer.data(), &exact),
                  ERROR_SUCCESS);
        EXPECT_EQ(exact, size);
        EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + size), c.data) << c.name;
        EXPECT_EQ(buffer[size], 0xEE) << c.name << ": nothing beyond the given size";

        if (size > 0) {
            std::vector<BYTE> small(size, 0xEE);
            DWORD tooSmall = size - 1;
            EXPECT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, small.data(), &tooSmall),
                      ERROR_MORE_DATA);
            EXPECT_EQ(tooSmall, size);
            EXPECT_EQ(type, c.type);
            EXPECT_EQ(small, std::vector<BYTE>(size, 0xEE)) << c.name << ": buffer left alone";
        }
    }
    RegCloseKey(key);
}

TEST_F(RegistryApi, RegQueryValueExAEdges) {
    const HKEY key = velto();
    // A string stored without NUL gets one when the buffer has room; binary data never does.
    BYTE buffer[8];
    std::memset(buffer, 0xEE, sizeof buffer);
    DWORD size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, "NoNul", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), std::string("abc\0", 4));
    std::memset(buffer, 0xEE, sizeof buffer);
    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, "Blob", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(buffer[3], 0xEE);

    DWORD type = 99;
    size = 99;
    EXPECT_EQ(RegQueryValueExA(key, "missing", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(type, REG_NONE);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(RegQueryValueExA(key, "Count", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, "Count", nullptr, nullptr, buffer, nullptr),
              ERROR_INVALID_PARAMETER);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Count", &reserved, nullptr, nullptr, &size),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(kBogus, "Count", nullptr, nullptr, nullptr, &size),
              ERROR_INVALID_HANDLE);
    // Values on a root are values like any other.
    EXPECT_EQ(RegQueryValueExA(HKEY_CURRENT_USER, "Count", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryApi, RegSetValueExA) {
    struct Case {
        const char* name;
        DWORD type;
        std::string written;
        std::string stored;
    };
    const Case cases[] = {
        // The text as the settings code writes it: length without the NUL.
        {"Text", REG_SZ, "C:\\WINDOWS", std::string("C:\\WINDOWS\0", 11)},
        {"Counted", REG_SZ, std::string("x\0", 2), std::string("x\0", 2)},
        {"Expand", REG_EXPAND_SZ, "%TEMP%", std::string("%TEMP%\0", 7)},
        {"Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5), std::string("a\0b\0\0", 5)},
        {"Empty text", REG_SZ, "", ""},
        {"Dword", REG_DWORD, std::string("\4\0\0\0", 4), std::string("\4\0\0\0", 4)},
        {"Binary", REG_BINARY, std::string("ab\0", 3), std::string("ab\0", 3)},
        {"None", REG_NONE, "", ""},
        {"Caf\xC3\xA9", REG_SZ, "\xC3\xA9t\xC3\xA9", std::string("\xC3\xA9t\xC3\xA9\0", 6)},
    };
    HKEY key = kNull;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Set", &key), ERROR_SUCCESS);
    for (const auto& c : cases) {
        const auto data = Bytes(c.written);
        ASSERT_EQ(RegSetValueExA(key, c.name, 0, c.type, data.empty() ? nullptr : data.data(),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS)
            << c.name;
        std::vector<BYTE> read(64);
        DWORD size = static_cast<DWORD>(read.size());
        DWORD type = 0;
        ASSERT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, read.data(), &size), ERROR_SUCCESS);
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(std::string(read.begin(), read.begin() + size), c.stored) << c.name;
    }
    // Another spelling replaces the value in place; the first spelling stays.
    const BYTE two[] = {2, 0, 0, 0};
    ASSERT_EQ(RegSetValueExA(key, "TEXT", 0, REG_DWORD, two, 4), ERROR_SUCCESS);
    char name[32];
    DWORD nameSize = sizeof name;
    DWORD type = 0;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(Text(name), "Text");
    EXPECT_EQ(type, REG_DWORD);

    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, std::string(16384, 'n'), 0, REG_NONE, nullptr, 0),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, std::string(16383, 'n'), 0, REG_NONE, nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(kNull, "x", 0, REG_NONE, nullptr, 0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExA(HKEY_LOCAL_MACHINE, "on the root", 0, REG_NONE, nullptr, 0),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegistryApi, RegDeleteKeyA) {
    struct Case {
        HKEY root;
        const char* subKey;
        LSTATUS rc;
    };
    const Case cases[] = {
        {HKEY_CURRENT_USER, "Software\\Korvane\\Velto", ERROR_ACCESS_DENIED},  // has subkeys
        {HKEY_CURRENT_USER, "Software\\Korvane\\Velto\\Nothing", ERROR_FILE_NOT_FOUND},
        {HKEY_CURRENT_USER, "", ERROR_ACCESS_DENIED},  // a root
        {kBogus, "x", ERROR_INVALID_HANDLE},
        {HKEY_CURRENT_USER, "software\\korvane\\velto\\EXCLUSIONS", ERROR_SUCCESS},
        {HKEY_CURRENT_USER, "Software\\Korvane\\Velto\\Exclusions", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RegDeleteKeyA(c.root, c.subKey), c.rc) << c.subKey;
    }
    EXPECT_NE(testsupport::RegistryText(machine_, "HKEY_CURRENT_USER\\Software\\Korvane\\Velto")
                  .find("\"Count\"=dword:00000007"),
              std::string::npos)
        << "the refused delete kept the key and its values";

    // A key deleted through its own handle; the handle then reports the deletion.
    const HKEY recent = open(HKEY_CURRENT_USER, "Software\\Korvane\\Velto\\Recent");
    ASSERT_EQ(RegDeleteKeyA(recent, ""), ERROR_SUCCESS);
    DWORD size = 0;
    char name[16];
    HKEY below = kNull;
    EXPECT_EQ(RegQueryValueExA(recent, "x", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueExA(recent, "x", 0, REG_NONE, nullptr, 0), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumKeyA(recent, 0, name, sizeof name), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyA(recent, "Below", &below), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(recent), ERROR_SUCCESS);
    // With its last subkey gone, the parent can go too.
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Korvane\\Velto"), ERROR_SUCCESS);
}

TEST_F(RegistryApi, RegDeleteValueA) {
    const HKEY key = velto();
    EXPECT_EQ(RegDeleteValueA(key, "backup"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "Backup"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key, ""), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, ""), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(kBogus, "Count"), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Count", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegistryApi, RegEnumKeyA) {
    HKEY key = kNull;
    ASSERT_EQ(RegCreateKeyA(HKEY_USERS, "Parent", &key), ERROR_SUCCESS);
    for (const char* name : {"zz", "Middle", ".DEFAULT"}) {
        HKEY child = kNull;
        ASSERT_EQ(RegCreateKeyA(key, name, &child), ERROR_SUCCESS);
        RegCloseKey(child);
    }
    std::vector<std::string> names;
    char name[256];
    DWORD index = 0;
    LSTATUS rc = ERROR_SUCCESS;
    while ((rc = RegEnumKeyA(key, index, name, sizeof name)) == ERROR_SUCCESS) {
        names.push_back(name);
        ++index;
    }
    EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(names, (std::vector<std::string>{"zz", "Middle", ".DEFAULT"}));

    // "Middle" needs 7 bytes with its NUL.
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(RegEnumKeyA(key, 1, name, 6), ERROR_MORE_DATA);
    EXPECT_EQ(name[0], 'x') << "nothing copied";
    EXPECT_EQ(RegEnumKeyA(key, 1, name, 7), ERROR_SUCCESS);
    EXPECT_EQ(Text(name), "Middle");
    EXPECT_EQ(RegEnumKeyA(key, 0, nullptr, 10), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumKeyA(kBogus, 0, name, sizeof name), ERROR_INVALID_HANDLE);

    DWORD length = sizeof name;
    char keyClass[4] = "abc";
    DWORD classLength = sizeof keyClass;
    ASSERT_EQ(RegEnumKeyExA(key, 2, name, &length, nullptr, keyClass, &classLength), ERROR_SUCCESS);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(Text(keyClass), "");
    EXPECT_EQ(classLength, 0u);
    length = 8;
    EXPECT_EQ(RegEnumKeyExA(key, 2, name, &length), ERROR_MORE_DATA);
    EXPECT_EQ(length, 8u) << "the size is not updated on failure";
    RegCloseKey(key);
}

TEST_F(RegistryApi, RegEnumValueA) {
    const HKEY key = velto();
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof name;
        const LSTATUS rc =
            RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) {
            EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
            break;
        }
        EXPECT_EQ(nameSize, std::strlen(name));
        names.push_back(name);
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"", "Backup", "Count", "Blob", "NoNul", "Multi", "Empty"}));

    char name[8];
    BYTE data[8];
    DWORD nameSize = 0;
    DWORD dataSize = 0;
    DWORD type = 0;
    // Data too big: nothing is copied, the size and type come back.
    std::memset(name, 'x', sizeof name);
    nameSize = sizeof name;
    dataSize = 2;
    EXPECT_EQ(RegEnumValueA(key, 2, name, &nameSize, nullptr, &type, data, &dataSize),
              ERROR_MORE_DATA);
    EXPECT_EQ(dataSize, 4u);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(name[0], 'x');
    // Name too long for the buffer: cut to fit.
    nameSize = 4;
    dataSize = sizeof data;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &nameSize, nullptr, &type, data, &dataSize),
              ERROR_MORE_DATA);
    EXPECT_EQ(Text(name), "Bac");
    EXPECT_EQ(nameSize, 4u);
    // Exactly enough.
    nameSize = 7;
    dataSize = 2;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &nameSize, nullptr, &type, data, &dataSize),
              ERROR_SUCCESS);
    EXPECT_EQ(Text(name), "Backup");
    EXPECT_EQ(nameSize, 6u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 2), std::string("Y\0", 2));

    DWORD reserved = 0;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, &reserved, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueA(key, 0, nullptr, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, data, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryApi, EnumeratingWithFixedBuffersStopsAtTheFirstValueTooBig) {
    // The settings code lists value names with a 255-byte name and a 4000-byte data buffer.
    HKEY key = kNull;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Big", &key), ERROR_SUCCESS);
    const std::vector<BYTE> small(10, 1);
    const std::vector<BYTE> large(4001, 2);
    RegSetValueExA(key, "first", 0, REG_BINARY, small.data(), 10);
    RegSetValueExA(key, "large", 0, REG_BINARY, large.data(), 4001);
    RegSetValueExA(key, "after", 0, REG_BINARY, small.data(), 10);
    std::vector<std::string> names;
    std::vector<BYTE> data(4000);
    LSTATUS rc = ERROR_SUCCESS;
    for (DWORD index = 0;; ++index) {
        char name[255];
        DWORD nameSize = sizeof name;
        DWORD dataSize = 4000;
        rc = RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, data.data(), &dataSize);
        if (rc != ERROR_SUCCESS) {
            break;
        }
        names.push_back(name);
    }
    EXPECT_EQ(rc, ERROR_MORE_DATA);
    EXPECT_EQ(names, std::vector<std::string>{"first"});
    RegCloseKey(key);
}

TEST_F(RegistryApi, RegCloseKey) {
    const HKEY key = velto();
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Count", nullptr, nullptr, nullptr, &size),
              ERROR_INVALID_HANDLE);
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                      HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA}) {
        EXPECT_EQ(RegCloseKey(root), ERROR_SUCCESS);
        EXPECT_EQ(RegQueryValueExA(root, "x", nullptr, nullptr, nullptr, &size),
                  ERROR_FILE_NOT_FOUND)
            << "a closed root still works";
    }
    EXPECT_EQ(RegCloseKey(kNull), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(kBogus), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryApi, AnotherProcessSeesAWriteAtOnce) {
    const pid_t child = ::fork();
    if (child == 0) {
        HKEY key = kNull;
        const BYTE data[] = {'o', 'k', 0};
        const bool ok = RegCreateKeyA(HKEY_LOCAL_MACHINE, "Shared", &key) == ERROR_SUCCESS &&
                        RegSetValueExA(key, "from child", 0, REG_SZ, data, 3) == ERROR_SUCCESS;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    HKEY key = kNull;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Shared", &key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "From Child", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    RegCloseKey(key);
}

TEST(RegistryStoreFailures, BrokenOrMissingRegistryGivesACodeAndAReason) {
    struct Case {
        const char* what;
        std::string contents;  // empty: no registry.db at all
        LSTATUS rc;
    };
    const Case cases[] = {
        {"garbage", std::string(2048, '\x42'), ERROR_BADDB},
        {"missing", "", ERROR_REGISTRY_IO_FAILED},
    };
    for (const auto& c : cases) {
        testsupport::MachineBuilder machine;
        const auto path = machine.machine()->registryPath();
        if (!c.contents.empty()) {
            std::ofstream(path, std::ios::binary) << c.contents;
        }
        HKEY key = kNull;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software", &key), c.rc) << c.what;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(path.string()), std::string::npos) << c.what << ": " << said;
        if (c.contents.empty()) {
            EXPECT_FALSE(std::filesystem::exists(path)) << "a missing registry is not invented";
        } else {
            std::ifstream in(path, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.contents)
                << "a broken registry is never overwritten";
        }
        // Once the machine has a sound registry the calls work again.
        std::filesystem::remove(path);
        testsupport::SeedRegistry(machine);
        EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software", &key), ERROR_SUCCESS) << c.what;
        RegCloseKey(key);
    }
}

TEST(RegistryStoreFailures, EachMachineHasItsOwnRegistry) {
    testsupport::MachineBuilder first;
    testsupport::SeedRegistry(first, "REGEDIT4\n[HKEY_CURRENT_USER\\Only In First]\n");
    HKEY held = kNull;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Only In First", &held), ERROR_SUCCESS);
    {
        testsupport::MachineBuilder second;
        testsupport::SeedRegistry(second);
        HKEY key = kNull;
        EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Only In First", &key), ERROR_FILE_NOT_FOUND);
        // A handle keeps working on the registry it was opened on.
        EXPECT_EQ(RegSetValueExA(held, "still", 0, REG_NONE, nullptr, 0), ERROR_SUCCESS);
    }
    machine::SetCurrentMachine(first.machine());
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(held, "still", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(held);
    machine::SetCurrentMachine(nullptr);
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "x", &held), ERROR_REGISTRY_IO_FAILED);
}
