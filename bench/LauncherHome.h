#pragma once
// A home folder whose launchers keep many Wine prefixes, for the benchmarks of finding and
// checking them: Steam (two libraries, an app manifest per game), Lutris, Bottles, Heroic and
// PlayOnLinux, each naming its prefixes in its own files as it writes them.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace benchtree {

struct LauncherHomeShape {
    std::size_t steam = 80;
    std::size_t lutris = 40;
    std::size_t bottles = 40;
    std::size_t heroic = 20;
    std::size_t playOnLinux = 20;
};

// Writes the launchers' files below `home` and calls `makePrefix` for each prefix folder they
// name (the folder is not made yet); returns those folders.
std::vector<std::filesystem::path> GenerateLauncherHome(
    const std::filesystem::path& home, const LauncherHomeShape& shape,
    const std::function<void(const std::filesystem::path&)>& makePrefix);

// Fills `prefix` with registry files of a fresh 64-bit prefix's size (system.reg of about
// 1.7 MB, its Windows version key near the end, as Wine sorts it) and dosdevices/.
void WriteSyntheticPrefix(const std::filesystem::path& prefix);

// A copy of `from` in `to`: folders made anew, files hard-linked, links copied as links; the
// registry files are real copies, since they are the prefix's own to change.
void CopyPrefix(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace benchtree
