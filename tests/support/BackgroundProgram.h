#pragma once
// A program that tests run beside themselves (an X server, the program under a real display):
// started at once, its output in files of its own, asked whether it has ended, and stopped when
// the object goes (asked to end, then killed), so no test leaves one behind.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class BackgroundProgram {
  public:
    // argv[0] is the program's path, or its name on $PATH; the environment is the test's own.
    // Throws std::runtime_error when it cannot be started.
    explicit BackgroundProgram(const std::vector<std::string>& argv);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    // Waits until it has ended: its exit status (-1 when it did not exit normally).
    int Wait();
    // The exit status once it has ended within `limit` (-1 when it did not exit normally);
    // std::nullopt while it still runs.
    std::optional<int> WaitFor(std::chrono::milliseconds limit);
    // What it has printed so far.
    std::string Out() const;
    std::string Err() const;

  private:
    void Stop();

    long pid_ = 0;
    std::optional<int> status_;
    std::filesystem::path folder_;
};

// The full path of a program on $PATH, or "" when there is none.
std::string FindOnPath(const std::string& name);

}  // namespace testsupport
