#include "controls/file/RestartList.h"

#include "platform/automation/Text.h"
#include "platform/machine/Machine.h"
#include "platform/win32/Paths.h"
#include "platform/win32/RestartMoves.h"
#include "platform/win32/Wininit.h"

namespace Qz_File {
namespace {

// A full path as Windows compares paths: normalised, without regard to case.
std::string Compared(std::string_view path) {
    const auto current = machine::CurrentMachine();
    machine::PathError error;
    const auto parsed = current
                            ? machine::ParseWindowsPath(path, current->currentDirectory(), error)
                            : std::nullopt;
    return automation::UCase(parsed ? parsed->str() : std::string(path));
}

struct ComparedOperation {
    std::string source;
    std::optional<std::string> target;
};

std::vector<ComparedOperation> ComparedAll(const std::vector<PendingOperation>& pending) {
    std::vector<ComparedOperation> out;
    out.reserve(pending.size());
    for (const PendingOperation& op : pending) {
        out.push_back(
            {Compared(op.source), op.target ? std::optional(Compared(*op.target)) : std::nullopt});
    }
    return out;
}

bool Concerns(const ComparedOperation& op, const std::string& path) {
    return op.source == path || op.target == path;
}

std::optional<std::size_t> LastConcerning(const std::vector<ComparedOperation>& all,
                                          const std::string& path) {
    for (std::size_t i = all.size(); i-- > 0;) {
        if (Concerns(all[i], path)) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<PendingOperation> WininitOperations(std::string_view wininitBytes) {
    std::vector<PendingOperation> pending;
    for (const win32::WininitRename& rename : win32::ParseWininitRenames(wininitBytes).renames) {
        pending.push_back({rename.source, rename.target});
    }
    return pending;
}

std::optional<std::vector<PendingOperation>> PendingListOperations() {
    const auto list = win32::ReadPendingRenames();
    if (!list) {
        return std::nullopt;
    }
    std::vector<PendingOperation> pending;
    for (const win32::PendingRename& entry : *list) {
        pending.push_back({entry.source, entry.target});
    }
    return pending;
}

bool IsPending(const std::vector<PendingOperation>& pending, const PendingOperation& operation) {
    const auto all = ComparedAll(pending);
    const ComparedOperation wanted{
        Compared(operation.source),
        operation.target ? std::optional(Compared(*operation.target)) : std::nullopt};
    const auto last = LastConcerning(all, wanted.source);
    if (!last || all[*last].source != wanted.source || all[*last].target != wanted.target) {
        return false;
    }
    return !wanted.target || LastConcerning(all, *wanted.target) == last;
}

const PendingOperation* LastOperationOn(const std::vector<PendingOperation>& pending,
                                        std::string_view path) {
    const auto all = ComparedAll(pending);
    const auto last = LastConcerning(all, Compared(path));
    return last ? &pending[*last] : nullptr;
}

std::optional<std::string> WininitTargetForm(const std::string& path) {
    if (path.find('=') == std::string::npos) {
        return path;
    }
    const auto target = win32::detail::Resolve(path);
    if (!target) {
        return std::nullopt;
    }
    const auto& components = target->windows.components;
    machine::WindowsPath longForm{target->windows.drive, {}};
    machine::WindowsPath written{target->windows.drive, {}};
    for (std::size_t i = 0; i < components.size(); ++i) {
        longForm.components.push_back(components[i]);
        if (components[i].find('=') == std::string::npos) {
            written.components.push_back(components[i]);
            continue;
        }
        if (i + 1 == components.size() && !target->exists) {
            return std::nullopt;
        }
        const auto shortPath = win32::GetShortPathNameA(longForm.str());
        const std::string shortName =
            shortPath ? shortPath->substr(shortPath->rfind('\\') + 1) : std::string();
        if (shortName.empty() || shortName.find('=') != std::string::npos) {
            return std::nullopt;
        }
        written.components.push_back(shortName);
    }
    const std::string form = written.str();
    const auto check = win32::detail::Resolve(form);
    if (!check || check->host != target->host) {
        return std::nullopt;
    }
    return form;
}

}  // namespace Qz_File
