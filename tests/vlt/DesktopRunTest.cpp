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
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/BackgroundProgram.h"
#include "tests/support/RunProgram.h"
#include "tests/vlt/XDesktop.h"

namespace {

using namespace std::chrono_literals;
using testsupport::BackgroundProgram;
using vltdesktop::Desktop;
using vltdesktop::ScopedVariable;

constexpr auto kExitWait = 60s;

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

// A prefix as Wine lays one out, enough to be opened: the registry files and the drive link.
void FakePrefix(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder / "drive_c/windows/system32");
    std::filesystem::create_directories(folder / "dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", folder / "dosdevices/c:");
    for (const auto& [file, root] : {std::pair{"system.reg", "\\\\Machine"},
                                     {"user.reg", "\\\\User\\\\S-1-5-21-0-0-0-1000"},
                                     {"userdef.reg", "\\\\User\\\\.Default"}}) {
        std::ofstream(folder / file)
            << "WINE REGISTRY Version 2\n;; All keys relative to " << root << "\n\n#arch=win64\n";
    }
}

// vlt --desktop as the menu entry starts it, for a user whose home is `home`.
std::vector<std::string> FromTheMenu(const std::filesystem::path& home) {
    return {"/usr/bin/env",
            "-u",
            "VELTO_MACHINE",
            "-u",
            "WINEPREFIX",
            "-u",
            "XDG_CONFIG_HOME",
            "HOME=" + home.string(),
            "XDG_DATA_HOME=" + (home / "xdg").string(),
            "XDG_RUNTIME_DIR=" + home.string(),
            "QT_QPA_PLATFORM=xcb",
            VLT_BINARY,
            "--desktop"};
}

// Without a machine, the menu entry's window lists the prefixes of the user's launchers and
// opens the one chosen; with none, it makes the demo machine (its button is there when vlt
// runs from the build tree, beside which velto-machine is built).
TEST(DesktopRun, TheMenuEntryWithoutAMachineOffersThePrefixesFoundAndTheDemo) {
    Desktop desktop;
    if (const std::string why = desktop.Start(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("velto-menu-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    const std::filesystem::path home = root / "with-prefixes";
    const std::filesystem::path steamApps = home / ".local/share/Steam/steamapps";
    FakePrefix(steamApps / "compatdata/220/pfx");
    std::ofstream(steamApps / "appmanifest_220.acf")
        << "\"AppState\"\n{\n\t\"appid\"\t\t\"220\"\n\t\"name\"\t\t\"Half-Life 2\"\n}\n";
    std::filesystem::create_directories(steamApps / "compatdata/400");
    FakePrefix(home / ".wine");
    const std::string title = "Velto: choose what to check";
    {
        BackgroundProgram vlt(FromTheMenu(home));
        ASSERT_TRUE(desktop.FocusWindow(title)) << vlt.Err();
        if (const char* folder = std::getenv("VELTO_SCREENSHOTS")) {
            const std::string file = std::string(folder) + "/choose-machine-window.png";
            EXPECT_EQ(desktop.Picture(title, file), "");
        }
        // The first prefix is chosen and the button to check it is the default.
        desktop.Keys({"Return"});
        EXPECT_TRUE(desktop.FocusWindow("Select Options - Velto")) << vlt.Err();
    }

    const std::filesystem::path empty = root / "without";
    std::filesystem::create_directories(empty);
    {
        BackgroundProgram vlt(FromTheMenu(empty));
        ASSERT_TRUE(desktop.FocusWindow(title)) << vlt.Err();
        desktop.Keys({"alt+d"});
        EXPECT_TRUE(desktop.FocusWindow("Select Options - Velto")) << vlt.Err();
        EXPECT_TRUE(std::filesystem::exists(empty / "xdg/velto/machine/machine.ini"));
    }
    std::filesystem::remove_all(root);
}

}  // namespace
