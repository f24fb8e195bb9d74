#include "tests/support/BackgroundProgram.h"
#include "tests/support/FileText.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testsupport {
namespace {}  // namespace

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& args) {
    std::string folder = (std::filesystem::temp_directory_path() / "velto-bg-XXXXXX").string();
    if (args.empty() || ::mkdtemp(folder.data()) == nullptr) {
        throw std::runtime_error("cannot create a folder for the program's output");
    }
    folder_ = folder;
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& arg : copy) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const std::string out = (folder_ / "stdout").string();
    const std::string err = (folder_ / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
        throw std::runtime_error("cannot start " + args[0]);
    }
    pid_ = pid;
}

BackgroundProgram::~BackgroundProgram() {
    Stop();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

int BackgroundProgram::Wait() {
    if (!status_) {
        int status = 0;
        if (::waitpid(static_cast<pid_t>(pid_), &status, 0) == static_cast<pid_t>(pid_)) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        } else {
            status_ = -1;
        }
    }
    return *status_;
}

std::optional<int> BackgroundProgram::WaitFor(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!status_) {
        int status = 0;
        const pid_t done = ::waitpid(static_cast<pid_t>(pid_), &status, WNOHANG);
        if (done == static_cast<pid_t>(pid_)) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (done < 0 || std::chrono::steady_clock::now() >= until) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status_;
}

std::string BackgroundProgram::Out() const {
    return Slurp(folder_ / "stdout");
}

std::string BackgroundProgram::Err() const {
    return Slurp(folder_ / "stderr");
}

void BackgroundProgram::Stop() {
    if (status_ || pid_ == 0) {
        return;
    }
    ::kill(static_cast<pid_t>(pid_), SIGTERM);
    if (!WaitFor(std::chrono::seconds(5))) {
        ::kill(static_cast<pid_t>(pid_), SIGKILL);
        WaitFor(std::chrono::seconds(5));
    }
}

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::filesystem::path candidate = std::filesystem::path(folder) / name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    return {};
}

}  // namespace testsupport
