// The registry store on files real Wine wrote: one fresh prefix for the whole suite (making
// one takes Wine several seconds), read back by Velto and, after Velto wrote, by Wine itself.
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/wine/HiveFile.h"
#include "platform/wine/WineRegistryStore.h"
#include "tests/support/FileText.h"
#include "tests/support/WinePrefix.h"

namespace {

using testsupport::Slurp;

namespace fs = std::filesystem;
using registry::Outcome;
using registry::ValueData;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// The lines `after` has that `before` has not (first), and the other way round, as multisets.
std::pair<std::multiset<std::string>, std::multiset<std::string>> Difference(
    const std::string& before, const std::string& after) {
    const auto oldLines = Lines(before);
    const auto newLines = Lines(after);
    std::multiset<std::string> removed(oldLines.begin(), oldLines.end());
    std::multiset<std::string> added;
    for (const auto& line : newLines) {
        if (const auto it = removed.find(line); it != removed.end()) {
            removed.erase(it);
        } else {
            added.insert(line);
        }
    }
    return {added, removed};
}

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

class WineRealFiles : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!testsupport::WineInstalled()) {
            return;
        }
        folder_ =
            new fs::path(fs::temp_directory_path() / ("velto-wine-" + std::to_string(::getpid())));
        fs::remove_all(*folder_);
        fs::create_directories(*folder_);
        if (auto error = testsupport::MakeWinePrefix(*folder_ / "prefix")) {
            failure_ = new std::string(*error);
        }
    }
    static void TearDownTestSuite() {
        if (folder_ != nullptr) {
            testsupport::RemoveWinePrefix(*folder_ / "prefix");
            std::error_code ec;
            fs::remove_all(*folder_, ec);
            delete folder_;
            folder_ = nullptr;
        }
    }
    void SetUp() override {
        if (folder_ == nullptr) {
            GTEST_SKIP() << testsupport::kWineMissing;
        }
        ASSERT_EQ(failure_, nullptr) << *failure_;
    }
    static fs::path prefix() { return *folder_ / "prefix"; }

    static fs::path* folder_;
    static std::string* failure_;
};

fs::path* WineRealFiles::folder_ = nullptr;
std::string* WineRealFiles::failure_ = nullptr;

// One test, so that the prefix is made once (every test of the program runs as a process of
// its own): every value Wine wrote is read and written back as Wine wrote it; then a write,
// and what Wine reads back of it.
TEST_F(WineRealFiles, VeltoReadsAndWritesWhatWineReadsAndWrites) {
    std::size_t values = 0;
    for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
        const std::string text = Slurp(prefix() / name);
        const auto file = wine::HiveFile::Parse(text);
        EXPECT_EQ(file.Serialize(), text) << name;
        for (const auto& block : file.blocks()) {
            for (const auto& item : block.items) {
                if (item.raw.starts_with('"') || item.raw.starts_with('@')) {
                    ASSERT_TRUE(item.value) << name << ": " << item.raw;
                    EXPECT_EQ(wine::RenderValue(*item.value), item.raw) << name;
                    ++values;
                }
            }
        }
    }
    EXPECT_GT(values, 3000u);

    const std::string machineBefore = Slurp(prefix() / "system.reg");
    const std::string userBefore = Slurp(prefix() / "user.reg");
    const auto store = wine::WineRegistryStore::Open(prefix());
    const auto hklm = store->rootKey(registry::Root::LocalMachine);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 40; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(i * 7));
    }
    store->transaction([&] {
        registry::KeyId key = 0;
        ASSERT_EQ(store->createKey(hklm, registry::SplitKeyNames("Software\\Velto Test"), key),
                  Outcome::Ok);
        store->setValue(key, "Text", registry::REG_SZ,
                        Bytes(std::string("Quote \" back \\ caf\xC3\xA9 [x]\0", 25)));
        store->setValue(key, "", registry::REG_SZ, Bytes(std::string("default\0", 8)));
        store->setValue(key, "Expand", registry::REG_EXPAND_SZ,
                        Bytes(std::string("%SystemRoot%\\system32\0", 22)));
        store->setValue(key, "Multi", registry::REG_MULTI_SZ,
                        Bytes(std::string("one\0two\0\0", 9)));
        store->setValue(key, "Count", registry::REG_DWORD, std::vector<std::uint8_t>{3, 1, 0, 0});
        store->setValue(key, "Bytes", registry::REG_BINARY, bytes);
        registry::KeyId current = 0;
        ASSERT_EQ(
            store->openKey(
                hklm, registry::SplitKeyNames("Software\\Microsoft\\Windows NT\\CurrentVersion"),
                current),
            Outcome::Ok);
        store->setValue(current, "VeltoMark", registry::REG_DWORD,
                        std::vector<std::uint8_t>{1, 0, 0, 0});
    });
    EXPECT_EQ(store->fileWrites(), 1u);
    EXPECT_EQ(Slurp(prefix() / "user.reg"), userBefore);

    const auto [added, removed] = Difference(machineBefore, Slurp(prefix() / "system.reg"));
    // The changed key's own two lines, nothing else.
    ASSERT_EQ(removed.size(), 2u);
    EXPECT_TRUE(removed.begin()->starts_with("#time=") ||
                removed.begin()->starts_with("[Software\\\\Microsoft\\\\Windows NT"));
    EXPECT_EQ(added.count("\"VeltoMark\"=dword:00000001"), 1u);
    EXPECT_EQ(added.count("\"Count\"=dword:00000103"), 1u);
    EXPECT_EQ(added.count("\"Multi\"=str(7):\"one\\0two\\0\""), 1u);

    const std::string velto = "HKEY_LOCAL_MACHINE\\Software\\Velto Test";
    const std::string current =
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion";
    const auto read = testsupport::WineRegQuery(prefix(), {velto, current});
    const auto expect = [&](const std::string& key, const std::string& name,
                            const std::string& type, const std::string& data) {
        const auto value = testsupport::FindQueried(read, key, name);
        ASSERT_TRUE(value) << key << " " << name;
        EXPECT_EQ(value->type, type) << name;
        EXPECT_EQ(value->data, data) << name;
    };
    expect(velto, "Count", "REG_DWORD", "0x103");
    expect(velto, "", "REG_SZ", "default");
    expect(velto, "Expand", "REG_EXPAND_SZ", "%SystemRoot%\\system32");
    expect(velto, "Multi", "REG_MULTI_SZ", "one\\0two");
    expect(velto, "Bytes", "REG_BINARY",
           "00070E151C232A31383F464D545B626970777E858C939AA1A8AFB6BDC4CBD2D9E0E7EEF5FC030A11");
    expect(current, "VeltoMark", "REG_DWORD", "0x1");
    expect(current, "CurrentVersion", "REG_SZ", "6.1");
    const auto text = testsupport::FindQueried(read, velto, "Text");
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->data.starts_with("Quote \" back \\ caf")) << text->data;
    EXPECT_TRUE(text->data.ends_with(" [x]")) << text->data;
}

}  // namespace
