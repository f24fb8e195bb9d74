// The launchers whose prefixes are simply the folders of one folder, and Wine's own:
//   PlayOnLinux   ~/.PlayOnLinux/wineprefix/<name>   (each folder a prefix)
//   CrossOver     ~/.cxoffice/<bottle>               (a bottle has cxbottle.conf; the folder
//                                                     also keeps other things)
//   Wine          $WINEPREFIX, and ~/.wine when it is there

#include "platform/wine/prefixes/LauncherFiles.h"
#include "platform/wine/prefixes/Launchers.h"

namespace wine::prefixes {
namespace fs = std::filesystem;

void FindPlayOnLinux(const Home& home, NamedList& out) {
    for (const fs::path& folder : SubFolders(home.home / ".PlayOnLinux" / "wineprefix")) {
        const std::string name = folder.filename().string();
        out.push_back({{"playonlinux", false, name, "", folder}, folder, ""});
    }
}

void FindCrossOver(const Home& home, NamedList& out) {
    for (const fs::path& folder : SubFolders(home.home / ".cxoffice")) {
        if (IsFile(folder / "cxbottle.conf") || IsFile(folder / "system.reg")) {
            const std::string name = folder.filename().string();
            out.push_back({{"crossover", false, name, "", folder / "cxbottle.conf"}, folder, ""});
        }
    }
}

void FindPlainWine(const Home& home, NamedList& out) {
    if (home.winePrefix) {
        out.push_back(
            {{"wine", false, "WINEPREFIX", "$WINEPREFIX", "$WINEPREFIX"}, *home.winePrefix, ""});
    }
    const fs::path own = home.home / ".wine";
    if (IsFolder(own)) {
        out.push_back({{"wine", false, "default", "~/.wine", own}, own, ""});
    }
}

}  // namespace wine::prefixes
