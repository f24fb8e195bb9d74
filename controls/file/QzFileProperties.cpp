// The members that answer questions about one file: version texts, dates and size,
// attributes, short name.
#include <unistd.h>

#include <cstdio>
#include <optional>

#include "controls/file/QzFile.h"
#include "controls/file/clsFileProperties.h"
#include "platform/automation/Date.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/FileTime.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/version/Version.h"
#include "platform/win32/version/VersionFile.h"

namespace Qz_File {
namespace {

void Put(std::string* out, const std::string& value) {
    if (out != nullptr) {
        *out = value;
    }
}

// The local date and time of a file time, to the second; nullopt for a time that has no
// automation date (before 1601 once shifted to local time, or beyond the year 9999).
std::optional<automation::Date> LocalDateOf(win32::FILETIME time) {
    const auto local = win32::FileTimeToLocalFileTime(time);
    if (!local) {
        return std::nullopt;
    }
    const auto st = win32::FileTimeToSystemTime(*local);
    if (!st || st->wYear > 9999) {
        return std::nullopt;
    }
    return automation::DateFromParts({.year = st->wYear,
                                      .month = st->wMonth,
                                      .day = st->wDay,
                                      .hour = st->wHour,
                                      .minute = st->wMinute,
                                      .second = st->wSecond});
}

void SetDate(automation::Date* out, win32::FILETIME time) {
    if (out == nullptr) {
        return;
    }
    if (const auto date = LocalDateOf(time)) {
        *out = *date;
    }
}

// What opening the file for reading would give: its host file's times and size, or nothing
// for a folder, a missing file or one the user may not read.
std::optional<win32::host::FileStat> OpenForReading(
    const std::optional<win32::detail::Target>& target) {
    win32::host::FileStat st;
    if (!target || !target->exists || target->Stat(st) != 0 || st.isDirectory ||
        ::access(target->host.c_str(), R_OK) != 0) {
        return std::nullopt;
    }
    return st;
}

// GetFileDates from what OpenForReading found.
void TakeDates(const std::optional<win32::host::FileStat>& st, automation::Date& dtCreation,
               automation::Date* dtModified, automation::Date* dtLastAccess, double* dwFileSize) {
    if (!st) {
        if (dwFileSize != nullptr) {
            *dwFileSize = -1;
        }
        return;
    }
    SetDate(dtLastAccess, win32::FileTimeFromUnix(st->accessTime));
    SetDate(&dtCreation, win32::FileTimeFromUnix(st->creationTime));
    SetDate(dtModified, win32::FileTimeFromUnix(st->writeTime));
    if (dwFileSize != nullptr) {
        *dwFileSize = static_cast<double>(st->size);
    }
}

std::string ImageTypeText(const std::optional<win32::ImageMachine>& image) {
    if (!image) {
        return {};
    }
    switch (image->format) {
        case win32::ImageFormat::PE: {
            char machine[8];
            std::snprintf(machine, sizeof machine, "%04X", image->machine);
            return std::string("PE ") + machine;
        }
        case win32::ImageFormat::NE:
            return "NE";
        case win32::ImageFormat::LE:
            return "LE";
        case win32::ImageFormat::NotAnImage:
            break;
    }
    return {};
}

std::string WineMarkText(win32::WineMark mark) {
    switch (mark) {
        case win32::WineMark::Builtin:
            return "builtin";
        case win32::WineMark::Placeholder:
            return "placeholder";
        case win32::WineMark::None:
            break;
    }
    return {};
}

}  // namespace

void QzFile::GetFileProperties(const std::string& sfile, std::string* strCompanyName,
                               std::string* strFileDescription, std::string* strInternalName,
                               std::string* strLegalCopyright, std::string* strProductName,
                               std::string* strOriginalFileName, std::string* strProductVersion,
                               std::string* strFileVersion) {
    clsFileProperties properties;
    properties.FileInfo(sfile);
    Put(strCompanyName, properties.CompanyName());
    Put(strFileDescription, properties.FileDescription());
    Put(strInternalName, properties.InternalName());
    Put(strLegalCopyright, properties.LegalCopyright());
    Put(strProductName, properties.ProductName());
    Put(strOriginalFileName, properties.OriginalFilename());
    Put(strProductVersion, properties.ProductVersion());
    Put(strFileVersion, properties.FileVersion());
}

void QzFile::GetFileDates(const std::string& sfile, automation::Date& dtCreation,
                          automation::Date* dtModified, automation::Date* dtLastAccess,
                          double* dwFileSize) {
    TakeDates(OpenForReading(win32::detail::Resolve(sfile)), dtCreation, dtModified, dtLastAccess,
              dwFileSize);
}

std::string QzFile::GetImageType(const std::string& sfile) {
    return ImageTypeText(win32::GetImageMachine(sfile));
}

std::string QzFile::GetWineMark(const std::string& sfile, bool* preferNative) {
    const win32::WineModule module = win32::GetWineModule(sfile);
    if (preferNative != nullptr) {
        *preferNative = module.preferNative;
    }
    return WineMarkText(module.mark);
}

void QzFile::GetFileFacts(const std::string& sfile, FileFacts& facts) {
    const auto target = win32::detail::Resolve(sfile);
    TakeDates(OpenForReading(target), facts.created, &facts.modified, &facts.accessed, &facts.size);
    facts.wineMark.clear();
    facts.preferNative = false;
    if (!target) {
        facts.imageType.clear();
        facts.version.FromBlock(nullptr);
        return;
    }
    const win32::ImageFacts image = win32::ReadImageFacts(target->host);
    facts.imageType = ImageTypeText(image.machine);
    facts.version.FromBlock(image.version.resource ? &image.version.resource->block : nullptr);
    facts.wineMark = WineMarkText(image.wine.mark);
    facts.preferNative = image.wine.preferNative;
}

std::int32_t QzFile::FileAttributes(const std::string& sfile) {
    return win32::GetFileAttributesA(sfile);
}

std::string QzFile::GetShortName(const std::string& strLongName) {
    return win32::GetShortPathNameA(strLongName).value_or(std::string());
}

}  // namespace Qz_File
