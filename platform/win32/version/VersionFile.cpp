#include "platform/win32/version/VersionFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

#include "platform/win32/ntdll/Descriptor.h"
#include "platform/win32/ntdll/LastError.h"
#include "platform/win32/version/VersionErrors.h"

namespace win32 {

bool FileImageSource::Read(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > size_ || size_ - offset < out.size()) {
        return false;
    }
    if (out.size() > kPageSize) {
        return ReadFully(offset, out);
    }
    while (!out.empty()) {
        const Page* page = Fetch(offset / kPageSize);
        if (page == nullptr) {
            return false;
        }
        const std::size_t within = offset % kPageSize;
        const std::size_t n = std::min(out.size(), page->bytes.size() - within);
        std::copy_n(page->bytes.begin() + static_cast<std::ptrdiff_t>(within), n, out.begin());
        out = out.subspan(n);
        offset += n;
    }
    return true;
}

const FileImageSource::Page* FileImageSource::Fetch(std::uint64_t number) {
    ++clock_;
    for (Page& p : pages_) {
        if (p.number == number && !p.bytes.empty()) {
            p.lastUse = clock_;
            return &p;
        }
    }
    Page& victim =
        *std::min_element(pages_.begin(), pages_.end(),
                          [](const Page& a, const Page& b) { return a.lastUse < b.lastUse; });
    const std::uint64_t start = number * kPageSize;
    victim.bytes.resize(std::min<std::uint64_t>(kPageSize, size_ - start));
    if (!ReadFully(start, victim.bytes)) {
        victim.bytes.clear();
        return nullptr;
    }
    victim.number = number;
    victim.lastUse = clock_;
    return &victim;
}

bool FileImageSource::ReadFully(std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n =
            ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error_ = errno;
            return false;
        }
        if (n == 0) {
            return false;  // the file shrank since it was opened
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

// Runs `read` on the host file as an image; the Win32 code of a file that cannot be read as
// one (see LoadVersionResourceFromFile) goes to `fail` instead.
template <class Result, class Read, class Fail>
Result WithImageFile(const std::filesystem::path& hostPath, Read read, Fail fail) {
    // Non-blocking, so that a named pipe posing as a file cannot stall the open.
    const Descriptor fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        return fail(Win32ErrorFromErrno(errno));
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) {
        return fail(Win32ErrorFromErrno(errno));
    }
    if (S_ISDIR(st.st_mode)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    if (!S_ISREG(st.st_mode)) {
        return fail(ERROR_RESOURCE_DATA_NOT_FOUND);
    }
    FileImageSource source(fd.get(), static_cast<std::uint64_t>(st.st_size));
    Result result = read(source);
    if (source.Error() != 0) {
        return fail(Win32ErrorFromErrno(source.Error()));
    }
    return result;
}

}  // namespace

VersionLoadResult LoadVersionResourceFromFile(const std::filesystem::path& hostPath) {
    return WithImageFile<VersionLoadResult>(
        hostPath, [](ImageSource& source) { return LoadVersionResource(source); },
        [](DWORD error) {
            return VersionLoadResult{{}, error};
        });
}

namespace {

// A device or pipe is a file that is no image, not a failure to read one.
std::optional<ImageMachine> MachineOfUnreadable(DWORD code) {
    return code == ERROR_RESOURCE_DATA_NOT_FOUND ? std::optional(ImageMachine{}) : std::nullopt;
}

}  // namespace

std::optional<ImageMachine> ImageMachineOfFile(const std::filesystem::path& hostPath,
                                               DWORD& error) {
    error = 0;
    return WithImageFile<std::optional<ImageMachine>>(
        hostPath, [](ImageSource& source) { return std::optional(ReadImageMachine(source)); },
        [&error](DWORD code) {
            error = code;
            return MachineOfUnreadable(code);
        });
}

WineModule WineModuleOfFile(const std::filesystem::path& hostPath) {
    return WithImageFile<WineModule>(
        hostPath, [](ImageSource& source) { return ReadWineMark(source); },
        [](DWORD) { return WineModule{}; });
}

ImageFacts ReadImageFacts(const std::filesystem::path& hostPath) {
    return WithImageFile<ImageFacts>(
        hostPath,
        [](ImageSource& source) {
            ImageFacts facts;
            facts.machine = ReadImageMachine(source);
            facts.version = LoadVersionResource(source);
            facts.wine = ReadWineMark(source);
            return facts;
        },
        [](DWORD code) {
            return ImageFacts{VersionLoadResult{{}, code}, MachineOfUnreadable(code), {}};
        });
}

}  // namespace win32
