#include "platform/offline/Hive.h"

#include <hivex.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/offline/RegfFormat.h"
#include "platform/registry/RegistryStore.h"

namespace offline {
namespace {

using registry::StoreError;

// A hive's value type is any 32-bit number: it is carried as one, never as libhivex's enum,
// which holds only the types it names.
static_assert(sizeof(hive_type) == sizeof(std::uint32_t));

struct Freed {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Owned = std::unique_ptr<T, Freed>;

bool Ascii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

Hive::Hive(std::filesystem::path file, Mode mode, std::uint32_t minor)
    : file_(std::move(file)), mode_(mode), minor_(minor) {
    handle_ = hivex_open(file_.c_str(), mode == Mode::Write ? HIVEX_OPEN_WRITE : 0);
    if (handle_ == nullptr) {
        Fail("cannot be opened", errno);
    }
    errno = 0;
    root_ = hivex_root(handle_);
    if (root_ == 0) {
        const int err = errno;
        hivex_close(handle_);
        handle_ = nullptr;
        Fail("has no root key", err);
    }
}

Hive::~Hive() {
    if (handle_ != nullptr) {
        hivex_close(handle_);
    }
}

void Hive::Fail(const std::string& what, int err, bool writing) const {
    std::string message = file_.string() + " " + what;
    if (err != 0) {
        message += std::string(" (") + std::strerror(err) + ")";
    }
    if (writing) {
        throw StoreError(StoreError::Kind::WriteFailed, message + ": nothing written");
    }
    throw StoreError(StoreError::Kind::Corrupt, message);
}

bool Hive::IsKey(NodeRef node) const {
    return node != 0 && hivex_node_struct_length(handle_, node) != 0;
}

std::string Hive::Name(NodeRef node) const {
    errno = 0;
    const Owned<char> name(hivex_node_name(handle_, node));
    if (!name) {
        Fail("is damaged: a key has no readable name", errno);
    }
    return name.get();
}

std::optional<std::size_t> Hive::Found(std::size_t found, const char* what) const {
    if (found == 0 && errno != 0) {
        Fail(std::string("is damaged: the ") + what + " of a key cannot be read", errno);
    }
    return found == 0 ? std::nullopt : std::optional<std::size_t>(found);
}

NodeRef Hive::VerifiedChild(NodeRef parent, NodeRef child) const {
    errno = 0;
    const NodeRef back = child == root_ ? 0 : hivex_node_parent(handle_, child);
    if (back != parent) {
        Fail("is damaged: a key lists a subkey that belongs to another key", errno);
    }
    return child;
}

std::optional<NodeRef> Hive::Child(NodeRef parent, std::string_view name) const {
    if (Ascii(name)) {
        errno = 0;
        const auto child =
            Found(hivex_node_get_child(handle_, parent, std::string(name).c_str()), "subkeys");
        return child ? std::optional<NodeRef>(VerifiedChild(parent, *child)) : std::nullopt;
    }
    // libhivex folds ASCII letters only; the registry folds Latin-1 letters too.
    for (const auto& [child, childName] : Children(parent)) {
        if (registry::NamesEqual(childName, name)) {
            return child;
        }
    }
    return std::nullopt;
}

std::vector<std::pair<NodeRef, std::string>> Hive::Children(NodeRef node) const {
    errno = 0;
    const Owned<hive_node_h> children(hivex_node_children(handle_, node));
    if (!children) {
        Fail("is damaged: the subkeys of a key cannot be read", errno);
    }
    std::vector<std::pair<NodeRef, std::string>> out;
    for (const hive_node_h* child = children.get(); *child != 0; ++child) {
        out.emplace_back(VerifiedChild(node, *child), Name(*child));
    }
    return out;
}

RawValue Hive::ReadValue(std::size_t value) const {
    RawValue raw;
    errno = 0;
    const Owned<char> name(hivex_value_key(handle_, value));
    if (!name) {
        Fail("is damaged: a value has no readable name", errno);
    }
    raw.name = name.get();
    std::size_t length = 0;
    errno = 0;
    const Owned<char> data(
        hivex_value_value(handle_, value, reinterpret_cast<hive_type*>(&raw.type), &length));
    if (!data) {
        Fail("is damaged: the data of value \"" + raw.name + "\" cannot be read", errno);
    }
    raw.data.assign(data.get(), data.get() + length);
    return raw;
}

std::vector<RawValue> Hive::Values(NodeRef node) const {
    errno = 0;
    const Owned<hive_value_h> values(hivex_node_values(handle_, node));
    if (!values) {
        Fail("is damaged: the values of a key cannot be read", errno);
    }
    std::vector<RawValue> out;
    for (const hive_value_h* value = values.get(); *value != 0; ++value) {
        out.push_back(ReadValue(*value));
    }
    return out;
}

std::optional<RawValue> Hive::Value(NodeRef node, std::string_view name) const {
    if (Ascii(name)) {
        errno = 0;
        const auto value =
            Found(hivex_node_get_value(handle_, node, std::string(name).c_str()), "values");
        return value ? std::optional<RawValue>(ReadValue(*value)) : std::nullopt;
    }
    for (RawValue& value : Values(node)) {
        if (registry::NamesEqual(value.name, name)) {
            return std::move(value);
        }
    }
    return std::nullopt;
}

NodeRef Hive::AddChild(NodeRef parent, const std::string& name) {
    ++mutations_;
    errno = 0;
    const NodeRef child = hivex_node_add_child(handle_, parent, name.c_str());
    if (child == 0) {
        Fail("cannot take the key \"" + name + "\"", errno, true);
    }
    return child;
}

void Hive::DeleteKey(NodeRef node) {
    ++mutations_;
    errno = 0;
    if (hivex_node_delete_child(handle_, node) != 0) {
        Fail("cannot lose the key \"" + Name(node) + "\"", errno, true);
    }
}

void Hive::RefuseUnwritable(NodeRef node, const std::vector<RawValue>& values) const {
    for (const RawValue& value : values) {
        if (minor_ >= kFirstBigDataMinor && value.data.size() > kLongestSingleCellValue) {
            Fail("cannot be written here: value \"" + value.name + "\" of key \"" + Name(node) +
                     "\" holds " + std::to_string(value.data.size()) +
                     " bytes, and a hive of version 1." + std::to_string(minor_) +
                     " keeps more than " + std::to_string(kLongestSingleCellValue) +
                     " in a form libhivex does not write",
                 0, true);
        }
    }
}

void Hive::SetValues(NodeRef node, const std::vector<RawValue>& values) {
    RefuseUnwritable(node, values);
    std::vector<hive_set_value> set(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const RawValue& value = values[i];
        set[i].key = const_cast<char*>(value.name.c_str());
        std::memcpy(&set[i].t, &value.type, sizeof value.type);
        set[i].len = value.data.size();
        set[i].value = reinterpret_cast<char*>(const_cast<std::uint8_t*>(value.data.data()));
    }
    ++mutations_;
    errno = 0;
    if (hivex_node_set_values(handle_, node, set.size(), set.data(), 0) != 0) {
        Fail("cannot take the values of key \"" + Name(node) + "\"", errno, true);
    }
}

void PutValue(std::vector<RawValue>& values, RawValue value) {
    for (RawValue& old : values) {
        if (registry::NamesEqual(old.name, value.name)) {
            value.name = old.name;
            old = std::move(value);
            return;
        }
    }
    values.push_back(std::move(value));
}

void Hive::SetValue(NodeRef node, RawValue value) {
    std::vector<RawValue> values = Values(node);
    PutValue(values, std::move(value));
    SetValues(node, values);
}

void Hive::WriteTo(const std::filesystem::path& target) {
    errno = 0;
    if (hivex_commit(handle_, target.c_str(), 0) != 0) {
        Fail("cannot be written to " + target.string(), errno, true);
    }
}

}  // namespace offline
