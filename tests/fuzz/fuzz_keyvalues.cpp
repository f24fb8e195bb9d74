// Valve's KeyValues text over arbitrary bytes: the reader either refuses it or reads a tree
// that the writer writes out and the reader reads back as the same tree.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/wine/prefixes/KeyValues.h"

namespace {

using wine::prefixes::KeyValue;

bool Same(const std::vector<KeyValue>& a, const std::vector<KeyValue>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].key != b[i].key || a[i].value != b[i].value || a[i].section != b[i].section ||
            !Same(a[i].children, b[i].children)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<KeyValue> read;
    try {
        read = wine::prefixes::ParseKeyValues(text);
    } catch (const wine::prefixes::KeyValuesError&) {
        return 0;
    }
    const std::string written = wine::prefixes::WriteKeyValues(read);
    std::vector<KeyValue> again;
    try {
        again = wine::prefixes::ParseKeyValues(written);
    } catch (const wine::prefixes::KeyValuesError&) {
        __builtin_trap();
    }
    if (!Same(read, again) || wine::prefixes::WriteKeyValues(again) != written) {
        __builtin_trap();
    }
    return 0;
}
