// Shared by the QzFile tests: a machine of its own for every test, the module's listing back
// to a fresh state, and a way to act from inside the listing's DoEvents.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "controls/file/QzFile.h"
#include "controls/file/modFileList.h"
#include "platform/dialogs/Clock.h"
#include "tests/support/MachineBuilder.h"

namespace filetest {

// Runs `pump` at every DoEvents while it lives.
class ScopedPump {
  public:
    explicit ScopedPump(std::function<void()> pump)
        : previous_(dialogs::SetDoEventsHook(std::move(pump))) {}
    ~ScopedPump() { dialogs::SetDoEventsHook(std::move(previous_)); }
    ScopedPump(const ScopedPump&) = delete;
    ScopedPump& operator=(const ScopedPump&) = delete;

  private:
    std::function<void()> previous_;
};

class FileTest : public ::testing::Test {
  protected:
    void SetUp() override { Qz_File::modFileList::ResetForTesting(); }
    void TearDown() override { Qz_File::modFileList::ResetForTesting(); }

    // Every entry of the listing, File(0) .. File(FileCount - 1), after a load.
    std::vector<std::string> Listing(Qz_File::QzFile& file) {
        std::vector<std::string> out;
        file.LoadFileListing();
        for (std::int32_t i = 0; i < file.FileCount(); ++i) {
            out.push_back(file.File(i));
        }
        return out;
    }

    testsupport::MachineBuilder machine;
    Qz_File::QzFile file;
};

// Attributes need user extended attributes on the test folder's file system.
#define SKIP_WITHOUT_XATTRS()                                                                   \
    if (!testsupport::MachineBuilder::XattrsSupported()) {                                      \
        GTEST_SKIP() << "the temporary folder's file system keeps no user extended attributes"; \
    }

}  // namespace filetest
