// modVLTWork: the system folders of a machine that runs programs for more than one processor.
//
// A 64-bit Windows (a 64-bit Wine prefix) gives its 32-bit programs a system folder of their
// own (SysWOW64) and a registry view of their own (Software\Wow6432Node), where their setup
// programs keep the shared-library counts. A copy is judged against, moved into and counted in
// the folder and view of its own processor (the machine profile's ProcessorView); a copy for
// a processor the profile has no view of, and a file that is no PE image, goes with the
// machine's system folder, as on a 32-bit Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace modVLTWork {

// The processor of an image type as QzFile tells it ("PE 014C" -> 0x014C); nullopt for
// anything that is no PE image.
std::optional<std::uint16_t> ProcessorOf(const std::string& imageType);
// "x86", "x64", "ARM64", or the image type itself.
std::string ProcessorName(const std::string& imageType);
// The system folder of programs for the image type's processor, when the machine runs them
// (ending in "\"); nullopt otherwise.
std::optional<std::string> ProcessorSystemFolder(const std::string& imageType);
// The folder a copy of that image type is judged against: its processor's, else the machine's
// system folder (ending in "\").
std::string SystemFolderFor(const std::string& imageType);
// The same for the file at `path`, told from its bytes.
std::string SystemFolderOf(const std::string& path);
// Whether `folder` is the system folder of any processor the machine runs programs for.
bool IsSystemFolder(const std::string& folder);
// The SharedDLLs key below HKEY_LOCAL_MACHINE in the registry view of the processor of the
// file at `path`.
std::string SharedDllsKeyOf(const std::string& path);

}  // namespace modVLTWork
