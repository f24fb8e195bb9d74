#include "platform/win32/RestartMoves.h"

#include <algorithm>
#include <new>

#include "platform/machine/Machine.h"
#include "platform/registry/RegistryStore.h"
#include "platform/win32/FileIdentity.h"
#include "platform/win32/Files.h"
#include "platform/win32/LastError.h"
#include "platform/win32/Registry.h"
#include "platform/win32/RegistryHandles.h"

namespace win32 {
namespace {

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

// The data with one more entry. Data in the stored form comes back byte for byte with the new
// pair before its closing NUL; anything else (no closing NUL, stray bytes after it) is written
// out again in the stored form, so that the new entry is never hidden behind an early end.
std::vector<std::uint8_t> AppendEntry(std::span<const std::uint8_t> data,
                                      const PendingRename& entry) {
    std::vector<PendingRename> list = DecodePendingRenames(data);
    list.push_back(entry);
    return EncodePendingRenames(list);
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
            registry::ValueData value;
            const auto outcome = store.queryValue(key, kPendingFileRenameOperations, value);
            if (outcome != registry::Outcome::Ok) {
                return ERROR_SUCCESS;
            }
            if (value.type != REG_MULTI_SZ) {
                return ERROR_INVALID_DATA;
            }
            list = DecodePendingRenames(value.data);
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
        registry::ValueData value;
        if (store.queryValue(key, kPendingFileRenameOperations, value) != registry::Outcome::Ok) {
            return done.empty() ? ERROR_SUCCESS : ERROR_INVALID_DATA;
        }
        const std::vector<PendingRename> list = value.type == REG_MULTI_SZ
                                                    ? DecodePendingRenames(value.data)
                                                    : std::vector<PendingRename>{};
        if (value.type != REG_MULTI_SZ || list.size() < done.size() ||
            !std::equal(done.begin(), done.end(), list.begin())) {
            return ERROR_INVALID_DATA;
        }
        if (list.size() == done.size()) {
            store.deleteValue(key, kPendingFileRenameOperations);
        } else {
            const auto rest = EncodePendingRenames(std::span(list).subspan(done.size()));
            store.setValue(key, kPendingFileRenameOperations, REG_MULTI_SZ, rest);
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
    const auto current = machine::CurrentMachine();
    if (!current) {
        SetLastError(ERROR_NOT_READY);
        return false;
    }
    const auto source = FullPath(existing, *current);
    const auto target = newName ? FullPath(*newName, *current) : std::nullopt;
    if (!source || (newName && !target)) {
        return false;
    }
    const auto matches = [&](const PendingRename& entry) {
        return SamePlace(entry.source, *source) && entry.target.has_value() == target.has_value() &&
               (!target || SamePlace(*entry.target, *target));
    };
    const LSTATUS rc = WithSessionManagerKey(false, [&](registry::RegistryStore& store,
                                                        registry::KeyId key) {
        registry::ValueData value;
        if (store.queryValue(key, kPendingFileRenameOperations, value) != registry::Outcome::Ok) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (value.type != REG_MULTI_SZ) {
            return ERROR_INVALID_DATA;
        }
        std::vector<PendingRename> list = DecodePendingRenames(value.data);
        const auto last = std::find_if(list.rbegin(), list.rend(), matches);
        if (last == list.rend()) {
            return ERROR_FILE_NOT_FOUND;
        }
        list.erase(std::next(last).base());
        if (list.empty()) {
            store.deleteValue(key, kPendingFileRenameOperations);
        } else {
            store.setValue(key, kPendingFileRenameOperations, REG_MULTI_SZ,
                           EncodePendingRenames(list));
        }
        return ERROR_SUCCESS;
    });
    SetLastError(rc);
    return rc == ERROR_SUCCESS;
}

bool ScheduleRestartMove(std::string_view existing, std::optional<std::string_view> newName,
                         DWORD flags) {
    if ((flags & MOVEFILE_COPY_ALLOWED) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const auto current = machine::CurrentMachine();
    if (!current) {
        SetLastError(ERROR_NOT_READY);
        return false;
    }
    if (current->profile().platform() != machine::Platform::NT) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    PendingRename entry;
    entry.replaceExisting = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
    auto source = FullPath(existing, *current);
    if (!source) {
        return false;
    }
    entry.source = std::move(*source);
    if (newName) {
        entry.target = FullPath(*newName, *current);
        if (!entry.target) {
            return false;
        }
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
            const auto data = AppendEntry(value.data, entry);
            store.setValue(key, kPendingFileRenameOperations, REG_MULTI_SZ, data);
            return ERROR_SUCCESS;
        });
    SetLastError(rc);
    return rc == ERROR_SUCCESS;
}

}  // namespace win32
