// The program vlt as a user starts it: its host options, the unattended run on a machine
// without a display (console dialogs, no terminal), the exit status, and the machine's
// restart when the program ends.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"
#include "tests/support/RunProgram.h"
#include "tools/imagewriter/ImageWriter.h"
#include "vlt/HostOptions.h"

namespace {

TEST(HostOptions, TakeTheHostsOptionsOutAndJoinTheRest) {
    struct Case {
        std::vector<std::string> arguments;
        std::optional<std::string> machine;
        std::string commandLine;
        bool help = false;
    } const cases[] = {
        {{"--machine", "/m", "-S"}, "/m", "-S"},
        {{"-s", "--machine", "/m", "-TRACE:night"}, "/m", "-s -TRACE:night"},
        // A host path is never part of the program's command line, "-S" in it or not.
        {{"--machine=/home/x-S-machine"}, "/home/x-S-machine", ""},
        {{"--machine", "/tmp/-S"}, "/tmp/-S", ""},
        {{"a.ini", "/q", "--", "--machine", "x"}, std::nullopt, "a.ini /q --machine x"},
        {{"--help", "-S"}, std::nullopt, "-S", true},
        {{}, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        const vltmain::HostOptions options = vltmain::ParseHostOptions(c.arguments);
        EXPECT_EQ(options.error, "");
        EXPECT_EQ(options.machine, c.machine);
        EXPECT_EQ(options.commandLine, c.commandLine);
        EXPECT_EQ(options.help, c.help);
    }
}

TEST(HostOptions, RejectWhatTheyDoNotKnow) {
    EXPECT_EQ(vltmain::ParseHostOptions({"--bogus"}).error, "unrecognized option '--bogus'");
    EXPECT_EQ(vltmain::ParseHostOptions({"-S", "--machine"}).error,
              "option '--machine' needs the machine folder");
}

struct VltRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs vlt with no terminal (every question takes its least destructive answer); the test
// environment launches nothing. Each run captures its output in a folder of its own, so
// tests running side by side never read each other's output.
VltRun RunVlt(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{VLT_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const testsupport::ProgramRun program = testsupport::RunProgram(argv);
    return {program.status, program.out, program.err};
}

TEST(Program, HelpVersionAndBadOptions) {
    const VltRun help = RunVlt({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: vlt [--machine DIR|NAME]")) << help.out;

    const VltRun version = RunVlt({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("vlt (Velto) 1.0.12\n")) << version.out;

    const VltRun bad = RunVlt({"--bogus", "-S"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("unrecognized option '--bogus'"), std::string::npos) << bad.err;
}

TEST(Program, AMissingMachineIsExplained) {
    // Started from the menu but without a display, nobody could see a window: the same
    // message and status as from a terminal.
    for (const bool desktop : {false, true}) {
        std::vector<std::string> arguments{"--machine", "/nonexistent/velto-machine", "-S"};
        if (desktop) {
            arguments.insert(arguments.begin(), "--desktop");
        }
        const VltRun run = RunVlt(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("/nonexistent/velto-machine"), std::string::npos) << run.err;
    }
}

std::string Dll(const std::string& version) {
    imagewriter::StringTable table;
    table.strings = {
        {"CompanyName", "Korvane"}, {"FileVersion", version}, {"ProductVersion", version}};
    imagewriter::VersionInfo info;
    info.tables = {table};
    const imagewriter::Image image = imagewriter::BuildImage(imagewriter::VersionImage(info));
    return std::string(image.bytes.begin(), image.bytes.end());
}

class UnattendedRun : public testing::Test {
  protected:
    UnattendedRun() {
        machine.Folder("C:\\Program Files\\Velto");
        testsupport::SeedRegistry(machine);
    }

    VltRun Vlt(const std::string& switches) {
        return RunVlt({"--machine", machine.folder().string(), switches});
    }

    testsupport::MachineBuilder machine;
};

TEST_F(UnattendedRun, LowerCaseSRepairsAndRestartsTheMachineAtTheEnd) {
    const std::string newer = Dll("2.0");
    machine.File("C:\\APP\\N.DLL", Dll("1.0")).File("C:\\OTHER\\N.DLL", newer);
    const VltRun run = Vlt("-s");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("restart: wininit.ini line"), std::string::npos) << run.out;
    // The restart has carried the copy out and put wininit.ini aside.
    EXPECT_EQ(machine.Read("C:\\APP\\N.DLL"), newer);
    EXPECT_TRUE(machine.Exists("C:\\WINDOWS\\wininit.bak"));
    EXPECT_FALSE(machine.Exists("C:\\WINDOWS\\wininit.ini"));
    EXPECT_NE(run.err.find("Do you wish to view the report?"), std::string::npos);
}

TEST_F(UnattendedRun, ARestartWithAMoveThatFailedEndsWithStatusThree) {
    // A line another program left behind names a file that is gone; the run's own move still
    // happens, and the caller learns that not everything did.
    machine.File("C:\\WINDOWS\\wininit.ini", "[Rename]\r\nNUL=C:\\GONE\\X.DLL\r\n");
    const std::string newer = Dll("2.0");
    machine.File("C:\\APP\\N.DLL", Dll("1.0")).File("C:\\OTHER\\N.DLL", newer);
    const VltRun run = Vlt("-S");
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_NE(run.err.find("some of the moves scheduled for the restart failed"), std::string::npos)
        << run.err;
    EXPECT_EQ(machine.Read("C:\\APP\\N.DLL"), newer);
}

TEST_F(UnattendedRun, NothingToDoEndsWithoutARestart) {
    const std::string same = Dll("1.0");
    machine.File("C:\\APP\\S.DLL", same).File("C:\\OTHER\\S.DLL", same);
    const VltRun run = Vlt("-S");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("No Action taken"), std::string::npos) << run.err;
    EXPECT_FALSE(machine.Exists("C:\\WINDOWS\\wininit.bak"));
}

TEST_F(UnattendedRun, TracingWritesTheTraceFileBesideTheProgram) {
    const VltRun run = Vlt("-S -TRACE");
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string trace = machine.Read("C:\\Program Files\\Velto\\VLT.trc");
    EXPECT_NE(trace.find(": +Enter modVelto.Main\r\n"), std::string::npos);
    EXPECT_NE(trace.find(": +Enter modVLTWork.StartScan\r\n"), std::string::npos);
    EXPECT_NE(trace.find("Program end: "), std::string::npos);
}

TEST_F(UnattendedRun, AnAbortedRunEndsWithTheRunTimeErrorAndANonZeroStatus) {
    // A machine whose temporary folder is missing: the copy for the restart cannot be made,
    // and with nobody at a terminal the error box takes Abort.
    machine.ProfileValue("Machine", "TempDir", "C:\\NOWHERE");
    machine.File("C:\\APP\\N.DLL", Dll("1.0")).File("C:\\OTHER\\N.DLL", Dll("2.0"));
    const VltRun run = Vlt("-S");
    EXPECT_EQ(run.status, 1);
    std::size_t offered = 0;
    for (std::size_t at = run.err.find("Application Error!"); at != std::string::npos;
         at = run.err.find("Application Error!", at + 1)) {
        ++offered;
    }
    EXPECT_EQ(offered, 1u) << "Abort ends the run; no enclosing step asks again\n" << run.err;
    EXPECT_NE(run.err.find("Run-time error '76':"), std::string::npos) << run.err;
}

}  // namespace
