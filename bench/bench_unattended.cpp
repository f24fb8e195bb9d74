// The whole unattended check ("vlt -S" without its windows) on generated machines of 10,000
// and 100,000 listed DLL files, 10% of them copies that share their name with another copy:
// the listing, the matching (which queues the repair of every flagged group), the actions
// (backups, copies and removals scheduled for the restart) and the report.
//
// Each size runs in a child process of its own, so that its peak memory (VmHWM, reset once
// the machine is generated) is its own. Counters per run, wall-clock unless said otherwise:
//   listing_s matching_s actions_s report_s   the phases
//   matching_cpu_s actions_cpu_s              processor time (user and system) of the two
//                                             long phases; the rest of their wall time is
//                                             waiting, mostly for the disk to flush
//   peak_MB                                   peak resident memory of the check
//   files copies actions copies_scheduled     files listed, duplicated copies, action-list
//                                             entries queued, copies scheduled for the restart
//   reads_per_file KB_per_file                read calls and bytes of the matching per file
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/TreeGenerator.h"
#include "controls/file/QzFile.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Date.h"
#include "platform/dialogs/Clock.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/machine/Machine.h"
#include "platform/registry/SqliteRegistryStore.h"
#include "tools/imagewriter/ImageWriter.h"
#include "vlt/core/GlobalControls.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTFinalize.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"
#include "vlt/core/modVLTWorkActions.h"

namespace {

using Clock = std::chrono::steady_clock;

// --- The generated machine ---

std::vector<std::uint8_t> Image(int version, const std::string& company, bool versioned) {
    imagewriter::VersionInfo info;
    const auto v = static_cast<std::uint16_t>(version);
    info.fixed->fileVersion = {v, 0, 0, 0};
    info.fixed->productVersion = {v, 0, 0, 0};
    const std::string text = std::to_string(version) + ".0.0.0";
    info.tables.push_back(imagewriter::StringTable{0x0409,
                                                   0x04B0,
                                                   {{"CompanyName", company},
                                                    {"FileDescription", "Shared library"},
                                                    {"FileVersion", text},
                                                    {"InternalName", "LIB"},
                                                    {"LegalCopyright", "(C) " + company},
                                                    {"OriginalFilename", "LIB.DLL"},
                                                    {"ProductName", "Sample Product"},
                                                    {"ProductVersion", text}},
                                                   ""});
    imagewriter::ImageSpec shape = imagewriter::VersionImage(info);
    if (!versioned) {
        shape.resources.clear();
    }
    return imagewriter::BuildImage(shape).bytes;
}

void Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A machine whose drive C holds `files` DLLs in folders of about a hundred: a tenth of them
// are copies in groups of two to four sharing a name (a quarter of the groups with a copy in
// the system folder), with versions 1 to 6, now and then another maker's or no version
// resource at all; the rest have names of their own.
std::size_t GenerateMachine(const std::filesystem::path& folder, std::size_t files) {
    std::ofstream(folder / "machine.ini")
        << "[Machine]\r\nPlatform=9x\r\n[Drives]\r\nC=fixed:drives/C\r\n";
    const auto c = folder / "drives" / "C";
    std::filesystem::create_directories(c / "WINDOWS" / "SYSTEM");
    std::filesystem::create_directories(c / "WINDOWS" / "TEMP");
    std::filesystem::create_directories(c / "Program Files" / "Velto");
    registry::SqliteRegistryStore::Create(folder / machine::Machine::kRegistryFileName);

    std::vector<std::vector<std::uint8_t>> images;
    for (int version = 1; version <= 6; ++version) {
        images.push_back(Image(version, "Korvane Software", true));
    }
    images.push_back(Image(1, "Other Vendor Inc.", true));
    images.push_back(Image(1, "", false));
    std::mt19937 rng(20261206);
    const auto pickImage = [&] {
        const unsigned roll = rng() % 100;
        return roll < 90 ? images[roll % 6] : roll < 95 ? images[6] : images[7];
    };

    const std::size_t folderCount = std::max<std::size_t>(files / 100, 4);
    std::vector<std::filesystem::path> folders;
    for (std::size_t f = 0; f < folderCount; ++f) {
        folders.push_back(c / "APPS" / ("G" + std::to_string(f % 37)) / ("F" + std::to_string(f)));
        std::filesystem::create_directories(folders.back());
    }
    const std::size_t copies = files / 10;
    std::size_t written = 0;
    std::size_t group = 0;
    while (written < copies) {
        const std::size_t size = std::min<std::size_t>(2 + group % 3, copies - written);
        const std::string name = "SHARED" + std::to_string(group) + ".DLL";
        std::set<std::size_t> used;
        for (std::size_t k = 0; k < size; ++k) {
            if (k == 0 && group % 4 == 0) {
                Write(c / "WINDOWS" / "SYSTEM" / name, pickImage());
            } else {
                std::size_t f = rng() % folderCount;
                while (!used.insert(f).second) {
                    f = (f + 1) % folderCount;
                }
                Write(folders[f] / name, pickImage());
            }
        }
        written += size;
        ++group;
    }
    for (std::size_t i = 0; written < files; ++i, ++written) {
        Write(folders[rng() % folderCount] / ("FILE" + std::to_string(i) + ".DLL"), pickImage());
    }
    return copies;
}

// --- The run, in a child process ---

struct IoCounters {
    double readCalls = 0;
    double readBytes = 0;
};

IoCounters ReadIo() {
    IoCounters io;
    std::ifstream in("/proc/self/io");
    std::string key;
    double value = 0;
    while (in >> key >> value) {
        if (key == "syscr:") {
            io.readCalls = value;
        } else if (key == "rchar:") {
            io.readBytes = value;
        }
    }
    return io;
}

double PeakMegabytes() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

class Progress : public vlt::ProgressWindow {
  public:
    void Show() override {}
    void Unload() override {}
    std::string ScanItem() const override { return item_; }
    void SetScanItem(const std::string& item) override { item_ = item; }
    bool Canceled() const override { return false; }
    void SetFormTitle(const std::string&) override {}

  private:
    std::string item_;
};

class SysInfo : public vlt::SystemInfoHost {
  public:
    Qz_System_Info::QzSystemInfo& Sys1() override { return sys_; }

  private:
    Qz_System_Info::QzSystemInfo sys_;
};

// User and system time of this process so far.
double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Generates the machine, runs the check and returns its figures as "name value" lines.
std::string RunCheck(std::size_t files) {
    benchtree::ScratchMachine scratch;
    const std::size_t copies = GenerateMachine(scratch.folder(), files);
    machine::SetCurrentMachine(machine::Machine::Open(scratch.folder()));
    dialogs::ScopedBackend answers(std::make_shared<dialogs::ScriptedDialogs>());
    dialogs::ScopedClock clock(
        std::make_shared<dialogs::ManualClock>(automation::DateSerial(2026, 12, 6)));
    vlt::ResetState();
    vlt::State().windows.standBy = std::make_shared<Progress>();
    vlt::State().windows.sysInfo = std::make_shared<SysInfo>();
    vlt::State().CommandLine = "-S";
    vlt::TheGlobalControls().Load();
    modVLTProperties::Auto(true);
    modVLTProperties::AllDups(false);
    std::ofstream("/proc/self/clear_refs") << "5";

    const auto start = Clock::now();
    vlt::frmStandBy().Show();
    modVLTWork::SetFilter();
    modVLTWork::SetPaths();
    modVLTWork::SetExclusions();
    vlt::QzFile1().SetIncludeSubDirectories(true);
    vlt::QzFile1().LoadFileListing(true);
    const auto listed = Clock::now();
    const double listedCpu = CpuSeconds();
    const IoCounters before = ReadIo();
    modVLTWork::LoadDups();
    const IoCounters after = ReadIo();
    const auto matched = Clock::now();
    const double matchedCpu = CpuSeconds();
    const std::int32_t queued = vlt::State().ActionCount;
    while (modVLTWork::DoNextAction()) {
    }
    const auto acted = Clock::now();
    const double actedCpu = CpuSeconds();
    modVLTFinalize::DoActionReport();
    const auto reported = Clock::now();

    const double listedFiles = vlt::QzFile1().FileCount();
    std::size_t scheduledCopies = 0;
    for (std::int32_t k = 0; k < vlt::State().LogCount; ++k) {
        scheduledCopies += vlt::State().ActionLog[static_cast<std::size_t>(k)][1] == "5" ? 1 : 0;
    }
    std::ostringstream out;
    out << "listing_s " << Seconds(start, listed) << "\nmatching_s " << Seconds(listed, matched)
        << "\nactions_s " << Seconds(matched, acted) << "\nreport_s " << Seconds(acted, reported)
        << "\nmatching_cpu_s " << matchedCpu - listedCpu << "\nactions_cpu_s "
        << actedCpu - matchedCpu << "\npeak_MB " << PeakMegabytes() << "\nfiles " << listedFiles
        << "\ncopies " << copies << "\nactions " << queued << "\ncopies_scheduled "
        << scheduledCopies << "\nreads_per_file "
        << (after.readCalls - before.readCalls) / listedFiles << "\nKB_per_file "
        << (after.readBytes - before.readBytes) / listedFiles / 1024.0 << "\n";
    vlt::TheGlobalControls().Unload();
    vlt::ResetState();
    return out.str();
}

std::map<std::string, double> RunInChild(std::size_t files) {
    int fds[2];
    if (::pipe(fds) != 0) {
        throw std::runtime_error("pipe");
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        int status = 0;
        try {
            const std::string figures = RunCheck(files);
            status = ::write(fds[1], figures.data(), figures.size()) ==
                             static_cast<ssize_t>(figures.size())
                         ? 0
                         : 1;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "unattended check failed: %s\n", error.what());
            status = 1;
        }
        ::_exit(status);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    std::map<std::string, double> figures;
    std::istringstream in(text);
    std::string key;
    double value = 0;
    while (in >> key >> value) {
        figures[key] = value;
    }
    return figures;
}

void BM_UnattendedCheck(benchmark::State& state) {
    for (auto _ : state) {
        const auto figures = RunInChild(static_cast<std::size_t>(state.range(0)));
        if (figures.empty()) {
            state.SkipWithError("the check failed");
            return;
        }
        state.SetIterationTime(figures.at("listing_s") + figures.at("matching_s") +
                               figures.at("actions_s") + figures.at("report_s"));
        for (const auto& [name, value] : figures) {
            state.counters[name] = value;
        }
    }
}
BENCHMARK(BM_UnattendedCheck)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
