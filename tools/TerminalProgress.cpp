#include "tools/TerminalProgress.h"

#include <unistd.h>

#include <iostream>

namespace velto_machine {

TerminalProgress::TerminalProgress() : shown_(::isatty(STDERR_FILENO) == 1) {}

TerminalProgress::~TerminalProgress() {
    Clear();
}

void TerminalProgress::Show(const std::string& item) {
    if (!shown_ || item.empty()) {
        return;
    }
    constexpr std::size_t kWidth = 78;
    const std::string line =
        item.size() > kWidth ? "..." + item.substr(item.size() - kWidth + 3) : item;
    std::cerr << "\r\033[K" << line << std::flush;
    used_ = true;
}

void TerminalProgress::Clear() {
    if (used_) {
        std::cerr << "\r\033[K" << std::flush;
        used_ = false;
    }
}

}  // namespace velto_machine
