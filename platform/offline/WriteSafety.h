#pragma once
// Whether a Windows installation on a disk may be changed at all, apart from its registry:
//   - Windows on it is hibernated, or was shut down with Fast Startup (which hibernates the
//     system's session): hiberfil.sys in the root of the volume holds a hibernation image.
//     The resuming Windows would overwrite whatever changed underneath it, or be harmed by
//     it. The image's first four bytes say so: "hibr" (any case) for an image, "rstr" for one
//     being restored; a header that is zero, or says "wake" (resumed), holds none. A file too
//     short for a header (under 4096 bytes) counts as an image, as ntfs-3g counts it, and so
//     does a header of any other signature, since nobody can tell what it holds.
//   - the folder is on a file system mounted read-only (ntfs-3g falls back to that by itself
//     when it finds Windows hibernated).
// Each check gives the sentence to show, saying what to do.

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace offline {

// Whether the first bytes of a hiberfil.sys (and its size) mean a hibernation image; its
// signature in `signature` when so.
bool HoldsHibernationImage(std::span<const std::uint8_t> start, std::uintmax_t size,
                           std::string& signature);

std::optional<std::string> HibernationRefusal(const std::filesystem::path& root);
std::optional<std::string> ReadOnlyRefusal(const std::filesystem::path& root);

}  // namespace offline
