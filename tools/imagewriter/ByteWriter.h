#pragma once
// Little-endian output buffer and the text encodings the image formats store.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace imagewriter {

class ByteWriter {
  public:
    std::size_t Size() const { return bytes_.size(); }
    std::vector<std::uint8_t>& Bytes() { return bytes_; }

    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void U64(std::uint64_t v) {
        U32(static_cast<std::uint32_t>(v));
        U32(static_cast<std::uint32_t>(v >> 32));
    }
    void Append(const std::vector<std::uint8_t>& data) {
        bytes_.insert(bytes_.end(), data.begin(), data.end());
    }
    void Append(std::string_view text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
    void Zeros(std::size_t n) { bytes_.resize(bytes_.size() + n); }
    void AlignTo(std::size_t alignment) {
        Zeros((alignment - bytes_.size() % alignment) % alignment);
    }
    void PutU16(std::size_t at, std::uint16_t v) {
        bytes_[at] = static_cast<std::uint8_t>(v);
        bytes_[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void PutU32(std::size_t at, std::uint32_t v) {
        PutU16(at, static_cast<std::uint16_t>(v));
        PutU16(at + 2, static_cast<std::uint16_t>(v >> 16));
    }

  private:
    std::vector<std::uint8_t> bytes_;
};

inline std::size_t AlignUp(std::size_t n, std::size_t alignment) {
    return (n + alignment - 1) / alignment * alignment;
}

// UTF-8 to UTF-16 code units; throws std::invalid_argument for malformed UTF-8.
std::u16string EncodeUtf16(std::string_view utf8);

// UTF-8 to Windows-1252 bytes; throws std::invalid_argument for characters outside the code
// page.
std::string EncodeCp1252(std::string_view utf8);

// Upper-case hexadecimal of `value` in `digits` digits.
std::string Hex(std::uint32_t value, int digits);

}  // namespace imagewriter
