#pragma once
// One line on standard error that follows the work, where standard error is a terminal: cut
// to fit, and wiped at the end.

#include <string>

namespace velto_machine {

class TerminalProgress {
  public:
    TerminalProgress();
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // Whether standard error is a terminal (nothing is shown otherwise).
    bool shown() const { return shown_; }
    void Show(const std::string& item);
    void Clear();

  private:
    bool shown_;
    bool used_ = false;
};

}  // namespace velto_machine
