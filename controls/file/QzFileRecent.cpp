// The host's list of recently used project files, kept in the registry:
//   HKEY_CURRENT_USER\Software\<CompanyName>\<ProductName>\Recent
//     "0" = most recent full path (REG_SZ), "1" = the one before, ...
// The list is the values "0", "1", ... up to the first number without a readable, non-empty
// text; a value after a gap, or with a name that is not such a number, is not part of it.
#include <algorithm>
#include <string>
#include <vector>

#include "controls/file/QzFile.h"
#include "platform/automation/Errors.h"
#include "platform/win32/advapi32/Registry.h"

namespace Qz_File {
namespace {

// The text of a REG_SZ value up to its first NUL; "" when it cannot be read or is another type.
std::string ReadText(const std::string& key, const std::string& name) {
    win32::HKEY handle{};
    if (win32::RegOpenKeyA(win32::HKEY_CURRENT_USER, key, &handle) != win32::ERROR_SUCCESS) {
        return {};
    }
    std::string text;
    win32::DWORD type = 0;
    win32::DWORD size = 0;
    if (win32::RegQueryValueExA(handle, name, nullptr, &type, nullptr, &size) ==
            win32::ERROR_SUCCESS &&
        type == win32::REG_SZ && size > 0) {
        std::vector<win32::BYTE> data(size);
        if (win32::RegQueryValueExA(handle, name, nullptr, &type, data.data(), &size) ==
            win32::ERROR_SUCCESS) {
            text.assign(data.begin(), data.begin() + size);
            text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
        }
    }
    win32::RegCloseKey(handle);
    return text;
}

// The consecutive entries "0", "1", ... that hold a text.
std::vector<std::string> ReadList(const std::string& key) {
    std::vector<std::string> files;
    for (std::string text; !(text = ReadText(key, std::to_string(files.size()))).empty();) {
        files.push_back(std::move(text));
    }
    return files;
}

}  // namespace

std::string QzFile::RecentKey() const {
    return "Software\\" + CompanyName() + "\\" + ProductName() + "\\Recent";
}

void QzFile::LoadRecents() {
    recentFiles_ = ReadList(RecentKey());
    recentCount_ = static_cast<std::int32_t>(recentFiles_.size());
    recentsLoaded_ = true;
}

// Failed writes are not reported: the list is a convenience, and the program goes on without.
void QzFile::WriteRecent(std::int32_t position, const std::string& file) const {
    win32::HKEY handle{};
    if (win32::RegCreateKeyA(win32::HKEY_CURRENT_USER, RecentKey(), &handle) !=
        win32::ERROR_SUCCESS) {
        return;
    }
    win32::RegSetValueExA(handle, std::to_string(position), 0, win32::REG_SZ,
                          reinterpret_cast<const win32::BYTE*>(file.c_str()),
                          static_cast<win32::DWORD>(file.size() + 1));
    win32::RegCloseKey(handle);
}

void QzFile::DeleteRecent(std::int32_t position) const {
    win32::HKEY handle{};
    if (win32::RegOpenKeyA(win32::HKEY_CURRENT_USER, RecentKey(), &handle) !=
        win32::ERROR_SUCCESS) {
        return;
    }
    win32::RegDeleteValueA(handle, std::to_string(position));
    win32::RegCloseKey(handle);
}

std::int32_t QzFile::RecentCount() {
    if (!recentsLoaded_) {
        LoadRecents();
    }
    return recentCount_;
}

std::string QzFile::RecentProject(std::int32_t Index) const {
    return GrabFilename(RecentProjectFile(Index));
}

std::string QzFile::RecentProjectFile(std::int32_t Index) const {
    return Index >= 0 && Index < recentCount_ ? recentFiles_[static_cast<std::size_t>(Index)]
                                              : std::string();
}

void QzFile::SetRecentProjectFile(const std::string& strProjFile,
                                  std::optional<bool> AddToRecentDocs,
                                  std::optional<std::int32_t> MaxRecents) {
    const std::int32_t maxRecents = MaxRecents.value_or(kDefaultMaxRecents);
    if (maxRecents < 1) {
        automation::Raise(automation::InvalidProcedureCall, kProgID);
    }
    // Working on a list never read would write entry "0" over the one stored.
    if (!recentsLoaded_) {
        LoadRecents();
    }
    const std::string key = RecentKey();
    for (std::int32_t k = 0; k < recentCount_; ++k) {
        if (ReadText(key, std::to_string(k)) == strProjFile) {
            return;
        }
    }
    if (recentCount_ == 0) {
        recentCount_ = 1;
        recentFiles_ = {strProjFile};
        WriteRecent(0, strProjFile);
    } else if (const auto at = std::find(recentFiles_.begin(), recentFiles_.begin() + recentCount_,
                                         strProjFile);
               at != recentFiles_.begin() + recentCount_) {
        WriteRecent(static_cast<std::int32_t>(at - recentFiles_.begin()), strProjFile);
    } else {
        const std::int32_t before = recentCount_;
        recentCount_ = std::min(recentCount_ + 1, maxRecents);
        recentFiles_.resize(static_cast<std::size_t>(std::max(recentCount_, before)));
        for (std::int32_t k = recentCount_ - 1; k >= 1; --k) {
            recentFiles_[static_cast<std::size_t>(k)] =
                recentFiles_[static_cast<std::size_t>(k - 1)];
            WriteRecent(k, recentFiles_[static_cast<std::size_t>(k)]);
        }
        recentFiles_[0] = strProjFile;
        WriteRecent(0, strProjFile);
        // A smaller limit than before shortens the stored list too, so that the next session
        // does not bring the dropped entries back.
        for (std::int32_t k = recentCount_; k < before; ++k) {
            DeleteRecent(k);
        }
        recentFiles_.resize(static_cast<std::size_t>(recentCount_));
    }
    if (AddToRecentDocs.value_or(false)) {
        AddToRecentDocuments(strProjFile);
    }
}

void QzFile::RemoveRecentProject(std::int32_t Index) {
    if (!recentsLoaded_) {
        LoadRecents();
    }
    const std::string key = RecentKey();
    const std::vector<std::string> stored = ReadList(key);
    const auto n = static_cast<std::int32_t>(stored.size());
    if (Index < 0 || Index >= n) {
        return;
    }
    for (std::int32_t k = Index; k < n - 1; ++k) {
        const std::string& next = stored[static_cast<std::size_t>(k + 1)];
        WriteRecent(k, next);
        if (k < recentCount_) {
            recentFiles_[static_cast<std::size_t>(k)] = next;
        }
    }
    DeleteRecent(n - 1);
    if (recentCount_ > 0) {
        --recentCount_;
        recentFiles_.resize(static_cast<std::size_t>(recentCount_));
    }
}

}  // namespace Qz_File
