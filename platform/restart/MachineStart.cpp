#include "platform/restart/MachineStart.h"

#include "platform/machine/Machine.h"

namespace win32 {

BootReport StartMachine(const BootPrinter& print, BootKeep keep) {
    const auto current = machine::CurrentMachine();
    if (!current) {
        return BootMachine(print, keep);
    }
    BootReport report;
    const auto failed = current->kind().StartOnHost([&](const std::string& line) {
        if (print) {
            print(line);
        }
        if (keep == BootKeep::Everything) {
            report.lines.push_back(line);
        }
    });
    if (!failed) {
        return BootMachine(print, keep);
    }
    report.failed = *failed;
    return report;
}

}  // namespace win32
