// Steam's Proton prefixes: <library>/steamapps/compatdata/<appid>/pfx in every library folder.
//
//   <root>/steamapps/libraryfolders.vdf   (else <root>/config/libraryfolders.vdf) names the
//                                          libraries: "libraryfolders" { "0" { "path" "..." } }
//                                          or, before mid-2021, "LibraryFolders" { "1" "..." }
//   <library>/steamapps/appmanifest_<appid>.acf   "AppState" { "name" "..." }: the game's name
//
// The roots are the native ones (~/.local/share/Steam, and ~/.steam's links to the one that
// ran last) and the Flatpak's; one reached twice (through a link) is read once. A game's
// prefix may sit in another library than the game, so a name is looked for in every library.

#include <set>

#include "platform/wine/prefixes/KeyValues.h"
#include "platform/wine/prefixes/LauncherFiles.h"
#include "platform/wine/prefixes/Launchers.h"

namespace wine::prefixes {
namespace {
namespace fs = std::filesystem;

struct Root {
    fs::path folder;
    bool flatpak = false;
};

// Installs copied from Windows may spell the folder SteamApps.
std::optional<fs::path> SteamApps(const fs::path& library) {
    for (const char* name : {"steamapps", "SteamApps"}) {
        if (IsFolder(library / name)) {
            return library / name;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<KeyValue>> ReadKeyValues(const fs::path& file, std::string& error) {
    const auto text = ReadLauncherFile(file, error);
    if (!text) {
        return std::nullopt;
    }
    try {
        return ParseKeyValues(*text);
    } catch (const KeyValuesError& e) {
        error = CannotRead(file, e.what());
        return std::nullopt;
    }
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The root and the libraries its list names. A list that cannot be read is said, and the
// root's own library is still searched.
std::vector<fs::path> Libraries(const Root& root, const fs::path& steamApps, NamedList& out) {
    std::vector<fs::path> libraries = {root.folder};
    fs::path list = steamApps / "libraryfolders.vdf";
    if (!IsFile(list)) {
        list = root.folder / "config" / "libraryfolders.vdf";
        if (!IsFile(list)) {
            return libraries;
        }
    }
    std::string error;
    const auto sections = ReadKeyValues(list, error);
    if (!sections) {
        out.push_back({{"steam", root.flatpak, "libraryfolders", "", list}, {}, error});
        return libraries;
    }
    for (const KeyValue& entry : sections->front().children) {
        // Beside the numbered libraries the list keeps numbers of its own ("contentstatsid").
        if (!AllDigits(entry.key)) {
            continue;
        }
        const std::string path = entry.section ? entry.Text("path") : entry.value;
        if (!path.empty()) {
            libraries.push_back(ExpandPath(path, root.folder, root.folder));
        }
    }
    return libraries;
}

// The game's name from its manifest in any library; empty when none says, with a note when a
// manifest cannot be read.
std::string GameName(const std::string& appId, const std::vector<fs::path>& steamAppsFolders,
                     std::string& note) {
    for (const fs::path& steamApps : steamAppsFolders) {
        const fs::path manifest = steamApps / ("appmanifest_" + appId + ".acf");
        if (!IsFile(manifest)) {
            continue;
        }
        std::string error;
        const auto sections = ReadKeyValues(manifest, error);
        if (!sections) {
            note = error;
            continue;
        }
        const KeyValue& state = sections->front();
        std::string name = state.Text("name");
        // Very old manifests keep the title only among the user's settings.
        if (const KeyValue* user = state.Find("UserConfig"); name.empty() && user != nullptr) {
            name = user->Text("name");
        }
        if (!name.empty()) {
            note.clear();
            return name;
        }
    }
    return {};
}

std::string RealPath(const fs::path& folder) {
    std::error_code ec;
    const fs::path real = fs::canonical(folder, ec);
    return ec ? std::string() : real.string();
}

}  // namespace

void FindSteam(const Home& home, NamedList& out) {
    const fs::path flatpak = home.home / ".var" / "app" / "com.valvesoftware.Steam";
    const Root candidates[] = {
        {home.home / ".local" / "share" / "Steam", false},
        {home.home / ".steam" / "steam", false},
        {home.home / ".steam" / "root", false},
        {home.home / ".steam" / "debian-installation", false},
        {flatpak / ".local" / "share" / "Steam", true},
        // Older Flatpak installs; the Flatpak moves it and links the old name to the new.
        {flatpak / "data" / "Steam", true},
        {flatpak / ".steam" / "steam", true},
        {flatpak / ".steam" / "root", true},
    };
    std::set<std::string> rootsSeen;
    std::set<std::string> librariesSeen;
    for (const Root& root : candidates) {
        const auto steamApps = SteamApps(root.folder);
        if (!steamApps || !rootsSeen.insert(RealPath(root.folder)).second) {
            continue;
        }
        std::vector<fs::path> steamAppsFolders;
        for (const fs::path& library : Libraries(root, *steamApps, out)) {
            const auto apps = SteamApps(library);
            if (apps && librariesSeen.insert(RealPath(library)).second) {
                steamAppsFolders.push_back(*apps);
            }
        }
        for (const fs::path& steamAppsFolder : steamAppsFolders) {
            for (const fs::path& game : SubFolders(steamAppsFolder / "compatdata")) {
                const std::string appId = game.filename().string();
                Named named{{"steam", root.flatpak, appId, "", game}, game / "pfx", ""};
                named.naming.name = GameName(appId, steamAppsFolders, named.note);
                out.push_back(std::move(named));
            }
        }
    }
}

}  // namespace wine::prefixes
