// Heroic: ~/.config/heroic, or the Flatpak's ~/.var/app/com.heroicgameslauncher.hgl/config/heroic.
//
//   GamesConfig/<app name>.json   { "<app name>": { "winePrefix": "~/Games/Heroic/Prefixes/X",
//                                                   "wineVersion": { "type": "proton", ... } },
//                                   "version": "v0" }
//   config.json                   { "defaultSettings": { "winePrefix": ..., "defaultWinePrefix":
//   ... } }
//
// A game without winePrefix uses the default settings' one, then defaultWinePrefix. "~" is the
// user's home, in the Flatpak too. A Proton game's folder is Proton's compatibility folder:
// the prefix is its pfx/ (some installs have the prefix in the folder itself). The default
// prefix folder (~/Games/Heroic/Prefixes/default) is listed when it is there. Games' titles
// are in the stores' caches beside them; a game no cache names is shown by its app name.

#include <map>
#include <nlohmann/json.hpp>

#include "platform/wine/prefixes/LauncherFiles.h"
#include "platform/wine/prefixes/Launchers.h"

namespace wine::prefixes {
namespace {
namespace fs = std::filesystem;
using nlohmann::json;

std::string Text(const json& object, const char* key) {
    if (!object.is_object()) {
        return {};
    }
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The titles the stores' caches give the app names. The caches only lend names: one that
// cannot be read leaves its games shown by their app names, which says enough.
std::map<std::string, std::string> Titles(const fs::path& heroic) {
    std::map<std::string, std::string> titles;
    const auto add = [&](const json& games) {
        if (!games.is_array()) {
            return;
        }
        for (const json& game : games) {
            const std::string app = Text(game, "app_name");
            const std::string title = Text(game, "title");
            if (!app.empty() && !title.empty()) {
                titles.emplace(app, title);
            }
        }
    };
    std::string ignored;
    for (const char* cache : {"store_cache/gog_library.json", "store_cache/legendary_library.json",
                              "store_cache/nile_library.json", "sideload_apps/library.json"}) {
        if (const auto document = ReadJson(heroic / cache, ignored); document) {
            for (const char* list : {"games", "library"}) {
                if (document->is_object() && document->contains(list)) {
                    add((*document)[list]);
                }
            }
        }
    }
    if (const auto installed =
            ReadJson(heroic / "legendaryConfig/legendary/installed.json", ignored);
        installed && installed->is_object()) {
        for (const auto& [app, game] : installed->items()) {
            if (const std::string title = Text(game, "title"); !title.empty()) {
                titles.emplace(app, title);
            }
        }
    }
    return titles;
}

// Proton keeps the prefix in pfx/ of the folder Heroic names; some installs have it in the
// folder itself. A folder of no known type (the default one) is taken as it is made.
fs::path PrefixOf(const fs::path& folder, const std::string& type) {
    if (IsFile(folder / "system.reg")) {
        return folder;
    }
    return type == "proton" || IsFile(folder / "pfx" / "system.reg") ? folder / "pfx" : folder;
}

void ReadHeroic(const Home& home, const fs::path& heroic, bool flatpak, NamedList& out) {
    if (!IsFolder(heroic)) {
        return;
    }
    std::string winePrefix;
    std::string defaultPrefix = "~/Games/Heroic/Prefixes/default";
    const fs::path config = heroic / "config.json";
    if (IsFile(config)) {
        std::string error;
        if (const auto document = ReadJson(config, error)) {
            const json& defaults =
                document->is_object() ? document->value("defaultSettings", json()) : json();
            winePrefix = Text(defaults, "winePrefix");
            if (const std::string named = Text(defaults, "defaultWinePrefix"); !named.empty()) {
                defaultPrefix = named;
            }
        } else {
            out.push_back({{"heroic", flatpak, "config", "", config}, {}, error});
        }
    }
    const auto titles = Titles(heroic);
    for (const fs::path& file : FilesEndingIn(heroic / "GamesConfig", ".json")) {
        const std::string app = file.stem().string();
        Named named{{"heroic", flatpak, app, "", file}, {}, ""};
        if (const auto title = titles.find(app); title != titles.end()) {
            named.naming.name = title->second;
        }
        const auto document = ReadJson(file, named.note);
        if (!document) {
            out.push_back(std::move(named));
            continue;
        }
        const json& game = document->is_object() ? document->value(app, json()) : json();
        std::string prefix = Text(game, "winePrefix");
        prefix = !prefix.empty() ? prefix : !winePrefix.empty() ? winePrefix : defaultPrefix;
        const std::string type =
            game.is_object() ? Text(game.value("wineVersion", json()), "type") : std::string();
        named.folder = PrefixOf(ExpandPath(prefix, home.home, heroic), type);
        out.push_back(std::move(named));
    }
    const fs::path shared = PrefixOf(ExpandPath(defaultPrefix, home.home, heroic), "");
    if (IsFolder(shared)) {
        out.push_back(
            {{"heroic", flatpak, "default", "Heroic's default prefix", config}, shared, ""});
    }
}

}  // namespace

void FindHeroic(const Home& home, NamedList& out) {
    ReadHeroic(home, home.config / "heroic", false, out);
    ReadHeroic(home,
               home.home / ".var" / "app" / "com.heroicgameslauncher.hgl" / "config" / "heroic",
               true, out);
}

}  // namespace wine::prefixes
