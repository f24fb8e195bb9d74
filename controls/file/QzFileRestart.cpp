// Moves and deletions at the next start of Windows: wininit.ini's [Rename] lines on the 9x
// family, the pending list on the NT family; added one at a time, or held and written in one
// go for a host that schedules thousands (HoldRestartMoves).
#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "controls/file/QzFile.h"
#include "controls/file/RestartList.h"
#include "controls/file/WindowsFolder.h"
#include "controls/file/WininitWriter.h"
#include "platform/automation/Text.h"
#include "platform/restart/RestartMoves.h"
#include "platform/restart/Wininit.h"
#include "platform/win32/advapi32/RegistryTransaction.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/FileIdentity.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/kernel32/SystemInfo.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace Qz_File {
namespace {

// A batch is never smaller than this: below it, one write per few moves costs little anyway.
constexpr std::size_t kSmallestBatch = 64;

bool OnNT() {
    const auto version = win32::GetVersionExA();
    return version && version->dwPlatformId == win32::VER_PLATFORM_WIN32_NT;
}

std::string WininitPath() {
    return WindowsFolder() + "wininit.ini";
}

std::size_t Fingerprint(std::string_view bytes) {
    return std::hash<std::string_view>{}(bytes);
}

std::size_t Fingerprint(const std::vector<win32::PendingRename>& list) {
    const auto data = win32::EncodePendingRenames(list);
    return Fingerprint(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

// Rewrites wininit.ini as `edit` makes it from the old bytes (empty: no file); an edit that
// returns nothing leaves the file alone. The new content is made whole beside the old file and
// put in its place in one step, under the folder's lock, so neither a crash nor a second
// writer can cost a line that was there.
void RewriteWininit(const std::function<std::optional<std::string>(const std::string&)>& edit) {
    const auto target = win32::detail::ResolveForWrite(WininitPath());
    if (!target) {
        win32::RaiseLastError(QzFile::kProgID);
    }
    const win32::host::FolderLock lock(target->host.parent_path());
    if (lock.error() != 0) {
        win32::SetLastErrorFromErrno(lock.error());
        win32::RaiseLastError(QzFile::kProgID);
    }
    std::string old;
    if (const int err = win32::host::ReadWholeFile(target->host, old); err != 0 && err != ENOENT) {
        win32::SetLastErrorFromErrno(err);
        win32::RaiseLastError(QzFile::kProgID);
    }
    const auto content = edit(old);
    if (!content) {
        return;
    }
    const int err = win32::WriteHostFileAtomically(target->host, *content);
    target->Forget();
    if (err != 0) {
        win32::SetLastErrorFromErrno(err);
        win32::RaiseLastError(QzFile::kProgID);
    }
}

// wininit.ini's bytes; nullopt when it cannot be read (no file reads as empty).
std::optional<std::string> WininitBytes() {
    const auto wininit = win32::HostPathOf(WininitPath());
    if (!wininit) {
        return std::nullopt;
    }
    std::string bytes;
    if (const int err = win32::host::ReadWholeFile(*wininit, bytes); err != 0 && err != ENOENT) {
        win32::SetLastErrorFromErrno(err);
        return std::nullopt;
    }
    return bytes;
}

// The operations waiting on this machine's own restart list; nullopt when it cannot be read.
std::optional<PendingIndex> WrittenList(std::size_t* fingerprint = nullptr) {
    if (OnNT()) {
        const auto list = win32::ReadPendingRenames();
        if (!list) {
            return std::nullopt;
        }
        if (fingerprint != nullptr) {
            *fingerprint = Fingerprint(*list);
        }
        std::vector<PendingOperation> operations;
        for (const win32::PendingRename& entry : *list) {
            operations.push_back({entry.source, entry.target});
        }
        return PendingIndex(operations);
    }
    const auto bytes = WininitBytes();
    if (!bytes) {
        return std::nullopt;
    }
    if (fingerprint != nullptr) {
        *fingerprint = Fingerprint(*bytes);
    }
    return PendingIndex(WininitOperations(*bytes));
}

// The operations MoveOnRestart keeps back while its host holds them, for every QzFile of the
// process (the list is the machine's, not the control's): what the list held when it was last
// read or written, followed by the held operations, in the order they were added.
struct HeldMoves {
    bool holding = false;
    // The written list and the held operations after it.
    PendingIndex index;
    std::size_t written = 0;
    // What the written list held (wininit.ini's bytes, or the stored list), to notice another
    // writer before the held operations are added.
    std::size_t fingerprint = 0;
    std::vector<PendingOperation> operations;
    // As they are written: wininit.ini lines, or pending-list entries.
    std::vector<std::string> lines;
    std::vector<win32::PendingRename> entries;

    std::size_t held() const { return operations.size(); }
    void Forget() {
        operations.clear();
        lines.clear();
        entries.clear();
    }
};

HeldMoves& TheHeldMoves() {
    static HeldMoves held;
    return held;
}

// The written list as it is now: held operations already waiting there are dropped, the
// others checked again in their order.
void TakeWrittenList(HeldMoves& held, PendingIndex written, std::size_t fingerprint) {
    held.index = std::move(written);
    held.written = held.index.size();
    held.fingerprint = fingerprint;
    HeldMoves kept;
    for (std::size_t i = 0; i < held.operations.size(); ++i) {
        if (held.index.IsPending(held.operations[i])) {
            continue;
        }
        held.index.Add(held.operations[i]);
        kept.operations.push_back(held.operations[i]);
        if (i < held.lines.size()) {
            kept.lines.push_back(held.lines[i]);
        }
        if (i < held.entries.size()) {
            kept.entries.push_back(held.entries[i]);
        }
    }
    held.operations = std::move(kept.operations);
    held.lines = std::move(kept.lines);
    held.entries = std::move(kept.entries);
}

// Reads the written list; false (last error set) when it cannot be read.
bool ReadWrittenList(HeldMoves& held) {
    std::size_t fingerprint = 0;
    auto index = WrittenList(&fingerprint);
    if (!index) {
        return false;
    }
    TakeWrittenList(held, std::move(*index), fingerprint);
    return true;
}

// The held lines go into wininit.ini in one write; another writer's changes since the list was
// read are taken in first.
void WriteHeldWininit(HeldMoves& held) {
    RewriteWininit([&](const std::string& old) -> std::optional<std::string> {
        if (const std::size_t now = Fingerprint(old); now != held.fingerprint) {
            TakeWrittenList(held, PendingIndex(WininitOperations(old)), now);
        }
        if (held.lines.empty()) {
            return std::nullopt;
        }
        const std::vector<std::string_view> lines(held.lines.begin(), held.lines.end());
        std::string content = AddRenameLines(old, lines);
        held.fingerprint = Fingerprint(content);
        return content;
    });
}

// The held entries go into the pending list in one registry transaction.
void WriteHeldPendingList(HeldMoves& held) {
    const win32::LSTATUS rc = win32::RegistryTransaction([&] {
        auto list = win32::ReadPendingRenames();
        if (!list) {
            return win32::GetLastError();
        }
        if (const std::size_t now = Fingerprint(*list); now != held.fingerprint) {
            std::vector<PendingOperation> operations;
            for (const win32::PendingRename& entry : *list) {
                operations.push_back({entry.source, entry.target});
            }
            TakeWrittenList(held, PendingIndex(operations), now);
        }
        if (!win32::AppendPendingRenames(held.entries)) {
            return win32::GetLastError();
        }
        list->insert(list->end(), held.entries.begin(), held.entries.end());
        held.fingerprint = Fingerprint(*list);
        return win32::ERROR_SUCCESS;
    });
    if (rc != win32::ERROR_SUCCESS) {
        win32::SetLastError(rc);
        win32::RaiseLastError(QzFile::kProgID);
    }
}

// Takes the latest [Rename] line that moves `source` over `target` (NUL: deletes it) out of
// wininit.ini, for each move in the order given; each flag says whether one was found.
std::vector<bool> RemoveFromWininit(std::span<const QzFile::RestartMove> moves) {
    std::vector<bool> removed(moves.size(), false);
    RewriteWininit([&](const std::string& old) -> std::optional<std::string> {
        const auto renames = win32::ParseWininitRenames(old).renames;
        // Lines by their paths as Windows compares them; a path written another way (a short
        // form) is found by comparing places.
        std::map<std::pair<std::string, std::string>, std::vector<std::size_t>> byPaths;
        const auto key = [](std::string_view source, std::string_view target) {
            return std::make_pair(automation::UCase(source), automation::UCase(target));
        };
        for (std::size_t i = 0; i < renames.size(); ++i) {
            byPaths[key(renames[i].source, renames[i].target.value_or(""))].push_back(i);
        }
        std::set<std::size_t> gone;
        for (std::size_t m = 0; m < moves.size(); ++m) {
            const QzFile::RestartMove& move = moves[m];
            std::optional<std::size_t> found;
            if (auto lines = byPaths.find(key(move.source, move.target)); lines != byPaths.end()) {
                while (!lines->second.empty() && !found) {
                    if (!gone.count(lines->second.back())) {
                        found = lines->second.back();
                    }
                    lines->second.pop_back();
                }
            }
            for (std::size_t i = renames.size(); !found && i-- > 0;) {
                const auto& line = renames[i];
                if (!gone.count(i) && win32::SamePlace(line.source, move.source) &&
                    (move.target.empty()
                         ? !line.target
                         : line.target && win32::SamePlace(*line.target, move.target))) {
                    found = i;
                }
            }
            if (found) {
                gone.insert(*found);
                removed[m] = true;
            }
        }
        if (gone.empty()) {
            return std::nullopt;
        }
        std::set<std::size_t> lineNumbers;
        for (const std::size_t i : gone) {
            lineNumbers.insert(renames[i].line);
        }
        return RemoveLines(old, lineNumbers);
    });
    return removed;
}

}  // namespace

automation::Variant QzFile::MoveOnRestart(const std::string& Source, const std::string& Target) {
    PendingOperation operation{Source, Target.empty() ? std::nullopt : std::optional(Target)};
    HeldMoves& held = TheHeldMoves();
    const std::optional<std::string_view> target =
        Target.empty() ? std::nullopt : std::optional<std::string_view>(Target);
    if (OnNT()) {
        if (held.holding) {
            if (held.index.IsPending(operation)) {
                return {};
            }
            const auto entry = win32::PendingRenameFor(
                Source, target,
                win32::MOVEFILE_REPLACE_EXISTING | win32::MOVEFILE_DELAY_UNTIL_REBOOT);
            if (!entry) {
                win32::RaiseLastError(QzFile::kProgID);
            }
            held.index.Add(operation);
            held.operations.push_back(operation);
            held.entries.push_back(*entry);
            return {};
        }
        if (const auto waiting = WrittenList(); waiting && waiting->IsPending(operation)) {
            return {};
        }
        // The system keeps the list. An entry it refuses is an error, as a wininit.ini that
        // cannot be written is: the caller must not count on a move that will never happen.
        if (!win32::MoveFileExA(
                Source, target,
                win32::MOVEFILE_REPLACE_EXISTING | win32::MOVEFILE_DELAY_UNTIL_REBOOT)) {
            win32::RaiseLastError(QzFile::kProgID);
        }
        return {};
    }
    if (operation.target) {
        operation.target = WininitTargetForm(Target);
        if (!operation.target) {
            win32::SetLastError(win32::ERROR_INVALID_NAME);
            win32::RaiseLastError(QzFile::kProgID);
        }
    }
    const std::string line = RenameLine(Source, operation.target.value_or(""));
    if (held.holding) {
        if (!held.index.IsPending(operation)) {
            held.index.Add(operation);
            held.operations.push_back(operation);
            held.lines.push_back(line);
        }
        return {};
    }
    RewriteWininit([&](const std::string& old) -> std::optional<std::string> {
        if (PendingIndex(WininitOperations(old)).IsPending(operation)) {
            return std::nullopt;
        }
        return AddRenameLine(old, line);
    });
    return {};
}

void QzFile::HoldRestartMoves() {
    HeldMoves& held = TheHeldMoves();
    if (held.holding) {
        return;
    }
    held.Forget();
    if (!ReadWrittenList(held)) {
        win32::RaiseLastError(QzFile::kProgID);
    }
    held.holding = true;
}

std::size_t QzFile::HeldRestartMoves() const {
    return TheHeldMoves().held();
}

bool QzFile::RestartMovesDue() const {
    const HeldMoves& held = TheHeldMoves();
    return held.holding && held.held() >= std::max(kSmallestBatch, held.written);
}

void QzFile::CommitRestartMoves() {
    HeldMoves& held = TheHeldMoves();
    if (!held.holding || held.operations.empty()) {
        return;
    }
    if (OnNT()) {
        WriteHeldPendingList(held);
    } else {
        WriteHeldWininit(held);
    }
    held.written = held.index.size();
    held.Forget();
}

void QzFile::ReleaseRestartMoves() {
    HeldMoves& held = TheHeldMoves();
    held.Forget();
    held.index = PendingIndex();
    held.written = 0;
    held.holding = false;
}

bool QzFile::CancelMoveOnRestart(const std::string& Source, const std::string& Target) {
    const RestartMove move{Source, Target};
    return CancelMovesOnRestart(std::span(&move, 1)).front();
}

std::vector<bool> QzFile::CancelMovesOnRestart(std::span<const RestartMove> Moves) {
    HeldMoves& held = TheHeldMoves();
    // What is held is written first: a move taken back is one the list holds.
    if (held.holding) {
        CommitRestartMoves();
    }
    std::vector<bool> removed;
    if (OnNT()) {
        std::vector<win32::RestartMoveToWithdraw> withdrawn;
        for (const RestartMove& move : Moves) {
            withdrawn.push_back({move.source, move.target.empty()
                                                  ? std::nullopt
                                                  : std::optional<std::string>(move.target)});
        }
        const auto found = win32::WithdrawRestartMoves(withdrawn);
        if (!found) {
            win32::RaiseLastError(QzFile::kProgID);
        }
        removed = *found;
    } else {
        removed = RemoveFromWininit(Moves);
    }
    if (held.holding && !ReadWrittenList(held)) {
        win32::RaiseLastError(QzFile::kProgID);
    }
    return removed;
}

bool QzFile::MoveWaitsOnRestart(const std::string& Source, const std::string& Target,
                                bool* IsHeld) {
    if (IsHeld != nullptr) {
        *IsHeld = false;
    }
    std::optional<std::string> written;
    if (!Target.empty()) {
        written = OnNT() ? std::optional(Target) : WininitTargetForm(Target);
        if (!written) {
            return false;
        }
    }
    const PendingOperation operation{Source, written};
    const HeldMoves& held = TheHeldMoves();
    std::size_t position = 0;
    if (held.holding) {
        const bool waits = held.index.IsPending(operation, &position);
        if (IsHeld != nullptr) {
            *IsHeld = waits && position >= held.written;
        }
        return waits;
    }
    const auto waiting = WrittenList();
    return waiting && waiting->IsPending(operation);
}

bool QzFile::CanScheduleTarget(const std::string& Target) {
    return OnNT() || WininitTargetForm(Target).has_value();
}

bool QzFile::CopyPendingOnRestart(const std::string& Source, const std::string& Target,
                                  bool* IsHeld) {
    if (IsHeld != nullptr) {
        *IsHeld = false;
    }
    const auto written = OnNT() ? std::optional(Target) : WininitTargetForm(Target);
    if (!written) {
        return false;
    }
    const HeldMoves& held = TheHeldMoves();
    std::optional<PendingIndex> read;
    if (!held.holding) {
        read = WrittenList();
        if (!read) {
            return false;
        }
    }
    const PendingIndex& waiting = held.holding ? held.index : *read;
    std::size_t position = 0;
    const PendingOperation* last = waiting.LastOperationOn(*written, &position);
    // Onto Target, and the last use of its own source: nothing after it changes either.
    if (last == nullptr || !last->target || !waiting.IsPending({last->source, written})) {
        return false;
    }
    const auto pendingCopy = win32::HostPathOf(last->source);
    const auto source = win32::HostPathOf(Source);
    bool same = false;
    if (!pendingCopy || !source || win32::host::CompareContents(*pendingCopy, *source, same) != 0 ||
        !same) {
        return false;
    }
    if (IsHeld != nullptr) {
        *IsHeld = held.holding && position >= held.written;
    }
    return true;
}

}  // namespace Qz_File
