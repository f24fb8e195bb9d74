// Bottles: every folder of <base>/bottles is a bottle, and a bottle is a plain prefix. The base
// is $XDG_DATA_HOME/bottles, or the Flatpak's ~/.var/app/com.usebottles.bottles/data/bottles.
//
//   <base>/data.yml                     custom_bottles_path: a folder that holds the bottles
//                                       instead (Bottles falls back to <base>/bottles when it
//                                       is gone; both are searched here)
//   <bottles>/<folder>/bottle.yml       Name: the bottle's name (Path, Arch, Runner, ...)
//   <bottles>/<folder>/placeholder.yml  Path: where a bottle made elsewhere lives; its
//                                       bottle.yml is there

#include "platform/wine/prefixes/LauncherFiles.h"
#include "platform/wine/prefixes/Launchers.h"

namespace wine::prefixes {
namespace {
namespace fs = std::filesystem;

void ReadBottle(const Home& home, const fs::path& entry, bool flatpak, NamedList& out) {
    const std::string folderName = entry.filename().string();
    Named named{{"bottles", flatpak, folderName, "", entry / "bottle.yml"}, entry, ""};
    const fs::path placeholder = entry / "placeholder.yml";
    if (IsFile(placeholder)) {
        named.naming.source = placeholder;
        const auto document = ReadYaml(placeholder, named.note);
        if (!document) {
            named.folder.clear();
            out.push_back(std::move(named));
            return;
        }
        const std::string path = YamlScalar(*document, "Path");
        if (path.empty()) {
            named.folder.clear();
            named.note = placeholder.string() + " names no bottle (no \"Path:\")";
            out.push_back(std::move(named));
            return;
        }
        named.folder = ExpandPath(path, home.home, entry);
        named.naming.source = named.folder / "bottle.yml";
    }
    const fs::path config = named.naming.source;
    if (!IsFile(config)) {
        named.note = "no " + config.string() + ": Bottles does not list this folder";
    } else if (const auto document = ReadYaml(config, named.note)) {
        named.naming.name = YamlScalar(*document, "Name");
    }
    out.push_back(std::move(named));
}

void ReadBase(const Home& home, const fs::path& base, bool flatpak, NamedList& out) {
    std::vector<fs::path> folders = {base / "bottles"};
    const fs::path data = base / "data.yml";
    if (IsFile(data)) {
        std::string error;
        if (const auto document = ReadYaml(data, error)) {
            const std::string custom = YamlScalar(*document, "custom_bottles_path");
            if (!custom.empty()) {
                folders.push_back(ExpandPath(custom, home.home, base));
                if (!IsFolder(folders.back())) {
                    out.push_back({{"bottles", flatpak, "custom_bottles_path", "", data},
                                   {},
                                   data.string() + ": custom_bottles_path " +
                                       folders.back().string() + " is no folder"});
                }
            }
        } else {
            out.push_back({{"bottles", flatpak, "data.yml", "", data}, {}, error});
        }
    }
    for (const fs::path& folder : folders) {
        for (const fs::path& entry : SubFolders(folder)) {
            ReadBottle(home, entry, flatpak, out);
        }
    }
}

}  // namespace

void FindBottles(const Home& home, NamedList& out) {
    ReadBase(home, home.data / "bottles", false, out);
    ReadBase(home, home.home / ".var" / "app" / "com.usebottles.bottles" / "data" / "bottles", true,
             out);
}

}  // namespace wine::prefixes
