#pragma once
// A folder some launcher names as a Wine prefix, as the finder lists it: who names it, whether
// it is a prefix (and if not, why), and what the head of its registry says.

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wine/WineServer.h"

namespace wine::prefixes {

// "Steam" for "steam"; a launcher not known is shown as given.
std::string LauncherTitle(std::string_view launcher);

// One launcher's name for a folder.
struct Naming {
    // "steam", "lutris", "bottles", "heroic", "playonlinux", "crossover" or "wine" (for
    // $WINEPREFIX and ~/.wine): what `--machine LAUNCHER:ID` starts with.
    std::string launcher;
    bool flatpak = false;
    // What the launcher knows it by: Steam's app id, the Lutris game's slug, the bottle's
    // folder, Heroic's app name, the folder's name; matched by `--machine LAUNCHER:ID`.
    std::string id;
    // The game's or bottle's name as the launcher shows it; empty when its files hold none.
    std::string name;
    // The launcher's file (or folder) that names it.
    std::filesystem::path source;

    // "steam:220".
    std::string machineName() const { return launcher + ":" + id; }
    // "Steam (Flatpak)".
    std::string launcherTitle() const;
    // The name, else the id.
    const std::string& shownName() const { return name.empty() ? id : name; }
};

// What the files of a prefix say, read without walking the prefix.
struct PrefixFacts {
    // 32 or 64 (system.reg's "#arch=" line; a file without one is 32-bit, as Wine takes it);
    // 0 when the line names neither.
    int bits = 0;
    // "Windows 10 (10.0.19043)", "Windows 7 (win7)": the version Wine reports in the prefix.
    std::string windows;
    // Whether a wineserver (Wine's or Proton's) holds the prefix now.
    ServerCheck server;
    // When a program last changed its registry (the newest of the three files).
    std::time_t changed = 0;
};

struct FoundPrefix {
    // The first names the row; the others name the same folder too.
    std::vector<Naming> namings;
    // The real path; empty when a launcher's file could be read too little to name one.
    std::filesystem::path folder;
    // Why this is no prefix (or no folder is named); empty for a prefix.
    std::string problem;
    // What else the launchers' files say of it ("appmanifest_220.acf cannot be read: ...").
    std::vector<std::string> notes;
    // Set for a prefix.
    PrefixFacts facts;

    bool isPrefix() const { return problem.empty(); }
    const Naming& naming() const { return namings.front(); }
};

}  // namespace wine::prefixes
