#include "platform/machine/DriveBoundaries.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace machine {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 10> kSystemFolders = {
    "/usr", "/etc", "/bin", "/sbin", "/boot", "/proc", "/sys", "/dev", "/run", "/var"};
// The libraries' folders go by several names (/lib, /lib32, /lib64, /libx32, ...); these are
// refused even where the host has none, and any other top-level "lib" folder it has besides.
constexpr std::array<std::string_view, 4> kLibraryFolders = {"/lib", "/lib32", "/lib64", "/libx32"};
// Places below the system's folders that hold users' files, not the system's.
constexpr std::array<std::string_view, 8> kUserPlaces = {"/var/tmp",      "/var/home", "/var/mnt",
                                                         "/var/roothome", "/run/user", "/run/media",
                                                         "/run/mnt",      "/dev/shm"};

bool Inside(const fs::path& path, const fs::path& root) {
    const std::string& p = path.native();
    const std::string& r = root.native();
    return p == r || (p.size() > r.size() && p.compare(0, r.size(), r) == 0 &&
                      (r.back() == '/' || p[r.size()] == '/'));
}

// A folder as written and as reached once links are followed (as far as it exists).
std::vector<fs::path> Forms(const fs::path& folder) {
    fs::path written = folder.lexically_normal();
    if (written.native().size() > 1 && written.native().back() == '/') {
        written = written.parent_path();
    }
    std::vector<fs::path> forms{written};
    std::error_code ec;
    const fs::path reached = fs::weakly_canonical(written, ec);
    if (!ec && reached != written) {
        forms.push_back(reached);
    }
    return forms;
}

std::vector<fs::path> SystemFolders() {
    std::vector<fs::path> folders(kSystemFolders.begin(), kSystemFolders.end());
    folders.insert(folders.end(), kLibraryFolders.begin(), kLibraryFolders.end());
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/", ec)) {
        const std::string name = entry.path().filename().native();
        if (name.starts_with("lib") &&
            std::find(folders.begin(), folders.end(), entry.path()) == folders.end()) {
            folders.push_back(entry.path());
        }
    }
    return folders;
}

bool InUserPlace(const fs::path& folder) {
    for (const std::string_view place : kUserPlaces) {
        for (const fs::path& form : Forms(fs::path(place))) {
            if (Inside(folder, form)) {
                return true;
            }
        }
    }
    return false;
}

// "is", "lies inside" or "holds" `other`; nullopt when the folders do not overlap.
std::optional<std::string> Overlap(const std::vector<fs::path>& folder,
                                   const std::vector<fs::path>& other) {
    for (const fs::path& f : folder) {
        for (const fs::path& o : other) {
            if (f == o) {
                return "is";
            }
            if (Inside(f, o)) {
                return "lies inside";
            }
            if (Inside(o, f)) {
                return "holds";
            }
        }
    }
    return std::nullopt;
}

std::string Named(const fs::path& folder) {
    const auto forms = Forms(folder);
    std::string text = "its folder " + folder.string();
    if (forms.size() > 1) {
        text += " (a link to " + forms.back().string() + ")";
    }
    return text;
}

}  // namespace

std::optional<std::string> WhyNotADriveFolder(const fs::path& folder) {
    const auto forms = Forms(folder);
    for (const fs::path& form : forms) {
        if (form == "/") {
            return Named(folder) + " is the host's root";
        }
    }
    for (const fs::path& system : SystemFolders()) {
        const auto overlap = Overlap(forms, Forms(system));
        if (!overlap) {
            continue;
        }
        if (*overlap == "lies inside" &&
            std::any_of(forms.begin(), forms.end(),
                        [](const fs::path& f) { return InUserPlace(f); })) {
            continue;
        }
        return Named(folder) + " " + *overlap + " the host's system folder " + system.string();
    }
    return std::nullopt;
}

DriveSelection SelectDrives(const std::vector<DriveInfo>& drives, const fs::path& machineFolder,
                            char firstLetter) {
    std::vector<DriveInfo> order = drives;
    std::stable_sort(order.begin(), order.end(), [&](const DriveInfo& a, const DriveInfo& b) {
        const bool aFirst = a.letter == firstLetter;
        const bool bFirst = b.letter == firstLetter;
        return aFirst != bFirst ? aFirst : a.letter < b.letter;
    });
    const auto machineForms =
        machineFolder.empty() ? std::vector<fs::path>{} : Forms(fs::absolute(machineFolder));
    DriveSelection selection;
    for (const DriveInfo& drive : order) {
        if (drive.hostFolder.empty()) {
            selection.usable.push_back(drive);
            continue;
        }
        // The host's system comes first: no profile setting can make such a drive usable.
        std::optional<std::string> reason = WhyNotADriveFolder(drive.hostFolder);
        if (!reason && !drive.leftOut.empty()) {
            reason = drive.leftOut;
        }
        const auto forms = Forms(drive.hostFolder);
        if (!reason) {
            const auto overlap = Overlap(forms, machineForms);
            if (overlap && *overlap != "lies inside") {
                reason = Named(drive.hostFolder) + " " + *overlap +
                         " the machine's own folder with its profile and registry.db";
            }
        }
        for (const DriveInfo& earlier : selection.usable) {
            if (reason || earlier.hostFolder.empty()) {
                continue;
            }
            if (const auto overlap = Overlap(forms, Forms(earlier.hostFolder))) {
                reason = Named(drive.hostFolder) + " " + *overlap + " the folder of drive " +
                         std::string(1, earlier.letter) + ":";
            }
        }
        if (reason) {
            selection.leftOut.push_back(LeftOutDrive{drive, std::move(*reason)});
        } else {
            selection.usable.push_back(drive);
        }
    }
    const auto byLetter = [](const auto& a, const auto& b) { return a.letter < b.letter; };
    std::sort(selection.usable.begin(), selection.usable.end(), byLetter);
    std::sort(selection.leftOut.begin(), selection.leftOut.end(),
              [](const LeftOutDrive& a, const LeftOutDrive& b) {
                  return a.drive.letter < b.drive.letter;
              });
    return selection;
}

}  // namespace machine
