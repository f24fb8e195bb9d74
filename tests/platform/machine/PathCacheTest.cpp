// The cached folder listings of the path resolver: this process's changes are taken in one
// name at a time, changes made by anyone else are seen however soon they follow a lookup, and
// a folder is read whole again only when its listing cannot be trusted.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/machine/PathResolver.h"
#include "tests/support/MachineBuilder.h"

namespace {

namespace fs = std::filesystem;

// Changes as the test hands them over; watches only when told to.
class ScriptedWatch : public machine::FolderWatch {
  public:
    bool watchable = false;
    bool loseNext = false;
    std::vector<machine::FolderChange> pending;
    int lastId = -1;

    int Add(const fs::path&) override { return watchable ? ++lastId : -1; }
    void Remove(int) override {}
    bool Drain(std::vector<machine::FolderChange>& out) override {
        if (loseNext) {
            loseNext = false;
            pending.clear();
            return false;
        }
        out.insert(out.end(), pending.begin(), pending.end());
        pending.clear();
        return true;
    }
};

class PathCache : public ::testing::Test {
  protected:
    PathCache() {
        builder.File("C:\\Data\\first.txt", "1").Folder("C:\\Data\\Sub");
        data = builder.HostPath("C:\\Data");
    }

    std::unique_ptr<machine::PathResolver> WithWatch(std::unique_ptr<machine::FolderWatch> w) {
        return std::make_unique<machine::PathResolver>(builder.machine()->profile().drives(),
                                                       std::move(w));
    }

    // The host name a Windows name finds in a folder; "" for none.
    static std::string Find(const machine::PathResolver& r, const fs::path& dir,
                            std::string_view name) {
        int err = 0;
        const auto found = r.Lookup(dir, name, err);
        EXPECT_EQ(err, 0) << name;
        return found ? found->host : std::string();
    }

    static void Create(const fs::path& path) { std::ofstream(path) << "x"; }

    testsupport::MachineBuilder builder;
    fs::path data;
};

bool HostCanWatch(const fs::path& dir) {
    return machine::MakeHostFolderWatch()->Add(dir) >= 0;
}

TEST_F(PathCache, WatchedFolderFollowsEveryChangeWithoutBeingReadAgain) {
    if (!HostCanWatch(data)) {
        GTEST_SKIP() << "no folder watch on this host (inotify unavailable or used up)";
    }
    const auto resolver = WithWatch(machine::MakeHostFolderWatch());
    EXPECT_EQ(Find(*resolver, data, "NOT THERE.TXT"), "");
    // Each change follows a lookup at once, mostly within the same tick of the file system's
    // clock, where the folder's change time cannot tell the listing is old.
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(i);
        const struct {
            std::function<void()> change;
            std::string name;
            std::string host;
        } steps[] = {
            {[&] {
                 Create(data / ("own" + n + ".txt"));
                 resolver->Refresh(data / ("own" + n + ".txt"));
             },
             "OWN" + n + ".TXT", "own" + n + ".txt"},
            {[&] { Create(data / ("foreign" + n + ".txt")); }, "FOREIGN" + n + ".TXT",
             "foreign" + n + ".txt"},
            {[&] {
                 fs::rename(data / ("own" + n + ".txt"), data / ("Moved" + n + ".txt"));
                 resolver->Refresh(data / ("own" + n + ".txt"));
                 resolver->Refresh(data / ("Moved" + n + ".txt"));
             },
             "OWN" + n + ".TXT", ""},
            {[] {}, "moved" + n + ".TXT", "Moved" + n + ".txt"},
            {[&] { fs::remove(data / ("foreign" + n + ".txt")); }, "FOREIGN" + n + ".TXT", ""},
            {[&] { fs::create_directory(data / ("Dir" + n)); }, "DIR" + n, "Dir" + n},
            {[&] {
                 // Another process, not this one's file calls.
                 const pid_t child = ::fork();
                 if (child == 0) {
                     std::ofstream(data / ("child" + n + ".txt")) << "x";
                     ::_exit(0);
                 }
                 ::waitpid(child, nullptr, 0);
             },
             "CHILD" + n + ".TXT", "child" + n + ".txt"},
        };
        for (const auto& step : steps) {
            step.change();
            EXPECT_EQ(Find(*resolver, data, step.name), step.host) << step.name;
        }
    }
    EXPECT_EQ(resolver->foldersRead(), 1u);
}

TEST_F(PathCache, UnwatchedFolderIsTrustedOnlyWhenItsChangeTimeHasSettled) {
    auto owned = std::make_unique<ScriptedWatch>();
    const auto resolver = WithWatch(std::move(owned));
    // Last changed ten seconds ago: a listing read now cannot share a tick with a later change.
    const timespec past[2] = {{::time(nullptr) - 10, 0}, {::time(nullptr) - 10, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, data.c_str(), past, 0), 0);
    EXPECT_EQ(Find(*resolver, data, "FIRST.TXT"), "first.txt");
    EXPECT_EQ(Find(*resolver, data, "NOT THERE.TXT"), "");
    EXPECT_EQ(resolver->foldersRead(), 1u);

    // Someone else's change moves the change time on; until it settles, every lookup that
    // needs the listing reads the folder again, so that a second change in the same tick is
    // seen as well.
    Create(data / "late.txt");
    EXPECT_EQ(Find(*resolver, data, "LATE.TXT"), "late.txt");
    Create(data / "later.txt");
    EXPECT_EQ(Find(*resolver, data, "LATER.TXT"), "later.txt");
    EXPECT_EQ(resolver->foldersRead(), 3u);

    // Without a watch, this process's own change cannot be told from another one made
    // alongside it: the listing goes.
    fs::remove(data / "late.txt");
    resolver->Refresh(data / "late.txt");
    EXPECT_EQ(Find(*resolver, data, "LATE.TXT"), "");
    EXPECT_EQ(resolver->foldersRead(), 4u);
}

TEST_F(PathCache, TrustsTheWatchAndRereadsWhenItLostTrack) {
    auto owned = std::make_unique<ScriptedWatch>();
    ScriptedWatch& watch = *owned;
    watch.watchable = true;
    const auto resolver = WithWatch(std::move(owned));
    EXPECT_EQ(Find(*resolver, data, "FIRST.TXT"), "first.txt");
    const int id = watch.lastId;

    Create(data / "unreported.txt");
    EXPECT_EQ(Find(*resolver, data, "UNREPORTED.TXT"), "");  // the watch said nothing
    watch.pending.push_back({id, "unreported.txt"});
    EXPECT_EQ(Find(*resolver, data, "UNREPORTED.TXT"), "unreported.txt");
    fs::remove(data / "first.txt");
    watch.pending.push_back({id, "first.txt"});
    EXPECT_EQ(Find(*resolver, data, "FIRST.TXT"), "");
    EXPECT_EQ(resolver->foldersRead(), 1u);

    Create(data / "lost.txt");
    watch.loseNext = true;
    EXPECT_EQ(Find(*resolver, data, "LOST.TXT"), "lost.txt");
    EXPECT_EQ(resolver->foldersRead(), 2u);

    watch.pending.push_back({watch.lastId, ""});  // the folder itself went, or its watch
    EXPECT_EQ(Find(*resolver, data, "LOST.TXT"), "lost.txt");
    EXPECT_EQ(resolver->foldersRead(), 3u);

    // This process removed or moved the folder: its listing, and those below it, go.
    EXPECT_EQ(Find(*resolver, data / "Sub", "ANY.TXT"), "");
    const auto before = resolver->foldersRead();
    resolver->Refresh(data);
    EXPECT_EQ(Find(*resolver, data / "Sub", "ANY.TXT"), "");
    EXPECT_EQ(Find(*resolver, data, "LOST.TXT"), "lost.txt");
    EXPECT_EQ(resolver->foldersRead(), before + 2);
}

TEST_F(PathCache, AFolderReplacedUnderTheSamePathIsReadAgain) {
    if (!HostCanWatch(data)) {
        GTEST_SKIP() << "no folder watch on this host (inotify unavailable or used up)";
    }
    const auto resolver = WithWatch(machine::MakeHostFolderWatch());
    const auto sub = data / "Sub";
    Create(sub / "old.txt");
    EXPECT_EQ(Find(*resolver, sub, "OLD.TXT"), "old.txt");
    fs::remove_all(sub);
    fs::create_directory(sub);
    Create(sub / "new.txt");
    EXPECT_EQ(Find(*resolver, sub, "OLD.TXT"), "");
    EXPECT_EQ(Find(*resolver, sub, "NEW.TXT"), "new.txt");
}

// A forked child shares its parent's queue of changes; were it to read from it, the parent
// would never learn of changes already queued for it.
TEST_F(PathCache, AForkedChildLeavesItsParentsChangesAlone) {
    if (!HostCanWatch(data)) {
        GTEST_SKIP() << "no folder watch on this host (inotify unavailable or used up)";
    }
    const auto resolver = WithWatch(machine::MakeHostFolderWatch());
    EXPECT_EQ(Find(*resolver, data, "NOT THERE.TXT"), "");
    Create(data / "queued.txt");
    const pid_t child = ::fork();
    if (child == 0) {
        int err = 0;
        const auto found = resolver->Lookup(data, "QUEUED.TXT", err);
        ::_exit(found && found->host == "queued.txt" ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child missed the file";
    EXPECT_EQ(Find(*resolver, data, "QUEUED.TXT"), "queued.txt");
    EXPECT_EQ(resolver->foldersRead(), 1u);
}

}  // namespace
