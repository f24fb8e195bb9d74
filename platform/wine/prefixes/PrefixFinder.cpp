#include "platform/wine/prefixes/PrefixFinder.h"

#include <map>

#include "platform/wine/prefixes/PrefixFacts.h"

namespace wine::prefixes {
namespace {
namespace fs = std::filesystem;

// The folder a path leads to: links followed as far as the path exists.
fs::path RealFolder(const fs::path& folder) {
    std::error_code ec;
    fs::path real = fs::weakly_canonical(folder, ec);
    return ec ? fs::absolute(folder, ec).lexically_normal() : real;
}

bool SameNaming(const Naming& a, const Naming& b) {
    return a.launcher == b.launcher && a.flatpak == b.flatpak && a.id == b.id &&
           a.source == b.source;
}

}  // namespace

const std::vector<Launcher>& AllLaunchers() {
    static const std::vector<Launcher> launchers = {
        {"steam", &FindSteam},    {"lutris", &FindLutris},           {"bottles", &FindBottles},
        {"heroic", &FindHeroic},  {"playonlinux", &FindPlayOnLinux}, {"crossover", &FindCrossOver},
        {"wine", &FindPlainWine},
    };
    return launchers;
}

std::vector<FoundPrefix> FindPrefixes(const Home& home,
                                      const std::function<void(const std::string&)>& progress) {
    NamedList named;
    for (const Launcher& launcher : AllLaunchers()) {
        launcher.find(home, named);
    }
    std::vector<FoundPrefix> rows;
    std::map<fs::path, std::size_t> byFolder;
    for (Named& entry : named) {
        if (entry.folder.empty()) {
            FoundPrefix row;
            row.namings.push_back(std::move(entry.naming));
            row.problem = std::move(entry.note);
            rows.push_back(std::move(row));
            continue;
        }
        const fs::path folder = RealFolder(entry.folder);
        const auto [it, added] = byFolder.emplace(folder, rows.size());
        if (added) {
            rows.emplace_back().folder = folder;
        }
        FoundPrefix& row = rows[it->second];
        bool known = false;
        for (const Naming& naming : row.namings) {
            known = known || SameNaming(naming, entry.naming);
        }
        if (known) {
            continue;
        }
        row.namings.push_back(std::move(entry.naming));
        if (!entry.note.empty()) {
            row.notes.push_back(std::move(entry.note));
        }
    }
    const ServerProcesses servers = ServerProcesses::Scan();
    for (FoundPrefix& row : rows) {
        if (row.folder.empty()) {
            continue;
        }
        if (progress) {
            progress(row.folder.string());
        }
        row.problem = ReadPrefixFacts(row.folder, servers, row.facts);
    }
    return rows;
}

}  // namespace wine::prefixes
