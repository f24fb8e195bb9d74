#include "tools/CheckAll.h"

#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/wine/WineServer.h"
#include "platform/wine/prefixes/PrefixFinder.h"
#include "tools/CheckRun.h"
#include "tools/PrefixReport.h"
#include "tools/TerminalProgress.h"
#include "tools/TextTable.h"
#include "tools/check/CheckReport.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

using ordered_json = nlohmann::ordered_json;
using wine::prefixes::FoundPrefix;

enum class Status { Checked, InUse, Failed };

struct Checked {
    const FoundPrefix* row = nullptr;
    Status status = Status::Checked;
    std::string error;
    std::optional<velto_check::Result> result;
};

Checked CheckOne(const FoundPrefix& row, velto_check::Options options, TerminalProgress& progress) {
    Checked checked;
    checked.row = &row;
    if (row.facts.server.state == wine::ServerState::Running) {
        checked.status = Status::InUse;
        checked.error = wine::WineRunningMessage(row.folder);
        return checked;
    }
    try {
        OpenToRead(row.folder);
    } catch (const UsageError& e) {
        checked.status = Status::Failed;
        checked.error = e.what();
        return checked;
    }
    const std::string title = PrefixTitle(row);
    if (progress.shown()) {
        options.progress = [&](const std::string& item) { progress.Show(title + ": " + item); };
    }
    CheckOutcome outcome = RunCheckOnCurrentMachine(options);
    progress.Clear();
    if (!outcome.result) {
        checked.status = Status::Failed;
        checked.error = outcome.error;
    }
    checked.result = std::move(outcome.result);
    return checked;
}

void WriteOneText(const Checked& checked, std::ostream& out) {
    out << "== " << PrefixTitle(*checked.row) << "\n";
    switch (checked.status) {
        case Status::Checked:
            velto_check::WriteText(*checked.result, checked.row->folder, out);
            break;
        case Status::InUse:
            out << "Skipped " << checked.row->folder.string() << ": " << checked.error << "\n";
            break;
        case Status::Failed:
            out << "Not checked " << checked.row->folder.string() << ": " << checked.error << "\n";
            break;
    }
    out << "\n" << std::flush;
}

ordered_json OneJson(const Checked& checked) {
    static constexpr const char* kStatus[] = {"checked", "in-use", "failed"};
    ordered_json check = nullptr;
    if (checked.result) {
        std::ostringstream document;
        velto_check::WriteJson(*checked.result, checked.row->folder, document);
        check = ordered_json::parse(document.str());
    }
    const auto& naming = checked.row->naming();
    return {{"machine", naming.machineName()},
            {"name", naming.name.empty() ? ordered_json(nullptr) : ordered_json(naming.name)},
            {"folder", checked.row->folder.string()},
            {"status", kStatus[static_cast<int>(checked.status)]},
            {"error", checked.error.empty() ? ordered_json(nullptr) : ordered_json(checked.error)},
            {"check", std::move(check)}};
}

}  // namespace

int CheckAllPrefixes(const velto_check::Options& options, bool json) {
    TerminalProgress progress;
    const auto rows = wine::prefixes::FindPrefixes(
        wine::prefixes::Home::FromEnvironment(),
        [&progress](const std::string& folder) { progress.Show(folder); });
    progress.Clear();
    std::vector<Checked> all;
    std::size_t none = 0;
    for (const FoundPrefix& row : rows) {
        if (!row.isPrefix()) {
            ++none;
            continue;
        }
        all.push_back(CheckOne(row, options, progress));
        if (!json) {
            WriteOneText(all.back(), std::cout);
        }
    }
    std::size_t flagged = 0, repaired = 0, inUse = 0, failed = 0;
    std::vector<std::vector<std::string>> table = {
        {"PREFIX", "LISTED", "FLAGGED", "REPAIRED BY -S", "FOLDER"}};
    for (const Checked& checked : all) {
        const std::string title = PrefixTitle(*checked.row);
        const std::string folder = checked.row->folder.string();
        if (checked.status != Status::Checked) {
            ++(checked.status == Status::InUse ? inUse : failed);
            table.push_back(
                {title, "-", "-", checked.status == Status::InUse ? "in use" : "failed", folder});
            continue;
        }
        const velto_check::Result& result = *checked.result;
        flagged += result.groups.size();
        repaired += RepairedGroups(result);
        table.push_back({title, std::to_string(result.listed), std::to_string(result.groups.size()),
                         std::to_string(RepairedGroups(result)), folder});
    }
    const std::size_t done = all.size() - inUse - failed;
    if (json) {
        ordered_json prefixes = ordered_json::array();
        for (const Checked& checked : all) {
            prefixes.push_back(OneJson(checked));
        }
        const ordered_json document = {{"schema", "velto-check-all"},
                                       {"schemaVersion", 1},
                                       {"prefixes", std::move(prefixes)},
                                       {"checked", done},
                                       {"inUse", inUse},
                                       {"failed", failed},
                                       {"flagged", flagged},
                                       {"repaired", repaired}};
        std::cout << document.dump(2, ' ', false, ordered_json::error_handler_t::replace) << "\n";
    } else {
        std::cout << "Checked " << done << " of " << all.size() << " Wine prefixes: " << flagged
                  << " groups flagged, " << repaired << " of them repaired by `vlt -S`";
        if (inUse + failed > 0) {
            std::cout << "; " << inUse << " in use, " << failed << " could not be checked";
        }
        std::cout << ".";
        if (none > 0) {
            std::cout << " " << none
                      << (none == 1 ? " folder a launcher names is no prefix"
                                    : " folders the launchers name are no prefixes")
                      << " (`velto-machine prefixes` says why).";
        }
        std::cout << "\n\n";
        if (!all.empty()) {
            WriteTable(table, std::cout);
        }
    }
    if (!std::cout.flush()) {
        std::cerr << "velto-machine check: cannot write the output\n";
        return kUsage;
    }
    return inUse + failed > 0 ? kUsage : flagged > 0 ? 1 : kOk;
}

}  // namespace velto_machine
