// The prefixes of a home the test builds: every launcher's files as the launcher writes them
// (Windows line ends, comments, quoted YAML, Flatpak folders, links), missing and broken
// files, a folder named by several launchers, and nothing written while they are read.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "platform/machine/MachineError.h"
#include "platform/wine/prefixes/PrefixFinder.h"
#include "platform/wine/prefixes/PrefixNames.h"
#include "tests/platform/wine/FakeServer.h"

namespace {

namespace fs = std::filesystem;
using wine::prefixes::FoundPrefix;

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A prefix as Wine leaves one: the registry files and dosdevices/. `arch` is the "#arch=" line
// ("" for none, as in a file an old Wine wrote); `wineVersion`, when set, the user's setting.
void Prefix(const fs::path& folder, const std::string& arch = "win64",
            const std::string& wineVersion = "") {
    const std::string head = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n" +
                             (arch.empty() ? "" : "#arch=" + arch + "\n");
    Write(folder / "system.reg",
          head +
              "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1700000000\n"
              "#time=1da1e2f3a4b5c6d\n\"CurrentBuildNumber\"=\"19043\"\n"
              "\"CurrentMajorVersionNumber\"=dword:0000000a\n"
              "\"CurrentMinorVersionNumber\"=dword:00000000\n\"CurrentVersion\"=\"6.3\"\n"
              "\"ProductName\"=\"Microsoft Windows 10\"\n"
              "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Fonts] 1700000000\n"
              "\"CurrentVersion\"=\"9.9\"\n");
    Write(folder / "user.reg",
          "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n" +
              (wineVersion.empty()
                   ? ""
                   : "[Software\\\\Wine] 1700000000\n\"Version\"=\"" + wineVersion + "\"\n"));
    fs::create_directories(folder / "dosdevices");
}

void LutrisDatabase(const fs::path& file) {
    fs::create_directories(file.parent_path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE games (id INTEGER PRIMARY KEY, name TEXT, slug TEXT, "
                           "runner TEXT, directory TEXT, configpath TEXT);"
                           "INSERT INTO games (name, slug, runner, configpath) VALUES "
                           "('StarCraft', 'starcraft', 'wine', 'starcraft-1716565447');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

class LauncherHome : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "velto-home-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        home_ = root_ / "home";
        Steam();
        Lutris();
        Bottles();
        Heroic();
        Others();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    // The native root (reached also through ~/.steam/steam), a second library, and the
    // Flatpak's root with a list in the format of before mid-2021.
    void Steam() {
        const fs::path native = home_ / ".local/share/Steam";
        Write(native / "steamapps/libraryfolders.vdf",
              "// libraries\r\n\"libraryfolders\"\r\n{\r\n\t\"contentstatsid\"\t\t\"-1\"\r\n"
              "\t\"0\"\r\n\t{\r\n\t\t\"path\"\t\t\"" +
                  native.string() +
                  "\"\r\n\t\t\"apps\"\r\n\t\t{\r\n\t\t\t\"220\"\t\t\"1\"\r\n\t\t}\r\n\t}\r\n"
                  "\t\"1\"\r\n\t{\r\n\t\t\"path\"\t\t\"" +
                  (root_ / "Library 2").string() +
                  "\"\r\n\t\t\"label\"\t\t\"\"\r\n\t\t\"apps\"\r\n\t\t{\r\n\t\t}\r\n\t}\r\n}\r\n");
        Write(native / "steamapps/appmanifest_220.acf",
              "\"AppState\"\n{\n\t\"appid\"\t\t\"220\"\n\t\"name\"\t\t\"Half-Life 2\"\n}\n");
        fs::create_directories(native / "steamapps/compatdata/400");
        const fs::path library = root_ / "Library 2/steamapps";
        Prefix(library / "compatdata/220/pfx");
        Prefix(library / "compatdata/500/pfx");
        Write(library / "appmanifest_500.acf", "\"AppState\"\n{\n\t\"name\" \"Portal\n");
        fs::create_directories(home_ / ".steam");
        fs::create_directory_symlink(native, home_ / ".steam/steam");

        const fs::path flatpak = home_ / ".var/app/com.valvesoftware.Steam/.local/share/Steam";
        Write(flatpak / "steamapps/libraryfolders.vdf",
              "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1513211018\"\n\t\"1\"\t\t\"" +
                  (root_ / "FlatLib").string() + "\"\n}\n");
        Prefix(root_ / "FlatLib/steamapps/compatdata/2532115102/pfx");
        Write(home_ / ".var/app/com.valvesoftware.Steam/.steam/steam/steamapps/libraryfolders.vdf",
              "\"libraryfolders\" {");
    }

    void Lutris() {
        const fs::path games = home_ / ".config/lutris/games";
        Write(games / "starcraft-1716565447.yml",
              "game:\r\n  arch: win32\r\n  exe: \"~/Games/starcraft/drive_c/StarCraft.exe\"\r\n"
              "  prefix: \"~/Games/starcraft\"\r\nsystem: {}\r\nwine:\r\n  version: "
              "'lutris-7.2-2-x86_64'\r\n");
        Prefix(home_ / "Games/starcraft", "", "winxp");
        LutrisDatabase(home_ / ".local/share/lutris/pga.db");
        // The same game added twice: a new file, the same slug.
        Write(games / "starcraft-1716565999.yml",
              "game:\n  prefix: ~/Games/starcraft-2\nwine: {}\n");
        Write(games / "broken-1.yml", "game:\n  prefix: [unclosed\n");
        Write(games / "native-2.yml", "game:\n  exe: /usr/games/x\nlinux: {}\n");
        Write(games / "noprefix-3.yml", "game:\n  exe: setup.exe\nwine: {}\n");
        Write(home_ / ".local/share/lutris/games/diablo-1716565448.yml",
              "name: Diablo\ngame:\n  prefix: " + (home_ / ".wine").string() + "\nwine: {}\n");
    }

    void Bottles() {
        const fs::path bottles = home_ / ".local/share/bottles";
        Write(bottles / "bottles/My-Game/bottle.yml",
              "Arch: win64\nCustom_Path: false\nEnvironment: Gaming\nName: My Game\n"
              "Path: My-Game\nRunner: soda-9.0-1\nWindows: win10\n");
        Prefix(bottles / "bottles/My-Game");
        Write(bottles / "bottles/Elsewhere/placeholder.yml",
              "Path: " + (root_ / "elsewhere/Elsewhere").string() + "\n");
        Write(root_ / "elsewhere/Elsewhere/bottle.yml", "Name: 'Far Away'\nCustom_Path: true\n");
        Prefix(root_ / "elsewhere/Elsewhere", "win32");
        fs::create_directories(bottles / "bottles/Empty");
        Write(bottles / "data.yml", "custom_bottles_path: " + (root_ / "custom").string() + "\n");
        Write(root_ / "custom/Custom-One/bottle.yml", "Name: Custom One\n");
        Prefix(root_ / "custom/Custom-One");
        const fs::path flatpak = home_ / ".var/app/com.usebottles.bottles/data/bottles";
        Write(flatpak / "bottles/Flat/bottle.yml", "Name: [unclosed\n");
        Prefix(flatpak / "bottles/Flat");
    }

    void Heroic() {
        const fs::path heroic = home_ / ".config/heroic";
        Write(heroic / "config.json",
              R"({"defaultSettings": {"defaultWinePrefix": "~/Games/Heroic/Prefixes/default"},
                  "version": "v0"})");
        Write(heroic / "GamesConfig/1207658924.json",
              R"({"1207658924": {"autoInstallDxvk": true, "enviromentOptions": [],
                  "wineVersion": {"bin": "/p/proton", "name": "Proton - GE", "type": "proton"},
                  "winePrefix": "~/Games/Heroic/Prefixes/default/Some Game"},
                  "version": "v0", "explicit": true})");
        Prefix(home_ / "Games/Heroic/Prefixes/default/Some Game/pfx");
        Write(heroic / "store_cache/gog_library.json",
              R"({"games": [{"app_name": "1207658924", "title": "Some Game"}]})");
        Write(heroic / "GamesConfig/Fortnite.json",
              R"({"Fortnite": {"wineVersion": {"type": "wine"}}, "version": "v0"})");
        Prefix(home_ / "Games/Heroic/Prefixes/default");
        Write(heroic / "GamesConfig/broken.json", "{\"broken\": ");
    }

    void Others() {
        Prefix(home_ / ".PlayOnLinux/wineprefix/Office", "win32");
        Write(home_ / ".cxoffice/winxp/cxbottle.conf", ";; bottle\n[Bottle]\n");
        Prefix(home_ / ".cxoffice/winxp", "win32");
        fs::create_directories(home_ / ".cxoffice/installers");
        Prefix(home_ / ".wine");
    }

    std::vector<FoundPrefix> Find() {
        auto home = wine::prefixes::Home::At(home_);
        home.winePrefix = home_ / ".wine";
        return wine::prefixes::FindPrefixes(home);
    }

    // Every file below the root with its text and time.
    std::map<fs::path, std::pair<std::string, fs::file_time_type>> Snapshot() const {
        std::map<fs::path, std::pair<std::string, fs::file_time_type>> files;
        for (const auto& entry : fs::recursive_directory_iterator(root_)) {
            if (entry.is_regular_file()) {
                files[entry.path()] = {Read(entry.path()), entry.last_write_time()};
            }
        }
        return files;
    }

    fs::path root_;
    fs::path home_;
};

// The row `machine` names (of several, the one in `folder`).
const FoundPrefix* Row(const std::vector<FoundPrefix>& rows, const std::string& machine,
                       const fs::path& folder = {}) {
    for (const FoundPrefix& row : rows) {
        for (const auto& naming : row.namings) {
            if (naming.machineName() == machine && (folder.empty() || row.folder == folder)) {
                return &row;
            }
        }
    }
    return nullptr;
}

TEST_F(LauncherHome, EveryLaunchersPrefixIsListedOnceWithItsFactsOrWhyNot) {
    struct Case {
        std::string machine;  // the row's first name
        std::string launcher;
        std::string name;
        std::string folder;  // below the root; "" for none
        int bits;            // 0: no prefix
        std::string says;    // the Windows version, or part of the reason
    };
    const std::string steam = "home/.local/share/Steam/steamapps/compatdata/";
    const Case cases[] = {
        {"steam:400", "Steam", "", steam + "400/pfx", 0, "does not exist"},
        {"steam:220", "Steam", "Half-Life 2", "Library 2/steamapps/compatdata/220/pfx", 64,
         "Windows 10 (10.0.19043)"},
        {"steam:500", "Steam", "", "Library 2/steamapps/compatdata/500/pfx", 64, "Windows 10"},
        {"steam:2532115102", "Steam (Flatpak)", "", "FlatLib/steamapps/compatdata/2532115102/pfx",
         64, "Windows 10"},
        {"steam:libraryfolders", "Steam (Flatpak)", "", "", 0, "line 1: section"},
        {"lutris:broken", "Lutris", "", "", 0, "broken-1.yml cannot be read: line 3"},
        {"lutris:noprefix", "Lutris", "", "", 0, "names no prefix"},
        {"lutris:starcraft", "Lutris", "StarCraft", "home/Games/starcraft", 32,
         "Windows XP (winxp)"},
        {"lutris:starcraft", "Lutris", "", "home/Games/starcraft-2", 0, "does not exist"},
        {"lutris:diablo", "Lutris", "Diablo", "home/.wine", 64, "Windows 10"},
        {"bottles:Elsewhere", "Bottles", "Far Away", "elsewhere/Elsewhere", 32, "Windows 10"},
        {"bottles:Empty", "Bottles", "", "home/.local/share/bottles/bottles/Empty", 0,
         "no system.reg"},
        {"bottles:My-Game", "Bottles", "My Game", "home/.local/share/bottles/bottles/My-Game", 64,
         "Windows 10"},
        {"bottles:Custom-One", "Bottles", "Custom One", "custom/Custom-One", 64, "Windows 10"},
        {"bottles:Flat", "Bottles (Flatpak)", "",
         "home/.var/app/com.usebottles.bottles/data/bottles/bottles/Flat", 64, "Windows 10"},
        {"heroic:1207658924", "Heroic", "Some Game",
         "home/Games/Heroic/Prefixes/default/Some Game/pfx", 64, "Windows 10"},
        {"heroic:Fortnite", "Heroic", "", "home/Games/Heroic/Prefixes/default", 64, "Windows 10"},
        {"heroic:broken", "Heroic", "", "", 0, "broken.json cannot be read"},
        {"playonlinux:Office", "PlayOnLinux", "", "home/.PlayOnLinux/wineprefix/Office", 32,
         "Windows 10"},
        {"crossover:winxp", "CrossOver", "", "home/.cxoffice/winxp", 32, "Windows 10"},
    };
    const auto rows = Find();
    EXPECT_EQ(rows.size(), std::size(cases));
    std::set<fs::path> folders;
    for (const FoundPrefix& row : rows) {
        EXPECT_TRUE(row.folder.empty() || folders.insert(row.folder).second) << row.folder;
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.machine);
        const FoundPrefix* row = Row(rows, c.machine, c.folder.empty() ? "" : root_ / c.folder);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->naming().machineName(), c.machine);
        EXPECT_EQ(row->naming().launcherTitle(), c.launcher);
        EXPECT_EQ(row->naming().name, c.name);
        EXPECT_EQ(row->folder, c.folder.empty() ? fs::path() : root_ / c.folder);
        EXPECT_EQ(row->isPrefix(), c.bits != 0) << row->problem;
        EXPECT_EQ(row->facts.bits, c.bits);
        const std::string said = row->isPrefix() ? row->facts.windows : row->problem;
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
    }
    // One folder, four names: Lutris's game first, then plain Wine's two.
    const FoundPrefix* own = Row(rows, "lutris:diablo");
    ASSERT_EQ(own->namings.size(), 3u);
    EXPECT_EQ(own->namings[1].machineName(), "wine:WINEPREFIX");
    EXPECT_EQ(own->namings[2].machineName(), "wine:default");
    EXPECT_EQ(Row(rows, "heroic:Fortnite")->namings.size(), 2u);
    // What the launchers' files say besides.
    ASSERT_EQ(Row(rows, "steam:500")->notes.size(), 1u);
    EXPECT_NE(Row(rows, "steam:500")->notes[0].find("appmanifest_500.acf cannot be read: line 3"),
              std::string::npos);
    EXPECT_NE(Row(rows, "bottles:Flat")->notes.at(0).find("bottle.yml cannot be read"),
              std::string::npos);
    EXPECT_NE(Row(rows, "bottles:Empty")->notes.at(0).find("Bottles does not list"),
              std::string::npos);
}

TEST_F(LauncherHome, ReadingChangesNothingAndTellsWhatHoldsAPrefix) {
    const fs::path held = root_ / "Library 2/steamapps/compatdata/220/pfx";
    winetest::FakeServer server(held);
    const fs::path system = home_ / ".wine/system.reg";
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(system, old);
    fs::last_write_time(home_ / ".wine/user.reg", old - std::chrono::hours(1));
    const auto before = Snapshot();
    const auto rows = Find();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(fs::exists(home_ / ".local/share/lutris/pga.db-journal"));
    EXPECT_EQ(Row(rows, "steam:220")->facts.server.state, wine::ServerState::Running);
    EXPECT_EQ(Row(rows, "steam:500")->facts.server.state, wine::ServerState::NotRunning);
    EXPECT_EQ(Row(rows, "wine:default")->facts.changed,
              std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(old)));
}

TEST_F(LauncherHome, APrefixIsPickedByItsLaunchersNameForIt) {
    const auto rows = Find();
    struct Case {
        std::string name;
        std::string folder;  // below the root; "" when refused
        std::string says;    // part of the refusal
    };
    const Case cases[] = {
        {"steam:220", "Library 2/steamapps/compatdata/220/pfx", ""},
        {"STEAM:half-life 2", "Library 2/steamapps/compatdata/220/pfx", ""},
        {"bottles:far away", "elsewhere/Elsewhere", ""},
        {"lutris:starcraft", "",
         "names more than one prefix; give the folder instead:\n  lutris:starcraft  StarCraft  " +
             (home_ / "Games/starcraft").string()},
        {"bottles:My Game", "home/.local/share/bottles/bottles/My-Game", ""},
        {"heroic:Some Game", "home/Games/Heroic/Prefixes/default/Some Game/pfx", ""},
        {"wine:default", "home/.wine", ""},
        {"steam:400", "", "no Wine prefix: the folder does not exist"},
        {"steam:999", "", "no prefix is named steam:999; these are:\n  steam:400"},
        {"crossover:nothing", "", "  crossover:winxp  " + (home_ / ".cxoffice/winxp").string()},
        {"heroic:default", "home/Games/Heroic/Prefixes/default", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            EXPECT_EQ(wine::prefixes::PickByName(c.name, rows), root_ / c.folder);
            EXPECT_FALSE(c.folder.empty());
        } catch (const machine::MachineError& e) {
            EXPECT_TRUE(c.folder.empty()) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
    EXPECT_TRUE(wine::prefixes::IsMachineName("Steam:220"));
    EXPECT_FALSE(wine::prefixes::IsMachineName("/home/me/.wine"));
    EXPECT_FALSE(wine::prefixes::IsMachineName("origin:220"));
    const fs::path folderNamedLikeOne = root_ / "bottles:x";
    fs::create_directories(folderNamedLikeOne);
    EXPECT_FALSE(wine::prefixes::IsMachineName(folderNamedLikeOne.string()));
}

}  // namespace
