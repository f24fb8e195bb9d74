#include "platform/win32/advapi32/Registry.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/win32/advapi32/RegistryHandles.h"

namespace win32 {

namespace {

namespace handles = registry_handles;
using registry::Outcome;

// The callers pass C strings: whatever follows a NUL is not part of the name.
std::string_view CString(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

bool IsRoot(HKEY handle) {
    return registry::RootFromHandleValue(static_cast<std::uint32_t>(handle)).has_value();
}

// The key names of a subkey path, or ERROR_INVALID_PARAMETER for a name Windows would refuse.
LSTATUS SplitSubKey(std::string_view subKey, std::vector<std::string>& names) {
    names = registry::SplitKeyNames(CString(subKey));
    for (const auto& name : names) {
        if (registry::NameLength(name) > registry::kMaxKeyNameChars) {
            return ERROR_INVALID_PARAMETER;
        }
    }
    return ERROR_SUCCESS;
}

LSTATUS FromOutcome(Outcome outcome, LSTATUS notFound = ERROR_FILE_NOT_FOUND) {
    switch (outcome) {
        case Outcome::Ok:
            return ERROR_SUCCESS;
        case Outcome::NotFound:
            return notFound;
        case Outcome::KeyDeleted:
            return ERROR_KEY_DELETED;
        case Outcome::HasSubkeys:
        case Outcome::IsRoot:
            return ERROR_ACCESS_DENIED;
    }
    return ERROR_INVALID_FUNCTION;
}

// Runs one registry call, turning a failure of the store into its result code.
template <class F>
LSTATUS Guarded(F&& call) {
    try {
        return call();
    } catch (const registry::StoreError& e) {
        return handles::Failure(e);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// Opens (or with `create`, creates) `subKey` below `hKey` as a new handle. An empty subkey
// of a root yields the root itself.
LSTATUS OpenOrCreate(HKEY hKey, std::string_view subKey, HKEY* phkResult, bool create) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return Guarded([&] {
        handles::OpenKey parent;
        if (const LSTATUS rc = handles::Resolve(hKey, parent); rc != ERROR_SUCCESS) {
            return rc;
        }
        std::vector<std::string> names;
        if (const LSTATUS rc = SplitSubKey(subKey, names); rc != ERROR_SUCCESS) {
            *phkResult = HKEY{};
            return rc;
        }
        if (names.empty() && IsRoot(hKey)) {
            *phkResult = hKey;
            return ERROR_SUCCESS;
        }
        registry::KeyId id = 0;
        const Outcome outcome = create ? parent.store->createKey(parent.id, names, id)
                                       : parent.store->openKey(parent.id, names, id);
        if (outcome != Outcome::Ok) {
            *phkResult = HKEY{};
            return FromOutcome(outcome);
        }
        *phkResult = handles::Add({parent.store, id});
        return ERROR_SUCCESS;
    });
}

// Copies a found string's bytes; a string without a NUL of its own gets one when the buffer
// has room, as NT does.
void CopyData(const registry::ValueData& value, BYTE* data, DWORD capacity) {
    std::copy(value.data.begin(), value.data.end(), data);
    const std::size_t size = value.data.size();
    if (registry::IsStringType(value.type) && size > 0 && size < capacity &&
        value.data.back() != 0) {
        data[size] = 0;
    }
}

}  // namespace

LSTATUS RegOpenKeyA(HKEY hKey, std::string_view lpSubKey, HKEY* phkResult) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (CString(lpSubKey).empty()) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    return OpenOrCreate(hKey, lpSubKey, phkResult, false);
}

LSTATUS RegOpenKeyExA(HKEY hKey, std::string_view lpSubKey, DWORD, REGSAM, HKEY* phkResult) {
    return OpenOrCreate(hKey, lpSubKey, phkResult, false);
}

LSTATUS RegCreateKeyA(HKEY hKey, std::string_view lpSubKey, HKEY* phkResult) {
    return OpenOrCreate(hKey, lpSubKey, phkResult, true);
}

LSTATUS RegCloseKey(HKEY hKey) {
    if (IsRoot(hKey)) {
        return ERROR_SUCCESS;
    }
    return handles::Remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegDeleteKeyA(HKEY hKey, std::string_view lpSubKey) {
    return Guarded([&] {
        handles::OpenKey parent;
        if (const LSTATUS rc = handles::Resolve(hKey, parent); rc != ERROR_SUCCESS) {
            return rc;
        }
        std::vector<std::string> names;
        if (const LSTATUS rc = SplitSubKey(lpSubKey, names); rc != ERROR_SUCCESS) {
            return rc;
        }
        registry::KeyId id = 0;
        if (const Outcome found = parent.store->openKey(parent.id, names, id);
            found != Outcome::Ok) {
            return FromOutcome(found);
        }
        return FromOutcome(parent.store->deleteKey(id));
    });
}

LSTATUS RegDeleteValueA(HKEY hKey, std::string_view lpValueName) {
    return Guarded([&] {
        handles::OpenKey key;
        if (const LSTATUS rc = handles::Resolve(hKey, key); rc != ERROR_SUCCESS) {
            return rc;
        }
        return FromOutcome(key.store->deleteValue(key.id, CString(lpValueName)));
    });
}

LSTATUS RegQueryValueExA(HKEY hKey, std::string_view lpValueName, DWORD* lpReserved, DWORD* lpType,
                         BYTE* lpData, DWORD* lpcbData) {
    if ((lpData != nullptr && lpcbData == nullptr) || lpReserved != nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return Guarded([&] {
        handles::OpenKey key;
        if (const LSTATUS rc = handles::Resolve(hKey, key); rc != ERROR_SUCCESS) {
            return rc;
        }
        // What a failed query leaves behind, as Windows does.
        if (lpType != nullptr) {
            *lpType = REG_NONE;
        }
        if (lpData == nullptr && lpcbData != nullptr) {
            *lpcbData = 0;
        }
        registry::ValueData value;
        if (const Outcome found = key.store->queryValue(key.id, CString(lpValueName), value);
            found != Outcome::Ok) {
            return FromOutcome(found);
        }
        const auto size = static_cast<DWORD>(value.data.size());
        LSTATUS rc = ERROR_SUCCESS;
        if (lpData != nullptr) {
            if (size > *lpcbData) {
                rc = ERROR_MORE_DATA;
            } else {
                CopyData(value, lpData, *lpcbData);
            }
        }
        if (lpType != nullptr) {
            *lpType = value.type;
        }
        if (lpcbData != nullptr) {
            *lpcbData = size;
        }
        return rc;
    });
}

LSTATUS RegSetValueExA(HKEY hKey, std::string_view lpValueName, DWORD, DWORD dwType,
                       const BYTE* lpData, DWORD cbData) {
    const std::string_view name = CString(lpValueName);
    if ((lpData == nullptr && cbData > 0) ||
        registry::NameLength(name) > registry::kMaxValueNameChars) {
        return ERROR_INVALID_PARAMETER;
    }
    return Guarded([&] {
        handles::OpenKey key;
        if (const LSTATUS rc = handles::Resolve(hKey, key); rc != ERROR_SUCCESS) {
            return rc;
        }
        std::vector<std::uint8_t> data(lpData, lpData + cbData);
        if (registry::IsStringType(dwType) && !data.empty() && data.back() != 0) {
            data.push_back(0);
        }
        return FromOutcome(key.store->setValue(key.id, name, dwType, data));
    });
}

LSTATUS RegEnumKeyA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName) {
    return RegEnumKeyExA(hKey, dwIndex, lpName, &cchName);
}

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD* lpReserved,
                      char* lpClass, DWORD* lpcchClass) {
    if (lpReserved != nullptr || lpName == nullptr || lpcchName == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return Guarded([&] {
        handles::OpenKey key;
        if (const LSTATUS rc = handles::Resolve(hKey, key); rc != ERROR_SUCCESS) {
            return rc;
        }
        std::string name;
        if (const Outcome found = key.store->subkeyAt(key.id, dwIndex, name);
            found != Outcome::Ok) {
            return FromOutcome(found, ERROR_NO_MORE_ITEMS);
        }
        // The class is always empty, so it needs room for the NUL alone.
        if (name.size() >= *lpcchName ||
            (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass == 0)) {
            return ERROR_MORE_DATA;
        }
        std::memcpy(lpName, name.data(), name.size());
        lpName[name.size()] = '\0';
        *lpcchName = static_cast<DWORD>(name.size());
        if (lpcchClass != nullptr) {
            if (lpClass != nullptr) {
                lpClass[0] = '\0';
            }
            *lpcchClass = 0;
        }
        return ERROR_SUCCESS;
    });
}

LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                      DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    if ((lpData != nullptr && lpcbData == nullptr) || lpReserved != nullptr ||
        lpValueName == nullptr || lpcchValueName == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return Guarded([&] {
        handles::OpenKey key;
        if (const LSTATUS rc = handles::Resolve(hKey, key); rc != ERROR_SUCCESS) {
            return rc;
        }
        registry::Value value;
        if (const Outcome found = key.store->valueAt(key.id, dwIndex, value);
            found != Outcome::Ok) {
            return FromOutcome(found, ERROR_NO_MORE_ITEMS);
        }
        const auto size = static_cast<DWORD>(value.data.size());
        LSTATUS rc = ERROR_SUCCESS;
        if (lpData != nullptr) {
            if (size > *lpcbData) {
                rc = ERROR_MORE_DATA;
            } else {
                CopyData({value.type, value.data}, lpData, *lpcbData);
            }
        }
        if (rc == ERROR_SUCCESS) {
            const std::string& name = value.name;
            if (name.size() >= *lpcchValueName) {
                rc = ERROR_MORE_DATA;
                if (*lpcchValueName > 0) {
                    const std::size_t kept = *lpcchValueName - 1;
                    std::memcpy(lpValueName, name.data(), kept);
                    lpValueName[kept] = '\0';
                }
            } else {
                std::memcpy(lpValueName, name.data(), name.size());
                lpValueName[name.size()] = '\0';
                *lpcchValueName = static_cast<DWORD>(name.size());
            }
        }
        if (lpType != nullptr) {
            *lpType = value.type;
        }
        if (lpcbData != nullptr) {
            *lpcbData = size;
        }
        return rc;
    });
}

}  // namespace win32
