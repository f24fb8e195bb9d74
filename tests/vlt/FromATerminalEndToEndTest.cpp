// The whole job from a terminal, as a user of the command line does it on a machine made for
// it: a plan made with check --plan, a file changed behind the plan's back, apply (checked
// against a twin machine on which vlt -S runs), the backups listed, all of them restored, the
// machine's start, and every file back as it was.
//
// The comparison with the twin is byte for byte, after replacing exactly what cannot be the
// same: the date and time of the run in the report's head, the note each run writes on the
// group whose file changed (apply: it changed since the plan; vlt -S, which decides afresh:
// its makers now differ), and the names of the temporary copies in the restart list (chosen
// at random by GetTempFileName).
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"
#include "tests/vlt/VltRunSupport.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using vltrun::Dll;
using vltrun::Slurp;
using vltrun::Tool;

const std::string kSys = "C:\\WINDOWS\\SYSTEM\\";
const std::string a1 = Dll("1.0"), a2 = Dll("2.0"), b1 = Dll("1.5"), b2 = Dll("2.5");
const std::string d1 = Dll("1.0", "Korvane"), d2 = Dll("1.0", "Other Maker");
const std::string f1 = Dll("1.0", "F Maker"), f3 = Dll("3.0", "F Maker");
const std::string h1 = Dll("1.0", "H Maker"), h2 = Dll("2.0", "H Maker");

// The files of the machine, by Windows path: A is copied around, B removed beside the system
// copy, D left alone (makers differ), F moved into the system folder, H copied into a folder
// whose name holds "&".
const std::map<std::string, std::string> kFiles = {
    {"C:\\APPS1\\A.DLL", a2}, {"C:\\APPS2\\A.DLL", a1}, {"C:\\APPS1\\B.DLL", b1},
    {kSys + "B.DLL", b2},     {"C:\\APPS1\\D.DLL", d1}, {"C:\\APPS2\\D.DLL", d2},
    {"C:\\APPS1\\F.DLL", f3}, {kSys + "F.DLL", f1},     {"C:\\Tom & Jerry\\H.DLL", h1},
    {"C:\\APPS2\\H.DLL", h2},
};

void Build(testsupport::MachineBuilder& machine) {
    machine.Folder("C:\\Program Files\\Velto").Folder("C:\\WINDOWS\\SYSTEM");
    for (const auto& [path, bytes] : kFiles) {
        machine.File(path, bytes);
    }
    testsupport::SeedRegistry(machine);
}

// The host path of the report a run names on its "report: C:\... (/host/...)" line.
std::string ReportOf(const std::string& out) {
    std::smatch m;
    EXPECT_TRUE(std::regex_search(out, m, std::regex("report: [^\\n]* \\((/[^\\n]*)\\)\\n")))
        << out;
    return m.empty() ? "" : Slurp(m[1].str());
}

std::string Replaced(std::string text, const std::string& pattern, const std::string& with) {
    return std::regex_replace(text, std::regex(pattern), with);
}

TEST(FromATerminal, PlanChangeApplyBackupsRestoreStartAndEverythingIsBack) {
    testsupport::MachineBuilder machine;
    testsupport::MachineBuilder twin;
    Build(machine);
    Build(twin);
    const std::string folder = machine.folder().string();
    const std::string plan = folder + "-plan.json";

    // The plan, and a file changed behind its back (on the twin too: vlt -S sees it there).
    const auto checked = Tool({"check", folder, "--plan", plan, "-q"});
    ASSERT_EQ(checked.status, 1) << checked.err;
    EXPECT_EQ(checked.out, "");
    const std::string other = Dll("1.0", "Another Maker");
    machine.File("C:\\APPS2\\A.DLL", other);
    twin.File("C:\\APPS2\\A.DLL", other);

    // A dry run says what would happen and writes nothing.
    const std::string before = testsupport::FolderSnapshot(machine.folder());
    const auto dry = Tool({"apply", folder, plan, "--dry-run"});
    EXPECT_EQ(dry.status, 1) << dry.err;
    EXPECT_NE(dry.out.find("A.DLL: left alone, changed since the plan was made: "
                           "C:\\APPS2\\A.DLL (its "),
              std::string::npos)
        << dry.out;
    EXPECT_NE(dry.out.find("delete C:\\APPS1\\B.DLL (backed up first)"), std::string::npos);
    EXPECT_EQ(testsupport::FolderSnapshot(machine.folder()), before);

    const auto applied = Tool({"apply", folder, plan});
    ASSERT_EQ(applied.status, 1) << applied.out << applied.err;
    const auto unattended = vltrun::Unattended(twin.folder());
    ASSERT_EQ(unattended.status, 0) << unattended.out << unattended.err;

    // The reports, byte for byte but for the run's time and the changed group's note.
    const std::string when = "<b><font size=\"2\">[^<]*</font></b>";
    const std::string note = "A\\.DLL: not repaired, [^<]*";
    std::string report = ReportOf(applied.out);
    std::string twinReport = ReportOf(unattended.out);
    EXPECT_NE(report.find("A.DLL: not repaired, changed since the plan was made: "
                          "C:\\APPS2\\A.DLL (its "),
              std::string::npos)
        << report;
    EXPECT_NE(twinReport.find("A.DLL: not repaired, company names differ"), std::string::npos);
    EXPECT_EQ(Replaced(Replaced(report, when, "WHEN"), note, "NOTE"),
              Replaced(Replaced(twinReport, when, "WHEN"), note, "NOTE"));
    EXPECT_NE(report.find("Files Backed Up"), std::string::npos);

    // The restart lists, byte for byte but for the temporary copies' names; both machines
    // started, and every file of both is the same.
    const std::string temp = "VLT[0-9A-F]+\\.tmp";
    const std::string list = Slurp(machine.HostPath("C:\\WINDOWS\\wininit.bak"));
    EXPECT_NE(list.find("NUL=C:\\APPS1\\B.DLL"), std::string::npos) << list;
    EXPECT_EQ(Replaced(list, temp, "VLT.tmp"),
              Replaced(Slurp(twin.HostPath("C:\\WINDOWS\\wininit.bak")), temp, "VLT.tmp"));
    for (const auto& [path, bytes] : kFiles) {
        EXPECT_EQ(machine.Exists(path), twin.Exists(path)) << path;
        EXPECT_EQ(machine.Read(path), twin.Read(path)) << path;
    }
    EXPECT_EQ(machine.Read("C:\\APPS2\\H.DLL"), h2);
    EXPECT_EQ(machine.Read("C:\\Tom & Jerry\\H.DLL"), h2);
    EXPECT_FALSE(machine.Exists("C:\\APPS1\\B.DLL"));
    EXPECT_EQ(machine.Read(kSys + "F.DLL"), f3);
    EXPECT_EQ(machine.Read("C:\\APPS2\\A.DLL"), other);

    // The backups, each where the restore window would put it back.
    const auto listed = Tool({"backups", folder, "--json"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const json document = json::parse(listed.out);
    std::map<std::string, std::string> backups;
    for (const json& backup : document.at("backups")) {
        EXPECT_EQ(backup.at("status"), "ready") << backup.dump();
        backups[backup.at("restoresTo").get<std::string>()] = backup.at("name").get<std::string>();
    }
    EXPECT_EQ(backups, (std::map<std::string, std::string>{
                           {"C:\\APPS1\\B.DLL", "C~~APPS1~B.DLL.backup"},
                           {"C:\\APPS1\\F.DLL", "C~~APPS1~F.DLL.backup"},
                           {kSys + "F.DLL", "C~~WINDOWS~SYSTEM~F.DLL.backup"},
                           {"C:\\Tom & Jerry\\H.DLL", "C~~Tom & Jerry~H.DLL.backup"}}));

    // All of them restored: they wait for the start, and info and check say so.
    const auto restored = Tool({"restore", folder, "--all"});
    EXPECT_EQ(restored.status, 0) << restored.out << restored.err;
    EXPECT_NE(restored.out.find("4 backups go back at the machine's next start"), std::string::npos)
        << restored.out;
    EXPECT_NE(Tool({"info", folder}).out.find("4 moves wait for it"), std::string::npos);
    const auto waiting = Tool({"check", folder, "--json"});
    EXPECT_EQ(json::parse(waiting.out).at("waiting").size(), 4u) << waiting.out;

    const auto started = Tool({"boot", folder});
    EXPECT_EQ(started.status, 0) << started.out << started.err;
    for (const auto& [path, bytes] : kFiles) {
        EXPECT_EQ(machine.Read(path), path == "C:\\APPS2\\A.DLL" ? other : bytes) << path;
    }
}

}  // namespace
