// Taking back what a run scheduled for the restart, when it ends before its report is written.

#include <string>
#include <vector>

#include "controls/file/QzFile.h"
#include "controls/registry/QzRegistry.h"
#include "platform/automation/Errors.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/restart/StartupMoves.h"
#include "platform/win32/advapi32/RegistryTransaction.h"
#include "platform/win32/kernel32/Files.h"
#include "vlt/core/ActionBatch.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTWorkActions.h"

namespace modVLTWork {
namespace {

// Runs one undo step; false when it failed, which is traced with its reason.
template <class Step>
bool Undo(const std::string& what, Step step) {
    try {
        if (step()) {
            return true;
        }
        vlt::Trace("Not taken back: " + what);
    } catch (const automation::Error& error) {
        vlt::Trace("Not taken back: " + what + ": " + error.Description());
    }
    return false;
}

std::string Describe(const vlt::RestartChange& change) {
    return change.target.empty() ? "removal of " + change.source : "copy over " + change.target;
}

// The end of the box's sentence: what the restart will still do, scheduled before this run
// (an earlier run, another program), or nothing.
std::string WhatStillWaits() {
    const auto waiting = win32::ScheduledStartupMoves();
    if (!waiting) {
        return ".";
    }
    if (waiting->empty()) {
        return ": nothing will change at the restart.";
    }
    const std::size_t n = waiting->size();
    return ". " + std::to_string(n) + (n == 1 ? " change" : " changes") +
           " scheduled before this run still " + (n == 1 ? "waits" : "wait") + " for the restart.";
}

}  // namespace

bool WithdrawRestartChanges() {
    vlt::TraceScope trace("modVLTWork.WithdrawRestartChanges");
    vlt::VltState& state = vlt::State();
    // What the batch still holds never reached the restart list or the registry: dropping it
    // takes it back.
    if (state.Batch) {
        state.Batch->Drop();
        state.Batch.reset();
    }
    if (state.RestartChanges.empty() && state.CountChanges.empty()) {
        return true;
    }
    // Controls of their own: when Windows ending closed the program, the control host is
    // unloaded already, and what it scheduled must still be taken back before the restart.
    Qz_File::QzFile file;
    Qz_Registry::QzRegistry registry;
    std::vector<std::string> staying;
    const std::size_t scheduled = state.RestartChanges.size();
    // The committed operations come off the list in one rewrite, newest first.
    std::vector<const vlt::RestartChange*> committed;
    std::vector<Qz_File::QzFile::RestartMove> moves;
    for (auto change = state.RestartChanges.rbegin(); change != state.RestartChanges.rend();
         ++change) {
        if (change->committed) {
            committed.push_back(&*change);
            moves.push_back({change->source, change->target});
        }
    }
    std::vector<bool> withdrawn(moves.size(), false);
    const bool listed = moves.empty() || Undo("the restart list", [&] {
                            withdrawn = file.CancelMovesOnRestart(moves);
                            return true;
                        });
    for (std::size_t i = 0; i < committed.size(); ++i) {
        const vlt::RestartChange& change = *committed[i];
        if (!listed || !withdrawn[i]) {
            vlt::Trace("Not taken back: " + Describe(change));
            staying.push_back(Describe(change));
        } else if (change.temporarySource && !win32::DeleteFileA(change.source)) {
            vlt::Trace("Temporary copy not removed: " + change.source);
        }
    }
    // The counts go back in one registry transaction; one that cannot be put back is reported,
    // and when the transaction itself fails, none is back.
    std::vector<std::string> countsStaying;
    const win32::LSTATUS stored = win32::RegistryTransaction([&] {
        for (auto count = state.CountChanges.rbegin(); count != state.CountChanges.rend();
             ++count) {
            if (!count->committed) {
                continue;
            }
            const bool restored = Undo("use count of " + count->path, [&] {
                const std::int32_t rc =
                    count->before.IsEmpty()
                        ? registry.DeleteValue(count->path, count->key,
                                               Qz_Registry::HKEY_LOCAL_MACHINE)
                        : registry.SaveRegSetting(count->path, count->before, count->key,
                                                  Qz_Registry::HKEY_LOCAL_MACHINE);
                return rc == 0 || (count->before.IsEmpty() && rc == 2);
            });
            if (!restored) {
                countsStaying.push_back("the use count of " + count->path);
            }
        }
        return win32::ERROR_SUCCESS;
    });
    if (stored != win32::ERROR_SUCCESS) {
        vlt::Trace("Not taken back: the use counts (registry error " + std::to_string(stored) +
                   ")");
        countsStaying.clear();
        for (auto count = state.CountChanges.rbegin(); count != state.CountChanges.rend();
             ++count) {
            if (count->committed) {
                countsStaying.push_back("the use count of " + count->path);
            }
        }
    }
    staying.insert(staying.end(), countsStaying.begin(), countsStaying.end());
    state.RestartChanges.clear();
    state.CountChanges.clear();
    state.RestartNeeded = !staying.empty();
    std::string text;
    if (staying.empty()) {
        text =
            "The run ended before its report was written, so the changes it had scheduled "
            "for the next start of Windows (" +
            std::to_string(scheduled) + ") were taken back" + WhatStillWaits();
    } else {
        text =
            "The run ended before its report was written. These changes could not be taken "
            "back and stay scheduled for the next start of Windows:";
        for (const std::string& item : staying) {
            text += "\r\n" + item;
        }
    }
    try {
        dialogs::MsgBox(
            text,
            (staying.empty() ? dialogs::vbInformation : dialogs::vbExclamation) | dialogs::vbOKOnly,
            std::string(staying.empty() ? "Changes taken back" : "Changes not taken back"));
    } catch (const automation::Error& error) {
        // The program is ending already; the trace keeps what the box would have said.
        vlt::Trace(text + " (not shown: " + error.Description() + ")");
    }
    return staying.empty();
}

}  // namespace modVLTWork
