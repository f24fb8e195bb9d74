#include "platform/win32/shell32/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/dialogs/Dialogs.h"
#include "platform/machine/Machine.h"
#include "platform/machine/Text.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/FindFiles.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

// One path to delete: its Windows path (for messages) and host path.
struct Item {
    std::string windows;
    std::filesystem::path host;
    bool folder = false;
};

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> paths;
    std::size_t pos = 0;
    while (pos < list.size()) {
        const std::size_t end = std::min(list.find('\0', pos), list.size());
        if (end == pos) {
            break;
        }
        paths.push_back(list.substr(pos, end - pos));
        pos = end + 1;
    }
    return paths;
}

std::string NameOf(std::string_view windowsPath) {
    const std::size_t slash = windowsPath.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? windowsPath
                                                       : windowsPath.substr(slash + 1));
}

// The items a path of pFrom stands for; the Win32 code when it names nothing that can go.
DWORD Expand(const std::string& path, bool filesOnly, std::vector<Item>& items) {
    const std::string name = NameOf(path);
    if (name.find_first_of("*?") != std::string::npos) {
        const DWORD mask = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           (filesOnly ? 0 : FILE_ATTRIBUTE_DIRECTORY);
        const auto found = FindFiles(path, mask);
        if (!found) {
            return GetLastError() == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : GetLastError();
        }
        const std::string folder = path.substr(0, path.size() - name.size());
        for (const auto& entry : *found) {
            if (entry.cFileName == "." || entry.cFileName == "..") {
                continue;
            }
            const auto target = detail::Resolve(folder + entry.cFileName);
            if (!target || !target->exists) {
                continue;
            }
            items.push_back({target->windows.str(), target->host,
                             (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        }
        return ERROR_SUCCESS;
    }
    const auto target = detail::Resolve(path);
    if (!target) {
        return GetLastError();
    }
    if (!target->exists) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (target->isRoot()) {
        return ERROR_ACCESS_DENIED;
    }
    host::FileStat st;
    if (const int err = host::Stat(target->host, st); err != 0) {
        return Win32ErrorFromErrno(err);
    }
    if (filesOnly && st.isDirectory) {
        return ERROR_SUCCESS;
    }
    items.push_back({target->windows.str(), target->host, st.isDirectory});
    return ERROR_SUCCESS;
}

// Path= values are URL-escaped: every byte but the unreserved characters and "/" as %XX.
std::string EscapePath(const std::string& path) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    return out;
}

std::string UnescapePath(std::string_view text) {
    const auto hex = [](char c) {
        return std::isdigit(static_cast<unsigned char>(c))
                   ? c - '0'
                   : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string DeletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

int WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int MakeFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        return ec.value();
    }
    ::chmod(folder.c_str(), 0700);
    return 0;
}

constexpr std::string_view kInfoExtension = ".trashinfo";
constexpr std::size_t kMaxName = 255;

// STEM + END, STEM cut at a character where the info file's name (that and ".trashinfo")
// would not fit one host name: the info file keeps the item's whole path.
std::string Fitting(std::string stem, const std::string& end) {
    while (!stem.empty() && stem.size() + end.size() + kInfoExtension.size() > kMaxName) {
        while (!stem.empty() && (static_cast<unsigned char>(stem.back()) & 0xC0) == 0x80) {
            stem.pop_back();
        }
        if (!stem.empty()) {
            stem.pop_back();
        }
    }
    return stem + end;
}

// The name the item gets in files/: its own, else NAME.2.EXT, NAME.3.EXT, ... (NAME shortened
// where the info file's name would be too long). The info file is created exclusively first,
// which reserves the name against other programs trashing at the same time. Returns the name,
// with `infoFd` open for writing, or sets `err`.
std::string ReserveName(const std::filesystem::path& trash, const std::filesystem::path& item,
                        int& infoFd, int& err) {
    const std::string name = item.filename().string();
    const std::size_t dot = name.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && dot > 0 && name.size() - dot + kInfoExtension.size() < kMaxName;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string{};
    for (int n = 1; n < 100000; ++n) {
        const std::string candidate =
            Fitting(stem, n == 1 ? extension : "." + std::to_string(n) + extension);
        const auto info = trash / "info" / (candidate + std::string(kInfoExtension));
        infoFd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (infoFd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            err = errno;
            return {};
        }
        struct stat st {};
        if (::lstat((trash / "files" / candidate).c_str(), &st) == 0) {
            ::close(infoFd);
            ::unlink(info.c_str());
            continue;
        }
        err = 0;
        return candidate;
    }
    err = EEXIST;
    return {};
}

// Moves a host file or folder into the Trash; 0 or an errno. Across file systems the item is
// copied whole before the original goes.
int MoveToTrash(const std::filesystem::path& item) {
    const std::filesystem::path trash = TrashFolder();
    if (const int err = MakeFolder(trash / "files"); err != 0) {
        return err;
    }
    if (const int err = MakeFolder(trash / "info"); err != 0) {
        return err;
    }
    int infoFd = -1;
    int err = 0;
    const std::string name = ReserveName(trash, item, infoFd, err);
    if (err != 0) {
        return err;
    }
    const auto info = trash / "info" / (name + ".trashinfo");
    const auto destination = trash / "files" / name;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(item, ec);
    err = WriteAll(infoFd, "[Trash Info]\nPath=" + EscapePath(absolute.string()) +
                               "\nDeletionDate=" + DeletionDate() + "\n");
    if (err == 0 && ::fsync(infoFd) != 0) {
        err = errno;
    }
    ::close(infoFd);
    if (err == 0) {
        err = host::RenameNoReplace(item, destination);
        if (err == EXDEV) {
            std::filesystem::copy(item, destination,
                                  std::filesystem::copy_options::recursive |
                                      std::filesystem::copy_options::copy_symlinks,
                                  ec);
            err = ec ? ec.value() : 0;
            if (err == 0) {
                std::filesystem::remove_all(item, ec);
                err = ec ? ec.value() : 0;
            } else {
                std::filesystem::remove_all(destination, ec);
            }
        }
    }
    if (err != 0) {
        ::unlink(info.c_str());
        return err;
    }
    host::SyncDirectory(trash / "files");
    host::SyncDirectory(item.parent_path());
    return 0;
}

int DeleteForGood(const std::filesystem::path& item) {
    std::error_code ec;
    std::filesystem::remove_all(item, ec);
    return ec ? ec.value() : 0;
}

bool Confirm(const std::vector<Item>& items, bool toTrash) {
    std::string prompt;
    std::string title;
    if (items.size() == 1) {
        const std::string name = NameOf(items[0].windows);
        if (items[0].folder) {
            title = "Confirm Folder Delete";
            prompt = toTrash ? "Are you sure you want to remove the folder '" + name +
                                   "' and move all its contents to the Recycle Bin?"
                             : "Are you sure you want to remove the folder '" + name +
                                   "' and all its contents?";
        } else {
            title = "Confirm File Delete";
            prompt = toTrash ? "Are you sure you want to send '" + name + "' to the Recycle Bin?"
                             : "Are you sure you want to delete '" + name + "'?";
        }
    } else {
        title = "Confirm Multiple File Delete";
        const std::string count = std::to_string(items.size());
        prompt = toTrash
                     ? "Are you sure you want to send these " + count + " items to the Recycle Bin?"
                     : "Are you sure you want to delete these " + count + " items?";
    }
    return dialogs::MsgBox(prompt, dialogs::vbYesNo | dialogs::vbQuestion, title) == dialogs::vbYes;
}

void ShowFailure(const Item& item, DWORD code) {
    dialogs::MsgBox("Cannot delete " + NameOf(item.windows) + ": " +
                        (code == ERROR_ACCESS_DENIED ? std::string("Access is denied.")
                                                     : "error " + std::to_string(code) + "."),
                    dialogs::vbOKOnly | dialogs::vbCritical, std::string("Error Deleting File"));
}

// An entry of the Trash: its name in files/ and the host path it came from.
struct TrashEntry {
    std::string name;
    std::filesystem::path origin;
};

std::vector<TrashEntry> TrashEntries(const std::filesystem::path& trash) {
    std::vector<TrashEntry> entries;
    std::error_code ec;
    for (const auto& file : std::filesystem::directory_iterator(trash / "info", ec)) {
        const std::string fileName = file.path().filename().string();
        if (!fileName.ends_with(".trashinfo")) {
            continue;
        }
        std::string text;
        if (host::ReadWholeFile(file.path(), text) != 0) {
            continue;
        }
        std::size_t pos = 0;
        bool inInfo = false;
        while (pos < text.size()) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string::npos) {
                end = text.size();
            }
            const std::string_view line =
                machine::text::Trim(std::string_view(text).substr(pos, end - pos));
            pos = end + 1;
            if (line.starts_with('[')) {
                inInfo = line == "[Trash Info]";
            } else if (inInfo && line.starts_with("Path=")) {
                entries.push_back(
                    {fileName.substr(0, fileName.size() - 10), UnescapePath(line.substr(5))});
                break;
            }
        }
    }
    return entries;
}

bool Inside(const std::filesystem::path& path, const std::filesystem::path& root) {
    const std::string& p = path.native();
    const std::string& r = root.native();
    return p.size() > r.size() && p.compare(0, r.size(), r) == 0 &&
           (r.ends_with('/') || p[r.size()] == '/');
}

}  // namespace

std::filesystem::path TrashFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        return std::filesystem::path(data) / "Trash";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr && *home != '\0' ? home : "/") / ".local" /
           "share" / "Trash";
}

int SHFileOperationA(SHFILEOPSTRUCTA& operation) {
    operation.fAnyOperationsAborted = false;
    if (operation.wFunc != FO_DELETE) {
        return static_cast<int>(ERROR_INVALID_FUNCTION);
    }
    const bool toTrash = (operation.fFlags & FOF_ALLOWUNDO) != 0;
    const bool showErrors = (operation.fFlags & FOF_NOERRORUI) == 0;
    std::vector<Item> items;
    for (const std::string& path : SplitList(operation.pFrom)) {
        if (const DWORD code = Expand(path, (operation.fFlags & FOF_FILESONLY) != 0, items);
            code != ERROR_SUCCESS) {
            if (showErrors) {
                ShowFailure({path, {}, false}, code);
            }
            return static_cast<int>(code);
        }
    }
    if (items.empty()) {
        return 0;
    }
    if ((operation.fFlags & FOF_NOCONFIRMATION) == 0 && !Confirm(items, toTrash)) {
        operation.fAnyOperationsAborted = true;
        return static_cast<int>(ERROR_CANCELLED);
    }
    const auto current = machine::CurrentMachine();
    DWORD first = ERROR_SUCCESS;
    for (const Item& item : items) {
        const int err = toTrash ? MoveToTrash(item.host) : DeleteForGood(item.host);
        if (current) {
            current->paths().Refresh(item.host);
        }
        if (err != 0) {
            const DWORD code = Win32ErrorFromErrno(err);
            if (showErrors) {
                ShowFailure(item, code);
            }
            if (first == ERROR_SUCCESS) {
                first = code;
            }
        }
    }
    return static_cast<int>(first);
}

HRESULT SHEmptyRecycleBinA(HWND, std::string_view rootPath, DWORD dwFlags) {
    const auto current = machine::CurrentMachine();
    if (!current) {
        return HRESULT_FROM_WIN32(ERROR_NOT_READY);
    }
    std::vector<std::filesystem::path> roots;
    for (const auto& drive : current->paths().drives()) {
        const bool chosen =
            rootPath.empty() ||
            (rootPath.size() >= 2 && rootPath[1] == ':' &&
             std::toupper(static_cast<unsigned char>(rootPath[0])) == drive.letter &&
             (rootPath.size() == 2 ||
              (rootPath.size() == 3 && (rootPath[2] == '\\' || rootPath[2] == '/'))));
        std::error_code ec;
        if (chosen && !drive.hostFolder.empty()) {
            // Items were recorded under the path the resolver used, which may or may not have
            // its links resolved: both spellings of the drive's folder count.
            roots.push_back(drive.hostFolder);
            const auto canonical = std::filesystem::weakly_canonical(drive.hostFolder, ec);
            if (!ec && canonical != drive.hostFolder) {
                roots.push_back(canonical);
            }
        } else if (chosen) {
            roots.emplace_back();
        }
    }
    if (roots.empty()) {
        return E_INVALIDARG;
    }
    const std::filesystem::path trash = TrashFolder();
    std::vector<TrashEntry> mine;
    for (TrashEntry& entry : TrashEntries(trash)) {
        for (const auto& root : roots) {
            if (!root.empty() && Inside(entry.origin, root)) {
                mine.push_back(std::move(entry));
                break;
            }
        }
    }
    if (mine.empty()) {
        return S_OK;
    }
    if ((dwFlags & SHERB_NOCONFIRMATION) == 0) {
        const std::string prompt = mine.size() == 1 ? "Are you sure you want to delete '" +
                                                          mine[0].origin.filename().string() + "'?"
                                                    : "Are you sure you want to delete these " +
                                                          std::to_string(mine.size()) + " items?";
        const std::string title =
            mine.size() == 1 ? "Confirm File Delete" : "Confirm Multiple File Delete";
        if (dialogs::MsgBox(prompt, dialogs::vbYesNo | dialogs::vbQuestion, title) !=
            dialogs::vbYes) {
            return HRESULT_FROM_WIN32(ERROR_CANCELLED);
        }
    }
    bool failed = false;
    for (const TrashEntry& entry : mine) {
        std::error_code ec;
        std::filesystem::remove_all(trash / "files" / entry.name, ec);
        if (ec) {
            failed = true;
            continue;
        }
        std::filesystem::remove(trash / "info" / (entry.name + ".trashinfo"), ec);
        failed = failed || static_cast<bool>(ec);
    }
    return failed ? E_FAIL : S_OK;
}

}  // namespace win32
