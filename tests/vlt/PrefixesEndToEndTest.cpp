// The prefixes of a home from end to end: two real prefixes (one made by `velto-machine create
// --wine --demo`, that is Wine's wineboot -i and the demo's duplicates, and a copy of it)
// named by Steam and Lutris, and a Lutris file that cannot be read. Then what the user runs:
// `prefixes` and `prefixes --json`, `check --all` (text and JSON, free and with one prefix
// held by a wineserver) with its exit status, and `vlt --machine steam:220 -S`. One test, so
// that Wine makes its prefix once.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/wine/FakeServer.h"
#include "tests/support/FileText.h"
#include "tests/support/RunProgram.h"
#include "tests/support/WinePrefix.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

class PrefixesEndToEnd : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!testsupport::WineInstalled()) {
            return;
        }
        root_ = new fs::path(fs::temp_directory_path() /
                             ("velto-prefixes-e2e-" + std::to_string(::getpid())));
        fs::remove_all(*root_);
        fs::create_directories(Steam().parent_path());
        const auto made = Run({VELTO_MACHINE_TOOL, "create", Steam().string(), "--wine", "--demo"});
        if (made.status != 0) {
            failure_ = new std::string("velto-machine create --wine --demo: " + made.err);
            return;
        }
        fs::create_directories(Lutris().parent_path());
        fs::copy(Steam(), Lutris(), fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        const fs::path steamApps = Home() / ".local/share/Steam/steamapps";
        Write(steamApps / "appmanifest_220.acf",
              "\"AppState\"\n{\n\t\"appid\"\t\t\"220\"\n\t\"name\"\t\t\"Half-Life "
              "2\"\n}\n");
        const fs::path games = Home() / ".config/lutris/games";
        fs::create_directories(games);
        Write(games / "demo-1700000000.yml", "game:\n  prefix: ~/Games/demo\nwine: {}\n");
        Write(games / "broken-1700000001.yml", "game: [\n");
    }
    static void TearDownTestSuite() {
        if (root_ != nullptr) {
            testsupport::RemoveWinePrefix(Steam());
            testsupport::RemoveWinePrefix(Lutris());
            std::error_code ec;
            fs::remove_all(*root_, ec);
            delete root_;
            root_ = nullptr;
        }
    }
    void SetUp() override {
        if (root_ == nullptr) {
            GTEST_SKIP() << testsupport::kWineMissing;
        }
        ASSERT_EQ(failure_, nullptr) << *failure_;
    }

    static fs::path Home() { return *root_ / "home"; }
    static fs::path Steam() { return Home() / ".local/share/Steam/steamapps/compatdata/220/pfx"; }
    static fs::path Lutris() { return Home() / "Games/demo"; }

    // A program as the user in that home runs it: no display, nothing launched.
    static testsupport::ProgramRun Run(std::vector<std::string> args) {
        std::vector<std::string> argv = {"/usr/bin/env",      "-u",
                                         "DISPLAY",           "-u",
                                         "WAYLAND_DISPLAY",   "-u",
                                         "WINEPREFIX",        "-u",
                                         "XDG_CONFIG_HOME",   "-u",
                                         "XDG_DATA_HOME",     "HOME=" + Home().string(),
                                         "VELTO_NO_LAUNCH=1", "WINEDEBUG=-all"};
        argv.insert(argv.end(), args.begin(), args.end());
        return testsupport::RunProgram(argv);
    }

    static fs::path* root_;
    static std::string* failure_;
};

fs::path* PrefixesEndToEnd::root_ = nullptr;
std::string* PrefixesEndToEnd::failure_ = nullptr;

std::size_t Repairable(const json& check) {
    std::size_t groups = 0;
    for (const json& group : check.at("groups")) {
        groups += group.at("unattended").at("actions").empty() ? 0 : 1;
    }
    return groups;
}

TEST_F(PrefixesEndToEnd, ListedCheckedTogetherAndOpenedByName) {
    const auto listed = Run({VELTO_MACHINE_TOOL, "prefixes"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    for (const std::string expected :
         {"Found 2 Wine prefixes, and 1 folder that is none.", "steam:220    Half-Life 2  Steam",
          "lutris:demo", "broken-1700000001.yml cannot be read: line 2"}) {
        EXPECT_NE(listed.out.find(expected), std::string::npos) << expected << "\n" << listed.out;
    }

    const json rows = json::parse(Run({VELTO_MACHINE_TOOL, "prefixes", "--json"}).out);
    ASSERT_EQ(rows.at("prefixes").size(), 3u);
    const json& steam = rows["prefixes"][0];
    EXPECT_EQ(steam["machine"], "steam:220");
    EXPECT_EQ(steam["name"], "Half-Life 2");
    EXPECT_EQ(steam["folder"], Steam().string());
    EXPECT_EQ(steam["prefix"], true);
    EXPECT_EQ(steam["bits"], 64);
    EXPECT_EQ(steam["inUse"], false);
    EXPECT_TRUE(steam["changed"].is_string());
    const json& broken = rows["prefixes"][1];
    EXPECT_EQ(broken["machine"], "lutris:broken");
    EXPECT_EQ(broken["prefix"], false);
    EXPECT_TRUE(broken["folder"].is_null());
    EXPECT_EQ(rows["prefixes"][2]["folder"], Lutris().string());

    const auto all = Run({VELTO_MACHINE_TOOL, "check", "--all"});
    EXPECT_EQ(all.status, 1) << all.err;
    for (const std::string& expected : std::vector<std::string>{
             "== steam:220 (Half-Life 2)\nChecked " + Steam().string(),
             "== lutris:demo\nChecked " + Lutris().string(), "Checked 2 of 2 Wine prefixes",
             "PREFIX                   LISTED  FLAGGED"}) {
        EXPECT_NE(all.out.find(expected), std::string::npos) << expected << "\n" << all.out;
    }

    // Each prefix checked in one run comes out as its own check does.
    const json together = json::parse(Run({VELTO_MACHINE_TOOL, "check", "--all", "--json"}).out);
    ASSERT_EQ(together.at("prefixes").size(), 2u);
    EXPECT_EQ(together["checked"], 2);
    const json& second = together["prefixes"][1];
    EXPECT_EQ(second["status"], "checked");
    const json alone = json::parse(Run({VELTO_MACHINE_TOOL, "check", "lutris:demo", "--json"}).out);
    EXPECT_EQ(second["check"], alone);
    const std::size_t before = Repairable(together["prefixes"][0]["check"]);
    EXPECT_GT(before, 0u);
    EXPECT_EQ(together["flagged"], 2 * alone["groups"].size());

    {
        winetest::FakeServer server(Lutris());
        const auto held = Run({VELTO_MACHINE_TOOL, "check", "--all"});
        EXPECT_EQ(held.status, 2);
        EXPECT_NE(held.out.find("Skipped " + Lutris().string() + ": Wine is running"),
                  std::string::npos)
            << held.out;
        EXPECT_NE(held.out.find("1 in use, 0 could not be checked"), std::string::npos);
    }

    const auto repaired = Run({VLT_BINARY, "--machine", "steam:220", "-S"});
    EXPECT_EQ(repaired.status, 0) << repaired.err;
    const json after = json::parse(Run({VELTO_MACHINE_TOOL, "check", "steam:220", "--json"}).out);
    EXPECT_EQ(after["machine"], Steam().string());
    EXPECT_EQ(Repairable(after), 0u);
    EXPECT_EQ(json::parse(Run({VELTO_MACHINE_TOOL, "check", "lutris:demo", "--json"}).out), alone);
    const auto unknown = Run({VLT_BINARY, "--machine", "steam:999", "-S"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(
        unknown.err.find("no prefix is named steam:999; these are:\n  steam:220  Half-Life 2"),
        std::string::npos)
        << unknown.err;
}

}  // namespace
