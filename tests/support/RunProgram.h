#pragma once
// Runs a program (velto-machine, the program itself) as a separate process for tests, waits
// for it and hands back its exit status and what it printed.

#include <string>
#include <vector>

namespace testsupport {

struct ProgramRun {
    // The exit status; -1 when it could not be started or did not exit normally.
    int status = -1;
    std::string out;
    std::string err;
};

// argv[0] is the program's path, or its name on $PATH. The environment is the test's own.
ProgramRun RunProgram(const std::vector<std::string>& argv);

}  // namespace testsupport
