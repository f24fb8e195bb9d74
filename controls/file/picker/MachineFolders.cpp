#include "controls/file/picker/MachineFolders.h"

#include <QString>
#include <algorithm>
#include <cctype>
#include <sstream>
#include <unordered_set>

#include "platform/automation/Errors.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/FindFiles.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/kernel32/SystemInfo.h"

namespace Qz_File {

namespace {

std::string DriveRoot(char letter) {
    return std::string{letter, ':', '\\'};
}

bool StartsWithDrive(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

void SortByName(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return QString::compare(QString::fromStdString(a), QString::fromStdString(b),
                                Qt::CaseInsensitive) < 0;
    });
}

}  // namespace

std::vector<std::string> MachineDrives() {
    std::vector<std::string> drives;
    for (const std::string& root : win32::GetLogicalDriveStringsA()) {
        drives.push_back(std::string{static_cast<char>(std::tolower(root[0])), ':'});
    }
    return drives;
}

std::string DriveCaption(const std::string& drive) {
    if (!StartsWithDrive(drive)) {
        return drive;
    }
    std::string caption{static_cast<char>(std::tolower(drive[0])), ':'};
    const auto volume = win32::GetVolumeInformationA(DriveRoot(drive[0]));
    if (volume && !volume->volumeName.empty()) {
        caption += " [" + volume->volumeName + "]";
    }
    return caption;
}

void RequireDriveReady(const std::string& drive) {
    if (!StartsWithDrive(drive) ||
        win32::GetDriveTypeA(drive.substr(0, 2)) == win32::DRIVE_NO_ROOT_DIR ||
        !win32::GetVolumeInformationA(DriveRoot(drive[0]))) {
        automation::Raise(automation::DeviceUnavailable);
    }
}

std::string ExistingFolder(const std::string& path) {
    if (StartsWithDrive(path)) {
        RequireDriveReady(path);
    }
    std::string target = path;
    if (StartsWithDrive(path) && path.size() == 2) {
        const auto current = win32::GetCurrentDirectoryA();
        const bool sameDrive = current && !current->empty() &&
                               std::toupper(static_cast<unsigned char>((*current)[0])) ==
                                   std::toupper(static_cast<unsigned char>(path[0]));
        target = sameDrive ? *current : DriveRoot(path[0]);
    }
    const auto folder = target.empty() ? std::nullopt : win32::GetLongPathNameA(target);
    if (!folder) {
        automation::Raise(automation::PathNotFound);
    }
    const std::int32_t attributes = win32::GetFileAttributesA(*folder);
    if (attributes == win32::INVALID_FILE_ATTRIBUTES ||
        (attributes & win32::FILE_ATTRIBUTE_DIRECTORY) == 0) {
        automation::Raise(automation::PathNotFound);
    }
    return *folder;
}

std::vector<std::string> SubFolders(const std::string& folder) {
    std::vector<std::string> names;
    const auto entries = win32::FindFiles(
        JoinPath(folder, "*.*"), win32::FILE_ATTRIBUTE_DIRECTORY | win32::FILE_ATTRIBUTE_HIDDEN |
                                     win32::FILE_ATTRIBUTE_SYSTEM);
    if (!entries) {
        return names;
    }
    for (const auto& entry : *entries) {
        if ((entry.dwFileAttributes & win32::FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            entry.cFileName != "." && entry.cFileName != "..") {
            names.push_back(entry.cFileName);
        }
    }
    SortByName(names);
    return names;
}

std::vector<std::string> MatchingFiles(const std::string& folder, const std::string& patterns) {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    std::istringstream list(patterns);
    std::string pattern;
    while (std::getline(list, pattern, ';')) {
        pattern.erase(0, pattern.find_first_not_of(' '));
        pattern.erase(pattern.find_last_not_of(' ') + 1);
        // The list shows one folder; a pattern must not reach into another one.
        if (pattern.empty() || pattern.find_first_of("\\/:") != std::string::npos) {
            continue;
        }
        const auto entries = win32::FindFiles(JoinPath(folder, pattern), 0);
        if (!entries) {
            continue;
        }
        for (const auto& entry : *entries) {
            if ((entry.dwFileAttributes & win32::FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                seen.insert(entry.cFileName).second) {
                names.push_back(entry.cFileName);
            }
        }
    }
    SortByName(names);
    return names;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\') {
        return folder + name;
    }
    return folder + "\\" + name;
}

std::vector<std::string> StartFolderCandidates(const std::string& initDir) {
    std::vector<std::string> candidates;
    if (initDir.empty()) {
        candidates.push_back(win32::GetCurrentDirectoryA().value_or(std::string()));
    } else {
        for (std::string folder = initDir; !folder.empty();) {
            candidates.push_back(folder);
            const std::size_t slash = folder.find_last_of("\\/");
            if (slash == std::string::npos) {
                break;
            }
            std::string parent = folder.substr(0, slash == 2 ? 3 : slash);
            if (parent == folder) {
                break;  // a drive root
            }
            folder = std::move(parent);
        }
        if (initDir.size() >= 2 && initDir[1] == ':') {
            candidates.push_back(initDir.substr(0, 2));
        }
    }
    for (const std::string& drive : MachineDrives()) {
        candidates.push_back(drive);
    }
    return candidates;
}

}  // namespace Qz_File
