// Lutris's games: one YAML file per game, named <slug>-<seconds>.yml, in
// ~/.config/lutris/games (older installs) or ~/.local/share/lutris/games (newer ones), and the
// same below the Flatpak's folder. A Wine game's file names its prefix under "game:":
//
//   game:
//     exe: /home/me/Games/starcraft/drive_c/StarCraft/StarCraft.exe
//     prefix: /home/me/Games/starcraft
//   wine:
//     version: lutris-7.2-2-x86_64
//
// The game's name is in Lutris's database, pga.db (table games: name, slug and configpath,
// the file's name without .yml), opened read-only and as immutable so that not even a lock
// file is made; a file the database does not know is named after its slug.

#include <sqlite3.h>

#include <map>

#include "platform/wine/prefixes/LauncherFiles.h"
#include "platform/wine/prefixes/Launchers.h"

namespace wine::prefixes {
namespace {
namespace fs = std::filesystem;

struct Listed {
    std::string name;
    std::string slug;
};

// "file:" URI of a path: the characters a URI gives a meaning to are written as %XX.
std::string FileUri(const fs::path& file) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const unsigned char c : file.string()) {
        if (c == '%' || c == '?' || c == '#' || c < 0x20) {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        } else {
            uri += static_cast<char>(c);
        }
    }
    return uri + "?mode=ro&immutable=1";
}

// The games Lutris lists, by the name of their file; with the reason in `error` when the
// database cannot be read.
std::map<std::string, Listed> ListedGames(const fs::path& database, std::string& error) {
    std::map<std::string, Listed> games;
    if (!IsFile(database)) {
        return games;
    }
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(FileUri(database).c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                             nullptr);
    sqlite3_stmt* query = nullptr;
    if (rc == SQLITE_OK) {
        rc =
            sqlite3_prepare_v2(db, "SELECT configpath, name, slug FROM games", -1, &query, nullptr);
    }
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(query);
        if (rc != SQLITE_ROW) {
            break;
        }
        const auto text = [&](int column) {
            const unsigned char* value = sqlite3_column_text(query, column);
            return value != nullptr ? std::string(reinterpret_cast<const char*>(value))
                                    : std::string();
        };
        games[text(0)] = {text(1), text(2)};
    }
    if (rc != SQLITE_DONE) {
        error = CannotRead(database, db != nullptr ? sqlite3_errmsg(db) : "out of memory");
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
    return games;
}

// "starcraft-1716565447" -> "starcraft".
std::string SlugOf(const std::string& configName) {
    const std::size_t dash = configName.rfind('-');
    if (dash == std::string::npos || dash + 1 == configName.size() ||
        configName.find_first_not_of("0123456789", dash + 1) != std::string::npos) {
        return configName;
    }
    return configName.substr(0, dash);
}

void ReadGames(const Home& home, const fs::path& config, const fs::path& data, bool flatpak,
               NamedList& out) {
    std::string databaseError;
    const auto listed = ListedGames(data / "lutris" / "pga.db", databaseError);
    if (!databaseError.empty()) {
        out.push_back({{"lutris", flatpak, "pga.db", "", data / "lutris" / "pga.db"},
                       {},
                       databaseError + " (games are named after their files)"});
    }
    for (const fs::path& games : {config / "lutris" / "games", data / "lutris" / "games"}) {
        for (const fs::path& file : FilesEndingIn(games, ".yml")) {
            const std::string configName = file.stem().string();
            const auto known = listed.find(configName);
            Named named{{"lutris", flatpak, SlugOf(configName), "", file}, {}, ""};
            if (known != listed.end()) {
                named.naming.name = known->second.name;
                named.naming.id = known->second.slug.empty() ? named.naming.id : known->second.slug;
            }
            const auto document = ReadYaml(file, named.note);
            if (!document) {
                out.push_back(std::move(named));
                continue;
            }
            // Only a game run by Wine has a prefix; the runner names a section of its own.
            const bool wine = YamlMapping(*document, "wine").has_value();
            const auto game = YamlMapping(*document, "game");
            const std::string prefix = game ? YamlScalar(*game, "prefix") : std::string();
            if (named.naming.name.empty()) {
                named.naming.name = YamlScalar(*document, "name");
            }
            if (!prefix.empty()) {
                named.folder = ExpandPath(prefix, home.home, games);
            } else if (wine) {
                named.note = file.string() + " names no prefix (no \"prefix:\" under \"game:\")";
            } else {
                continue;
            }
            out.push_back(std::move(named));
        }
    }
}

}  // namespace

void FindLutris(const Home& home, NamedList& out) {
    ReadGames(home, home.config, home.data, false, out);
    const fs::path flatpak = home.home / ".var" / "app" / "net.lutris.Lutris";
    ReadGames(home, flatpak / "config", flatpak / "data", true, out);
}

}  // namespace wine::prefixes
