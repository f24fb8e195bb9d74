// What waits for the next start of the machine, as MoveOnRestart adds to it: the [Rename]
// lines of wininit.ini on the 9x family, the pending list on the NT family, each in the order
// the start carries them out (platform/restart/Boot.h). MoveOnRestart asks here whether an
// operation is waiting already, so that a second run after an interrupted one does not schedule it
// twice, and how a path is to be written so that the start reads it back exactly.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Qz_File {

struct PendingOperation {
    // Full Windows paths.
    std::string source;
    // Absent: delete the source.
    std::optional<std::string> target;
};

// The [Rename] lines of wininit.ini, given its content (empty: no file).
std::vector<PendingOperation> WininitOperations(std::string_view wininitBytes);
// The pending list; nullopt (last error set) when it cannot be read.
std::optional<std::vector<PendingOperation>> PendingListOperations();

// The waiting operations with the last one on each path at hand, so that asking about one
// costs a lookup rather than a pass over the whole list (a run adds thousands).
class PendingIndex {
  public:
    PendingIndex() = default;
    explicit PendingIndex(const std::vector<PendingOperation>& waiting);

    // Appends an operation, as the start would carry it out after the others.
    void Add(const PendingOperation& operation);
    std::size_t size() const { return operations_.size(); }

    // Whether `operation` waits already: the last waiting operation that concerns its source
    // or its target (as either) is this very operation, paths compared as Windows compares
    // them. `position`, when given, gets that operation's place in the list.
    bool IsPending(const PendingOperation& operation, std::size_t* position = nullptr) const;
    // The last waiting operation that concerns `path`, as its source or its target, and its
    // place; nullptr when none.
    const PendingOperation* LastOperationOn(std::string_view path,
                                            std::size_t* position = nullptr) const;

  private:
    struct Compared {
        std::string source;
        std::optional<std::string> target;
    };
    std::optional<std::size_t> LastConcerning(const std::string& comparedPath) const;

    std::vector<PendingOperation> operations_;
    std::vector<Compared> compared_;
    std::unordered_map<std::string, std::size_t> last_;
};

// `path` as a wininit.ini line can hold it as the target ("target=source", split at the first
// "="): the path itself, or, when a component holds "=", that component by its short name
// (which never holds one), once the short form is known to lead to the same file. nullopt
// when there is no such form (a new file whose name holds "=").
std::optional<std::string> WininitTargetForm(const std::string& path);

}  // namespace Qz_File
