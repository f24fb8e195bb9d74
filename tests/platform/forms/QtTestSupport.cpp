#include "tests/platform/forms/QtTestSupport.h"

#include <memory>

namespace forms::test {

namespace {

std::unique_ptr<Application>& Instance() {
    static std::unique_ptr<Application> app;
    return app;
}

class QtEnvironment : public testing::Environment {
  public:
    void TearDown() override { Instance().reset(); }
};

[[maybe_unused]] const testing::Environment* const registered =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

Application& TestApp() {
    static int argc = 1;
    static char name[] = "test_forms";
    static char* argv[] = {name, nullptr};
    if (!Instance()) {
        Instance() = std::make_unique<Application>(argc, argv);
    }
    return *Instance();
}

}  // namespace forms::test
