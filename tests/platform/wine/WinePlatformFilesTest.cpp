// What a prefix tells of the files of its platform: which library Wine loads by the prefix's
// overrides, the files a Proton launcher placed and its lock, and the system folders of a
// 64-bit prefix's two processors.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/kinds/MachineKinds.h"
#include "platform/machine/MachineError.h"
#include "platform/registry/RegistryStore.h"
#include "platform/wine/DllOverrides.h"
#include "platform/wine/ProtonPrefix.h"
#include "platform/wine/WinePrefix.h"
#include "tests/platform/wine/FakePrefix.h"

namespace {

using winetest::FakePrefix;
using winetest::Key;

TEST(DllOverrides, AnOverrideCountsByTheFirstLetterOfEachOrder) {
    const std::pair<const char*, wine::LoadOrder> cases[] = {
        {"native,builtin", wine::LoadOrder::NativeBuiltin},
        {"n,b", wine::LoadOrder::NativeBuiltin},
        {"Builtin Native", wine::LoadOrder::BuiltinNative},
        {"native", wine::LoadOrder::Native},
        {"nb", wine::LoadOrder::Native},  // one order: only its first letter counts
        {" , b\t", wine::LoadOrder::Builtin},
        {"", wine::LoadOrder::Disabled},
        {"disabled", wine::LoadOrder::Disabled},
    };
    for (const auto& [value, order] : cases) {
        EXPECT_EQ(wine::ParseLoadOrder(value), order) << value;
    }
    EXPECT_EQ(wine::ModuleNameOf("XInput1_3.DLL"), "XInput1_3");
    EXPECT_EQ(wine::ModuleNameOf("winebth.sys"), "winebth.sys");
}

TEST(DllOverrides, WhatWineLoadsBesideAProgramsOwnCopy) {
    const std::string global = "Software\\\\Wine\\\\DllOverrides";
    const std::string pad = "Software\\\\Wine\\\\AppDefaults\\\\PadGame.exe\\\\DllOverrides";
    struct Case {
        const char* what;
        std::string user;
        const char* file;
        bool prefersNative;
        const char* byDefault;
        const char* why;
        std::vector<std::string> programs;  // "program loads (why)"
    } const cases[] = {
        {"no override", "", "xinput1_3.dll", false, "builtin", "no override", {}},
        {"a builtin that prefers native",
         "",
         "d3dx9_43.dll",
         true,
         "native",
         "no override; the builtin prefers a native copy",
         {}},
        {"native first for every program",
         Key(global, "\"xinput1_3\"=\"native,builtin\"\n"),
         "xinput1_3.dll",
         false,
         "native",
         "DllOverrides: \"native,builtin\"",
         {}},
        {"a starred name",
         Key(global, "\"*d3dx9_43\"=\"b\"\n"),
         "d3dx9_43.dll",
         true,
         "builtin",
         "DllOverrides: \"b\"",
         {}},
        {"disabled",
         Key(global, "\"xinput1_3\"=\"\"\n"),
         "xinput1_3.dll",
         false,
         "nothing",
         "DllOverrides: \"\"",
         {}},
        {"one program set otherwise",
         Key(pad, "\"xinput1_3\"=\"n\"\n"),
         "XINPUT1_3.DLL",
         false,
         "builtin",
         "no override",
         {"PadGame.exe native (AppDefaults\\PadGame.exe: \"n\")"}},
        // The plain name comes before the starred one, in either key.
        {"the global plain name beats the program's starred one",
         Key(global, "\"xinput1_3\"=\"b\"\n") + Key(pad, "\"*xinput1_3\"=\"n\"\n"),
         "xinput1_3.dll",
         false,
         "builtin",
         "DllOverrides: \"b\"",
         {}},
        {"an override the program keeps to the default",
         Key(pad, "\"xinput1_3\"=\"b,n\"\n"),
         "xinput1_3.dll",
         false,
         "builtin",
         "no override",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePrefix prefix;
        prefix.Hive("user.reg", "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000", c.user);
        const auto opened = kinds::OpenMachine(prefix.folder());
        const auto choice = opened->kind().LibraryChoiceFor(c.file, c.prefersNative);
        ASSERT_TRUE(choice);
        EXPECT_EQ(choice->platform, "Wine");
        EXPECT_EQ(choice->byDefault, c.byDefault);
        EXPECT_EQ(choice->why, c.why);
        std::vector<std::string> programs;
        for (const auto& program : choice->programs) {
            programs.push_back(program.program + " " + program.loads + " (" + program.why + ")");
        }
        EXPECT_EQ(programs, c.programs);
    }
}

TEST(ProtonPrefix, WhatProtonPlacedIsProtons) {
    FakePrefix prefix("compatdata/4242/pfx");
    std::ofstream(prefix.folder().parent_path() / "tracked_files")
        << "drive_c/windows/\ndrive_c/windows/system32/d3d11.dll\n"
           "drive_c/windows/system32/dxgi.dll\n";
    const auto opened = kinds::OpenMachine(prefix.folder());
    const auto system32 = prefix.folder() / "drive_c" / "windows" / "system32";
    const auto owned = opened->kind().PlatformFileAt(system32 / "d3d11.dll");
    ASSERT_TRUE(owned);
    EXPECT_EQ(owned->owner, "Proton");
    EXPECT_TRUE(opened->kind().PlatformFileAt(system32 / "." / "dxgi.dll"));
    // A folder Proton made holds others' files too; names are the host's, case and all.
    EXPECT_FALSE(opened->kind().PlatformFileAt(system32 / "d3d9.dll"));
    EXPECT_FALSE(opened->kind().PlatformFileAt(system32 / "D3D11.DLL"));
    EXPECT_FALSE(opened->kind().PlatformFileAt(prefix.folder() / "drive_c" / "windows" / "x"));

    // A list that cannot be read leaves the prefix unopened: Proton's files would pass for
    // programs' copies.
    FakePrefix unreadable("compatdata/4343/pfx");
    std::filesystem::create_directory(unreadable.folder().parent_path() / "tracked_files");
    EXPECT_THROW(kinds::OpenMachine(unreadable.folder()), machine::MachineError);

    // The same list beside a prefix that is not named pfx is no launcher's.
    FakePrefix plain("games/prefix");
    std::ofstream(plain.folder().parent_path() / "tracked_files")
        << "drive_c/windows/system32/d3d11.dll\n";
    EXPECT_FALSE(kinds::OpenMachine(plain.folder())
                     ->kind()
                     .PlatformFileAt(plain.folder() / "drive_c/windows/system32/d3d11.dll"));
}

TEST(ProtonPrefix, WhileProtonSetsThePrefixUpItIsNotOpened) {
    FakePrefix prefix("compatdata/4242/pfx");
    const auto lock = prefix.folder().parent_path() / "pfx.lock";
    std::ofstream(lock).close();
    const int fd = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    try {
        kinds::OpenMachine(prefix.folder());
        ADD_FAILURE() << "a prefix Proton holds was opened";
    } catch (const machine::MachineError& e) {
        EXPECT_EQ(std::string(e.what()), wine::kProtonBusyMessage);
    }
    {
        // A reader looks without taking the lock, and says that Proton is at work.
        const auto read = kinds::OpenToRead(prefix.folder());
        EXPECT_EQ(read->kind().heldByItsOwnPrograms().value_or(""), wine::kProtonBusyMessage);
    }
    ::close(fd);
    EXPECT_EQ(kinds::OpenToRead(prefix.folder())->kind().heldByItsOwnPrograms(), std::nullopt);
    {
        // Opened, the prefix is held for as long as the machine lives: Proton waits.
        const auto opened = kinds::OpenMachine(prefix.folder());
        const int other = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
        EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
        ::close(other);
    }
    const int after = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
    EXPECT_EQ(::flock(after, LOCK_EX | LOCK_NB), 0);
    ::close(after);
}

TEST(WinePrefix, A64BitPrefixGivesEachProcessorItsSystemFolder) {
    FakePrefix win64;
    const auto opened = kinds::OpenMachine(win64.folder());
    const auto x86 = opened->profile().processorView(machine::kProcessorX86);
    const auto x64 = opened->profile().processorView(machine::kProcessorX64);
    ASSERT_TRUE(x86 && x64);
    EXPECT_EQ(x86->systemDir, "C:\\windows\\syswow64");
    EXPECT_TRUE(x86->wow64Registry);
    EXPECT_EQ(x64->systemDir, "C:\\windows\\system32");
    EXPECT_FALSE(x64->wow64Registry);
    EXPECT_FALSE(opened->profile().processorView(0xAA64));

    // A 32-bit prefix, and one whose system.reg names no architecture, as Wine takes it.
    for (const char* arch : {"#arch=win32\n", ""}) {
        FakePrefix win32;
        win32.Write("system.reg", std::string("WINE REGISTRY Version 2\n;; All keys relative to "
                                              "REGISTRY\\\\Machine\n\n") +
                                      arch);
        const auto profile = kinds::OpenMachine(win32.folder());
        const auto only = profile->profile().processorView(machine::kProcessorX86);
        ASSERT_TRUE(only) << arch;
        EXPECT_EQ(only->systemDir, "C:\\windows\\system32");
        EXPECT_FALSE(only->wow64Registry);
        EXPECT_FALSE(profile->profile().processorView(machine::kProcessorX64)) << arch;
    }
}

}  // namespace
