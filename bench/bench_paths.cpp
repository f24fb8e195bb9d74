// Windows paths onto host paths in the folders the unattended run fills: TEMP and the backup
// folder end up holding thousands of entries, and every action creates, looks up and removes
// names in them. Each benchmark runs on folders of 1,000 and 10,000 entries with long names
// (so that every entry has a generated short name), warm cache:
//   MissingNameAfterChange   a name that is not there, looked up right after this process
//                            created and removed a file in the folder
//   ChangeOnly               the create and remove alone, to subtract from the above
//   TempFileName             GetTempFileNameA in the folder, then the file deleted again
//   OtherCase / ShortName    an existing entry by another spelling and by its 8.3 name
//   ExistingDeepPath         an existing file four folders down, spelled as on disk
// Run with TMPDIR=/dev/shm to take the disk's latency out of the figures.
#include <benchmark/benchmark.h>

#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "bench/TreeGenerator.h"
#include "platform/machine/Machine.h"
#include "platform/win32/kernel32/Directories.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/Paths.h"

namespace {

struct Folders {
    benchtree::ScratchMachine scratch;

    explicit Folders(std::size_t entries) {
        const auto c = scratch.driveC();
        std::filesystem::create_directories(c / "BIG");
        std::filesystem::create_directories(c / "WINDOWS" / "TEMP");
        std::filesystem::create_directories(c / "APPS" / "G1" / "F1" / "LIB");
        std::ofstream(c / "APPS" / "G1" / "F1" / "LIB" / "SHARED.DLL") << "x";
        for (std::size_t i = 0; i < entries; ++i) {
            const std::string n = std::to_string(i);
            std::ofstream(c / "BIG" / ("C~APPS~Backup of file " + n + ".dll.backup")) << n;
            std::ofstream(c / "WINDOWS" / "TEMP" / ("Leftover " + n + ".tmp")) << n;
        }
        machine::SetCurrentMachine(machine::Machine::Open(scratch.folder()));
    }
};

// One set of folders per size, made current for the benchmark that asks.
Folders& Use(std::size_t entries) {
    static std::map<std::size_t, std::unique_ptr<Folders>> made;
    auto& folders = made[entries];
    if (!folders) {
        folders = std::make_unique<Folders>(entries);
    }
    machine::SetCurrentMachine(machine::Machine::Open(folders->scratch.folder()));
    return *folders;
}

void Change() {
    if (!win32::CopyFileA("C:\\APPS\\G1\\F1\\LIB\\SHARED.DLL", "C:\\BIG\\NEW.DLL", true) ||
        !win32::DeleteFileA("C:\\BIG\\NEW.DLL")) {
        throw std::runtime_error("the change failed");
    }
}

void BM_MissingNameAfterChange(benchmark::State& state) {
    Use(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        Change();
        benchmark::DoNotOptimize(win32::GetFileAttributesA("C:\\BIG\\C~APPS~NOT THERE.DLL"));
    }
}
BENCHMARK(BM_MissingNameAfterChange)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_ChangeOnly(benchmark::State& state) {
    Use(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        Change();
    }
}
BENCHMARK(BM_ChangeOnly)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_TempFileName(benchmark::State& state) {
    Use(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        const auto name = win32::GetTempFileNameA("C:\\WINDOWS\\TEMP", "VLT", 0);
        if (!name || !win32::DeleteFileA(*name)) {
            state.SkipWithError("no temporary file");
            return;
        }
    }
}
BENCHMARK(BM_TempFileName)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_OtherCase(benchmark::State& state) {
    Use(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            win32::GetFileAttributesA("C:\\big\\c~apps~BACKUP OF FILE 7.DLL.BACKUP"));
    }
}
BENCHMARK(BM_OtherCase)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_ShortName(benchmark::State& state) {
    Use(static_cast<std::size_t>(state.range(0)));
    const auto shortName = win32::GetShortPathNameA("C:\\BIG\\C~APPS~Backup of file 7.dll.backup");
    if (!shortName) {
        state.SkipWithError("no short name");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(win32::GetFileAttributesA(*shortName));
    }
}
BENCHMARK(BM_ShortName)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_ExistingDeepPath(benchmark::State& state) {
    Use(1000);
    for (auto _ : state) {
        benchmark::DoNotOptimize(win32::GetFileAttributesA("C:\\APPS\\G1\\F1\\LIB\\SHARED.DLL"));
    }
}
BENCHMARK(BM_ExistingDeepPath)->Unit(benchmark::kMicrosecond);

}  // namespace
