#include "platform/win32/kernel32/Paths.h"

#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace detail {

void Target::Forget() const {
    machine->paths().Refresh(host);
}

int Target::Stat(host::FileStat& out) const {
    if (seen) {
        out = host::FileStatOf(*seen);
        return 0;
    }
    return host::Stat(host, out);
}

std::optional<Target> Resolve(std::string_view windowsPath) {
    auto current = machine::CurrentMachine();
    if (!current) {
        SetLastError(ERROR_NOT_READY);
        return std::nullopt;
    }
    auto resolved = current->Resolve(windowsPath);
    if (!resolved) {
        SetLastError(static_cast<DWORD>(resolved.error));
        return std::nullopt;
    }
    SetLastError(ERROR_SUCCESS);
    return Target{std::move(current),          std::move(resolved.host),      resolved.exists,
                  std::move(resolved.windows), std::move(resolved.driveRoot), resolved.seen};
}

std::optional<Target> ResolveForWrite(std::string_view windowsPath) {
    auto target = Resolve(windowsPath);
    if (!target) {
        return std::nullopt;
    }
    if (target->isRoot()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return std::nullopt;
    }
    if (target->exists) {
        host::FileStat st;
        const int err = target->Stat(st);
        if (err != 0) {
            SetLastErrorFromErrno(err);
            return std::nullopt;
        }
        if (st.isDirectory || IsReadOnlyMode(st.mode)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return std::nullopt;
        }
    }
    return target;
}

}  // namespace detail

std::optional<std::filesystem::path> HostPathOf(std::string_view windowsPath) {
    auto target = detail::Resolve(windowsPath);
    if (!target) {
        return std::nullopt;
    }
    return std::move(target->host);
}

std::optional<std::string> WindowsPathOf(const std::filesystem::path& hostPath) {
    const auto current = machine::CurrentMachine();
    if (!current) {
        SetLastError(ERROR_NOT_READY);
        return std::nullopt;
    }
    auto path = current->ToWindowsPath(hostPath);
    SetLastError(path ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND);
    return path;
}

std::optional<std::string> GetShortPathNameA(std::string_view path) {
    const auto target = detail::Resolve(path);
    if (!target) {
        return std::nullopt;
    }
    if (!target->exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    machine::WindowsPath shortPath;
    shortPath.drive = target->windows.drive;
    std::filesystem::path folder = target->driveRoot;
    for (const std::string& component : target->windows.components) {
        int err = 0;
        const auto found = target->machine->paths().Find(folder, component, err);
        if (!found) {
            // The entry vanished between resolving and listing.
            SetLastError(err != 0 ? Win32ErrorFromErrno(err) : ERROR_FILE_NOT_FOUND);
            return std::nullopt;
        }
        shortPath.components.push_back(found->shortName);
        folder /= found->host;
    }
    SetLastError(ERROR_SUCCESS);
    return shortPath.str();
}

std::optional<std::string> GetLongPathNameA(std::string_view path) {
    const auto target = detail::Resolve(path);
    if (!target) {
        return std::nullopt;
    }
    if (!target->exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    return target->windows.str();
}

}  // namespace win32
