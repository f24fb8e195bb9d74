// The start-up lists over arbitrary bytes: wininit.ini's [Rename] section and the stored form
// of the NT pending list, which the machine's start reads from files and registry values that
// any program may have written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "platform/restart/RestartMoves.h"
#include "platform/restart/Wininit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = win32::ParseWininitRenames(text);
    std::size_t previous = 0;
    for (const auto& rename : parsed.renames) {
        // Operations come in file order and always name what they work on.
        if (rename.line <= previous || rename.source.empty() ||
            (rename.target && rename.target->empty())) {
            std::abort();
        }
        previous = rename.line;
    }

    const auto list = win32::DecodePendingRenames(std::span(data, size));
    // Reading what was written gives the same list back.
    if (win32::DecodePendingRenames(win32::EncodePendingRenames(list)) != list) {
        std::abort();
    }
    return 0;
}
