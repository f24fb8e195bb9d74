#pragma once
// What the stores over registry files (a Wine prefix's text files, a Windows installation's
// hives) share: how they tell a file another program changed, the two sides of a key of
// HKEY_CLASSES_ROOT, enumeration by index over the lists they hand out whole, and the frame a
// change or a transaction runs in.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/registry/RegistryStore.h"

namespace registry {

// A file's identity, size and modification time, as far as it exists.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t seconds = 0, nanoseconds = 0;
    bool operator==(const FileStamp&) const = default;

    static FileStamp Of(const std::filesystem::path& file);
};

// A key's path with every name folded as the registry compares names, each followed by "\\":
// one text per key, whatever the case it was named in.
std::string FoldedPath(const std::vector<std::string>& names);
// The names of `a` followed by those of `b`.
std::vector<std::string> Joined(const std::vector<std::string>& a, std::span<const std::string> b);

// The keys behind a key of HKEY_CLASSES_ROOT: the user's (HKCU\Software\Classes) and the
// machine's (HKLM\Software\Classes), either of which may be missing.
struct ClassesSides {
    std::optional<KeyId> user;
    std::optional<KeyId> machine;
    bool any() const { return user || machine; }
    // The sides there are, the user's first: it wins where both hold a value.
    std::vector<KeyId> keys() const;
};

// The values of a key of HKEY_CLASSES_ROOT from the values of its sides (ClassesSides::keys,
// the user's first): a name the user's side holds hides the machine's value of that name.
template <class ValuesOf>
std::vector<Value> MergedValues(const std::vector<KeyId>& sides, ValuesOf&& valuesOf) {
    std::vector<Value> out;
    std::unordered_set<std::string> seen;
    for (const KeyId side : sides) {
        for (Value& value : valuesOf(side)) {
            if (seen.insert(FoldName(value.name)).second) {
                out.push_back(std::move(value));
            }
        }
    }
    return out;
}

// subkeyAt and valueAt of a store whose subkeys() and values() hand out whole lists.
Outcome SubkeyAtIndex(RegistryStore& store, KeyId key, std::uint32_t index, std::string& name);
Outcome ValueAtIndex(RegistryStore& store, KeyId key, std::uint32_t index, Value& value);

// Runs `body` between `begin` and `commit`; when it throws, `rollback` runs instead of
// `commit` and the exception is passed on.
template <class Begin, class Commit, class Rollback, class Body>
auto InFrame(Begin&& begin, Commit&& commit, Rollback&& rollback, Body&& body) {
    begin();
    if constexpr (std::is_void_v<decltype(body())>) {
        try {
            body();
        } catch (...) {
            rollback();
            throw;
        }
        commit();
    } else {
        decltype(body()) result;
        try {
            result = body();
        } catch (...) {
            rollback();
            throw;
        }
        commit();
        return result;
    }
}

}  // namespace registry
