#include <string>

#include "platform/restart/RestartMoves.h"

namespace win32 {
namespace {

// The pending list is the REG_MULTI_SZ value PendingFileRenameOperations of
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager, laid out as the NT family lays it
// out (only the text is UTF-8 here, as every string of this registry): one pair of strings
// per operation, each string ending in a NUL, and one more NUL after the last pair.
//
//   \??\C:\TEMP\VLT1.TMP  NUL  !\??\C:\WINDOWS\SYSTEM32\A.DLL  NUL    move, replacing the target
//   \??\C:\TEMP\B.TMP     NUL  \??\C:\B.DLL                    NUL    move, keep an existing target
//   \??\C:\OLD\C.DLL      NUL                                  NUL    delete (empty second string)
//                         NUL                                         end of the list
//
// Sources and targets are full paths behind the "\??\" prefix; a "!" before the target's
// prefix asks for an existing target to be replaced.
constexpr std::string_view kPrefix = "\\??\\";

void AppendString(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

std::string WithoutPrefix(std::string_view text) {
    if (text.starts_with(kPrefix)) {
        text.remove_prefix(kPrefix.size());
    }
    return std::string(text);
}

}  // namespace

std::vector<std::uint8_t> EncodePendingRenames(std::span<const PendingRename> list) {
    std::vector<std::uint8_t> out;
    for (const PendingRename& entry : list) {
        AppendString(out, std::string(kPrefix) + entry.source);
        if (entry.target) {
            AppendString(out,
                         (entry.replaceExisting ? "!" : "") + std::string(kPrefix) + *entry.target);
        } else {
            out.push_back(0);
        }
    }
    out.push_back(0);
    return out;
}

std::vector<PendingRename> DecodePendingRenames(std::span<const std::uint8_t> data) {
    std::vector<std::string> strings;
    std::string current;
    for (const std::uint8_t byte : data) {
        if (byte == 0) {
            strings.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(static_cast<char>(byte));
        }
    }
    if (!current.empty()) {
        strings.push_back(std::move(current));
    }
    std::vector<PendingRename> list;
    for (std::size_t i = 0; i < strings.size() && !strings[i].empty(); i += 2) {
        PendingRename entry;
        entry.source = WithoutPrefix(strings[i]);
        std::string_view target = i + 1 < strings.size() ? strings[i + 1] : std::string_view{};
        const bool replace = target.starts_with('!');
        if (replace) {
            target.remove_prefix(1);
        }
        // As the start reads it: nothing left after "!" and the prefix means delete.
        if (std::string path = WithoutPrefix(target); !path.empty()) {
            entry.target = std::move(path);
            entry.replaceExisting = replace;
        }
        list.push_back(std::move(entry));
    }
    return list;
}

}  // namespace win32
