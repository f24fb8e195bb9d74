#include "platform/wine/WineCommands.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

extern char** environ;

namespace wine {

bool WineProgramInstalled(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr && *path != '\0' ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (!folder.empty() &&
            ::access((std::filesystem::path(folder) / program).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

WineRun RunInPrefix(const std::filesystem::path& prefix, const std::vector<std::string>& args,
                    const std::vector<std::pair<std::string, std::string>>& environment) {
    WineRun run;
    if (args.empty()) {
        return run;
    }
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        bool replaced = text.starts_with("WINEPREFIX=");
        for (const auto& [name, value] : environment) {
            replaced = replaced || text.starts_with(name + "=");
        }
        if (!replaced) {
            variables.emplace_back(text);
        }
    }
    variables.push_back("WINEPREFIX=" + prefix.string());
    for (const auto& [name, value] : environment) {
        variables.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (auto& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& arg : copy) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    char outputName[] = "/tmp/velto-wine-XXXXXX";
    const int output = ::mkstemp(outputName);
    if (output >= 0) {
        ::unlink(outputName);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output >= 0) {
        posix_spawn_file_actions_adddup2(&actions, output, 1);
        posix_spawn_file_actions_adddup2(&actions, output, 2);
    }
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (output >= 0) {
        ::lseek(output, 0, SEEK_SET);
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(output, buffer, sizeof buffer)) > 0) {
            run.output.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(output);
    }
    return run;
}

void WaitForWineserver(const std::filesystem::path& prefix) {
    RunInPrefix(prefix, {"wineserver", "-w"});
}

}  // namespace wine
