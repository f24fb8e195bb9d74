// QzFile: the file-services control. It lists and sorts the files that match wildcard
// patterns in a set of folders, answers questions about one file (version texts, dates, size,
// attributes, short name), carries out file and shell operations (moves at the next start of
// Windows, the Recycle Bin, shortcuts, INI values, the recent-documents list) and keeps a list
// of recently used project files for its host.
//
// The listing belongs to the thread, not to the instance (see modFileList.h): two QzFile
// controls on one form see the same Paths, Filter and result. Paths are Windows paths on the
// current machine. The control has no window of its own; `ContainerHwnd` is the window of the
// form that hosts it, the owner of the shell's dialogs.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "controls/file/clsFileProperties.h"
#include "platform/automation/Date.h"
#include "platform/automation/Events.h"
#include "platform/automation/Object.h"
#include "platform/automation/PropertyBag.h"
#include "platform/automation/Variant.h"

namespace Qz_File {

enum FILE_ATTRIBUTES : std::int32_t {
    FILE_ATTRIBUTE_READONLY = 1,
    FILE_ATTRIBUTE_HIDDEN = 2,
    FILE_ATTRIBUTE_SYSTEM = 4,
    FILE_ATTRIBUTE_DIRECTORY = 16,
    FILE_ATTRIBUTE_ARCHIVE = 32,
    FILE_ATTRIBUTE_NORMAL = 128,
    FILE_ATTRIBUTE_TEMPORARY = 256,
    FILE_ATTRIBUTE_COMPRESSED = 2048,
};

// The date a file date argument keeps when the file's time cannot be read (1 January 1601).
enum UNKNOWN_DATE_TYPE : std::int32_t {
    UNKNOWN_DATE = -109205,
};

enum VS_FILE_OS : std::int32_t {
    VOS_UNKNOWN = 0,
    VOS_DOS = 65536,
    VOS_OS216 = 131072,
    VOS_OS232 = 196608,
    VOS_NT = 262144,
    VOS__BASE = 0,
    VOS__WINDOWS16 = 1,
    VOS__PM16 = 2,
    VOS__PM32 = 3,
    VOS__WINDOWS32 = 4,
    VOS_DOS_WINDOWS16 = 65537,
    VOS_DOS_WINDOWS32 = 65540,
    VOS_OS216_PM16 = 131074,
    VOS_OS232_PM32 = 196611,
    VOS_NT_WINDOWS32 = 262148,
};

enum VFT_FILE_TYPES : std::int32_t {
    VFT_UNKNOWN = 0,
    VFT_APP = 1,
    VFT_DLL = 2,
    VFT_DRV = 3,
    VFT_FONT = 4,
    VFT_VXD = 5,
    VFT_STATIC_LIB = 7,
};

enum CLEAR_RECYCLE : std::int32_t {
    SHERB_NORMAL = 0,
    SHERB_NOCONFIRMATION = 1,
    SHERB_NOPROGRESSUI = 2,
    SHERB_NOSOUND = 4,
};

class QzFile : public automation::Object {
  public:
    static constexpr const char* kProgID = "Qz_File.QzFile";
    // Size the control keeps on a form, in twips.
    static constexpr int kDesignSize = 735;
    static constexpr std::int32_t kDefaultMaxRecents = 4;
    static constexpr std::int16_t kDefaultWindowStyle = 3;

    QzFile();

    // --- Directory listing (shared by every instance on the thread) ---
    std::string Paths() const;
    void SetPaths(const std::string& value);
    std::string Filter() const;
    void SetFilter(const std::string& value);
    bool IncludeSubDirectories() const;
    void SetIncludeSubDirectories(bool value);
    void AddExclusionPath(const std::string& sExcludedPath);
    void RemoveExclusionPath(const std::string& sExcludedPath);
    // Empties the exclusion list (shared by every instance on the thread, as adding is), so
    // that a host can hand over a new list whole.
    void ClearExclusionPaths();
    bool LoadFileListing(std::optional<bool> MayCancel = std::nullopt);
    void ScanCancel();
    std::string CurrentScanPath() const;
    std::int32_t FileCount() const;
    std::string File(std::int32_t Index);
    std::int32_t UniqueFileCount() const;

    // --- One file ---
    // Every argument given is overwritten: with the value from the file's version resource
    // (through its first translation), or "" where there is none.
    void GetFileProperties(const std::string& sfile, std::string* strCompanyName = nullptr,
                           std::string* strFileDescription = nullptr,
                           std::string* strInternalName = nullptr,
                           std::string* strLegalCopyright = nullptr,
                           std::string* strProductName = nullptr,
                           std::string* strOriginalFileName = nullptr,
                           std::string* strProductVersion = nullptr,
                           std::string* strFileVersion = nullptr);
    // The three times as local automation dates, to the second; a time that cannot be read
    // (the file cannot be opened, or its time has no calendar date) leaves its argument as
    // it was, so a preset UNKNOWN_DATE survives. The size in bytes, or -1 when the file
    // cannot be opened.
    void GetFileDates(const std::string& sfile, automation::Date& dtCreation,
                      automation::Date* dtModified = nullptr,
                      automation::Date* dtLastAccess = nullptr, double* dwFileSize = nullptr);
    // What GetFileDates, GetImageType and GetFileProperties tell of one file, read with its
    // path resolved once and the file opened once (for a host that asks all three of many
    // files). The dates are left as they are when the file's times cannot be read, as
    // GetFileDates leaves its arguments.
    // wineMark tells a module Wine installed by the signature Wine writes into it: "builtin"
    // (its own library or program), "placeholder" (a stand-in older versions wrote for a
    // module they provide), or "" for any other file; preferNative, a builtin that makes way
    // for a program's own copy of itself unless an override says otherwise.
    struct FileFacts {
        automation::Date created;
        automation::Date modified;
        automation::Date accessed;
        double size = -1;
        std::string imageType;
        clsFileProperties version;
        std::string wineMark;
        bool preferNative = false;
    };
    void GetFileFacts(const std::string& sfile, FileFacts& facts);
    // The kind of executable image and its processor, so that copies no program of the other
    // kind could load are told apart: "PE " and the image's machine field in four hexadecimal
    // digits ("PE 014C" x86, "PE 8664" x64), "NE" (16-bit), "LE" (virtual device driver); ""
    // for a file that is no image or cannot be read.
    std::string GetImageType(const std::string& sfile);
    // Wine's mark on the file, as FileFacts::wineMark tells it; preferNative as FileFacts's.
    std::string GetWineMark(const std::string& sfile, bool* preferNative = nullptr);
    // The attribute word, or -1.
    std::int32_t FileAttributes(const std::string& sfile);
    // The 8.3 form of an existing path; "" when it does not exist.
    std::string GetShortName(const std::string& strLongName);

    // --- File operations ---
    // Schedules moving `Source` over `Target` (an empty Target: deleting Source) at the next
    // start of Windows. Returns an empty Variant. The same operation waiting already (the last
    // one waiting for its source and target) is not added again. On the 9x family a target
    // holding "=" is written by its short form, which the start reads back exactly; one
    // without such a form raises ERROR_INVALID_NAME (ask CanScheduleTarget first).
    automation::Variant MoveOnRestart(const std::string& Source, const std::string& Target);
    // A host that schedules many operations can have them held and written together: from
    // HoldRestartMoves on, MoveOnRestart keeps the operations it adds (for every QzFile of the
    // process: the list is the machine's) until CommitRestartMoves writes all of them in one
    // write (wininit.ini replaced whole once, or the pending list in one registry
    // transaction), the same lines in the same order as one call each would have written;
    // ReleaseRestartMoves forgets what is still held and ends the holding. Every question
    // below sees the held operations as waiting. A list that cannot be read or written raises
    // as MoveOnRestart does (CommitRestartMoves keeps the held operations then, so that it can
    // be called again).
    void HoldRestartMoves();
    std::size_t HeldRestartMoves() const;
    // Whether the held operations are as many as the written list holds (at least a few
    // dozen): writing them then keeps the cost of all the writes in proportion to the list.
    bool RestartMovesDue() const;
    void CommitRestartMoves();
    void ReleaseRestartMoves();
    // Takes back the latest move of `Source` over `Target` (an empty Target: its deletion)
    // that waits for the next start, so that a host can withdraw exactly what it scheduled:
    // false when none waits; a list that cannot be read or rewritten raises, as
    // MoveOnRestart does. Held operations are written first.
    bool CancelMoveOnRestart(const std::string& Source, const std::string& Target);
    struct RestartMove {
        std::string source;
        std::string target;
    };
    // The same for several moves in one rewrite of the list, each in the order given; the
    // flags say which were found.
    std::vector<bool> CancelMovesOnRestart(std::span<const RestartMove> Moves);
    // Whether MoveOnRestart can name `Target` in the restart list.
    bool CanScheduleTarget(const std::string& Target);
    // Whether a copy of `Source` onto `Target` waits already: the last operation waiting for
    // Target moves a file onto it that holds what Source holds now. `IsHeld` tells whether
    // that operation is a held one, not yet written.
    bool CopyPendingOnRestart(const std::string& Source, const std::string& Target,
                              bool* IsHeld = nullptr);
    // Whether the move of `Source` over `Target` (an empty Target: its deletion) waits for the
    // next start already, so that MoveOnRestart would add nothing: a host that withdraws what
    // it scheduled must not take back what it did not add. `IsHeld` as above.
    bool MoveWaitsOnRestart(const std::string& Source, const std::string& Target,
                            bool* IsHeld = nullptr);
    bool Recycle(const std::string& sfile);
    bool EmptyRecycleBin(const std::optional<std::string>& DriveToEmpty = std::nullopt,
                         std::optional<CLEAR_RECYCLE> Options = std::nullopt);
    bool FileExists(const std::string& sfile);
    std::string GrabFilename(const std::string& f) const;
    std::string GrabFilePath(const std::string& f) const;
    std::string GrabFileNameNoExt(const std::string& f) const;
    bool CreateShortcut(const std::string& sShortcutPath, const std::string& sDescription,
                        const std::string& sTargetPath,
                        const std::optional<std::string>& sArguments = std::nullopt,
                        const std::optional<std::string>& sWorkingDirectory = std::nullopt,
                        const std::optional<std::string>& sHotKey = std::nullopt,
                        const std::optional<std::string>& sIconLocation = std::nullopt,
                        std::optional<std::int16_t> iWindowStyle = std::nullopt);
    void AddToRecentDocuments(const std::string& sfile);
    void ClearRecentDocuments();
    void WriteINIValue(const std::string& sINIFile, const std::string& sSection,
                       const std::string& sKey, const std::string& sValue);
    std::string ReadINIValue(const std::string& sINIFile, const std::string& sSection,
                             const std::string& sKey,
                             const std::optional<std::string>& sDefault = std::nullopt);
    std::int16_t VerifySave(const std::optional<std::string>& ObjectToSave = std::nullopt);

    // --- Directory picker (QzFileDirListing.cpp) ---
    // The folder the user picks in the folder window (platform/dialogs/DirectoryPicker.h): a
    // drive root as C:\, any other folder without a trailing backslash; "" when cancelled
    // (Canceled true) or when the folder lacks RequiredFile (Canceled false, RequiredFileFound
    // false). RequiredFileFound is only written when RequiredFile is given. Without a picker
    // installed (a program without windows) every call is a cancel.
    std::string ShowDirListing(const std::string& InitPath,
                               const std::optional<std::string>& Title = std::nullopt,
                               bool* Canceled = nullptr, const std::string& RequiredFile = "",
                               bool* RequiredFileFound = nullptr);

    // --- Recent projects ---
    std::int32_t RecentCount();
    std::string RecentProject(std::int32_t Index) const;
    std::string RecentProjectFile(std::int32_t Index) const;
    void SetRecentProjectFile(const std::string& strProjFile,
                              std::optional<bool> AddToRecentDocs = std::nullopt,
                              std::optional<std::int32_t> MaxRecents = std::nullopt);
    void RemoveRecentProject(std::int32_t Index);
    std::string CompanyName() const;
    void SetCompanyName(const std::string& value);
    std::string ProductName() const;
    void SetProductName(const std::string& value);

    // --- Control frame ---
    void ReadProperties(const automation::PropertyBag& bag);
    void WriteProperties(automation::PropertyBag& bag) const;
    void AboutDisplay() const;
    std::uint32_t ContainerHwnd() const { return containerHwnd_; }
    void SetContainerHwnd(std::uint32_t hwnd) { containerHwnd_ = hwnd; }
    // The control's extent on its form in twips; it keeps its design size whatever it is set to.
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetSize(int width, int height);
    void UserControl_Resize();

    // Raised with the property's name when the host sets Paths, Filter, CompanyName or
    // ProductName.
    automation::PropertyChangedEvent PropertyChanged;

  private:
    std::string RecentKey() const;
    void LoadRecents();
    void WriteRecent(std::int32_t position, const std::string& file) const;
    void DeleteRecent(std::int32_t position) const;

    std::string companyName_;
    std::string productName_;
    std::int32_t recentCount_ = 0;
    std::vector<std::string> recentFiles_;
    bool recentsLoaded_ = false;
    std::uint32_t containerHwnd_ = 0;
    int width_ = kDesignSize;
    int height_ = kDesignSize;
};

}  // namespace Qz_File
