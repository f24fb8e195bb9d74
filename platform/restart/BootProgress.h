#pragma once
// How far the machine's start got through its two lists, kept in the machine folder so that
// a start cut short (killed, the host going down) goes on where it stopped instead of
// carrying out again, and reporting as failed, every line it had done.
//
// The file MACHINE/boot.progress, text, rewritten in place one record at a time (a record is
// one write of one fixed-length line, so a kill never leaves half of one):
//
//   velto boot progress 1
//   wininit done=0000000012 hash=9c1e6d0f32ab77e1 state=S sum=1a2b3c4d
//   pending done=0000000000 hash=cbf29ce484222325 state=- sum=5e6f7081
//
// `done` operations of the list (wininit.ini's rename lines, or the pending list's entries,
// in order) were carried out, whatever their result; `hash` chains the source and target of
// each of them (FNV-1a, 64 bits), so the record only counts for a list that still starts with
// those very operations; state S says the next one was begun (its source was there just
// before), "-" that it was not. `sum` checks the rest of the line; a line that does not match
// it counts as no progress. The file goes once both lists are through.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace win32 {

class BootProgress {
  public:
    enum class List { Wininit = 0, Pending = 1 };

    struct Record {
        std::uint64_t done = 0;
        std::uint64_t hash = kStartHash;
        bool started = false;

        bool empty() const { return done == 0 && !started; }
        bool operator==(const Record&) const = default;
    };
    static constexpr std::uint64_t kStartHash = 0xcbf29ce484222325ULL;

    // The hash after one more operation.
    static std::uint64_t Chain(std::uint64_t hash, std::string_view source,
                               const std::optional<std::string>& target);

    // Opens (or creates) the file and takes its lock, so that two starts of one machine run
    // one after the other; error() tells when it cannot be used.
    explicit BootProgress(std::filesystem::path file);
    ~BootProgress();
    BootProgress(const BootProgress&) = delete;
    BootProgress& operator=(const BootProgress&) = delete;

    // 0 or the errno that keeps progress from being recorded.
    int error() const { return error_; }
    const std::filesystem::path& file() const { return file_; }

    Record Get(List list) const;
    // 0 or an errno; nothing is written once the file cannot be used.
    int Put(List list, const Record& record);

  private:
    std::filesystem::path file_;
    int fd_ = -1;
    int error_ = 0;
    Record records_[2];
};

}  // namespace win32
