#pragma once
// Moves and deletions that wait for the machine's next start, the way the NT family keeps
// them: a list in the registry that MoveFileExA(..., MOVEFILE_DELAY_UNTIL_REBOOT) appends to
// and that the start of the machine (Boot.h) carries out and then removes.
//
// Installing the handler of MoveFileExA's delayed form happens when this library is loaded;
// nothing needs to be called for it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/ntdll/WinError.h"

namespace win32 {

// Below HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kSessionManagerKey =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr std::string_view kPendingFileRenameOperations = "PendingFileRenameOperations";
// Where Windows goes on with the list once the first value is full; the start reads it after
// the first. Velto only ever appends to the first.
inline constexpr std::string_view kPendingFileRenameOperations2 = "PendingFileRenameOperations2";

struct PendingRename {
    // Full Windows paths, without the "\??\" prefix of the stored form.
    std::string source;
    // Absent: delete the source at the start.
    std::optional<std::string> target;
    bool replaceExisting = false;

    bool operator==(const PendingRename&) const = default;
};

// The stored form of a list (REG_MULTI_SZ data, laid out in PendingRenames.cpp).
std::vector<std::uint8_t> EncodePendingRenames(std::span<const PendingRename> list);

// Reads stored data as leniently as the start of the machine does: a missing final NUL, a
// path without the "\??\" prefix and a last source without any target string are accepted
// (the last one means delete). Never fails; bytes that hold no entry give an empty list.
std::vector<PendingRename> DecodePendingRenames(std::span<const std::uint8_t> data);

// The list of the current machine (both values, in the order the start reads them); empty
// when there is none. nullopt with the last error set when the registry cannot be read or a
// value is not a REG_MULTI_SZ.
std::optional<std::vector<PendingRename>> ReadPendingRenames();

// Takes entries that have been carried out off the front of the current machine's list,
// deleting each value when nothing is left in it. Entries another process appended meanwhile stay;
// when the list no longer starts with `done` it is left alone and the call fails with
// ERROR_INVALID_DATA; a registry that cannot be written fails it with the registry's error.
bool RemovePendingRenames(std::span<const PendingRename> done);

// Takes back the latest entry that moves `existing` over `newName` (deletes it, when absent):
// the paths compare as the same place (FileIdentity.h SamePlace), after being made full paths
// as ScheduleRestartMove makes them. The value goes when nothing is left. Fails with
// ERROR_FILE_NOT_FOUND when no entry matches, and with the registry's error when the list
// cannot be read or written.
bool WithdrawRestartMove(std::string_view existing, std::optional<std::string_view> newName);
struct RestartMoveToWithdraw {
    std::string source;
    std::optional<std::string> target;
};
// The same for several moves in one registry transaction, each in the order given; the flags
// say which were found. nullopt with the registry's error (or a path's) when the list cannot
// be read or written.
std::optional<std::vector<bool>> WithdrawRestartMoves(std::span<const RestartMoveToWithdraw> moves);

// The entry ScheduleRestartMove appends for these arguments (paths made full, the flags
// checked as it checks them); nullopt with its error.
std::optional<PendingRename> PendingRenameFor(std::string_view existing,
                                              std::optional<std::string_view> newName, DWORD flags);
// Appends entries to the current machine's list in one registry transaction, in their order;
// fails with the registry's error, or ERROR_INVALID_DATA for a value that is no list.
bool AppendPendingRenames(std::span<const PendingRename> entries);

// The delayed form of MoveFileExA: appends one entry to the list of the current machine.
// `existing` and `newName` are made full paths against the current directory; neither needs
// to exist yet. Fails with ERROR_INVALID_PARAMETER together with MOVEFILE_COPY_ALLOWED (the
// system refuses that pair), with ERROR_CALL_NOT_IMPLEMENTED on a machine of the 9x family
// (which keeps its start-up moves in wininit.ini instead), with the path's error for a path
// that cannot be understood, and with the registry's error when the list cannot be written.
bool ScheduleRestartMove(std::string_view existing, std::optional<std::string_view> newName,
                         DWORD flags);

}  // namespace win32
