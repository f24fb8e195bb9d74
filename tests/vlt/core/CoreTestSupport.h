// Shared by the core's tests: a machine of its own for every test (drive C: with the Windows,
// system and program folders and an empty registry), a clean program state, the control host
// loaded, scripted dialogs, a clock that never sleeps, and fake windows that record what the
// core asks of them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/dialogs/Clock.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "tests/support/MachineBuilder.h"
#include "vlt/core/VltState.h"

namespace coretest {

class FakeProgress : public vlt::ProgressWindow {
  public:
    void Show() override;
    void Unload() override;
    std::string ScanItem() const override { return item; }
    void SetScanItem(const std::string& text) override;
    bool Canceled() const override { return canceled; }
    void SetFormTitle(const std::string& text) override { title = text; }

    bool loaded = false;
    int shows = 0;
    int unloads = 0;
    bool canceled = false;
    std::string item;
    std::string title;
    // Every item text set, in order.
    std::vector<std::string> items;
    // Runs at every item text set (a test presses Cancel from here).
    std::function<void(const std::string&)> onItem;
};

// One node the core added to the review tree.
struct TreeNode {
    std::string parent;  // "" for a group
    std::string key;
    std::string text;
    int image = 0;
    friend bool operator==(const TreeNode&, const TreeNode&) = default;
};

class FakeReview : public vlt::ReviewWindow {
  public:
    void AddGroup(const std::string& name, int image) override;
    void AddCopy(const std::string& groupKey, const std::string& path, int image) override;
    void AddNote(const std::string& groupKey, const std::string& key, const std::string& text,
                 int image) override;
    void Show() override { ++shows; }

    std::vector<TreeNode> nodes;
    int shows = 0;
};

class FakeMain : public vlt::MainWindow {
  public:
    void Load() override { ++loads; }
    void Show() override { ++shows; }
    void TickDLL() override { ++dllTicks; }

    int loads = 0;
    int shows = 0;
    int dllTicks = 0;
};

class FakeSplash : public vlt::SplashWindow {
  public:
    void Show() override { ++shows; }
    void Unload() override { ++unloads; }

    int shows = 0;
    int unloads = 0;
};

class FakeSysInfo : public vlt::SystemInfoHost {
  public:
    Qz_System_Info::QzSystemInfo& Sys1() override { return sys; }
    Qz_System_Info::QzSystemInfo sys;
};

class CoreTest : public ::testing::Test {
  protected:
    CoreTest();
    ~CoreTest() override;

    // Loads the control host with this command line (GlobalControls.Form_Load runs).
    void LoadHost(const std::string& commandLine = {});
    // The settings key as REGEDIT4 text; "" while it does not exist.
    std::string Settings() const;
    bool RegistryHasKey(const std::string& key) const;
    // Stores REG_SZ values under the settings key: {"SmartCheck", "y"}, ...
    void Store(const std::vector<std::pair<std::string, std::string>>& values);
    // Makes the machine a 64-bit NT one from here on: x64 programs with C:\WINDOWS\SYSTEM32,
    // x86 programs with C:\WINDOWS\SYSWOW64 and the 32-bit registry view (as a 64-bit Wine
    // prefix's profile tells them). A later profile change of the builder undoes it.
    void Use64BitWindows();

    testsupport::MachineBuilder machine;
    std::shared_ptr<dialogs::ScriptedDialogs> dialogs =
        std::make_shared<dialogs::ScriptedDialogs>();
    std::shared_ptr<dialogs::ManualClock> clock;
    std::shared_ptr<FakeProgress> progress = std::make_shared<FakeProgress>();
    std::shared_ptr<FakeReview> review = std::make_shared<FakeReview>();
    std::shared_ptr<FakeMain> mainWindow = std::make_shared<FakeMain>();
    std::shared_ptr<FakeSplash> splash = std::make_shared<FakeSplash>();
    std::shared_ptr<FakeSysInfo> sysInfo = std::make_shared<FakeSysInfo>();

  private:
    dialogs::ScopedBackend backend_;
    dialogs::ScopedClock clockScope_;
};

// "C:\Program Files\Velto", where the program, its trace file and its backups live.
inline constexpr const char* kProgramDir = "C:\\Program Files\\Velto";

}  // namespace coretest
