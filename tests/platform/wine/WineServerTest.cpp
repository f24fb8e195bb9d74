// A wineserver whose lock file lies out of sight (a sandbox's own /tmp, another $TMPDIR) is
// still found: by the prefix folder it holds open.

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/machine/Text.h"
#include "platform/wine/WineServer.h"
#include "tests/platform/wine/FakePrefix.h"
#include "tests/support/RunProgram.h"
#include "tests/support/WinePrefix.h"

namespace {

namespace fs = std::filesystem;

struct FakeProcess {
    std::string pid;
    std::string comm;
    // The folder its descriptor 4 leads to; none: the process has no descriptor folder.
    const char* holds;
};

TEST(WineServerProcesses, OnlyAWineserverHoldingThePrefixCounts) {
    winetest::FakePrefix prefix;
    winetest::FakePrefix other;
    const fs::path proc = prefix.folder() / "proc";
    const struct {
        FakeProcess process;
        const char* expected;
    } rows[] = {
        {{"101", "bash\n", "prefix"}, nullptr},
        {{"102", "wineserver\n", "other"}, nullptr},
        {{"self", "wineserver64\n", "prefix"}, nullptr},
        {{"103", "wineserver64\n", nullptr}, nullptr},
        {{"104", "wineserver64\n", "prefix"}, "process 104 (wineserver64)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.process.pid + " " + row.process.comm);
        fs::remove_all(proc);
        const fs::path process = proc / row.process.pid;
        fs::create_directories(process);
        std::ofstream(process / "comm") << row.process.comm;
        if (row.process.holds != nullptr) {
            fs::create_directories(process / "fd");
            const fs::path target =
                std::string(row.process.holds) == "prefix" ? prefix.folder() : other.folder();
            fs::create_directory_symlink(target, process / "fd" / "4");
            fs::create_symlink(target / "system.reg", process / "fd" / "5");
        }
        const auto serving = wine::ServerProcesses::Scan(proc).Serving(prefix.folder());
        EXPECT_EQ(serving.value_or(""), row.expected == nullptr ? "" : row.expected);
        const wine::ServerCheck check =
            wine::CheckServer(prefix.folder(), wine::ServerProcesses::Scan(proc));
        EXPECT_EQ(check.state, row.expected == nullptr ? wine::ServerState::NotRunning
                                                       : wine::ServerState::Running);
    }
}

// Polls `CheckServer` until it says `state`, for at most five seconds.
bool ServerBecomes(const fs::path& prefix, wine::ServerState state) {
    for (int i = 0; i < 100; ++i) {
        if (wine::CheckServer(prefix).state == state) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(WineServerProcesses, ARealServerStartedWithAnotherTmpdirIsFound) {
    if (!testsupport::WineInstalled()) {
        GTEST_SKIP() << testsupport::kWineMissing;
    }
    winetest::FakePrefix prefix;
    // Its server folder lies below a TMPDIR this process does not have, as a sandbox's /tmp.
    const fs::path elsewhere = prefix.folder() / "sandbox-tmp";
    fs::create_directories(elsewhere);
    const std::string env = "TMPDIR=" + machine::text::ShellQuoted(elsewhere.string()) +
                            " WINEPREFIX=" + machine::text::ShellQuoted(prefix.folder().string());
    ASSERT_EQ(testsupport::RunProgram({"sh", "-c", env + " wineserver -p 2>/dev/null"}).status, 0);
    EXPECT_TRUE(ServerBecomes(prefix.folder(), wine::ServerState::Running));
    const wine::ServerCheck check = wine::CheckServer(prefix.folder());
    EXPECT_TRUE(check.detail.ends_with("holds the prefix open")) << check.detail;
    testsupport::RunProgram({"sh", "-c", env + " wineserver -k; " + env + " wineserver -w"});
    EXPECT_TRUE(ServerBecomes(prefix.folder(), wine::ServerState::NotRunning));
}

}  // namespace
