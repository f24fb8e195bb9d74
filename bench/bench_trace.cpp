// The cost of the trace calls every procedure of the program makes twice: with tracing off
// (a flag test and the flip) and on (one line formatted and handed to the system per call).
#include <benchmark/benchmark.h>

#include "bench/TreeGenerator.h"
#include "controls/debug/QzDebug.h"
#include "platform/machine/Machine.h"

namespace {

struct Machine {
    benchtree::ScratchMachine scratch;
    Machine() { machine::SetCurrentMachine(machine::Machine::Open(scratch.folder())); }
};

Machine& Scratch() {
    static Machine machine;
    return machine;
}

void BM_WriteSubTraceOff(benchmark::State& state) {
    Scratch();
    Qz_Debug::QzDebug debug("GlobalControls");
    bool flag = false;
    for (auto _ : state) {
        debug.WriteSubTrace("modVLTWork.LoadDups", flag);
    }
    benchmark::DoNotOptimize(flag);
}
BENCHMARK(BM_WriteSubTraceOff);

void BM_WriteSubTraceOn(benchmark::State& state) {
    Scratch();
    Qz_Debug::QzDebug debug("GlobalControls");
    debug.SetTraceMode(true);
    bool flag = false;
    debug.WriteSubTrace("open the file first", flag);
    for (auto _ : state) {
        debug.WriteSubTrace("modVLTWork.LoadDups", flag);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteSubTraceOn);

void BM_WriteTraceFilteredOut(benchmark::State& state) {
    Scratch();
    Qz_Debug::QzDebug debug("GlobalControls");
    debug.SetCommandLine("-TRACEREG");
    for (auto _ : state) {
        debug.WriteTrace("Adding Slash to: C:\\WINDOWS", "FILE");
    }
}
BENCHMARK(BM_WriteTraceFilteredOut);

}  // namespace
