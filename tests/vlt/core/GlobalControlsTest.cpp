// The control host: how loading configures the four controls, and what unloading leaves.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "controls/about/QzAbout.h"
#include "controls/debug/QzDebug.h"
#include "controls/file/QzFile.h"
#include "controls/registry/QzRegistry.h"
#include "tests/vlt/core/CoreTestSupport.h"
#include "vlt/core/GlobalControls.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/VltState.h"

namespace {

using coretest::CoreTest;

TEST_F(CoreTest, LoadingTheHostConfiguresEveryControl) {
    const double start = clock->Monotonic();
    vlt::State().CommandLine = "prog.ini /q -v";
    QzBase::LoadControlHost("VLT", true);
    vlt::GlobalControls& host = vlt::TheGlobalControls();
    ASSERT_TRUE(host.Loaded());

    EXPECT_EQ(host.QzAbout1->PADFile(), std::string(coretest::kProgramDir) + "\\pad_file.xml");
    EXPECT_EQ(host.QzAbout1->Major(), 1);
    EXPECT_EQ(host.QzAbout1->Minor(), 0);
    EXPECT_EQ(host.QzAbout1->Revision(), 12);
    EXPECT_FALSE(host.QzAbout1->LegalCopyright().empty());
    EXPECT_EQ(host.QzFile1->CompanyName(), "Korvane");
    EXPECT_EQ(host.QzFile1->ProductName(), "Velto 1");
    EXPECT_EQ(host.QzRegistry1->hKey(), Qz_Registry::HKEY_CURRENT_USER);
    EXPECT_EQ(host.QzRegistry1->RegKey(), "Software\\Korvane\\Velto");
    EXPECT_EQ(host.QzDebug1->TraceFile(), "VLT.trc");
    EXPECT_EQ(host.QzDebug1->TracePath(), std::string(coretest::kProgramDir) + "\\");
    EXPECT_EQ(host.QzDebug1->CommandLine(), "prog.ini /q -v");
    EXPECT_EQ(host.QzDebug1->SubjectForBugs(), "Program abend: VLT 1.0.12");
    EXPECT_EQ(vlt::State().CommandLineList, (std::vector<std::string>{"PROG.INI", "-Q", "-V"}));

    EXPECT_EQ(vlt::State().QzAbout1, host.QzAbout1.get());
    EXPECT_EQ(vlt::State().QzFile1, host.QzFile1.get());
    EXPECT_EQ(vlt::State().QzRegistry1, host.QzRegistry1.get());
    EXPECT_EQ(vlt::State().QzDebug1, host.QzDebug1.get());
    EXPECT_EQ(vlt::State().ProgramAbbreviation, "VLT");

    // The splash window was shown and stayed at least three seconds.
    EXPECT_EQ(splash->shows, 1);
    EXPECT_EQ(splash->unloads, 1);
    EXPECT_GE(clock->Monotonic() - start, 3.0);
}

TEST_F(CoreTest, LoadingTwiceKeepsTheSameControls) {
    LoadHost();
    const Qz_File::QzFile* file = vlt::State().QzFile1;
    vlt::TheGlobalControls().Load();
    EXPECT_EQ(vlt::State().QzFile1, file);
}

TEST_F(CoreTest, UnloadingClearsTheReferencesAndEndsTheTrace) {
    LoadHost("-TRACE");
    vlt::TheGlobalControls().Unload();
    EXPECT_EQ(vlt::State().QzAbout1, nullptr);
    EXPECT_EQ(vlt::State().QzFile1, nullptr);
    EXPECT_EQ(vlt::State().QzRegistry1, nullptr);
    EXPECT_EQ(vlt::State().QzDebug1, nullptr);
    const std::string trace = machine.Read(std::string(coretest::kProgramDir) + "\\VLT.trc");
    EXPECT_NE(trace.find(": +Enter GlobalControls.Form_Unload\r\n"), std::string::npos);
    EXPECT_NE(trace.find("Program end: "), std::string::npos);
}

TEST_F(CoreTest, ARegistryFailureIsTracedAndShown) {
    LoadHost("-TRACE");
    // A registry the store cannot read.
    for (const char* name : {"registry.db-wal", "registry.db-shm"}) {
        std::filesystem::remove(machine.folder() / name);
    }
    std::ofstream(machine.folder() / "registry.db") << "this is no database at all";
    vlt::QzRegistry1().GetRegSetting("DLL", std::string("Y"));
    if (vlt::QzRegistry1().RegErr() < 1009) {
        GTEST_SKIP() << "the store reported " << vlt::QzRegistry1().RegErr();
    }
    ASSERT_EQ(dialogs->MsgBoxes().size(), 1u);
    const auto box = dialogs->MsgBoxes()[0];
    EXPECT_EQ(box.prompt, "Registry Error occurred:\r\nError " +
                              std::to_string(vlt::QzRegistry1().RegErr()) + "\r\n" +
                              vlt::QzRegistry1().RegError());
    EXPECT_EQ(box.style, dialogs::vbCritical);
    const std::string trace = machine.Read(std::string(coretest::kProgramDir) + "\\VLT.trc");
    EXPECT_NE(trace.find("Registry Error: " + std::to_string(vlt::QzRegistry1().RegErr()) + "--" +
                         vlt::QzRegistry1().RegError()),
              std::string::npos);
    // The same failure again (every call fails on such a registry) is traced, not shown again.
    vlt::QzRegistry1().GetRegSetting("OCX", std::string("N"));
    vlt::QzRegistry1().SaveRegSetting("DLL", std::string("Y"));
    EXPECT_EQ(dialogs->MsgBoxes().size(), 1u);
}

}  // namespace
