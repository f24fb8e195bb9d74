// velto-machine verinfo FILE...: the eight standard version texts of host files, read through
// each file's first translation exactly as the file control reads them. One tab-separated
// row per file: path, CompanyName, FileDescription, FileVersion, InternalName,
// LegalCopyright, OriginalFileName, ProductName, ProductVersion. A file without version
// information gives empty texts; one that cannot be read is reported and makes the exit
// status 1.

#include <iostream>
#include <string>

#include "platform/restart/Boot.h"
#include "platform/win32/version/VersionErrors.h"
#include "platform/win32/version/VersionFile.h"
#include "platform/win32/version/VersionStrings.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

// Tabs, line feeds and backslashes would break the rows; they are written as \t, \n and \\.
std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The failures that say a file holds no (usable) version resource, as opposed to a file
// that could not be read at all.
bool MeansNoVersion(win32::DWORD error) {
    switch (error) {
        case win32::ERROR_BAD_FORMAT:
        case win32::ERROR_RESOURCE_DATA_NOT_FOUND:
        case win32::ERROR_RESOURCE_TYPE_NOT_FOUND:
        case win32::ERROR_RESOURCE_NAME_NOT_FOUND:
        case win32::ERROR_RESOURCE_LANG_NOT_FOUND:
            return true;
        default:
            return false;
    }
}

int Verinfo(const std::vector<std::string>& args) {
    const auto parsed = ParseArgs(args, {}, {});
    if (parsed.positional.empty()) {
        throw UsageError("usage: velto-machine verinfo FILE...");
    }
    int status = kOk;
    for (const std::string& file : parsed.positional) {
        const auto loaded = win32::LoadVersionResourceFromFile(file);
        if (!loaded.resource && !MeansNoVersion(loaded.error)) {
            std::cerr << "velto-machine verinfo: cannot read " << file << ": "
                      << win32::DescribeWin32Error(loaded.error) << "\n";
            status = kFailed;
            continue;
        }
        win32::StandardVersionStrings s;
        if (loaded.resource) {
            s = win32::ReadStandardVersionStrings(loaded.resource->block);
        }
        std::cout << Escaped(file);
        for (const std::string* value :
             {&s.CompanyName, &s.FileDescription, &s.FileVersion, &s.InternalName,
              &s.LegalCopyright, &s.OriginalFilename, &s.ProductName, &s.ProductVersion}) {
            std::cout << '\t' << Escaped(*value);
        }
        std::cout << '\n';
    }
    std::cout << std::flush;
    if (!std::cout) {
        throw std::runtime_error("cannot write to standard output");
    }
    return status;
}

const RegisterCommand kVerinfo({"verinfo", "FILE...",
                                "prints the version texts of host files, one tab-separated row "
                                "per file",
                                Verinfo});

}  // namespace
}  // namespace velto_machine
