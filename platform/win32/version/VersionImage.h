#pragma once
// The image a version resource is read from, and the lookups of the two executable formats.
// Readers fetch only the few structures they walk, so a lookup touches a handful of pages of
// a file however large it is.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace win32 {

class ImageSource {
  public:
    virtual ~ImageSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Fills `out` from `offset`; false when the range is not wholly inside the image or the
    // read fails.
    virtual bool Read(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

class MemoryImageSource final : public ImageSource {
  public:
    explicit MemoryImageSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override;

  private:
    std::span<const std::uint8_t> bytes_;
};

// Where a resource's bytes lie in the image, or the Win32 error code saying why there are none.
struct ResourceLookup {
    std::optional<std::uint64_t> offset;
    std::uint32_t size = 0;
    std::uint32_t error = 0;
};

// RT_VERSION, name 1, of a PE32 or PE32+ image whose "PE\0\0" signature is at `peOffset`.
ResourceLookup FindPeVersionResource(ImageSource& image, std::uint64_t peOffset);

// RT_VERSION, name 1, of a 16-bit NE image whose "NE" signature is at `neOffset`.
ResourceLookup FindNeVersionResource(ImageSource& image, std::uint64_t neOffset);

// The version resource of a virtual device driver whose "LE" signature is at `leOffset`.
ResourceLookup FindLeVersionResource(ImageSource& image, std::uint64_t leOffset);

// Little-endian reads from bytes already fetched; callers check the bounds.
inline std::uint16_t ReadU16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t ReadU32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(ReadU16(b, at)) |
           (static_cast<std::uint32_t>(ReadU16(b, at + 2)) << 16);
}

}  // namespace win32
