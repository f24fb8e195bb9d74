#pragma once
// One reader per launcher: each reads only the launcher's own files (never writing them) and
// says which folders they name as prefixes. A file that cannot be read becomes an entry
// without a folder, with the reason; a reader never throws for what a file holds.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/wine/prefixes/FoundPrefix.h"

namespace wine::prefixes {

// The folders of the user the launchers keep their files in.
struct Home {
    std::filesystem::path home;                       // $HOME
    std::filesystem::path config;                     // $XDG_CONFIG_HOME, else ~/.config
    std::filesystem::path data;                       // $XDG_DATA_HOME, else ~/.local/share
    std::optional<std::filesystem::path> winePrefix;  // $WINEPREFIX, when set

    // From the environment (the password database when $HOME is unset).
    static Home FromEnvironment();
    // A home whose own folders sit below `home` (tests and benchmarks).
    static Home At(const std::filesystem::path& home);
};

// A folder a launcher's file names, or the reason it names none.
struct Named {
    Naming naming;
    // Empty when the file could not be read far enough to name a folder.
    std::filesystem::path folder;
    // Why no folder is named; with a folder, what else the file says of it.
    std::string note;
};

using NamedList = std::vector<Named>;

void FindSteam(const Home& home, NamedList& out);
void FindLutris(const Home& home, NamedList& out);
void FindBottles(const Home& home, NamedList& out);
void FindHeroic(const Home& home, NamedList& out);
void FindPlayOnLinux(const Home& home, NamedList& out);
void FindCrossOver(const Home& home, NamedList& out);
// $WINEPREFIX and ~/.wine.
void FindPlainWine(const Home& home, NamedList& out);

struct Launcher {
    const char* name;  // as in Naming::launcher
    void (*find)(const Home&, NamedList&);
};
// In the order a folder named by several is shown by: the launchers that own their prefixes
// first, plain Wine last.
const std::vector<Launcher>& AllLaunchers();

}  // namespace wine::prefixes
