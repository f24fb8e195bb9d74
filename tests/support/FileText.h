// A host file's bytes, for tests that look at what a program wrote.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// The whole file; empty when it cannot be read.
std::string Slurp(const std::filesystem::path& file);

}  // namespace testsupport
