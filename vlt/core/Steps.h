// Error handling by steps. A procedure runs its statements as named steps; a run-time error
// in a step is offered to the user through QzDebug's AbortRetryIgnoreError with the step's
// text and the procedure's name. Retry runs the step again, Ignore goes on with the next step,
// Abort ends the program: DoError explains the error, which then leaves every procedure as
// ProgramAborted (QzBase.h), so no enclosing step offers it a second time.
//
//   Steps steps("modVLTFinalize.DoActionReport");
//   steps.run("Saving Temp Report File: " + name, [&] { ... });
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "platform/automation/Errors.h"

namespace vlt {

class Steps {
  public:
    explicit Steps(std::string procedure);

    // True when the statement completed (perhaps after retries), false when the user chose
    // to ignore its error. Before the control host is loaded, and after it has gone, there is
    // nobody to ask and the error leaves the procedure.
    bool run(std::string step, const std::function<void()>& statement);

    const std::string& procedure() const { return procedure_; }
    // The text of the step running now (or that ran last).
    const std::string& step() const { return step_; }

  private:
    std::string procedure_;
    std::string step_;
};

// The run-time error a failure of the host's library stands for: run-time errors as they
// are, out of memory as error 7, anything else the host reports as error 51 (internal
// error) with its own text. Programming faults (std::logic_error) are not failures of this
// kind and are never passed here.
automation::Error AsRunTimeError(std::exception_ptr failure);

}  // namespace vlt
