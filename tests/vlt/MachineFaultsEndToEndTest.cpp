// The odd machines users make, each run as the user runs it: vlt --machine M -S (the machine
// restarting as it ends) and velto-machine boot M, then what is on disk afterwards.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"
#include "tests/vlt/VltRunSupport.h"

namespace {

using vltrun::Dll;
using Strings = std::vector<std::string>;

// The lines the machine's restart printed as vlt ended.
Strings Restart(const vltrun::Result& run) {
    Strings lines;
    for (const std::string& line : vltrun::Lines(run.out)) {
        if (line.starts_with("restart: ")) {
            lines.push_back(line.substr(9));
        }
    }
    return lines;
}

std::size_t Failed(const Strings& lines) {
    std::size_t n = 0;
    for (const std::string& line : lines) {
        n += line.find("failed") != std::string::npos ? 1 : 0;
    }
    return n;
}

class MachineFaults : public ::testing::Test {
  protected:
    MachineFaults() {
        machine.Folder("C:\\Program Files\\Velto");
        testsupport::SeedRegistry(machine);
    }
    std::string Backup(const std::string& name) const {
        return machine.Read("C:\\Program Files\\Velto\\" + name);
    }

    testsupport::MachineBuilder machine;
    const std::string v1 = Dll("1.0"), v2 = Dll("2.0");
};

// A drive that is, or links to, the host's root, or lies in another drive's folder, is never
// listed: the run repairs drive C: alone and nothing names those drives.
TEST_F(MachineFaults, DrivesReachingBeyondTheMachineAreNeverListedOrWritten) {
    std::filesystem::create_symlink("/", machine.folder() / "root-link");
    machine.DriveAt('D', machine::DriveType::Fixed, "/")
        .DriveAt('E', machine::DriveType::Fixed, machine.folder() / "root-link")
        .DriveAt('F', machine::DriveType::Fixed, machine.HostPath("C:\\APPS2"));
    machine.File("C:\\APPS1\\A.DLL", v2).File("C:\\APPS2\\A.DLL", v1);
    const auto run = vltrun::Unattended(machine.folder());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const Strings restart = Restart(run);
    ASSERT_EQ(restart.size(), 2u) << run.out;  // the copy and the rename of wininit.ini
    for (const std::string& line : restart) {
        for (const char* drive : {"D:\\", "E:\\", "F:\\"}) {
            EXPECT_EQ(line.find(drive), std::string::npos) << line;
        }
    }
    EXPECT_EQ(Failed(restart), 0u);
    EXPECT_EQ(machine.Read("C:\\APPS2\\A.DLL"), v2);
    EXPECT_EQ(Backup("C~~APPS2~A.DLL.backup"), v1);
    const auto info = vltrun::Tool({"info", machine.folder().string()});
    EXPECT_NE(info.out.find("D:  fixed     left out: its folder / is the host's root"),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("F:  fixed     left out: its folder " +
                            machine.HostPath("C:\\APPS2").string() +
                            " lies inside the folder of drive C:"),
              std::string::npos)
        << info.out;
}

// A FIFO named like a library is no copy: the run neither waits on it nor touches it; a FIFO
// in wininit.ini's place is left alone by the start, which says so.
TEST_F(MachineFaults, FifosAreNeverReadAsFiles) {
    machine.File("C:\\APPS1\\A.DLL", v2).File("C:\\APPS2\\A.DLL", v1).Folder("C:\\APPS3");
    const auto fifo = machine.HostPath("C:\\APPS3\\A.DLL");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto run = vltrun::Unattended(machine.folder());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Failed(Restart(run)), 0u) << run.out;
    EXPECT_EQ(machine.Read("C:\\APPS2\\A.DLL"), v2);
    struct stat st;
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    const auto wininit = machine.HostPath("C:\\WINDOWS\\wininit.ini");
    ASSERT_EQ(::mkfifo(wininit.c_str(), 0600), 0);
    const auto boot = vltrun::Tool({"boot", machine.folder().string()});
    EXPECT_EQ(boot.status, 1);
    EXPECT_NE(boot.out.find("wininit.ini is not a file"), std::string::npos) << boot.out;
}

// What an interrupted run left waiting (a copy of the same bytes, a removal) is not scheduled
// again: the restart carries out each once and none fails.
TEST_F(MachineFaults, WhatWaitsAlreadyIsNotScheduledTwice) {
    machine.Folder("C:\\WINDOWS\\SYSTEM");
    machine.File("C:\\APPS1\\A.DLL", v2).File("C:\\APPS2\\A.DLL", v1);
    machine.File("C:\\APPS1\\B.DLL", v1).File("C:\\WINDOWS\\SYSTEM\\B.DLL", v2);
    machine.File("C:\\WINDOWS\\TEMP\\VLT1.tmp", v2);
    machine.File(
        "C:\\WINDOWS\\wininit.ini",
        "[Rename]\r\nC:\\APPS2\\A.DLL=C:\\WINDOWS\\TEMP\\VLT1.tmp\r\nNUL=C:\\APPS1\\B.DLL\r\n");
    const auto run = vltrun::Unattended(machine.folder());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const Strings restart = Restart(run);
    EXPECT_EQ(restart, (Strings{"wininit.ini line 2: move C:\\WINDOWS\\TEMP\\VLT1.tmp to "
                                "C:\\APPS2\\A.DLL: done",
                                "wininit.ini line 3: delete C:\\APPS1\\B.DLL: done",
                                "wininit.ini renamed to wininit.bak"}))
        << run.out;
    EXPECT_EQ(machine.Read("C:\\APPS2\\A.DLL"), v2);
    EXPECT_FALSE(machine.Exists("C:\\APPS1\\B.DLL"));
}

// Without its settings the unattended run does nothing, says once what to do, and ends with
// status 2.
TEST_F(MachineFaults, ABrokenRegistryEndsTheUnattendedRunClearly) {
    machine.File("C:\\APPS1\\A.DLL", v2).File("C:\\APPS2\\A.DLL", v1);
    for (const std::string& bytes : {std::string(), std::string(4096, '\x5a')}) {
        for (const char* name : {"registry.db-wal", "registry.db-shm"}) {
            std::filesystem::remove(machine.folder() / name);
        }
        std::ofstream(machine.folder() / "registry.db", std::ios::binary | std::ios::trunc)
            << bytes;
        const auto run = vltrun::Unattended(machine.folder());
        EXPECT_EQ(run.status, 2) << run.err;
        std::size_t advice = 0;
        for (auto at = run.err.find("velto-machine reg import"); at != std::string::npos;
             at = run.err.find("velto-machine reg import", at + 1)) {
            ++advice;
        }
        EXPECT_EQ(advice, 1u) << run.err;
        EXPECT_EQ(run.err.find("Registry Error occurred"), std::string::npos) << run.err;
        EXPECT_FALSE(machine.Exists("C:\\WINDOWS\\wininit.ini"));
        EXPECT_EQ(machine.Read("C:\\APPS2\\A.DLL"), v1);
    }
}

// Two host folders whose names read "é" on Windows: each file is one copy, reached by one
// path; the older is backed up and replaced, the newer kept, and no line fails.
TEST_F(MachineFaults, NamesThatReadTheSameAreTwoCopies) {
    machine.File("C:\\\xC3\xA9\\X.DLL", v2).File("C:\\\xEF\x83\xA9\\X.DLL", v1);
    const auto run = vltrun::Unattended(machine.folder());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Failed(Restart(run)), 0u) << run.out;
    EXPECT_EQ(vltrun::Slurp(machine.folder() / "drives" / "C" / "\xC3\xA9" / "X.DLL"), v2);
    EXPECT_EQ(vltrun::Slurp(machine.folder() / "drives" / "C" / "\xE9" / "X.DLL"), v2);
    EXPECT_EQ(Backup("C~~\xEF\x83\xA9~X.DLL.backup"), v1);
}

// A machine.ini of random bytes is refused with its line numbers, by the program and the tool.
TEST_F(MachineFaults, AGarbageProfileIsRefused) {
    std::mt19937 random(9);
    std::string bytes(4096, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xFF);
    }
    std::ofstream(machine.folder() / "machine.ini", std::ios::binary | std::ios::trunc) << bytes;
    const auto run = vltrun::Unattended(machine.folder());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("machine.ini cannot be read as a machine profile: lines 1, "),
              std::string::npos)
        << run.err;
    EXPECT_EQ(vltrun::Tool({"info", machine.folder().string()}).status, 2);
}

// wininit.ini splits a line at its first "=": a copy onto C:\A=B\R.DLL goes in by the short
// form, and the restart really carries it out.
TEST_F(MachineFaults, ACopyOntoAPathHoldingAnEqualsSignHappens) {
    machine.File("C:\\APPS1\\R.DLL", v2).File("C:\\A=B\\R.DLL", v1);
    const auto run = vltrun::Unattended(machine.folder());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Failed(Restart(run)), 0u) << run.out;
    EXPECT_EQ(machine.Read("C:\\A=B\\R.DLL"), v2);
    EXPECT_EQ(Backup("C~~A=B~R.DLL.backup"), v1);
}

// Of two [Rename] sections the new lines go into the last one only: each runs once.
TEST_F(MachineFaults, TwoRenameSectionsGetEachLineOnce) {
    machine.File("C:\\APPS1\\A.DLL", v2).File("C:\\APPS2\\A.DLL", v1);
    machine.File("C:\\WINDOWS\\wininit.ini", "[Rename]\r\n[Other]\r\nx=1\r\n[Rename]\r\n");
    const auto run = vltrun::Unattended(machine.folder());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const Strings restart = Restart(run);
    ASSERT_EQ(restart.size(), 2u) << run.out;
    EXPECT_EQ(Failed(restart), 0u) << run.out;
    EXPECT_EQ(machine.Read("C:\\APPS2\\A.DLL"), v2);
}

}  // namespace
