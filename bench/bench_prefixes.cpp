// Finding and checking many Wine prefixes, as `velto-machine` runs from outside:
//   - `prefixes` (and `prefixes --json`) on a generated home whose five launchers (Steam in two
//     libraries, Lutris, Bottles, Heroic, PlayOnLinux) name 200 prefixes, each with registry
//     files of a fresh 64-bit prefix's size;
//   - `check` on one fresh prefix made by Wine's `wineboot -i`;
//   - `check --all` on a home with 20 copies of that prefix named by Steam, beside 20 runs of
//     `check`, one per prefix.
//
//   bench_prefixes [--runs N] [--baseline VELTO_MACHINE]
//   bench_prefixes --home DIR      only writes the home of 200 prefixes into DIR, for a
//                                  profiler (HOME=DIR velto-machine prefixes)
//
// Each figure is the median wall time of N runs (default 5) on a warm cache; --baseline runs
// the checks with another build of velto-machine too (the one before a change, say), side by
// side. The copies share their files with the prefix made by wineboot through hard links
// (the check never looks at link counts); their registry files are copies of their own. The
// checks are left out, saying why, where Wine is not installed.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench/LauncherHome.h"

extern char** environ;

namespace {
namespace fs = std::filesystem;

struct Timed {
    double seconds = 0;
    int status = -1;
};

// `argv` with the environment changed: `set` entries ("NAME=value") replace or add, and
// WINEPREFIX and the XDG folders are taken out, so that HOME alone says where the user is.
Timed RunOnce(const std::vector<std::string>& argv, const std::vector<std::string>& set) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        const bool replaced = std::any_of(set.begin(), set.end(), [&](const std::string& s) {
            return s.starts_with(name + "=");
        });
        if (!replaced && name != "WINEPREFIX" && name != "XDG_CONFIG_HOME" &&
            name != "XDG_DATA_HOME" && name != "DISPLAY") {
            environment.push_back(variable);
        }
    }
    environment.insert(environment.end(), set.begin(), set.end());
    const auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> list;
        for (std::string& s : strings) {
            list.push_back(s.data());
        }
        list.push_back(nullptr);
        return list;
    };
    std::vector<std::string> args = argv;
    auto argp = pointers(args);
    auto envp = pointers(environment);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    Timed timed;
    if (posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        timed.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    timed.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return timed;
}

// The median of `runs` runs of `once` (each returns its seconds); nullopt when one failed.
template <class Once>
std::optional<double> Median(int runs, Once once) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const std::optional<double> seconds = once();
        if (!seconds) {
            return std::nullopt;
        }
        times.push_back(*seconds);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::optional<double> Tool(const std::string& tool, std::vector<std::string> args,
                           const fs::path& home, int runs, int okUpTo) {
    args.insert(args.begin(), tool);
    return Median(runs, [&]() -> std::optional<double> {
        const Timed timed = RunOnce(args, {"HOME=" + home.string()});
        if (timed.status < 0 || timed.status > okUpTo) {
            std::fprintf(stderr, "%s %s ended with status %d\n", tool.c_str(), args[1].c_str(),
                         timed.status);
            return std::nullopt;
        }
        return timed.seconds;
    });
}

std::string Figure(const std::optional<double>& seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds.value_or(-1));
    return seconds ? text : "failed";
}

bool OnPath(const char* program) {
    const std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string baseline;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--baseline" && i + 1 < argc) {
            baseline = argv[++i];
        } else if (arg == "--home" && i + 1 < argc) {
            benchtree::GenerateLauncherHome(argv[++i], {}, &benchtree::WriteSyntheticPrefix);
            return 0;
        } else {
            std::fprintf(
                stderr,
                "usage: bench_prefixes [--runs N] [--baseline VELTO_MACHINE] | --home DIR\n");
            return 2;
        }
    }
    std::string pattern = (fs::temp_directory_path() / "velto-bench-prefixes-XXXXXX").string();
    const fs::path root = ::mkdtemp(pattern.data());
    const std::string tool = VELTO_MACHINE_TOOL;

    const fs::path many = root / "many";
    const auto prefixes =
        benchtree::GenerateLauncherHome(many, {}, &benchtree::WriteSyntheticPrefix);
    std::printf("velto-machine prefixes, %zu prefixes of 5 launchers:   %s (--json %s)\n",
                prefixes.size(), Figure(Tool(tool, {"prefixes"}, many, runs, 0)).c_str(),
                Figure(Tool(tool, {"prefixes", "--json"}, many, runs, 0)).c_str());

    if (!OnPath("wineboot") || !OnPath("wineserver")) {
        std::printf("the checks are left out: Wine is not installed\n");
        fs::remove_all(root);
        return 0;
    }
    const fs::path fresh = root / "fresh";
    const std::vector<std::string> wine = {
        "WINEPREFIX=" + fresh.string(), "WINEDEBUG=-all",
        "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d"};
    RunOnce({"wineboot", "-i"}, wine);
    RunOnce({"wineserver", "-w"}, wine);
    if (!fs::exists(fresh / "system.reg")) {
        std::printf("the checks are left out: wineboot -i made no prefix\n");
        fs::remove_all(root);
        return 1;
    }
    // One `check` per folder, one after the other: the median of the totals.
    const auto checks = [&](const std::string& which, const std::vector<fs::path>& folders) {
        return Median(runs, [&]() -> std::optional<double> {
            double total = 0;
            for (const fs::path& folder : folders) {
                const auto one = Tool(which, {"check", folder.string()}, root, 1, 1);
                if (!one) {
                    return std::nullopt;
                }
                total += *one;
            }
            return total;
        });
    };
    std::printf("velto-machine check, one fresh 64-bit prefix:        %s",
                Figure(checks(tool, {fresh})).c_str());
    if (!baseline.empty()) {
        std::printf(" (baseline %s)", Figure(checks(baseline, {fresh})).c_str());
    }
    std::printf("\n");

    const fs::path twenty = root / "twenty";
    const auto copies = benchtree::GenerateLauncherHome(
        twenty, {20, 0, 0, 0, 0},
        [&](const fs::path& prefix) { benchtree::CopyPrefix(fresh, prefix); });
    std::printf("velto-machine check --all, 20 fresh prefixes:        %s (20 runs of check: %s",
                Figure(Tool(tool, {"check", "--all"}, twenty, runs, 1)).c_str(),
                Figure(checks(tool, copies)).c_str());
    if (!baseline.empty()) {
        std::printf("; baseline %s", Figure(checks(baseline, copies)).c_str());
    }
    std::printf(")\n");
    RunOnce({"wineserver", "-k"}, wine);
    fs::remove_all(root);
    return 0;
}
