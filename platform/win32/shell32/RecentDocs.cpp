#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/FindFiles.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/LastError.h"
#include "platform/win32/shell32/Shell.h"
#include "platform/win32/shell32/ShellLink.h"
#include "platform/win32/shell32/SpecialFolders.h"

namespace win32 {
namespace {

void ClearRecent(const std::string& recent) {
    const auto links = FindFiles(recent + "\\*.lnk", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (!links) {
        return;
    }
    for (const auto& entry : *links) {
        const std::string path = recent + "\\" + entry.cFileName;
        if (!DeleteFileA(path)) {
            return;
        }
    }
    SetLastError(ERROR_SUCCESS);
}

}  // namespace

void SHAddToRecentDocs(UINT uFlags, std::optional<std::string_view> path) {
    const auto recent =
        SHGetFolderPathA(0, CSIDL_RECENT | CSIDL_FLAG_CREATE, 0, SHGFP_TYPE_CURRENT);
    if (!recent) {
        return;
    }
    if (uFlags == 0 || !path || path->empty()) {
        ClearRecent(*recent);
        return;
    }
    if (uFlags != SHARD_PATHA && uFlags != SHARD_PATHW) {
        // The machine keeps no shell item lists.
        SetLastError(ERROR_INVALID_PARAMETER);
        return;
    }
    const auto target = GetLongPathNameA(*path);
    if (!target) {
        return;
    }
    const std::size_t slash = target->rfind('\\');
    const std::string name = slash == std::string::npos ? *target : target->substr(slash + 1);
    if (name.empty()) {
        // A drive's root has no name to file its shortcut under.
        SetLastError(ERROR_INVALID_PARAMETER);
        return;
    }
    const std::string linkPath = *recent + "\\" + name + ".lnk";
    ShellLink link = LinkTo(*target);
    link.relativePath = RelativeLinkPath(linkPath, *target);
    const std::vector<std::uint8_t> bytes = EncodeShellLink(link);
    WriteFileAtomicallyA(
        linkPath, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace win32
