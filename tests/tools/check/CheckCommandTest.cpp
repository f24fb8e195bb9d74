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

class CheckCommand : public testing::Test {
  protected:
    CheckCommand() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-check-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
    }
    ~CheckCommand() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string Create(const std::string& name, bool demo) {
        const std::string folder = (dir_ / name).string();
        std::vector<std::string> argv{VELTO_MACHINE_TOOL, "create", folder};
        if (demo) {
            argv.push_back("--demo");
        }
        const auto created = testsupport::RunProgram(argv);
        EXPECT_EQ(created.status, 0) << created.err;
        return folder;
    }

    std::filesystem::path dir_;
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
    const std::string drive = machine + "/drives/C/";
    const std::string newerHost = drive + "Program Files/Orbis Suite/ORBCALC.DLL";
    const json actions = json::array(
        {json{{"action", "copy"},
              {"source", newer},
              {"target", system},
              {"backup", true},
              {"sourceHost", newerHost},
              {"targetHost", drive + "WINDOWS/SYSTEM/ORBCALC.DLL"}},
         json{{"action", "delete"}, {"path", newer}, {"backup", true}, {"hostPath", newerHost}}});
    EXPECT_EQ(calc->at("unattended"), (json{{"actions", actions}, {"leftAlone", nullptr}}));

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
