// The fixture of an end-to-end suite on a real Wine prefix: the suite makes its prefix and its
// runs once (Wine needs seconds for each), in SetUpTestSuite, into a state of its own that
// derives from WineRun; the prefix and the folder are removed when the suite ends. Without Wine
// the suite leaves run_ null and every test is skipped; a test fails on whatever went wrong
// while the suite was made.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/WinePrefix.h"

namespace vltrun {

struct WineRun {
    // Everything the suite made, removed whole at the end.
    std::filesystem::path folder;
    std::filesystem::path prefix;
    std::string failure;
};

template <typename SuiteRun>
class WineSuite : public ::testing::Test {
  protected:
    static void TearDownTestSuite() {
        if (run_ != nullptr) {
            testsupport::RemoveWinePrefix(run_->prefix);
            std::error_code ec;
            std::filesystem::remove_all(run_->folder, ec);
            delete run_;
            run_ = nullptr;
        }
    }
    void SetUp() override {
        if (run_ == nullptr) {
            GTEST_SKIP() << testsupport::kWineMissing
                         << " (the setup programs' suite also needs makensis: Debian's nsis)";
        }
        ASSERT_TRUE(run_->failure.empty()) << run_->failure;
    }

    static inline SuiteRun* run_ = nullptr;
};

}  // namespace vltrun
