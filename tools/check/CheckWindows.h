#pragma once
// The windows the core sees during a check: nothing is shown. The review window records the
// tree the matching builds, the progress window keeps its item text, the main window and
// the system-information host do what they do unseen.

#include <string>
#include <vector>

#include "controls/sysinfo/QzSystemInfo.h"
#include "vlt/core/WindowInterfaces.h"

namespace velto_check {

// One node of the review tree.
struct TreeNode {
    std::string parent;  // "" for a group
    std::string key;
    std::string text;
    int image = 0;
    bool note = false;
};

class RecordingReview : public vlt::ReviewWindow {
  public:
    void AddGroup(const std::string& name, int image) override;
    void AddCopy(const std::string& groupKey, const std::string& path, int image) override;
    void AddNote(const std::string& groupKey, const std::string& key, const std::string& text,
                 int image) override;
    void Show() override {}

    // In the order the matching added them.
    std::vector<TreeNode> nodes;
};

// Holds the item text for whoever shows the progress (the check reads it between events).
class ProgressItem : public vlt::ProgressWindow {
  public:
    void Show() override {}
    void Unload() override {}
    std::string ScanItem() const override;
    void SetScanItem(const std::string& item) override;
    bool Canceled() const override { return false; }
    void SetFormTitle(const std::string&) override {}

  private:
    std::string item_;
};

// The main window is never shown; ticking its DLL box has nothing to tick.
class UnseenMain : public vlt::MainWindow {
  public:
    void Load() override {}
    void Show() override {}
    void TickDLL() override {}
};

class SystemInfo : public vlt::SystemInfoHost {
  public:
    Qz_System_Info::QzSystemInfo& Sys1() override { return sys1_; }

  private:
    Qz_System_Info::QzSystemInfo sys1_;
};

}  // namespace velto_check
