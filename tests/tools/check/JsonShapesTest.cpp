// The JSON documents velto-machine writes for scripts, read back against the shapes the manual
// page documents: check --json, the plan of check --plan, backups --json, prefixes --json and
// check --all --json. Debian has no JSON Schema validator for nlohmann-json, so the shapes are
// checked by hand: every key the manual names is there with its kind, and every element of a
// list has the element's shape (more keys may come: documents only grow within a version).

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/FileText.h"
#include "tests/support/RunProgram.h"

namespace {

using nlohmann::json;

// A shape: "string", "number", "boolean", "null", "time" (ISO 8601 with an offset), kinds
// joined by "|"; an object of shapes; a list holding the shape of each element.
void ExpectShape(const json& value, const json& shape, const std::string& where) {
    if (shape.is_object()) {
        ASSERT_TRUE(value.is_object()) << where << " is " << value.dump();
        for (const auto& [key, inner] : shape.items()) {
            ASSERT_TRUE(value.contains(key)) << where << "." << key << " is missing";
            ExpectShape(value.at(key), inner, where + "." + key);
        }
        return;
    }
    if (shape.is_array()) {
        ASSERT_TRUE(value.is_array()) << where << " is " << value.dump();
        for (std::size_t i = 0; i < value.size(); ++i) {
            ExpectShape(value[i], shape[0], where + "[" + std::to_string(i) + "]");
        }
        return;
    }
    static const std::regex time(
        "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(\\.\\d+)?"
        "(Z|[+-]\\d\\d:\\d\\d)");
    const std::string kinds = "|" + shape.get<std::string>() + "|";
    const bool fits = (value.is_string() && kinds.find("|string|") != std::string::npos) ||
                      (value.is_number() && kinds.find("|number|") != std::string::npos) ||
                      (value.is_boolean() && kinds.find("|boolean|") != std::string::npos) ||
                      (value.is_null() && kinds.find("|null|") != std::string::npos) ||
                      (value.is_string() && kinds.find("|time|") != std::string::npos &&
                       std::regex_match(value.get<std::string>(), time));
    EXPECT_TRUE(fits) << where << " is " << value.dump() << ", not " << kinds;
}

const json kAction = {{"action", "string"}, {"backup", "boolean"}, {"waiting", "boolean"}};
const json kWaiting = {{"from", "string"},
                       {"position", "number"},
                       {"action", "string"},
                       {"source", "string"},
                       {"sourceHost", "string|null"},
                       {"target", "string|null"},
                       {"targetHost", "string|null"},
                       {"replace", "boolean"}};
const json kCheck = {{"schema", "string"},
                     {"schemaVersion", "number"},
                     {"machine", "string"},
                     {"filter", "string"},
                     {"listed", "number"},
                     {"flagged", "number"},
                     {"groups",
                      {{{"name", "string"},
                        {"verdict", "string"},
                        {"recommended", "string|null"},
                        {"notes", {"string"}},
                        {"copies",
                         {{{"path", "string"},
                           {"hostPath", "string|null"},
                           {"recommended", "boolean"},
                           {"fileVersion", "string"},
                           {"productVersion", "string"},
                           {"company", "string"},
                           {"product", "string"},
                           {"description", "string"},
                           {"created", "string"},
                           {"modified", "string"},
                           {"createdAt", "time|null"},
                           {"modifiedAt", "time|null"},
                           {"size", "number"},
                           {"originalName", "string"},
                           {"internalName", "string"},
                           {"copyright", "string"},
                           {"accessed", "string"},
                           {"imageType", "string"}}}},
                        {"unattended", {{"actions", {kAction}}, {"leftAlone", "string|null"}}}}}},
                     {"otherActions", {kAction}},
                     {"waiting", {kWaiting}}};
const json kNote = {{"path", "string"}, {"code", "number"}, {"text", "string"}};
const json kPlan = {{"schema", "string"},
                    {"schemaVersion", "number"},
                    {"machine", "string"},
                    {"made", "time"},
                    {"filter", "string"},
                    {"listed", "number"},
                    {"backup", "boolean"},
                    {"exclude", {"string"}},
                    {"notes", {kNote}},
                    {"groups",
                     {{{"name", "string"},
                       {"recommended", "string|null"},
                       {"leftAlone", "string|null"},
                       {"files",
                        {{{"path", "string"},
                          {"hostPath", "string|null"},
                          {"exists", "boolean"},
                          {"size", "number"},
                          {"modified", "time"},
                          {"sha256", "string"}}}},
                       {"notes", {kNote}},
                       {"actions", {{{"action", "string"}}}}}}}};
const json kBackups = {{"schema", "string"},
                       {"schemaVersion", "number"},
                       {"machine", "string"},
                       {"folder", "string"},
                       {"folderHost", "string|null"},
                       {"listed", "boolean"},
                       {"backups",
                        {{{"name", "string"},
                          {"path", "string"},
                          {"hostPath", "string|null"},
                          {"restoresTo", "string"},
                          {"restoresToHost", "string|null"},
                          {"size", "number|null"},
                          {"modified", "time|null"},
                          {"older", "boolean"},
                          {"status", "string"},
                          {"reason", "string|null"}}}}};
const json kPrefixes = {
    {"schema", "string"}, {"schemaVersion", "number"}, {"prefixes", json::array()}};
const json kCheckAll = {{"schema", "string"},        {"schemaVersion", "number"},
                        {"prefixes", json::array()}, {"checked", "number"},
                        {"flagged", "number"},       {"repaired", "number"}};

testsupport::ProgramRun Tool(std::vector<std::string> args) {
    args.insert(args.begin(), VELTO_MACHINE_TOOL);
    return testsupport::RunProgram(args);
}

TEST(JsonShapes, EveryDocumentHasTheShapeTheManualGives) {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-shapes-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    const std::string machine = (dir / "m").string();
    const std::string plan = (dir / "plan.json").string();
    ASSERT_EQ(Tool({"create", machine, "--demo"}).status, 0);

    const auto check = Tool({"check", machine, "--json", "--plan", plan});
    ASSERT_EQ(check.status, 1) << check.err;
    const json checked = json::parse(check.out);
    ExpectShape(checked, kCheck, "check");
    EXPECT_EQ(checked.at("schema"), "velto-check");
    const json planned = json::parse(testsupport::Slurp(plan));
    ExpectShape(planned, kPlan, "plan");
    EXPECT_EQ(planned.at("schema"), "velto-plan");
    EXPECT_FALSE(planned.at("groups").at(0).at("files").empty());

    // Backups to list, restores waiting for the start: the lists are filled.
    ASSERT_EQ(Tool({"apply", machine, plan}).status, 0);
    ASSERT_EQ(Tool({"restore", machine, "--all"}).status, 0);
    const json backups = json::parse(Tool({"backups", machine, "--json"}).out);
    ExpectShape(backups, kBackups, "backups");
    EXPECT_FALSE(backups.at("backups").empty());
    const json waiting = json::parse(Tool({"check", machine, "--json"}).out);
    ExpectShape(waiting, kCheck, "check");
    EXPECT_FALSE(waiting.at("waiting").empty());

    // A home without launchers: the documents are there, their lists empty.
    const std::string home = "HOME=" + (dir / "home").string();
    std::filesystem::create_directories(dir / "home");
    const auto prefixes = testsupport::RunProgram(
        {"/usr/bin/env", "-u", "WINEPREFIX", home, VELTO_MACHINE_TOOL, "prefixes", "--json"});
    ExpectShape(json::parse(prefixes.out), kPrefixes, "prefixes");
    const auto all = testsupport::RunProgram(
        {"/usr/bin/env", "-u", "WINEPREFIX", home, VELTO_MACHINE_TOOL, "check", "--all", "--json"});
    ExpectShape(json::parse(all.out), kCheckAll, "check --all");
    std::filesystem::remove_all(dir);
}

}  // namespace
