#include "platform/win32/kernel32/FileIdentity.h"

#include "platform/automation/Text.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {

std::optional<FileIdentity> FileIdentityOf(std::string_view windowsPath) {
    const auto target = detail::Resolve(windowsPath);
    if (!target) {
        return std::nullopt;
    }
    host::FileStat st;
    if (const int err = target->Stat(st); err != 0) {
        SetLastErrorFromErrno(err);
        return std::nullopt;
    }
    return FileIdentity{st.device, st.inode};
}

bool SameFile(std::string_view a, std::string_view b) {
    const auto first = FileIdentityOf(a);
    const auto second = first ? FileIdentityOf(b) : std::nullopt;
    return first && second && *first == *second;
}

bool SamePlace(std::string_view a, std::string_view b) {
    if (automation::EqualsIgnoreCase(a, b)) {
        return true;
    }
    const auto first = HostPathOf(a);
    const auto second = first ? HostPathOf(b) : std::nullopt;
    return first && second && first->lexically_normal() == second->lexically_normal();
}

}  // namespace win32
