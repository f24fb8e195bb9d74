// Adding a line to wininit.ini over arbitrary file contents: every line that was there is
// still there, in its order and unchanged; only the new line (and, when the file had no rename
// section, its header) is added, once; and the machine's start reads the new line as its last
// rename. Two lines added at once give what adding them one after the other gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "controls/file/WininitWriter.h"
#include "platform/machine/Text.h"
#include "platform/restart/Wininit.h"

namespace {

constexpr std::string_view kSource = "C:\\TEMP\\QZFUZZ.TMP";
constexpr std::string_view kTarget = "C:\\WINDOWS\\SYSTEM\\QZFUZZ.DLL";

std::vector<std::string_view> Lines(std::string_view text, bool crlfOnly) {
    std::vector<std::string_view> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = crlfOnly ? text.find("\r\n", pos) : text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            if (crlfOnly) {
                std::abort();  // every line written ends in CR LF
            }
            end = text.size();
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string line = Qz_File::RenameLine(kSource, kTarget);
    const std::string written = Qz_File::AddRenameLine(bytes, line);

    const std::string before = machine::text::DecodeFileText(bytes);
    const auto old = Lines(before, false);
    // (As the start reads it: a byte-order mark in front is the file's, not a line's.)
    const std::string writtenText = machine::text::DecodeFileText(written);
    const auto now = Lines(writtenText, true);
    std::size_t kept = 0;
    std::size_t added = 0;
    for (const auto& l : now) {
        if (kept < old.size() && l == old[kept]) {
            ++kept;
        } else if (l == line || l == "[Rename]") {
            ++added;
        } else {
            std::abort();
        }
    }
    if (kept != old.size() || added == 0 || added > 2) {
        std::abort();
    }

    // Read once, as the last rename: after every line that was there.
    const auto renames = win32::ParseWininitRenames(written).renames;
    std::size_t found = 0;
    for (const auto& rename : renames) {
        found += rename.source == kSource && rename.target == kTarget ? 1 : 0;
    }
    const std::size_t renamesBefore = win32::ParseWininitRenames(bytes).renames.size();
    if (renames.empty() || renames.back().source != kSource || renames.back().target != kTarget ||
        renames.size() != renamesBefore + 1 || found == 0) {
        std::abort();
    }

    const std::string second = Qz_File::RenameLine(kSource, "");
    const std::string_view both[] = {line, second};
    if (Qz_File::AddRenameLines(bytes, both) != Qz_File::AddRenameLine(written, second)) {
        std::abort();
    }
    return 0;
}
