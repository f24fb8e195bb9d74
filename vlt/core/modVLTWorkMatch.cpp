#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <vector>

#include "controls/file/QzFile.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Format.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/Clock.h"
#include "platform/win32/HostFiles.h"
#include "platform/win32/Paths.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"
#include "vlt/core/modVLTWorkActions.h"

namespace modVLTWork {
namespace {

namespace props = modVLTProperties;
using automation::Variant;

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

bool InSystemFolder(const std::string& folder) {
    return automation::UCase(QzBase::LastSlash(folder)) ==
           automation::UCase(QzBase::LastSlash(vlt::Sys1().SystemDir()));
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

// What automatic mode does with a flagged group: the reason it is left alone, or nothing
// when the matching recommended a copy it may spread.
std::optional<std::string> WhyNotRepaired(bool allDups, bool smart, bool showRecommended,
                                          const std::string& recommended) {
    if (allDups) {
        return "the copies were not compared";
    }
    if (!smart) {
        return "copies differ and no copy is recommended (smart checking is off)";
    }
    if (!showRecommended) {
        return "copies differ and no copy is recommended (recommendations are off)";
    }
    if (recommended.empty()) {
        return "company names differ and no copy is recommended";
    }
    if (recommended == "?") {
        return "version information is missing and no copy is recommended";
    }
    return std::nullopt;
}

// One pass of LoadDups over the listing, with the settings read once for the whole pass.
class Matcher {
  public:
    Matcher()
        : mask_(props::CompareFields()),
          allDups_(props::AllDups()),
          auto_(props::Auto()),
          smart_(props::SmartCheck()),
          showRecommended_(props::ShowRecommended()) {}

    void ProcessGroup(const std::string& name, std::span<const std::string> folders);

  private:
    std::string Match(const std::string& name, std::span<const std::string> folders, bool& differs);
    void AddToTree(const std::string& name, std::span<const std::string> folders,
                   const std::string& recommended);

    std::int32_t mask_;
    bool allDups_;
    bool auto_;
    bool smart_;
    bool showRecommended_;
};

std::string Matcher::Match(const std::string& name, std::span<const std::string> folders,
                           bool& differs) {
    std::string recommended;
    FileProps R;
    for (std::size_t j = 0; j < folders.size(); ++j) {
        dialogs::DoEvents();
        const FileProps C = GetFileProps(folders[j] + name);
        if (j == 0) {
            R = C;
            if (smart_) {
                recommended = folders[0] + name;
            }
        } else if (smart_) {
            Verdict verdict = KeepRecommended;
            if (CheckProblem(R, C, verdict, folders[0], folders[j])) {
                differs = true;
            }
            if (showRecommended_) {
                if (verdict == CompanyMismatch) {
                    recommended.clear();
                    break;
                }
                if (verdict == TakeCandidate) {
                    R = C;
                    recommended = folders[j] + name;
                } else if (verdict == VersionMissing) {
                    recommended = "?";
                }
            }
        } else if (FieldsDiffer(R, C, mask_)) {
            differs = true;
        }
        if (!showRecommended_ && differs) {
            break;
        }
    }
    return recommended;
}

void Matcher::ProcessGroup(const std::string& name, std::span<const std::string> folders) {
    vlt::frmStandBy().SetScanItem("Matching Duplicates: " + name);
    bool differs = false;
    std::string recommended;
    if (!allDups_) {
        recommended = Match(name, folders, differs);
        vlt::State().RecommendedList += "|" + recommended + "|";
    }
    if (showRecommended_ && differs && (recommended.empty() || recommended == "?")) {
        std::string lastMatched;
        std::string current;
        if (FilesSame(folders, name, lastMatched, current)) {
            differs = false;
        }
    }
    if (!(differs || allDups_) || folders.size() < 2) {
        return;
    }
    if (!auto_) {
        AddToTree(name, folders, recommended);
        return;
    }
    if (const auto why = WhyNotRepaired(allDups_, smart_, showRecommended_, recommended)) {
        vlt::Trace("Not repaired: " + name + ", " + *why);
        UpdateActionLog(name, 1, name + ": not repaired, " + *why);
        return;
    }
    FixSysFile(folders, recommended, static_cast<std::int32_t>(folders.size()));
}

// Without a comparison (all duplicates shown) there is no recommendation and nothing to say
// about company names: such a group is marked as having no recommendation, without a note.
void Matcher::AddToTree(const std::string& name, std::span<const std::string> folders,
                        const std::string& recommended) {
    vlt::ReviewWindow& review = vlt::frmDupSys();
    const bool hasPath = !recommended.empty() && recommended != "?";
    const auto image = [this](int picture) { return showRecommended_ ? picture : 0; };
    review.AddGroup(name, image(hasPath ? kImageHasRecommendation : kImageNoRecommendation));
    for (const std::string& folder : folders) {
        const std::string path = folder + name;
        const int picture = !hasPath              ? kImageNoRecommendationCopy
                            : path == recommended ? kImageRecommended
                                                  : kImageOtherCopy;
        review.AddCopy(name, path, image(picture));
    }
    if (showRecommended_ && !allDups_ && !hasPath) {
        const char* note = recommended.empty() ? kCompanyNote : kVersionNote;
        review.AddNote(name, name + " * " + " " + note, note, kImageNoRecommendation);
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
        verdict = InSystemFolder(candidateFolder) ? TakeCandidate : KeepRecommended;
        return false;
    }
    if (versionMissing) {
        verdict = VersionMissing;
    } else if ((rFile > cFile && rProduct > cProduct) || (rFile == cFile && rProduct > cProduct) ||
               (rFile > cFile && rProduct == cProduct)) {
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
    for (int k = 0; k < static_cast<int>(C.size()); ++k) {
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
    Qz_File::QzFile& file = vlt::QzFile1();
    automation::Date created;
    automation::Date modified;
    automation::Date accessed;
    double size = 0;
    file.GetFileDates(path, created, &modified, &accessed, &size);
    const auto dateText = [](automation::Date date) {
        return date.serial == automation::UNKNOWN_DATE ? std::string("Unknown")
                                                       : FormattedDate(date);
    };
    FileProps props;
    props[kCreated] = dateText(created);
    props[kModified] = dateText(modified);
    props[kAccessed] = dateText(accessed);
    props[kSize] = automation::CStr(Variant(size));
    file.GetFileProperties(path, &props[kCompanyName], &props[kFileDescription],
                           &props[kInternalName], &props[kLegalCopyright], &props[kProductName],
                           &props[kOriginalFileName], &props[kProductVersion],
                           &props[kFileVersion]);
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
    return automation::Format(Variant(date), "dd-mmm-yyyy hh:nn:ss");
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
    const bool inSystem = std::any_of(group.begin(), group.end(), InSystemFolder);
    if (inSystem) {
        CopyToSystemDir(Recommended, group, first, last);
    } else {
        CopyAround(Recommended, group, first, last);
    }
}

}  // namespace modVLTWork
