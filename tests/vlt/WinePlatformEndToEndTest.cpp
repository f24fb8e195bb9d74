// The files of a real Wine prefix's platform from start to restart: a prefix made by wineboot -i
// where Steam's Proton keeps one (steamapps/compatdata/<appid>/pfx), checked fresh, then given
// two games that ship their own builds of libraries Wine provides (made from the prefix's own
// files with Wine's signature cleared and another version text), two programs' copies of one
// library, a 32-bit program's copy of a library SysWOW64 holds, a library Proton placed and
// tracks, and a link out of the prefix as Proton makes them; then `vlt -S` with its restart
// (wineboot -r), and what the user finds. One test, so that the prefix is made once.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"
#include "tests/support/WinePrefix.h"
#include "tests/vlt/VltRunSupport.h"
#include "tests/vlt/WineSuite.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using testsupport::Slurp;

constexpr const char* kCounts32 =
    "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr const char* kPadOverrides =
    "HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\PadGame.exe\\DllOverrides";

void Spit(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// A game's own build of one of Wine's libraries: Wine's file without its signature, its
// version text replaced by one of the same length.
std::string NativeBuild(std::string bytes, const std::string& wineVersion,
                        const std::string& version) {
    bytes.replace(0x40, 32, std::string(32, '\0'));
    const auto utf16 = [](const std::string& text) {
        std::string out;
        for (const char c : text) {
            out += {c, '\0'};
        }
        return out;
    };
    for (auto at = bytes.find(utf16(wineVersion)); at != std::string::npos;
         at = bytes.find(utf16(wineVersion), at)) {
        bytes.replace(at, wineVersion.size() * 2, utf16(version));
    }
    return bytes;
}

bool WineSigned(const std::string& bytes) {
    return bytes.size() >= 0x60 &&
           bytes.compare(0x40, 17, std::string("Wine builtin DLL\0", 17)) == 0;
}

struct PlatformRun : vltrun::WineRun {
    json fresh;
    json scene;
    testsupport::ProgramRun vlt;
    testsupport::ProgramRun locked;
    // Every file of the prefix's Windows folder carrying Wine's signature, and the files the
    // scene made, as they were before the run.
    std::map<fs::path, std::string> wineFiles;
    std::map<fs::path, std::string> before;
};

class WinePlatformEndToEnd : public vltrun::WineSuite<PlatformRun> {
  protected:
    static fs::path Prefix() { return run_->prefix; }
    static fs::path C(const std::string& path) { return Prefix() / "drive_c" / path; }
    static fs::path Outside() { return run_->folder / "proton/dxvk/dxgi.dll"; }

    static json Check() {
        const auto check = testsupport::RunProgram(
            vltrun::InWine(Prefix(), {VELTO_MACHINE_TOOL, "check", Prefix().string(), "--json"}));
        return json::parse(check.out, nullptr, false);
    }

    // The games, the programs and the launcher's files; what each is is said where it is made.
    static void MakeScene() {
        Spit(C("Games/PadGame/xinput1_3.dll"),
             NativeBuild(Slurp(C("windows/system32/xinput1_3.dll")), "9.15.779.0000",
                         "9.18.944.0000"));
        Spit(C("Games/ShaderGame/d3dcompiler_47.dll"),
             NativeBuild(Slurp(C("windows/system32/d3dcompiler_47.dll")), "6.3.9600.16984",
                         "6.3.9600.16384"));
        // Two programs' own copies of one library: the older one gets the newer one.
        Spit(C("Program Files/Lumen/LUMEN.DLL"), vltrun::Dll("2.0.0.0", "Lumen", true));
        Spit(C("Program Files/Lumen Old/LUMEN.DLL"), vltrun::Dll("1.0.0.0", "Lumen", true));
        // A 32-bit program's older copy of a counted library of SysWOW64, and a 64-bit library
        // of the same name in System32 that it is never compared with.
        Spit(C("windows/syswow64/ACME32.DLL"), vltrun::Dll("2.0.0.0", "Acme"));
        Spit(C("Program Files (x86)/App32/ACME32.DLL"), vltrun::Dll("1.0.0.0", "Acme"));
        Spit(C("windows/system32/ACME32.DLL"), vltrun::Dll("1.5.0.0", "Acme", true));
        // Proton's DXVK build of d3d11 over Wine's, listed in tracked_files; its dxgi a link
        // into Proton's installation, outside the prefix; a game's own older copies of both.
        Spit(C("windows/system32/d3d11.dll"), vltrun::Dll("2.3.0.0", "DXVK", true));
        Spit(Prefix().parent_path() / "tracked_files",
             "drive_c/\ndrive_c/windows/\ndrive_c/windows/system32/d3d11.dll\n");
        Spit(Outside(), vltrun::Dll("2.3.0.0", "DXVK", true));
        fs::remove(C("windows/system32/dxgi.dll"));
        fs::create_symlink(Outside(), C("windows/system32/dxgi.dll"));
        Spit(C("Games/Racer/d3d11.dll"), vltrun::Dll("1.0.0.0", "DXVK", true));
        Spit(C("Games/Racer/dxgi.dll"), vltrun::Dll("1.0.0.0", "DXVK", true));
        Spit(Prefix().parent_path() / "pfx.lock", "");
    }

    static void SetUpTestSuite() {
        if (!testsupport::WineInstalled()) {
            return;
        }
        run_ = new PlatformRun;
        run_->folder = fs::temp_directory_path() / ("velto-wine-pfx-" + std::to_string(::getpid()));
        run_->prefix = run_->folder / "steamapps/compatdata/4242/pfx";
        fs::remove_all(run_->folder);
        fs::create_directories(Prefix().parent_path());
        if (const auto error = testsupport::MakeWinePrefix(Prefix())) {
            run_->failure = *error;
            return;
        }
        run_->fresh = Check();
        MakeScene();
        // Wine's own reg counts the 32-bit library where 32-bit setup programs do, and sets
        // PadGame's controller library to its native copy.
        const auto reg = testsupport::RunInPrefix(
            Prefix(), {"wine",        "cmd",       "/c",        "reg",
                       "add",         kCounts32,   "/v",        "C:\\windows\\syswow64\\ACME32.DLL",
                       "/t",          "REG_DWORD", "/d",        "1",
                       "/f",          "&",         "reg",       "add",
                       kPadOverrides, "/v",        "xinput1_3", "/d",
                       "native",      "/f"});
        if (reg.status != 0) {
            run_->failure = "wine reg add: " + reg.out + reg.err;
            return;
        }
        run_->scene = Check();
        for (const auto& entry : fs::recursive_directory_iterator(C("windows"))) {
            if (entry.is_regular_file() && !entry.is_symlink()) {
                std::string bytes = Slurp(entry.path());
                if (WineSigned(bytes)) {
                    run_->wineFiles.emplace(entry.path(), std::move(bytes));
                }
            }
        }
        for (const char* path :
             {"Games/PadGame/xinput1_3.dll", "Games/ShaderGame/d3dcompiler_47.dll",
              "Program Files/Lumen/LUMEN.DLL", "windows/syswow64/ACME32.DLL",
              "windows/system32/ACME32.DLL", "windows/system32/d3d11.dll", "Games/Racer/d3d11.dll",
              "Games/Racer/dxgi.dll"}) {
            run_->before.emplace(C(path), Slurp(C(path)));
        }
        run_->before.emplace(Outside(), Slurp(Outside()));
        run_->vlt = testsupport::RunProgram(
            vltrun::InWine(Prefix(), {VLT_BINARY, "--machine", Prefix().string(), "-S"}));

        // While Proton sets the prefix up, Velto stays out of it.
        const int lock = ::open((Prefix().parent_path() / "pfx.lock").c_str(), O_RDWR | O_CLOEXEC);
        ::flock(lock, LOCK_EX);
        run_->locked = testsupport::RunProgram(
            vltrun::InWine(Prefix(), {VLT_BINARY, "--machine", Prefix().string(), "-S"}));
        ::close(lock);
    }
    static const json* Group(const json& check, const std::string& name) {
        for (const json& group : check.at("groups")) {
            if (group.at("name") == name) {
                return &group;
            }
        }
        return nullptr;
    }
};

TEST_F(WinePlatformEndToEnd, WinesAndProtonsFilesAreLeftToThemAndProgramsCopiesRepaired) {
    // A fresh prefix is no duplicate problem: its files are Wine's own.
    ASSERT_FALSE(run_->fresh.is_discarded());
    EXPECT_GT(run_->fresh.at("listed").get<int>(), 500);
    EXPECT_EQ(run_->fresh.at("flagged").get<int>(), 0) << run_->fresh.dump(1);
    RecordProperty("FreshPrefixFilesListed", std::to_string(run_->fresh.at("listed").get<int>()));

    // What the check tells of the scene: no copy recommended beside Wine's and Proton's
    // files, and what Wine loads for the games' libraries.
    ASSERT_FALSE(run_->scene.is_discarded());
    for (const auto& [name, note] : {std::pair{"xinput1_3.dll", "LEFT TO WINE"},
                                     {"d3dcompiler_47.dll", "LEFT TO WINE"},
                                     {"d3d11.dll", "LEFT TO PROTON"}}) {
        const json* group = Group(run_->scene, name);
        ASSERT_NE(group, nullptr) << name << run_->scene.dump(1);
        EXPECT_EQ(group->at("notes"), json::array({note})) << name;
        EXPECT_TRUE(group->at("recommended").is_null()) << name;
        EXPECT_TRUE(group->at("unattended").at("actions").empty()) << name;
    }
    const json* pad = Group(run_->scene, "xinput1_3.dll");
    EXPECT_EQ(pad->at("loading").at("default"), "builtin");
    EXPECT_EQ(pad->at("loading").at("programs"),
              json::parse(R"([{"program": "PadGame.exe", "loads": "native",
                              "why": "AppDefaults\\PadGame.exe: \"native\""}])"));
    // d3dcompiler_47 prefers a program's own copy to itself.
    EXPECT_EQ(Group(run_->scene, "d3dcompiler_47.dll")->at("loading").at("default"), "native");
    EXPECT_EQ(Group(run_->scene, "dxgi.dll"), nullptr) << "the link out of the prefix is listed";

    ASSERT_EQ(run_->vlt.status, 0) << run_->vlt.out << run_->vlt.err;
    EXPECT_NE(run_->vlt.out.find("restart: starting the prefix"), std::string::npos)
        << run_->vlt.out;
    // Every file Wine made is as it was, and every game's copy where it was.
    for (const auto& [file, bytes] : run_->wineFiles) {
        EXPECT_EQ(Slurp(file), bytes) << file;
    }
    for (const auto& [file, bytes] : run_->before) {
        EXPECT_EQ(Slurp(file), bytes) << file;
    }
    EXPECT_TRUE(fs::is_symlink(C("windows/system32/dxgi.dll")));
    // The programs' own copies are repaired: the newer copy went over the older one, and the
    // 32-bit program's copy made way for SysWOW64's, which took over its use.
    EXPECT_EQ(Slurp(C("Program Files/Lumen Old/LUMEN.DLL")),
              run_->before.at(C("Program Files/Lumen/LUMEN.DLL")));
    EXPECT_FALSE(fs::exists(C("Program Files (x86)/App32/ACME32.DLL")));
    const auto counts = testsupport::WineRegQuery(Prefix(), {kCounts32});
    const auto count =
        testsupport::FindQueried(counts, kCounts32, "C:\\windows\\syswow64\\ACME32.DLL");
    ASSERT_TRUE(count);
    EXPECT_EQ(count->data, "0x2");

    // The report names the groups left to Wine and to Proton.
    std::string report;
    for (const auto& entry : fs::directory_iterator(C("windows/temp"))) {
        const std::string text = Slurp(entry.path());
        if (text.starts_with("<html>")) {
            report = text;
        }
    }
    for (const char* line :
         {"xinput1_3.dll: not repaired, C:\\windows\\system32\\xinput1_3.dll is Wine's own "
          "library (builtin), left to Wine",
          "d3dcompiler_47.dll: not repaired, C:\\windows\\system32\\d3dcompiler_47.dll is Wine's "
          "own library (builtin), left to Wine",
          "d3d11.dll: not repaired, C:\\windows\\system32\\d3d11.dll is a file Proton placed in "
          "the prefix (tracked_files), left to Proton"}) {
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
    }

    EXPECT_EQ(run_->locked.status, 2) << run_->locked.out << run_->locked.err;
    EXPECT_NE(run_->locked.err.find("Proton is setting this prefix up"), std::string::npos)
        << run_->locked.err;
    EXPECT_EQ(testsupport::RunInPrefix(Prefix(), {"wine", "cmd", "/c", "exit", "0"}).status, 0);
}

}  // namespace
