// Wine's registry files over arbitrary bytes: a file read is written back byte for byte, a value
// read and written again reads back the same, and a change to one key leaves the file readable
// with every key still there.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/wine/HiveFile.h"

namespace {

bool Same(const wine::ValueLine& a, const wine::ValueLine& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    wine::HiveFile file;
    try {
        file = wine::HiveFile::Parse(bytes);
    } catch (const std::invalid_argument&) {
        return 0;
    }
    if (file.Serialize() != bytes) {
        __builtin_trap();
    }
    for (const auto& block : file.blocks()) {
        for (const auto& item : block.items) {
            if (!item.value) {
                continue;
            }
            // Text Wine never writes (a string type without its NUL, a lone surrogate) settles
            // after one round; from then on a value comes back as it went out.
            const auto once = wine::ParseValue(wine::RenderValue(*item.value));
            if (!once) {
                __builtin_trap();
            }
            const auto twice = wine::ParseValue(wine::RenderValue(*once));
            if (!twice || !Same(*once, *twice)) {
                __builtin_trap();
            }
        }
    }
    if (!file.blocks().empty()) {
        auto& last = file.blocks().back();
        wine::HiveFile::SetValue(last, {"Fuzz", 4, {1, 2, 3, 4}});
        wine::HiveFile::Touch(last, 0x1d9f0c5a0b1c2d3);
        const auto again = wine::HiveFile::Parse(file.Serialize());
        if (again.blocks().size() != file.blocks().size()) {
            __builtin_trap();
        }
    }
    return 0;
}
