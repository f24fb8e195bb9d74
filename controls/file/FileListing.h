// The entries of one directory listing and their sorted order.
//
// An entry is a file name exactly as the directory returned it and the folder it was found in.
// Names live in large character blocks and each folder text is stored once, so a listing of a
// million files costs a few dozen bytes per file; nothing is moved once stored. The sort key of
// an entry (its upper-cased name, then its upper-cased folder) is computed once, when the entry
// is added, and the sort moves only 32-bit positions.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Qz_File {

class FileListing {
  public:
    FileListing() = default;
    FileListing(const FileListing&) = delete;
    FileListing& operator=(const FileListing&) = delete;

    // Drops every entry and the sorted order, and gives the memory back.
    void Clear();

    std::int32_t Count() const { return count_; }

    // Stores a folder text (ending in "\") for the entries found in it; returns its number.
    std::uint32_t AddFolder(std::string_view folder);
    // Appends an entry; raises run-time error 6 when the count would leave the 32-bit range.
    void Add(std::string_view name, std::uint32_t folder);

    // Entry `entry` in discovery order.
    std::string_view Name(std::int32_t entry) const;
    std::string_view Folder(std::int32_t entry) const;

    // Sorts by (upper-cased name, upper-cased folder), compared code unit by code unit, with
    // the partitioning rule whose effect on entries with equal keys callers can see: two names
    // that differ only in case, in one folder, come out in the order this rule gives them.
    // `keepGoing` runs before each partition; when it returns false the sort stops, the
    // order is left incomplete and the result is false.
    bool Sort(const std::function<bool()>& keepGoing);
    bool Sorted() const { return sorted_; }

    // Folder followed by name of the entry at sorted position `position` (0-based); the
    // listing must be sorted and the position valid.
    std::string File(std::int32_t position) const;

    // How many different names the entries carry, names compared as upper-cased text.
    std::int32_t DistinctNames() const;

  private:
    struct Entry {
        std::uint64_t offset;  // of the name in the character blocks; a distinct key follows it
        std::uint32_t folder;
        std::uint16_t nameLength;
        std::uint16_t keyLength;  // 0: the key is the name itself
    };
    // A folder text, stored like a name: most listings have thousands of folders.
    struct FolderText {
        std::uint64_t offset;
        std::uint32_t length;
        std::uint32_t keyLength;
    };
    static constexpr std::size_t kEntryBlockBits = 16;
    static constexpr std::size_t kEntryBlockSize = std::size_t{1} << kEntryBlockBits;
    static constexpr std::size_t kCharBlockBits = 20;
    static constexpr std::size_t kCharBlockSize = std::size_t{1} << kCharBlockBits;

    const Entry& At(std::int32_t entry) const {
        const auto e = static_cast<std::size_t>(entry);
        return entries_[e >> kEntryBlockBits][e & (kEntryBlockSize - 1)];
    }
    const char* Chars(std::uint64_t offset) const {
        return charBlocks_[offset >> kCharBlockBits].get() + (offset & (kCharBlockSize - 1));
    }
    std::string_view KeyOf(const Entry& entry) const;
    std::string_view FolderKey(std::uint32_t folder) const;
    // Stores a text and, when it is not empty, its key right after it; returns the offset.
    std::uint64_t Store(std::string_view text, std::string_view key);
    int Compare(std::int32_t a, std::int32_t b) const;

    std::int32_t count_ = 0;
    std::vector<std::unique_ptr<Entry[]>> entries_;
    std::vector<std::unique_ptr<char[]>> charBlocks_;
    std::uint64_t charsUsed_ = 0;
    std::vector<FolderText> folders_;
    std::vector<std::int32_t> order_;
    bool sorted_ = false;
};

// The sort key of a name or folder: its upper-cased text, with the characters U+E000 to
// U+FFFF recoded so that comparing the bytes gives the order of UTF-16 code units (in which
// those characters follow the ones beyond U+FFFF). Empty when the key is the text itself.
std::string SortKeyOf(std::string_view text);

}  // namespace Qz_File
