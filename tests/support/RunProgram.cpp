#include "tests/support/RunProgram.h"

#include <stdexcept>

#include "tests/support/BackgroundProgram.h"

namespace testsupport {

ProgramRun RunProgram(const std::vector<std::string>& args) {
    ProgramRun run;
    try {
        BackgroundProgram program(args);
        run.status = program.Wait();
        run.out = program.Out();
        run.err = program.Err();
    } catch (const std::runtime_error& error) {
        run.err = error.what();
    }
    return run;
}

}  // namespace testsupport
