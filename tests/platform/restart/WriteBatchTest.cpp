// Copies committed together: nothing is under a staged copy's name before Commit, the whole
// copy is after it, and a batch dropped leaves no trace.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/restart/WriteBatch.h"
#include "platform/win32/ntdll/LastError.h"
#include "tests/support/MachineBuilder.h"

namespace {

using namespace win32;

std::size_t EntriesIn(const std::filesystem::path& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++n;
    }
    return n;
}

TEST(WriteBatch, AStagedCopyAppearsWholeAtCommitAndADroppedOneNever) {
    for (const bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "committed" : "dropped");
        testsupport::MachineBuilder m;
        m.File("C:\\A\\X.DLL", "new bytes").File("C:\\BACK\\OLD.DLL.backup", "old bytes");
        {
            WriteBatch batch;
            ASSERT_TRUE(batch.StageCopy("C:\\A\\X.DLL", "C:\\BACK\\X.DLL.backup"));
            ASSERT_TRUE(batch.StageCopy("C:\\A\\X.DLL", "C:\\BACK\\OLD.DLL.backup"));
            EXPECT_TRUE(batch.Stages("c:\\back\\x.dll.BACKUP"));
            EXPECT_FALSE(batch.Stages("C:\\BACK\\Y.DLL.backup"));
            // Until the commit the old file, or none, is under each name.
            EXPECT_FALSE(m.Exists("C:\\BACK\\X.DLL.backup"));
            EXPECT_EQ(m.Read("C:\\BACK\\OLD.DLL.backup"), "old bytes");
            if (commit) {
                ASSERT_EQ(batch.Commit(), 0);
                EXPECT_TRUE(batch.empty());
            }
        }
        if (commit) {
            EXPECT_EQ(m.Read("C:\\BACK\\X.DLL.backup"), "new bytes");
            EXPECT_EQ(m.Read("C:\\BACK\\OLD.DLL.backup"), "new bytes");
        } else {
            EXPECT_FALSE(m.Exists("C:\\BACK\\X.DLL.backup"));
            EXPECT_EQ(m.Read("C:\\BACK\\OLD.DLL.backup"), "old bytes");
        }
        // No sibling is left beside the copies either way.
        EXPECT_EQ(EntriesIn(m.HostPath("C:\\BACK")), commit ? 2u : 1u);
    }
}

TEST(WriteBatch, ASecondCopyForOnePlaceIsRefusedWhateverItsName) {
    testsupport::MachineBuilder m;
    m.File("C:\\A\\X.DLL", "first").File("C:\\A\\Y.DLL", "second").Folder("C:\\Long Folder");
    WriteBatch batch;
    ASSERT_TRUE(batch.StageCopy("C:\\A\\X.DLL", "C:\\Long Folder\\X.BAK"));
    EXPECT_FALSE(batch.StageCopy("C:\\A\\Y.DLL", "C:\\LONGFO~1\\X.BAK"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    ASSERT_EQ(batch.Commit(), 0);
    EXPECT_EQ(m.Read("C:\\Long Folder\\X.BAK"), "first");
}

TEST(WriteBatch, ACopyIntoAFreshFileKeepsTheSourceSizeAndBytes) {
    testsupport::MachineBuilder m;
    m.File("C:\\A\\X.DLL", std::string(300'000, 'x')).File("C:\\TEMP\\VLT1.tmp");
    WriteBatch batch;
    std::uint64_t size = 0;
    std::uint64_t copied = 0;
    ASSERT_TRUE(batch.CopyInto("C:\\A\\X.DLL", "C:\\TEMP\\VLT1.tmp", size, copied));
    EXPECT_EQ(size, 300'000u);
    EXPECT_EQ(copied, 300'000u);
    ASSERT_EQ(batch.Commit(), 0);
    EXPECT_EQ(m.Read("C:\\TEMP\\VLT1.tmp"), std::string(300'000, 'x'));
}

}  // namespace
