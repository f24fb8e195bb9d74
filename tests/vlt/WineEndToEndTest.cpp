// The unattended check of a real Wine prefix from start to restart: `velto-machine create
// --wine --demo` (a fresh prefix by wineboot -i, the demo's duplicates in drive_c, 64-bit and
// 32-bit images among them), `vlt --machine PREFIX -S`, whose restart is Wine's wineboot -r;
// then what the user finds: the files, the backups, the use counts as Wine reads them, the
// report, a prefix that still starts, and a second run that refuses while Wine runs. The
// suite makes one prefix and runs the check once (Wine needs several seconds for each).
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

namespace {

using testsupport::Slurp;

namespace fs = std::filesystem;

constexpr const char* kCounts =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
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

std::vector<std::string> Env(const fs::path& prefix, std::vector<std::string> args) {
    std::vector<std::string> argv = {"/usr/bin/env",    "-u",
                                     "DISPLAY",         "-u",
                                     "WAYLAND_DISPLAY", "VELTO_NO_LAUNCH=1",
                                     "WINEDEBUG=-all",  "WINEPREFIX=" + prefix.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

class WineEndToEnd : public ::testing::Test {
  protected:
    struct Run {
        fs::path folder;
        std::string failure;
        testsupport::ProgramRun created;
        testsupport::ProgramRun vlt;
        // Files of drive_c as the demo made them, by path below drive_c.
        std::vector<std::pair<std::string, std::string>> before;
    };

    static void SetUpTestSuite() {
        if (!testsupport::WineInstalled()) {
            return;
        }
        run_ = new Run;
        run_->folder = fs::temp_directory_path() / ("velto-wine-e2e-" + std::to_string(::getpid()));
        fs::remove_all(run_->folder);
        fs::create_directories(run_->folder);
        const fs::path prefix = run_->folder / "prefix";
        run_->created = testsupport::RunProgram(
            Env(prefix, {VELTO_MACHINE_TOOL, "create", prefix.string(), "--wine", "--demo"}));
        if (run_->created.status != 0) {
            run_->failure = "velto-machine create --wine --demo: " + run_->created.err;
            return;
        }
        // Game folders often reach the system folder through a link; every file behind it is
        // then listed twice, and must still count as one copy.
        std::error_code linked;
        fs::create_directory_symlink("windows/system32", prefix / "drive_c" / "SYSLINK", linked);
        if (linked) {
            run_->failure = "cannot make the folder link: " + linked.message();
            return;
        }
        for (const char* path :
             {"windows/system32/ORBCALC.DLL", "Program Files/Orbis Suite/ORBCALC.DLL",
              "windows/system32/QUILLRT.DLL", "windows/syswow64/QUILLRT.DLL",
              "Program Files/Quill Writer/QUILLRT.DLL",
              "Program Files (x86)/Quill Writer/QUILLRT.DLL",
              "Program Files (x86)/Orbis Suite/ORBNET.DLL",
              "Program Files/Orbis Suite/ORBNET.DLL"}) {
            run_->before.emplace_back(path, Slurp(prefix / "drive_c" / path));
        }
        run_->vlt =
            testsupport::RunProgram(Env(prefix, {VLT_BINARY, "--machine", prefix.string(), "-S"}));
    }
    static void TearDownTestSuite() {
        if (run_ != nullptr) {
            testsupport::RemoveWinePrefix(run_->folder / "prefix");
            std::error_code ec;
            fs::remove_all(run_->folder, ec);
            delete run_;
            run_ = nullptr;
        }
    }
    void SetUp() override {
        if (run_ == nullptr) {
            GTEST_SKIP() << testsupport::kWineMissing;
        }
        ASSERT_TRUE(run_->failure.empty()) << run_->failure;
    }
    static fs::path Prefix() { return run_->folder / "prefix"; }
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

    static Run* run_;
};

WineEndToEnd::Run* WineEndToEnd::run_ = nullptr;

// One test, so that the prefix and the run are made once (every test of the program runs as a
// process of its own).
TEST_F(WineEndToEnd, APrefixCheckedFromStartToRestart) {
    ASSERT_EQ(run_->vlt.status, 0) << run_->vlt.out << run_->vlt.err;
    EXPECT_NE(run_->vlt.out.find("restart: starting the prefix: WINEPREFIX="), std::string::npos)
        << run_->vlt.out;
    EXPECT_EQ(run_->vlt.out.find("not carried out"), std::string::npos) << run_->vlt.out;
    // The newer ORBCALC.DLL of a program's folder went over the system folder's older one.
    EXPECT_EQ(Slurp(C("windows/system32/ORBCALC.DLL")),
              Before("Program Files/Orbis Suite/ORBCALC.DLL"));
    EXPECT_FALSE(fs::exists(C("Program Files/Orbis Suite/ORBCALC.DLL")));
    EXPECT_FALSE(fs::exists(C("Program Files/Orbis Old/ORBDATA.DLL")));
    // The system folder, also reached as C:\SYSLINK, kept every file the groups keep.
    for (const char* name : {"ORBDATA.DLL", "TSSCOMM.DLL", "LUMCHART.OCX", "QUILLRT.DLL"}) {
        EXPECT_TRUE(fs::exists(C(std::string("windows/system32/") + name))) << name;
    }
    // Every changed file has its backup, as it was.
    EXPECT_EQ(Slurp(C("Program Files/Velto/C~~windows~system32~ORBCALC.DLL.backup")),
              Before("windows/system32/ORBCALC.DLL"));
    EXPECT_TRUE(fs::exists(C("Program Files/Velto/C~~Program Files~Orbis Old~ORBDATA.DLL.backup")));
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
    const auto read = testsupport::WineRegQuery(Prefix(), {kCounts});
    const auto count = [&](const std::string& path) {
        const auto value = testsupport::FindQueried(read, kCounts, path);
        return value ? value->type + " " + value->data : std::string("(none)");
    };
    // Carried over from the copies removed beside programs: 1 + 1 and 2 + 1.
    EXPECT_EQ(count("C:\\windows\\system32\\ORBCALC.DLL"), "REG_DWORD 0x2");
    EXPECT_EQ(count("C:\\windows\\system32\\TSSCOMM.DLL"), "REG_DWORD 0x3");
    EXPECT_EQ(count("C:\\windows\\system32\\LUMGRID.OCX"), "REG_DWORD 0x3");
    EXPECT_EQ(testsupport::RunInPrefix(Prefix(), {"wine", "cmd", "/c", "exit", "0"}).status, 0);

    // A second run while Wine runs: a persistent server stands for a Wine program left running.
    ASSERT_EQ(testsupport::RunProgram(Env(Prefix(), {"/usr/bin/wineserver", "-p60"})).status, 0);
    const std::string machine = Slurp(Prefix() / "system.reg");
    const std::string user = Slurp(Prefix() / "user.reg");
    const std::string library = Slurp(C("windows/system32/TSSCOMM.DLL"));
    const auto second =
        testsupport::RunProgram(Env(Prefix(), {VLT_BINARY, "--machine", Prefix().string(), "-S"}));
    // A command that only reads describes the prefix meanwhile, saying that Wine holds it.
    const auto info =
        testsupport::RunProgram(Env(Prefix(), {VELTO_MACHINE_TOOL, "info", Prefix().string()}));
    testsupport::RunProgram(Env(Prefix(), {"/usr/bin/wineserver", "-k"}));
    EXPECT_EQ(second.status, 2) << second.out << second.err;
    EXPECT_NE(second.err.find(kWineRunning + Prefix().string() + " wineserver -k`"),
              std::string::npos)
        << second.err;
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("In use          Wine is running in this prefix"), std::string::npos)
        << info.out;
    EXPECT_EQ(Slurp(Prefix() / "system.reg"), machine);
    EXPECT_EQ(Slurp(Prefix() / "user.reg"), user);
    EXPECT_EQ(Slurp(C("windows/system32/TSSCOMM.DLL")), library);

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
    // The older copies beside the programs go, or get their own processor's newer copy.
    for (const auto& [path, kind] : {std::pair{"Program Files/Quill Writer/QUILLRT.DLL", "PE32+"},
                                     {"Program Files (x86)/Quill Writer/QUILLRT.DLL", "PE32"}}) {
        if (fs::exists(C(path))) {
            EXPECT_EQ(ImageKind(C(path)), kind) << path;
        }
    }
}

}  // namespace
