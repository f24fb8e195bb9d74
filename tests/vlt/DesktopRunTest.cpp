// The program as a user meets it on a real X display (Xvfb, driven with synthetic input from
// xdotool): the main window scans the demo machine, the review window accepts a
// recommendation, OK saves the report through the save dialog under a typed name, and the
// restart carries out what was scheduled. Skipped, saying why, when no X server can be had.
//
// Every wait polls for a window or for the program's end and gives up after a bound, so a
// broken run fails in well under the test's time-out instead of hanging.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/BackgroundProgram.h"
#include "tests/support/RunProgram.h"

namespace {

using namespace std::chrono_literals;
using testsupport::BackgroundProgram;

constexpr auto kWindowWait = 30s;
constexpr auto kExitWait = 60s;

// Sets an environment variable for the life of the object.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// An X server of the test's own and the synthetic user at its keyboard and mouse.
class Desktop {
  public:
    // Empty when the server runs; else why there is none.
    std::string Start() {
        const std::string xvfb = testsupport::FindOnPath("Xvfb");
        xdotool_ = testsupport::FindOnPath("xdotool");
        if (xvfb.empty() || xdotool_.empty()) {
            return "Xvfb or xdotool is not installed (tools/install-deps.sh installs both)";
        }
        // -displayfd: the server picks a free display and prints its number once it listens.
        server_.emplace(std::vector<std::string>{xvfb, "-displayfd", "1", "-screen", "0",
                                                 "1280x1024x24", "-nolisten", "tcp"});
        for (auto until = std::chrono::steady_clock::now() + 15s;
             std::chrono::steady_clock::now() < until;) {
            const std::string out = server_->Out();
            if (out.find('\n') != std::string::npos) {
                display_.emplace("DISPLAY", ":" + out.substr(0, out.find('\n')));
                return {};
            }
            if (server_->WaitFor(100ms)) {
                break;
            }
        }
        return "Xvfb did not start: " + server_->Err();
    }

    std::string Xdotool(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{xdotool_};
        argv.insert(argv.end(), args.begin(), args.end());
        return testsupport::RunProgram(argv).out;
    }

    // The id of the window titled exactly `title`, once there is one; "" after the bound.
    std::string WaitForWindow(const std::string& title) const {
        for (auto until = std::chrono::steady_clock::now() + kWindowWait;
             std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(100ms)) {
            std::string found = Xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
            if (const auto end = found.find('\n'); end != std::string::npos) {
                return found.substr(0, end);
            }
        }
        return {};
    }

    // Waits for the window and gives it the keyboard; false when it never came.
    bool FocusWindow(const std::string& title) const {
        const std::string window = WaitForWindow(title);
        if (window.empty()) {
            ADD_FAILURE() << "no window \"" << title << "\"; windows: " << Titles();
            return false;
        }
        for (int attempt = 0; attempt < 50; ++attempt) {
            Xdotool({"windowfocus", window});
            if (Xdotool({"getwindowfocus"}).starts_with(window)) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        ADD_FAILURE() << "\"" << title << "\" does not take the keyboard";
        return false;
    }

    void Keys(const std::vector<std::string>& keys) const {
        for (const std::string& key : keys) {
            Xdotool({"key", "--clearmodifiers", key});
            // Let the program take each key before the next, as a typist's pace does.
            std::this_thread::sleep_for(150ms);
        }
    }

    void Type(const std::string& text) const { Xdotool({"type", "--delay", "50", text}); }

    void ClickIn(const std::string& title, int x, int y) const {
        Xdotool({"mousemove", "--window", WaitForWindow(title), std::to_string(x),
                 std::to_string(y), "click", "1"});
    }

    std::string Titles() const {
        return Xdotool({"search", "--onlyvisible", "--name", ".", "getwindowname", "%@"});
    }

  private:
    std::string xdotool_;
    std::optional<BackgroundProgram> server_;
    std::optional<ScopedVariable> display_;
};

std::string Read(const std::filesystem::path& file) {
    std::string text;
    if (FILE* in = std::fopen(file.c_str(), "rb")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
            text.append(buffer, n);
        }
        std::fclose(in);
    }
    return text;
}

TEST(DesktopRun, ScanReviewOkSaveAndRestartWithARealDisplay) {
    Desktop desktop;
    if (const std::string why = desktop.Start(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("velto-desktop-" + std::to_string(::getpid()));
    std::filesystem::remove_all(home);
    const std::filesystem::path machine = home / "machine";
    ASSERT_EQ(
        testsupport::RunProgram({VELTO_MACHINE_TOOL, "create", machine.string(), "--demo"}).status,
        0);
    // The real window system; the test run's own defaults would keep Qt offscreen.
    const ScopedVariable platform("QT_QPA_PLATFORM", "xcb");
    const ScopedVariable data("XDG_DATA_HOME", (home / "xdg").string());
    const ScopedVariable runtime("XDG_RUNTIME_DIR", home.string());
    BackgroundProgram vlt({VLT_BINARY, "--machine", machine.string()});

    // The main window: Begin Scan from the File menu.
    ASSERT_TRUE(desktop.FocusWindow("Select Options - Velto"));
    desktop.Keys({"alt+f", "s"});
    // The review window: the first group (ORBCALC.DLL) from the keyboard, its recommendation
    // accepted, then OK.
    ASSERT_TRUE(desktop.FocusWindow("Duplicated System Files - Velto"));
    desktop.ClickIn("Duplicated System Files - Velto", 400, 300);
    desktop.Keys({"Home", "alt+a", "alt+o"});
    ASSERT_TRUE(desktop.FocusWindow("Summary Action Report"));
    desktop.Keys({"alt+y"});
    // The save dialog: a name typed over the offered one.
    ASSERT_TRUE(desktop.FocusWindow("Save As"));
    desktop.Keys({"ctrl+a"});
    desktop.Type("Run of the test");
    desktop.Keys({"Return"});
    ASSERT_TRUE(desktop.FocusWindow("Report Created."));
    desktop.Keys({"alt+n"});
    ASSERT_TRUE(desktop.FocusWindow("Restart Required"));
    desktop.Keys({"alt+y"});

    const std::optional<int> status = vlt.WaitFor(kExitWait);
    ASSERT_TRUE(status) << "vlt did not end; windows: " << desktop.Titles();
    EXPECT_EQ(*status, 0) << vlt.Err();
    const std::string report = Read(machine / "drives/C/My Documents/Run of the test.htm");
    for (const char* part :
         {"Action Report", "Files Backed Up", "Files to Copy on restart", "ORBCALC.DLL"}) {
        EXPECT_NE(report.find(part), std::string::npos) << part;
    }
    // The restart ran what the report scheduled, and said so line by line.
    const std::string out = vlt.Out();
    EXPECT_NE(out.find("restart: wininit.ini line "), std::string::npos) << out;
    EXPECT_NE(out.find("ORBCALC.DLL: done"), std::string::npos) << out;
    EXPECT_EQ(out.find(": failed"), std::string::npos) << out;
    std::filesystem::remove_all(home);
}

}  // namespace
