// The unattended run and the machine's start killed where a user's machine could go down:
// vlt -S killed at several points of a generated machine's repair (while a batch of backups
// and copies is made, once the first batch is committed and the next is being made, while a
// commit puts its backups in place, once every line is scheduled, during the restart it runs
// as it ends), then velto-machine boot (itself killed once it is under way, and run again),
// then a second vlt -S and boot. Right after each kill, every line wininit.ini holds is whole
// and names a complete copy, and the file it changes has its backup. Whatever the order of
// the kills: no line that had been carried out is reported failed, every group ends repaired,
// and no file is changed or gone without its backup. The rounds run side by side, each on a
// machine of its own, so the whole test takes little more than two runs.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"
#include "tests/vlt/VltRunSupport.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Enough groups for three batches: the first commit comes at 64 lines, the next at 128.
constexpr int kGroups = 100;
constexpr std::size_t kFirstBatch = 64;
const std::string kBackups = "C:\\Program Files\\Velto";

struct Round {
    const char* what;
    // Kills vlt once this holds of its machine (or never, when it ends first).
    std::function<bool(const testsupport::MachineBuilder&)> killVltWhen;
    bool killBoot;
};

std::size_t RenameLines(const testsupport::MachineBuilder& m) {
    if (!m.Exists("C:\\WINDOWS\\wininit.ini")) {
        return 0;
    }
    const std::string text = m.Read("C:\\WINDOWS\\wininit.ini");
    std::size_t lines = 0;
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
        ++lines;
    }
    return lines > 0 ? lines - 1 : 0;
}

// How many wininit.ini operations a start under way has carried out; -1 when none runs.
long BootDone(const testsupport::MachineBuilder& m) {
    const std::string progress = vltrun::Slurp(m.folder() / "boot.progress");
    const auto at = progress.find("wininit done=");
    return at == std::string::npos ? -1 : std::stol(progress.substr(at + 13, 10));
}

// A backup being written (beside its place) or in place.
bool AnyBackup(const testsupport::MachineBuilder& m) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m.HostPath(kBackups), ec)) {
        if (entry.path().filename().string().find(".backup") != std::string::npos) {
            return true;
        }
    }
    return false;
}

// A backup in place that no line of wininit.ini needs yet: a commit is under way.
bool BackupPlacedBeforeItsLine(const testsupport::MachineBuilder& m) {
    if (RenameLines(m) != 0) {
        return false;
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m.HostPath(kBackups), ec)) {
        if (entry.path().filename().string().ends_with(".backup")) {
            return true;
        }
    }
    return false;
}

// What a line of wininit.ini may stand on, right after a kill: the file ends with a whole
// line, every move's temporary copy holds the whole new bytes, and every file a line changes
// or removes has its backup with the old bytes. Returns what is wrong, one text each.
std::vector<std::string> LinesStandOnDurableData(const testsupport::MachineBuilder& m,
                                                 const std::string& newBytes,
                                                 const std::string& oldBytes) {
    std::vector<std::string> wrong;
    if (!m.Exists("C:\\WINDOWS\\wininit.ini")) {
        return wrong;
    }
    const std::string text = m.Read("C:\\WINDOWS\\wininit.ini");
    if (!text.empty() && !text.ends_with("\r\n")) {
        wrong.push_back("wininit.ini ends in a torn line");
    }
    const auto backedUp = [&](const std::string& path) {
        std::string name = path.substr(0, 1) + "~" + path.substr(2);
        std::replace(name.begin(), name.end(), '\\', '~');
        const fs::path backup = m.HostPath(kBackups) / (name + ".backup");
        return fs::exists(backup) && vltrun::Slurp(backup) == oldBytes;
    };
    for (const std::string& line : vltrun::Lines(text)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string target = line.substr(0, equals);
        const std::string source = line.substr(equals + 1);
        const std::string changed = target == "NUL" ? source : target;
        if (target != "NUL" && (!m.Exists(source) || m.Read(source) != newBytes)) {
            wrong.push_back(line + ": the copy it moves is not whole");
        }
        if (!backedUp(changed)) {
            wrong.push_back(line + ": " + changed + " has no backup");
        }
    }
    return wrong;
}

// Runs `command` in the background, killing it once `when` holds (polled).
vltrun::Result RunKilledWhen(std::vector<std::string> command, const fs::path& output,
                             const std::function<bool()>& when) {
    vltrun::Background run(std::move(command), output);
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (!run.Ended() && Clock::now() < deadline) {
        if (when()) {
            run.Kill();
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return run.Wait();
}

// A machine of kGroups groups with a newer copy to spread (A), and as many with a newer copy
// in the system folder, whose other copy goes (B).
struct KillMachine {
    KillMachine() {
        m.Folder(kBackups).Folder("C:\\WINDOWS\\SYSTEM");
        testsupport::SeedRegistry(m);
        for (int i = 0; i < kGroups; ++i) {
            const std::string n = std::to_string(i);
            m.File("C:\\APPS1\\A" + n + ".DLL", v2).File("C:\\APPS2\\A" + n + ".DLL", v1);
            m.File("C:\\APPS1\\B" + n + ".DLL", v1).File("C:\\WINDOWS\\SYSTEM\\B" + n + ".DLL", v2);
        }
    }
    testsupport::MachineBuilder m;
    const std::string v1 = vltrun::Dll("1.0"), v2 = vltrun::Dll("2.0");
};

TEST(KillEndToEnd, RunsAndStartsKilledAnywhereLoseNothingAndReportNoFalseFailure) {
    const std::vector<Round> rounds = {
        {"killed while a batch is made", AnyBackup, false},
        {"killed while a commit puts backups in place", BackupPlacedBeforeItsLine, false},
        {"killed while the second batch is made",
         [](const auto& m) { return RenameLines(m) >= kFirstBatch; }, true},
        {"killed once every line is scheduled",
         [](const auto& m) { return RenameLines(m) >= 2 * kGroups; }, true},
        {"killed during its restart", [](const auto& m) { return BootDone(m) >= 5; }, false},
    };
    std::vector<std::unique_ptr<KillMachine>> machines;
    for (std::size_t i = 0; i < rounds.size(); ++i) {
        machines.push_back(std::make_unique<KillMachine>());
    }
    // Everything a restart printed, and the statuses of the runs that were not killed.
    std::vector<std::vector<std::string>> printed(rounds.size());
    std::vector<std::vector<int>> statuses(rounds.size());
    // What was wrong with wininit.ini's lines right after vlt was killed.
    std::vector<std::vector<std::string>> atKill(rounds.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < rounds.size(); ++i) {
        threads.emplace_back([&, i] {
            const Round& round = rounds[i];
            const testsupport::MachineBuilder& m = machines[i]->m;
            const fs::path out = m.folder().string() + "-run";
            const auto keep = [&](const vltrun::Result& run) {
                for (const std::string& line : vltrun::Lines(run.out)) {
                    printed[i].push_back(line);
                }
                if (run.status >= 0) {
                    statuses[i].push_back(run.status);
                }
            };
            keep(RunKilledWhen(vltrun::UnattendedCommand(m.folder()), out,
                               [&] { return round.killVltWhen(m); }));
            // (A restart under way has carried some lines out already.)
            if (!fs::exists(m.folder() / "boot.progress")) {
                atKill[i] = LinesStandOnDurableData(m, machines[i]->v2, machines[i]->v1);
            }
            const std::vector<std::string> boot = {VELTO_MACHINE_TOOL, "boot", m.folder().string()};
            if (round.killBoot) {
                keep(RunKilledWhen(boot, out, [&] { return BootDone(m) >= 2; }));
            }
            keep(vltrun::Background(boot, out).Wait());
            keep(vltrun::Background(vltrun::UnattendedCommand(m.folder()), out).Wait());
            keep(vltrun::Background(boot, out).Wait());
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    for (std::size_t i = 0; i < rounds.size(); ++i) {
        SCOPED_TRACE(rounds[i].what);
        const KillMachine& k = *machines[i];
        EXPECT_EQ(atKill[i], std::vector<std::string>{});
        for (const std::string& line : printed[i]) {
            EXPECT_EQ(line.find("failed"), std::string::npos) << line;
        }
        for (const int status : statuses[i]) {
            EXPECT_EQ(status, 0);
        }
        // Every group repaired, and whatever changed or went was backed up with its bytes.
        std::map<std::string, std::string> backups;
        for (const auto& entry : fs::directory_iterator(k.m.HostPath(kBackups))) {
            backups[entry.path().filename().string()] = vltrun::Slurp(entry.path());
        }
        const auto backedUp = [&](const std::string& name, const std::string& bytes) {
            for (const auto& [file, content] : backups) {
                if (file.starts_with(name) && content == bytes) {
                    return true;
                }
            }
            return false;
        };
        for (int g = 0; g < kGroups; ++g) {
            const std::string n = std::to_string(g);
            EXPECT_EQ(k.m.Read("C:\\APPS2\\A" + n + ".DLL"), k.v2) << n;
            EXPECT_TRUE(backedUp("C~~APPS2~A" + n + ".DLL.backup", k.v1)) << n;
            EXPECT_FALSE(k.m.Exists("C:\\APPS1\\B" + n + ".DLL")) << n;
            EXPECT_TRUE(backedUp("C~~APPS1~B" + n + ".DLL.backup", k.v1)) << n;
            EXPECT_EQ(k.m.Read("C:\\WINDOWS\\SYSTEM\\B" + n + ".DLL"), k.v2) << n;
        }
        EXPECT_FALSE(k.m.Exists("C:\\WINDOWS\\wininit.ini"));
        EXPECT_FALSE(fs::exists(k.m.folder() / "boot.progress"));
    }
}

}  // namespace
