#pragma once
// One of a prefix's registry files as the lines it was read from. A key's block (its key line,
// the "#time", "#class" and "#link" lines, its values and whatever follows them up to the next
// key line) is written back byte for byte until something in it changes; then only the
// changed parts are written as Wine writes them: the key line and "#time" line with the time
// of the change, a changed or new value, nothing for a deleted one. New keys go at the end.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wine/WineRegText.h"

namespace wine {

inline constexpr std::string_view kHiveSignature = "WINE REGISTRY Version 2";

class HiveFile {
  public:
    struct Item {
        // The text read, with its line end; empty once the value was changed or is new.
        std::string raw;
        // Set for a value line; other lines (blank lines, comments) are only kept.
        std::optional<ValueLine> value;
        std::string foldedName;
    };

    struct Block {
        KeyLine key;
        std::string keyRaw;
        // "#time", "#class", "#link" ... lines in their order, with their line ends.
        std::vector<std::string> meta;
        std::uint64_t filetime = 0;
        bool link = false;
        std::vector<Item> items;
        // The key line and "#time" line are written anew.
        bool touched = false;
        bool removed = false;
        // Not in the file read: written after every block that was.
        bool added = false;
    };

    // Throws std::invalid_argument when the text is not a Wine registry file.
    static HiveFile Parse(std::string_view text);
    // A file that does not exist yet: the header Wine writes for `relativeTo`
    // ("REGISTRY\\User\\.Default") and the prefix's architecture line.
    static HiveFile Empty(std::string_view relativeTo, std::string_view archLine);

    std::string Serialize() const;

    // The lines before the first key.
    const std::string& header() const { return header_; }
    // "REGISTRY\Machine" as the header names the file's root, unescaped; empty when missing.
    std::string relativeTo() const;
    // "#arch=win64" (without line end) or empty.
    std::string archLine() const;

    std::vector<Block>& blocks() { return blocks_; }
    const std::vector<Block>& blocks() const { return blocks_; }

    // Sets or adds a value of a block (a new one after the block's last value).
    static void SetValue(Block& block, ValueLine value);
    // False when the block has no such value.
    static bool DeleteValue(Block& block, std::string_view foldedName);
    static const Item* FindValue(const Block& block, std::string_view foldedName);
    // Marks the block changed now.
    static void Touch(Block& block, std::uint64_t filetime);

  private:
    std::string header_;
    std::vector<Block> blocks_;
};

}  // namespace wine
