#pragma once
// Listing a folder the way the old directory function did, as one call returning every entry
// (no shared cursor to reset).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/kernel32/FileTime.h"
#include "platform/win32/ntdll/WinError.h"

namespace win32 {

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    std::uint64_t nFileSize = 0;
    std::string cFileName;           // long name as stored
    std::string cAlternateFileName;  // 8.3 name (the long name when that is already one)
};

// Whether `name` matches a Windows wildcard pattern: "*" and "?" without regard to case, with
// the rules Windows applies around dots ("*.*" matches every name, "*." names without an
// extension, "a.*" also "a", a "?" before a dot or at the end may match nothing).
bool MatchesWildcard(std::string_view pattern, std::string_view name);

// A pattern prepared once for matching many names, with the rules of MatchesWildcard. Walkers
// that test every name of a large tree use it; the common "*.ext" form costs one comparison of
// the name's end.
class WildcardPattern {
  public:
    explicit WildcardPattern(std::string_view pattern);
    bool Matches(std::string_view name) const;

  private:
    std::u32string compiled_;
    bool matchesEverything_ = false;
    // Set when the pattern is "*" followed by ASCII text without wildcards: upper-case, the
    // text every matching name ends with.
    std::optional<std::string> asciiTail_;
};

// Lists `pattern`: a folder path and a name that may hold wildcards ("C:\WINDOWS\*.DLL"); a
// path without wildcards finds that one entry; a folder path ending in "\" lists the folder
// with "." and ".." first (except at a drive root).
//
// Entries come in the host's directory order. `attributeMask` follows the old directory
// function: entries that are only read-only, archive or normal always come; hidden, system
// and folder entries only when the mask holds every one of those bits that they carry
// (16 gives plain files and folders; 39 gives hidden and system files but no folders).
//
// nullopt (last error set) when the folder cannot be listed: missing, drive not ready, a name
// Windows forbids. An empty vector, with ERROR_FILE_NOT_FOUND, when nothing matches.
std::optional<std::vector<WIN32_FIND_DATAA>> FindFiles(std::string_view pattern,
                                                       DWORD attributeMask);

}  // namespace win32
