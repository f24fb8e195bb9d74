// Reading the version resources of a few thousand generated images, warm cache: the work the
// scan does for every copy of a duplicated file.
#include <benchmark/benchmark.h>

#include "bench/TreeGenerator.h"
#include "platform/machine/Machine.h"
#include "platform/win32/version/Version.h"
#include "platform/win32/version/VersionFile.h"
#include "platform/win32/version/VersionStrings.h"

namespace {

struct Images {
    benchtree::ScratchMachine machine;
    benchtree::GeneratedTree tree;
    std::vector<std::string> windowsPaths;

    Images() {
        benchtree::TreeShape shape;
        shape.folders = 30;
        shape.imagesPerFolder = 100;
        shape.otherFilesPerFolder = 0;
        tree = benchtree::GenerateTree(machine.driveC() / "WINDOWS", shape);
        machine::SetCurrentMachine(machine::Machine::Open(machine.folder()));
        for (const auto& path : tree.images) {
            windowsPaths.push_back(*machine::CurrentMachine()->ToWindowsPath(path));
            win32::LoadVersionResourceFromFile(path);  // warms the page cache
        }
    }
};

Images& Data() {
    static Images images;
    return images;
}

void Report(benchmark::State& state, std::size_t files, std::size_t versioned) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * files));
    state.counters["files"] = static_cast<double>(files);
    state.counters["versioned"] = static_cast<double>(versioned);
}

// The parser alone, on host paths.
void BM_VersionStringsOfHostFiles(benchmark::State& state) {
    const Images& data = Data();
    std::size_t versioned = 0;
    for (auto _ : state) {
        versioned = 0;
        for (const auto& path : data.tree.images) {
            const auto loaded = win32::LoadVersionResourceFromFile(path);
            if (loaded.resource) {
                benchmark::DoNotOptimize(win32::ReadStandardVersionStrings(loaded.resource->block));
                ++versioned;
            }
        }
    }
    Report(state, data.tree.images.size(), versioned);
}
BENCHMARK(BM_VersionStringsOfHostFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the file control does per copy: size, then the block, then the queries, all on
// Windows paths of the machine.
void BM_VersionStringsOfMachineFiles(benchmark::State& state) {
    const Images& data = Data();
    std::size_t versioned = 0;
    for (auto _ : state) {
        versioned = 0;
        for (const auto& path : data.windowsPaths) {
            if (win32::GetFileVersionInfoSizeA(path) == 0) {
                continue;
            }
            if (const auto block = win32::GetFileVersionInfoA(path)) {
                benchmark::DoNotOptimize(win32::ReadStandardVersionStrings(*block));
                ++versioned;
            }
        }
    }
    Report(state, data.windowsPaths.size(), versioned);
}
BENCHMARK(BM_VersionStringsOfMachineFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
