#pragma once

#include <stdexcept>
#include <string>

namespace machine {

// A machine folder that cannot be used: missing, not a machine, or a profile value that makes
// no sense. The message is written for the user and says what to do.
class MachineError : public std::runtime_error {
  public:
    explicit MachineError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace machine
