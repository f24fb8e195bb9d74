#include "platform/win32/kernel32/Profile.h"

#include <cerrno>

#include "platform/machine/IniDocument.h"
#include "platform/machine/Text.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/Directories.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

constexpr std::string_view kWinIni = "win.ini";

// A bare file name lives in the Windows folder.
std::optional<std::string> ProfilePath(std::string_view fileName) {
    if (fileName.find_first_of("\\/:") != std::string_view::npos) {
        return std::string(fileName);
    }
    const auto windows = GetWindowsDirectoryA();
    if (!windows) {
        return std::nullopt;
    }
    return *windows + (windows->ends_with('\\') ? "" : "\\") + std::string(fileName);
}

// The parsed file; nullopt with the last error set when it cannot be read (a missing file
// included).
std::optional<machine::IniDocument> Load(std::string_view fileName) {
    const auto path = ProfilePath(fileName);
    if (!path) {
        return std::nullopt;
    }
    const auto target = detail::Resolve(*path);
    if (!target) {
        return std::nullopt;
    }
    if (!target->exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    std::string bytes;
    if (const int err = host::ReadWholeFile(target->host, bytes); err != 0) {
        SetLastErrorFromErrno(err == EISDIR ? EACCES : err);
        return std::nullopt;
    }
    SetLastError(ERROR_SUCCESS);
    return machine::IniDocument::Parse(machine::text::DecodeFileText(bytes));
}

}  // namespace

std::string GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, std::string_view fileName) {
    const auto fallback = [&] {
        std::string value(defaultValue);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
            value.pop_back();
        }
        return value;
    };
    const auto doc = Load(fileName);
    if (!doc) {
        return fallback();
    }
    if (auto value = doc->Get(section, key)) {
        return std::move(*value);
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return fallback();
}

bool WritePrivateProfileStringA(std::optional<std::string_view> section,
                                std::optional<std::string_view> key,
                                std::optional<std::string_view> value, std::string_view fileName) {
    if (!section) {
        SetLastError(key || value ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS);
        return !key && !value;
    }
    if (!machine::IniDocument::IsWritable(*section, key.value_or(""), value.value_or(""))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const auto path = ProfilePath(fileName);
    if (!path) {
        return false;
    }
    const auto target = detail::ResolveForWrite(*path);
    if (!target) {
        return false;
    }
    host::FolderLock lock(target->host.parent_path());
    if (lock.error() != 0) {
        SetLastErrorFromErrno(lock.error());
        return false;
    }
    std::string original;
    if (const int err = host::ReadWholeFile(target->host, original); err != 0 && err != ENOENT) {
        SetLastErrorFromErrno(err);
        return false;
    }
    auto doc = machine::IniDocument::Parse(machine::text::DecodeFileText(original));
    if (!key) {
        doc.DeleteSection(*section);
    } else if (!value) {
        doc.DeleteKey(*section, *key);
    } else {
        doc.Set(*section, *key, *value);
    }
    const std::string updated = doc.Serialize();
    if (updated == original) {
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    const int err = WriteHostFileAtomically(target->host, updated);
    target->Forget();
    if (err != 0) {
        SetLastErrorFromErrno(err);
        return false;
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

std::vector<std::string> GetPrivateProfileSectionA(std::string_view section,
                                                   std::string_view fileName) {
    std::vector<std::string> lines;
    if (const auto doc = Load(fileName)) {
        for (const auto& [key, value] : doc->Entries(section)) {
            lines.push_back(key + "=" + value);
        }
    }
    return lines;
}

std::vector<std::string> GetPrivateProfileSectionNamesA(std::string_view fileName) {
    const auto doc = Load(fileName);
    return doc ? doc->SectionNames() : std::vector<std::string>{};
}

std::string GetProfileStringA(std::string_view section, std::string_view key,
                              std::string_view defaultValue) {
    return GetPrivateProfileStringA(section, key, defaultValue, kWinIni);
}

bool WriteProfileStringA(std::optional<std::string_view> section,
                         std::optional<std::string_view> key,
                         std::optional<std::string_view> value) {
    return WritePrivateProfileStringA(section, key, value, kWinIni);
}

}  // namespace win32
