#include "tools/check/CheckReport.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>

#include "platform/automation/Conversion.h"
#include "tools/check/CheckReportFacts.h"

namespace velto_check {
namespace {

using modVLTWork::FileProps;
using ordered_json = nlohmann::ordered_json;

// The size text of the matching ("24576", "-1") as a number.
std::int64_t SizeOf(const FileProps& props) {
    return static_cast<std::int64_t>(automation::Val(props[modVLTWork::kSize]));
}

std::string SizeText(const FileProps& props) {
    const std::int64_t size = SizeOf(props);
    return size < 0 ? "size unknown" : std::to_string(size) + " bytes";
}

std::string Or(const std::string& text, const char* missing) {
    return text.empty() ? missing : text;
}

ordered_json ActionJson(const Action& action) {
    ordered_json json = ordered_json::object();
    if (action.kind == Action::Kind::Copy) {
        json["action"] = "copy";
        json["source"] = action.source;
        json["target"] = action.target;
    } else {
        json["action"] = "delete";
        json["path"] = action.source;
    }
    json["backup"] = action.backup;
    AddHostPaths(action, json);
    json["waiting"] = action.waiting;
    if (action.kind == Action::Kind::Delete) {
        json["useGoesTo"] =
            action.useGoesTo.empty() ? ordered_json(nullptr) : ordered_json(action.useGoesTo);
    }
    return json;
}

ordered_json PlatformJson(const FileProps& props) {
    if (props[modVLTWork::kPlatformOwner].empty()) {
        return nullptr;
    }
    return {{"owner", props[modVLTWork::kPlatformOwner]},
            {"what", props[modVLTWork::kPlatformFile]}};
}

ordered_json LoadingJson(const machine::LibraryChoice& choice) {
    ordered_json programs = ordered_json::array();
    for (const machine::LibraryChoice::Program& program : choice.programs) {
        programs.push_back(
            {{"program", program.program}, {"loads", program.loads}, {"why", program.why}});
    }
    return {{"platform", choice.platform},
            {"default", choice.byDefault},
            {"why", choice.why},
            {"programs", std::move(programs)}};
}

}  // namespace

std::string ActionText(const Action& action) {
    const std::string backup = std::string(action.backup ? " (backed up first)" : "") +
                               (action.waiting ? " (waits already for the next start)" : "");
    if (action.kind == Action::Kind::Copy) {
        return "copy " + action.source + " over " + action.target + backup;
    }
    const std::string use =
        action.useGoesTo.empty() ? "" : "; " + action.useGoesTo + " takes over its use";
    return "delete " + action.source + backup + use;
}

void WriteText(const Result& result, const std::filesystem::path& machine, std::ostream& out,
               bool verbose) {
    out << "Checked " << machine.string() << ": " << result.listed << " files listed ("
        << result.filter << "), " << result.groups.size()
        << (result.groups.size() == 1 ? " group" : " groups") << " flagged.\n";
    for (const Group& group : result.groups) {
        out << "\n" << group.name << ": ";
        if (!group.recommended.empty()) {
            out << "keep " << group.recommended << "\n";
        } else {
            out << "no copy is recommended";
            for (const std::string& note : group.notes) {
                out << " (" << note << ")";
            }
            out << "\n";
        }
        for (const Copy& copy : group.copies) {
            const FileProps& p = copy.props;
            out << (copy.recommended ? "  * " : "    ") << copy.path << "\n"
                << "      version " << Or(p[modVLTWork::kFileVersion], "none") << ", product "
                << Or(p[modVLTWork::kProductVersion], "none") << ", "
                << Or(p[modVLTWork::kCompanyName], "no company") << "\n"
                << "      modified " << p[modVLTWork::kModified] << ", created "
                << p[modVLTWork::kCreated] << ", " << SizeText(p) << "\n";
            if (!p[modVLTWork::kPlatformOwner].empty()) {
                out << "      left to " << p[modVLTWork::kPlatformOwner] << ": "
                    << p[modVLTWork::kPlatformFile] << "\n";
            }
            if (verbose) {
                WriteMoreProperties(copy, out);
            }
        }
        if (group.loading) {
            out << "  " << group.loading->platform
                << " loads: " << modVLTWork::LibraryChoiceText(*group.loading) << "\n";
        }
        if (!group.leftAlone.empty()) {
            out << "  vlt -S: " << group.leftAlone << "\n";
        } else if (group.unattended.empty()) {
            out << "  vlt -S schedules nothing for it.\n";
        } else {
            out << "  vlt -S schedules for the machine's next start:\n";
            for (const Action& action : group.unattended) {
                out << "    " << ActionText(action) << "\n";
            }
        }
    }
    if (!result.otherActions.empty()) {
        out << "\nvlt -S also schedules:\n";
        for (const Action& action : result.otherActions) {
            out << "    " << ActionText(action) << "\n";
        }
    }
    WriteWaitingText(result.waiting, out);
}

void WriteJson(const Result& result, const std::filesystem::path& machine, std::ostream& out) {
    ordered_json groups = ordered_json::array();
    for (const Group& group : result.groups) {
        ordered_json copies = ordered_json::array();
        for (const Copy& copy : group.copies) {
            const FileProps& p = copy.props;
            copies.push_back({{"path", copy.path},
                              {"recommended", copy.recommended},
                              {"fileVersion", p[modVLTWork::kFileVersion]},
                              {"productVersion", p[modVLTWork::kProductVersion]},
                              {"company", p[modVLTWork::kCompanyName]},
                              {"product", p[modVLTWork::kProductName]},
                              {"description", p[modVLTWork::kFileDescription]},
                              {"created", p[modVLTWork::kCreated]},
                              {"modified", p[modVLTWork::kModified]},
                              {"size", SizeOf(p)},
                              {"platform", PlatformJson(p)}});
            AddCopyFacts(copy, copies.back());
        }
        ordered_json actions = ordered_json::array();
        for (const Action& action : group.unattended) {
            actions.push_back(ActionJson(action));
        }
        ordered_json entry = ordered_json::object();
        entry["name"] = group.name;
        entry["verdict"] = group.recommended.empty() ? "no-recommendation" : "recommended";
        entry["recommended"] =
            group.recommended.empty() ? ordered_json(nullptr) : ordered_json(group.recommended);
        entry["notes"] = group.notes;
        entry["copies"] = std::move(copies);
        entry["unattended"] = {
            {"actions", std::move(actions)},
            {"leftAlone",
             group.leftAlone.empty() ? ordered_json(nullptr) : ordered_json(group.leftAlone)}};
        entry["loading"] = group.loading ? LoadingJson(*group.loading) : ordered_json(nullptr);
        groups.push_back(std::move(entry));
    }
    ordered_json other = ordered_json::array();
    for (const Action& action : result.otherActions) {
        other.push_back(ActionJson(action));
    }
    ordered_json document = ordered_json::object();
    document["schema"] = "velto-check";
    document["schemaVersion"] = kCheckSchemaVersion;
    document["machine"] = machine.string();
    document["filter"] = result.filter;
    document["listed"] = result.listed;
    document["flagged"] = result.groups.size();
    document["groups"] = std::move(groups);
    document["otherActions"] = std::move(other);
    document["waiting"] = WaitingJson(result.waiting);
    // Names that are not UTF-8 come out with replacement characters rather than no document.
    out << document.dump(2, ' ', false, ordered_json::error_handler_t::replace) << "\n";
}

}  // namespace velto_check
