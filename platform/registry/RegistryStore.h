#pragma once

// The machine's registry as a tree of keys holding typed values. The interface knows nothing
// of Win32 handles or result codes (platform/win32 adds those); a second kind of store (a
// Wine prefix's hives) implements the same interface.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

// The predefined roots, numbered as the Win32 handles that name them.
enum class Root : std::uint32_t {
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
    Users = 0x80000003u,
    PerformanceData = 0x80000004u,
    CurrentConfig = 0x80000005u,
    DynData = 0x80000006u,
};

inline constexpr Root kAllRoots[] = {Root::ClassesRoot, Root::CurrentUser,     Root::LocalMachine,
                                     Root::Users,       Root::PerformanceData, Root::CurrentConfig,
                                     Root::DynData};

// Value types; the store keeps any 32-bit type, these are the ones with a meaning.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_DWORD_LITTLE_ENDIAN = 4;
inline constexpr std::uint32_t REG_DWORD_BIG_ENDIAN = 5;
inline constexpr std::uint32_t REG_LINK = 6;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;
inline constexpr std::uint32_t REG_RESOURCE_LIST = 8;
inline constexpr std::uint32_t REG_FULL_RESOURCE_DESCRIPTOR = 9;
inline constexpr std::uint32_t REG_RESOURCE_REQUIREMENTS_LIST = 10;

// Text types whose data the program reads as NUL-terminated strings.
bool IsStringType(std::uint32_t type);
// The number a REG_DWORD value holds; nullopt for another type or a size other than four.
std::optional<std::uint32_t> DwordOf(std::uint32_t type, std::span<const std::uint8_t> data);

// "HKEY_LOCAL_MACHINE" for Root::LocalMachine.
std::string_view RootName(Root root);
// The long names and the short aliases (HKLM, HKCU, ...), in any case.
std::optional<Root> ParseRootName(std::string_view name);
std::optional<Root> RootFromHandleValue(std::uint32_t value);

// Key and value names compare without regard to case: ASCII letters and the Latin-1 letters
// U+00C0..U+00DE (except U+00D7) fold to lower case; everything else compares as bytes.
// Names are UTF-8; bytes that are not part of such a letter are kept as they are.
std::string FoldName(std::string_view name);
bool NamesEqual(std::string_view a, std::string_view b);

// The longest key name (one level) and value name Windows accepts, in characters.
inline constexpr std::size_t kMaxKeyNameChars = 255;
inline constexpr std::size_t kMaxValueNameChars = 16383;
// Characters (code points) of a UTF-8 name.
std::size_t NameLength(std::string_view name);

// The names of a key path between backslashes. Empty names, from leading, doubled or
// trailing backslashes, are skipped: the old 9x calls took "\Software" as "Software".
std::vector<std::string> SplitKeyNames(std::string_view path);

using KeyId = std::int64_t;

struct ValueData {
    std::uint32_t type = REG_NONE;
    std::vector<std::uint8_t> data;
    bool operator==(const ValueData&) const = default;
};

struct Value {
    std::string name;  // spelling as written; empty for the key's default value
    std::uint32_t type = REG_NONE;
    std::vector<std::uint8_t> data;
    bool operator==(const Value&) const = default;
};

struct Subkey {
    KeyId id = 0;
    std::string name;
};

// Results a caller is expected to handle; everything else is a StoreError.
enum class Outcome {
    Ok,
    NotFound,    // the key or value does not exist
    KeyDeleted,  // the key the caller holds was deleted (by this or another process)
    HasSubkeys,  // a key with subkeys cannot be deleted on its own
    IsRoot,      // the predefined roots cannot be deleted
};

// The store itself failed: the file is not a registry, cannot be opened, read or written.
class StoreError : public std::runtime_error {
  public:
    enum class Kind {
        Corrupt,      // not a registry database, damaged, or of an unknown schema
        CannotOpen,   // missing or unreadable file
        ReadFailed,   // an I/O error, or another process held the store past the time-out
        WriteFailed,  // read-only, disk full, or another process held the store too long
    };
    StoreError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

class RegistryStore {
  public:
    virtual ~RegistryStore() = default;

    // Where the store lives, for messages.
    virtual std::string location() const = 0;

    virtual KeyId rootKey(Root root) = 0;

    // Follows `path` (single names, already split) below `parent`; an empty path yields the
    // parent itself when it still exists.
    virtual Outcome openKey(KeyId parent, std::span<const std::string> path, KeyId& key) = 0;
    // As openKey, creating the missing keys along the path (all or none).
    virtual Outcome createKey(KeyId parent, std::span<const std::string> path, KeyId& key) = 0;
    virtual bool keyExists(KeyId key) = 0;
    // Fails on a root and on a key that has subkeys.
    virtual Outcome deleteKey(KeyId key) = 0;
    // Deletes the key with everything below it; on a root, deletes its subkeys and values.
    virtual Outcome deleteTree(KeyId key) = 0;

    virtual Outcome queryValue(KeyId key, std::string_view name, ValueData& value) = 0;
    // Replaces the type and data of an existing value in place (its enumeration position and
    // spelling stay), or appends a new value.
    virtual Outcome setValue(KeyId key, std::string_view name, std::uint32_t type,
                             std::span<const std::uint8_t> data) = 0;
    virtual Outcome deleteValue(KeyId key, std::string_view name) = 0;

    // Enumeration is in creation order. NotFound past the end.
    virtual Outcome subkeyAt(KeyId key, std::uint32_t index, std::string& name) = 0;
    virtual Outcome valueAt(KeyId key, std::uint32_t index, Value& value) = 0;
    virtual Outcome subkeys(KeyId key, std::vector<Subkey>& out) = 0;
    virtual Outcome values(KeyId key, std::vector<Value>& out) = 0;

    // Runs `body` so that every write it makes is committed together, or none is when it
    // throws (the exception is passed on). Reads inside see the body's own writes.
    virtual void transaction(const std::function<void()>& body) = 0;

    // The whole registry copied into memory (RegistryCopy.h): writes to the copy never reach
    // this store, nor do later changes of this store reach the copy. Reads every key and
    // value; a store that already holds itself in memory copies itself instead.
    virtual std::unique_ptr<RegistryStore> copyIntoMemory();
};

}  // namespace registry
