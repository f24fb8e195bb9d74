#include "tests/vlt/VltRunSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "tests/support/RunProgram.h"
#include "tools/imagewriter/ImageWriter.h"

extern char** environ;

namespace vltrun {

Background::Background(std::vector<std::string> argv, const std::filesystem::path& outputBase)
    : out_(outputBase.string() + ".out"), err_(outputBase.string() + ".err") {
    std::vector<char*> raw;
    for (auto& arg : argv) {
        raw.push_back(arg.data());
    }
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ) != 0) {
        pid_ = -1;
        ended_ = true;
    }
    posix_spawn_file_actions_destroy(&actions);
}

Background::~Background() {
    if (!ended_) {
        Kill();
        Wait();
    }
}

bool Background::Ended() {
    if (!ended_ && ::waitpid(pid_, &status_, WNOHANG) == pid_) {
        ended_ = true;
    }
    return ended_;
}

void Background::Kill() {
    if (!Ended()) {
        ::kill(pid_, SIGKILL);
    }
}

Result Background::Wait() {
    if (!ended_ && pid_ > 0) {
        ::waitpid(pid_, &status_, 0);
        ended_ = true;
    }
    Result result;
    result.status = pid_ > 0 && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    result.out = Slurp(out_);
    result.err = Slurp(err_);
    return result;
}

std::vector<std::string> UnattendedCommand(const std::filesystem::path& machineFolder) {
    return {"/usr/bin/env",
            "-u",
            "DISPLAY",
            "-u",
            "WAYLAND_DISPLAY",
            "VELTO_NO_LAUNCH=1",
            VLT_BINARY,
            "--machine",
            machineFolder.string(),
            "-S"};
}

Result Unattended(const std::filesystem::path& machineFolder) {
    Background run(UnattendedCommand(machineFolder), machineFolder.string() + "-vlt");
    return run.Wait();
}

Result Tool(std::vector<std::string> args) {
    args.insert(args.begin(), VELTO_MACHINE_TOOL);
    const auto run = testsupport::RunProgram(args);
    return {run.status, run.out, run.err};
}

std::vector<std::string> InWine(const std::filesystem::path& prefix,
                                std::vector<std::string> args) {
    std::vector<std::string> argv = {"/usr/bin/env",    "-u",
                                     "DISPLAY",         "-u",
                                     "WAYLAND_DISPLAY", "VELTO_NO_LAUNCH=1",
                                     "WINEDEBUG=-all",  "WINEPREFIX=" + prefix.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

std::string Dll(const std::string& version, const std::string& company, bool x64) {
    imagewriter::StringTable table;
    table.strings = {{"CompanyName", company},
                     {"FileVersion", version},
                     {"ProductVersion", version},
                     {"ProductName", "Test Library"}};
    imagewriter::VersionInfo info;
    info.tables = {table};
    const imagewriter::Image image = imagewriter::BuildImage(imagewriter::VersionImage(
        info, x64 ? imagewriter::Format::Pe32Plus : imagewriter::Format::Pe32));
    return std::string(image.bytes.begin(), image.bytes.end());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace vltrun
