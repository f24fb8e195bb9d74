#include "platform/restart/RestartMoves.h"

#include <algorithm>
#include <map>
#include <new>

#include "platform/machine/Machine.h"
#include "platform/registry/RegistryStore.h"
#include "platform/win32/advapi32/Registry.h"
#include "platform/win32/advapi32/RegistryHandles.h"
#include "platform/win32/kernel32/FileIdentity.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

// The values of the list, in the order the start reads them.
constexpr std::string_view kPendingValues[] = {kPendingFileRenameOperations,
                                               kPendingFileRenameOperations2};

// The full path the list keeps for `path`; nullopt with the last error set.
std::optional<std::string> FullPath(std::string_view path, const machine::Machine& current) {
    machine::PathError error;
    const auto parsed = machine::ParseWindowsPath(path, current.currentDirectory(), error);
    if (!parsed) {
        SetLastError(static_cast<DWORD>(error));
        return std::nullopt;
    }
    return parsed->str();
}

// The data with more entries. Data in the stored form comes back byte for byte with the new
// pairs before its closing NUL; anything else (no closing NUL, stray bytes after it) is written
// out again in the stored form, so that a new entry is never hidden behind an early end.
std::vector<std::uint8_t> AppendEntries(std::span<const std::uint8_t> data,
                                        std::span<const PendingRename> entries) {
    std::vector<PendingRename> list = DecodePendingRenames(data);
    list.insert(list.end(), entries.begin(), entries.end());
    return EncodePendingRenames(list);
}

// A change of the pending list the store did not make (its key went meanwhile) fails the
// whole transaction: a list half changed, or a move said to be scheduled that is not, would
// be worse than an error. A value to delete that is gone already is deleted.
void Stored(registry::Outcome outcome, bool deleting) {
    if (outcome != registry::Outcome::Ok && !(deleting && outcome == registry::Outcome::NotFound)) {
        throw registry::StoreError(registry::StoreError::Kind::WriteFailed,
                                   "the Session Manager key was deleted while the list of moves "
                                   "for the next start was being changed");
    }
}

// Runs `body` on the Session Manager key inside one registry transaction, so that two
// processes scheduling moves at once never lose each other's entries.
template <class Body>
LSTATUS WithSessionManagerKey(bool create, Body&& body) {
    namespace handles = registry_handles;
    try {
        handles::OpenKey root;
        if (const LSTATUS rc = handles::Resolve(HKEY_LOCAL_MACHINE, root); rc != ERROR_SUCCESS) {
            return rc;
        }
        const auto names = registry::SplitKeyNames(kSessionManagerKey);
        LSTATUS result = ERROR_SUCCESS;
        root.store->transaction([&] {
            registry::KeyId key = 0;
            const auto outcome = create ? root.store->createKey(root.id, names, key)
                                        : root.store->openKey(root.id, names, key);
            result =
                outcome == registry::Outcome::Ok ? body(*root.store, key) : ERROR_FILE_NOT_FOUND;
        });
        return result;
    } catch (const registry::StoreError& e) {
        return handles::Failure(e);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

bool RestartMoveHandler(std::string_view existing, std::optional<std::string_view> newName,
                        DWORD flags) {
    return ScheduleRestartMove(existing, newName, flags);
}

// MoveFileExA hands its delayed form to this service as soon as the library is loaded.
const bool kHandlerInstalled = [] {
    detail::SetRestartMoveHandler(&RestartMoveHandler);
    return true;
}();

}  // namespace

std::optional<std::vector<PendingRename>> ReadPendingRenames() {
    std::vector<PendingRename> list;
    const LSTATUS rc =
        WithSessionManagerKey(false, [&](registry::RegistryStore& store, registry::KeyId key) {
            for (const std::string_view name : kPendingValues) {
                registry::ValueData value;
                if (store.queryValue(key, name, value) != registry::Outcome::Ok) {
                    continue;
                }
                if (value.type != REG_MULTI_SZ) {
                    return ERROR_INVALID_DATA;
                }
                for (PendingRename& entry : DecodePendingRenames(value.data)) {
                    list.push_back(std::move(entry));
                }
            }
            return ERROR_SUCCESS;
        });
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        SetLastError(rc);
        return std::nullopt;
    }
    SetLastError(ERROR_SUCCESS);
    return list;
}

bool RemovePendingRenames(std::span<const PendingRename> done) {
    const LSTATUS rc = WithSessionManagerKey(false, [&](registry::RegistryStore& store,
                                                        registry::KeyId key) {
        struct Part {
            std::string_view name;
            std::vector<PendingRename> list;
            std::size_t taken = 0;
        };
        // Every value is checked before either is written: a list that changed is left alone.
        std::vector<Part> parts;
        std::span<const PendingRename> left = done;
        for (const std::string_view name : kPendingValues) {
            registry::ValueData value;
            if (left.empty() || store.queryValue(key, name, value) != registry::Outcome::Ok) {
                continue;
            }
            if (value.type != REG_MULTI_SZ) {
                return ERROR_INVALID_DATA;
            }
            Part part{name, DecodePendingRenames(value.data)};
            part.taken = std::min(part.list.size(), left.size());
            if (!std::equal(left.begin(), left.begin() + static_cast<std::ptrdiff_t>(part.taken),
                            part.list.begin())) {
                return ERROR_INVALID_DATA;
            }
            left = left.subspan(part.taken);
            parts.push_back(std::move(part));
        }
        if (!left.empty()) {
            return ERROR_INVALID_DATA;
        }
        for (const Part& part : parts) {
            if (part.taken == part.list.size()) {
                Stored(store.deleteValue(key, part.name), true);
            } else {
                Stored(
                    store.setValue(key, part.name, REG_MULTI_SZ,
                                   EncodePendingRenames(std::span(part.list).subspan(part.taken))),
                    false);
            }
        }
        return ERROR_SUCCESS;
    });
    if (rc == ERROR_FILE_NOT_FOUND && done.empty()) {
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    SetLastError(rc);
    return rc == ERROR_SUCCESS;
}

bool WithdrawRestartMove(std::string_view existing, std::optional<std::string_view> newName) {
    const RestartMoveToWithdraw move{std::string(existing),
                                     newName ? std::optional<std::string>(*newName) : std::nullopt};
    const auto found = WithdrawRestartMoves(std::span(&move, 1));
    if (!found) {
        return false;
    }
    SetLastError(found->front() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    return found->front();
}

std::optional<std::vector<bool>> WithdrawRestartMoves(
    std::span<const RestartMoveToWithdraw> moves) {
    const auto current = machine::CurrentMachine();
    if (!current) {
        SetLastError(ERROR_NOT_READY);
        return std::nullopt;
    }
    struct Wanted {
        std::string source;
        std::optional<std::string> target;
    };
    std::vector<Wanted> wanted;
    for (const RestartMoveToWithdraw& move : moves) {
        auto source = FullPath(move.source, *current);
        auto target = move.target ? FullPath(*move.target, *current) : std::nullopt;
        if (!source || (move.target && !target)) {
            return std::nullopt;
        }
        wanted.push_back({std::move(*source), std::move(target)});
    }
    std::vector<bool> found(moves.size(), false);
    const LSTATUS rc = WithSessionManagerKey(false, [&](registry::RegistryStore& store,
                                                        registry::KeyId key) {
        registry::ValueData value;
        if (store.queryValue(key, kPendingFileRenameOperations, value) != registry::Outcome::Ok) {
            return ERROR_SUCCESS;
        }
        if (value.type != REG_MULTI_SZ) {
            return ERROR_INVALID_DATA;
        }
        std::vector<PendingRename> list = DecodePendingRenames(value.data);
        // Entries by their paths as stored; one written another way is found by place.
        std::map<std::pair<std::string, std::string>, std::vector<std::size_t>> byPaths;
        for (std::size_t i = 0; i < list.size(); ++i) {
            byPaths[{list[i].source, list[i].target.value_or("")}].push_back(i);
        }
        std::vector<bool> gone(list.size(), false);
        bool any = false;
        for (std::size_t m = 0; m < wanted.size(); ++m) {
            const Wanted& move = wanted[m];
            std::optional<std::size_t> at;
            if (auto same = byPaths.find({move.source, move.target.value_or("")});
                same != byPaths.end()) {
                while (!same->second.empty() && !at) {
                    if (!gone[same->second.back()] &&
                        list[same->second.back()].target.has_value() == move.target.has_value()) {
                        at = same->second.back();
                    }
                    same->second.pop_back();
                }
            }
            for (std::size_t i = list.size(); !at && i-- > 0;) {
                const PendingRename& entry = list[i];
                if (!gone[i] && SamePlace(entry.source, move.source) &&
                    entry.target.has_value() == move.target.has_value() &&
                    (!move.target || SamePlace(*entry.target, *move.target))) {
                    at = i;
                }
            }
            if (at) {
                gone[*at] = true;
                found[m] = true;
                any = true;
            }
        }
        if (!any) {
            return ERROR_SUCCESS;
        }
        std::vector<PendingRename> rest;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (!gone[i]) {
                rest.push_back(std::move(list[i]));
            }
        }
        if (rest.empty()) {
            Stored(store.deleteValue(key, kPendingFileRenameOperations), true);
        } else {
            Stored(store.setValue(key, kPendingFileRenameOperations, REG_MULTI_SZ,
                                  EncodePendingRenames(rest)),
                   false);
        }
        return ERROR_SUCCESS;
    });
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        SetLastError(rc);
        return std::nullopt;
    }
    SetLastError(ERROR_SUCCESS);
    return found;
}

std::optional<PendingRename> PendingRenameFor(std::string_view existing,
                                              std::optional<std::string_view> newName,
                                              DWORD flags) {
    if ((flags & MOVEFILE_COPY_ALLOWED) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    const auto current = machine::CurrentMachine();
    if (!current) {
        SetLastError(ERROR_NOT_READY);
        return std::nullopt;
    }
    if (current->profile().platform() != machine::Platform::NT) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return std::nullopt;
    }
    PendingRename entry;
    entry.replaceExisting = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
    auto source = FullPath(existing, *current);
    if (!source) {
        return std::nullopt;
    }
    entry.source = std::move(*source);
    if (newName) {
        entry.target = FullPath(*newName, *current);
        if (!entry.target) {
            return std::nullopt;
        }
    }
    SetLastError(ERROR_SUCCESS);
    return entry;
}

bool AppendPendingRenames(std::span<const PendingRename> entries) {
    if (entries.empty()) {
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    const LSTATUS rc =
        WithSessionManagerKey(true, [&](registry::RegistryStore& store, registry::KeyId key) {
            registry::ValueData value;
            const auto outcome = store.queryValue(key, kPendingFileRenameOperations, value);
            if (outcome == registry::Outcome::Ok && value.type != REG_MULTI_SZ) {
                return ERROR_INVALID_DATA;
            }
            if (outcome != registry::Outcome::Ok) {
                value.data.clear();
            }
            const auto data = AppendEntries(value.data, entries);
            Stored(store.setValue(key, kPendingFileRenameOperations, REG_MULTI_SZ, data), false);
            return ERROR_SUCCESS;
        });
    SetLastError(rc);
    return rc == ERROR_SUCCESS;
}

bool ScheduleRestartMove(std::string_view existing, std::optional<std::string_view> newName,
                         DWORD flags) {
    const auto entry = PendingRenameFor(existing, newName, flags);
    return entry && AppendPendingRenames(std::span(&*entry, 1));
}

}  // namespace win32
