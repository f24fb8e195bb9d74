#pragma once
// Version resources of host files.

#include <array>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/win32/ntdll/WinError.h"
#include "platform/win32/version/VersionResource.h"
#include "platform/win32/version/WineMark.h"

namespace win32 {

// An open host file as an image. Reads go through a few cached pages: the headers of an image
// share its first page and the resource tree the first pages of its resource section, so a
// lookup costs a handful of reads. Larger reads (the version block itself) go straight to the
// file. The descriptor stays the caller's.
class FileImageSource final : public ImageSource {
  public:
    FileImageSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override;

    // The errno of a failed read, which outranks whatever a parser concluded from it.
    int Error() const { return error_; }

  private:
    static constexpr std::size_t kPageSize = 4096;
    static constexpr std::size_t kPages = 4;

    struct Page {
        std::uint64_t number = 0;
        std::vector<std::uint8_t> bytes;  // shorter than a page at the end of the file
        std::uint64_t lastUse = 0;
    };

    const Page* Fetch(std::uint64_t number);
    bool ReadFully(std::uint64_t offset, std::span<std::uint8_t> out);

    int fd_;
    std::uint64_t size_;
    int error_ = 0;
    std::array<Page, kPages> pages_;
    std::uint64_t clock_ = 0;
};

// Reads the version resource of a host file, fetching only the structures the lookup walks.
// A file that cannot be opened or read gives the Win32 code of that failure; a folder gives
// ERROR_ACCESS_DENIED, as opening one does on Windows; a device or pipe is no image.
VersionLoadResult LoadVersionResourceFromFile(const std::filesystem::path& hostPath);

// The image kind of a host file (NotAnImage for one that is no image); nullopt, with the Win32
// code in `error`, when it cannot be read.
std::optional<ImageMachine> ImageMachineOfFile(const std::filesystem::path& hostPath, DWORD& error);

// Wine's mark on a host file (WineMark.h); none for a file that cannot be read.
WineModule WineModuleOfFile(const std::filesystem::path& hostPath);

// Both of the above through one open of the file: what LoadVersionResourceFromFile and
// ImageMachineOfFile would give, and Wine's mark on it.
struct ImageFacts {
    VersionLoadResult version;
    std::optional<ImageMachine> machine;
    WineModule wine;
};
ImageFacts ReadImageFacts(const std::filesystem::path& hostPath);

}  // namespace win32
