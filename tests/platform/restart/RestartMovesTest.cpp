// The pending list of restart-time moves: its stored form byte for byte, the lenient reading
// the machine's start relies on, and MoveFileExA's delayed form on the current machine.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/restart/RestartMoves.h"
#include "platform/win32/advapi32/Registry.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/ntdll/LastError.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"

namespace {

using win32::PendingRename;

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// The raw value as the registry holds it; empty when absent.
std::vector<std::uint8_t> StoredList(win32::DWORD* type = nullptr) {
    win32::HKEY key{};
    if (win32::RegOpenKeyA(win32::HKEY_LOCAL_MACHINE, win32::kSessionManagerKey, &key) !=
        win32::ERROR_SUCCESS) {
        return {};
    }
    win32::DWORD size = 0;
    win32::DWORD valueType = 0;
    std::vector<std::uint8_t> data;
    if (win32::RegQueryValueExA(key, win32::kPendingFileRenameOperations, nullptr, &valueType,
                                nullptr, &size) == win32::ERROR_SUCCESS) {
        data.resize(size);
        win32::RegQueryValueExA(key, win32::kPendingFileRenameOperations, nullptr, &valueType,
                                data.data(), &size);
    }
    win32::RegCloseKey(key);
    if (type != nullptr) {
        *type = valueType;
    }
    return data;
}

void StoreList(win32::DWORD type, std::string_view data) {
    win32::HKEY key{};
    ASSERT_EQ(win32::RegCreateKeyA(win32::HKEY_LOCAL_MACHINE, win32::kSessionManagerKey, &key),
              win32::ERROR_SUCCESS);
    ASSERT_EQ(win32::RegSetValueExA(key, win32::kPendingFileRenameOperations, 0, type,
                                    reinterpret_cast<const win32::BYTE*>(data.data()),
                                    static_cast<win32::DWORD>(data.size())),
              win32::ERROR_SUCCESS);
    win32::RegCloseKey(key);
}

struct EncodeCase {
    const char* name;
    std::vector<PendingRename> list;
    std::string bytes;
};

TEST(PendingRenames, StoredFormIsTheSystemsOwn) {
    using namespace std::string_literals;
    const EncodeCase cases[] = {
        {"empty list", {}, "\0"s},
        {"move keeping an existing target",
         {{"C:\\TEMP\\A.TMP", "C:\\A.DLL", false}},
         "\\??\\C:\\TEMP\\A.TMP\0\\??\\C:\\A.DLL\0\0"s},
        {"move replacing the target",
         {{"C:\\TEMP\\A.TMP", "C:\\WINDOWS\\SYSTEM32\\A.DLL", true}},
         "\\??\\C:\\TEMP\\A.TMP\0!\\??\\C:\\WINDOWS\\SYSTEM32\\A.DLL\0\0"s},
        {"delete", {{"C:\\OLD\\B.DLL", std::nullopt, false}}, "\\??\\C:\\OLD\\B.DLL\0\0\0"s},
        {"delete then move",
         {{"C:\\B.DLL", std::nullopt, true}, {"C:\\X", "C:\\Y", true}},
         "\\??\\C:\\B.DLL\0\0\\??\\C:\\X\0!\\??\\C:\\Y\0\0"s},
        {"UTF-8 names kept as bytes",
         {{"C:\\Donn\xC3\xA9"
           "es\\A.DLL",
           std::nullopt, false}},
         "\\??\\C:\\Donn\xC3\xA9"
         "es\\A.DLL\0\0\0"s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(win32::EncodePendingRenames(c.list), Bytes(c.bytes));
        // A delete keeps no replace flag in the stored form.
        std::vector<PendingRename> expected = c.list;
        for (auto& entry : expected) {
            if (!entry.target) {
                entry.replaceExisting = false;
            }
        }
        EXPECT_EQ(win32::DecodePendingRenames(Bytes(c.bytes)), expected);
    }
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::vector<PendingRename> list;
};

TEST(PendingRenames, ReadsWhatOthersWroteLeniently) {
    using namespace std::string_literals;
    const DecodeCase cases[] = {
        {"no data", ""s, {}},
        {"only the end mark", "\0\0"s, {}},
        {"closing NUL missing", "\\??\\C:\\A\0\\??\\C:\\B\0"s, {{"C:\\A", "C:\\B", false}}},
        {"last string unterminated", "\\??\\C:\\A\0!\\??\\C:\\B"s, {{"C:\\A", "C:\\B", true}}},
        {"no prefix", "C:\\A\0!C:\\B\0\0"s, {{"C:\\A", "C:\\B", true}}},
        {"source without any target means delete",
         "\\??\\C:\\A\0"s,
         {{"C:\\A", std::nullopt, false}}},
        {"a lone ! is a delete", "\\??\\C:\\A\0!\0\0"s, {{"C:\\A", std::nullopt, false}}},
        {"a target that is only the prefix is a delete",
         "\\??\\C:\\A\0!\\??\\\0\0"s,
         {{"C:\\A", std::nullopt, false}}},
        {"bytes after the end mark are not entries",
         "\\??\\C:\\A\0\0\0\\??\\C:\\HIDDEN\0\0\0"s,
         {{"C:\\A", std::nullopt, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(win32::DecodePendingRenames(Bytes(c.bytes)), c.list);
    }
}

class DelayedMoveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machine_.Platform(machine::Platform::NT);
        testsupport::SeedRegistry(machine_);
    }
    testsupport::MachineBuilder machine_;
};

TEST_F(DelayedMoveTest, AppendsFullPathsInCallOrder) {
    using namespace std::string_literals;
    machine_.machine()->setCurrentDirectory(machine::WindowsPath{'C', {"WINDOWS", "TEMP"}});
    ASSERT_TRUE(
        win32::MoveFileExA("VLT1.TMP", "c:/windows/system32/a.dll",
                           win32::MOVEFILE_DELAY_UNTIL_REBOOT | win32::MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_SUCCESS);
    ASSERT_TRUE(
        win32::MoveFileExA("C:\\OLD\\..\\B.DLL", std::nullopt, win32::MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(win32::MoveFileExA("C:\\C.DLL", "C:\\D.DLL", win32::MOVEFILE_DELAY_UNTIL_REBOOT));

    win32::DWORD type = 0;
    EXPECT_EQ(StoredList(&type),
              Bytes("\\??\\C:\\WINDOWS\\TEMP\\VLT1.TMP\0!\\??\\C:\\windows\\system32\\a.dll\0"
                    "\\??\\C:\\B.DLL\0\0"
                    "\\??\\C:\\C.DLL\0\\??\\C:\\D.DLL\0\0"s));
    EXPECT_EQ(type, win32::REG_MULTI_SZ);
    const auto list = win32::ReadPendingRenames();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->size(), 3u);
}

TEST_F(DelayedMoveTest, NothingIsDoneBeforeTheStart) {
    machine_.File("C:\\A.TMP", "new").File("C:\\A.DLL", "old");
    ASSERT_TRUE(
        win32::MoveFileExA("C:\\A.TMP", "C:\\A.DLL",
                           win32::MOVEFILE_DELAY_UNTIL_REBOOT | win32::MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(machine_.Read("C:\\A.TMP"), "new");
    EXPECT_EQ(machine_.Read("C:\\A.DLL"), "old");
}

struct RefusalCase {
    const char* name;
    bool nt;
    const char* source;
    std::optional<const char*> target;
    win32::DWORD flags;
    win32::DWORD error;
};

TEST_F(DelayedMoveTest, RefusalsLeaveTheListAlone) {
    const win32::DWORD delay = win32::MOVEFILE_DELAY_UNTIL_REBOOT;
    const RefusalCase cases[] = {
        {"copy allowed is not allowed with it", true, "C:\\A", "C:\\B",
         delay | win32::MOVEFILE_COPY_ALLOWED, win32::ERROR_INVALID_PARAMETER},
        {"empty source", true, "", "C:\\B", delay, win32::ERROR_PATH_NOT_FOUND},
        {"empty target is not a delete", true, "C:\\A", "", delay, win32::ERROR_PATH_NOT_FOUND},
        {"forbidden character", true, "C:\\A|B", std::nullopt, delay, win32::ERROR_INVALID_NAME},
        {"network path", true, "\\\\server\\share\\A", std::nullopt, delay,
         win32::ERROR_BAD_NETPATH},
        {"9x family keeps wininit.ini instead", false, "C:\\A", "C:\\B", delay,
         win32::ERROR_CALL_NOT_IMPLEMENTED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        machine_.Platform(c.nt ? machine::Platform::NT : machine::Platform::Win9x);
        const std::optional<std::string_view> target =
            c.target ? std::optional<std::string_view>(*c.target) : std::nullopt;
        EXPECT_FALSE(win32::MoveFileExA(c.source, target, c.flags));
        EXPECT_EQ(win32::GetLastError(), c.error);
        EXPECT_TRUE(StoredList().empty());
    }
}

TEST_F(DelayedMoveTest, AppendingRepairsAListWithoutItsEndMark) {
    using namespace std::string_literals;
    StoreList(win32::REG_MULTI_SZ, "\\??\\C:\\A\0\\??\\C:\\B\0"s);
    ASSERT_TRUE(win32::MoveFileExA("C:\\C", std::nullopt, win32::MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(StoredList(), Bytes("\\??\\C:\\A\0\\??\\C:\\B\0\\??\\C:\\C\0\0\0"s));
}

TEST_F(DelayedMoveTest, AValueOfAnotherTypeIsNeverOverwritten) {
    StoreList(win32::REG_SZ, "not a list");
    EXPECT_FALSE(win32::MoveFileExA("C:\\A", std::nullopt, win32::MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_INVALID_DATA);
    win32::DWORD type = 0;
    EXPECT_EQ(StoredList(&type), Bytes(std::string("not a list") + '\0'));
    EXPECT_EQ(type, win32::REG_SZ);
    EXPECT_FALSE(win32::ReadPendingRenames());
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_INVALID_DATA);
}

TEST_F(DelayedMoveTest, ConcurrentCallersLoseNoEntry) {
    constexpr int kThreads = 4;
    constexpr int kEach = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kEach; ++i) {
                const std::string name = "C:\\T" + std::to_string(t) + "_" + std::to_string(i);
                EXPECT_TRUE(
                    win32::MoveFileExA(name, std::nullopt, win32::MOVEFILE_DELAY_UNTIL_REBOOT));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const auto list = win32::ReadPendingRenames();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->size(), static_cast<std::size_t>(kThreads * kEach));
}

TEST_F(DelayedMoveTest, RemovingDoneEntriesKeepsLaterOnes) {
    const std::vector<PendingRename> first = {{"C:\\A", std::nullopt, false},
                                              {"C:\\B", "C:\\C", true}};
    for (const auto& entry : first) {
        ASSERT_TRUE(win32::ScheduleRestartMove(
            entry.source, entry.target,
            win32::MOVEFILE_DELAY_UNTIL_REBOOT |
                (entry.replaceExisting ? win32::MOVEFILE_REPLACE_EXISTING : 0)));
    }
    ASSERT_TRUE(win32::MoveFileExA("C:\\LATE", std::nullopt, win32::MOVEFILE_DELAY_UNTIL_REBOOT));

    // A list that does not start with what was carried out is somebody else's: left alone.
    const std::vector<PendingRename> other = {{"C:\\B", "C:\\C", true}};
    EXPECT_FALSE(win32::RemovePendingRenames(other));
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_INVALID_DATA);
    EXPECT_EQ(win32::ReadPendingRenames()->size(), 3u);

    ASSERT_TRUE(win32::RemovePendingRenames(first));
    const auto rest = win32::ReadPendingRenames();
    ASSERT_TRUE(rest);
    ASSERT_EQ(rest->size(), 1u);
    EXPECT_EQ((*rest)[0].source, "C:\\LATE");

    ASSERT_TRUE(win32::RemovePendingRenames(*rest));
    win32::DWORD type = 0;
    EXPECT_TRUE(StoredList(&type).empty());
    EXPECT_EQ(type, 0u) << "the value is deleted once nothing is left";
}

}  // namespace
