// Real setup programs in a real 64-bit Wine prefix: NSIS installers built here with makensis
// (64-bit ones: Debian's wine32 is not installed for the tests), one installing a counted
// shared library into the system folder as setup programs do (InstallLib keeps SharedDLLs),
// one a private older copy beside its program, each with its uninstaller. `vlt -S` removes the
// private copy; then each uninstaller runs. After every step each installed program still
// finds a copy to load: a probe in its folder (an NSIS program too) loads the library as a
// program there would, and writes down which file it got. One test, one prefix.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"
#include "tests/support/WinePrefix.h"
#include "tests/vlt/VltRunSupport.h"
#include "tests/vlt/WineSuite.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Slurp;

constexpr const char* kCounts =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr const char* kShared = "C:\\windows\\system32\\ACME64.DLL";

// Loads ACME64.DLL with the search a program's own load gets (its folder, then the system
// folder; an NSIS program narrows its own default to the system folder), and writes the file
// it got, or "none", into probe.txt beside itself.
constexpr const char* kProbe = R"(Unicode true
Target amd64-unicode
OutFile "probe.exe"
RequestExecutionLevel user
SilentInstall silent
Section
  System::Call 'kernel32::LoadLibraryExW(w "ACME64.DLL", p 0, i 0x1000) p.r0'
  StrCpy $1 "none"
  StrCmp $0 0 +2
  System::Call 'kernel32::GetModuleFileNameW(p r0, w .r1, i ${NSIS_MAX_STRLEN}) i.r2'
  FileOpen $3 "$EXEDIR\probe.txt" w
  FileWrite $3 "$1"
  FileClose $3
SectionEnd
)";

// The shared library into the system folder, counted; counted down and removed at zero.
constexpr const char* kAppSys = R"(Unicode true
Target amd64-unicode
!define LIBRARY_X64
!include Library.nsh
OutFile "appsys-setup.exe"
InstallDir "$PROGRAMFILES64\AppSys"
RequestExecutionLevel admin
SilentInstall silent
Var ALREADY_INSTALLED
Section
  StrCpy $ALREADY_INSTALLED ""
  SetOutPath $INSTDIR
  File probe.exe
  !insertmacro InstallLib DLL $ALREADY_INSTALLED REBOOT_NOTPROTECTED ACME64.DLL $SYSDIR\ACME64.DLL $SYSDIR
  WriteUninstaller "$INSTDIR\uninstall.exe"
SectionEnd
Section "Uninstall"
  !insertmacro UnInstallLib DLL SHARED REBOOT_NOTPROTECTED $SYSDIR\ACME64.DLL
  Delete "$INSTDIR\probe.exe"
  Delete "$INSTDIR\probe.txt"
SectionEnd
)";

// A private, uncounted, older copy beside the program.
constexpr const char* kAppLocal = R"(Unicode true
Target amd64-unicode
OutFile "applocal-setup.exe"
InstallDir "$PROGRAMFILES64\AppLocal"
RequestExecutionLevel admin
SilentInstall silent
Section
  SetOutPath $INSTDIR
  File probe.exe
  File /oname=ACME64.DLL ACME64OLD.DLL
  WriteUninstaller "$INSTDIR\uninstall.exe"
SectionEnd
Section "Uninstall"
  Delete "$INSTDIR\ACME64.DLL"
  Delete "$INSTDIR\probe.exe"
  Delete "$INSTDIR\probe.txt"
SectionEnd
)";

bool MakensisInstalled() {
    return testsupport::RunProgram({"makensis", "-VERSION"}).status == 0;
}

// What each installed program loaded after one step, and the count Wine's reg reads.
struct Step {
    std::string what;
    std::string appSysLoads;  // "" when the program is not installed
    std::string appLocalLoads;
    std::string count;  // of the system folder's copy
    bool sharedExists = false;
};

struct SetupRun : vltrun::WineRun {
    std::vector<Step> steps;
    testsupport::ProgramRun vlt;
};

class WineSetupPrograms : public vltrun::WineSuite<SetupRun> {
  protected:
    static fs::path Prefix() { return run_->prefix; }
    static fs::path C(const std::string& path) { return Prefix() / "drive_c" / path; }

    static bool Wine(const std::vector<std::string>& args) {
        const auto run = testsupport::RunInPrefix(Prefix(), args);
        if (run.status != 0 && run_->failure.empty()) {
            run_->failure = args.front() + " " + args.back() + ": status " +
                            std::to_string(run.status) + " " + run.err;
        }
        return run.status == 0;
    }

    // Runs each installed program's probe and reads what Wine counts for the shared copy.
    static void Look(const std::string& what) {
        Step step{what, {}, {}, {}, fs::exists(C("windows/system32/ACME64.DLL"))};
        for (const char* app : {"AppSys", "AppLocal"}) {
            const fs::path probe = C(std::string("Program Files/") + app + "/probe.exe");
            fs::remove(probe.parent_path() / "probe.txt");
            if (fs::exists(probe)) {
                Wine({"wine", std::string("C:\\Program Files\\") + app + "\\probe.exe"});
            }
        }
        step.appSysLoads = Slurp(C("Program Files/AppSys/probe.txt"));
        step.appLocalLoads = Slurp(C("Program Files/AppLocal/probe.txt"));
        const auto count = testsupport::FindQueried(testsupport::WineRegQuery(Prefix(), {kCounts}),
                                                    kCounts, kShared);
        step.count = count ? count->data : "(none)";
        run_->steps.push_back(step);
    }

    static void SetUpTestSuite() {
        if (!testsupport::WineInstalled() || !MakensisInstalled()) {
            return;
        }
        run_ = new SetupRun;
        run_->folder =
            fs::temp_directory_path() / ("velto-wine-nsis-" + std::to_string(::getpid()));
        run_->prefix = run_->folder / "prefix";
        fs::remove_all(run_->folder);
        const fs::path build = run_->folder / "nsis";
        fs::create_directories(build);
        std::ofstream(build / "ACME64.DLL", std::ios::binary)
            << vltrun::Dll("2.0.0.0", "Acme", true);
        std::ofstream(build / "ACME64OLD.DLL", std::ios::binary)
            << vltrun::Dll("1.0.0.0", "Acme", true);
        for (const auto& [name, script] : {std::pair{"probe.nsi", kProbe},
                                           {"appsys.nsi", kAppSys},
                                           {"applocal.nsi", kAppLocal}}) {
            std::ofstream(build / name) << script;
            const auto made = testsupport::RunProgram(
                {"/usr/bin/env", "-C", build.string(), "makensis", "-V2", name});
            if (made.status != 0) {
                run_->failure = std::string("makensis ") + name + ": " + made.out + made.err;
                return;
            }
        }
        if (const auto error = testsupport::MakeWinePrefix(Prefix())) {
            run_->failure = *error;
            return;
        }
        for (const char* setup : {"appsys-setup.exe", "applocal-setup.exe"}) {
            if (!Wine({"wine", (build / setup).string()})) {
                return;
            }
        }
        Look("installed");
        run_->vlt = testsupport::RunProgram(
            vltrun::InWine(Prefix(), {VLT_BINARY, "--machine", Prefix().string(), "-S"}));
        Look("after vlt -S and the restart");
        Wine({"wine", "C:\\Program Files\\AppSys\\uninstall.exe", "/S",
              "_?=C:\\Program Files\\AppSys"});
        Look("AppSys uninstalled");
        Wine({"wine", "C:\\Program Files\\AppLocal\\uninstall.exe", "/S",
              "_?=C:\\Program Files\\AppLocal"});
        Look("AppLocal uninstalled");
    }
};

TEST_F(WineSetupPrograms, EveryProgramStillFindsACopyAfterTheRepairAndEachUninstall) {
    ASSERT_EQ(run_->vlt.status, 0) << run_->vlt.out << run_->vlt.err;
    const std::string local = "C:\\Program Files\\AppLocal\\ACME64.DLL";
    const std::vector<Step> expected = {
        {"installed", kShared, local, "0x1", true},
        // The private copy is gone; its program loads the system folder's, which took over
        // its use: one more count.
        {"after vlt -S and the restart", kShared, kShared, "0x2", true},
        // Counted down, not removed: AppLocal still needs it.
        {"AppSys uninstalled", "", kShared, "0x1", true},
        {"AppLocal uninstalled", "", "", "0x1", true},
    };
    ASSERT_EQ(run_->steps.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Step& seen = run_->steps[i];
        SCOPED_TRACE(expected[i].what);
        EXPECT_EQ(seen.appSysLoads, expected[i].appSysLoads);
        EXPECT_EQ(seen.appLocalLoads, expected[i].appLocalLoads);
        EXPECT_EQ(seen.count, expected[i].count);
        EXPECT_EQ(seen.sharedExists, expected[i].sharedExists);
    }
    EXPECT_FALSE(fs::exists(C("Program Files/AppLocal/ACME64.DLL")));
    EXPECT_NE(run_->vlt.out.find("delete C:\\Program Files\\AppLocal\\ACME64.DLL: done"),
              std::string::npos)
        << run_->vlt.out;
}

}  // namespace
