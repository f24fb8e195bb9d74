// The directory listing of QzFile on generated trees, side by side with find and fd selecting
// the same files (*.dll and *.ocx, any case), warm cache. Each tool runs in a process of its
// own, so the listing's peak memory is its own too.
//
//   bench_listing [--files N,N,...] [--runs R]     (default: 100000,1000000 files, 3 runs)
//
// Prints, per tree: the files listed, the best wall time of each tool (the listing's time with
// the machine opened, the walk, the sort and every File(i) written out, as find writes every
// path), the ratios, and the listing's peak memory growth per listed file.
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
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/TreeGenerator.h"
#include "controls/file/QzFile.h"
#include "platform/machine/Machine.h"

extern char** environ;

namespace {

constexpr const char* kFilter = "*.dll;*.ocx";

// A line of /proc/self/status in kB ("VmRSS", "VmHWM").
long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return 0;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Runs a program; its standard output goes to /dev/null, or is returned when `capture`.
double Run(const std::vector<std::string>& argv, std::string* capture = nullptr) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (capture != nullptr) {
        if (::pipe(pipeFds) != 0) {
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int err = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) {
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(err));
    }
    if (capture != nullptr) {
        ::close(pipeFds[1]);
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
            capture->append(buffer, static_cast<std::size_t>(n));
        }
        ::close(pipeFds[0]);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double elapsed = Seconds(std::chrono::steady_clock::now() - start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(argv[0] + " failed");
    }
    return elapsed;
}

std::size_t Lines(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text) {
        n += c == '\n' ? 1 : 0;
    }
    return n;
}

// The listing in this process: prints "count loadSeconds baselineKb peakKb".
int Child(const std::string& machineFolder, const std::string& paths) {
    machine::SetCurrentMachine(machine::Machine::Open(machineFolder));
    Qz_File::QzFile file;
    file.SetFilter(kFilter);
    file.SetPaths(paths);
    file.SetIncludeSubDirectories(true);
    const long baseline = StatusKb("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    if (!file.LoadFileListing(false)) {
        return 1;
    }
    const double load = Seconds(std::chrono::steady_clock::now() - start);
    std::FILE* devnull = std::fopen("/dev/null", "w");
    for (std::int32_t i = 0; i < file.FileCount(); ++i) {
        const std::string path = file.File(i);
        std::fwrite(path.data(), 1, path.size(), devnull);
        std::fputc('\n', devnull);
    }
    std::fclose(devnull);
    std::printf("%d %.6f %ld %ld\n", file.FileCount(), load, baseline, StatusKb("VmHWM"));
    return 0;
}

struct Best {
    double seconds = std::numeric_limits<double>::infinity();
    void Take(double s) { seconds = std::min(seconds, s); }
};

void Measure(std::size_t files, int runs) {
    benchtree::ScratchMachine scratch;
    benchtree::NameTreeShape shape;
    shape.files = files;
    const auto root = scratch.driveC() / "TREE";
    const auto counts = benchtree::GenerateNameTree(root, shape);

    const std::vector<std::string> find = {"find", root.string(), "(",     "-iname", "*.dll",
                                           "-o",   "-iname",      "*.ocx", ")"};
    const std::vector<std::string> fd = {"fdfind", "-u", "-i",          "-j",
                                         "2",      "-g", "*.{dll,ocx}", root.string()};
    const std::vector<std::string> list = {std::filesystem::read_symlink("/proc/self/exe"),
                                           "--child", scratch.folder().string(), "C:\\TREE"};

    // Warm-up, and the counts every tool must agree on.
    std::string found;
    std::string fdFound;
    std::string listed;
    Run(find, &found);
    Run(fd, &fdFound);
    Run(list, &listed);
    std::istringstream fields(listed);
    std::size_t count = 0;
    double load = 0;
    long baseline = 0;
    long peak = 0;
    fields >> count >> load >> baseline >> peak;
    if (count != Lines(found) || count != Lines(fdFound) || count != counts.matching) {
        std::cerr << "tools disagree: find " << Lines(found) << ", fd " << Lines(fdFound)
                  << ", QzFile " << count << ", generated " << counts.matching << "\n";
    }

    Best findBest;
    Best fdBest;
    Best listBest;
    Best loadBest;
    for (int r = 0; r < runs; ++r) {
        findBest.Take(Run(find));
        fdBest.Take(Run(fd));
        std::string out;
        listBest.Take(Run(list, &out));
        std::istringstream f(out);
        double l = 0;
        f >> count >> l;
        loadBest.Take(l);
    }
    const double bytesPerFile =
        count == 0 ? 0.0
                   : static_cast<double>(peak - baseline) * 1024.0 / static_cast<double>(count);
    std::printf(
        "%9zu files %6zu folders %8zu listed | find %7.3f s | fd %7.3f s | QzFile %7.3f s "
        "(walk+sort %7.3f s) | QzFile/find %5.2f | QzFile/fd %5.2f | %6.1f bytes per "
        "listed file\n",
        counts.files, counts.folders, count, findBest.seconds, fdBest.seconds, listBest.seconds,
        loadBest.seconds, listBest.seconds / findBest.seconds, listBest.seconds / fdBest.seconds,
        bytesPerFile);
    std::fflush(stdout);
}

std::vector<std::size_t> ParseSizes(const std::string& text) {
    std::vector<std::size_t> sizes;
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        sizes.push_back(std::stoul(item));
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 4 && std::strcmp(argv[1], "--child") == 0) {
            return Child(argv[2], argv[3]);
        }
        std::vector<std::size_t> sizes{100000, 1000000};
        int runs = 3;
        for (int i = 1; i + 1 < argc; i += 2) {
            if (std::strcmp(argv[i], "--files") == 0) {
                sizes = ParseSizes(argv[i + 1]);
            } else if (std::strcmp(argv[i], "--runs") == 0) {
                runs = std::max(1, std::atoi(argv[i + 1]));
            }
        }
        std::printf("Listing *.dll;*.ocx with subfolders, warm cache, best of %d runs\n", runs);
        for (const std::size_t files : sizes) {
            Measure(files, runs);
        }
    } catch (const std::exception& e) {
        std::cerr << "bench_listing: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
