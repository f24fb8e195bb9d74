#include "platform/restart/MachineStart.h"

#include "platform/machine/Machine.h"
#include "platform/restart/StartupMoves.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

class Lines {
  public:
    Lines(const BootPrinter& print, BootKeep keep, BootReport& report)
        : print_(print), keep_(keep), report_(report) {}
    void operator()(const std::string& line) const {
        if (print_) {
            print_(line);
        }
        if (keep_ == BootKeep::Everything) {
            report_.lines.push_back(line);
        }
    }

  private:
    const BootPrinter& print_;
    BootKeep keep_;
    BootReport& report_;
};

}  // namespace

BootReport StartMachine(const BootPrinter& print, BootKeep keep) {
    const auto current = machine::CurrentMachine();
    if (!current) {
        return BootMachine(print, keep);
    }
    BootReport report;
    const auto failed = current->kind().StartOnHost(Lines(print, keep, report));
    if (!failed) {
        return BootMachine(print, keep);
    }
    report.failed = *failed;
    return report;
}

BootReport RestartMachine(const BootPrinter& print, BootKeep keep) {
    const auto current = machine::CurrentMachine();
    const auto later = current ? current->kind().startedLaterBy() : std::nullopt;
    if (!later) {
        return StartMachine(print, keep);
    }
    BootReport report;
    const Lines say(print, keep, report);
    const auto waiting = ScheduledStartupMoves();
    if (!waiting) {
        report.failed = true;
        say("the moves scheduled for " + *later + " cannot be read (" +
            DescribeWin32Error(GetLastError()) + ")");
    } else if (waiting->empty()) {
        say("nothing waits for " + *later);
    } else {
        say(std::to_string(waiting->size()) +
            (waiting->size() == 1 ? " move or deletion waits" : " moves and deletions wait") +
            " for " + *later + ", which carries them out before any program runs (" +
            current->kind().startCommand() + ")");
    }
    return report;
}

}  // namespace win32
