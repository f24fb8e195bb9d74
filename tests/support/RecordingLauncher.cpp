#include "tests/support/RecordingLauncher.h"

namespace testsupport {

class RecordingLauncher::Backend : public win32::Launcher {
  public:
    int Launch(const win32::LaunchRequest& request, long& processId) override {
        std::lock_guard lock(mutex);
        processId = 0;
        if (error != 0) {
            return error;
        }
        launched.push_back(request);
        processId = 1000 + static_cast<long>(launched.size());
        return 0;
    }
    std::optional<int> ExitStatus(long processId, std::chrono::milliseconds) override {
        std::lock_guard lock(mutex);
        return processId > 1000 ? endsWith : std::nullopt;
    }

    mutable std::mutex mutex;
    std::vector<win32::LaunchRequest> launched;
    int error = 0;
    std::optional<int> endsWith;
};

RecordingLauncher::RecordingLauncher()
    : backend_(std::make_shared<Backend>()), previous_(win32::SetLauncher(backend_)) {}

RecordingLauncher::~RecordingLauncher() {
    win32::SetLauncher(previous_);
}

std::vector<win32::LaunchRequest> RecordingLauncher::Launched() const {
    std::lock_guard lock(backend_->mutex);
    return backend_->launched;
}

std::vector<std::vector<std::string>> RecordingLauncher::Commands() const {
    std::vector<std::vector<std::string>> commands;
    for (const auto& request : Launched()) {
        commands.push_back(request.argv);
    }
    return commands;
}

void RecordingLauncher::EndWith(std::optional<int> status) {
    std::lock_guard lock(backend_->mutex);
    backend_->endsWith = status;
}

void RecordingLauncher::FailWith(int err) {
    std::lock_guard lock(backend_->mutex);
    backend_->error = err;
}

}  // namespace testsupport
