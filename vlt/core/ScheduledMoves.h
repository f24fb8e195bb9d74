// What the machine's next start will move away: a backup that the restore window scheduled is
// moved back over its original then, so it must neither be scheduled a second time nor be sent
// to the Recycle Bin before.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vlt {

class ScheduledMoves {
  public:
    // The moves waiting in wininit.ini and in the pending-rename list; nullopt (and a trace
    // line) when they cannot be read, so that nobody takes "unknown" for "none".
    static std::optional<ScheduledMoves> Read();

    explicit ScheduledMoves(std::vector<std::string> sources) : sources_(std::move(sources)) {}

    // Whether a scheduled move takes this file (a Windows path, any case) somewhere else.
    bool MovesAway(const std::string& path) const;

  private:
    std::vector<std::string> sources_;
};

}  // namespace vlt
