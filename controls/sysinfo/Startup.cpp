// The programs Windows starts by itself: values of the Run, RunServices and RunOnce keys of
// both roots, shortcuts in the Startup folder, and the "load" and "run" lines of win.ini.

#include <algorithm>
#include <array>
#include <vector>

#include "controls/sysinfo/QzSystemInfo.h"
#include "controls/sysinfo/StartupShortcut.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "platform/win32/advapi32/Registry.h"
#include "platform/win32/kernel32/FindFiles.h"
#include "platform/win32/kernel32/Profile.h"
#include "platform/win32/ntdll/LastError.h"
#include "platform/win32/shell32/Shell.h"

namespace Qz_System_Info {
namespace {

constexpr const char* kRunKeys[] = {
    "\\Microsoft\\Windows\\CurrentVersion\\Run",
    "\\Microsoft\\Windows\\CurrentVersion\\RunServices",
    "\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
};

std::string KeyBase(win32::HKEY root) {
    return root == win32::HKEY_LOCAL_MACHINE ? "SOFTWARE" : "Software";
}

struct RegistryLocation {
    win32::HKEY root;
    std::string key;
};

// Locations 0 to 5: the three keys under HKEY_LOCAL_MACHINE, then under HKEY_CURRENT_USER.
RegistryLocation RegistryLocationOf(std::int32_t location) {
    const win32::HKEY root = location < 3 ? win32::HKEY_LOCAL_MACHINE : win32::HKEY_CURRENT_USER;
    return {root, KeyBase(root) + kRunKeys[location % 3]};
}

struct StringValue {
    std::string name;
    std::string text;
};

// The values of a key in enumeration order; the text of those that hold text.
std::vector<StringValue> ValuesOf(win32::HKEY root, const std::string& keyPath) {
    std::vector<StringValue> values;
    win32::HKEY key{};
    if (win32::RegOpenKeyA(root, keyPath, &key) != win32::ERROR_SUCCESS) {
        return values;
    }
    for (win32::DWORD index = 0;; ++index) {
        std::array<char, 16384> name{};
        win32::DWORD nameChars = name.size();
        win32::DWORD type = 0;
        win32::DWORD size = 0;
        if (win32::RegEnumValueA(key, index, name.data(), &nameChars, nullptr, &type, nullptr,
                                 &size) != win32::ERROR_SUCCESS) {
            break;
        }
        std::vector<win32::BYTE> data(size + 1);
        win32::DWORD dataSize = size;
        std::string text;
        if ((type == win32::REG_SZ || type == win32::REG_EXPAND_SZ) &&
            win32::RegQueryValueExA(key, name.data(), nullptr, &type, data.data(), &dataSize) ==
                win32::ERROR_SUCCESS) {
            text.assign(reinterpret_cast<const char*>(data.data()));
        }
        values.push_back({std::string(name.data()), std::move(text)});
    }
    win32::RegCloseKey(key);
    return values;
}

// "Qz Entry #n" with the smallest n that no value of the key has. Names compare as the registry
// compares them, without regard to case, so that a new entry never overwrites another.
std::string FreeValueName(win32::HKEY root, const std::string& keyPath) {
    const std::vector<StringValue> values = ValuesOf(root, keyPath);
    for (int n = 1;; ++n) {
        const std::string name = "Qz Entry #" + std::to_string(n);
        const bool taken = std::any_of(values.begin(), values.end(), [&](const StringValue& v) {
            return automation::EqualsIgnoreCase(v.name, name);
        });
        if (!taken) {
            return name;
        }
    }
}

// A start-up entry that cannot be written is an error the host must hear of: the program would
// otherwise believe it starts with Windows.
[[noreturn]] void RaiseWin32(win32::DWORD code) {
    automation::Raise(automation::RunTimeErrorFromWin32(code), QzSystemInfo::kProgID);
}

void WriteRunValue(win32::HKEY root, const std::string& keyPath, const std::string& valueName,
                   const std::string& commandLine) {
    const std::string name = valueName.empty() ? FreeValueName(root, keyPath) : valueName;
    win32::HKEY key{};
    if (const win32::LSTATUS rc = win32::RegCreateKeyA(root, keyPath, &key);
        rc != win32::ERROR_SUCCESS) {
        RaiseWin32(rc);
    }
    const win32::LSTATUS rc = win32::RegSetValueExA(
        key, name, 0, win32::REG_SZ, reinterpret_cast<const win32::BYTE*>(commandLine.data()),
        static_cast<win32::DWORD>(commandLine.size()));
    win32::RegCloseKey(key);
    if (rc != win32::ERROR_SUCCESS) {
        RaiseWin32(rc);
    }
}

// A file's name without its folder and extension.
std::string BaseName(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot));
}

std::vector<std::string> Programs(std::string_view line) {
    std::vector<std::string> programs;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t end = std::min(line.find(' ', pos), line.size());
        if (end > pos) {
            programs.emplace_back(line.substr(pos, end - pos));
        }
        pos = end + 1;
    }
    return programs;
}

}  // namespace

void QzSystemInfo::AddStartupProgram(const std::string& sCommandLine, std::int32_t lngLocation,
                                     const std::string& sValueName) const {
    if (lngLocation >= QzRegistryHKLMRun && lngLocation <= QzRegistryHKCURunOnce) {
        const RegistryLocation target = RegistryLocationOf(lngLocation);
        WriteRunValue(target.root, target.key, sValueName, sCommandLine);
    } else if (lngLocation == QzStartup) {
        const std::string folder = SpecialFolder(QzSpecStartup);
        if (folder.empty()) {
            automation::Raise(automation::PathNotFound, kProgID);
        }
        CreateStartupShortcut(folder, sCommandLine, sValueName);
    } else if (lngLocation == QzWinINI) {
        std::string run = win32::GetProfileStringA("windows", "run", "");
        run += run.empty() ? sCommandLine : " " + sCommandLine;
        if (!win32::WriteProfileStringA("windows", "run", run)) {
            RaiseWin32(win32::GetLastError());
        }
        win32::PostMessageA(win32::HWND_BROADCAST, win32::WM_WININICHANGE, 0, "windows");
    }
}

void QzSystemInfo::AddStartupOnce(const std::string& sCommandLine, const std::string& sValueName,
                                  std::int32_t hmHkey) const {
    const win32::HKEY root{static_cast<std::uint32_t>(hmHkey)};
    WriteRunValue(root, KeyBase(root) + kRunKeys[2], sValueName, sCommandLine);
}

automation::Variant QzSystemInfo::StartupPrograms() const {
    struct Row {
        std::string name;
        std::string commandLine;
        std::int32_t location;
    };
    std::vector<Row> rows;
    for (std::int32_t location = QzRegistryHKLMRun; location <= QzRegistryHKCURunOnce; ++location) {
        const RegistryLocation source = RegistryLocationOf(location);
        for (StringValue& value : ValuesOf(source.root, source.key)) {
            rows.push_back({std::move(value.name), std::move(value.text), location});
        }
    }
    const std::string folder = SpecialFolder(QzSpecStartup);
    if (!folder.empty()) {
        if (const auto files = win32::FindFiles(folder + "\\*.*", 0)) {
            for (const win32::WIN32_FIND_DATAA& file : *files) {
                rows.push_back(
                    {BaseName(file.cFileName), folder + "\\" + file.cFileName, QzStartup});
            }
        }
    }
    for (const char* entry : {"load", "run"}) {
        for (std::string& program : Programs(win32::GetProfileStringA("windows", entry, ""))) {
            rows.push_back({BaseName(program), std::move(program), QzWinINI});
        }
    }
    automation::VariantArray2D table(0, static_cast<std::int32_t>(rows.size()) - 1, 0, 2);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto row = static_cast<std::int32_t>(i);
        table(row, QzStartupKeyName) = rows[i].name;
        table(row, QzStartupCommandLine) = rows[i].commandLine;
        table(row, QzStartupLocation) = rows[i].location;
    }
    return table;
}

automation::Variant QzSystemInfo::UserList() const {
    automation::StringArray users;
    std::array<char, 256> name{};
    for (win32::DWORD index = 0;; ++index) {
        if (win32::RegEnumKeyA(win32::HKEY_USERS, index, name.data(), name.size()) !=
            win32::ERROR_SUCCESS) {
            break;
        }
        users.push_back(std::string(name.data()));
    }
    return users;
}

}  // namespace Qz_System_Info
