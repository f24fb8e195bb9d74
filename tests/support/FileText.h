// A host file's bytes, for tests that look at what a program wrote.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// The whole file; empty when it cannot be read.
std::string Slurp(const std::filesystem::path& file);

// Every entry below `folder`: its path, type, size, modification time and, for a file, its
// bytes; equal before and after when nothing was written.
std::string FolderSnapshot(const std::filesystem::path& folder);

}  // namespace testsupport
