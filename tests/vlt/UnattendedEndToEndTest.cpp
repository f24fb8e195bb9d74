// The unattended check from start to restart, on a machine with every kind of duplicate
// group: vlt --machine M -S, then what the user finds afterwards: the report, the backups, the
// restart list (wininit.ini on the 9x family, the pending list on the NT family), the
// shared-library counts, "LastScanDateTime", and, once the restart has run, the files.

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"
#include "tests/vlt/VltRunSupport.h"
#include "tools/imagewriter/ImageWriter.h"

namespace {

using Strings = std::vector<std::string>;

using vltrun::Dll;
using vltrun::Lines;
using vltrun::Slurp;
using vltrun::Unattended;
using VltResult = vltrun::Result;

std::string Unversioned() {
    const imagewriter::Image image = imagewriter::BuildImage(imagewriter::ImageSpec{});
    return std::string(image.bytes.begin(), image.bytes.end());
}

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++n;
    }
    return n;
}

class UnattendedEndToEnd : public testing::TestWithParam<machine::Platform> {
  protected:
    UnattendedEndToEnd() {
        machine.Platform(GetParam());
        sys = nt() ? "C:\\WINDOWS\\SYSTEM32\\" : "C:\\WINDOWS\\SYSTEM\\";
        machine.Folder("C:\\Program Files\\Velto").Folder(sys.substr(0, sys.size() - 1));
        // Every kind of group, named after what the repair does with it:
        // A newer copy listed first: copied over the other one.
        machine.File("C:\\APPS1\\A.DLL", a2).File("C:\\APPS2\\A.DLL", a1);
        // B newer in the system folder: the other copy is removed.
        machine.File("C:\\APPS1\\B.DLL", b1).File(sys + "B.DLL", b2);
        // C identical copies: left alone.
        machine.File("C:\\APPS1\\C.DLL", c1).File("C:\\APPS2\\C.DLL", c1);
        // D makers differ, E version information missing: no copy is recommended, nothing is
        // done, and the report says why.
        machine.File("C:\\APPS1\\D.DLL", d1).File("C:\\APPS2\\D.DLL", d2);
        machine.File("C:\\APPS1\\E.DLL", e0).File("C:\\APPS2\\E.DLL", e1);
        // F older in the system folder: the newer copy moves there.
        machine.File("C:\\APPS1\\F.DLL", f3).File(sys + "F.DLL", f1);
        // G a single copy; H a folder whose name holds "&"; X.OCX a type not scanned.
        machine.File("C:\\APPS1\\G.DLL", c1);
        machine.File("C:\\Tom & Jerry\\H.DLL", h1).File("C:\\APPS2\\H.DLL", h2);
        machine.File("C:\\APPS1\\X.OCX", a1).File("C:\\APPS2\\X.OCX", a2);
        testsupport::SeedRegistry(machine, std::string("REGEDIT4\r\n\r\n[") + kCounts + "]\r\n" +
                                               "\"" + Escaped(sys) + "F.DLL\"=dword:00000003\r\n" +
                                               "\"C:\\\\APPS1\\\\F.DLL\"=dword:00000002\r\n" +
                                               "\"C:\\\\APPS1\\\\B.DLL\"=dword:00000001\r\n" +
                                               "\"C:\\\\APPS2\\\\A.DLL\"=dword:00000001\r\n");
    }

    bool nt() const { return GetParam() == machine::Platform::NT; }
    static std::string Escaped(const std::string& path) {
        std::string out;
        for (const char c : path) {
            out += c == '\\' ? std::string("\\\\") : std::string(1, c);
        }
        return out;
    }
    // The action reports left in the temporary folder (the copies' temporary files are gone
    // with the restart).
    Strings Reports() const {
        Strings reports;
        for (const auto& entry :
             std::filesystem::directory_iterator(machine.HostPath("C:\\WINDOWS\\TEMP"))) {
            const std::string text = Slurp(entry.path());
            if (text.starts_with("<html>")) {
                reports.push_back(text);
            }
        }
        return reports;
    }
    std::string Backup(const std::string& name) const {
        return machine.Read("C:\\Program Files\\Velto\\" + name);
    }

    static constexpr const char* kCounts =
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    testsupport::MachineBuilder machine;
    std::string sys;
    const std::string a1 = Dll("1.0"), a2 = Dll("2.0"), b1 = Dll("1.5"), b2 = Dll("2.5");
    const std::string c1 = Dll("1.0", "Same Maker"), d1 = Dll("1.0", "Korvane");
    const std::string d2 = Dll("1.0", "Other Maker"), e0 = Unversioned(), e1 = Dll("1.1");
    const std::string f1 = Dll("1.0", "F Maker"), f3 = Dll("3.0", "F Maker");
    const std::string h1 = Dll("1.0", "H Maker"), h2 = Dll("2.0", "H Maker");
};

TEST_P(UnattendedEndToEnd, RepairsReportsAndRestarts) {
    const VltResult run = Unattended(machine.folder());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err.find("failed"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Application Error"), std::string::npos) << run.err;

    // The restart carried out, in queue order, the copies (from temporary files) and removals.
    const std::string temp = "C:\\\\WINDOWS\\\\TEMP\\\\VLT[0-9A-F]+\\.tmp";
    const std::string from = nt() ? "pending operation [0-9]+: " : "wininit.ini line [0-9]+: ";
    const std::string done = nt() ? " \\(replacing it\\): done" : ": done";
    const std::vector<std::string> expected = {
        from + "move " + temp + " to C:\\\\APPS2\\\\A.DLL" + done,
        from + "delete C:\\\\APPS1\\\\B.DLL: done",
        from + "move " + temp + " to " + std::regex_replace(sys, std::regex("\\\\"), "\\\\") +
            "F.DLL" + done,
        from + "delete C:\\\\APPS1\\\\F.DLL: done",
        from + "move " + temp + " to C:\\\\Tom & Jerry\\\\H.DLL" + done,
        nt() ? "PendingFileRenameOperations cleared" : "wininit.ini renamed to wininit.bak",
    };
    Strings restart;
    for (const std::string& line : Lines(run.out)) {
        if (line.starts_with("restart: ")) {
            restart.push_back(line.substr(9));
        }
    }
    ASSERT_EQ(restart.size(), expected.size()) << run.out;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(std::regex_match(restart[i], std::regex(expected[i]))) << restart[i];
    }
    if (nt()) {
        EXPECT_FALSE(machine.Exists("C:\\WINDOWS\\wininit.bak"));
        EXPECT_EQ(
            testsupport::RegistryText(
                machine, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager")
                .find("PendingFileRenameOperations"),
            std::string::npos);
    } else {
        const Strings wininit = Lines(machine.Read("C:\\WINDOWS\\wininit.bak"));
        ASSERT_EQ(wininit.size(), 6u);
        EXPECT_EQ(wininit[0], "[Rename]");
        EXPECT_TRUE(std::regex_match(wininit[1], std::regex("C:\\\\APPS2\\\\A.DLL=" + temp)));
        EXPECT_EQ(wininit[2], "NUL=C:\\APPS1\\B.DLL");
        EXPECT_TRUE(
            std::regex_match(wininit[3], std::regex("C:\\\\WINDOWS\\\\SYSTEM\\\\F.DLL=" + temp)));
        EXPECT_EQ(wininit[4], "NUL=C:\\APPS1\\F.DLL");
        EXPECT_TRUE(std::regex_match(wininit[5], std::regex("C:\\\\Tom & Jerry\\\\H.DLL=" + temp)));
        EXPECT_FALSE(machine.Exists("C:\\WINDOWS\\wininit.ini"));
    }

    // The files after the restart.
    EXPECT_EQ(machine.Read("C:\\APPS1\\A.DLL"), a2);
    EXPECT_EQ(machine.Read("C:\\APPS2\\A.DLL"), a2);
    EXPECT_FALSE(machine.Exists("C:\\APPS1\\B.DLL"));
    EXPECT_EQ(machine.Read(sys + "B.DLL"), b2);
    EXPECT_EQ(machine.Read("C:\\APPS2\\C.DLL"), c1);
    EXPECT_EQ(machine.Read("C:\\APPS1\\D.DLL"), d1);
    EXPECT_EQ(machine.Read("C:\\APPS2\\D.DLL"), d2);
    EXPECT_EQ(machine.Read("C:\\APPS1\\E.DLL"), e0);
    EXPECT_EQ(machine.Read("C:\\APPS2\\E.DLL"), e1);
    EXPECT_EQ(machine.Read(sys + "F.DLL"), f3);
    EXPECT_FALSE(machine.Exists("C:\\APPS1\\F.DLL"));
    EXPECT_EQ(machine.Read("C:\\APPS1\\G.DLL"), c1);
    EXPECT_EQ(machine.Read("C:\\Tom & Jerry\\H.DLL"), h2);
    EXPECT_EQ(machine.Read("C:\\APPS1\\X.OCX"), a1);
    EXPECT_EQ(machine.Read("C:\\APPS2\\X.OCX"), a2);

    // Every replaced or removed file was backed up first.
    const std::string sysName = nt() ? "C~~WINDOWS~SYSTEM32~" : "C~~WINDOWS~SYSTEM~";
    EXPECT_EQ(Backup("C~~APPS2~A.DLL.backup"), a1);
    EXPECT_EQ(Backup("C~~APPS1~B.DLL.backup"), b1);
    EXPECT_EQ(Backup(sysName + "F.DLL.backup"), f1);
    EXPECT_EQ(Backup("C~~APPS1~F.DLL.backup"), f3);
    EXPECT_EQ(Backup("C~~Tom & Jerry~H.DLL.backup"), h1);

    // Counts: the moved copy's 2 added to the system copy's 3, dropped with the removed files.
    const std::string counts = testsupport::RegistryText(machine, kCounts);
    EXPECT_NE(counts.find("\"" + Escaped(sys) + "F.DLL\"=dword:00000005"), std::string::npos)
        << counts;
    EXPECT_EQ(counts.find("APPS1\\\\F.DLL"), std::string::npos) << counts;
    EXPECT_EQ(counts.find("APPS1\\\\B.DLL"), std::string::npos) << counts;
    EXPECT_NE(counts.find("\"C:\\\\APPS2\\\\A.DLL\"=dword:00000001"), std::string::npos);

    const std::string settings =
        testsupport::RegistryText(machine, "HKEY_CURRENT_USER\\Software\\Korvane\\Velto");
    EXPECT_TRUE(std::regex_search(
        settings,
        std::regex(
            "\"LastScanDateTime\"=\"[0-9]{4}-[0-9]{2}-[0-9]{2}-[0-9]{2}:[0-9]{2}:[0-9]{2}\"")))
        << settings;
    EXPECT_NE(settings.find("\"AutoScan\"=\"Y\""), std::string::npos);

    // The report, written once by the scan and offered once for viewing (and declined, with
    // nobody there to answer); the run ends saying where it and the backups are.
    const Strings reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(Count(run.err, "Do you wish to view the report?"), 1u) << run.err;
    EXPECT_NE(run.out.find("report: C:\\WINDOWS\\TEMP\\VLT"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("backups: "), std::string::npos) << run.out;
    const std::string& report = reports[0];
    EXPECT_EQ(Count(report, "<th colspan=\"2\"><font size=\"1\">Files Backed Up</font></th>"), 1u);
    EXPECT_EQ(Count(report, "<td width=\"50%\"><font size=\"1\">C:\\APPS2\\A.DLL</font></td>"),
              2u);  // the backup's file and the copy's source
    EXPECT_EQ(Count(report, "<tr><td colspan=\"2\" width=\"100%\"><font size=\"1\">"), 4u)
        << "two removals and two notations";
    EXPECT_NE(report.find(">C:\\APPS1\\B.DLL</font></td>\r\n</tr>"), std::string::npos);
    EXPECT_NE(report.find(">C:\\Tom &amp; Jerry\\H.DLL<"), std::string::npos);
    EXPECT_EQ(report.find("Tom & Jerry"), std::string::npos);
    EXPECT_NE(report.find("Notations"), std::string::npos);
    EXPECT_NE(report.find("D.DLL"), std::string::npos);
    EXPECT_NE(report.find("E.DLL"), std::string::npos);
    EXPECT_EQ(report.find("C.DLL"), std::string::npos);
    EXPECT_EQ(report.find("G.DLL"), std::string::npos);
    EXPECT_EQ(report.find("X.OCX"), std::string::npos);
    EXPECT_NE(report.find("<td width=\"50%\">15</td></tr>"), std::string::npos)
        << "the fifteen DLL files listed";
}

// Without recommendations acted on, the automatic repair has no copy it may spread: every
// group stays as it is, nothing waits for a restart, and the report says why per group.
TEST_P(UnattendedEndToEnd, WithoutRecommendationsNothingIsRepairedAndTheReportSaysWhy) {
    const std::pair<const char*, const char*> settings[] = {
        {"ShowRecommended", "recommendations are off"},
        {"SmartCheck", "smart checking is off"},
    };
    for (const auto& [name, why] : settings) {
        SCOPED_TRACE(name);
        const std::string other =
            std::string(name) == "SmartCheck" ? "ShowRecommended" : "SmartCheck";
        testsupport::SeedRegistry(
            machine,
            std::string("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Korvane\\Velto]\r\n\"") +
                name + "\"=\"N\"\r\n\"" + other + "\"=\"Y\"\r\n");
        std::filesystem::remove_all(machine.HostPath("C:\\WINDOWS\\TEMP"));
        std::filesystem::create_directories(machine.HostPath("C:\\WINDOWS\\TEMP"));
        const VltResult run = Unattended(machine.folder());
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.out.find("restart: "), std::string::npos) << run.out;
        EXPECT_FALSE(machine.Exists("C:\\WINDOWS\\wininit.ini"));
        EXPECT_FALSE(machine.Exists("C:\\WINDOWS\\wininit.bak"));
        EXPECT_EQ(machine.Read("C:\\APPS2\\A.DLL"), a1);
        EXPECT_TRUE(machine.Exists("C:\\APPS1\\B.DLL"));
        EXPECT_EQ(machine.Read(sys + "F.DLL"), f1);
        EXPECT_EQ(machine.Read("C:\\Tom & Jerry\\H.DLL"), h1);

        const Strings reports = Reports();
        ASSERT_FALSE(reports.empty());
        const std::string& report = reports[0];
        EXPECT_NE(report.find("Notations"), std::string::npos);
        EXPECT_EQ(report.find("Files Backed Up"), std::string::npos);
        for (const char* group : {"A.DLL", "B.DLL", "F.DLL", "H.DLL"}) {
            EXPECT_NE(report.find(std::string(group) +
                                  ": not repaired, copies differ and no copy is recommended (" +
                                  why + ")"),
                      std::string::npos)
                << group << "\n"
                << report;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Platforms, UnattendedEndToEnd,
                         testing::Values(machine::Platform::Win9x, machine::Platform::NT),
                         [](const auto& info) {
                             return info.param == machine::Platform::NT ? "NT" : "Win9x";
                         });

}  // namespace
