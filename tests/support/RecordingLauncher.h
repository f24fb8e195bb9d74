#pragma once
// A launcher for tests: records every program the code under test would start instead of
// starting it, and can be told to fail as a missing program does. Installed for the lifetime
// of the object.

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/win32/ntdll/Launcher.h"

namespace testsupport {

class RecordingLauncher {
  public:
    RecordingLauncher();
    ~RecordingLauncher();
    RecordingLauncher(const RecordingLauncher&) = delete;
    RecordingLauncher& operator=(const RecordingLauncher&) = delete;

    // What was asked for, in order.
    std::vector<win32::LaunchRequest> Launched() const;
    // The argv of each request only.
    std::vector<std::vector<std::string>> Commands() const;
    // Every later launch fails with this errno (0 lets them succeed again).
    void FailWith(int err);
    // Every program started ends at once with this status, as xdg-open does when the desktop
    // has nothing for a document; nullopt (the default): programs run on.
    void EndWith(std::optional<int> status);

  private:
    class Backend;
    std::shared_ptr<Backend> backend_;
    std::shared_ptr<win32::Launcher> previous_;
};

}  // namespace testsupport
