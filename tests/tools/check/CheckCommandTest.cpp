// velto-machine check as a script runs it: the findings on the demo machine as text and as
// JSON, the exit status, a machine folder left exactly as it was, and the same verdicts as the
// review window's tree on the same machine.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/RunProgram.h"
#include "tests/vlt/windows/frmDupSysTestSupport.h"
#include "vlt/core/modVLTWork.h"

namespace {

using nlohmann::json;

testsupport::ProgramRun Check(std::vector<std::string> args) {
    args.insert(args.begin(), {VELTO_MACHINE_TOOL, "check"});
    return testsupport::RunProgram(args);
}

json Parsed(const testsupport::ProgramRun& run) {
    return json::parse(run.out);
}

const json* GroupNamed(const json& document, const std::string& name) {
    for (const json& group : document.at("groups")) {
        if (group.at("name") == name) {
            return &group;
        }
    }
    return nullptr;
}

// Every file, folder and link below `folder` with its bytes (or its target).
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().lexically_relative(folder).string();
        if (entry.is_symlink()) {
            contents[name] = "link to " + std::filesystem::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            contents[name] = "folder";
        } else {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            contents[name] = bytes.str();
        }
    }
    return contents;
}

std::filesystem::path TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-check-XXXXXX").string();
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
}

class CheckCommand : public testing::Test {
  protected:
    CheckCommand() : dir_(TempFolder()) {}
    ~CheckCommand() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    // One demo machine made for all the tests (making one takes seconds), copied with its
    // times for each test that uses it.
    static void SetUpTestSuite() {
        demos_ = TempFolder();
        const auto created = testsupport::RunProgram(
            {VELTO_MACHINE_TOOL, "create", (demos_ / "demo").string(), "--demo"});
        ASSERT_EQ(created.status, 0) << created.err;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        std::filesystem::remove_all(demos_, ec);
    }

    std::string Create(const std::string& name, bool demo) {
        const std::string folder = (dir_ / name).string();
        const auto created =
            demo ? testsupport::RunProgram({"cp", "-a", (demos_ / "demo").string(), folder})
                 : testsupport::RunProgram({VELTO_MACHINE_TOOL, "create", folder});
        EXPECT_EQ(created.status, 0) << created.err;
        return folder;
    }

    std::filesystem::path dir_;
    static inline std::filesystem::path demos_;
};

TEST_F(CheckCommand, ReportsTheDemoMachinesGroupsAndChangesNothing) {
    const std::string machine = Create("demo", true);
    const auto before = Snapshot(machine);

    const auto text = Check({machine});
    EXPECT_EQ(text.status, 1) << text.err;
    EXPECT_NE(text.out.find("ORBCALC.DLL: keep C:\\Program Files\\Orbis Suite\\ORBCALC.DLL\n"
                            "  * C:\\Program Files\\Orbis Suite\\ORBCALC.DLL\n"
                            "      version 1.2.0.3, product 1.2.0.3, Orbis Data Ltd\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("TESSUTIL.DLL: no copy is recommended (COMPANY NAME DOES NOT MATCH)"),
              std::string::npos)
        << text.out;
    // No terminal: no progress line.
    EXPECT_EQ(text.err, "");

    const auto run = Check({machine, "--json"});
    EXPECT_EQ(run.status, 1) << run.err;
    const json document = Parsed(run);
    EXPECT_EQ(document.at("machine"), machine);
    EXPECT_EQ(document.at("filter"), "*.dll");
    EXPECT_EQ(document.at("flagged"), document.at("groups").size());

    // The newer copy outside the system folder moves in, backed up, as -S would do it.
    const json* calc = GroupNamed(document, "ORBCALC.DLL");
    ASSERT_NE(calc, nullptr) << run.out;
    const std::string newer = "C:\\Program Files\\Orbis Suite\\ORBCALC.DLL";
    const std::string system = "C:\\WINDOWS\\SYSTEM\\ORBCALC.DLL";
    EXPECT_EQ(calc->at("verdict"), "recommended");
    EXPECT_EQ(calc->at("recommended"), newer);
    ASSERT_EQ(calc->at("copies").size(), 2u);
    const json& copy = calc->at("copies")[0];
    EXPECT_EQ(copy.at("path"), newer);
    EXPECT_EQ(copy.at("recommended"), true);
    EXPECT_EQ(copy.at("fileVersion"), "1.2.0.3");
    EXPECT_EQ(copy.at("company"), "Orbis Data Ltd");
    EXPECT_EQ(copy.at("modified"), "02-Feb-2001 00:00:00");
    EXPECT_EQ(copy.at("size"), 2048);
    // The moved copy carries its use along; no other copy takes it over.
    const std::string drive = machine + "/drives/C/";
    const std::string newerHost = drive + "Program Files/Orbis Suite/ORBCALC.DLL";
    const json actions = json::array({json{{"action", "copy"},
                                           {"source", newer},
                                           {"target", system},
                                           {"backup", true},
                                           {"sourceHost", newerHost},
                                           {"targetHost", drive + "WINDOWS/SYSTEM/ORBCALC.DLL"},
                                           {"waiting", false}},
                                      json{{"action", "delete"},
                                           {"path", newer},
                                           {"backup", true},
                                           {"hostPath", newerHost},
                                           {"waiting", false},
                                           {"useGoesTo", nullptr}}});
    EXPECT_EQ(calc->at("unattended"), (json{{"actions", actions}, {"leftAlone", nullptr}}));
    EXPECT_TRUE(calc->at("loading").is_null());
    EXPECT_TRUE(copy.at("platform").is_null());
    // A copy removed beside its program hands its use to the system folder's copy.
    const json* data = GroupNamed(document, "ORBDATA.DLL");
    ASSERT_NE(data, nullptr) << run.out;
    EXPECT_EQ(data->at("unattended").at("actions").back().at("useGoesTo"),
              "C:\\WINDOWS\\SYSTEM\\ORBDATA.DLL");

    // Company names differ: no recommendation, and -S leaves the group alone.
    const json* util = GroupNamed(document, "TESSUTIL.DLL");
    ASSERT_NE(util, nullptr) << run.out;
    EXPECT_EQ(util->at("verdict"), "no-recommendation");
    EXPECT_TRUE(util->at("recommended").is_null());
    EXPECT_EQ(util->at("notes"), json::array({modVLTWork::kCompanyNote}));
    EXPECT_TRUE(util->at("unattended").at("actions").empty());
    EXPECT_TRUE(util->at("unattended").at("leftAlone").is_string());

    // Other types, named as the main window names them.
    const auto types = Check({machine, "--json", "--types", "OCX,*.drv"});
    const json other = Parsed(types);
    EXPECT_EQ(other.at("filter"), "*.drv;*.ocx");
    for (const json& group : other.at("groups")) {
        const std::string name = group.at("name");
        EXPECT_TRUE(name.ends_with(".OCX") || name.ends_with(".DRV")) << name;
    }

    // Not a byte changed: no setting, no LastScanDateTime, no trace file, no report.
    EXPECT_EQ(Snapshot(machine), before);
}

TEST_F(CheckCommand, ExitStatusSaysWhetherAnythingWasFlagged) {
    const std::string plain = Create("plain", false);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string output;  // a part of stdout (status 0) or stderr (status 2)
    } const cases[] = {
        {{plain}, 0, "0 groups flagged."},
        {{plain, "--json"}, 0, "\"flagged\": 0,"},
        {{(dir_ / "nowhere").string()}, 2, "nowhere"},
        {{plain, "--types", "dll,com"}, 2, "unknown file type 'com'"},
        {{plain, "--types", ""}, 2, "--types needs"},
        {{}, 2, "usage: velto-machine check DIR"},
    };
    for (const Case& c : cases) {
        const auto run = Check(c.args);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.output), std::string::npos)
            << run.out << run.err;
    }
}

// What waits for the machine's next start is shown, and not proposed again: the copy an
// interrupted run left waiting is marked so (vlt -S adopts it), and a group that a waiting move
// changes otherwise is left alone until the start.
TEST_F(CheckCommand, WhatWaitsIsShownAndNotProposedAgain) {
    const std::string demo = Create("demo", true);
    const std::filesystem::path c = std::filesystem::path(demo) / "drives" / "C";
    std::filesystem::copy_file(c / "Program Files" / "Orbis Suite" / "ORBCALC.DLL",
                               c / "WINDOWS" / "TEMP" / "VLT1.tmp");
    std::ofstream(c / "WINDOWS" / "TEMP" / "VLT2.tmp") << "another file";
    std::ofstream(c / "WINDOWS" / "wininit.ini")
        << "[Rename]\r\nC:\\WINDOWS\\SYSTEM\\ORBCALC.DLL=C:\\WINDOWS\\TEMP\\VLT1.tmp\r\n"
           "C:\\WINDOWS\\SYSTEM\\TSSCOMM.DLL=C:\\WINDOWS\\TEMP\\VLT2.tmp\r\n";
    const auto run = Check({demo, "--json"});
    ASSERT_EQ(run.status, 1) << run.err;
    const json document = Parsed(run);
    EXPECT_EQ(document.at("waiting").size(), 2u);
    const json actions = GroupNamed(document, "ORBCALC.DLL")->at("unattended").at("actions");
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[0].at("waiting"), true);
    EXPECT_EQ(actions[1].at("waiting"), false);
    const json& tsscomm = GroupNamed(document, "TSSCOMM.DLL")->at("unattended");
    EXPECT_TRUE(tsscomm.at("actions").empty());
    EXPECT_EQ(tsscomm.at("leftAlone"),
              "not repaired, a move waiting for the machine's next start changes "
              "C:\\WINDOWS\\SYSTEM\\TSSCOMM.DLL, "
              "so the copies are judged again after the start");
    const auto text = Check({demo});
    EXPECT_NE(text.out.find("over C:\\WINDOWS\\SYSTEM\\ORBCALC.DLL (backed up first) (waits "
                            "already for the next start)"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Waiting for the machine's next start"), std::string::npos);
}

// The filters and the verbosity, each against the demo machine's four flagged groups; what
// --exclude leaves out is never stored.
TEST_F(CheckCommand, FiltersAndVerbosity) {
    const std::string demo = Create("demo", true);
    const std::string suite = demo + "/drives/C/Program Files/Orbis Suite";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> groups;  // flagged, for status 0 and 1 with --json
        std::string output;               // a part of stdout (with -v, -q: all of it) or stderr
    } const cases[] = {
        {{"--only", "orbcalc.dll", "--only", "TSSCOMM.DLL"}, 1, {"ORBCALC.DLL", "TSSCOMM.DLL"}, ""},
        {{"--only", "NONE.DLL"}, 0, {}, "note: no group named NONE.DLL is flagged"},
        {{"--exclude", "C:\\Program Files\\Orbis Suite"},
         1,
         {"ORBDATA.DLL", "TESSUTIL.DLL", "TSSCOMM.DLL"},
         ""},
        {{"--exclude", suite}, 1, {"ORBDATA.DLL", "TESSUTIL.DLL", "TSSCOMM.DLL"}, ""},
        {{"--exclude", "C:\\NOWHERE"}, 2, {}, "there is no such folder on the machine"},
        {{"--exclude", "C:\\WINDOWS"}, 2, {}, "the system folder cannot be left out"},
        {{"--exclude", "/"}, 2, {}, "the folder is on none of the machine's drives"},
        {{"-q"}, 1, {}, ""},
        {{"-q", "--json"}, 2, {}, "-q prints nothing but errors"},
        {{"-v"}, 1, {}, "      original name "},
        {{"--all", "--plan", "p.json"}, 2, {}, "--plan and --exclude are for one machine"},
        {{"--all", "-q"}, 2, {}, "-q and -v are for one machine"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {demo};
        if (c.args[0] == "--all") {
            args.clear();
        }
        args.insert(args.end(), c.args.begin(), c.args.end());
        const bool text = c.args[0] == "-q" || c.args[0] == "-v";
        if (!text && c.status != 2) {
            args.push_back("--json");
        }
        const auto run = Check(args);
        SCOPED_TRACE(args[1] + " " + (args.size() > 2 ? args[2] : ""));
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        if (c.status == 2) {
            EXPECT_NE(run.err.find(c.output), std::string::npos) << run.err;
            continue;
        }
        EXPECT_NE((c.args[0] == "--only" ? run.err : run.out).find(c.output), std::string::npos);
        if (text) {
            EXPECT_EQ(run.out.empty(), c.args[0] == "-q") << run.out;
            continue;
        }
        std::vector<std::string> groups;
        const json document = Parsed(run);
        for (const json& group : document.at("groups")) {
            groups.push_back(group.at("name"));
        }
        EXPECT_EQ(groups, c.groups);
    }
    EXPECT_EQ(Parsed(Check({demo, "--json"})).at("flagged"), 4);
}

// A plan is carried out only as it was made: on its own machine, with backups as they were,
// and only a plan is read as one. Each refusal changes nothing.
TEST_F(CheckCommand, APlanIsRefusedWhereItDoesNotHold) {
    const std::string demo = Create("demo", true);
    const std::string other = Create("other", true);
    const std::string plan = (dir_ / "plan.json").string();
    const std::string checked = (dir_ / "check.json").string();
    ASSERT_EQ(Check({demo, "--plan", plan, "-q"}).status, 1);
    std::ofstream(checked) << Check({demo, "--json"}).out;
    const std::string reg = (dir_ / "backups-off.reg").string();
    std::ofstream(reg) << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Korvane\\Velto]"
                          "\r\n\"Backup\"=\"N\"\r\n";
    const auto before = Snapshot(demo);
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{demo, checked},
         "it is no plan: plans begin with \"schema\": \"velto-plan\" (it is a "
         "\"velto-check\" document)"},
        {{demo, (dir_ / "none.json").string()}, "cannot be read"},
        {{other, plan}, "the plan was made for the machine in " + demo + ", not for " + other},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{VELTO_MACHINE_TOOL, "apply"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto run = testsupport::RunProgram(argv);
        EXPECT_EQ(run.status, 2) << run.out << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(Snapshot(demo), before);
    ASSERT_EQ(testsupport::RunProgram({VELTO_MACHINE_TOOL, "reg", "import", demo, reg}).status, 0);
    const auto off = testsupport::RunProgram({VELTO_MACHINE_TOOL, "apply", demo, plan});
    EXPECT_EQ(off.status, 2) << off.out << off.err;
    EXPECT_NE(off.err.find("the plan was made with backups on, and they are off now"),
              std::string::npos)
        << off.err;
}

// The review window and the check on one machine: the same groups, copies, recommended copies
// and notes.
class CheckAgainstReview : public dupsystest::DupSysTest {};

TEST_F(CheckAgainstReview, FlagsWhatTheReviewWindowShows) {
    StandardMachine();
    Match();
    json expected = json::array();
    for (const dupsystest::Shown& node : Tree()) {
        if (node.parent.empty()) {
            expected.push_back({{"name", node.key},
                                {"recommended", nullptr},
                                {"notes", json::array()},
                                {"copies", json::array()}});
            continue;
        }
        json& group = expected.back();
        if (node.image == modVLTWork::kImageNoRecommendation) {
            group["notes"].push_back(node.text);
            continue;
        }
        group["copies"].push_back(node.key);
        if (node.image == modVLTWork::kImageRecommended) {
            group["recommended"] = node.key;
        }
    }
    ASSERT_EQ(expected.size(), 4u);

    const auto run = Check({machine.folder().string(), "--json"});
    ASSERT_EQ(run.status, 1) << run.out << run.err;
    const json document = Parsed(run);
    json checked = json::array();
    for (const json& group : document.at("groups")) {
        json copies = json::array();
        for (const json& copy : group.at("copies")) {
            copies.push_back(copy.at("path"));
        }
        checked.push_back({{"name", group.at("name")},
                           {"recommended", group.at("recommended")},
                           {"notes", group.at("notes")},
                           {"copies", copies}});
    }
    EXPECT_EQ(checked, expected) << run.out;
}

}  // namespace
