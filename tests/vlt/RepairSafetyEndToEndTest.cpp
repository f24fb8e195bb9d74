// The unattended check on machines where a careless repair would harm the copy it keeps or
// report what did not happen: vlt --machine M -S, then the files once the restart has run,
// the backups and the report. Each row names the mend it shows.
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/restart/Boot.h"
#include "platform/win32/kernel32/Files.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"
#include "tests/support/RunProgram.h"
#include "tools/imagewriter/ImageWriter.h"

namespace {

// A library image with these version texts (an empty text is left out).
std::string Image(const std::string& fileVersion, const std::string& productVersion,
                  imagewriter::Format format = imagewriter::Format::Pe32,
                  const std::string& company = "Korvane") {
    imagewriter::StringTable table;
    for (const auto& [name, value] :
         {std::pair{"CompanyName", company}, std::pair{"FileVersion", fileVersion},
          std::pair{"ProductVersion", productVersion}}) {
        if (!value.empty()) {
            table.strings.push_back({name, value});
        }
    }
    imagewriter::VersionInfo info;
    info.tables = {table};
    const imagewriter::Image image =
        imagewriter::BuildImage(imagewriter::VersionImage(info, format));
    return std::string(image.bytes.begin(), image.bytes.end());
}

std::string Dll(const std::string& version) {
    return Image(version, version);
}

testsupport::ProgramRun Unattended(const testsupport::MachineBuilder& machine) {
    return testsupport::RunProgram({VLT_BINARY, "--machine", machine.folder().string(), "-S"});
}

std::string Escaped(const std::string& path) {
    return std::regex_replace(path, std::regex("\\\\"), "\\\\");
}

// The report the run left in the temporary folder.
std::string Report(const testsupport::MachineBuilder& machine) {
    for (const auto& entry :
         std::filesystem::directory_iterator(machine.HostPath("C:\\WINDOWS\\TEMP"))) {
        const std::string name = "C:\\WINDOWS\\TEMP\\" + entry.path().filename().string();
        if (const std::string text = machine.Read(name); text.starts_with("<html>")) {
            return text;
        }
    }
    return {};
}

class RepairSafety : public testing::TestWithParam<machine::Platform> {
  protected:
    RepairSafety() {
        machine.Platform(GetParam());
        sys = GetParam() == machine::Platform::NT ? "C:\\WINDOWS\\SYSTEM32\\"
                                                  : "C:\\WINDOWS\\SYSTEM\\";
        machine.Folder("C:\\Program Files\\Velto").Folder(sys.substr(0, sys.size() - 1));
        testsupport::SeedRegistry(machine);
    }

    testsupport::MachineBuilder machine;
    std::string sys;
};

TEST_P(RepairSafety, NoRepairHarmsTheCopyItKeepsOrReportsWhatDidNotHappen) {
    const std::string l1 = Dll("1.0"), l2 = Dll("2.0");
    const std::string v900 = Dll("5.0.900.0"), v2600 = Dll("5.0.2600.0");
    const std::string w5 = Dll("5.0"), w10 = Dll("10.0");
    const std::string m1 = Dll("1.0"), m3 = Image("3.0", ""), m2 = Dll("2.0");
    const std::string n1 = Dll("1.0"), n2 = Dll("2.0");
    const std::string f1 = Dll("1.0"), f2 = Dll("2.0"), f3 = Dll("3.0");
    const std::string p32 = Dll("1.0"), p64 = Image("2.0", "2.0", imagewriter::Format::Pe32Plus);
    // 1: the system folder reached a second time through a link inside the drive.
    machine.File(sys + "L.DLL", l1).File("C:\\APPS1\\L.DLL", l2);
    machine.Symlink("C:\\SYSLINK", machine.HostPath(sys.substr(0, sys.size() - 1)));
    // 2: versions that text order gets wrong.
    machine.File("C:\\APPS1\\V.DLL", v900).File("C:\\APPS2\\V.DLL", v2600);
    machine.File("C:\\APPS1\\W.DLL", w10).File("C:\\APPS2\\W.DLL", w5);
    // 3: a copy without a product version, never compared with the others.
    machine.File("C:\\APPS1\\M.DLL", m1).File("C:\\APPS2\\M.DLL", m3).File("C:\\APPS3\\M.DLL", m2);
    // 4: exclusions listed after a long one (the registry lists names in order): 255 bytes
    // held neither a folder of 250 ASCII letters with the "  ***" mark nor one of 200
    // accented letters.
    std::string accented = "C:\\EXCL\\";
    for (int i = 0; i < 200; ++i) {
        accented += "\xC3\xA9";
    }
    machine.File("C:\\APPS1\\N.DLL", n2).File("C:\\EXCL\\N.DLL", n1);
    machine.File("C:\\APPS1\\O.DLL", n2).File("C:\\ZOO\\O.DLL", n1);
    testsupport::SeedRegistry(
        machine,
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Korvane\\Velto\\Exclusions]\r\n"
        "\"C:\\\\" +
            std::string(250, 'A') + "  ***\"=\"\"\r\n\"C:\\\\EXCL\"=\"\"\r\n\"" +
            Escaped(accented) + "\"=\"\"\r\n\"C:\\\\ZOO\"=\"\"\r\n");
    // 7: two folders whose backups share one name.
    machine.File("C:\\APPS1\\F.DLL", f3).File("C:\\X\\Y\\F.DLL", f1).File("C:\\X~Y\\F.DLL", f2);
    // 11: a 32-bit and a 64-bit image of one name.
    machine.File("C:\\APPS1\\P.DLL", p32).File("C:\\APPS2\\P.DLL", p64);

    const testsupport::ProgramRun run = Unattended(machine);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err.find("failed"), std::string::npos) << run.err;

    const struct {
        const char* mend;
        std::string path;
        std::optional<std::string> content;  // nullopt: removed
    } after[] = {
        // The moved copy was deleted again under the link's path, leaving no L.DLL at all.
        {"1 one file, two paths", sys + "L.DLL", l2},
        {"1 one file, two paths", "C:\\SYSLINK\\L.DLL", l2},
        {"1 one file, two paths", "C:\\APPS1\\L.DLL", std::nullopt},
        {"2 versions by number", "C:\\APPS1\\V.DLL", v2600},
        {"2 versions by number", "C:\\APPS2\\W.DLL", w10},
        {"3 a copy never compared", "C:\\APPS1\\M.DLL", m1},
        {"3 a copy never compared", "C:\\APPS2\\M.DLL", m3},
        {"3 a copy never compared", "C:\\APPS3\\M.DLL", m2},
        {"4 exclusions never lost", "C:\\EXCL\\N.DLL", n1},
        {"4 exclusions never lost", "C:\\ZOO\\O.DLL", n1},
        {"7 backup names", "C:\\X\\Y\\F.DLL", f3},
        {"7 backup names", "C:\\X~Y\\F.DLL", f3},
        {"11 processors", "C:\\APPS1\\P.DLL", p32},
        {"11 processors", "C:\\APPS2\\P.DLL", p64},
    };
    for (const auto& a : after) {
        SCOPED_TRACE(std::string(a.mend) + ": " + a.path);
        EXPECT_EQ(machine.Exists(a.path), a.content.has_value());
        if (a.content) {
            EXPECT_TRUE(machine.Read(a.path) == *a.content) << "another file's bytes";
        }
    }

    const std::string report = Report(machine);
    ASSERT_FALSE(report.empty());
    const std::pair<const char*, const char*> notations[] = {
        {"3",
         "M.DLL: not repaired, a copy has no version information, so it was never compared "
         "with the others"},
        {"11",
         "P.DLL: not repaired, the copies are for different processors and no copy is "
         "recommended"},
    };
    for (const auto& [mend, text] : notations) {
        EXPECT_NE(report.find(std::string(">") + text + "<"), std::string::npos) << mend;
    }
    EXPECT_EQ(report.find("N.DLL"), std::string::npos)
        << "4: the excluded copy is no copy" << report << run.err;
    EXPECT_EQ(report.find("O.DLL"), std::string::npos) << "4: the excluded copy is no copy";

    // 7: every backup row names the file that holds that row's original bytes.
    const std::regex row(
        "<tr><td width=\"50%\"><font size=\"1\">([^<]*)</font></td><td width=\"50%\"><font "
        "size=\"1\">([^<]*\\.backup[.0-9]*)</font></td></tr>");
    const std::pair<std::string, std::string> originals[] = {{"C:\\X\\Y\\F.DLL", f1},
                                                             {"C:\\X~Y\\F.DLL", f2}};
    int rows = 0;
    for (auto match = std::sregex_iterator(report.begin(), report.end(), row);
         match != std::sregex_iterator(); ++match) {
        for (const auto& [path, bytes] : originals) {
            if ((*match)[1] == path) {
                ++rows;
                EXPECT_TRUE(machine.Read((*match)[2].str()) == bytes)
                    << path << " in " << (*match)[2];
            }
        }
    }
    EXPECT_EQ(rows, 2);
}

// 8: an Abort in the middle of the action list (no terminal: every error box answers Abort).
// The removal scheduled before it is withdrawn, and the next start changes nothing.
TEST_P(RepairSafety, AnAbortedRunLeavesNothingForTheNextStart) {
    // No temporary folder: the removal of A's other copy is scheduled, then B's copy cannot be
    // made and the error box takes Abort.
    machine.ProfileValue("Machine", "TempDir", "C:\\NOWHERE");
    const std::string a1 = Dll("1.0"), a2 = Dll("2.0"), b1 = Dll("1.0"), b2 = Dll("2.0");
    machine.File("C:\\APPS1\\A.DLL", a1).File(sys + "A.DLL", a2);
    machine.File("C:\\APPS1\\B.DLL", b2).File("C:\\APPS2\\B.DLL", b1);
    const testsupport::ProgramRun run = Unattended(machine);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("Changes taken back"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("restart: "), std::string::npos) << run.out;

    const win32::BootReport boot = win32::BootMachine();
    EXPECT_FALSE(boot.failed);
    EXPECT_TRUE(boot.operations.empty());
    EXPECT_EQ(machine.Read("C:\\APPS1\\A.DLL"), a1);
    EXPECT_EQ(machine.Read(sys + "A.DLL"), a2);
    EXPECT_EQ(machine.Read("C:\\APPS2\\B.DLL"), b1);
}

// An earlier run, cut short, left the same removal waiting: the aborted run added nothing for
// it, so it takes nothing back, and the next start still carries out the earlier run's line.
TEST_P(RepairSafety, AnAbortedRunLeavesWhatWaitedBeforeIt) {
    machine.ProfileValue("Machine", "TempDir", "C:\\NOWHERE");
    const std::string a1 = Dll("1.0"), a2 = Dll("2.0"), b1 = Dll("1.0"), b2 = Dll("2.0");
    machine.File("C:\\APPS1\\A.DLL", a1).File(sys + "A.DLL", a2);
    machine.File("C:\\APPS1\\B.DLL", b2).File("C:\\APPS2\\B.DLL", b1);
    if (GetParam() == machine::Platform::NT) {
        ASSERT_TRUE(win32::MoveFileExA("C:\\APPS1\\A.DLL", std::nullopt,
                                       win32::MOVEFILE_DELAY_UNTIL_REBOOT));
    } else {
        machine.File("C:\\WINDOWS\\wininit.ini", "[Rename]\r\nNUL=C:\\APPS1\\A.DLL\r\n");
    }
    const testsupport::ProgramRun run = Unattended(machine);
    EXPECT_EQ(run.status, 1) << run.err;

    const win32::BootReport boot = win32::BootMachine();
    EXPECT_FALSE(boot.failed);
    EXPECT_EQ(boot.operations.size(), 1u);
    EXPECT_FALSE(machine.Exists("C:\\APPS1\\A.DLL"));
    EXPECT_EQ(machine.Read(sys + "A.DLL"), a2);
    EXPECT_EQ(machine.Read("C:\\APPS2\\B.DLL"), b1);
}

INSTANTIATE_TEST_SUITE_P(Platforms, RepairSafety,
                         testing::Values(machine::Platform::Win9x, machine::Platform::NT),
                         [](const auto& info) {
                             return info.param == machine::Platform::NT ? "NT" : "Win9x";
                         });

}  // namespace
