// velto-machine check DIR [--json] [--types LIST]: what a scan of the machine would flag and
// what the unattended run would schedule, without changing anything (tools/check).
// Exit status: 0 when nothing is flagged, 1 when groups are flagged, 2 on errors.

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <sstream>

#include "platform/automation/Errors.h"
#include "tools/check/CheckReport.h"
#include "tools/check/MachineCheck.h"
#include "tools/velto-machine-commands.h"
#include "vlt/core/QzBase.h"

namespace velto_machine {
namespace {

constexpr const char* kUsageText = "DIR [--json] [--types TYPE,...]";
// Groups were flagged: the check itself went well.
constexpr int kFlagged = 1;

std::vector<std::string> ParseTypes(
    const std::vector<std::pair<std::string, std::string>>& values) {
    std::vector<std::string> types;
    for (const auto& [option, list] : values) {
        if (option != "--types") {
            continue;
        }
        std::istringstream items(list);
        for (std::string type; std::getline(items, type, ',');) {
            for (char& c : type) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            if (type.starts_with("*.")) {
                type.erase(0, 2);
            }
            const auto known = std::find(std::begin(velto_check::kFileTypes),
                                         std::end(velto_check::kFileTypes), type);
            if (known == std::end(velto_check::kFileTypes)) {
                throw UsageError("unknown file type '" + type +
                                 "' (the types are acm dll drv exe ocx tlb vbx vxd)");
            }
            types.push_back(type);
        }
    }
    if (types.empty()) {
        throw UsageError("--types needs at least one of acm dll drv exe ocx tlb vbx vxd");
    }
    return types;
}

// One line on the terminal that follows the work, cut to fit, and wiped at the end.
class TerminalProgress {
  public:
    TerminalProgress() : shown_(::isatty(STDERR_FILENO) == 1) {}
    ~TerminalProgress() { Clear(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    bool shown() const { return shown_; }
    void Show(const std::string& item) {
        if (item.empty()) {
            return;
        }
        constexpr std::size_t kWidth = 78;
        std::string line =
            item.size() > kWidth ? "..." + item.substr(item.size() - kWidth + 3) : item;
        std::cerr << "\r\033[K" << line << std::flush;
        used_ = true;
    }
    void Clear() {
        if (used_) {
            std::cerr << "\r\033[K" << std::flush;
            used_ = false;
        }
    }

  private:
    bool shown_;
    bool used_ = false;
};

int Check(const std::vector<std::string>& args) {
    const ParsedArgs parsed = ParseArgs(args, {"--json"}, {"--types"});
    if (parsed.positional.size() != 1) {
        throw UsageError(std::string("usage: velto-machine check ") + kUsageText);
    }
    velto_check::Options options;
    if (parsed.value("--types")) {
        options.types = ParseTypes(parsed.values);
    }
    const auto machine = OpenToRead(parsed.positional[0]);
    TellHolders(*machine, "check", std::cerr);
    TerminalProgress progress;
    if (progress.shown()) {
        options.progress = [&progress](const std::string& item) { progress.Show(item); };
    }
    velto_check::Result result;
    try {
        result = velto_check::RunCheck(options);
    } catch (const velto_check::CheckError& e) {
        progress.Clear();
        std::cerr << "velto-machine check: " << e.what() << "\n";
        return kUsage;
    } catch (const automation::Error& e) {
        progress.Clear();
        std::cerr << "velto-machine check: the scan stopped: run-time error " << e.Number() << ": "
                  << e.Description() << "\n";
        return kUsage;
    } catch (const vlt::ProgramEnded&) {
        progress.Clear();
        std::cerr << "velto-machine check: the scan ended the program\n";
        return kUsage;
    } catch (const vlt::ProgramAborted& aborted) {
        progress.Clear();
        std::cerr << "velto-machine check: the scan was aborted: " << aborted.error.Description()
                  << "\n";
        return kUsage;
    }
    progress.Clear();
    if (parsed.has("--json")) {
        velto_check::WriteJson(result, machine->folder(), std::cout);
    } else {
        velto_check::WriteText(result, machine->folder(), std::cout);
    }
    if (!std::cout.flush()) {
        std::cerr << "velto-machine check: cannot write the output\n";
        return kUsage;
    }
    return result.groups.empty() ? kOk : kFlagged;
}

const RegisterCommand kCheck({"check", kUsageText,
                              "shows what a scan flags and what the unattended run would "
                              "schedule, and changes nothing",
                              Check});

}  // namespace
}  // namespace velto_machine
