#include "platform/restart/BootProgress.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/win32/ntdll/HostFiles.h"

namespace win32 {
namespace {

constexpr std::string_view kHeader = "velto boot progress 1\n";
constexpr std::size_t kRecordLength = 67;
constexpr const char* kNames[] = {"wininit", "pending"};

std::uint32_t Sum(std::string_view text) {
    std::uint32_t sum = 0x811c9dc5U;
    for (const char c : text) {
        sum = (sum ^ static_cast<unsigned char>(c)) * 0x01000193U;
    }
    return sum;
}

std::string Format(BootProgress::List list, const BootProgress::Record& record) {
    char line[kRecordLength + 1];
    const int n = std::snprintf(
        line, sizeof line, "%s done=%010" PRIu64 " hash=%016" PRIx64 " state=%c",
        kNames[static_cast<int>(list)], record.done, record.hash, record.started ? 'S' : '-');
    std::string text(line, static_cast<std::size_t>(n));
    char sum[16];
    std::snprintf(sum, sizeof sum, " sum=%08" PRIx32 "\n", Sum(text));
    return text + sum;
}

std::optional<BootProgress::Record> Parse(BootProgress::List list, std::string_view line) {
    if (line.size() != kRecordLength) {
        return std::nullopt;
    }
    unsigned long long done = 0;
    unsigned long long hash = 0;
    char state = 0;
    const std::string text(line);
    char name[8] = {};
    if (std::sscanf(text.c_str(), "%7s done=%10llu hash=%16llx state=%c", name, &done, &hash,
                    &state) != 4 ||
        std::strcmp(name, kNames[static_cast<int>(list)]) != 0 || (state != 'S' && state != '-')) {
        return std::nullopt;
    }
    BootProgress::Record record{done, hash, state == 'S'};
    if (Format(list, record) != line) {
        return std::nullopt;
    }
    return record;
}

int WriteAll(int fd, std::string_view data, off_t at) {
    while (!data.empty()) {
        const ssize_t n = ::pwrite(fd, data.data(), data.size(), at);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
        at += n;
    }
    return 0;
}

}  // namespace

std::uint64_t BootProgress::Chain(std::uint64_t hash, std::string_view source,
                                  const std::optional<std::string>& target) {
    const auto mix = [&hash](std::string_view text) {
        for (const char c : text) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
        }
    };
    mix(source);
    mix(std::string_view("\0", 1));
    mix(target ? std::string_view(*target) : std::string_view("\x01NUL"));
    mix("\n");
    return hash;
}

BootProgress::BootProgress(std::filesystem::path file) : file_(std::move(file)) {
    // The file goes when a start is through; a start that waited for the lock meanwhile
    // holds a file nobody will see again, and opens the new one.
    for (;;) {
        fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        if (error_ = host::LockExclusive(fd_); error_ != 0) {
            return;
        }
        struct stat opened;
        struct stat named;
        if (::fstat(fd_, &opened) != 0) {
            error_ = errno;
            return;
        }
        if (!S_ISREG(opened.st_mode)) {
            error_ = EACCES;
            return;
        }
        if (::stat(file_.c_str(), &named) == 0 && named.st_ino == opened.st_ino &&
            named.st_dev == opened.st_dev) {
            break;
        }
        ::close(fd_);
    }
    std::string content(kHeader.size() + 2 * kRecordLength, '\0');
    const ssize_t n = ::pread(fd_, content.data(), content.size(), 0);
    if (n == static_cast<ssize_t>(content.size()) && content.starts_with(kHeader)) {
        for (int i = 0; i < 2; ++i) {
            const auto list = static_cast<List>(i);
            const auto line = std::string_view(content).substr(
                kHeader.size() + static_cast<std::size_t>(i) * kRecordLength, kRecordLength);
            records_[i] = Parse(list, line).value_or(Record{});
        }
        return;
    }
    // New, or not a record at all: a start from the top.
    std::string fresh(kHeader);
    fresh += Format(List::Wininit, {});
    fresh += Format(List::Pending, {});
    if (const int err = WriteAll(fd_, fresh, 0);
        err != 0 || ::ftruncate(fd_, 0 + static_cast<off_t>(fresh.size())) != 0) {
        error_ = err != 0 ? err : errno;
    }
}

BootProgress::~BootProgress() {
    if (fd_ < 0) {
        return;
    }
    if (error_ == 0 && records_[0].empty() && records_[1].empty()) {
        ::unlink(file_.c_str());
    }
    ::close(fd_);
}

BootProgress::Record BootProgress::Get(List list) const {
    return records_[static_cast<int>(list)];
}

int BootProgress::Put(List list, const Record& record) {
    if (error_ != 0) {
        return error_;
    }
    const int i = static_cast<int>(list);
    const off_t at =
        static_cast<off_t>(kHeader.size() + static_cast<std::size_t>(i) * kRecordLength);
    if (const int err = WriteAll(fd_, Format(list, record), at); err != 0) {
        error_ = err;
        return err;
    }
    records_[i] = record;
    return 0;
}

}  // namespace win32
