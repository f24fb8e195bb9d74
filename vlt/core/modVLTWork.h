// modVLTWork, the part that looks: one scan of the fixed drives and the matching of the
// copies that share a file name. (The part that acts, the action list, backups and
// restart-time work, is modVLTWorkActions.h.)
//
// StartScan hands QzFile the chosen types, the fixed drives and the excluded folders, has it
// list and sort every matching file, and then LoadDups walks the sorted listing group by
// group: each group is every copy of one file name. It reads each copy's version texts, dates
// and size, decides whether the copies really differ, and recommends the copy to keep. A
// flagged group goes to the review window, or, in automatic mode, straight to the repair.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/automation/Date.h"
#include "platform/machine/MachineKind.h"

namespace modVLTWork {

// --- Scan ---

// One scan: listing, matching, then the review window (or, in automatic mode, the report).
void StartScan();
// QzFile's Filter from the type settings ("*.dll;*.exe"); with no type chosen the DLL type is
// switched on (stored, and ticked in the main window).
void SetFilter();
// QzFile's Paths: the root of every fixed drive, each followed by ";".
void SetPaths();
// Hands QzFile exactly the excluded folders stored under the settings key's "Exclusions",
// in place of any it was given before. False when the stored list cannot be read in full
// (the user has been told); QzFile then excludes nothing and the scan must not run.
bool SetExclusions();
// Excludes every plain folder (attributes exactly 16) below Path, at any depth.
void GetAllSubPaths(const std::string& Path);

// --- Matching ---

// The twelve texts that describe one copy, indexed as the main window's comparison boxes,
// the image type (QzFile GetImageType), which only tells copies for different processors
// apart, and, for a file that belongs to the platform the machine runs on, who keeps it and
// what it is (PlatformFile below); none of the last three is a field plain mode compares.
enum FilePropsField : int {
    kFileVersion = 0,
    kProductVersion = 1,
    kCreated = 2,
    kModified = 3,
    kAccessed = 4,
    kSize = 5,
    kProductName = 6,
    kCompanyName = 7,
    kOriginalFileName = 8,
    kInternalName = 9,
    kLegalCopyright = 10,
    kFileDescription = 11,
    kImageType = 12,
    kPlatformOwner = 13,
    kPlatformFile = 14,
};
inline constexpr int kComparedFields = 12;
using FileProps = std::array<std::string, 15>;

// CheckProblem's verdict on a candidate copy against the recommended one.
enum Verdict : std::int16_t {
    CompanyMismatch = 0,
    KeepRecommended = 1,
    TakeCandidate = 2,
    VersionMissing = 3,
    // The copies are images for different processors: no program of one kind can load the
    // other, so neither may replace the other (treated as differing company names are).
    ProcessorMismatch = 4,
};

// Images of the review tree.
inline constexpr int kImageRecommended = 1;
inline constexpr int kImageOtherCopy = 2;
inline constexpr int kImageNoRecommendationCopy = 4;
inline constexpr int kImageNoRecommendation = 6;
inline constexpr int kImageHasRecommendation = 7;
// A copy that belongs to the platform (Wine's own library, a launcher's file).
inline constexpr int kImagePlatformCopy = 8;

inline constexpr const char* kCompanyNote = "COMPANY NAME DOES NOT MATCH";
inline constexpr const char* kVersionNote = "VERSION INFORMATION MISSING";
inline constexpr const char* kProcessorNote = "PROCESSOR DOES NOT MATCH";
// The note of a group in which a file of the platform stands beside programs' copies: "LEFT
// TO WINE" (the owner in capitals).
std::string PlatformNote(const std::string& owner);

// Walks QzFile's finished listing group by group (the progress window is loaded), fills
// RecommendedList and the review tree, or repairs in automatic mode. Unloads the progress
// window when it ends.
//
// Files of the platform are no copies to judge: a file that carries Wine's signature (QzFile
// tells it from the bytes, on every kind of machine) or that the machine's kind gives to its
// platform (a launcher's tracked file) is never recommended, overwritten, removed or copied.
// A group made only of such files is not flagged; a group in which one stands beside programs'
// copies gets no recommendation, the note PlatformNote, the platform's picture on those
// copies, and in automatic mode a notation instead of a repair.
//
// On a machine whose processors have system folders of their own (a 64-bit Windows), the
// copies of one name are judged per processor, each part against its own system folder, as
// groups of their own keyed "NAME (x86)", "NAME (x64)"; a group whose copies cannot be sorted
// so (an image for a processor the machine runs no program of, a file that is no image) stays
// whole.
void LoadDups();

// True for a problem or a real difference between R (the recommended copy) and C (the
// candidate); Verdict says what to do about it. Texts compare exactly, except that versions
// are ordered part by part by number (automation::CompareVersionTexts: 10.0 is newer than 5.0).
bool CheckProblem(const FileProps& R, const FileProps& C, Verdict& verdict,
                  const std::string& recommendedFolder, const std::string& candidateFolder);

// Plain mode's comparison of a copy C with the copy before it, R: the file version and each
// field whose bit (field k, bit k - 1) is set in mask, compared exactly, except that created
// dates up to 10 minutes apart either way count as equal. True at the first difference. R
// takes each compared field of C on the way, so the next copy is compared with this one.
bool FieldsDiffer(FileProps& R, const FileProps& C, std::int32_t mask);

// The properties of one copy from QzFile. A date reads "Unknown" when QzFile reports the
// unknown date; a file whose times cannot be read at all keeps the zero date
// (30-Dec-1899 00:00:00) and the size -1.
FileProps GetFileProps(const std::string& path);
// Whether the file at `path` belongs to the platform the machine runs on: by Wine's mark on it
// (QzFile's wineMark), on every kind of machine, else by the records of the machine's kind.
std::optional<machine::PlatformFile> PlatformFileOf(const std::string& path,
                                                    const std::string& wineMark);
// What the platform loads for a group's name where programs bring their own copies of a
// library it provides: asked of the machine's kind when a copy carries Wine's builtin mark;
// nullopt otherwise (or when the kind has nothing to tell). Information only: it never
// changes what is repaired.
std::optional<machine::LibraryChoice> LibraryChoiceOf(std::span<const std::string> paths);
// "builtin by default (no override); native for Game.exe (AppDefaults\\Game.exe: "n")", for
// people.
std::string LibraryChoiceText(const machine::LibraryChoice& choice);
// Whether the copy belongs to the platform, from its properties: "" when not, else the
// sentence the user is told ("C:\...\X.DLL is Wine's own library (builtin)").
std::string PlatformFileText(const std::string& path, const FileProps& props);

// True when every copy (folder & FileName for each folder) has the same content. Otherwise
// False, with lastMatched the last copy that matched the ones before it and current the copy
// that differs (or could not be read).
bool FilesSame(std::span<const std::string> Folders, const std::string& FileName,
               std::string& lastMatched, std::string& current);

// "dd-mmm-yyyy hh:nn:ss" (05-Mar-2003 14:07:09), the month as the locale abbreviates it.
std::string FormattedDate(automation::Date date);

// The automatic repair of one group: the recommended copy is moved into the system folder
// when a copy lies there, else copied over the other copies. Only ever called with a path the
// matching recommended; raises run-time error 5 for "" or "?", which name no file.
void FixSysFile(std::span<const std::string> Folders, const std::string& Recommended,
                std::int32_t n);

}  // namespace modVLTWork
