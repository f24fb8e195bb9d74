// Tracing of the program's procedures: each one opens a TraceScope with its qualified name
// ("modVLTWork.LoadDups"), which writes the entry line through QzDebug's WriteSubTrace and
// the exit line when the procedure is left, however it is left.
#pragma once

#include <string>

namespace vlt {

class TraceScope {
  public:
    explicit TraceScope(std::string name);
    ~TraceScope();
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;

    // Writes the exit line now, for procedures that close the program as their last act
    // (after the close no control is left to write it); the destructor then writes nothing.
    void Exit();

  private:
    std::string name_;
    // WriteSubTrace's in/out flag: False before the entry line, True until the exit line.
    bool inOut_ = false;
    bool exited_ = false;
};

// A message line in the trace file (QzDebug's WriteTrace); nothing while no trace control is
// loaded.
void Trace(const std::string& message);
// Whether a trace file is written: work that only the trace would show may then be skipped
// when it is not.
bool Tracing();

}  // namespace vlt
