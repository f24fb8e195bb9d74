#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/machine/IniDocument.h"
#include "platform/machine/Machine.h"
#include "tests/support/FileText.h"
#include "tests/support/RunProgram.h"

namespace {

using testsupport::Slurp;

class VeltoMachine : public ::testing::Test {
  protected:
    VeltoMachine() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-cli-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
    }
    ~VeltoMachine() override {
        machine::SetCurrentMachine(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    static testsupport::ProgramRun Tool(std::vector<std::string> args) {
        args.insert(args.begin(), VELTO_MACHINE_TOOL);
        return testsupport::RunProgram(args);
    }

    std::filesystem::path dir_;
};

TEST_F(VeltoMachine, CreateWritesAWholeMachineThatInfoDescribes) {
    const auto m = dir_ / "win98";
    const auto created = Tool({"create", m.string()});
    ASSERT_EQ(created.status, 0) << created.err;
    for (const char* folder : {"WINDOWS/SYSTEM", "WINDOWS/TEMP", "Program Files/Velto",
                               "My Documents", "WINDOWS/Start Menu/Programs/StartUp"}) {
        EXPECT_TRUE(std::filesystem::is_directory(m / "drives" / "C" / folder)) << folder;
    }
    const auto opened = machine::Machine::Open(m);
    EXPECT_EQ(opened->profile().platform(), machine::Platform::Win9x);
    EXPECT_EQ(opened->profile().systemDir(), "C:\\WINDOWS\\SYSTEM");
    const auto pad = std::filesystem::path(VELTO_SOURCE_DIR) / "resources" / "pad_file.xml";
    if (std::filesystem::exists(pad)) {
        EXPECT_TRUE(std::filesystem::exists(m / "drives/C/Program Files/Velto/pad_file.xml"));
    }
    if (std::filesystem::exists(pad.parent_path() / "help" / "index.htm")) {
        EXPECT_TRUE(std::filesystem::exists(m / "drives/C/Program Files/Velto/help/index.htm"));
    }

    const auto info = Tool({"info", m.string()});
    ASSERT_EQ(info.status, 0) << info.err;
    for (const std::string& part :
         std::vector<std::string>{"9x (Windows 98) 4.10.2222 A", "C:\\WINDOWS\\SYSTEM", "C:  fixed",
                                  (m / "drives" / "C").string(), "free of"}) {
        EXPECT_NE(info.out.find(part), std::string::npos) << part << "\n" << info.out;
    }
}

TEST_F(VeltoMachine, NtMachinesAndDrivesWithoutMedium) {
    const auto m = dir_ / "xp";
    ASSERT_EQ(Tool({"create", "--platform", "nt", m.string()}).status, 0);
    EXPECT_TRUE(std::filesystem::is_directory(m / "drives/C/WINDOWS/SYSTEM32"));
    auto profile = machine::IniDocument::Parse(Slurp(m / "machine.ini"));
    profile.Set("Drives", "A", "removable:");
    profile.Set("Drives", "Z", "fixed:/");
    std::ofstream(m / "machine.ini", std::ios::trunc) << profile.Serialize();
    const auto info = Tool({"info", m.string()});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("NT (Windows XP) 5.1.2600"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("A:  removable no medium"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Z:  fixed     left out: its folder / is the host's root; it is "
                            "never listed or written"),
              std::string::npos)
        << info.out;
}

TEST_F(VeltoMachine, CreateAcceptsAnEmptyFolderAndTheDemoOption) {
    std::filesystem::create_directory(dir_ / "empty");
    EXPECT_EQ(Tool({"create", (dir_ / "empty").string(), "--demo"}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "empty" / "machine.ini"));
}

TEST_F(VeltoMachine, MistakesGiveOneLineAndStatusTwo) {
    std::filesystem::create_directory(dir_ / "full");
    std::ofstream(dir_ / "full" / "keep.txt") << "mine";
    std::ofstream(dir_ / "file") << "x";
    std::filesystem::create_directory(dir_ / "garbage");
    std::ofstream(dir_ / "garbage" / "machine.ini") << "\x7f\x01junk\n";
    // Each name fits, the whole does not leave the machine's files room below the host's limit.
    std::filesystem::path deep = dir_;
    for (int i = 0; i < 20; ++i) {
        deep /= std::string(200, 'd');
    }
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"create", (dir_ / "full").string()}, "not an empty folder"},
        {{"create", (dir_ / "file").string()}, "not an empty folder"},
        {{"create"}, "usage: velto-machine create"},
        {{"create", (dir_ / "a").string(), (dir_ / "b").string()}, "usage"},
        {{"create", (dir_ / "n").string(), "--platform", "xp"}, "9x or nt"},
        {{"create", (dir_ / "n").string(), "--platform"}, "--platform needs a value"},
        {{"create", (dir_ / "n").string(), "--fast"}, "unknown option --fast"},
        {{"info", dir_.string()}, "velto-machine create " + dir_.string()},
        {{"info", (dir_ / "none").string()}, "velto-machine create"},
        {{"info", (dir_ / "garbage").string()}, "line 1 is neither"},
        {{"info", (dir_ / "file").string()}, "is a file, not a machine folder"},
        {{"create", ""}, "no machine folder was named (the name given is empty)"},
        {{"create", (dir_ / std::string(300, 'x')).string()}, "is too long for the host"},
        {{"create", deep.string()}, "is too long for the host"},
        {{"create", "/proc/velto-machine"}, "drive C: cannot be made there: its folder"},
        {{"info"}, "usage: velto-machine info"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{}, "usage: velto-machine <command>"},
    };
    for (const auto& c : cases) {
        const auto run = Tool(c.args);
        const std::string shown = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(run.status, 2) << shown;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << shown << ": " << run.err;
        EXPECT_EQ(run.out.find("Created"), std::string::npos) << shown << ": " << run.out;
        if (!c.args.empty()) {
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
    }
    EXPECT_EQ(Slurp(dir_ / "full" / "keep.txt"), "mine");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "n"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "a"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / std::string(200, 'd')));
}

// "--help" after a command asks for its usage, whatever else is given; nothing is done.
TEST_F(VeltoMachine, EachCommandsHelpPrintsItsUsage) {
    const struct {
        std::vector<std::string> args;
        std::string usage;
    } cases[] = {
        {{"check", "--help"},
         "usage: velto-machine check DIR|--all [--json] [--types TYPE,...] [--exclude FOLDER]... "
         "[--only NAME]... [--plan FILE] [-q|-v]\n"},
        {{"create", (dir_ / "new").string(), "--help"},
         "usage: velto-machine create DIR [--platform 9x|nt | --wine | --offline-windows "
         "[--release xp|10]] [--demo]\n"},
        {{"boot", "-h"}, "usage: velto-machine boot DIR\n"},
    };
    for (const auto& c : cases) {
        const auto run = Tool(c.args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(run.out.starts_with(c.usage)) << run.out;
        EXPECT_EQ(run.err, "");
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "new"));
}

}  // namespace
