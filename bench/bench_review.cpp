// The duplicate review window with a large scan behind it, on Qt's offscreen platform: 10,000
// and 100,000 groups of three copies (30,000 and 300,000 copy nodes), added the way the
// matcher adds them.
//
//   BM_OpenReview        the window loaded by the first group, every node added, shown and
//                        painted: what the user waits for once matching has finished
//   BM_ExpandAll         "Expand All" on the open window, laid out and painted
//   BM_CollapseAll       "Collapse All" after an expansion of every group
//   BM_ClickLoadsRows    a click on a group that loads the property rows of its three copies
//                        (real files, read through the file-services control)
//
// Each benchmark reports wall time per iteration; the counters say how many nodes were shown.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/TreeGenerator.h"
#include "controls/file/QzFile.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Date.h"
#include "platform/dialogs/Clock.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/forms/Application.h"
#include "platform/machine/Machine.h"
#include "platform/registry/SqliteRegistryStore.h"
#include "tools/imagewriter/ImageWriter.h"
#include "vlt/core/GlobalControls.h"
#include "vlt/core/VltState.h"
#include "vlt/windows/frmDupSys.h"

namespace {

// The most groups a benchmark fills the window with.
constexpr int kMostGroups = 100'000;
constexpr int kCopies = 3;
// Groups whose copies exist on disk, for the row-loading benchmark.
constexpr int kGroupsOnDisk = 200;

class SysInfo : public vlt::SystemInfoHost {
  public:
    Qz_System_Info::QzSystemInfo& Sys1() override { return sys_; }

  private:
    Qz_System_Info::QzSystemInfo sys_;
};

std::string Folder(int copy) {
    return "C:\\APPS\\F" + std::to_string(copy) + "\\";
}

std::string Name(int group) {
    return "SHARED" + std::to_string(100000 + group) + ".DLL";
}

// The machine, the control host and the program's state the window reads when it loads.
class Program {
  public:
    Program() {
        std::ofstream(scratch_.folder() / "machine.ini")
            << "[Machine]\r\nPlatform=9x\r\n[Drives]\r\nC=fixed:drives/C\r\n";
        const auto c = scratch_.driveC();
        std::filesystem::create_directories(c / "WINDOWS" / "SYSTEM");
        std::filesystem::create_directories(c / "WINDOWS" / "TEMP");
        std::filesystem::create_directories(c / "Program Files" / "Velto");
        registry::SqliteRegistryStore::Create(scratch_.folder() /
                                              machine::Machine::kRegistryFileName);
        imagewriter::StringTable table;
        table.strings = {{"CompanyName", "Korvane Software"},
                         {"FileVersion", "1.0.0.0"},
                         {"ProductVersion", "1.0.0.0"},
                         {"FileDescription", "Shared library"}};
        imagewriter::VersionInfo info;
        info.tables = {table};
        const auto image = imagewriter::BuildImage(imagewriter::VersionImage(info)).bytes;
        for (int copy = 0; copy < kCopies; ++copy) {
            const auto folder = c / "APPS" / ("F" + std::to_string(copy));
            std::filesystem::create_directories(folder);
            for (int group = 0; group < kGroupsOnDisk; ++group) {
                std::ofstream(folder / Name(group), std::ios::binary)
                    .write(reinterpret_cast<const char*>(image.data()),
                           static_cast<std::streamsize>(image.size()));
            }
        }
        machine::SetCurrentMachine(machine::Machine::Open(scratch_.folder()));
        vlt::ResetState();
        vlt::State().windows.sysInfo = std::make_shared<SysInfo>();
        vlt::TheGlobalControls().Load();
        std::string& list = vlt::State().RecommendedList;
        for (int group = 0; group < kMostGroups; ++group) {
            list += "|" + Folder(group % kCopies) + Name(group) + "|";
        }
    }
    ~Program() {
        vlt::TheGlobalControls().Unload();
        vlt::ResetState();
    }

  private:
    benchtree::ScratchMachine scratch_;
    dialogs::ScopedBackend answers_{std::make_shared<dialogs::ScriptedDialogs>()};
    dialogs::ScopedClock clock_{
        std::make_shared<dialogs::ManualClock>(automation::DateSerial(2026, 12, 6))};
};

// Fills the window as the matcher does: the group, its copies, the recommended one marked.
void Fill(frmDupSys& window, int groups) {
    for (int group = 0; group < groups; ++group) {
        const std::string name = Name(group);
        window.AddGroup(name, frmDupSys::kHasRecommendation);
        for (int copy = 0; copy < kCopies; ++copy) {
            window.AddCopy(
                name, Folder(copy) + name,
                copy == group % kCopies ? frmDupSys::kRecommended : frmDupSys::kOtherCopy);
        }
    }
}

// Lets the window lay itself out and paint.
void Settle(frmDupSys& window) {
    QApplication::processEvents();
    window.repaint();
    QApplication::processEvents();
}

std::unique_ptr<frmDupSys> OpenWindow(int groups) {
    auto window = std::make_unique<frmDupSys>();
    Fill(*window, groups);
    window->Show();
    Settle(*window);
    return window;
}

void BM_OpenReview(benchmark::State& state) {
    for (auto _ : state) {
        auto window = std::make_unique<frmDupSys>();
        Fill(*window, static_cast<int>(state.range(0)));
        window->Show();
        Settle(*window);
        state.PauseTiming();
        state.counters["nodes"] = window->TreeView1->Count();
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenReview)
    ->Arg(10'000)
    ->Arg(kMostGroups)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_ExpandAll(benchmark::State& state) {
    const auto window = OpenWindow(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        window->cmdExpandAll_Click();
        Settle(*window);
        state.PauseTiming();
        window->cmdCollapseAll_Click();
        Settle(*window);
        state.ResumeTiming();
    }
    state.counters["groups"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ExpandAll)
    ->Arg(10'000)
    ->Arg(kMostGroups)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_CollapseAll(benchmark::State& state) {
    const auto window = OpenWindow(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        window->cmdExpandAll_Click();
        Settle(*window);
        state.ResumeTiming();
        window->cmdCollapseAll_Click();
        Settle(*window);
    }
}
BENCHMARK(BM_CollapseAll)
    ->Arg(10'000)
    ->Arg(kMostGroups)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_ClickLoadsRows(benchmark::State& state) {
    constexpr int kGroups = 10'000;
    const auto window = OpenWindow(kGroups);
    int group = 0;
    for (auto _ : state) {
        const forms::Node node = window->TreeView1->Nodes(Name(group++));
        window->TreeView1->SetSelectedItem(node);
        window->TreeView1_NodeClick(node);
        Settle(*window);
    }
    state.counters["rows"] = window->TreeView1->Count() - kGroups * (1 + kCopies);
}
BENCHMARK(BM_ClickLoadsRows)->Unit(benchmark::kMillisecond)->Iterations(kGroupsOnDisk);

}  // namespace

// Qt's application object must exist before the first window and go before Qt's own globals.
int main(int argc, char** argv) {
    forms::Application app(argc, argv);
    const Program program;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
