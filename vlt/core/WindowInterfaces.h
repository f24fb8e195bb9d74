// The program's windows as the core sees them. The core never includes Qt: vlt/windows
// implements these interfaces with real forms and installs them in State().windows, tests
// install small fakes. Each accessor below reads like the old global form reference and
// raises run-time error 91 when no such window was installed.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace Qz_System_Info {
class QzSystemInfo;
}
namespace Qz_About {
class QzAbout;
}
namespace Qz_Debug {
class QzDebug;
}
namespace Qz_File {
class QzFile;
}
namespace Qz_Registry {
class QzRegistry;
}

namespace vlt {

// frmStandBy: the progress window of a scan, of executing the action list and of an update
// check.
class ProgressWindow {
  public:
    virtual ~ProgressWindow() = default;
    // Loads the window unless it is loaded (empty item text, Canceled false, the elapsed
    // time counted from now) and shows it modeless.
    virtual void Show() = 0;
    // Nothing when it is not loaded; the next Show loads it afresh.
    virtual void Unload() = 0;
    // The item text, or, while that is empty, the folder the listing is reading.
    virtual std::string ScanItem() const = 0;
    virtual void SetScanItem(const std::string& item) = 0;
    // True once Cancel was pressed (the listing has been asked to stop too).
    virtual bool Canceled() const = 0;
    // The caption, trimmed of surrounding blanks.
    virtual void SetFormTitle(const std::string& title) = 0;
};

// frmDupSys as the scan fills it: the nodes of its review tree, and showing it. An image of
// 0 means the node shows no picture.
class ReviewWindow {
  public:
    virtual ~ReviewWindow() = default;
    // A top-level node whose key and text are the group's file name.
    virtual void AddGroup(const std::string& name, int image) = 0;
    // A child of the group whose key and text are the copy's full path.
    virtual void AddCopy(const std::string& groupKey, const std::string& path, int image) = 0;
    // A note line below the group (company names differ, version information missing).
    virtual void AddNote(const std::string& groupKey, const std::string& key,
                         const std::string& text, int image) = 0;
    virtual void Show() = 0;
};

// frmVelto, the main options window.
class MainWindow {
  public:
    virtual ~MainWindow() = default;
    virtual void Load() = 0;
    virtual void Show() = 0;
    // Ticks ckDLL; its click handler runs as after a user's click.
    virtual void TickDLL() = 0;
};

// frmSplash.
class SplashWindow {
  public:
    virtual ~SplashWindow() = default;
    virtual void Show() = 0;
    virtual void Unload() = 0;
};

// The CommonDialog form: the save dialog of the action report.
class SaveDialog {
  public:
    virtual ~SaveDialog() = default;
    virtual void SetInitDir(const std::string& folder) = 0;
    virtual void SetFileName(const std::string& name) = 0;
    virtual void SetDefaultExt(const std::string& extension) = 0;
    virtual void SetFilter(const std::string& filter) = 0;
    virtual void SetHideReadOnly(bool hide) = 0;
    // The chosen full path; "" with Canceled() true when the user cancelled or the dialog
    // failed.
    virtual std::string ShowSave() = 0;
    virtual bool Canceled() const = 0;
};

// The hidden QzSysInfo form that hosts the system-information control Sys1; it loads itself
// on first use.
class SystemInfoHost {
  public:
    virtual ~SystemInfoHost() = default;
    virtual Qz_System_Info::QzSystemInfo& Sys1() = 0;
};

struct Windows {
    std::shared_ptr<SplashWindow> splash;
    std::shared_ptr<ProgressWindow> standBy;
    std::shared_ptr<MainWindow> main;
    std::shared_ptr<ReviewWindow> review;
    std::shared_ptr<SaveDialog> commonDialog;
    std::shared_ptr<SystemInfoHost> sysInfo;
    // Unloads every form that is still loaded (the orderly close).
    std::function<void()> unloadAllForms;
};

SplashWindow& frmSplash();
ProgressWindow& frmStandBy();
MainWindow& frmVelto();
ReviewWindow& frmDupSys();
SaveDialog& CommonDialog();
Qz_System_Info::QzSystemInfo& Sys1();

// The controls of GlobalControls, through the global references; run-time error 91 while the
// control host is not loaded (before start-up, after the orderly close).
Qz_About::QzAbout& QzAbout1();
Qz_File::QzFile& QzFile1();
Qz_Registry::QzRegistry& QzRegistry1();
Qz_Debug::QzDebug& QzDebug1();

}  // namespace vlt
