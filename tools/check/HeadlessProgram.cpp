#include "tools/check/HeadlessProgram.h"

#include <algorithm>

#include "vlt/core/GlobalControls.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/VltState.h"

namespace velto_check {
namespace {

// The control host keeps the splash window up for three seconds as it loads, and the report
// waits for the browser; with no window shown, the pauses pass at once (the clocks still tell
// the real time).
class NoWaitClock : public dialogs::Clock {
  public:
    double LocalNow() override { return system_.LocalNow(); }
    double Monotonic() override { return system_.Monotonic() + skipped_; }
    void Wait(double seconds) override { skipped_ += std::max(seconds, 0.0); }

  private:
    dialogs::SystemClock system_;
    double skipped_ = 0;
};

}  // namespace

HeadlessProgram::HeadlessProgram(std::function<void(const std::string&)> progress)
    : clock_(std::make_shared<NoWaitClock>()) {
    vlt::ResetState();
    vlt::Windows& windows = vlt::State().windows;
    windows.standBy = progress_;
    windows.review = review_;
    windows.main = std::make_shared<UnseenMain>();
    windows.sysInfo = std::make_shared<SystemInfo>();
    windows.unloadAllForms = [] {};
    if (progress) {
        previousHook_ = dialogs::SetDoEventsHook([this, progress = std::move(progress)] {
            // Between two events of a long loop: often enough to follow, rarely enough to
            // cost nothing.
            const auto now = std::chrono::steady_clock::now();
            if (now - lastReport_ >= std::chrono::milliseconds(100)) {
                lastReport_ = now;
                progress(progress_->ScanItem());
            }
        });
    }
    QzBase::LoadControlHost("VLT", false);
}

HeadlessProgram::~HeadlessProgram() {
    vlt::TheGlobalControls().Unload();
    vlt::ResetState();
    dialogs::SetDoEventsHook(previousHook_);
}

}  // namespace velto_check
