#include "tools/PrefixReport.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "tools/TextTable.h"

namespace velto_machine {
namespace {

using ordered_json = nlohmann::ordered_json;
using wine::prefixes::FoundPrefix;
using wine::prefixes::Naming;

std::string TimeText(std::time_t time, bool utc) {
    if (time == 0) {
        return {};
    }
    std::tm parts{};
    if (utc ? ::gmtime_r(&time, &parts) == nullptr : ::localtime_r(&time, &parts) == nullptr) {
        return {};
    }
    char text[32];
    std::strftime(text, sizeof text, utc ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%d %H:%M", &parts);
    return text;
}

std::string InUse(const wine::ServerCheck& server) {
    switch (server.state) {
        case wine::ServerState::Running:
            return "yes";
        case wine::ServerState::NotRunning:
            return "no";
        case wine::ServerState::Unknown:
            break;
    }
    return "unknown";
}

ordered_json OrNull(const std::string& text) {
    return text.empty() ? ordered_json(nullptr) : ordered_json(text);
}

ordered_json NamingJson(const Naming& naming) {
    return {{"machine", naming.machineName()},
            {"launcher", naming.launcher},
            {"name", OrNull(naming.name)},
            {"source", naming.source.string()}};
}

}  // namespace

std::string PrefixTitle(const FoundPrefix& row) {
    const Naming& naming = row.naming();
    return naming.machineName() + (naming.name.empty() ? "" : " (" + naming.name + ")");
}

void WritePrefixesText(const std::vector<FoundPrefix>& rows, std::ostream& out) {
    std::vector<std::vector<std::string>> table = {
        {"MACHINE", "NAME", "LAUNCHER", "BITS", "WINDOWS", "IN USE", "CHANGED", "FOLDER"}};
    std::vector<std::string> others;
    std::vector<std::string> notes;
    std::string example;
    for (const FoundPrefix& row : rows) {
        const Naming& naming = row.naming();
        if (!row.isPrefix()) {
            // A row without a folder has a reason that names the launcher's file.
            others.push_back("  " + naming.machineName() + "  " +
                             (row.folder.empty() ? "" : row.folder.string() + ": ") + row.problem);
            continue;
        }
        example = example.empty() ? naming.machineName() : example;
        table.push_back({naming.machineName(), naming.shownName(), naming.launcherTitle(),
                         row.facts.bits == 0 ? "?" : std::to_string(row.facts.bits),
                         row.facts.windows.empty() ? "?" : row.facts.windows,
                         InUse(row.facts.server), TimeText(row.facts.changed, false),
                         row.folder.string()});
        for (std::size_t i = 1; i < row.namings.size(); ++i) {
            notes.push_back("  " + naming.machineName() + " is also " +
                            row.namings[i].machineName() +
                            (row.namings[i].name.empty() ? "" : " (" + row.namings[i].name + ")"));
        }
        for (const std::string& note : row.notes) {
            notes.push_back("  " + naming.machineName() + ": " + note);
        }
    }
    const std::size_t found = table.size() - 1;
    out << "Found " << found << (found == 1 ? " Wine prefix" : " Wine prefixes");
    if (!others.empty()) {
        out << ", and " << others.size()
            << (others.size() == 1 ? " folder that is none" : " folders that are none");
    }
    out << ".\n";
    if (found > 0) {
        out << "\n";
        WriteTable(table, out);
    }
    if (!others.empty()) {
        out << "\nNamed by a launcher, but no prefix:\n";
        for (const std::string& line : others) {
            out << line << "\n";
        }
    }
    if (!notes.empty()) {
        out << "\nNotes:\n";
        for (const std::string& line : notes) {
            out << line << "\n";
        }
    }
    if (found > 0) {
        out << "\nCheck one with `velto-machine check " << example
            << "` (or `vlt --machine NAME`), all with `velto-machine check --all`.\n";
    }
}

void WritePrefixesJson(const std::vector<FoundPrefix>& rows, std::ostream& out) {
    ordered_json prefixes = ordered_json::array();
    for (const FoundPrefix& row : rows) {
        const Naming& naming = row.naming();
        ordered_json also = ordered_json::array();
        for (std::size_t i = 1; i < row.namings.size(); ++i) {
            also.push_back(NamingJson(row.namings[i]));
        }
        const bool known = row.isPrefix();
        ordered_json entry = ordered_json::object();
        entry["machine"] = naming.machineName();
        entry["launcher"] = naming.launcher;
        entry["launcherName"] = wine::prefixes::LauncherTitle(naming.launcher);
        entry["flatpak"] = naming.flatpak;
        entry["id"] = naming.id;
        entry["name"] = OrNull(naming.name);
        entry["folder"] = OrNull(row.folder.string());
        entry["source"] = naming.source.string();
        entry["prefix"] = known;
        entry["reason"] = OrNull(row.problem);
        entry["bits"] = known && row.facts.bits != 0 ? ordered_json(row.facts.bits) : nullptr;
        entry["windows"] = known ? OrNull(row.facts.windows) : nullptr;
        entry["inUse"] = !known || row.facts.server.state == wine::ServerState::Unknown
                             ? ordered_json(nullptr)
                             : ordered_json(row.facts.server.state == wine::ServerState::Running);
        entry["changed"] = known ? OrNull(TimeText(row.facts.changed, true)) : nullptr;
        entry["alsoNamed"] = std::move(also);
        entry["notes"] = row.notes;
        prefixes.push_back(std::move(entry));
    }
    ordered_json document = {
        {"schema", "velto-prefixes"}, {"schemaVersion", 1}, {"prefixes", std::move(prefixes)}};
    // Names that are not UTF-8 come out with replacement characters rather than no document.
    out << document.dump(2, ' ', false, ordered_json::error_handler_t::replace) << "\n";
}

}  // namespace velto_machine
