#include "tools/check/Plan.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>

#include "platform/automation/Text.h"
#include "platform/win32/kernel32/Paths.h"
#include "tools/check/CheckReportFacts.h"
#include "tools/check/IsoTime.h"
#include "vlt/core/ActionReport.h"

namespace velto_check {
namespace {

using ordered_json = nlohmann::ordered_json;
using json = nlohmann::json;

bool SamePath(const std::string& a, const std::string& b) {
    return automation::EqualsIgnoreCase(a, b);
}

std::string HostOf(const std::string& windowsPath) {
    const auto host = win32::HostPathOf(windowsPath);
    return host ? host->string() : "";
}

ordered_json OrNull(const std::string& text) {
    return text.empty() ? ordered_json(nullptr) : ordered_json(text);
}

ordered_json NotesJson(const std::vector<vlt::LogEntry>& notes) {
    ordered_json list = ordered_json::array();
    for (const vlt::LogEntry& note : notes) {
        list.push_back({{"path", note[0]}, {"code", std::stoi(note[1])}, {"text", note[2]}});
    }
    return list;
}

ordered_json ActionJson(const PlannedEntry& planned) {
    const vlt::DecidedEntry& decided = planned.decided;
    const vlt::ActionEntry& entry = decided.entry;
    if (entry[0] == "4" || entry[0] == "5") {
        return {{"action", entry[0] == "4" ? "backups-on" : "backups-off"}};
    }
    ordered_json action = ordered_json::object();
    if (entry[0] == "1") {
        action["action"] = "copy";
        action["source"] = entry[1];
        action["sourceHost"] = HostPathJson(entry[1]);
        action["target"] = entry[2];
        action["targetHost"] = HostPathJson(entry[2]);
    } else {
        action["action"] = "delete";
        action["path"] = entry[1];
        action["hostPath"] = HostPathJson(entry[1]);
    }
    action["keeps"] = OrNull(decided.keeps);
    action["backup"] = planned.backup;
    return action;
}

// Reads one document with the place of each value at hand, so that a damaged plan is refused
// with the key that is wrong ("groups[2].actions[0].source").
class Reader {
  public:
    const json& At(const json& object, const std::string& key, const std::string& where,
                   json::value_t type) const {
        const auto it = object.find(key);
        const std::string place = where.empty() ? key : where + "." + key;
        if (it == object.end()) {
            Damaged(place + " is missing");
        }
        const bool fits = it->type() == type || (type == json::value_t::number_integer &&
                                                 it->type() == json::value_t::number_unsigned);
        if (!fits) {
            Damaged(place + " is a " + it->type_name() + ", not a " + json(type).type_name());
        }
        return *it;
    }
    std::string Text(const json& object, const std::string& key, const std::string& where) const {
        return At(object, key, where, json::value_t::string).get<std::string>();
    }
    // A text or null ("").
    std::string TextOrNull(const json& object, const std::string& key,
                           const std::string& where) const {
        const auto it = object.find(key);
        if (it != object.end() && it->is_null()) {
            return "";
        }
        return Text(object, key, where);
    }
    std::int64_t Number(const json& object, const std::string& key,
                        const std::string& where) const {
        return At(object, key, where, json::value_t::number_integer).get<std::int64_t>();
    }
    bool Flag(const json& object, const std::string& key, const std::string& where) const {
        return At(object, key, where, json::value_t::boolean).get<bool>();
    }
    const json& List(const json& object, const std::string& key, const std::string& where) const {
        return At(object, key, where, json::value_t::array);
    }
    const json& Object(const json& value, const std::string& where) const {
        if (!value.is_object()) {
            Damaged(where + " is a " + value.type_name() + ", not an object");
        }
        return value;
    }
    [[noreturn]] void Damaged(const std::string& what) const {
        throw PlanError("the plan is damaged: " + what);
    }
};

std::vector<vlt::LogEntry> ReadNotes(const Reader& r, const json& list, const std::string& where) {
    std::vector<vlt::LogEntry> notes;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string at = where + "[" + std::to_string(i) + "]";
        const json& note = r.Object(list[i], at);
        // A check notes only what it saw or could not do; backups, copies and removals are
        // written into the report by the run that carries them out, never taken from a file.
        const std::int64_t code = r.Number(note, "code", at);
        if (code != modVLTFinalize::kLogNotation && code != modVLTFinalize::kLogBackupError) {
            r.Damaged(at + ".code is " + std::to_string(code) + ", not " +
                      std::to_string(modVLTFinalize::kLogNotation) + " (a note) or " +
                      std::to_string(modVLTFinalize::kLogBackupError) + " (an error)");
        }
        notes.push_back({r.Text(note, "path", at), std::to_string(code), r.Text(note, "text", at)});
    }
    return notes;
}

PlannedFile ReadFile(const Reader& r, const json& value, const std::string& at) {
    const json& file = r.Object(value, at);
    PlannedFile planned;
    planned.path = r.Text(file, "path", at);
    planned.hostPath = r.TextOrNull(file, "hostPath", at);
    planned.print.exists = r.Flag(file, "exists", at);
    if (!planned.print.exists) {
        return planned;
    }
    const std::int64_t size = r.Number(file, "size", at);
    if (size < 0) {
        r.Damaged(at + ".size is negative");
    }
    planned.print.size = static_cast<std::uint64_t>(size);
    const auto modified = ParseIsoTime(r.Text(file, "modified", at));
    if (!modified) {
        r.Damaged(at + ".modified is no ISO 8601 time with an offset");
    }
    planned.print.modified = *modified;
    planned.print.sha256 = r.Text(file, "sha256", at);
    static const std::regex hex("[0-9a-f]{64}");
    if (!std::regex_match(planned.print.sha256, hex)) {
        r.Damaged(at + ".sha256 is not 64 lower-case hex digits");
    }
    return planned;
}

PlannedEntry ReadAction(const Reader& r, const json& value, const std::string& at) {
    const json& action = r.Object(value, at);
    const std::string kind = r.Text(action, "action", at);
    if (kind == "backups-on" || kind == "backups-off") {
        const bool on = kind == "backups-on";
        return {{{on ? "4" : "5", "", ""}, ""}, on};
    }
    vlt::DecidedEntry decided;
    if (kind == "copy") {
        decided.entry = {"1", r.Text(action, "source", at), r.Text(action, "target", at)};
    } else if (kind == "delete") {
        decided.entry = {"2", r.Text(action, "path", at), ""};
    } else {
        r.Damaged(at + ".action is \"" + kind +
                  "\", not one of copy, delete, backups-on, backups-off");
    }
    decided.keeps = r.TextOrNull(action, "keeps", at);
    return {decided, r.Flag(action, "backup", at)};
}

PlannedGroup ReadGroup(const Reader& r, const json& value, const std::string& at) {
    const json& object = r.Object(value, at);
    PlannedGroup group;
    group.name = r.Text(object, "name", at);
    group.recommended = r.TextOrNull(object, "recommended", at);
    group.leftAlone = r.TextOrNull(object, "leftAlone", at);
    const json& files = r.List(object, "files", at);
    for (std::size_t i = 0; i < files.size(); ++i) {
        group.files.push_back(ReadFile(r, files[i], at + ".files[" + std::to_string(i) + "]"));
    }
    group.notes = ReadNotes(r, r.List(object, "notes", at), at + ".notes");
    const json& actions = r.List(object, "actions", at);
    for (std::size_t i = 0; i < actions.size(); ++i) {
        const std::string where = at + ".actions[" + std::to_string(i) + "]";
        group.entries.push_back(ReadAction(r, actions[i], where));
        for (const std::string& path : TouchedFiles(group.entries.back().decided.entry)) {
            const bool known =
                std::any_of(group.files.begin(), group.files.end(),
                            [&](const PlannedFile& file) { return SamePath(file.path, path); });
            if (!known) {
                r.Damaged(where + " touches " + path + ", which " + at +
                          ".files has no fingerprint of");
            }
        }
    }
    return group;
}

}  // namespace

std::vector<std::string> TouchedFiles(const vlt::ActionEntry& entry) {
    if (entry[0] == "1") {
        return {entry[1], entry[2]};
    }
    if (entry[0] == "2") {
        return {entry[1]};
    }
    return {};
}

Plan MakePlan(const Result& result, const std::filesystem::path& machine,
              const std::vector<std::string>& exclude) {
    if (!result.otherActions.empty()) {
        throw CheckError(
            "the unattended run queued entries that belong to no group shown, so no plan can "
            "say which files they go with; no plan was written");
    }
    Plan plan;
    bool backup = false;
    plan.machine = machine.string();
    plan.made = IsoNow();
    plan.filter = result.filter;
    plan.listed = result.listed;
    plan.backup = result.backup;
    plan.exclude = exclude;
    plan.notes = result.otherLog;
    for (const Group& group : result.groups) {
        PlannedGroup& planned = plan.groups.emplace_back();
        planned.name = group.name;
        planned.recommended = group.recommended;
        planned.leftAlone = group.leftAlone;
        planned.notes = group.log;
        for (const vlt::DecidedEntry& decided : group.entries) {
            if (decided.entry[0] == "4" || decided.entry[0] == "5") {
                backup = decided.entry[0] == "4";
            }
            planned.entries.push_back({decided, backup});
            for (const std::string& path : TouchedFiles(decided.entry)) {
                const bool known =
                    std::any_of(planned.files.begin(), planned.files.end(),
                                [&](const PlannedFile& file) { return SamePath(file.path, path); });
                if (known) {
                    continue;
                }
                std::string error;
                const auto print = FingerprintOf(path, error);
                if (!print) {
                    throw CheckError(error + "; no plan was written");
                }
                planned.files.push_back({path, HostOf(path), *print});
            }
        }
    }
    return plan;
}

std::string PlanJson(const Plan& plan) {
    ordered_json groups = ordered_json::array();
    for (const PlannedGroup& group : plan.groups) {
        ordered_json files = ordered_json::array();
        for (const PlannedFile& file : group.files) {
            ordered_json entry = {{"path", file.path},
                                  {"hostPath", OrNull(file.hostPath)},
                                  {"exists", file.print.exists}};
            if (file.print.exists) {
                entry["size"] = file.print.size;
                entry["modified"] = IsoTime(file.print.modified, true);
                entry["sha256"] = file.print.sha256;
            }
            files.push_back(std::move(entry));
        }
        ordered_json actions = ordered_json::array();
        for (const PlannedEntry& planned : group.entries) {
            actions.push_back(ActionJson(planned));
        }
        ordered_json entry = ordered_json::object();
        entry["name"] = group.name;
        entry["recommended"] = OrNull(group.recommended);
        entry["leftAlone"] = OrNull(group.leftAlone);
        entry["files"] = std::move(files);
        entry["notes"] = NotesJson(group.notes);
        entry["actions"] = std::move(actions);
        groups.push_back(std::move(entry));
    }
    ordered_json document = ordered_json::object();
    document["schema"] = kPlanSchema;
    document["schemaVersion"] = kPlanSchemaVersion;
    document["machine"] = plan.machine;
    document["made"] = plan.made;
    document["filter"] = plan.filter;
    document["listed"] = plan.listed;
    document["backup"] = plan.backup;
    document["exclude"] = plan.exclude;
    document["notes"] = NotesJson(plan.notes);
    document["groups"] = std::move(groups);
    return document.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

Plan ReadPlan(const std::string& text) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        throw PlanError("it is no plan: it is not JSON (" + std::string(e.what()) + ")");
    }
    const auto schema = root.is_object() ? root.find("schema") : root.end();
    if (!root.is_object() || schema == root.end() || *schema != kPlanSchema) {
        const std::string named = root.is_object() && schema != root.end() && schema->is_string()
                                      ? " (it is a \"" + schema->get<std::string>() + "\" document)"
                                      : "";
        throw PlanError("it is no plan: plans begin with \"schema\": \"velto-plan\"" + named +
                        "; make one with velto-machine check DIR --plan FILE");
    }
    const Reader r;
    const std::int64_t version = r.Number(root, "schemaVersion", "");
    if (version != kPlanSchemaVersion) {
        throw PlanError("the plan is of schema version " + std::to_string(version) +
                        ", and this program reads version " + std::to_string(kPlanSchemaVersion) +
                        "; make the plan again");
    }
    Plan plan;
    plan.machine = r.Text(root, "machine", "");
    plan.made = r.Text(root, "made", "");
    if (!ParseIsoTime(plan.made)) {
        r.Damaged("made is no ISO 8601 time with an offset");
    }
    plan.filter = r.Text(root, "filter", "");
    const std::int64_t listed = r.Number(root, "listed", "");
    if (listed < 0 || listed > INT32_MAX) {
        r.Damaged("listed is out of range");
    }
    plan.listed = static_cast<std::int32_t>(listed);
    plan.backup = r.Flag(root, "backup", "");
    for (const json& folder : r.List(root, "exclude", "")) {
        if (!folder.is_string()) {
            r.Damaged("exclude holds a " + std::string(folder.type_name()) + ", not a string");
        }
        plan.exclude.push_back(folder.get<std::string>());
    }
    plan.notes = ReadNotes(r, r.List(root, "notes", ""), "notes");
    const json& groups = r.List(root, "groups", "");
    for (std::size_t i = 0; i < groups.size(); ++i) {
        plan.groups.push_back(ReadGroup(r, groups[i], "groups[" + std::to_string(i) + "]"));
    }
    return plan;
}

}  // namespace velto_check
