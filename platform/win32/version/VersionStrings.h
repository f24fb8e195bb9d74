#pragma once
// The eight standard texts of a version block, read the way the file-properties class of the
// file control reads them: through the first entry of the translation table only (no fallback
// language), a missing or empty value giving an empty text, nothing trimmed. A block without a
// translation table gives eight empty texts even when it holds string tables.

#include <cstdint>
#include <span>
#include <string>

namespace win32 {

struct StandardVersionStrings {
    std::string CompanyName;
    std::string FileDescription;
    std::string FileVersion;
    std::string InternalName;
    std::string LegalCopyright;
    std::string OriginalFilename;
    std::string ProductName;
    std::string ProductVersion;
};

// "040904B0" for language 0x0409 and code page 0x04B0: the first translation entry (two
// little-endian WORDs) as eight upper-case hex digits. An entry shorter than four bytes reads
// the missing bytes as zero.
std::string TranslationKey(std::span<const std::uint8_t> translation);

StandardVersionStrings ReadStandardVersionStrings(std::span<const std::uint8_t> block);

}  // namespace win32
