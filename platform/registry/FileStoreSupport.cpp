#include "platform/registry/FileStoreSupport.h"

#include <sys/stat.h>

namespace registry {

FileStamp FileStamp::Of(const std::filesystem::path& file) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) {
        stamp = {true,
                 static_cast<std::uint64_t>(st.st_dev),
                 static_cast<std::uint64_t>(st.st_ino),
                 static_cast<std::uint64_t>(st.st_size),
                 st.st_mtim.tv_sec,
                 st.st_mtim.tv_nsec};
    }
    return stamp;
}

std::vector<KeyId> ClassesSides::keys() const {
    std::vector<KeyId> found;
    for (const auto& side : {user, machine}) {
        if (side) {
            found.push_back(*side);
        }
    }
    return found;
}

std::string FoldedPath(const std::vector<std::string>& names) {
    std::string path;
    for (const std::string& name : names) {
        path += FoldName(name);
        path += '\\';
    }
    return path;
}

std::vector<std::string> Joined(const std::vector<std::string>& a, std::span<const std::string> b) {
    std::vector<std::string> out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

Outcome SubkeyAtIndex(RegistryStore& store, KeyId key, std::uint32_t index, std::string& name) {
    std::vector<Subkey> all;
    if (const Outcome outcome = store.subkeys(key, all); outcome != Outcome::Ok) {
        return outcome;
    }
    if (index >= all.size()) {
        return Outcome::NotFound;
    }
    name = all[index].name;
    return Outcome::Ok;
}

Outcome ValueAtIndex(RegistryStore& store, KeyId key, std::uint32_t index, Value& value) {
    std::vector<Value> all;
    if (const Outcome outcome = store.values(key, all); outcome != Outcome::Ok) {
        return outcome;
    }
    if (index >= all.size()) {
        return Outcome::NotFound;
    }
    value = std::move(all[index]);
    return Outcome::Ok;
}

}  // namespace registry
