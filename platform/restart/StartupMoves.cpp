#include "platform/restart/StartupMoves.h"

#include "platform/restart/RestartMoves.h"
#include "platform/restart/Wininit.h"
#include "platform/win32/kernel32/Directories.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {

std::optional<std::vector<BootOperation>> ScheduledStartupMoves() {
    std::vector<BootOperation> moves;
    const auto windows = GetWindowsDirectoryA();
    if (!windows) {
        return std::nullopt;
    }
    const std::string wininit = *windows + (windows->ends_with('\\') ? "" : "\\") + "wininit.ini";
    if (StartReadsWininit() && GetFileAttributesA(wininit) != INVALID_FILE_ATTRIBUTES) {
        const auto host = HostPathOf(wininit);
        if (!host) {
            return std::nullopt;
        }
        std::string text;
        if (const int err = host::ReadWholeFile(*host, text); err != 0) {
            SetLastErrorFromErrno(err);
            return std::nullopt;
        }
        for (const WininitRename& rename : ParseWininitRenames(text).renames) {
            moves.push_back(BootOperation{BootOperation::From::Wininit, rename.line, rename.source,
                                          rename.target, true});
        }
    }
    const auto pending = ReadPendingRenames();
    if (!pending) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < pending->size(); ++i) {
        const PendingRename& entry = (*pending)[i];
        moves.push_back(BootOperation{BootOperation::From::PendingList, i + 1, entry.source,
                                      entry.target, entry.replaceExisting});
    }
    SetLastError(ERROR_SUCCESS);
    return moves;
}

}  // namespace win32
