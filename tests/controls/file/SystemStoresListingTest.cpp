// The system's own stores are never listed on an NT-family machine, and they are not the
// user's exclusions: the exclusion list stays as the host set it.
#include <gtest/gtest.h>

#include "tests/controls/file/FileTestSupport.h"

namespace {

using Lines = std::vector<std::string>;
using filetest::FileTest;

TEST_F(FileTest, TheSystemsStoresAreNeverListedOnNT) {
    for (const char* path :
         {"C:\\WINDOWS\\SYSTEM32\\COMCTL32.DLL", "C:\\WINDOWS\\WinSxS\\x86_comctl\\COMCTL32.DLL",
          "C:\\WINDOWS\\SYSTEM32\\dllcache\\COMCTL32.DLL",
          "C:\\WINDOWS\\SYSTEM32\\spool\\drivers\\w32x86\\UNIDRV.DLL",
          "C:\\WINDOWS\\Driver Cache\\i386\\COMCTL32.DLL",
          "C:\\WINDOWS\\$NtUninstallKB890830$\\COMCTL32.DLL",
          "C:\\Program Files\\App\\winsxs\\COMCTL32.DLL"}) {
        machine.File(path, "x");
    }
    file.SetFilter("*.dll");
    file.SetPaths("C:\\");
    file.SetIncludeSubDirectories(true);
    const Lines all = Listing(file);
    EXPECT_EQ(all.size(), 7u) << "a 9x machine keeps no such stores";

    machine.Platform(machine::Platform::NT);
    Qz_File::modFileList::ResetForTesting();
    file.SetFilter("*.dll");
    file.SetPaths("C:\\");
    file.SetIncludeSubDirectories(true);
    EXPECT_EQ(Listing(file), (Lines{"C:\\Program Files\\App\\winsxs\\COMCTL32.DLL",
                                    "C:\\WINDOWS\\SYSTEM32\\COMCTL32.DLL"}));
    EXPECT_EQ(Qz_File::modFileList::ExclusionList(), "");
}

}  // namespace
