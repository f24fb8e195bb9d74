// Shared helpers of the trace control's tests: a clock that stands still, and the lines of a
// trace file with each system snapshot folded into one marker line.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/Date.h"
#include "platform/dialogs/Clock.h"

namespace tracetest {

// 06 Dec 2026 15:16:38.
inline automation::Date SixDecember() {
    return automation::Date(automation::DateSerial(2026, 12, 6).serial +
                            automation::TimeSerial(15, 16, 38).serial);
}

// Installs a manual clock for the lifetime of the object.
class FixedClock {
  public:
    explicit FixedClock(automation::Date now)
        : clock_(std::make_shared<dialogs::ManualClock>(now)), scope_(clock_) {}
    void Advance(double seconds) { clock_->Advance(seconds); }

  private:
    std::shared_ptr<dialogs::ManualClock> clock_;
    dialogs::ScopedClock scope_;
};

inline const std::string kSnapshot = "<snapshot>";
inline const std::string kRule(40, '=');

// The CR LF lines of a trace file; every block from one rule of 40 "=" to the next becomes
// kSnapshot.
inline std::vector<std::string> TraceLines(std::string_view text) {
    std::vector<std::string> lines;
    bool inSnapshot = false;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        const std::string line(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 2);
        if (line == kRule) {
            if (!inSnapshot) {
                lines.push_back(kSnapshot);
            }
            inSnapshot = !inSnapshot;
        } else if (!inSnapshot) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace tracetest
