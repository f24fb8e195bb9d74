#include "vlt/core/RunSummary.h"

#include <map>

#include "platform/win32/kernel32/Paths.h"
#include "vlt/core/ActionReport.h"
#include "vlt/core/VltState.h"

namespace vlt {
namespace {

std::string WithHostPath(const std::string& windowsPath) {
    const auto host = win32::HostPathOf(windowsPath);
    return host ? windowsPath + " (" + host->string() + ")" : windowsPath;
}

}  // namespace

std::vector<std::string> RunSummary() {
    const VltState& state = State();
    std::vector<std::string> lines;
    if (!state.ReportFile.empty()) {
        lines.push_back("report: " + WithHostPath(state.ReportFile));
    }
    // Backups are log entries of their own code, the backup's path third; most runs use one folder,
    // the fallback folder joins it when the chosen one could not be written.
    std::map<std::string, int> folders;
    for (std::int32_t k = 0; k < state.LogCount; ++k) {
        const LogEntry& entry = state.ActionLog[static_cast<std::size_t>(k)];
        if (entry[1] == std::to_string(modVLTFinalize::kLogBackup)) {
            ++folders[entry[2].substr(0, entry[2].rfind('\\') + 1)];
        }
    }
    for (const auto& [folder, count] : folders) {
        lines.push_back("backups: " + std::to_string(count) + (count == 1 ? " file" : " files") +
                        " in " + WithHostPath(folder));
    }
    return lines;
}

}  // namespace vlt
