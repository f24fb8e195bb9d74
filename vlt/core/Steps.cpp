#include "vlt/core/Steps.h"

#include <new>
#include <stdexcept>
#include <utility>

#include "controls/debug/QzDebug.h"
#include "platform/dialogs/Dialogs.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/VltState.h"

namespace vlt {

Steps::Steps(std::string procedure) : procedure_(std::move(procedure)) {}

bool Steps::run(std::string step, const std::function<void()>& statement) {
    step_ = std::move(step);
    for (;;) {
        std::exception_ptr failure;
        try {
            statement();
            return true;
        } catch (const automation::Error&) {
            failure = std::current_exception();
        } catch (const std::runtime_error&) {
            failure = std::current_exception();
        } catch (const std::bad_alloc&) {
            failure = std::current_exception();
        }
        Qz_Debug::QzDebug* debug = State().QzDebug1;
        if (debug == nullptr) {
            std::rethrow_exception(failure);
        }
        const automation::Error error = AsRunTimeError(failure);
        int answer = dialogs::vbIgnore;
        try {
            answer = debug->AbortRetryIgnoreError(error.Number(), error.Description(), procedure_,
                                                  step_);
        } catch (const automation::Error& aborted) {
            throw ProgramAborted{aborted};
        }
        if (answer != dialogs::vbRetry) {
            return false;
        }
    }
}

automation::Error AsRunTimeError(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const automation::Error& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return automation::Error(automation::OutOfMemory,
                                 automation::ErrorText(automation::OutOfMemory));
    } catch (const std::exception& other) {
        return automation::Error(51, other.what());
    }
}

}  // namespace vlt
