#include "tests/vlt/windows/WindowsTestSupport.h"

#include <memory>

namespace windowstest {
namespace {

std::unique_ptr<forms::Application>& Instance() {
    static std::unique_ptr<forms::Application> app;
    return app;
}

// Qt's application object must go before Qt's own globals do, so the run's end removes it.
class QtEnvironment : public testing::Environment {
  public:
    void TearDown() override { Instance().reset(); }
};

[[maybe_unused]] const testing::Environment* const registered =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

forms::Application& TestApp() {
    static int argc = 1;
    static char name[] = "test_vlt_windows";
    static char* argv[] = {name, nullptr};
    if (!Instance()) {
        Instance() = std::make_unique<forms::Application>(argc, argv);
    }
    return *Instance();
}

}  // namespace windowstest
