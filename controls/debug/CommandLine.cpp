// The host's command line: the "-TRACE" switch and the argument list.

#include <vector>

#include "controls/debug/QzDebug.h"
#include "platform/automation/Text.h"

namespace Qz_Debug {

void QzDebug::SetCommandLine(std::string commandLine) {
    commandLine_ = std::move(commandLine);
    ParseTraceSwitch();
}

// -TRACE[types][:name]. The switch is one token: a colon or a name belongs to it only up to the
// next blank, unless the name is quoted. Searching the whole rest of the line instead would take
// the drive colon of a later path ("-TRACE C:\data") for the switch's own colon, and an
// unquoted name would swallow the arguments after it ("-TRACE:night1 -S").
void QzDebug::ParseTraceSwitch() {
    const std::string upper = automation::UCase(commandLine_);
    const std::size_t found = upper.find("-TRACE");
    if (found == std::string::npos) {
        return;
    }
    traceMode_ = true;
    const std::string_view rest = std::string_view(commandLine_).substr(found + 6);
    const std::string_view token = rest.substr(0, rest.find(' '));
    const std::size_t colon = token.find(':');
    traceType_ = automation::UCase(token.substr(0, colon));
    if (colon == std::string_view::npos) {
        return;
    }
    std::string_view name = rest.substr(colon + 1);
    if (name.starts_with('"')) {
        name.remove_prefix(1);
        name = name.substr(0, name.find('"'));
    } else {
        name = name.substr(0, name.find_first_of(" \""));
    }
    SetTraceFile(std::string(name) + "_" + hostFormName_ + ".trc");
}

automation::Variant QzDebug::CommandLineList(bool ConvertToCaps) const {
    std::string line(automation::Trim(commandLine_));
    if (ConvertToCaps) {
        line = automation::UCase(line);
    }
    std::vector<std::string> plain;
    std::vector<std::string> switches;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t end = std::min(line.find(' ', pos), line.size());
        if (end > pos) {
            std::string token = line.substr(pos, end - pos);
            if (token.starts_with('/')) {
                token[0] = '-';
            }
            (token.starts_with('-') ? switches : plain).push_back(std::move(token));
        }
        pos = end + 1;
    }
    automation::StringArray list;
    if (plain.empty() && switches.empty()) {
        return list;
    }
    list.push_back(plain.empty() ? std::string() : plain.front());
    for (std::string& s : switches) {
        list.push_back(std::move(s));
    }
    for (std::size_t i = 1; i < plain.size(); ++i) {
        list.push_back(std::move(plain[i]));
    }
    return list;
}

}  // namespace Qz_Debug
