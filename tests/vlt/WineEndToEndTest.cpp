// The unattended check of a real Wine prefix from start to restart: `velto-machine create
// --wine --demo` (a fresh prefix by wineboot -i, the demo's 32-bit programs' duplicates in
// syswow64 and Program Files (x86), 64-bit images of some names beside them), `vlt --machine PREFIX
// -S`, whose restart is Wine's wineboot -r; then what the user finds: the files, the backups, the
// use counts as Wine reads them, the report, a prefix that still starts, and a second run that
// refuses while Wine runs. The suite makes one prefix and runs the check once (Wine needs several
// seconds for each).
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/FileText.h"
#include "tests/support/RunProgram.h"
#include "tests/support/WinePrefix.h"
#include "tests/vlt/VltRunSupport.h"
#include "tests/vlt/WineSuite.h"

namespace {

using testsupport::Slurp;

namespace fs = std::filesystem;

constexpr const char* kCounts =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
// Where 32-bit setup programs count what they install on a 64-bit Windows.
constexpr const char* kCounts32 =
    "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
// The refusal names the prefix: a bare `wineserver -k` would end another prefix's server.
constexpr const char* kWineRunning =
    "Wine is running in this prefix: close its programs or run `WINEPREFIX=";

// "PE32", "PE32+", or "" for anything else.
std::string ImageKind(const fs::path& file) {
    const std::string bytes = Slurp(file);
    if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') {
        return {};
    }
    const auto at = [&](std::size_t offset) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset]));
    };
    const std::size_t pe = at(0x3C) | (at(0x3D) << 8) | (at(0x3E) << 16) | (at(0x3F) << 24);
    if (pe + 26 > bytes.size() || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
        return {};
    }
    const std::uint32_t magic = at(pe + 24) | (at(pe + 25) << 8);
    return magic == 0x10b ? "PE32" : magic == 0x20b ? "PE32+" : "";
}

struct DemoRun : vltrun::WineRun {
    testsupport::ProgramRun created;
    testsupport::ProgramRun vlt;
    // Files of drive_c as the demo made them, by path below drive_c.
    std::vector<std::pair<std::string, std::string>> before;
};

class WineEndToEnd : public vltrun::WineSuite<DemoRun> {
  protected:
    static void SetUpTestSuite() {
        if (!testsupport::WineInstalled()) {
            return;
        }
        run_ = new DemoRun;
        run_->folder = fs::temp_directory_path() / ("velto-wine-e2e-" + std::to_string(::getpid()));
        run_->prefix = run_->folder / "prefix";
        fs::remove_all(run_->folder);
        fs::create_directories(run_->folder);
        const fs::path prefix = run_->folder / "prefix";
        run_->created = testsupport::RunProgram(vltrun::InWine(
            prefix, {VELTO_MACHINE_TOOL, "create", prefix.string(), "--wine", "--demo"}));
        if (run_->created.status != 0) {
            run_->failure = "velto-machine create --wine --demo: " + run_->created.err;
            return;
        }
        // Game folders often reach the system folder through a link; every file behind it is
        // then listed twice, and must still count as one copy.
        std::error_code linked;
        fs::create_directory_symlink("windows/syswow64", prefix / "drive_c" / "SYSLINK", linked);
        if (linked) {
            run_->failure = "cannot make the folder link: " + linked.message();
            return;
        }
        for (const char* path :
             {"windows/syswow64/ORBCALC.DLL", "Program Files (x86)/Orbis Suite/ORBCALC.DLL",
              "windows/system32/QUILLRT.DLL", "windows/syswow64/QUILLRT.DLL",
              "Program Files/Quill Writer/QUILLRT.DLL",
              "Program Files (x86)/Quill Writer/QUILLRT.DLL",
              "Program Files (x86)/Orbis Suite/ORBNET.DLL",
              "Program Files/Orbis Suite/ORBNET.DLL"}) {
            run_->before.emplace_back(path, Slurp(prefix / "drive_c" / path));
        }
        run_->vlt = testsupport::RunProgram(
            vltrun::InWine(prefix, {VLT_BINARY, "--machine", prefix.string(), "-S"}));
    }
    static fs::path Prefix() { return run_->prefix; }
    static fs::path C(const std::string& path) { return Prefix() / "drive_c" / path; }
    static const std::string& Before(const std::string& path) {
        for (const auto& [name, bytes] : run_->before) {
            if (name == path) {
                return bytes;
            }
        }
        static const std::string none;
        return none;
    }
};

// One test, so that the prefix and the run are made once (every test of the program runs as a
// process of its own).
TEST_F(WineEndToEnd, APrefixCheckedFromStartToRestart) {
    ASSERT_EQ(run_->vlt.status, 0) << run_->vlt.out << run_->vlt.err;
    EXPECT_NE(run_->vlt.out.find("restart: starting the prefix: WINEPREFIX="), std::string::npos)
        << run_->vlt.out;
    EXPECT_EQ(run_->vlt.out.find("not carried out"), std::string::npos) << run_->vlt.out;
    // The newer ORBCALC.DLL of a 32-bit program's folder went over the older one in the
    // system folder of 32-bit programs.
    EXPECT_EQ(Slurp(C("windows/syswow64/ORBCALC.DLL")),
              Before("Program Files (x86)/Orbis Suite/ORBCALC.DLL"));
    EXPECT_FALSE(fs::exists(C("Program Files (x86)/Orbis Suite/ORBCALC.DLL")));
    EXPECT_FALSE(fs::exists(C("Program Files (x86)/Orbis Old/ORBDATA.DLL")));
    // That system folder, also reached as C:\SYSLINK, kept every file the groups keep.
    for (const char* name : {"ORBDATA.DLL", "TSSCOMM.DLL", "LUMCHART.OCX", "QUILLRT.DLL"}) {
        EXPECT_TRUE(fs::exists(C(std::string("windows/syswow64/") + name))) << name;
    }
    // Every changed file has its backup, as it was.
    EXPECT_EQ(Slurp(C("Program Files/Velto/C~~windows~syswow64~ORBCALC.DLL.backup")),
              Before("windows/syswow64/ORBCALC.DLL"));
    EXPECT_TRUE(
        fs::exists(C("Program Files/Velto/C~~Program Files (x86)~Orbis Old~ORBDATA.DLL.backup")));
    // The system's stores were never touched.
    EXPECT_TRUE(fs::exists(C("windows/winsxs")));
    bool report = false;
    for (const auto& entry : fs::directory_iterator(C("windows/temp"))) {
        const std::string text = Slurp(entry.path());
        report =
            report || (text.starts_with("<html>") && text.find("ORBCALC.DLL") != std::string::npos);
    }
    EXPECT_TRUE(report) << "no action report in C:\\windows\\temp";

    // What Wine reads back, and Wine's own start.
    const auto read = testsupport::WineRegQuery(Prefix(), {kCounts, kCounts32});
    const auto count = [&](const char* key, const std::string& path) {
        const auto value = testsupport::FindQueried(read, key, path);
        return value ? value->type + " " + value->data : std::string("(none)");
    };
    // Carried over from the copies moved into the system folder and handed over by the copies
    // removed beside programs, each in its processor's view: 1 + 1, 2 + 1, and 3 kept.
    EXPECT_EQ(count(kCounts32, "C:\\windows\\syswow64\\ORBCALC.DLL"), "REG_DWORD 0x2");
    EXPECT_EQ(count(kCounts32, "C:\\windows\\syswow64\\TSSCOMM.DLL"), "REG_DWORD 0x3");
    EXPECT_EQ(count(kCounts32, "C:\\windows\\syswow64\\LUMGRID.OCX"), "REG_DWORD 0x3");
    // QUILLRT.DLL's older copies beside programs made way for their own processor's.
    EXPECT_EQ(count(kCounts, "C:\\windows\\system32\\QUILLRT.DLL"), "REG_DWORD 0x3");
    EXPECT_EQ(count(kCounts32, "C:\\windows\\syswow64\\QUILLRT.DLL"), "REG_DWORD 0x2");
    EXPECT_EQ(testsupport::RunInPrefix(Prefix(), {"wine", "cmd", "/c", "exit", "0"}).status, 0);

    // A second run while Wine runs: a persistent server stands for a Wine program left running.
    ASSERT_EQ(
        testsupport::RunProgram(vltrun::InWine(Prefix(), {"/usr/bin/wineserver", "-p60"})).status,
        0);
    const std::string machine = Slurp(Prefix() / "system.reg");
    const std::string user = Slurp(Prefix() / "user.reg");
    const std::string library = Slurp(C("windows/syswow64/TSSCOMM.DLL"));
    const auto second = testsupport::RunProgram(
        vltrun::InWine(Prefix(), {VLT_BINARY, "--machine", Prefix().string(), "-S"}));
    // A command that only reads describes the prefix meanwhile, saying that Wine holds it.
    const auto info = testsupport::RunProgram(
        vltrun::InWine(Prefix(), {VELTO_MACHINE_TOOL, "info", Prefix().string()}));
    testsupport::RunProgram(vltrun::InWine(Prefix(), {"/usr/bin/wineserver", "-k"}));
    EXPECT_EQ(second.status, 2) << second.out << second.err;
    EXPECT_NE(second.err.find(kWineRunning + Prefix().string() + " wineserver -k`"),
              std::string::npos)
        << second.err;
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("In use          Wine is running in this prefix"), std::string::npos)
        << info.out;
    EXPECT_EQ(Slurp(Prefix() / "system.reg"), machine);
    EXPECT_EQ(Slurp(Prefix() / "user.reg"), user);
    EXPECT_EQ(Slurp(C("windows/syswow64/TSSCOMM.DLL")), library);

    // Copies for different processors are never spread over each other.
    for (const char* path :
         {"windows/syswow64/QUILLRT.DLL", "Program Files (x86)/Orbis Suite/ORBNET.DLL"}) {
        EXPECT_EQ(ImageKind(C(path)), "PE32") << path;
    }
    for (const char* path :
         {"windows/system32/QUILLRT.DLL", "Program Files/Orbis Suite/ORBNET.DLL"}) {
        EXPECT_EQ(ImageKind(C(path)), "PE32+") << path;
    }
    EXPECT_EQ(Slurp(C("windows/syswow64/QUILLRT.DLL")), Before("windows/syswow64/QUILLRT.DLL"));
    EXPECT_EQ(Slurp(C("Program Files/Orbis Suite/ORBNET.DLL")),
              Before("Program Files/Orbis Suite/ORBNET.DLL"));
    // The older copies beside the programs go: each program loads its own processor's newer
    // copy from its system folder.
    for (const char* path : {"Program Files/Quill Writer/QUILLRT.DLL",
                             "Program Files (x86)/Quill Writer/QUILLRT.DLL"}) {
        EXPECT_FALSE(fs::exists(C(path))) << path;
    }
}

}  // namespace
