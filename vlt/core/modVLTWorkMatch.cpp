#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "controls/file/QzFile.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Format.h"
#include "platform/automation/Text.h"
#include "platform/automation/VersionText.h"
#include "platform/dialogs/Clock.h"
#include "platform/win32/kernel32/FileIdentity.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/ScheduledMoves.h"
#include "vlt/core/SystemFolders.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"
#include "vlt/core/modVLTWorkActions.h"

namespace modVLTWork {
namespace {

namespace props = modVLTProperties;
using automation::Variant;
// Versions are ordered part by part by number (10.0 is newer than 5.0); equality stays exact.
using automation::VersionIsNewer;

constexpr std::int64_t kTenMinutes = 600;

// A date field as seconds on a straight time line (the automation serial counts whole days
// backwards but the time of day forwards before 1900); 0, the zero date, for a text that is
// not a date ("Unknown").
std::int64_t SecondsOf(const std::string& field, bool* isDate = nullptr) {
    const Variant text(field);
    const bool date = automation::IsDate(text);
    if (isDate != nullptr) {
        *isDate = date;
    }
    if (!date) {
        return 0;
    }
    const double serial = automation::CDate(text).serial;
    const double whole = std::trunc(serial);
    return std::llround((whole + std::fabs(serial - whole)) * 86400.0);
}

bool SameFolder(const std::string& folder, const std::string& other) {
    return automation::UCase(QzBase::LastSlash(folder)) ==
           automation::UCase(QzBase::LastSlash(other));
}

// Image types of two copies that no program of the other kind can load; a file that is no
// image ("") goes with any.
bool ForDifferentProcessors(const std::string& a, const std::string& b) {
    return !a.empty() && !b.empty() && a != b;
}

// Host files compared block by block: a copy is only "the same" when every byte is. Neither
// is opened unless it is a regular file, so a FIFO posing as a copy cannot hold the scan.
bool SameContent(const std::filesystem::path& a, const std::filesystem::path& b) {
    bool same = false;
    return win32::host::CompareContents(a, b, same) == 0 && same;
}

// Whether a copy can be read as a file at all.
bool Readable(const std::filesystem::path& host) {
    int fd = -1;
    if (win32::host::OpenRegularFile(host, fd) != 0) {
        return false;
    }
    ::close(fd);
    return true;
}

// The folders of a group's distinct copies: one host file reached by several paths (a folder
// link inside the drive) is one copy. Of its paths the group shows the one in a system
// folder, when one is there (so the repair knows the file lies there already), else the first
// listed; the others are only traced.
std::vector<std::string> DistinctCopies(const std::string& name,
                                        std::span<const std::string> folders) {
    std::vector<std::string> kept;
    std::vector<std::optional<win32::FileIdentity>> ids;
    for (const std::string& folder : folders) {
        const auto id = win32::FileIdentityOf(folder + name);
        const auto same = id ? std::find(ids.begin(), ids.end(), id) : ids.end();
        if (same == ids.end()) {
            kept.push_back(folder);
            ids.push_back(id);
            continue;
        }
        std::string& shown = kept[static_cast<std::size_t>(same - ids.begin())];
        vlt::Trace(folder + name + " is the same file as " + shown + name);
        if (IsSystemFolder(folder) && !IsSystemFolder(shown)) {
            shown = folder;
        }
    }
    return kept;
}

// What the comparison of one group's copies found.
struct GroupMatch {
    // The recommended path; "" when no copy may be recommended (stoppedAt or platform says
    // why), "?" when version information is missing.
    std::string recommended;
    bool differs = false;
    // The verdict that ended the comparison without a recommendation (CompanyMismatch or
    // ProcessorMismatch).
    std::optional<Verdict> stoppedAt;
    // Some copy got VersionMissing: it was never compared with the others, so a later copy may
    // be recommended over it without anything known of their order.
    bool versionMissing = false;
    // A copy of the platform stands beside programs' copies: who keeps it, and what the user
    // is told of it. The group is not judged.
    std::string platformOwner;
    std::string platformText;
    // A folder that holds two copies whose names differ only in case: the group is shown and
    // left alone, since a path names either of them.
    std::string caseClash;
};

// The copies of one name judged together: all of them, or those of one processor.
struct Part {
    // The group's key in the tree and the log: the name, or the name and the processor.
    std::string key;
    std::vector<std::string> folders;
    std::vector<FileProps> props;
};

// The first folder that holds two of the group's copies (their names differ only in case).
std::string FolderOfTwo(std::span<const std::string> folders) {
    std::vector<std::string> seen;
    for (const std::string& folder : folders) {
        std::string folded = automation::UCase(folder);
        if (std::find(seen.begin(), seen.end(), folded) != seen.end()) {
            return folder;
        }
        seen.push_back(std::move(folded));
    }
    return {};
}

// What automatic mode does with a flagged group: the reason it is left alone, or nothing
// when the matching recommended a copy it may spread.
std::optional<std::string> WhyNotRepaired(bool allDups, bool smart, bool showRecommended,
                                          const GroupMatch& match) {
    if (!match.caseClash.empty()) {
        return match.caseClash +
               " holds copies whose names differ only in case, which Windows takes for one file";
    }
    if (!match.platformText.empty()) {
        return match.platformText + ", left to " + match.platformOwner;
    }
    if (allDups) {
        return "the copies were not compared";
    }
    if (!smart) {
        return "copies differ and no copy is recommended (smart checking is off)";
    }
    if (!showRecommended) {
        return "copies differ and no copy is recommended (recommendations are off)";
    }
    if (match.recommended.empty() && match.stoppedAt == ProcessorMismatch) {
        return "the copies are for different processors and no copy is recommended";
    }
    if (match.recommended.empty()) {
        return "company names differ and no copy is recommended";
    }
    if (match.recommended == "?") {
        return "version information is missing and no copy is recommended";
    }
    if (match.versionMissing) {
        return "a copy has no version information, so it was never compared with the others";
    }
    return std::nullopt;
}

// The parts a group is judged in: one per system folder when every copy is an image for a
// processor the machine runs and they do not all share one system folder, else the whole
// group under its name.
std::vector<Part> PartsOf(const std::string& name, std::span<const std::string> folders,
                          std::vector<FileProps> props) {
    std::vector<std::string> systemFolders;
    for (const FileProps& copy : props) {
        const auto folder = ProcessorSystemFolder(copy[kImageType]);
        if (!folder) {
            return {Part{name, {folders.begin(), folders.end()}, std::move(props)}};
        }
        systemFolders.push_back(*folder);
    }
    std::vector<Part> parts;
    std::vector<std::string> partFolders;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const auto at = static_cast<std::size_t>(
            std::find_if(
                partFolders.begin(), partFolders.end(),
                [&](const auto& f) { return automation::EqualsIgnoreCase(f, systemFolders[i]); }) -
            partFolders.begin());
        if (at == partFolders.size()) {
            partFolders.push_back(systemFolders[i]);
            parts.push_back({name + " (" + ProcessorName(props[i][kImageType]) + ")", {}, {}});
        }
        Part& part = parts[at];
        part.folders.push_back(folders[i]);
        part.props.push_back(std::move(props[i]));
    }
    if (parts.size() == 1) {
        parts.front().key = name;
    }
    return parts;
}

// One pass of LoadDups over the listing, with the settings read once for the whole pass.
class Matcher {
  public:
    Matcher()
        : mask_(props::CompareFields()),
          allDups_(props::AllDups()),
          auto_(props::AutomaticMode()),
          smart_(props::SmartCheck()),
          showRecommended_(props::ShowRecommended()) {
        if (auto_ && !vlt::Tracing()) {
            vlt::State().PassBackup = props::Backup();
        }
        if (auto_) {
            waiting_ = vlt::ScheduledMoves::Read();
        }
    }
    ~Matcher() { vlt::State().PassBackup.reset(); }
    Matcher(const Matcher&) = delete;
    Matcher& operator=(const Matcher&) = delete;

    void ProcessGroup(const std::string& name, std::span<const std::string> folders);

  private:
    // `caseClash`: the folder that holds two copies Windows takes for one, or "".
    void Judge(const std::string& name, const Part& part, const std::string& caseClash);
    GroupMatch Match(const std::string& name, const Part& part);
    void AddToTree(const std::string& name, const Part& part, const GroupMatch& match);

    std::int32_t mask_;
    bool allDups_;
    bool auto_;
    bool smart_;
    bool showRecommended_;
    // What the machine's next start changes already: the automatic repair leaves those groups
    // to be judged after it.
    std::optional<vlt::ScheduledMoves> waiting_;
};

GroupMatch Matcher::Match(const std::string& name, const Part& part) {
    GroupMatch match;
    FileProps R;
    // The image type of the images seen so far: a copy that is no image goes with any, so the
    // recommended copy alone would not tell a later copy for another processor.
    std::string groupImage;
    const std::vector<std::string>& folders = part.folders;
    for (std::size_t j = 0; j < folders.size(); ++j) {
        const FileProps& C = part.props[j];
        if (j == 0) {
            R = C;
            if (smart_) {
                match.recommended = folders[0] + name;
            }
        } else if (smart_) {
            Verdict verdict = KeepRecommended;
            FileProps against = R;
            if (against[kImageType].empty()) {
                against[kImageType] = groupImage;
            }
            if (CheckProblem(against, C, verdict, folders[0], folders[j])) {
                match.differs = true;
            }
            if (showRecommended_) {
                if (verdict == CompanyMismatch || verdict == ProcessorMismatch) {
                    match.recommended.clear();
                    match.stoppedAt = verdict;
                    break;
                }
                if (verdict == TakeCandidate) {
                    R = C;
                    match.recommended = folders[j] + name;
                } else if (verdict == VersionMissing) {
                    match.recommended = "?";
                    match.versionMissing = true;
                }
            }
        } else if (FieldsDiffer(R, C, mask_)) {
            match.differs = true;
        }
        if (groupImage.empty()) {
            groupImage = C[kImageType];
        }
        if (!showRecommended_ && match.differs) {
            break;
        }
    }
    return match;
}

void Matcher::ProcessGroup(const std::string& name, std::span<const std::string> listed) {
    vlt::frmStandBy().SetScanItem("Matching Duplicates: " + name);
    const std::vector<std::string> distinct =
        listed.size() > 1 ? DistinctCopies(name, listed) : std::vector<std::string>{};
    const std::span<const std::string> folders = listed.size() > 1 ? distinct : listed;
    const std::string caseClash = FolderOfTwo(listed);
    // A name with a single copy is compared with nothing: only the trace would show its
    // properties being read.
    if (folders.size() == 1 && caseClash.empty()) {
        dialogs::DoEvents();
        if (vlt::Tracing()) {
            GetFileProps(folders[0] + name);
        }
        if (!allDups_) {
            vlt::State().RecommendedList += "|" + (smart_ ? folders[0] + name : "") + "|";
        }
        return;
    }
    std::vector<FileProps> props;
    for (const std::string& folder : folders) {
        dialogs::DoEvents();
        props.push_back(GetFileProps(folder + name));
    }
    // Two files that Windows takes for one are neither judged nor split by processor.
    if (!caseClash.empty()) {
        Judge(name, Part{name, {folders.begin(), folders.end()}, std::move(props)}, caseClash);
        return;
    }
    for (const Part& part : PartsOf(name, folders, std::move(props))) {
        Judge(name, part, {});
    }
}

void Matcher::Judge(const std::string& name, const Part& part, const std::string& caseClash) {
    GroupMatch match;
    const auto platform =
        std::find_if(part.props.begin(), part.props.end(),
                     [](const FileProps& p) { return !p[kPlatformOwner].empty(); });
    match.caseClash = caseClash;
    if (!match.caseClash.empty()) {
        vlt::Trace(match.caseClash + " holds copies of " + name +
                   " whose names differ only in case");
        match.differs = true;
        if (!allDups_) {
            vlt::State().RecommendedList += "||";
        }
    } else if (platform != part.props.end()) {
        if (!allDups_) {
            vlt::State().RecommendedList += "||";
        }
        // Files of the platform only are the platform's business, not a duplicate problem.
        if (std::all_of(part.props.begin(), part.props.end(),
                        [](const FileProps& p) { return !p[kPlatformOwner].empty(); })) {
            return;
        }
        const auto at = static_cast<std::size_t>(platform - part.props.begin());
        match.differs = true;
        match.platformOwner = (*platform)[kPlatformOwner];
        match.platformText = PlatformFileText(part.folders[at] + name, *platform);
    } else if (!allDups_) {
        if (part.folders.size() > 1) {
            match = Match(name, part);
        } else if (smart_) {
            match.recommended = part.folders[0] + name;
        }
        vlt::State().RecommendedList += "|" + match.recommended + "|";
    }
    const std::string& recommended = match.recommended;
    if (match.platformText.empty() && match.caseClash.empty() && showRecommended_ &&
        match.differs && (recommended.empty() || recommended == "?")) {
        std::string lastMatched;
        std::string current;
        if (FilesSame(part.folders, name, lastMatched, current)) {
            match.differs = false;
        }
    }
    if (!(match.differs || allDups_) || (part.folders.size() < 2 && match.caseClash.empty())) {
        return;
    }
    if (!auto_) {
        AddToTree(name, part, match);
        return;
    }
    auto why = WhyNotRepaired(allDups_, smart_, showRecommended_, match);
    if (!why) {
        vlt::VltState& state = vlt::State();
        const std::int32_t first = state.ActionCount;
        FixSysFile(part.folders, recommended, static_cast<std::int32_t>(part.folders.size()));
        why = waiting_ ? waiting_->Unforeseen(
                             name, part.folders,
                             std::span(state.ActionList)
                                 .subspan(static_cast<std::size_t>(first),
                                          static_cast<std::size_t>(state.ActionCount - first)))
                       : std::nullopt;
        if (why) {
            RemoveActions(first, state.ActionCount - 1);
        }
    }
    if (why) {
        vlt::Trace("Not repaired: " + part.key + ", " + *why);
        UpdateActionLog(part.key, 1, part.key + ": not repaired, " + *why);
    }
}

// Without a comparison (all duplicates shown) there is no recommendation and nothing to say
// about company names: such a group is marked as having no recommendation, without a note.
void Matcher::AddToTree(const std::string& name, const Part& part, const GroupMatch& match) {
    vlt::ReviewWindow& review = vlt::frmDupSys();
    const std::string& recommended = match.recommended;
    const bool hasPath = !recommended.empty() && recommended != "?";
    const auto image = [this](int picture) { return showRecommended_ ? picture : 0; };
    review.AddGroup(part.key, image(hasPath ? kImageHasRecommendation : kImageNoRecommendation));
    for (std::size_t j = 0; j < part.folders.size(); ++j) {
        const std::string path = part.folders[j] + name;
        const int picture = !part.props[j][kPlatformOwner].empty() ? kImagePlatformCopy
                            : !hasPath                             ? kImageNoRecommendationCopy
                            : path == recommended                  ? kImageRecommended
                                                                   : kImageOtherCopy;
        review.AddCopy(part.key, path, image(picture));
    }
    if (!match.caseClash.empty()) {
        review.AddNote(part.key, part.key + " * " + " " + kCaseNote, kCaseNote,
                       kImageNoRecommendation);
    } else if (showRecommended_ && !allDups_ && !hasPath) {
        const std::string note = !match.platformOwner.empty() ? PlatformNote(match.platformOwner)
                                 : recommended == "?"         ? kVersionNote
                                 : match.stoppedAt == ProcessorMismatch ? kProcessorNote
                                                                        : kCompanyNote;
        review.AddNote(part.key, part.key + " * " + " " + note, note, kImageNoRecommendation);
    }
}

}  // namespace

void LoadDups() {
    vlt::TraceScope trace("modVLTWork.LoadDups");
    vlt::State().RecommendedList.clear();
    Matcher matcher;
    vlt::ProgressWindow& progress = vlt::frmStandBy();
    progress.SetScanItem("Matching duplicates");
    Qz_File::QzFile& file = vlt::QzFile1();
    const std::int32_t count = file.FileCount();
    // One group is held at a time; the folder list is sized once for the largest possible.
    std::vector<std::string> folders(static_cast<std::size_t>(std::max(count, 0)));
    std::size_t n = 0;
    std::string current = file.GrabFilename(file.File(0));
    for (std::int32_t i = 0; i < count; ++i) {
        dialogs::DoEvents();
        if (progress.Canceled()) {
            progress.Unload();
            return;
        }
        const std::string entry = file.File(i);
        folders[n] = file.GrabFilePath(entry);
        std::string name = file.GrabFilename(entry);
        if (automation::UCase(name) == automation::UCase(current)) {
            ++n;
        } else {
            matcher.ProcessGroup(current, std::span<const std::string>(folders.data(), n));
            folders[0] = std::move(folders[n]);
            n = 1;
        }
        // After every entry, so a group carries the spelling of its last listed copy.
        current = std::move(name);
    }
    if (n > 0) {
        matcher.ProcessGroup(current, std::span<const std::string>(folders.data(), n));
    }
    progress.Unload();
}

bool CheckProblem(const FileProps& R, const FileProps& C, Verdict& verdict,
                  const std::string& /*recommendedFolder*/, const std::string& candidateFolder) {
    vlt::TraceScope trace("modVLTWork.CheckProblem");
    if (R[kCompanyName] != C[kCompanyName]) {
        verdict = CompanyMismatch;
        return true;
    }
    if (ForDifferentProcessors(R[kImageType], C[kImageType])) {
        verdict = ProcessorMismatch;
        return true;
    }
    const std::string& rFile = R[kFileVersion];
    const std::string& cFile = C[kFileVersion];
    const std::string& rProduct = R[kProductVersion];
    const std::string& cProduct = C[kProductVersion];
    const bool versionMissing =
        rFile.empty() || cFile.empty() || rProduct.empty() || cProduct.empty();
    if (rFile == cFile && rProduct == cProduct && R[kSize] == C[kSize]) {
        if (versionMissing) {
            verdict = VersionMissing;
            return true;
        }
        verdict = SameFolder(candidateFolder, SystemFolderFor(C[kImageType])) ? TakeCandidate
                                                                              : KeepRecommended;
        return false;
    }
    if (versionMissing) {
        verdict = VersionMissing;
    } else if ((VersionIsNewer(rFile, cFile) && VersionIsNewer(rProduct, cProduct)) ||
               (rFile == cFile && VersionIsNewer(rProduct, cProduct)) ||
               (VersionIsNewer(rFile, cFile) && rProduct == cProduct)) {
        verdict = KeepRecommended;
    } else {
        const std::int64_t rModified = SecondsOf(R[kModified]);
        const std::int64_t cModified = SecondsOf(C[kModified]);
        const std::int64_t rCreated = SecondsOf(R[kCreated]);
        bool cIsDate = false;
        const std::int64_t cCreated = SecondsOf(C[kCreated], &cIsDate);
        const std::int64_t cCreatedEarlier = cIsDate ? cCreated - kTenMinutes : 0;
        const bool notOlder = (rModified >= cModified && rCreated > cCreatedEarlier) ||
                              (rModified > cModified && rCreated >= cCreatedEarlier);
        verdict =
            rFile == cFile && rProduct == cProduct && notOlder ? KeepRecommended : TakeCandidate;
    }
    return true;
}

bool FieldsDiffer(FileProps& R, const FileProps& C, std::int32_t mask) {
    vlt::TraceScope trace("modVLTWork.FieldsDiffer");
    for (int k = 0; k < kComparedFields; ++k) {
        const bool takesPart = k == 0 || ((mask >> (k - 1)) & 1) != 0;
        bool differs = takesPart && C[k] != R[k];
        if (differs && k == kCreated) {
            bool rDate = false;
            bool cDate = false;
            const std::int64_t r = SecondsOf(R[k], &rDate);
            const std::int64_t c = SecondsOf(C[k], &cDate);
            differs = !(rDate && cDate && std::llabs(c - r) <= kTenMinutes);
        }
        R[k] = C[k];
        if (differs) {
            return true;
        }
    }
    return false;
}

FileProps GetFileProps(const std::string& path) {
    vlt::TraceScope trace("modVLTWork.GetFileProps");
    // The three dates start at zero: a file whose times cannot be read shows the zero date.
    Qz_File::QzFile::FileFacts facts;
    vlt::QzFile1().GetFileFacts(path, facts);
    const auto dateText = [](automation::Date date) {
        return date.serial == automation::UNKNOWN_DATE ? std::string("Unknown")
                                                       : FormattedDate(date);
    };
    const Qz_File::clsFileProperties& version = facts.version;
    FileProps props;
    props[kCreated] = dateText(facts.created);
    props[kModified] = dateText(facts.modified);
    props[kAccessed] = dateText(facts.accessed);
    props[kSize] = automation::CStr(Variant(facts.size));
    props[kImageType] = std::move(facts.imageType);
    props[kCompanyName] = version.CompanyName();
    props[kFileDescription] = version.FileDescription();
    props[kInternalName] = version.InternalName();
    props[kLegalCopyright] = version.LegalCopyright();
    props[kProductName] = version.ProductName();
    props[kOriginalFileName] = version.OriginalFilename();
    props[kProductVersion] = version.ProductVersion();
    props[kFileVersion] = version.FileVersion();
    if (const auto platform = PlatformFileOf(path, facts.wineMark)) {
        props[kPlatformOwner] = platform->owner;
        props[kPlatformFile] = platform->what;
    }
    return props;
}

bool FilesSame(std::span<const std::string> Folders, const std::string& FileName,
               std::string& lastMatched, std::string& current) {
    vlt::TraceScope trace("modVLTWork.FilesSame");
    std::optional<std::filesystem::path> previous;
    for (const std::string& folder : Folders) {
        current = folder + FileName;
        const auto host = win32::HostPathOf(current);
        if (!host || !Readable(*host)) {
            vlt::Trace("Cannot read " + current);
            return false;
        }
        if (previous && !SameContent(*previous, *host)) {
            return false;
        }
        previous = *host;
        lastMatched = current;
    }
    return true;
}

std::string FormattedDate(automation::Date date) {
    vlt::TraceScope trace("modVLTWork.FormattedDate");
    // What Format(date, "dd-mmm-yyyy hh:nn:ss") gives, without reading the pattern for each
    // of the three dates of every copy.
    const automation::DateParts p = automation::PartsOf(date);
    char day[4];
    char rest[48];
    std::snprintf(day, sizeof day, "%02d", p.day);
    std::snprintf(rest, sizeof rest, "-%d %02d:%02d:%02d", p.year, p.hour, p.minute, p.second);
    return day +
           ("-" +
            automation::CurrentLocale().shortMonthNames[static_cast<std::size_t>(p.month - 1)]) +
           rest;
}

void FixSysFile(std::span<const std::string> Folders, const std::string& Recommended,
                std::int32_t n) {
    vlt::TraceScope trace("modVLTWork.FixSysFile");
    if (Recommended.empty() || Recommended == "?") {
        automation::Raise(automation::InvalidProcedureCall, "modVLTWork.FixSysFile",
                          "No copy is recommended, so there is nothing to repair from");
    }
    if (n < 0 || static_cast<std::size_t>(n) > Folders.size()) {
        automation::Raise(automation::SubscriptOutOfRange, "modVLTWork.FixSysFile");
    }
    const auto group = Folders.first(static_cast<std::size_t>(n));
    std::int32_t first = 0;
    std::int32_t last = 0;
    const std::string systemFolder = SystemFolderOf(Recommended);
    const bool inSystem = std::any_of(group.begin(), group.end(), [&](const std::string& folder) {
        return SameFolder(folder, systemFolder);
    });
    if (inSystem) {
        CopyToSystemDir(Recommended, group, first, last);
    } else {
        CopyAround(Recommended, group, first, last);
    }
}

}  // namespace modVLTWork
