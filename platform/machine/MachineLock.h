#pragma once
// One process at a time changes a machine. A command that writes (vlt, velto-machine boot,
// reg import, create) takes the machine's lock as it opens the machine and holds it until it
// lets the machine go; a second one is refused and told who holds it, and commands that only
// read say that a run holds the machine.
//
// The lock is an open-file-description write lock (fcntl F_OFD_SETLK) on the whole of the file
// "velto.lock" in the machine folder, for every kind of machine. The file holds one line
// naming the holder ("vlt -S (process 1234)"), written once the lock is held. The holder
// removes the file as it lets go; a process that finds, once it holds the lock, that the file
// it locked is no longer the one of that name (its holder removed it meanwhile) tries again.
// The kernel drops the lock of a process that dies, so a file a killed holder left behind is
// taken over by the next one. Readers only ask (F_OFD_GETLK) and never lock, so a reader can
// never make a writer fail.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/machine/MachineError.h"

namespace machine {

// Another process holds the machine's lock.
class MachineBusy : public MachineError {
  public:
    explicit MachineBusy(const std::string& message) : MachineError(message) {}
};

class MachineLock {
  public:
    static constexpr const char* kFileName = "velto.lock";

    // Takes the lock of the machine in `folder` for `holder` (the command, as the user would
    // recognise it: "vlt -S"). Throws MachineBusy when another process holds it, and
    // MachineError when no lock file can be made there (a read-only machine cannot be
    // changed).
    MachineLock(const std::filesystem::path& folder, const std::string& holder);
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

  private:
    std::filesystem::path file_;
    int fd_ = -1;
};

// The holder's line while some process holds the lock of the machine in `folder`; nullopt
// when none does, or when no lock file can be read there. Writes nothing.
std::optional<std::string> LockHolder(const std::filesystem::path& folder);

}  // namespace machine
