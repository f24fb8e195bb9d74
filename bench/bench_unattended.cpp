// The whole unattended check on generated machines of 10,000, 100,000 and 1,000,000 listed DLL
// files (10% of them copies that share their name with another copy), on a machine of the 9x
// family (restart lines in wininit.ini) and of the NT family (the pending list in the
// registry): the listing, the matching (which queues the repair of every flagged group), the
// actions (backups, copies and removals scheduled for the restart) and the report; then the
// same check as `vlt -S` run from outside, the whole process with its start-up and the
// machine's restart.
//
//   bench_unattended [--limit SECONDS] [--keep] [FILES...]   (default 10000 100000 1000000)
//
// --keep leaves the machines in TMPDIR, as the runs left them, and prints where they are.
//
//   bench_unattended --machine FOLDER
//
// runs the in-process check once on a machine made beforehand and prints its figures: the
// run to look at under a profiler.
//
// Each size is generated once; every run gets a fresh copy of it made of hard links (nothing
// the check does writes into a listed file: backups and temporary copies are new files and
// the restart renames and deletes), so the runs of one size see the same machine. Each run is
// a child process of its own, so that its peak memory is its own; a run that takes longer
// than the limit (default: none) is stopped and shown as such.
//
// Per run: wall and processor time of each phase, fsync calls (fsync, fdatasync, syncfs) and
// bytes written per action, peak resident memory; for vlt -S wall and processor time and peak
// memory of the process. At the end, the growth from each size to the next.
#include <dlfcn.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
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

// --- Flushes to disk, counted: the program's own calls and SQLite's go through these ---

namespace {
std::atomic<long> gSyncs{0};

template <class Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}
}  // namespace

extern "C" int fsync(int fd) {
    static const auto real = Next<int (*)(int)>("fsync");
    ++gSyncs;
    return real(fd);
}

extern "C" int fdatasync(int fd) {
    static const auto real = Next<int (*)(int)>("fdatasync");
    ++gSyncs;
    return real(fd);
}

extern "C" int syncfs(int fd) {
    static const auto real = Next<int (*)(int)>("syncfs");
    ++gSyncs;
    return real(fd);
}

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

enum class Family { Win9x, NT };

const char* Name(Family family) {
    return family == Family::Win9x ? "9x" : "NT";
}

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

void Write(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Drive C of `files` DLLs in folders of about a hundred: a tenth of them are copies in groups
// of two to four sharing a name (a quarter of the groups with a copy in the system folder,
// WINDOWS\SYSTEM), with versions 1 to 6, now and then another maker's or no version resource
// at all; the rest have names of their own. Returns the number of copies.
std::size_t GenerateDrive(const fs::path& c, std::size_t files) {
    fs::create_directories(c / "WINDOWS" / "SYSTEM");
    fs::create_directories(c / "WINDOWS" / "TEMP");
    fs::create_directories(c / "Program Files" / "Velto");

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
    std::vector<fs::path> folders;
    for (std::size_t f = 0; f < folderCount; ++f) {
        folders.push_back(c / "APPS" / ("G" + std::to_string(f % 37)) / ("F" + std::to_string(f)));
        fs::create_directories(folders.back());
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

// A machine of `family` over a copy of `pristine` (a generated drive C) made of hard links.
// The NT machine's system folder is WINDOWS\SYSTEM32.
void MakeMachine(const fs::path& pristine, const fs::path& folder, Family family) {
    const fs::path c = folder / "drives" / "C";
    for (auto it = fs::recursive_directory_iterator(pristine);
         it != fs::recursive_directory_iterator(); ++it) {
        const fs::path to = c / fs::relative(it->path(), pristine);
        if (it->is_directory()) {
            fs::create_directories(to);
        } else {
            fs::create_hard_link(it->path(), to);
        }
    }
    if (family == Family::NT) {
        fs::rename(c / "WINDOWS" / "SYSTEM", c / "WINDOWS" / "SYSTEM32");
    }
    std::ofstream(folder / "machine.ini")
        << "[Machine]\r\nPlatform=" << (family == Family::NT ? "NT" : "9x")
        << "\r\n[Drives]\r\nC=fixed:drives/C\r\n";
    registry::SqliteRegistryStore::Create(folder / machine::Machine::kRegistryFileName);
}

// --- Figures of one process ---

struct IoCounters {
    double readCalls = 0;
    double readBytes = 0;
    double writtenBytes = 0;
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
        } else if (key == "wchar:") {
            io.writtenBytes = value;
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

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// User and system time of this process so far.
double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
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

// A phase's wall and processor time, flushes and bytes written.
struct Phase {
    Clock::time_point wall = Clock::now();
    double cpu = CpuSeconds();
    long syncs = gSyncs.load();
    IoCounters io = ReadIo();
};

// The check in this process, as the unattended run makes it, without its windows; its
// figures as "name value" lines.
std::string RunCheck(const fs::path& folder) {
    machine::SetCurrentMachine(machine::Machine::Open(folder));
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

    const Phase start;
    vlt::frmStandBy().Show();
    modVLTWork::SetFilter();
    modVLTWork::SetPaths();
    modVLTWork::SetExclusions();
    vlt::QzFile1().SetIncludeSubDirectories(true);
    vlt::QzFile1().LoadFileListing(true);
    const Phase listed;
    modVLTWork::LoadDups();
    const Phase matched;
    const std::int32_t queued = vlt::State().ActionCount;
    while (modVLTWork::DoNextAction()) {
    }
    const Phase acted;
    modVLTFinalize::DoActionReport();
    const Phase reported;

    const double files = vlt::QzFile1().FileCount();
    std::size_t scheduledCopies = 0;
    for (std::int32_t k = 0; k < vlt::State().LogCount; ++k) {
        scheduledCopies += vlt::State().ActionLog[static_cast<std::size_t>(k)][1] == "5" ? 1 : 0;
    }
    const double actions = std::max(queued, 1);
    std::ostringstream out;
    out << "listing_s " << Seconds(start.wall, listed.wall) << "\nlisting_cpu_s "
        << listed.cpu - start.cpu << "\nmatching_s " << Seconds(listed.wall, matched.wall)
        << "\nmatching_cpu_s " << matched.cpu - listed.cpu << "\nactions_s "
        << Seconds(matched.wall, acted.wall) << "\nactions_cpu_s " << acted.cpu - matched.cpu
        << "\nreport_s " << Seconds(acted.wall, reported.wall) << "\nreport_cpu_s "
        << reported.cpu - acted.cpu << "\ncheck_s " << Seconds(start.wall, reported.wall)
        << "\ncheck_cpu_s " << reported.cpu - start.cpu << "\npeak_MB " << PeakMegabytes()
        << "\nfiles " << files << "\nactions " << queued << "\ncopies_scheduled " << scheduledCopies
        << "\nfsyncs_per_action " << static_cast<double>(reported.syncs - matched.syncs) / actions
        << "\nKB_written_per_action "
        << (reported.io.writtenBytes - matched.io.writtenBytes) / actions / 1024.0
        << "\nmatching_reads_per_file " << (matched.io.readCalls - listed.io.readCalls) / files
        << "\nmatching_KB_per_file "
        << (matched.io.readBytes - listed.io.readBytes) / files / 1024.0 << "\n";
    vlt::TheGlobalControls().Unload();
    vlt::ResetState();
    return out.str();
}

using Figures = std::map<std::string, double>;

// Waits for `child` at most `limit` seconds (0: for ever), killing it then; its status, or
// nullopt when it was stopped.
std::optional<int> WaitAtMost(pid_t child, double limit, rusage* usage) {
    const auto began = Clock::now();
    for (;;) {
        int status = 0;
        const pid_t done = ::wait4(child, &status, limit > 0 ? WNOHANG : 0, usage);
        if (done == child) {
            return status;
        }
        if (Seconds(began, Clock::now()) > limit) {
            ::kill(child, SIGKILL);
            ::wait4(child, &status, 0, usage);
            return std::nullopt;
        }
        ::usleep(20000);
    }
}

// The in-process check in a child; empty when it failed or was stopped.
Figures RunCheckInChild(const fs::path& folder, double limit) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return {};
    }
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        int status = 0;
        try {
            const std::string figures = RunCheck(folder);
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
    const auto status = WaitAtMost(child, limit, nullptr);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    Figures figures;
    if (!status) {
        return figures;
    }
    std::istringstream in(text);
    std::string key;
    double value = 0;
    while (in >> key >> value) {
        figures[key] = value;
    }
    return figures;
}

// `vlt --machine FOLDER -S` as a user starts it: wall and processor time, peak memory.
Figures RunVlt(const fs::path& folder, double limit) {
    std::fflush(stdout);
    const auto began = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::freopen("/dev/null", "r", stdin);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execl(VLT_BINARY, VLT_BINARY, "--machine", folder.c_str(), "-S",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    rusage usage{};
    const auto status = WaitAtMost(child, limit, &usage);
    Figures figures;
    if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
        return figures;
    }
    figures["vlt_s"] = Seconds(began, Clock::now());
    figures["vlt_cpu_s"] = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    figures["vlt_peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return figures;
}

struct Row {
    std::size_t files = 0;
    Family family = Family::Win9x;
    Figures check;
    Figures vlt;
};

std::string Value(const Figures& f, const std::string& key, const char* format) {
    const auto it = f.find(key);
    if (it == f.end()) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, format, it->second);
    return text;
}

void PrintRow(const Row& row, double limit) {
    const Figures& c = row.check;
    const auto pair = [&](const char* wall, const char* cpu) {
        return Value(c, wall, "%.2f") + " (" + Value(c, cpu, "%.2f") + ")";
    };
    if (c.empty()) {
        std::printf("%9zu %-2s  check did not end within %.0f s\n", row.files, Name(row.family),
                    limit);
    } else {
        std::printf(
            "%9zu %-2s  %-13s %-13s %-13s %-13s %-13s %7s %7s %6s %7s\n", row.files,
            Name(row.family), pair("listing_s", "listing_cpu_s").c_str(),
            pair("matching_s", "matching_cpu_s").c_str(),
            pair("actions_s", "actions_cpu_s").c_str(), pair("report_s", "report_cpu_s").c_str(),
            pair("check_s", "check_cpu_s").c_str(), Value(c, "actions", "%.0f").c_str(),
            Value(c, "fsyncs_per_action", "%.3f").c_str(),
            Value(c, "KB_written_per_action", "%.1f").c_str(), Value(c, "peak_MB", "%.1f").c_str());
    }
    const Figures& v = row.vlt;
    std::printf("%13s  vlt -S: %s s (cpu %s s), peak %s MB\n", "",
                v.empty() ? "-" : Value(v, "vlt_s", "%.2f").c_str(),
                Value(v, "vlt_cpu_s", "%.2f").c_str(), Value(v, "vlt_peak_MB", "%.1f").c_str());
    std::fflush(stdout);
}

void PrintGrowth(const std::vector<Row>& rows) {
    std::printf("\ngrowth (wall time of the larger size / the smaller):\n");
    for (const Row& larger : rows) {
        for (const Row& smaller : rows) {
            if (smaller.family != larger.family || smaller.files * 10 != larger.files) {
                continue;
            }
            const auto ratio = [&](const Figures& a, const Figures& b, const std::string& key) {
                const auto x = a.find(key);
                const auto y = b.find(key);
                if (x == a.end() || y == b.end() || y->second <= 0) {
                    return std::string("-");
                }
                char text[32];
                std::snprintf(text, sizeof text, "%.1fx", x->second / y->second);
                return std::string(text);
            };
            std::printf(
                "  %s %zu -> %zu: matching %s, actions %s, check %s, peak memory %s, vlt -S %s\n",
                Name(larger.family), smaller.files, larger.files,
                ratio(larger.check, smaller.check, "matching_s").c_str(),
                ratio(larger.check, smaller.check, "actions_s").c_str(),
                ratio(larger.check, smaller.check, "check_s").c_str(),
                ratio(larger.check, smaller.check, "peak_MB").c_str(),
                ratio(larger.vlt, smaller.vlt, "vlt_s").c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    double limit = 0;
    bool keep = false;
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--limit" && i + 1 < argc) {
            limit = std::atof(argv[++i]);
        } else if (arg == "--keep") {
            keep = true;
        } else if (arg == "--machine" && i + 1 < argc) {
            std::fputs(RunCheck(argv[++i]).c_str(), stdout);
            return 0;
        } else {
            sizes.push_back(static_cast<std::size_t>(std::atoll(argv[i])));
        }
    }
    if (sizes.empty()) {
        sizes = {10'000, 100'000, 1'000'000};
    }
    std::printf(
        "Each phase: wall seconds (processor seconds). fsync/a: flushes per action (fsync, "
        "fdatasync, syncfs), KB/a: KB written per action\n"
        "    files     listing       matching      actions       report        check        "
        "actions  fsync/a  KB/a  peak MB\n");
    std::vector<Row> rows;
    // Every machine stays until the end: files deleted by the thousand make the next files
    // made on some file systems slow to create (ext4 passes over recently freed inodes), and
    // that would be the bench's own cost, not the check's.
    std::vector<std::unique_ptr<benchtree::ScratchMachine>> scratches;
    for (const std::size_t files : sizes) {
        const fs::path scratch =
            scratches.emplace_back(std::make_unique<benchtree::ScratchMachine>())->folder();
        if (keep) {
            scratches.back()->Keep();
            std::printf("machines of %zu files: %s\n", files, scratch.c_str());
        }
        const fs::path pristine = scratch / "pristine";
        GenerateDrive(pristine, files);
        for (const Family family : {Family::Win9x, Family::NT}) {
            Row row{files, family, {}, {}};
            for (const bool outside : {false, true}) {
                const fs::path folder =
                    scratch / (std::string(Name(family)) + (outside ? "-vlt" : "-check"));
                MakeMachine(pristine, folder, family);
                // What making the machine left unwritten is not the check's to flush.
                ::sync();
                (outside ? row.vlt : row.check) =
                    outside ? RunVlt(folder, limit) : RunCheckInChild(folder, limit);
            }
            PrintRow(row, limit);
            rows.push_back(row);
        }
    }
    PrintGrowth(rows);
    return 0;
}
