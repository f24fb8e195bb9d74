#include "vlt/core/TraceScope.h"

#include <utility>

#include "controls/debug/QzDebug.h"
#include "vlt/core/VltState.h"

namespace vlt {
namespace {

// Before GlobalControls has loaded and after it has gone there is nothing to trace to; the
// flag still flips, as WriteSubTrace would have flipped it, so the exit line of a procedure
// that outlives the control host is never written as a second entry line.
void WriteSubTrace(const std::string& name, bool& inOut) {
    if (Qz_Debug::QzDebug* debug = State().QzDebug1) {
        debug->WriteSubTrace(name, inOut);
    } else {
        inOut = !inOut;
    }
}

}  // namespace

TraceScope::TraceScope(std::string name) : name_(std::move(name)) {
    WriteSubTrace(name_, inOut_);
}

TraceScope::~TraceScope() {
    Exit();
}

void TraceScope::Exit() {
    if (exited_) {
        return;
    }
    exited_ = true;
    WriteSubTrace(name_, inOut_);
}

void Trace(const std::string& message) {
    if (Qz_Debug::QzDebug* debug = State().QzDebug1) {
        debug->WriteTrace(message);
    }
}

bool Tracing() {
    const Qz_Debug::QzDebug* debug = State().QzDebug1;
    return debug != nullptr && debug->TraceMode();
}

}  // namespace vlt
