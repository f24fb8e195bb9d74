#include <gtest/gtest.h>

#include "platform/automation/VersionText.h"

namespace automation {
namespace {

TEST(VersionText, OrdersPartByPartByTheirLeadingNumbers) {
    // Each pair is (older, newer).
    const struct {
        const char* older;
        const char* newer;
    } pairs[] = {
        {"5.0", "10.0"},
        {"5.0.900.0", "5.0.2600.0"},
        {"9.19.949.46", "9.19.949.1104"},
        {"5.1.2600.2180 (xpsp_sp2_rtm.040803-2158)", "5.1.2600.5512 (xpsp.080413-2111)"},
        {"5.1.2600.5512", "5.1.2600.5512 (xpsp.080413-2111)"},
        {"4.71", "4.72"},
        {"1.0", "1.0.1"},
        {"2.0a", "2.0b"},
        {"1.beta", "1.gamma"},
        {"", "1.0"},
        {"99999999999999999999.0", "100000000000000000000.0"},
        {"05.0", "5.0"},  // the same number: the texts decide, so only identical ones are equal
    };
    for (const auto& p : pairs) {
        EXPECT_LT(CompareVersionTexts(p.older, p.newer), 0) << p.older << " < " << p.newer;
        EXPECT_GT(CompareVersionTexts(p.newer, p.older), 0) << p.newer << " > " << p.older;
        EXPECT_TRUE(VersionIsNewer(p.newer, p.older));
        EXPECT_FALSE(VersionIsNewer(p.older, p.newer));
    }
    for (const char* same : {"", "5.0", "5.1.2600.5512 (xpsp.080413-2111)", "."}) {
        EXPECT_EQ(CompareVersionTexts(same, same), 0) << same;
    }
}

}  // namespace
}  // namespace automation
