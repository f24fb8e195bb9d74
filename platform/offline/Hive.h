#pragma once
// One hive file of a Windows installation, read and written through libhivex. Keys are the
// offsets libhivex hands out (0 names none); they stay the same while the hive is open, and
// libhivex never reuses the space of a deleted key for another while it is.
//
// libhivex checks the structure it walks; what it hands back is still checked here before it
// is used, so that a hostile hive cannot lead anywhere: every key listed below another must
// name that other as its parent (which rules out loops and keys shared by two parents), and
// every failure libhivex reports is a StoreError(Corrupt) that names the file. Names are
// compared as the registry compares them (registry::NamesEqual), not only in ASCII.
//
// Values come as Windows keeps them (string types in UTF-16). A hive of version 1.4 or later
// keeps a value longer than 16344 bytes in "db" records, which libhivex does not write: it
// rewrites every value of a key it sets one of, so a key holding such a value is refused
// before anything changes.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct hive_h;

namespace offline {

using NodeRef = std::size_t;

struct RawValue {
    std::string name;  // UTF-8; empty for the default value
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// Replaces a value of a key's list in place (keeping the spelling it was made with, as Windows
// does) or adds it after the others.
void PutValue(std::vector<RawValue>& values, RawValue value);

class Hive {
  public:
    enum class Mode { Read, Write };

    // `minor` is the format's minor version from the base block. Throws
    // registry::StoreError(Corrupt) when libhivex cannot open the file.
    Hive(std::filesystem::path file, Mode mode, std::uint32_t minor);
    ~Hive();
    Hive(const Hive&) = delete;
    Hive& operator=(const Hive&) = delete;

    const std::filesystem::path& file() const { return file_; }
    Mode mode() const { return mode_; }
    std::uint32_t minor() const { return minor_; }
    NodeRef root() const { return root_; }

    // Whether the offset names a key (not one deleted since, nor anything else).
    bool IsKey(NodeRef node) const;
    std::string Name(NodeRef node) const;
    std::optional<NodeRef> Child(NodeRef parent, std::string_view name) const;
    std::vector<std::pair<NodeRef, std::string>> Children(NodeRef node) const;
    std::vector<RawValue> Values(NodeRef node) const;
    std::optional<RawValue> Value(NodeRef node, std::string_view name) const;

    // How many changes were made to libhivex's copy (a change that failed half-way counts).
    std::uint64_t mutations() const { return mutations_; }

    // Writing, on a hive opened for it; failures are StoreError(WriteFailed).
    NodeRef AddChild(NodeRef parent, const std::string& name);
    // Deletes the key and everything below it.
    void DeleteKey(NodeRef node);
    // Replaces every value of the key.
    void SetValues(NodeRef node, const std::vector<RawValue>& values);
    // Replaces or adds one value (PutValue).
    void SetValue(NodeRef node, RawValue value);
    // Throws what SetValues would for values this hive cannot take, before anything changes.
    void RefuseUnwritable(NodeRef node, const std::vector<RawValue>& values) const;
    // Writes the whole hive to `target` (which need not be its own file); libhivex raises
    // both sequence numbers by one and sets the checksum.
    void WriteTo(const std::filesystem::path& target);

  private:
    [[noreturn]] void Fail(const std::string& what, int err, bool writing = false) const;
    // What a lookup by name (hivex_node_get_child, _get_value) found: 0 with errno unset is
    // nothing, with errno set a damage.
    std::optional<std::size_t> Found(std::size_t found, const char* what) const;
    NodeRef VerifiedChild(NodeRef parent, NodeRef child) const;
    RawValue ReadValue(std::size_t value) const;

    std::filesystem::path file_;
    Mode mode_;
    std::uint32_t minor_;
    hive_h* handle_ = nullptr;
    NodeRef root_ = 0;
    std::uint64_t mutations_ = 0;
};

}  // namespace offline
