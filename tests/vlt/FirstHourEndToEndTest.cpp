// What a new user meets in the first hour, each on a machine made for it and run as the user
// runs it: a file at a path as long as Windows takes, two runs on one machine at once, a copy
// of a machine the user may read but not write, a folder the user may not enter, the start of
// a prefix without Wine, an export to a bare file name, and vlt without a display. Each checks
// the status, the message, and that nothing was lost or written.
//
// Permissions do not stop root, and the tests run as root in CI: there the commands that must
// meet a read-only machine run as the user nobody (setpriv), on a copy owned by root that
// nobody may read but not write; run by anyone else, the copy's write bits are taken away.
// Either way a probe first proves that the user cannot write there, so the test never passes
// without having met a read-only machine.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/wine/FakePrefix.h"
#include "tests/support/LongPaths.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"
#include "tests/vlt/VltRunSupport.h"

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

constexpr const char* kBackups = "C:\\Program Files\\Velto";
constexpr auto kLongest = std::chrono::seconds(120);

using testsupport::FolderSnapshot;

// Runs a program to its end, or kills it after `limit` (status -1).
vltrun::Result RunUntil(const Strings& argv, const fs::path& output,
                        std::chrono::seconds limit = kLongest) {
    vltrun::Background run(argv, output);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!run.Ended() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.Kill();
    return run.Wait();
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

class FirstHour : public ::testing::Test {
  public:
    FirstHour() {
        // A folder the unprivileged user may enter, for the copies it reads.
        scratch_ = fs::temp_directory_path() / ("velto-first-hour-" + std::to_string(::getpid()));
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
        fs::permissions(scratch_, fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
    }
    ~FirstHour() override {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(scratch_, ec)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::remove_all(scratch_, ec);
    }

    // A machine with a group the unattended run repairs: an old A.DLL at `old`.
    static void Flagged(testsupport::MachineBuilder& m, const std::string& old) {
        m.Folder(kBackups);
        testsupport::SeedRegistry(m);
        m.File("C:\\APPS\\A.DLL", vltrun::Dll("2.0")).File(old, vltrun::Dll("1.0"));
    }

    // A copy of `m` in the scratch folder that the reader (below) may read but not write.
    fs::path ReadOnlyCopy(const testsupport::MachineBuilder& m, const std::string& name) {
        const fs::path copy = scratch_ / name;
        fs::copy(m.folder(), copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        const auto mode = [](bool folder) {
            fs::perms perms =
                fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
            if (folder) {
                perms |= fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
            }
            // Root keeps its write bit (they do not stop it); the reader is another user.
            if (::geteuid() == 0) {
                perms |= fs::perms::owner_write;
            }
            return perms;
        };
        for (const auto& entry : fs::recursive_directory_iterator(copy)) {
            if (!entry.is_symlink()) {
                fs::permissions(entry.path(), mode(entry.is_directory()));
            }
        }
        fs::permissions(copy, mode(true));
        return copy;
    }

    // `argv` as a user who may read what ReadOnlyCopy made but not write it.
    static Strings AsReader(Strings argv) {
        if (::geteuid() == 0) {
            argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                                       "--clear-groups", "--inh-caps=-all"});
        }
        return argv;
    }

    // Proves that the reader cannot write into `folder` but can read it; false (with the test
    // skipped) where no such user can run the programs here.
    bool ReaderMeetsAReadOnlyMachine(const fs::path& folder) {
        const auto wrote = RunUntil(
            AsReader({"/bin/sh", "-c", "touch \"$0/probe\"", folder.string()}), Out("probe"));
        EXPECT_NE(wrote.status, 0)
            << "the reader can write " << folder << ": the test would prove nothing";
        const auto read = RunUntil(AsReader({VELTO_MACHINE_TOOL, "--version"}), Out("probe-run"));
        if (read.status != 0) {
            ADD_FAILURE() << "the unprivileged user cannot run " << VELTO_MACHINE_TOOL << ": "
                          << read.err;
            return false;
        }
        return wrote.status != 0;
    }

    // Where a run's output goes: beside the machines, never in them.
    fs::path Out(const std::string& name) const { return scratch_ / ("output-" + name); }

    fs::path scratch_;
};

struct Fault {
    const char* name;
    // Makes what the fault needs and runs the command the user ran.
    std::function<vltrun::Result(FirstHour&)> run;
    int status;
    // Said (on either stream), and never said.
    Strings says;
    Strings never;
    // What must hold afterwards: nothing lost, nothing written.
    std::function<void()> afterwards;
};

TEST_F(FirstHour, EachFaultIsAnsweredClearlyAndLosesNothing) {
    // Each row's machines and what it measured, kept for its checks afterwards.
    testsupport::MachineBuilder longPath, twoRuns, readOnly, locked, exported, headless;
    winetest::FakePrefix prefix;
    const std::string deep = testsupport::LongWindowsPath(259, "A.DLL");
    std::string before;
    vltrun::Result first;

    const std::vector<Fault> faults = {
        {"a copy at a path of 259 characters is backed up, repaired and reported once",
         [&](FirstHour&) {
             Flagged(longPath, deep);
             return vltrun::Unattended(longPath.folder());
         },
         0,
         {"report: C:\\WINDOWS\\TEMP\\VLT", "backups: 1 file in C:\\Program Files\\Velto\\ ("},
         {"Run-time error"},
         [&] {
             EXPECT_EQ(longPath.Read(deep), vltrun::Dll("2.0"));
             std::size_t backups = 0;
             for (const auto& entry : fs::directory_iterator(longPath.HostPath(kBackups))) {
                 const std::string name = entry.path().filename().string();
                 if (!name.ends_with(".backup")) {
                     continue;
                 }
                 ++backups;
                 EXPECT_LE(name.size(), 255u);
                 EXPECT_NE(name.find("\xE2\x80\xA6~A.DLL~"), std::string::npos) << name;
                 EXPECT_EQ(vltrun::Slurp(entry.path()), vltrun::Dll("1.0"));
                 fs::path record = entry.path();
                 record.replace_extension(".path");
                 EXPECT_EQ(vltrun::Slurp(record), deep + "\r\n");
             }
             EXPECT_EQ(backups, 1u);
         }},
        {"a second run while one runs is refused, and so is a start",
         [&](FirstHour& t) {
             Flagged(twoRuns, "C:\\OLD\\A.DLL");
             vltrun::Background running(vltrun::UnattendedCommand(twoRuns.folder()),
                                        t.Out("first"));
             const fs::path lock = twoRuns.folder() / "velto.lock";
             for (int i = 0; i < 1000 && vltrun::Slurp(lock).find("vlt -S") == std::string::npos;
                  ++i) {
                 std::this_thread::sleep_for(std::chrono::milliseconds(10));
             }
             const auto second = vltrun::Unattended(twoRuns.folder());
             const auto boot = vltrun::Tool({"boot", twoRuns.folder().string()});
             const auto check = vltrun::Tool({"check", twoRuns.folder().string()});
             first = running.Wait();
             EXPECT_EQ(boot.status, 2);
             EXPECT_NE(boot.err.find("is in use: vlt -S (process"), std::string::npos) << boot.err;
             EXPECT_EQ(check.status, 1) << check.err;
             EXPECT_NE(check.err.find("note: a run holds the machine: vlt -S"), std::string::npos)
                 << check.err;
             return second;
         },
         2,
         {"is in use: vlt -S (process", "one process at a time may change a machine"},
         {"restart:"},
         [&] {
             EXPECT_EQ(first.status, 0) << first.err;
             EXPECT_EQ(twoRuns.Read("C:\\OLD\\A.DLL"), vltrun::Dll("2.0"));
             const Strings lines = vltrun::Lines(twoRuns.Read("C:\\WINDOWS\\wininit.bak"));
             for (std::size_t i = 0; i < lines.size(); ++i) {
                 EXPECT_EQ(std::count(lines.begin(), lines.end(), lines[i]), 1) << lines[i];
             }
             EXPECT_FALSE(fs::exists(twoRuns.folder() / "velto.lock"));
         }},
        {"a machine that may be read but not written is read by every command that reads, and "
         "the run says it cannot write it",
         [&](FirstHour& t) {
             Flagged(readOnly, "C:\\OLD\\A.DLL");
             const fs::path copy = t.ReadOnlyCopy(readOnly, "read-only");
             before = FolderSnapshot(copy);
             if (!t.ReaderMeetsAReadOnlyMachine(copy)) {
                 return vltrun::Result{};
             }
             const std::string m = copy.string();
             const std::pair<Strings, int> reads[] = {{{"check", m}, 1},
                                                      {{"info", m}, 0},
                                                      {{"list", m}, 0},
                                                      {{"reg", "export", m, "HKCU"}, 0}};
             for (const auto& [args, status] : reads) {
                 Strings argv{VELTO_MACHINE_TOOL};
                 argv.insert(argv.end(), args.begin(), args.end());
                 const auto read = RunUntil(AsReader(argv), t.Out("read"));
                 EXPECT_EQ(read.status, status) << args[0] << ": " << read.err;
                 EXPECT_FALSE(read.out.empty()) << args[0];
             }
             auto unattended = vltrun::UnattendedCommand(copy);
             return RunUntil(AsReader(unattended), t.Out("vlt"));
         },
         2,
         {"cannot be written", "commands that only read it still work"},
         {"aside", "reg import", "readonly database"},
         [&] { EXPECT_EQ(FolderSnapshot(scratch_ / "read-only"), before); }},
        {"a folder the user may not enter is said to be one",
         [&](FirstHour& t) {
             const fs::path copy = t.ReadOnlyCopy(locked, "locked");
             if (!t.ReaderMeetsAReadOnlyMachine(copy)) {
                 return vltrun::Result{};
             }
             fs::permissions(copy, ::geteuid() == 0 ? fs::perms::owner_all : fs::perms::none);
             return RunUntil(AsReader({VELTO_MACHINE_TOOL, "info", copy.string()}),
                             t.Out("locked"));
         },
         2,
         {"you may not enter"},
         {"velto-machine create"},
         [] {}},
        {"a prefix's start without Wine fails and says what waits",
         [&](FirstHour& t) {
             std::string wininit = "[Rename]\r\n";
             for (int i = 1; i <= 5; ++i) {
                 const std::string name = "OLD" + std::to_string(i) + ".DLL";
                 prefix.Write("drive_c/" + name, "x");
                 wininit += "NUL=C:\\" + name + "\r\n";
             }
             fs::create_directories(prefix.folder() / "drive_c" / "windows");
             prefix.Write("drive_c/windows/wininit.ini", wininit);
             before = FolderSnapshot(prefix.folder());
             return RunUntil({"/usr/bin/env", "PATH=/nonexistent", VELTO_MACHINE_TOOL, "boot",
                              prefix.folder().string()},
                             t.Out("boot"));
         },
         1,
         {"Wine is not installed here, so the prefix was not started: the 5 scheduled moves "
          "still wait",
          "wininit.ini line 6: delete C:\\OLD5.DLL: waits"},
         {},
         [&] { EXPECT_EQ(FolderSnapshot(prefix.folder()), before); }},
        {"an export to a bare file name is written and said to be",
         [&](FirstHour& t) {
             fs::create_directories(scratch_ / "export");
             testsupport::SeedRegistry(exported);
             before = FolderSnapshot(exported.folder());
             return RunUntil(
                 {"/bin/sh", "-c", "cd \"$0\" && exec \"$1\" reg export \"$2\" -o out.reg",
                  (scratch_ / "export").string(), VELTO_MACHINE_TOOL, exported.folder().string()},
                 t.Out("export"));
         },
         0,
         {},
         {"cannot write"},
         [&] {
             EXPECT_TRUE(vltrun::Slurp(scratch_ / "export" / "out.reg").starts_with("REGEDIT4"));
             EXPECT_EQ(std::distance(fs::directory_iterator(scratch_ / "export"),
                                     fs::directory_iterator()),
                       1);
             EXPECT_EQ(FolderSnapshot(exported.folder()), before);
         }},
        {"the windows without a display are refused at once",
         [&](FirstHour& t) {
             Flagged(headless, "C:\\OLD\\A.DLL");
             before = FolderSnapshot(headless.folder());
             return RunUntil(
                 {"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
                  VLT_BINARY, "--machine", headless.folder().string()},
                 t.Out("headless"), std::chrono::seconds(60));
         },
         2,
         {"there is no display", "only the unattended run works: vlt -S"},
         {},
         [&] { EXPECT_EQ(FolderSnapshot(headless.folder()), before); }},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        const vltrun::Result result = fault.run(*this);
        const std::string said = result.out + result.err;
        EXPECT_EQ(result.status, fault.status) << said;
        for (const std::string& part : fault.says) {
            EXPECT_NE(said.find(part), std::string::npos) << part << " in:\n" << said;
        }
        for (const std::string& part : fault.never) {
            EXPECT_EQ(said.find(part), std::string::npos) << part << " in:\n" << said;
        }
        EXPECT_LE(Count(said, "Do you wish to view the report?"), 1u);
        fault.afterwards();
    }
}

}  // namespace
