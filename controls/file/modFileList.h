// The listing engine of QzFile: walks folders for files that match wildcard patterns and keeps
// them sorted by name, then folder.
//
// The state belongs to the module, not to a control: every QzFile on a thread shares one
// listing, one set of settings and one exclusion list (each thread has its own).
//
// A load started with MayCancel lets the host's events run (DoEvents) at every folder, every
// entry of a folder and every step of the sort, so that its progress window can show
// CurrentScanPath and call ScanCancel. Whatever else arrives during those moments is kept from
// disturbing the walk in progress:
//   - a second LoadFileListing returns false at once, and File returns "" without loading;
//   - setting Paths, Filter or IncludeSubDirectories stores the value and empties the listing
//     at once; the walk in progress stops at its next check and its load returns false, so the
//     next File or LoadFileListing walks again with the new settings;
//   - exclusions added or removed apply to the folders met from then on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Qz_File::modFileList {

enum ScanStates : std::int16_t {
    NotScanned = 0,
    Scanning = 1,
    Scanned = 2,
};

inline constexpr std::string_view kScanningPrefix = "Scanning: ";
inline constexpr std::string_view kSortingText = "Sorting scanned files.";

// "a;b;" -> {"a", "b"}: elements between semicolons, untrimmed; an element that does not end
// in `suffix` gets it appended. An empty list has no elements.
std::vector<std::string> SplitList(std::string_view list, std::string_view suffix);

const std::string& Paths();
void SetPaths(std::string_view paths);
const std::string& Filter();
void SetFilter(std::string_view filter);
bool IncludeSubDirectories();
void SetIncludeSubDirectories(bool include);

// "|C:\WINDOWS\TEMP\||D:\OLD\|": each excluded folder upper-cased, ending in "\", between bars,
// in the order of adding; the same folder may stand in it more than once.
const std::string& ExclusionList();
void AddExclusionPath(std::string_view excludedPath);
// Removes the first occurrence only.
void RemoveExclusionPath(std::string_view excludedPath);
// Empties the list.
void ClearExclusionPaths();

// True with a finished listing (at once when one is there already). False when Paths is
// empty, when the load was cancelled or its settings changed while it ran, and for a load
// asked for while another runs.
bool LoadFileListing(bool mayCancel = false);
void ScanCancel();

ScanStates ScanState();
const std::string& CurrentScanPath();
std::int32_t FileCount();
// Full path at sorted position `index`; loads first when the listing is not finished. "" when
// that load fails or `index` is outside 0 .. FileCount - 1.
std::string File(std::int32_t index);
// The number of different file names in the listing, names compared as Windows compares them
// (without regard to case).
std::int32_t UniqueFileCount();

// Back to the state of a fresh thread; for tests.
void ResetForTesting();

}  // namespace Qz_File::modFileList
