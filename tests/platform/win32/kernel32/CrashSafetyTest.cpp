#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>

#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Profile.h"
#include "tests/support/MachineBuilder.h"

namespace {

using namespace win32;

bool IsSibling(const std::filesystem::path& path) {
    return path.filename().native().find(".new-") != std::string::npos;
}

size_t SiblingCount(const std::filesystem::path& dir) {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        count += IsSibling(entry.path());
    }
    return count;
}

// True while a new version is being written: the target no longer has the size every whole
// version has (a writer that writes in place), or a sibling with data exists.
bool WriteInProgress(const std::filesystem::path& target, std::uintmax_t wholeSize) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(target, ec);
    if (!ec && size != wholeSize) {
        return true;
    }
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path(), ec)) {
        if (IsSibling(entry.path()) && std::filesystem::file_size(entry.path(), ec) > 0 && !ec) {
            return true;
        }
    }
    return false;
}

TEST(CrashSafety, AWriterKilledMidWriteLeavesOneWholeVersion) {
    testsupport::MachineBuilder builder;
    constexpr size_t kSize = 4 << 20;
    constexpr const char* kIni = "C:\\WINDOWS\\big.ini";
    const auto version = [](char c) { return "[Data]\r\nValue=" + std::string(kSize, c) + "\r\n"; };
    ASSERT_TRUE(WritePrivateProfileStringA("Data", "Value", std::string(kSize, '0'), kIni));
    const auto host = builder.HostPath(kIni);
    const auto wholeSize = version('0').size();

    int caughtInside = 0;
    for (int round = 0; round < 4; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (char c = 'a';; c = c == 'z' ? 'a' : static_cast<char>(c + 1)) {
                if (!WritePrivateProfileStringA("Data", "Value", std::string(kSize, c), kIni)) {
                    ::_exit(3);
                }
            }
        }
        // Kill the writer the moment a write is seen under way.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        bool seen = false;
        while (!(seen = WriteInProgress(host, wholeSize)) &&
               std::chrono::steady_clock::now() < deadline) {
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself, status " << status;
        ASSERT_TRUE(seen) << "never saw a write under way";

        const std::string content = builder.Read(kIni);
        ASSERT_EQ(content.size(), wholeSize) << "round " << round << ": a torn file";
        const char c = content[std::string("[Data]\r\nValue=").size()];
        EXPECT_EQ(content, version(c)) << "round " << round << ": a mix of versions";
        // A sibling left behind shows the kill landed before the new version was in place.
        if (SiblingCount(host.parent_path()) > 0) {
            ++caughtInside;
            for (const auto& entry : std::filesystem::directory_iterator(host.parent_path())) {
                if (IsSibling(entry.path())) {
                    std::filesystem::remove(entry.path());
                }
            }
        }
    }
    EXPECT_GT(caughtInside, 0) << "no kill landed inside a write";
}

TEST(CrashSafety, ConcurrentWritersLoseNothing) {
    testsupport::MachineBuilder builder;
    constexpr const char* kIni = "C:\\WINDOWS\\shared.ini";
    constexpr int kKeys = 40;
    pid_t children[2];
    for (int w = 0; w < 2; ++w) {
        children[w] = ::fork();
        ASSERT_GE(children[w], 0);
        if (children[w] == 0) {
            for (int k = 0; k < kKeys; ++k) {
                const std::string key = "w" + std::to_string(w) + "k" + std::to_string(k);
                if (!WritePrivateProfileStringA("S", key, std::to_string(k), kIni)) {
                    ::_exit(1);
                }
            }
            ::_exit(0);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(GetPrivateProfileSectionA("S", kIni).size(), 2u * kKeys);
}

TEST(AtomicFile, AReplacedFileKeepsItsModeAndAttributes) {
    testsupport::MachineBuilder builder;
    builder.File("C:\\keep.ini", "[A]\r\n");
    ::chmod(builder.HostPath("C:\\keep.ini").c_str(), 0640);
    if (testsupport::MachineBuilder::XattrsSupported()) {
        builder.Attributes("C:\\keep.ini", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
        ::chmod(builder.HostPath("C:\\keep.ini").c_str(), 0640);
    }
    ASSERT_TRUE(WriteFileAtomicallyA("C:\\keep.ini", "[B]\r\n"));
    EXPECT_EQ(builder.Read("C:\\keep.ini"), "[B]\r\n");
    struct stat st;
    ASSERT_EQ(::stat(builder.HostPath("C:\\keep.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (testsupport::MachineBuilder::XattrsSupported()) {
        EXPECT_EQ(GetFileAttributesA("C:\\keep.ini"), 34);
    }
}

TEST(AtomicFile, FailuresLeaveTheOldFileAndNoDebris) {
    testsupport::MachineBuilder builder;
    builder.File("C:\\old.txt", "old");
    const auto dir = builder.HostPath("C:\\");
    {
        AtomicFile abandoned(builder.HostPath("C:\\old.txt"));
        EXPECT_TRUE(abandoned.Write("never committed"));
    }
    {
        AtomicFile exclusive(builder.HostPath("C:\\old.txt"));
        exclusive.Write("new");
        EXPECT_EQ(exclusive.Commit(false), EEXIST);
    }
    EXPECT_EQ(builder.Read("C:\\old.txt"), "old");
    EXPECT_EQ(SiblingCount(dir), 0u);
    EXPECT_EQ(WriteHostFileAtomically(builder.HostPath("C:\\Missing\\x.txt"), "x"), ENOENT);
    EXPECT_FALSE(WriteFileAtomicallyA("C:\\Missing\\x.txt", "x"));
    EXPECT_FALSE(WriteFileAtomicallyA("C:\\", "x"));
}

}  // namespace

namespace {

// A writer that holds its sibling open in a child process until told; the child's id.
pid_t WriterHoldingItsSibling(const std::filesystem::path& target, int& release) {
    int ready[2];
    int go[2];
    if (::pipe(ready) != 0 || ::pipe(go) != 0) {
        return -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        AtomicFile file(target);
        file.Write("half");
        char c = 0;
        const bool told = ::write(ready[1], "r", 1) == 1 && ::read(go[0], &c, 1) >= 0;
        ::_exit(told ? 0 : 1);
    }
    char c = 0;
    if (::read(ready[0], &c, 1) != 1) {
        return -1;
    }
    ::close(ready[0]);
    ::close(ready[1]);
    ::close(go[0]);
    release = go[1];
    return child;
}

// Siblings of killed writers go with the next writer into the folder; a live writer's sibling
// and a file that only looks alike stay.
TEST(AtomicFile, TheNextWriterRemovesWhatKilledWritersLeft) {
    testsupport::MachineBuilder builder;
    const auto folder = builder.HostPath("C:\\WINDOWS\\TEMP");
    const auto target = folder / "wininit.ini";
    int releaseKilled = -1;
    int releaseLive = -1;
    const pid_t killed = WriterHoldingItsSibling(target, releaseKilled);
    const pid_t live = WriterHoldingItsSibling(folder / "other.ini", releaseLive);
    ASSERT_GT(killed, 0);
    ASSERT_GT(live, 0);
    ::kill(killed, SIGKILL);
    ::waitpid(killed, nullptr, 0);
    std::ofstream(folder / ".notes.new-mine") << "mine";
    std::ofstream(folder / ".old.ini.new-0123456789ab") << "writer unknown";
    ASSERT_EQ(SiblingCount(folder), 4u);

    ASSERT_EQ(WriteHostFileAtomically(target, "[Rename]\r\n"), 0);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (IsSibling(entry.path())) {
            left.push_back(entry.path().filename().string());
        }
    }
    std::sort(left.begin(), left.end());
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(left[0], ".notes.new-mine");
    EXPECT_TRUE(left[1].starts_with(".old.ini.new-"));
    EXPECT_TRUE(left[2].starts_with(".other.ini.new-" + std::to_string(live) + "-")) << left[2];
    EXPECT_EQ(::write(releaseLive, "g", 1), 1);
    ::waitpid(live, nullptr, 0);
    ::close(releaseLive);
    ::close(releaseKilled);
}

}  // namespace
