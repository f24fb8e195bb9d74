// velto-machine reg export/import and the registry of a new machine, run as a user runs them.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/platform/registry/TestSupport.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs velto-machine with `args`; `input` (a file) becomes its standard input when given.
ToolRun VeltoMachine(const TempFolder& scratch, std::vector<std::string> args,
                     const std::filesystem::path& input = {}) {
    const auto outPath = scratch / "stdout";
    const auto errPath = scratch / "stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = ::open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::dup2(in, 0);
        std::vector<char*> argv{const_cast<char*>(VELTO_MACHINE_TOOL)};
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(VELTO_MACHINE_TOOL, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(outPath),
            ReadFileBytes(errPath)};
}

constexpr const char* kSettings =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Korvane\\Velto]\r\n"
    "@=\"Velto\"\r\n"
    "\"Backup\"=\"Y\"\r\n"
    "\"Path\"=\"C:\\\\WINDOWS\\\\TEMP\\\\\"\r\n"
    "\"Count\"=dword:0000002a\r\n"
    "\"Blob\"=hex:00,ff\r\n"
    "\"Expand\"=hex(2):25,54,45,4d,50,25,00\r\n"
    "\"Multi\"=hex(7):61,00,62,00,00\r\n"
    "\"Big\"=hex(5):00,00,00,01\r\n"
    "\"None\"=hex(0):\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Korvane\\Velto\\Exclusions]\r\n"
    "\"C:\\\\TEMP  ***\"=\"\"\r\n"
    "\r\n";

class RegTool : public ::testing::Test {
  protected:
    void SetUp() override {
        const ToolRun created = VeltoMachine(scratch_, {"create", machine_.string()});
        ASSERT_EQ(created.status, 0) << created.err;
        EXPECT_NE(created.out.find("registry.db"), std::string::npos) << created.out;
    }

    ToolRun run(std::vector<std::string> args, const std::filesystem::path& input = {}) {
        return VeltoMachine(scratch_, std::move(args), input);
    }

    TempFolder scratch_;
    std::filesystem::path machine_ = scratch_ / "machine";
};

}  // namespace

TEST_F(RegTool, NewMachineHasAnEmptyRegistry) {
    EXPECT_TRUE(std::filesystem::is_regular_file(machine_ / "registry.db"));
    // Settings start empty; the only keys a new machine has are the file types that create
    // registers under HKEY_CLASSES_ROOT.
    const ToolRun exported = run({"reg", "export", machine_.string(), "HKEY_CURRENT_USER"});
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER]\r\n\r\n");
}

TEST_F(RegTool, ImportThenExportGivesTheSameText) {
    WriteFileBytes(scratch_ / "settings.reg", kSettings);
    const ToolRun imported = run({"reg", "import", machine_.string(), (scratch_ / "settings.reg")});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "imported 2 keys and 10 values\n");

    const ToolRun exported =
        run({"reg", "export", machine_.string(), "hkcu\\software\\korvane\\velto"});
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out, kSettings);

    const ToolRun toFile = run({"reg", "export", machine_.string(), "HKEY_CURRENT_USER\\Software",
                                "-o", (scratch_ / "out.reg")});
    EXPECT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(ReadFileBytes(scratch_ / "out.reg"),
              std::string("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n[HKEY_CURRENT_"
                          "USER\\Software\\Korvane]\r\n\r\n") +
                  (kSettings + 12));

    // Standard input works as the file "-".
    WriteFileBytes(scratch_ / "more.reg", "REGEDIT4\n[HKEY_USERS\\.DEFAULT]\n\"x\"=-\n");
    const ToolRun piped = run({"reg", "import", machine_.string(), "-"}, scratch_ / "more.reg");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, "imported 1 keys and 0 values\n");
}

TEST_F(RegTool, MalformedImportNamesTheLinesAndChangesNothing) {
    WriteFileBytes(scratch_ / "settings.reg", kSettings);
    ASSERT_EQ(run({"reg", "import", machine_.string(), (scratch_ / "settings.reg")}).status, 0);
    const std::string before = run({"reg", "export", machine_.string()}).out;

    const auto bad = (scratch_ / "bad.reg").string();
    WriteFileBytes(bad,
                   "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Korvane\\Velto]\n\"Backup\"=\"N\"\n"
                   "\"Count\"=dword:xyz\n[HKEY_CURRENT_USER\\New]\n\"a\"=hex:1,2,300\n");
    const ToolRun imported = run({"reg", "import", machine_.string(), bad});
    EXPECT_EQ(imported.status, 1);
    EXPECT_NE(imported.err.find(bad + ":4: "), std::string::npos) << imported.err;
    EXPECT_NE(imported.err.find(bad + ":6: "), std::string::npos) << imported.err;
    EXPECT_NE(imported.err.find("nothing was imported"), std::string::npos) << imported.err;
    EXPECT_EQ(run({"reg", "export", machine_.string()}).out, before);
}

TEST_F(RegTool, WrongArgumentsAndBrokenRegistries) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    };
    const std::string dir = machine_.string();
    const Case cases[] = {
        {{"reg"}, 2, "expected: reg export"},
        {{"reg", "frob", dir}, 2, "expected: reg export"},
        {{"reg", "export"}, 2, "expected: reg export DIR"},
        {{"reg", "export", dir, "Software\\Korvane"}, 2, "is not a key"},
        {{"reg", "export", dir, "HKCU", "extra"}, 2, "expected: reg export DIR"},
        {{"reg", "export", dir, "-x"}, 2, "unknown option"},
        // A key not made yet is empty, not a failure.
        {{"reg", "export", dir, "HKCU\\Nothing"},
         0,
         "HKEY_CURRENT_USER\\Nothing does not exist (yet)"},
        {{"reg", "export", (scratch_ / "nowhere").string()}, 2, "nowhere"},
        {{"reg", "import", dir}, 2, "expected: reg import DIR FILE"},
        {{"reg", "import", dir, (scratch_ / "missing.reg").string()}, 1, "cannot read"},
        {{"reg", "export", dir, "-o", (scratch_ / "no" / "such" / "folder").string()},
         1,
         "cannot write"},
    };
    for (const auto& c : cases) {
        const ToolRun result = run(c.args);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    }

    const std::string garbage(3000, '\x01');
    WriteFileBytes(machine_ / "registry.db", garbage);
    const ToolRun broken = run({"reg", "export", dir});
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find((machine_ / "registry.db").string()), std::string::npos)
        << broken.err;
    WriteFileBytes(scratch_ / "settings.reg", kSettings);
    const ToolRun refused = run({"reg", "import", dir, (scratch_ / "settings.reg")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("move " + (machine_ / "registry.db").string() + " aside"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(ReadFileBytes(machine_ / "registry.db"), garbage);
}

// The way back from a damaged registry: moved aside, a new one is built from an export; a
// file that cannot be read builds none.
TEST_F(RegTool, ImportBuildsANewRegistryWhereThereIsNone) {
    std::filesystem::rename(machine_ / "registry.db", scratch_ / "registry.db.damaged");
    WriteFileBytes(machine_ / "registry.db-wal", "the log of the registry moved away");
    WriteFileBytes(scratch_ / "bad.reg", "REGEDIT4\n[HKEY_NOWHERE]\n");
    EXPECT_EQ(run({"reg", "import", machine_.string(), (scratch_ / "bad.reg")}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(machine_ / "registry.db"));

    WriteFileBytes(scratch_ / "settings.reg", kSettings);
    const ToolRun imported = run({"reg", "import", machine_.string(), (scratch_ / "settings.reg")});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "a new registry " + (machine_ / "registry.db").string() +
                                ": imported 2 keys and 10 values\n");
    EXPECT_EQ(ReadFileBytes(machine_ / "registry.db-wal.old"),
              "the log of the registry moved away");
    EXPECT_EQ(run({"reg", "export", machine_.string(), "HKCU\\Software\\Korvane\\Velto"}).out,
              kSettings);
}
