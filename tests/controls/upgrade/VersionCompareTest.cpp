// Splitting a published version and weighing it against the installed one.

#include "controls/upgrade/VersionCompare.h"

#include <gtest/gtest.h>

namespace Qz_Upgrade {
namespace {

TEST(VersionCompare, SplitsThePublishedVersion) {
    struct Case {
        const char* version;
        const char* build;
        VersionParts parts;
    };
    const Case cases[] = {
        {"1.2.3", "", {"1", "2", "3"}},
        {"1.2", "", {"1", "2", ""}},
        {"1.2.3", "57", {"1", "2.3", "57"}},
        {"1.2", "57", {"1", "2", "57"}},
        {"7", "", {"7", "", ""}},
        {"7", "3", {"7", "", "3"}},
        {"1.2.3.4", "", {"1", "2", "3.4"}},
        {"", "", {"", "", ""}},
        {".5", "", {"", "5", ""}},
        {"2.", "", {"2", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " build " + c.build);
        EXPECT_EQ(SplitPublishedVersion(c.version, c.build), c.parts);
    }
}

TEST(VersionCompare, WeighsThePartsInOrderOfSignificance) {
    struct Case {
        VersionParts published;
        VersionParts installed;
        bool newer;
        VersionParts installedAfter;
    };
    const Case cases[] = {
        {{"1", "5", "0"}, {"1", "4", "2"}, true, {"1", "4", "2"}},
        {{"1", "4", "2"}, {"1", "4", "2"}, false, {"1", "4", "2"}},
        {{"1", "4", "10"}, {"1", "4", "2"}, true, {"1", "4", "02"}},
        {{"1", "4", "1"}, {"1", "4", "10"}, false, {"1", "4", "10"}},
        // Older in a less significant part, newer in a more significant one, and the reverse.
        {{"1", "9", "9"}, {"2", "0", "0"}, false, {"2", "0", "0"}},
        {{"2", "0", "0"}, {"1", "9", "9"}, true, {"1", "9", "9"}},
        {{"1", "3", "99"}, {"1", "4", "0"}, false, {"1", "4", "00"}},
        {{"10", "0", "0"}, {"9", "9", "9"}, true, {"09", "9", "9"}},
        // A published version without minor or build parts: zeros never beat the installed.
        {{"2", "", ""}, {"1", "4", "2"}, true, {"1", "4", "2"}},
        {{"1", "", ""}, {"1", "4", "2"}, false, {"1", "4", "2"}},
        {{"1", "", ""}, {"1", "0", "0"}, false, {"1", "0", "0"}},
        // Installed parts the host never set.
        {{"1", "0", "0"}, {"", "", ""}, true, {"0", "0", "0"}},
        {{"0", "0", "0"}, {"", "", ""}, false, {"0", "0", "0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.published.major + "." + c.published.minor + "." + c.published.build +
                     " over " + c.installed.major + "." + c.installed.minor + "." +
                     c.installed.build);
        VersionParts installed = c.installed;
        EXPECT_EQ(PublishedIsNewer(c.published, installed), c.newer);
        EXPECT_EQ(installed, c.installedAfter);
    }
}

}  // namespace
}  // namespace Qz_Upgrade
