// The machine's start on a 50 MB wininit.ini: how long it takes to carry out every line, with
// each line recorded as carried out before the next is tried, and the peak memory it needs;
// then the same file with the start killed half-way and the next start going on from there.
//
// The file holds `kReal` lines that move or delete real files, the rest moves whose temporary
// copy is gone (each fails at once, as a line whose source was cleaned away does), so that
// the figures show what the start costs per line rather than what the disk costs per file.
// Each start runs in a child process of its own, so that its peak memory (VmHWM) is its own.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/machine/Machine.h"
#include "platform/registry/SqliteRegistryStore.h"
#include "platform/restart/Boot.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kTargetBytes = 50u << 20;
constexpr std::size_t kReal = 20000;

long PeakKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

struct Machine {
    fs::path folder;
    std::size_t lines = 0;
};

Machine Make() {
    char pattern[] = "/tmp/velto-bench-boot-XXXXXX";
    Machine m{::mkdtemp(pattern), 0};
    const fs::path c = m.folder / "drives" / "C";
    fs::create_directories(c / "WINDOWS" / "SYSTEM");
    fs::create_directories(c / "WINDOWS" / "TEMP");
    std::ofstream(m.folder / "machine.ini")
        << "[Machine]\r\nPlatform=9x\r\n[Drives]\r\nC=fixed:drives/C\r\n";
    registry::SqliteRegistryStore::Create(m.folder / "registry.db");
    std::ofstream wininit(c / "WINDOWS" / "wininit.ini", std::ios::binary);
    wininit << "[Rename]\r\n";
    std::size_t bytes = 10;
    char line[160];
    for (std::size_t i = 0; bytes < kTargetBytes; ++i) {
        int n = 0;
        if (i < kReal) {
            const std::string name = "VLT" + std::to_string(i) + ".TMP";
            std::ofstream(c / "WINDOWS" / "TEMP" / name) << "x";
            n = i % 2 == 0
                    ? std::snprintf(line, sizeof line,
                                    "C:\\WINDOWS\\SYSTEM\\LIB%zu.DLL=C:\\WINDOWS\\TEMP\\%s\r\n", i,
                                    name.c_str())
                    : std::snprintf(line, sizeof line, "NUL=C:\\WINDOWS\\TEMP\\%s\r\n",
                                    name.c_str());
        } else {
            n = std::snprintf(line, sizeof line,
                              "C:\\WINDOWS\\SYSTEM\\LIB%zu.DLL=C:\\WINDOWS\\TEMP\\GONE%zu.TMP\r\n",
                              i, i);
        }
        wininit.write(line, n);
        bytes += static_cast<std::size_t>(n);
        ++m.lines;
    }
    return m;
}

struct Start {
    double seconds = 0;
    long peakKB = 0;
    std::size_t operations = 0;
    bool killed = false;
};

// One start in a child; killed once it has carried out `killAfter` operations (0: never).
Start RunStart(const Machine& m, std::size_t killAfter) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return {};
    }
    const auto began = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        machine::SetCurrentMachine(machine::Machine::Open(m.folder));
        std::size_t operations = 0;
        const auto report = win32::BootMachine(
            [&](const std::string& line) {
                if (line.starts_with("wininit.ini line") && ++operations == killAfter) {
                    ::kill(::getpid(), SIGKILL);
                }
            },
            win32::BootKeep::Summary);
        const long peak = PeakKilobytes();
        const std::size_t done = report.carriedOut;
        if (::write(pipeFds[1], &peak, sizeof peak) != sizeof peak ||
            ::write(pipeFds[1], &done, sizeof done) != sizeof done) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    Start start;
    int status = 0;
    const bool gotPeak = ::read(pipeFds[0], &start.peakKB, sizeof start.peakKB) ==
                         static_cast<ssize_t>(sizeof start.peakKB);
    const bool gotCount = ::read(pipeFds[0], &start.operations, sizeof start.operations) ==
                          static_cast<ssize_t>(sizeof start.operations);
    ::waitpid(child, &status, 0);
    ::close(pipeFds[0]);
    start.seconds = std::chrono::duration<double>(Clock::now() - began).count();
    start.killed = WIFSIGNALED(status) && !gotPeak && !gotCount;
    return start;
}

void Report(const char* what, const Start& start) {
    std::printf("%-34s %8.2f s  peak %6.1f MB  %zu operations%s\n", what, start.seconds,
                start.peakKB / 1024.0, start.operations, start.killed ? " (killed)" : "");
}

}  // namespace

int main() {
    for (int round = 0; round < 2; ++round) {
        const Machine m = Make();
        const auto size = fs::file_size(m.folder / "drives/C/WINDOWS/wininit.ini");
        if (round == 0) {
            std::printf("wininit.ini of %.1f MB, %zu lines (%zu real files)\n",
                        static_cast<double>(size) / (1 << 20), m.lines, kReal);
            Report("start, every line", RunStart(m, 0));
        } else {
            Report("start killed half-way", RunStart(m, m.lines / 2));
            Report("next start, the other half", RunStart(m, 0));
        }
        std::error_code ec;
        fs::remove_all(m.folder, ec);
    }
    return 0;
}
