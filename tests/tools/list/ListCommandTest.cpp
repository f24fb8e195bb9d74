// velto-machine list, run as a separate process on a machine built for the test, and compared
// with find selecting the same files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/FileText.h"
#include "tests/support/MachineBuilder.h"

extern char** environ;

namespace {

using testsupport::Slurp;

using Lines = std::vector<std::string>;

struct ToolRun {
    int status = -1;
    Lines out;
    std::string err;
};

Lines SplitLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Runs a program with its output in files of the machine folder.
ToolRun RunProgram(const testsupport::MachineBuilder& machine, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const auto out = machine.folder() / "stdout";
    const auto err = machine.folder() / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ToolRun run;
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = SplitLines(Slurp(out));
    run.err = Slurp(err);
    return run;
}

ToolRun List(const testsupport::MachineBuilder& machine, Lines options) {
    Lines args{VELTO_MACHINE_TOOL, "list", machine.folder().string()};
    args.insert(args.end(), options.begin(), options.end());
    return RunProgram(machine, args);
}

TEST(ListCommand, SortedPathsOfTheChosenFilesAndFolders) {
    testsupport::MachineBuilder machine;
    machine.Drive('D', machine::DriveType::Fixed)
        .Drive('E', machine::DriveType::CdRom)
        .File("C:\\WINDOWS\\SYSTEM\\COMCTL32.DLL")
        .File("C:\\APP\\comctl32.dll")
        .File("C:\\APP\\OLD\\B.DLL")
        .File("C:\\APP\\GRID.OCX")
        .File("D:\\TOOLS\\A.DLL")
        .File("E:\\SETUP\\A.DLL");
    const struct {
        const char* what;
        Lines options;
        Lines listed;
    } cases[] = {
        {"every fixed drive, *.dll",
         {},
         {"D:\\TOOLS\\A.DLL", "C:\\APP\\OLD\\B.DLL", "C:\\APP\\comctl32.dll",
          "C:\\WINDOWS\\SYSTEM\\COMCTL32.DLL"}},
        {"patterns, folders and exclusions",
         {"--filter", "*.ocx;*.dll", "--paths", "C:\\APP", "--exclude", "c:\\app\\old"},
         {"C:\\APP\\comctl32.dll", "C:\\APP\\GRID.OCX"}},
        {"exclusions repeat",
         {"--paths=C:\\", "--exclude", "C:\\APP", "--exclude=C:\\WINDOWS"},
         {}},
    };
    for (const auto& c : cases) {
        const ToolRun run = List(machine, c.options);
        EXPECT_EQ(run.status, 0) << c.what << ": " << run.err;
        EXPECT_EQ(run.out, c.listed) << c.what;
    }
    EXPECT_EQ(RunProgram(machine, {VELTO_MACHINE_TOOL, "list"}).status, 2);
    EXPECT_EQ(List(machine, {"--paths", ""}).status, 1);
}

// On a tree of plain folders (nothing hidden, nothing excluded) the listing holds exactly the
// files find selects.
TEST(ListCommand, SelectsWhatFindSelects) {
    testsupport::MachineBuilder machine;
    std::mt19937 rng(7);
    const char* extensions[] = {"dll", "DLL", "Dll", "ocx", "txt", "dllx", "dl"};
    for (int n = 0; n < 400; ++n) {
        std::string folder = "C:\\T";
        for (unsigned depth = rng() % 4; depth > 0; --depth) {
            folder += "\\d" + std::to_string(rng() % 3);
        }
        machine.File(folder + "\\f" + std::to_string(n) + "." + extensions[rng() % 7]);
    }
    const ToolRun listed = List(machine, {"--paths", "C:\\T"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const auto drive = machine.HostPath("C:\\");
    const ToolRun found = RunProgram(machine, {"find", (drive / "T").string(), "-iname", "*.dll"});
    ASSERT_EQ(found.status, 0) << found.err;

    Lines fromFind;
    for (const std::string& host : found.out) {
        std::string windows =
            "C:\\" + std::filesystem::path(host).lexically_relative(drive).string();
        std::replace(windows.begin(), windows.end(), '/', '\\');
        fromFind.push_back(windows);
    }
    Lines fromList = listed.out;
    std::sort(fromFind.begin(), fromFind.end());
    std::sort(fromList.begin(), fromList.end());
    EXPECT_FALSE(fromList.empty());
    EXPECT_EQ(fromList, fromFind);
}

}  // namespace
