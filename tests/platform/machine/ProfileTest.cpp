#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "platform/machine/IniMachineProfile.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineError.h"
#include "tests/support/MachineBuilder.h"

namespace {

using machine::DriveType;
using machine::IniDocument;
using machine::IniMachineProfile;
using machine::MachineError;
using machine::Platform;

const std::filesystem::path kDir = "/srv/machines/m1";

IniMachineProfile ProfileOf(const char* text) {
    return IniMachineProfile(kDir, IniDocument::Parse(text));
}

TEST(IniMachineProfile, EmptyProfileGivesTheWindows98Defaults) {
    const auto p = ProfileOf("");
    EXPECT_EQ(p.platform(), Platform::Win9x);
    EXPECT_EQ(p.version().major, 4u);
    EXPECT_EQ(p.version().minor, 10u);
    EXPECT_EQ(p.version().build, 2222u);
    EXPECT_EQ(p.servicePack(), "A");
    EXPECT_EQ(p.windowsDir(), "C:\\WINDOWS");
    EXPECT_EQ(p.systemDir(), "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(p.tempDir(), "C:\\WINDOWS\\TEMP");
    EXPECT_EQ(p.programDir(), "C:\\Program Files\\Velto");
    EXPECT_EQ(p.computerName(), "");
    ASSERT_EQ(p.drives().size(), 1u);
    EXPECT_EQ(p.drives()[0].letter, 'C');
    EXPECT_EQ(p.drives()[0].type, DriveType::Fixed);
    EXPECT_EQ(p.drives()[0].hostFolder, kDir / "drives" / "C");
    EXPECT_EQ(p.specialFolder("personal"), "C:\\My Documents");
    EXPECT_EQ(p.specialFolder("Startup"), "C:\\WINDOWS\\Start Menu\\Programs\\StartUp");
    EXPECT_EQ(p.specialFolder("Fonts"), std::nullopt);
}

TEST(IniMachineProfile, NtDefaultsFollowTheWindowsFolder) {
    const auto p = ProfileOf("[machine]\nplatform=nt\nWindowsDir=D:\\WINNT\\\n");
    EXPECT_EQ(p.platform(), Platform::NT);
    EXPECT_EQ(p.version().major, 5u);
    EXPECT_EQ(p.windowsDir(), "D:\\WINNT");  // trailing backslash dropped
    EXPECT_EQ(p.systemDir(), "D:\\WINNT\\SYSTEM32");
    EXPECT_EQ(p.tempDir(), "D:\\WINNT\\TEMP");
}

TEST(IniMachineProfile, DrivesWithTypesFoldersAndNoMedium) {
    const auto p = ProfileOf(
        "[Drives]\n"
        "d=CDROM:/media/cd\n"
        "A=removable:\n"
        "C=fixed:drives/C\n"
        "C=fixed:ignored\n"
        "E=remote: ../share \n");
    const auto drives = p.drives();
    ASSERT_EQ(drives.size(), 4u);  // letter order, the repeated C once
    EXPECT_EQ(drives[0].letter, 'A');
    EXPECT_EQ(drives[0].type, DriveType::Removable);
    EXPECT_TRUE(drives[0].hostFolder.empty());
    EXPECT_EQ(drives[1].hostFolder, kDir / "drives" / "C");
    EXPECT_EQ(drives[2].letter, 'D');
    EXPECT_EQ(drives[2].type, DriveType::CdRom);
    EXPECT_EQ(drives[2].hostFolder, "/media/cd");
    EXPECT_EQ(drives[3].type, DriveType::Remote);
    EXPECT_EQ(drives[3].hostFolder, "/srv/machines/share");
}

TEST(IniMachineProfile, ValuesThatMakeNoSenseAreNamedInTheError) {
    const struct {
        const char* text;
        const char* mentions;
    } cases[] = {
        {"[Machine]\nPlatform=95\n", "Platform=95"},
        {"[Machine]\nVersion=4.10\n", "Version=4.10"},
        {"[Machine]\nVersion=4.x.1\n", "Version=4.x.1"},
        {"[Machine]\nWindowsDir=WINDOWS\n", "WindowsDir=WINDOWS"},
        {"[Drives]\nCD=fixed:x\n", "CD"},
        {"[Drives]\nC=floppy:x\n", "C=floppy:x"},
        {"[Drives]\nC=drives/C\n", "C=drives/C"},
        // Lines that mean nothing make the file no profile, named by number.
        {"[Machine]\nPlatform=9x\nthis is no line\n", "line 3 is neither"},
        {"Platform=NT\n[Machine]\n", "line 1 is neither"},
        {"[Machine\nPlatform=9x\n", "line 1 is"},
        {"\x13\x8f\xa2 junk\r\n\xff\xfe=\x01\n", "no [Machine] or [Drives] section"},
        {"[Folders]\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n",
         "lines 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 and 2 more are neither"},
    };
    for (const auto& c : cases) {
        try {
            ProfileOf(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const MachineError& e) {
            EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
        }
    }
}

TEST(IniMachineProfile, OtherValuesAndSpecialFoldersAreReadable) {
    const auto p = ProfileOf("[Folders]\nPersonal=E:\\Docs\\\n[Volume]\nSerial=1234-ABCD\n");
    EXPECT_EQ(p.specialFolder("PERSONAL"), "E:\\Docs");
    EXPECT_EQ(p.value("volume", "serial"), "1234-ABCD");
    EXPECT_EQ(p.value("volume", "label"), std::nullopt);
}

// What is not a machine folder is said as what it is; only where a machine could be made is
// the user told how to create one.
TEST(Machine, OpeningSomethingThatIsNotAMachineSaysWhatItIs) {
    testsupport::MachineBuilder builder;
    std::ofstream(builder.folder() / "a file") << "x";
    const std::string tooLong = (builder.folder() / std::string(300, 'x')).string();
    struct Case {
        std::filesystem::path folder;
        std::string says;
        bool createHint;
    } const cases[] = {
        {builder.folder() / "absent", "no machine folder " + builder.folder().string(), true},
        {builder.folder() / "drives", "is not a Velto machine (no machine.ini)", true},
        {builder.folder() / "a file", "is a file, not a machine folder", false},
        {"", "no machine folder was named (the name given is empty)", false},
        {tooLong, "is too long for the host", false},
    };
    for (const Case& c : cases) {
        try {
            machine::Machine::Open(c.folder);
            ADD_FAILURE() << "opened " << c.folder;
        } catch (const MachineError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(c.says), std::string::npos) << what;
            EXPECT_EQ(what.find("velto-machine create") != std::string::npos, c.createHint) << what;
        }
    }
    const auto opened = machine::Machine::Open(builder.folder());
    EXPECT_EQ(opened->registryPath(), builder.folder() / "registry.db");
    EXPECT_EQ(opened->profile().windowsDir(), "C:\\WINDOWS");
}

class EnvGuard {
  public:
    explicit EnvGuard(const char* name) : name_(name) {
        if (const char* v = std::getenv(name)) {
            saved_ = v;
        }
    }
    ~EnvGuard() {
        if (saved_) {
            setenv(name_, saved_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(Machine, FolderChoiceOrder) {
    EnvGuard machineEnv("VELTO_MACHINE");
    EnvGuard xdg("XDG_DATA_HOME");
    EnvGuard home("HOME");
    setenv("VELTO_MACHINE", "/from/env", 1);
    setenv("XDG_DATA_HOME", "/xdg", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(machine::ChooseMachineFolder(std::string("/cli")).folder, "/cli");
    EXPECT_EQ(machine::ChooseMachineFolder(std::nullopt).folder, "/from/env");
    unsetenv("VELTO_MACHINE");
    EXPECT_EQ(machine::ChooseMachineFolder(std::nullopt).folder, "/xdg/velto/machine");
    setenv("XDG_DATA_HOME", "", 1);
    const auto fallback = machine::ChooseMachineFolder(std::nullopt);
    EXPECT_EQ(fallback.folder, "/home/u/.local/share/velto/machine");
    try {
        machine::OpenChosenMachine(fallback);
        ADD_FAILURE();
    } catch (const MachineError& e) {
        EXPECT_NE(std::string(e.what()).find("default"), std::string::npos);
    }
}

}  // namespace

namespace {

// 4 KB of random bytes in machine.ini: refused, as the unattended run and the tool must not
// take it for a machine of defaults with the host's names.
TEST(Machine, RandomBytesAreNoProfile) {
    testsupport::MachineBuilder builder;
    std::mt19937 random(16);
    std::string bytes(4096, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xFF);
    }
    std::ofstream(builder.folder() / "machine.ini", std::ios::binary | std::ios::trunc) << bytes;
    try {
        machine::Machine::Open(builder.folder());
        ADD_FAILURE() << "opened a profile of random bytes";
    } catch (const MachineError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot be read as a machine profile: lines 1, "),
                  std::string::npos)
            << e.what();
    }
}

}  // namespace
