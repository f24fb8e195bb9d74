#include "platform/win32/ntdll/Launcher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string_view>
#include <thread>

#include "platform/machine/Text.h"

extern char** environ;

namespace win32 {
namespace {

// The program file for argv[0]; ENOENT when there is none, EACCES when it cannot be run.
int FindProgram(const std::string& name, std::string& path) {
    const auto runnable = [](const std::string& candidate) {
        struct stat st {};
        return ::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
               ::access(candidate.c_str(), X_OK) == 0;
    };
    if (name.empty()) {
        return ENOENT;
    }
    if (name.find('/') != std::string::npos) {
        path = name;
        if (runnable(name)) {
            return 0;
        }
        return ::access(name.c_str(), F_OK) == 0 ? EACCES : ENOENT;
    }
    const char* variable = std::getenv("PATH");
    const std::string_view search = variable != nullptr ? variable : "/usr/local/bin:/usr/bin:/bin";
    std::size_t pos = 0;
    while (pos <= search.size()) {
        std::size_t end = search.find(':', pos);
        if (end == std::string_view::npos) {
            end = search.size();
        }
        const std::string folder(search.substr(pos, end - pos));
        const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (runnable(candidate)) {
            path = candidate;
            return 0;
        }
        pos = end + 1;
    }
    return ENOENT;
}

// The exit statuses of the programs the real launcher started, filled as they end.
class Ended {
  public:
    void Record(long processId, int status) {
        {
            std::lock_guard lock(mutex_);
            statuses_[processId] = status;
        }
        changed_.notify_all();
    }
    std::optional<int> Wait(long processId, std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        const bool ended = changed_.wait_for(
            lock, limit, [&] { return statuses_.find(processId) != statuses_.end(); });
        if (!ended) {
            return std::nullopt;
        }
        return statuses_[processId];
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<long, int> statuses_;
};

Ended& Statuses() {
    static Ended ended;
    return ended;
}

class RealLauncher : public Launcher {
  public:
    int Launch(const LaunchRequest& request, long& processId) override {
        processId = 0;
        if (request.argv.empty()) {
            return EINVAL;
        }
        std::string program;
        if (const int err = FindProgram(request.argv[0], program); err != 0) {
            return err;
        }
        std::vector<char*> argv;
        std::vector<std::string> args = request.argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (!request.workingDirectory.empty()) {
            posix_spawn_file_actions_addchdir_np(&actions, request.workingDirectory.c_str());
        }
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        // A browser started from the program outlives it and its terminal.
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        pid_t pid = 0;
        const int err =
            ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (err != 0) {
            return err;
        }
        processId = pid;
        // Nobody waits for the program; this keeps it from lingering as a zombie, and keeps
        // how it ended for ExitStatus.
        std::thread([pid] {
            int status = 0;
            if (::waitpid(pid, &status, 0) == pid) {
                Statuses().Record(pid, WIFEXITED(status) ? WEXITSTATUS(status) : 128);
            }
        }).detach();
        return 0;
    }
    std::optional<int> ExitStatus(long processId, std::chrono::milliseconds limit) override {
        return processId == 0 ? std::nullopt : Statuses().Wait(processId, limit);
    }
};

// The default: the real launcher, unless VELTO_NO_LAUNCH asks for a printed line instead.
class DefaultLauncher : public Launcher {
  public:
    int Launch(const LaunchRequest& request, long& processId) override {
        const char* value = std::getenv(kNoLaunchVariable);
        if (value != nullptr && *value != '\0' && std::string_view(value) != "0") {
            processId = 0;
            std::fprintf(stderr, "velto: %s is set; not starting: %s\n", kNoLaunchVariable,
                         DescribeLaunch(request).c_str());
            return 0;
        }
        return HostLauncher()->Launch(request, processId);
    }
    std::optional<int> ExitStatus(long processId, std::chrono::milliseconds limit) override {
        return HostLauncher()->ExitStatus(processId, limit);
    }
};

struct State {
    std::mutex mutex;
    std::shared_ptr<Launcher> current;
};

State& Shared() {
    static State state;
    return state;
}

std::shared_ptr<Launcher> Default() {
    static const auto launcher = std::make_shared<DefaultLauncher>();
    return launcher;
}

}  // namespace

std::optional<int> Launcher::ExitStatus(long /*processId*/, std::chrono::milliseconds /*limit*/) {
    return std::nullopt;
}

std::optional<int> ExitStatusWithin(long processId, std::chrono::milliseconds limit) {
    return CurrentLauncher()->ExitStatus(processId, limit);
}

std::shared_ptr<Launcher> HostLauncher() {
    static const auto launcher = std::make_shared<RealLauncher>();
    return launcher;
}

std::shared_ptr<Launcher> CurrentLauncher() {
    State& state = Shared();
    std::lock_guard lock(state.mutex);
    return state.current ? state.current : Default();
}

std::shared_ptr<Launcher> SetLauncher(std::shared_ptr<Launcher> launcher) {
    State& state = Shared();
    std::lock_guard lock(state.mutex);
    auto previous = state.current ? state.current : Default();
    state.current = std::move(launcher);
    return previous;
}

std::string DescribeLaunch(const LaunchRequest& request) {
    std::string line;
    for (const std::string& arg : request.argv) {
        line += (line.empty() ? "" : " ") + machine::text::ShellQuoted(arg);
    }
    if (!request.workingDirectory.empty()) {
        line += " (in " + machine::text::ShellQuoted(request.workingDirectory.string()) + ")";
    }
    return line;
}

}  // namespace win32
