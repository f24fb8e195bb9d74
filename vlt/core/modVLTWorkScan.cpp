#include <set>
#include <utility>
#include <vector>

#include "controls/file/QzFile.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Variant.h"
#include "platform/dialogs/Clock.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/FileIdentity.h"
#include "platform/win32/kernel32/FindFiles.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTFinalize.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"

namespace modVLTWork {
namespace {

namespace props = modVLTProperties;

constexpr std::string_view kSubfolderMark = "  ***";

// The subfolder walk of GetAllSubPaths. A link inside a drive may lead back to a folder
// above it; walking it again would add the same folders under ever longer names until the
// path length gives out, with the scan hanging on it. Each folder is walked once.
void WalkSubPaths(const std::string& Path, std::set<win32::FileIdentity>& walked) {
    vlt::TraceScope trace("modVLTWork.GetAllSubPaths");
    if (const auto id = win32::FileIdentityOf(Path)) {
        if (!walked.insert(*id).second) {
            vlt::Trace("Already walked: " + Path);
            return;
        }
    }
    const std::string folder = QzBase::LastSlash(Path);
    const auto entries = win32::FindFiles(folder, win32::FILE_ATTRIBUTE_DIRECTORY);
    if (!entries) {
        return;
    }
    vlt::ProgressWindow& progress = vlt::frmStandBy();
    std::vector<std::string> subfolders;
    for (const win32::WIN32_FIND_DATAA& entry : *entries) {
        dialogs::DoEvents();
        if (entry.cFileName != "." && entry.cFileName != ".." &&
            entry.dwFileAttributes == win32::FILE_ATTRIBUTE_DIRECTORY) {
            subfolders.push_back(folder + entry.cFileName);
            vlt::QzFile1().AddExclusionPath(subfolders.back());
            progress.SetScanItem("Adding Exclusion Folder: " + subfolders.back());
        }
        if (progress.Canceled()) {
            return;
        }
    }
    for (const std::string& subfolder : subfolders) {
        if (progress.Canceled()) {
            return;
        }
        WalkSubPaths(subfolder, walked);
    }
}

}  // namespace

void StartScan() {
    vlt::TraceScope trace("modVLTWork.StartScan");
    vlt::VltState& state = vlt::State();
    if (props::AutomaticMode()) {
        props::AllDups(false);
    }
    vlt::Trace("");
    vlt::Trace(std::string("Dups Only=") + (props::AllDups() ? "False" : "True"));
    state.ScanSucceeded = true;
    vlt::ProgressWindow& progress = vlt::frmStandBy();
    progress.Show();
    SetFilter();
    SetPaths();
    if (!SetExclusions() || progress.Canceled()) {
        state.ScanSucceeded = false;
        progress.Unload();
        return;
    }
    progress.SetScanItem("");
    Qz_File::QzFile& file = vlt::QzFile1();
    file.SetIncludeSubDirectories(true);
    if (file.LoadFileListing(true)) {
        LoadDups();
        if (props::AutomaticMode()) {
            modVLTFinalize::DoActionReport();
        } else {
            vlt::frmDupSys().Show();
        }
    } else {
        state.ScanSucceeded = false;
    }
    progress.Unload();
}

void SetFilter() {
    vlt::TraceScope trace("modVLTWork.SetFilter");
    const std::pair<bool (*)(), const char*> types[] = {
        {props::ACM, ";*.acm"}, {props::DLL, ";*.dll"}, {props::DRV, ";*.drv"},
        {props::EXE, ";*.exe"}, {props::OCX, ";*.ocx"}, {props::TLB, ";*.tlb"},
        {props::VBX, ";*.vbx"}, {props::VXD, ";*.vxd"},
    };
    std::string filter;
    for (const auto& [chosen, pattern] : types) {
        if (chosen()) {
            filter += pattern;
        }
    }
    if (filter.empty()) {
        props::DLL(true);
        vlt::frmVelto().TickDLL();
        filter = ";*.dll";
    }
    vlt::QzFile1().SetFilter(filter.substr(1));
}

void SetPaths() {
    vlt::TraceScope trace("modVLTWork.SetPaths");
    Qz_System_Info::QzSystemInfo& sys = vlt::Sys1();
    const automation::Variant drives = sys.DriveList();
    std::string paths;
    if (const auto* roots = drives.get_if<automation::StringArray>()) {
        for (const std::string& root : *roots) {
            if (sys.DriveTypeEnum(root) == Qz_System_Info::DRIVE_FIXED) {
                paths += QzBase::LastSlash(root) + ";";
            }
        }
    }
    vlt::QzFile1().SetPaths(paths);
}

bool SetExclusions() {
    vlt::TraceScope trace("modVLTWork.SetExclusions");
    // QzFile keeps its list until told otherwise: a folder taken off the stored list, or any
    // other change since the last scan, must count now.
    vlt::QzFile1().ClearExclusionPaths();
    const auto names = props::Exclusions();
    if (!names) {
        dialogs::MsgBox(
            "The list of excluded folders cannot be read from the registry, so the scan could "
            "reach folders you excluded.\r\nNothing was scanned.",
            dialogs::vbExclamation | dialogs::vbOKOnly, std::string("Exclusions not read"));
        return false;
    }
    for (std::string entry : *names) {
        dialogs::DoEvents();
        if (entry.ends_with(kSubfolderMark)) {
            entry.resize(entry.size() - kSubfolderMark.size());
            GetAllSubPaths(entry);
        }
        if (vlt::frmStandBy().Canceled()) {
            return true;
        }
        vlt::QzFile1().AddExclusionPath(entry);
    }
    return true;
}

void GetAllSubPaths(const std::string& Path) {
    std::set<win32::FileIdentity> walked;
    WalkSubPaths(Path, walked);
}

}  // namespace modVLTWork
