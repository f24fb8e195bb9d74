#include "platform/win32/kernel32/Directories.h"

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/machine/NameMapping.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

template <typename Getter>
std::optional<std::string> ProfileFolder(Getter getter) {
    const auto current = machine::CurrentMachine();
    if (!current) {
        SetLastError(ERROR_NOT_READY);
        return std::nullopt;
    }
    SetLastError(ERROR_SUCCESS);
    return getter(current->profile());
}

// The first `count` characters (not bytes) of a UTF-8 text.
std::string FirstCharacters(std::string_view text, size_t count) {
    size_t end = 0;
    for (size_t taken = 0; end < text.size() && taken < count; ++taken) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            ++end;
        }
    }
    return std::string(text.substr(0, end));
}

std::string TempName(const std::string& prefix, unsigned number) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%X", number & 0xFFFF);
    return prefix + digits + ".tmp";
}

}  // namespace

std::optional<std::string> GetWindowsDirectoryA() {
    return ProfileFolder([](const machine::MachineProfile& p) { return p.windowsDir(); });
}

std::optional<std::string> GetSystemDirectoryA() {
    return ProfileFolder([](const machine::MachineProfile& p) { return p.systemDir(); });
}

std::optional<std::string> GetTempPathA() {
    return ProfileFolder([](const machine::MachineProfile& p) {
        std::string dir = p.tempDir();
        if (!dir.ends_with('\\')) {
            dir += '\\';
        }
        return dir;
    });
}

std::optional<std::string> GetTempFileNameA(std::string_view path, std::string_view prefix,
                                            unsigned unique) {
    const auto folder = detail::Resolve(path);
    if (!folder) {
        return std::nullopt;
    }
    host::FileStat st;
    if (!folder->exists || folder->Stat(st) != 0 || !st.isDirectory) {
        SetLastError(ERROR_DIRECTORY);
        return std::nullopt;
    }
    const std::string start = FirstCharacters(prefix, 3);
    std::string folderPath = folder->windows.str();
    if (!folderPath.ends_with('\\')) {
        folderPath += '\\';
    }
    if (unique != 0) {
        const std::string name = TempName(start, unique);
        if (!machine::WindowsNameToHost(name)) {
            SetLastError(ERROR_INVALID_NAME);
            return std::nullopt;
        }
        SetLastError(ERROR_SUCCESS);
        return folderPath + name;
    }
    thread_local std::mt19937 generator{std::random_device{}()};
    const unsigned first = generator() & 0xFFFF;
    for (unsigned i = 0; i <= 0xFFFF; ++i) {
        const unsigned number = (first + i) & 0xFFFF;
        if (number == 0) {
            continue;
        }
        const std::string name = TempName(start, number);
        const auto hostName = machine::WindowsNameToHost(name);
        if (!hostName) {
            SetLastError(ERROR_INVALID_NAME);
            return std::nullopt;
        }
        // A name taken in another case, or as a short name, is taken for Windows too.
        int err = 0;
        if (folder->machine->paths().Lookup(folder->host, name, err)) {
            continue;
        }
        if (err != 0) {
            SetLastErrorFromErrno(err);
            return std::nullopt;
        }
        const auto created = folder->host / *hostName;
        err = host::CreateNewFile(created);
        if (err == EEXIST) {
            continue;
        }
        if (err != 0) {
            SetLastErrorFromErrno(err);
            return std::nullopt;
        }
        folder->machine->paths().Refresh(created);
        SetLastError(ERROR_SUCCESS);
        return folderPath + name;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return std::nullopt;
}

}  // namespace win32
