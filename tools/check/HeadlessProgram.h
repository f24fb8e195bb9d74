#pragma once
// The program as velto-machine runs it: its state, windows and control host for the length of
// one command (a check, a plan applied, the backups listed or restored), and gone afterwards,
// however the command ends. Nothing is shown: the windows are those of CheckWindows.h, and
// message boxes go to the console.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/dialogs/Clock.h"
#include "tools/check/CheckWindows.h"

namespace velto_check {

class HeadlessProgram {
  public:
    // `progress` gets the progress window's item text as the work goes on (at most ten times
    // a second); none is fine.
    explicit HeadlessProgram(std::function<void(const std::string&)> progress = {});
    ~HeadlessProgram();
    HeadlessProgram(const HeadlessProgram&) = delete;
    HeadlessProgram& operator=(const HeadlessProgram&) = delete;

    const RecordingReview& review() const { return *review_; }

  private:
    dialogs::ScopedClock clock_;
    std::shared_ptr<ProgressItem> progress_ = std::make_shared<ProgressItem>();
    std::shared_ptr<RecordingReview> review_ = std::make_shared<RecordingReview>();
    std::function<void()> previousHook_;
    std::chrono::steady_clock::time_point lastReport_{};
};

}  // namespace velto_check
