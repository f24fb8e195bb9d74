#include "tools/check/MachineCheck.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "controls/file/QzFile.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/Clock.h"
#include "platform/win32/advapi32/RegistryCopy.h"
#include "tools/check/CheckWindows.h"
#include "vlt/core/GlobalControls.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"
#include "vlt/core/modVLTWorkActions.h"

namespace velto_check {
namespace {

namespace props = modVLTProperties;

// The control host keeps the splash window up for three seconds as it loads; a check shows
// no splash window, so its pauses pass at once (the clocks still tell the real time).
class NoWaitClock : public dialogs::Clock {
  public:
    double LocalNow() override { return system_.LocalNow(); }
    double Monotonic() override { return system_.Monotonic() + skipped_; }
    void Wait(double seconds) override { skipped_ += std::max(seconds, 0.0); }

  private:
    dialogs::SystemClock system_;
    double skipped_ = 0;
};

// The program as a check runs it: its state, windows and control host for the length of the
// check, and gone afterwards, however the check ends.
class HeadlessProgram {
  public:
    HeadlessProgram(std::function<void(const std::string&)> progress)
        : clock_(std::make_shared<NoWaitClock>()) {
        vlt::ResetState();
        vlt::Windows& windows = vlt::State().windows;
        windows.standBy = progress_;
        windows.review = review_;
        windows.main = std::make_shared<UnseenMain>();
        windows.sysInfo = std::make_shared<SystemInfo>();
        windows.unloadAllForms = [] {};
        if (progress) {
            previousHook_ = dialogs::SetDoEventsHook([this, progress = std::move(progress)] {
                // Between two events of a long loop: often enough to follow, rarely enough
                // to cost nothing.
                const auto now = std::chrono::steady_clock::now();
                if (now - lastReport_ >= std::chrono::milliseconds(100)) {
                    lastReport_ = now;
                    progress(progress_->ScanItem());
                }
            });
        }
        QzBase::LoadControlHost("VLT", false);
    }
    ~HeadlessProgram() {
        vlt::TheGlobalControls().Unload();
        vlt::ResetState();
        dialogs::SetDoEventsHook(previousHook_);
    }
    HeadlessProgram(const HeadlessProgram&) = delete;
    HeadlessProgram& operator=(const HeadlessProgram&) = delete;

    const RecordingReview& review() const { return *review_; }

  private:
    dialogs::ScopedClock clock_;
    std::shared_ptr<ProgressItem> progress_ = std::make_shared<ProgressItem>();
    std::shared_ptr<RecordingReview> review_ = std::make_shared<RecordingReview>();
    std::function<void()> previousHook_;
    std::chrono::steady_clock::time_point lastReport_{};
};

void ChooseTypes(const std::vector<std::string>& types) {
    const auto chosen = [&](const char* type) {
        return std::find(types.begin(), types.end(), type) != types.end();
    };
    props::ACM(chosen("acm"));
    props::DLL(chosen("dll"));
    props::DRV(chosen("drv"));
    props::EXE(chosen("exe"));
    props::OCX(chosen("ocx"));
    props::TLB(chosen("tlb"));
    props::VBX(chosen("vbx"));
    props::VXD(chosen("vxd"));
}

// The groups of the review tree: a group node, its copies (the recommended one marked with
// its picture) and its notes.
std::vector<Group> GroupsOf(const RecordingReview& review) {
    std::vector<Group> groups;
    for (const TreeNode& node : review.nodes) {
        if (node.parent.empty()) {
            groups.emplace_back().name = node.key;
            continue;
        }
        Group& group = groups.back();
        if (node.note) {
            group.notes.push_back(node.text);
            continue;
        }
        const bool recommended = node.image == modVLTWork::kImageRecommended;
        if (recommended) {
            group.recommended = node.key;
        }
        group.copies.push_back({node.key, recommended, modVLTWork::GetFileProps(node.key)});
    }
    for (Group& group : groups) {
        std::vector<std::string> paths;
        for (const Copy& copy : group.copies) {
            paths.push_back(copy.path);
        }
        group.loading = modVLTWork::LibraryChoiceOf(paths);
    }
    return groups;
}

Group* GroupNamed(std::vector<Group>& groups, const std::string& name) {
    const auto it = std::find_if(groups.begin(), groups.end(), [&](const Group& group) {
        return automation::EqualsIgnoreCase(group.name, name);
    });
    return it == groups.end() ? nullptr : &*it;
}

// The group an action touches: the one holding the file as a copy, else the first whose
// copies bear its name (a copy reached there by another path).
Group* GroupOfFile(std::vector<Group>& groups, const std::string& path) {
    Qz_File::QzFile& file = vlt::QzFile1();
    const std::string name = file.GrabFilename(path);
    Group* named = nullptr;
    for (Group& group : groups) {
        for (const Copy& copy : group.copies) {
            if (automation::EqualsIgnoreCase(copy.path, path)) {
                return &group;
            }
            if (named == nullptr &&
                automation::EqualsIgnoreCase(file.GrabFilename(copy.path), name)) {
                named = &group;
            }
        }
    }
    return named;
}

// The unattended run's action list and log, laid out by group. Backup markers ("4" on, "5"
// off) hold for every entry after them.
void AddUnattendedRun(Result& result) {
    const vlt::VltState& state = vlt::State();
    bool backup = false;
    for (std::int32_t i = 0; i < state.ActionCount; ++i) {
        const vlt::ActionEntry& entry = state.ActionList[static_cast<std::size_t>(i)];
        const std::string& kind = entry[0];
        if (kind == "4" || kind == "5") {
            backup = kind == "4";
            continue;
        }
        Action action;
        action.kind = kind == "1" ? Action::Kind::Copy : Action::Kind::Delete;
        action.source = entry[1];
        action.target = action.kind == Action::Kind::Copy ? entry[2] : "";
        action.backup = backup;
        action.useGoesTo = modVLTWork::UseGoesTo(i);
        const std::string& affected = action.kind == Action::Kind::Copy ? entry[2] : entry[1];
        if (Group* group = GroupOfFile(result.groups, affected)) {
            group->unattended.push_back(std::move(action));
        } else {
            result.otherActions.push_back(std::move(action));
        }
    }
    for (std::int32_t k = 0; k < state.LogCount; ++k) {
        const vlt::LogEntry& entry = state.ActionLog[static_cast<std::size_t>(k)];
        Group* group = entry[1] == "1" ? GroupNamed(result.groups, entry[0]) : nullptr;
        if (group == nullptr) {
            continue;
        }
        const std::string prefix = entry[0] + ": ";
        group->leftAlone = entry[2].starts_with(prefix) ? entry[2].substr(prefix.size()) : entry[2];
    }
}

}  // namespace

Result RunCheck(const Options& options) {
    std::string error;
    if (!win32::UseRegistryCopy(error)) {
        throw CheckError(error);
    }
    HeadlessProgram program(options.progress);
    // The unattended run compares every group and lists *.exe only when asked (its EXE
    // choice holds for one run and is never stored).
    props::AllDups(false);
    props::Auto(false);
    props::EXE(false);
    if (options.types) {
        ChooseTypes(*options.types);
    }
    modVLTWork::StartScan();
    if (!vlt::State().ScanSucceeded) {
        throw CheckError("the machine has no fixed drive to list");
    }
    Result result;
    Qz_File::QzFile& file = vlt::QzFile1();
    result.filter = file.Filter();
    result.listed = file.FileCount();
    result.groups = GroupsOf(program.review());

    // The unattended run's matching over the same listing: it queues the repair of each
    // group on the action list, which nothing here executes. Automatic mode is the unattended
    // run's alone: AutoScan stored on and "-S" on the command line.
    props::Auto(true);
    vlt::State().CommandLine = "-S";
    modVLTWork::LoadDups();
    AddUnattendedRun(result);
    return result;
}

}  // namespace velto_check
