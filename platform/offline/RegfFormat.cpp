#include "platform/offline/RegfFormat.h"

#include <algorithm>
#include <stdexcept>

namespace offline {
namespace {

constexpr std::size_t kBinHeaderSize = 32;
constexpr std::size_t kBinSize = 4096;
// Where the root key's cell starts inside the bins, as Windows places it.
constexpr std::uint32_t kRootCell = kBinHeaderSize;
constexpr std::size_t kKeyNodeFixedSize = 76;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
// HIVE_ENTRY | NO_DELETE | COMP_NAME (the name is kept in 8-bit characters).
constexpr std::uint16_t kRootKeyFlags = 0x2C;

std::size_t RoundedCell(std::size_t size) {
    return (size + 7) & ~std::size_t{7};
}

void WriteLe16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void WriteLe64(std::span<std::uint8_t> bytes, std::size_t at, std::uint64_t value) {
    WriteLe32(bytes, at, static_cast<std::uint32_t>(value));
    WriteLe32(bytes, at + 4, static_cast<std::uint32_t>(value >> 32));
}

// A security identifier S-1-5-<sub>...: revision, count, authority 5 (NT), sub-authorities.
std::vector<std::uint8_t> NtSid(std::initializer_list<std::uint32_t> subAuthorities) {
    std::vector<std::uint8_t> sid = {
        1, static_cast<std::uint8_t>(subAuthorities.size()), 0, 0, 0, 0, 0, 5};
    for (const std::uint32_t sub : subAuthorities) {
        sid.resize(sid.size() + 4);
        WriteLe32(sid, sid.size() - 4, sub);
    }
    return sid;
}

// A self-relative security descriptor: owner Administrators, group SYSTEM, and a DACL whose
// entries keys below inherit (CONTAINER_INHERIT).
std::vector<std::uint8_t> SecurityDescriptor() {
    constexpr std::uint32_t kKeyAllAccess = 0xF003F;
    constexpr std::uint32_t kKeyRead = 0x20019;
    const auto system = NtSid({18});
    const auto administrators = NtSid({32, 544});
    const auto users = NtSid({32, 545});
    std::vector<std::uint8_t> acl(8);
    std::uint16_t aces = 0;
    for (const auto& [sid, mask] :
         {std::pair{system, kKeyAllAccess}, std::pair{administrators, kKeyAllAccess},
          std::pair{users, kKeyRead}}) {
        const std::size_t at = acl.size();
        acl.resize(at + 8 + sid.size());
        acl[at] = 0;      // ACCESS_ALLOWED_ACE_TYPE
        acl[at + 1] = 2;  // CONTAINER_INHERIT_ACE
        WriteLe16(acl, at + 2, static_cast<std::uint16_t>(8 + sid.size()));
        WriteLe32(acl, at + 4, mask);
        std::copy(sid.begin(), sid.end(), acl.begin() + static_cast<std::ptrdiff_t>(at + 8));
        ++aces;
    }
    acl[0] = 2;  // ACL_REVISION
    WriteLe16(acl, 2, static_cast<std::uint16_t>(acl.size()));
    WriteLe16(acl, 4, aces);

    constexpr std::size_t kHeader = 20;
    std::vector<std::uint8_t> sd(kHeader);
    sd[0] = 1;                 // revision
    WriteLe16(sd, 2, 0x8004);  // SE_SELF_RELATIVE | SE_DACL_PRESENT
    const std::size_t daclAt = sd.size();
    sd.insert(sd.end(), acl.begin(), acl.end());
    const std::size_t ownerAt = sd.size();
    sd.insert(sd.end(), administrators.begin(), administrators.end());
    const std::size_t groupAt = sd.size();
    sd.insert(sd.end(), system.begin(), system.end());
    WriteLe32(sd, 4, static_cast<std::uint32_t>(ownerAt));
    WriteLe32(sd, 8, static_cast<std::uint32_t>(groupAt));
    WriteLe32(sd, 16, static_cast<std::uint32_t>(daclAt));
    return sd;
}

}  // namespace

std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) |
           (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

void WriteLe32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

bool RegfHeader::checksumValid() const {
    if (storedChecksum == computedChecksum) {
        return true;
    }
    return (computedChecksum == 0 && storedChecksum == 1) ||
           (computedChecksum == 0xFFFFFFFF && storedChecksum == 0xFFFFFFFE);
}

std::uint32_t RegfChecksum(std::span<const std::uint8_t> baseBlock) {
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < kChecksumOffset; at += 4) {
        sum ^= ReadLe32(baseBlock, at);
    }
    return sum;
}

std::optional<RegfHeader> ReadRegfHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kChecksumOffset + 4 || bytes[0] != 'r' || bytes[1] != 'e' ||
        bytes[2] != 'g' || bytes[3] != 'f') {
        return std::nullopt;
    }
    RegfHeader header;
    header.primarySequence = ReadLe32(bytes, 4);
    header.secondarySequence = ReadLe32(bytes, 8);
    header.lastWritten = ReadLe32(bytes, 12) | (std::uint64_t{ReadLe32(bytes, 16)} << 32);
    header.major = ReadLe32(bytes, 20);
    header.minor = ReadLe32(bytes, 24);
    header.fileType = ReadLe32(bytes, 28);
    header.rootCell = ReadLe32(bytes, 36);
    header.binsSize = ReadLe32(bytes, 40);
    header.storedChecksum = ReadLe32(bytes, kChecksumOffset);
    header.computedChecksum = RegfChecksum(bytes);
    return header;
}

void SealBaseBlock(std::span<std::uint8_t> baseBlock, std::uint64_t filetime) {
    for (;; ++filetime) {
        WriteLe64(baseBlock, 12, filetime);
        const std::uint32_t sum = RegfChecksum(baseBlock);
        if (sum != 0 && sum != 0xFFFFFFFF) {
            WriteLe32(baseBlock, kChecksumOffset, sum);
            return;
        }
    }
}

std::vector<std::uint8_t> EmptyHive(std::string_view rootName, std::uint32_t minor,
                                    std::uint64_t filetime) {
    constexpr std::size_t kLongestRootName = 64;
    if (rootName.empty() || rootName.size() > kLongestRootName ||
        !std::all_of(rootName.begin(), rootName.end(),
                     [](char c) { return c > ' ' && c < 0x7F && c != '\\'; })) {
        throw std::invalid_argument("a hive's root name is 1 to 64 printable ASCII characters");
    }
    std::vector<std::uint8_t> hive(kBaseBlockSize + kBinSize, 0);
    const std::span<std::uint8_t> bytes(hive);
    const std::span<std::uint8_t> bin = bytes.subspan(kBaseBlockSize);

    bin[0] = 'h';
    bin[1] = 'b';
    bin[2] = 'i';
    bin[3] = 'n';
    WriteLe32(bin, 4, 0);
    WriteLe32(bin, 8, static_cast<std::uint32_t>(kBinSize));
    WriteLe64(bin, 20, filetime);

    const std::size_t keySize = RoundedCell(4 + kKeyNodeFixedSize + rootName.size());
    const auto securityCell = static_cast<std::uint32_t>(kRootCell + keySize);
    const std::span<std::uint8_t> key = bin.subspan(kRootCell);
    WriteLe32(key, 0, static_cast<std::uint32_t>(-static_cast<std::int32_t>(keySize)));
    const std::span<std::uint8_t> nk = key.subspan(4);
    nk[0] = 'n';
    nk[1] = 'k';
    WriteLe16(nk, 2, kRootKeyFlags);
    WriteLe64(nk, 4, filetime);
    WriteLe32(nk, 16, kNone);                          // parent: none for the root
    for (const std::size_t none : {28, 32, 40, 48}) {  // subkey lists, values, class
        WriteLe32(nk, none, kNone);
    }
    WriteLe32(nk, 44, securityCell);
    WriteLe16(nk, 72, static_cast<std::uint16_t>(rootName.size()));
    std::copy(rootName.begin(), rootName.end(), nk.begin() + kKeyNodeFixedSize);

    const auto descriptor = SecurityDescriptor();
    const std::size_t securitySize = RoundedCell(4 + 20 + descriptor.size());
    const std::span<std::uint8_t> security = bin.subspan(securityCell);
    WriteLe32(security, 0, static_cast<std::uint32_t>(-static_cast<std::int32_t>(securitySize)));
    security[4] = 's';
    security[5] = 'k';
    // A single descriptor is a list of one: it is its own neighbour on both sides.
    WriteLe32(security, 8, securityCell);
    WriteLe32(security, 12, securityCell);
    WriteLe32(security, 16, 1);  // the root key uses it
    WriteLe32(security, 20, static_cast<std::uint32_t>(descriptor.size()));
    std::copy(descriptor.begin(), descriptor.end(), security.begin() + 24);

    // The rest of the bin is one free cell (its size positive).
    const std::size_t freeAt = securityCell + securitySize;
    WriteLe32(bin, freeAt, static_cast<std::uint32_t>(kBinSize - freeAt));

    bytes[0] = 'r';
    bytes[1] = 'e';
    bytes[2] = 'g';
    bytes[3] = 'f';
    WriteLe32(bytes, 4, 1);
    WriteLe32(bytes, 8, 1);
    WriteLe32(bytes, 20, 1);
    WriteLe32(bytes, 24, minor);
    WriteLe32(bytes, 28, 0);  // a hive, not a log
    WriteLe32(bytes, 32, 1);  // direct memory load
    WriteLe32(bytes, 36, kRootCell);
    WriteLe32(bytes, 40, static_cast<std::uint32_t>(kBinSize));
    WriteLe32(bytes, 44, 1);
    SealBaseBlock(bytes.first(kBaseBlockSize), filetime);
    return hive;
}

}  // namespace offline
