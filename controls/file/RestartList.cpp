#include "controls/file/RestartList.h"

#include "platform/automation/Text.h"
#include "platform/machine/Machine.h"
#include "platform/restart/RestartMoves.h"
#include "platform/restart/Wininit.h"
#include "platform/win32/kernel32/Paths.h"

namespace Qz_File {
namespace {

// A full path as Windows compares paths: normalised, without regard to case.
std::string ComparedPath(std::string_view path) {
    const auto current = machine::CurrentMachine();
    machine::PathError error;
    const auto parsed = current
                            ? machine::ParseWindowsPath(path, current->currentDirectory(), error)
                            : std::nullopt;
    return automation::UCase(parsed ? parsed->str() : std::string(path));
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

PendingIndex::PendingIndex(const std::vector<PendingOperation>& waiting) {
    operations_.reserve(waiting.size());
    compared_.reserve(waiting.size());
    for (const PendingOperation& operation : waiting) {
        Add(operation);
    }
}

void PendingIndex::Add(const PendingOperation& operation) {
    Compared compared{
        ComparedPath(operation.source),
        operation.target ? std::optional(ComparedPath(*operation.target)) : std::nullopt};
    const std::size_t at = operations_.size();
    last_[compared.source] = at;
    if (compared.target) {
        last_[*compared.target] = at;
    }
    operations_.push_back(operation);
    compared_.push_back(std::move(compared));
}

std::optional<std::size_t> PendingIndex::LastConcerning(const std::string& comparedPath) const {
    const auto found = last_.find(comparedPath);
    return found == last_.end() ? std::nullopt : std::optional(found->second);
}

bool PendingIndex::IsPending(const PendingOperation& operation, std::size_t* position) const {
    const std::string source = ComparedPath(operation.source);
    const std::optional<std::string> target =
        operation.target ? std::optional(ComparedPath(*operation.target)) : std::nullopt;
    const auto last = LastConcerning(source);
    if (!last || compared_[*last].source != source || compared_[*last].target != target) {
        return false;
    }
    if (target && LastConcerning(*target) != last) {
        return false;
    }
    if (position != nullptr) {
        *position = *last;
    }
    return true;
}

const PendingOperation* PendingIndex::LastOperationOn(std::string_view path,
                                                      std::size_t* position) const {
    const auto last = LastConcerning(ComparedPath(path));
    if (!last) {
        return nullptr;
    }
    if (position != nullptr) {
        *position = *last;
    }
    return &operations_[*last];
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
