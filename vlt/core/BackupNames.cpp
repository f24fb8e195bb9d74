#include "vlt/core/BackupNames.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "platform/machine/ShortNames.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace vlt {
namespace {

constexpr std::string_view kExtension = ".backup";
constexpr std::string_view kRecordExtension = ".path";
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";
// The host's limit for one name, less room for ".99999" of an older backup kept aside.
constexpr std::size_t kMaxName = 255 - 6;
// What a shortened name keeps of the file's own name at most, so that the folders' start is
// still there to tell it apart.
constexpr std::size_t kMaxFileName = 140;
constexpr std::size_t kHashDigits = 16;

std::string Hash(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
    char digits[kHashDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

// The longest start of `text` of at most `bytes` bytes that ends between two characters.
std::string_view StartWithin(std::string_view text, std::size_t bytes) {
    std::size_t end = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        automation::NextCodePoint(text, pos);
        if (pos > bytes) {
            break;
        }
        end = pos;
    }
    return text.substr(0, end);
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           automation::EqualsIgnoreCase(text.substr(text.size() - end.size()), end);
}

// A name's stem (without ".backup") that BackupFileName shortened: "…~" in it, and "~" and
// the hash digits at its end.
bool IsShortenedStem(std::string_view stem) {
    if (stem.size() < kHashDigits + 1 || stem.find(std::string(kEllipsis) + "~") == stem.npos) {
        return false;
    }
    const std::string_view digits = stem.substr(stem.size() - kHashDigits);
    return stem[stem.size() - kHashDigits - 1] == '~' &&
           std::all_of(digits.begin(), digits.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::vector<std::string> SplitAtTildes(const std::string& text) {
    std::vector<std::string> pieces(1);
    for (const char c : text) {
        if (c == '~') {
            pieces.emplace_back();
        } else {
            pieces.back() += c;
        }
    }
    return pieces;
}

// The pieces first..last-1 joined by the "~" they were split at: one component of a reading.
std::string Component(const std::vector<std::string>& pieces, std::size_t first, std::size_t last) {
    std::string component = pieces[first];
    for (std::size_t i = first + 1; i < last; ++i) {
        component += '~';
        component += pieces[i];
    }
    return component;
}

// A name of the form Windows gives as a short name: a valid 8.3 name whose base ends in "~"
// and a number (PROGRA~1, MSVBVM~1.DLL).
bool GeneratedShortName(const std::string& name) {
    if (!machine::IsValidShortName(name)) {
        return false;
    }
    const std::string base = name.substr(0, name.find('.'));
    const std::size_t tilde = base.rfind('~');
    return tilde != std::string::npos && tilde > 0 && tilde + 1 < base.size() &&
           base.find_first_not_of("0123456789", tilde + 1) == std::string::npos;
}

// A reading of a backup's name that fits the machine: its folder exists, and its file too, or
// its name is believable.
struct Candidate {
    std::string path;
    bool fileExists = false;
};

// Walks the readings whose folders exist, fewest "~" kept inside a component first, and keeps
// those that fit, in that order.
struct ReadingSearch {
    // More readings than this of one name only tell that the name is ambiguous.
    static constexpr std::size_t kEnough = 8;

    const std::vector<std::string>& pieces;
    const BackupFolderView& view;
    std::vector<Candidate> fitting;

    void From(const std::string& folder, std::size_t first) {
        for (std::size_t last = first + 1; last <= pieces.size() && fitting.size() < kEnough;
             ++last) {
            const std::string name = Component(pieces, first, last);
            if (name.empty()) {
                continue;  // two separators in a row name no component
            }
            const std::string path = folder + name;
            if (last == pieces.size()) {
                if (view.isFile(path)) {
                    fitting.push_back({path, true});
                } else if (last == first + 1 || GeneratedShortName(name)) {
                    // A "~" kept in a file name that is not there is believed only where it
                    // makes a short name such as MSVBVM~1.DLL; "GONE~C.DLL" is a name made up
                    // of separators.
                    fitting.push_back({path, false});
                }
            } else if (view.isFolder(path)) {
                From(path + "\\", last);
            }
        }
    }
};

// An older backup kept aside is "{name}.backup.{n}"; it reads as "{name}.backup".
std::string WithoutOlderNumber(const std::string& name) {
    const std::size_t point = name.rfind('.');
    const bool numbered = point != std::string::npos && point + 1 < name.size() &&
                          name.find_first_not_of("0123456789", point + 1) == std::string::npos;
    return numbered ? name.substr(0, point) : name;
}

// Every "~" of a stem read as a separator: "C~~A~B.DLL" is C:\A\B.DLL.
std::string Separated(const std::string& stem) {
    std::string path = stem.substr(0, 1) + ":\\";
    for (std::size_t i = 3; i < stem.size(); ++i) {
        path += stem[i] == '~' ? '\\' : stem[i];
    }
    return path;
}

// The path a record holds: its text without the line end.
std::string RecordedPath(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

BackupReading ReadShortened(const std::string& stem, const BackupFolderView& view) {
    const std::string record = stem + std::string(kRecordExtension);
    const std::string path = RecordedPath(view.readFile(record).value_or(""));
    if (!path.empty() && BackupFileName(path) == stem + std::string(kExtension)) {
        return {path, {}, {}};
    }
    return {Separated(stem.substr(0, stem.size() - kHashDigits - 1)),
            {},
            path.empty() ? "its record " + record + ", which names the file, is missing"
                         : "its record " + record + " names " + path + ", not this backup's file"};
}

BackupReading ReadClassic(const std::string& stem, const BackupFolderView& view) {
    const std::string root = stem.substr(0, 1) + ":\\";
    const std::vector<std::string> pieces = SplitAtTildes(stem.substr(3));
    if (pieces.back().empty()) {
        return {};  // the name would end in a backslash: a folder, never a backup
    }
    ReadingSearch search{pieces, view, {}};
    if (view.isFolder(root)) {
        search.From(root, 0);
    }
    const auto& fitting = search.fitting;
    const auto file = std::find_if(fitting.begin(), fitting.end(),
                                   [](const Candidate& c) { return c.fileExists; });
    if (file != fitting.end()) {
        const auto other = std::find_if(fitting.begin(), fitting.end(),
                                        [&](const Candidate& c) { return c.path != file->path; });
        return {file->path, other != fitting.end() ? other->path : std::string(), {}};
    }
    if (!fitting.empty()) {
        return {fitting.front().path, {}, {}};
    }
    return {Separated(stem), {}, {}};
}

std::optional<std::string> ReadMachineFile(const std::string& path) {
    const auto host = win32::HostPathOf(path);
    std::string text;
    if (!host || win32::host::ReadWholeFile(*host, text) != 0) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

std::string BackupFileName(const std::string& path) {
    std::string rest = path.size() > 2 ? path.substr(2) : std::string();
    std::replace(rest.begin(), rest.end(), '\\', '~');
    const std::string stem = path.substr(0, 1) + "~" + rest;
    if (stem.size() + kExtension.size() <= kMaxName) {
        return stem + std::string(kExtension);
    }
    const std::string tail = "~" + Hash(path) + std::string(kExtension);
    const std::string_view file =
        StartWithin(std::string_view(path).substr(path.rfind('\\') + 1), kMaxFileName);
    const std::size_t room = kMaxName - tail.size() - file.size() - kEllipsis.size() - 1;
    return std::string(StartWithin(stem, room)) + std::string(kEllipsis) + "~" + std::string(file) +
           tail;
}

std::string BackupRecordName(const std::string& backupName) {
    const std::string name = WithoutOlderNumber(backupName);
    if (!name.ends_with(kExtension)) {
        return {};
    }
    const std::string stem = name.substr(0, name.size() - kExtension.size());
    return IsShortenedStem(stem) ? stem + std::string(kRecordExtension) : std::string();
}

void WriteBackupRecord(const std::string& folder, const std::string& backupName,
                       const std::string& path) {
    constexpr const char* kProcedure = "modVLTWork.BackItUp";
    const std::string record = folder + BackupRecordName(backupName);
    if (const auto held = ReadMachineFile(record)) {
        if (RecordedPath(*held) == path) {
            return;
        }
        automation::Raise(automation::PathFileAccessError, kProcedure,
                          "The backup name " + backupName + " is taken by the backup of " +
                              RecordedPath(*held) + "; " + path + " is not backed up");
    }
    if (!win32::WriteFileAtomicallyA(record, path + "\r\n")) {
        win32::RaiseLastError(kProcedure);
    }
}

BackupReading ReadBackupName(const std::string& backupName, const BackupFolderView& view) {
    const std::string name = WithoutOlderNumber(backupName);
    // Only "X~~" followed by something and ".backup" is a name this program makes.
    const bool isBackupName = name.size() > 3 + kExtension.size() &&
                              std::isalpha(static_cast<unsigned char>(name[0])) != 0 &&
                              name[1] == '~' && name[2] == '~' &&
                              EndsWithIgnoreCase(name, kExtension);
    if (!isBackupName) {
        return {};
    }
    const std::string stem = name.substr(0, name.size() - kExtension.size());
    return !BackupRecordName(name).empty() ? ReadShortened(stem, view) : ReadClassic(stem, view);
}

bool IsMachineEntry(const std::string& path, bool folder) {
    const std::int32_t attributes = win32::GetFileAttributesA(path);
    return attributes != win32::INVALID_FILE_ATTRIBUTES &&
           ((attributes & win32::FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

BackupReading ReadBackupName(const std::string& folder, const std::string& backupName) {
    const BackupFolderView machine{
        [](const std::string& path) { return IsMachineEntry(path, true); },
        [](const std::string& path) { return IsMachineEntry(path, false); },
        [&folder](const std::string& name) { return ReadMachineFile(folder + name); }};
    return ReadBackupName(backupName, machine);
}

}  // namespace vlt
