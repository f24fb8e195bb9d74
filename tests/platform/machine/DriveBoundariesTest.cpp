// Drives that could reach files that are not the machine's are left out, whatever profile
// named them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/machine/DriveBoundaries.h"
#include "platform/machine/Machine.h"
#include "tests/support/MachineBuilder.h"

namespace {

namespace fs = std::filesystem;
using machine::DriveInfo;
using machine::DriveType;

class DriveBoundaries : public ::testing::Test {
  protected:
    DriveBoundaries() {
        fs::create_symlink("/", builder.folder() / "root-link");
        fs::create_directories(builder.folder() / "elsewhere");
    }
    fs::path C() const { return builder.folder() / "drives" / "C"; }

    testsupport::MachineBuilder builder;
};

TEST_F(DriveBoundaries, WhichFoldersADriveMayStandFor) {
    const struct {
        fs::path folder;
        const char* reason;  // nullptr: usable
    } cases[] = {
        {"/", "its folder / is the host's root"},
        {builder.folder() / "root-link", " (a link to /) is the host's root"},
        {"/usr", "is the host's system folder /usr"},
        {"/usr/lib/x86_64-linux-gnu", "lies inside the host's system folder /usr"},
        {"/etc/", "is the host's system folder /etc"},
        {"/lib64", "the host's system folder /"},
        {"/proc/self", "lies inside the host's system folder /proc"},
        {"/var/lib/dpkg", "lies inside the host's system folder /var"},
        {"/run", "is the host's system folder /run"},
        {"/var/tmp/velto-machine/C", nullptr},
        {"/run/user/1000/machine", nullptr},
        {"/dev/shm/machine", nullptr},
        {builder.folder() / "elsewhere", nullptr},
    };
    for (const auto& c : cases) {
        const auto why = machine::WhyNotADriveFolder(c.folder);
        ASSERT_EQ(why.has_value(), c.reason != nullptr) << c.folder << ": " << why.value_or("");
        if (why) {
            EXPECT_NE(why->find(c.reason), std::string::npos) << *why;
        }
    }
}

TEST_F(DriveBoundaries, OverlappingDrivesAndTheMachinesOwnFolderAreLeftOut) {
    const fs::path m = builder.folder();
    const std::vector<DriveInfo> drives = {
        {'A', DriveType::Removable, {}, {}},  // no medium: nothing to reach
        {'B', DriveType::Fixed, m / "elsewhere", {}},
        {'C', DriveType::Fixed, C(), {}},
        {'D', DriveType::Fixed, C() / "WINDOWS" / "SYSTEM", {}},
        {'E', DriveType::Fixed, m / "drives", {}},
        {'F', DriveType::CdRom, C(), {}},
        {'G', DriveType::Fixed, m, {}},
        {'H', DriveType::Fixed, m.parent_path(), {}},
        {'X', DriveType::Fixed, m / "outside", "the profile leaves it out"},
        {'Y', DriveType::Fixed, "/usr", "the profile leaves it out"},
        {'Z', DriveType::Fixed, "/", {}},
    };
    // C: holds the Windows folder and is decided first, though A: and B: come before it.
    const auto selection = machine::SelectDrives(drives, m, 'C');
    std::string usable;
    for (const DriveInfo& drive : selection.usable) {
        usable += drive.letter;
    }
    EXPECT_EQ(usable, "ABC");
    const std::vector<std::pair<char, std::string>> expected = {
        {'D', "lies inside the folder of drive C:"}, {'E', "holds the folder of drive C:"},
        {'F', "is the folder of drive C:"},          {'G', "is the machine's own folder"},
        {'H', "holds the machine's own folder"},     {'X', "the profile leaves it out"},
        {'Y', "the host's system folder /usr"},      {'Z', "is the host's root"},
    };
    ASSERT_EQ(selection.leftOut.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(selection.leftOut[i].drive.letter, expected[i].first);
        EXPECT_NE(selection.leftOut[i].reason.find(expected[i].second), std::string::npos)
            << selection.leftOut[i].reason;
    }
}

// The machine knows its left-out drives, and no call reaches them: they are no drives of it.
TEST_F(DriveBoundaries, ALeftOutDriveResolvesNothing) {
    builder.DriveAt('D', DriveType::Fixed, "/")
        .DriveAt('E', DriveType::Fixed, builder.folder() / "root-link")
        .DriveAt('F', DriveType::Fixed, C() / "WINDOWS");
    const auto& m = *builder.machine();
    ASSERT_EQ(m.leftOutDrives().size(), 3u);
    ASSERT_EQ(m.paths().drives().size(), 1u);
    for (const char* path : {"D:\\usr\\lib", "E:\\etc\\passwd", "F:\\SYSTEM", "D:\\"}) {
        EXPECT_EQ(m.Resolve(path).error, machine::PathError::PathNotFound) << path;
        EXPECT_EQ(m.paths().Drive(path[0]), nullptr);
    }
    EXPECT_EQ(m.ToWindowsPath("/etc/passwd"), std::nullopt);
    EXPECT_TRUE(m.Resolve("C:\\WINDOWS\\SYSTEM"));
}

// A drive's folder that becomes a link to the host's root after the machine was opened does
// not take the drive there.
TEST_F(DriveBoundaries, AFolderThatTurnsIntoALinkToTheRootLeadsNowhere) {
    const fs::path later = builder.folder() / "later";
    fs::create_directories(later);
    builder.DriveAt('D', DriveType::Fixed, later);
    fs::remove(later);
    fs::create_symlink("/", later);
    EXPECT_EQ(builder.machine()->Resolve("D:\\etc").error, machine::PathError::NotReady);
}

}  // namespace
