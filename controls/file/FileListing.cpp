#include "controls/file/FileListing.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <unordered_set>
#include <utility>

#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"

namespace Qz_File {
namespace {

// Lead bytes of U+E000..U+FFFF and the unused lead bytes they become in a key.
constexpr unsigned char kLeadE000 = 0xEE;
constexpr unsigned char kLeadF000 = 0xEF;
constexpr unsigned char kKeyLeadE000 = 0xF5;
constexpr unsigned char kKeyLeadF000 = 0xF6;

int CompareBytes(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    if (common > 0) {
        if (const int c = std::memcmp(a.data(), b.data(), common); c != 0) {
            return c;
        }
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The middle of a partition as the old runtime converted (lo + hi) / 2 to a whole number: a
// half goes to the even neighbour.
std::int64_t Middle(std::int64_t lo, std::int64_t hi) {
    const std::int64_t sum = lo + hi;
    std::int64_t m = sum / 2;
    if (sum % 2 != 0 && m % 2 != 0) {
        ++m;
    }
    return m;
}

}  // namespace

std::string SortKeyOf(std::string_view text) {
    bool ascii = true;
    bool changes = false;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        ascii = ascii && b < 0x80;
        changes = changes || (b >= 'a' && b <= 'z');
    }
    if (ascii) {
        if (!changes) {
            return {};
        }
        std::string key(text);
        for (char& c : key) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 0x20);
            }
        }
        return key;
    }
    std::string key = automation::UCase(text);
    for (std::size_t pos = 0; pos < key.size();) {
        const auto b = static_cast<unsigned char>(key[pos]);
        const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        if (b == kLeadE000 || b == kLeadF000) {
            key[pos] = static_cast<char>(b == kLeadE000 ? kKeyLeadE000 : kKeyLeadF000);
        }
        pos += length;
    }
    return key == text ? std::string() : key;
}

void FileListing::Clear() {
    count_ = 0;
    entries_.clear();
    entries_.shrink_to_fit();
    charBlocks_.clear();
    charBlocks_.shrink_to_fit();
    charsUsed_ = 0;
    folders_.clear();
    folders_.shrink_to_fit();
    order_.clear();
    order_.shrink_to_fit();
    sorted_ = false;
}

std::uint32_t FileListing::AddFolder(std::string_view folder) {
    if (folders_.size() >= std::numeric_limits<std::uint32_t>::max()) {
        automation::Raise(automation::Overflow);
    }
    const std::string key = SortKeyOf(folder);
    folders_.push_back(FolderText{Store(folder, key), static_cast<std::uint32_t>(folder.size()),
                                  static_cast<std::uint32_t>(key.size())});
    return static_cast<std::uint32_t>(folders_.size() - 1);
}

std::uint64_t FileListing::Store(std::string_view text, std::string_view key) {
    const std::size_t size = text.size() + key.size();
    // A text never straddles two blocks; the rest of a full block stays unused. Windows names
    // and paths are far shorter than a block.
    if (size > kCharBlockSize) {
        automation::Raise(automation::InvalidProcedureCall);
    }
    const std::uint64_t blocksEnd = static_cast<std::uint64_t>(charBlocks_.size())
                                    << kCharBlockBits;
    if (charsUsed_ + size > blocksEnd) {
        charBlocks_.push_back(std::make_unique_for_overwrite<char[]>(kCharBlockSize));
        charsUsed_ = blocksEnd;
    }
    const std::uint64_t offset = charsUsed_;
    charsUsed_ += size;
    char* out = charBlocks_[offset >> kCharBlockBits].get() + (offset & (kCharBlockSize - 1));
    std::memcpy(out, text.data(), text.size());
    std::memcpy(out + text.size(), key.data(), key.size());
    return offset;
}

void FileListing::Add(std::string_view name, std::uint32_t folder) {
    if (count_ == std::numeric_limits<std::int32_t>::max()) {
        automation::Raise(automation::Overflow);
    }
    // A name longer than a Windows name can be cannot come from a directory; refusing it keeps
    // the lengths in their fields.
    if (name.size() > std::numeric_limits<std::uint16_t>::max() / 2) {
        automation::Raise(automation::InvalidProcedureCall);
    }
    const std::string key = SortKeyOf(name);
    const std::uint64_t offset = Store(name, key);

    const auto slot = static_cast<std::size_t>(count_);
    if ((slot & (kEntryBlockSize - 1)) == 0) {
        entries_.push_back(std::make_unique_for_overwrite<Entry[]>(kEntryBlockSize));
    }
    entries_[slot >> kEntryBlockBits][slot & (kEntryBlockSize - 1)] =
        Entry{offset, folder, static_cast<std::uint16_t>(name.size()),
              static_cast<std::uint16_t>(key.size())};
    ++count_;
    sorted_ = false;
}

std::string_view FileListing::Name(std::int32_t entry) const {
    const Entry& e = At(entry);
    return {Chars(e.offset), e.nameLength};
}

std::string_view FileListing::Folder(std::int32_t entry) const {
    const FolderText& f = folders_[At(entry).folder];
    return {Chars(f.offset), f.length};
}

std::string_view FileListing::FolderKey(std::uint32_t folder) const {
    const FolderText& f = folders_[folder];
    return f.keyLength == 0 ? std::string_view(Chars(f.offset), f.length)
                            : std::string_view(Chars(f.offset) + f.length, f.keyLength);
}

std::string_view FileListing::KeyOf(const Entry& e) const {
    return e.keyLength == 0 ? std::string_view(Chars(e.offset), e.nameLength)
                            : std::string_view(Chars(e.offset) + e.nameLength, e.keyLength);
}

int FileListing::Compare(std::int32_t a, std::int32_t b) const {
    const Entry& ea = At(a);
    const Entry& eb = At(b);
    if (const int c = CompareBytes(KeyOf(ea), KeyOf(eb)); c != 0) {
        return c;
    }
    if (ea.folder == eb.folder) {
        return 0;
    }
    return CompareBytes(FolderKey(ea.folder), FolderKey(eb.folder));
}

bool FileListing::Sort(const std::function<bool()>& keepGoing) {
    sorted_ = false;
    order_.clear();
    order_.shrink_to_fit();
    order_.resize(static_cast<std::size_t>(count_));
    std::iota(order_.begin(), order_.end(), 0);
    if (count_ == 0) {
        sorted_ = true;
        return true;
    }
    // Every partition is sorted on its own, so the order in which they are taken does not
    // change the result; taking the smaller one first keeps the pending list short whatever
    // the input.
    std::vector<std::pair<std::int64_t, std::int64_t>> pending{{0, count_ - 1}};
    while (!pending.empty()) {
        const auto [lo, hi] = pending.back();
        pending.pop_back();
        if (!keepGoing()) {
            return false;
        }
        const std::int32_t pivot = order_[static_cast<std::size_t>(Middle(lo, hi))];
        std::int64_t i = lo;
        std::int64_t j = hi;
        while (i <= j) {
            while (i < hi && Compare(order_[static_cast<std::size_t>(i)], pivot) < 0) {
                ++i;
            }
            while (j > lo && Compare(pivot, order_[static_cast<std::size_t>(j)]) < 0) {
                --j;
            }
            if (i <= j) {
                std::swap(order_[static_cast<std::size_t>(i)], order_[static_cast<std::size_t>(j)]);
                ++i;
                --j;
            }
        }
        const bool left = lo < j;
        const bool right = i < hi;
        if (left && right && j - lo < hi - i) {
            pending.emplace_back(i, hi);
            pending.emplace_back(lo, j);
        } else {
            if (left) {
                pending.emplace_back(lo, j);
            }
            if (right) {
                pending.emplace_back(i, hi);
            }
        }
    }
    sorted_ = true;
    return true;
}

std::string FileListing::File(std::int32_t position) const {
    const std::int32_t entry = order_[static_cast<std::size_t>(position)];
    const Entry& e = At(entry);
    const std::string_view folder = Folder(entry);
    std::string path;
    path.reserve(folder.size() + e.nameLength);
    path += folder;
    path.append(Chars(e.offset), e.nameLength);
    return path;
}

std::int32_t FileListing::DistinctNames() const {
    std::unordered_set<std::string_view> names;
    names.reserve(static_cast<std::size_t>(count_));
    for (std::int32_t k = 0; k < count_; ++k) {
        names.insert(KeyOf(At(k)));
    }
    return static_cast<std::int32_t>(names.size());
}

}  // namespace Qz_File
