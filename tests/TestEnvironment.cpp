// Compiled into every test program: the environment every test runs in, set before main. Qt
// runs on its offscreen platform, no test sees the user's machine or data folder, and nothing
// starts a browser or file manager. It is set here rather than as a ctest property because
// the discovered tests' list-valued properties lose all but their first item on the way.
#include <cstdlib>

namespace {

struct TestEnvironment {
    TestEnvironment() {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("VELTO_MACHINE", "/nonexistent", 1);
        ::setenv("XDG_DATA_HOME", VELTO_TEST_XDG_DATA_HOME, 1);
        ::setenv("VELTO_NO_LAUNCH", "1", 1);
    }
};

const TestEnvironment kEnvironment;

}  // namespace
