#include "controls/upgrade/QzUpgrade.h"

#include <array>
#include <string_view>

#include "controls/upgrade/Downloads.h"
#include "controls/upgrade/VersionCompare.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/dialogs/ControlAbout.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/Directories.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/kernel32/Process.h"
#include "platform/win32/kernel32/SystemInfo.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace Qz_Upgrade {
namespace {

const automation::ProgIDRegistration kRegistration(QzUpgrade::kProgID,
                                                   [] { return std::make_shared<QzUpgrade>(); });

constexpr const char* kBuildExtension = "QZUPGRADE_Build";
constexpr const char* kFallbackPADExtension = "QZUPGRADE_Additional_PAD_URL_";
// Reading it makes the PAD reader load a freshly copied file before InvalidPAD is asked.
constexpr const char* kLoadProbeExtension = "QZABOUT_Company_Icon_URL";
// "<HTML>" starting within the first 99 characters marks a web page sent in place of a file.
constexpr std::size_t kPageMarkWindow = 99;
// A web page may lead to a page that leads to the file, but not on for ever: a page that links
// to its own address would otherwise be fetched until the stack runs out.
constexpr int kMaxPageHops = 3;

// The text after the last "\" or "/"; empty when there is none.
std::string FileNameOf(std::string_view pathOrAddress) {
    const std::size_t slash = pathOrAddress.find_last_of("\\/");
    return slash == std::string_view::npos ? std::string()
                                           : std::string(pathOrAddress.substr(slash + 1));
}

std::string AsciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

void CopyOrRaise(const std::string& from, const std::string& to) {
    if (!win32::CopyFileA(from, to, false)) {
        win32::RaiseLastError(QzUpgrade::kProgID);
    }
}

std::string ReadOrRaise(const std::string& path) {
    const auto host = win32::HostPathOf(path);
    if (!host) {
        win32::RaiseLastError(QzUpgrade::kProgID);
    }
    std::string bytes;
    if (const int error = win32::host::ReadWholeFile(*host, bytes); error != 0) {
        automation::Raise(automation::RunTimeErrorFromErrno(error), QzUpgrade::kProgID);
    }
    return bytes;
}

void WriteOrRaise(const std::string& path, std::string_view bytes) {
    if (!win32::WriteFileAtomicallyA(path, bytes)) {
        win32::RaiseLastError(QzUpgrade::kProgID);
    }
}

// "<HTML>" in any case starting within the first 99 characters: the server sent a web page in
// place of the file.
bool IsWebPage(std::string_view contents) {
    const std::size_t mark = AsciiUpper(contents.substr(0, kPageMarkWindow + 5)).find("<HTML>");
    return mark != std::string::npos && mark < kPageMarkWindow;
}

// Text files the system writes end their lines in CR LF, whatever the PAD file held.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

// The address that ends with the occurrence of the wanted file name at `pos`: from the nearest
// "http://" or "https://" before it to the end of the name. Empty when there is no such
// address, when the name is only the tail of a longer file name, or when the text between holds
// what no single address holds (blanks, quotes, angle brackets), i.e. the scheme belongs to
// another link.
std::string LinkEndingAt(std::string_view page, std::string_view upperPage, std::size_t pos,
                         std::size_t nameLength) {
    if (pos == 0 || page[pos - 1] != '/') {
        return {};
    }
    const std::string_view before = upperPage.substr(0, pos);
    const std::size_t plain = before.rfind("HTTP://");
    const std::size_t secure = before.rfind("HTTPS://");
    std::size_t start = plain;
    if (secure != std::string_view::npos && (plain == std::string_view::npos || secure > plain)) {
        start = secure;
    }
    if (start == std::string_view::npos) {
        return {};
    }
    const std::string_view link = page.substr(start, pos + nameLength - start);
    if (link.find_first_of(" \t\r\n\"'<>") != std::string_view::npos) {
        return {};
    }
    return std::string(link);
}

// A command-line argument for a folder: quoted so blanks stay inside it, and a closing
// backslash doubled so that it does not escape the quote.
std::string QuotedFolder(const std::string& folder) {
    return "\"" + folder + (folder.ends_with('\\') ? "\\" : "") + "\"";
}

}  // namespace

QzUpgrade::QzUpgrade() = default;

void QzUpgrade::SetPADFile(const std::string& value) {
    pad_.SetPADFile(value);
    PropertyChanged("PADFile");
}

void QzUpgrade::SetWorkingFolder(const std::string& sPath) {
    if (!sPath.empty()) {
        workingFolder_ = sPath.ends_with('\\') ? sPath : sPath + "\\";
        return;
    }
    const std::string& padFile = PADFile();
    const std::size_t slash = padFile.find_last_of("\\/");
    workingFolder_ = slash == std::string::npos ? std::string() : padFile.substr(0, slash) + "\\";
}

std::string QzUpgrade::FreshTempFile() const {
    const std::string folder = workingFolder_.empty()
                                   ? win32::GetCurrentDirectoryA().value_or(std::string())
                                   : workingFolder_;
    const auto temp = win32::GetTempFileNameA(folder, "VUP");
    if (!temp) {
        win32::RaiseLastError(kProgID);
    }
    return *temp;
}

int QzUpgrade::DownloadFile(const std::string& address, bool check, int pageHops) {
    inet_.SetRequestTimeout(kRequestTimeout);
    automation::Variant body;
    try {
        body = inet_.OpenURL(address, InetCtls::icByteArray);
    } catch (const automation::Error& error) {
        // The next address may well answer: that is what the others are there for.
        failures_.TransferFailed(address, error);
        return DownloadTransferFailed;
    }
    const auto* bytes = body.get_if<automation::ByteArray>();
    if (bytes == nullptr || bytes->empty()) {
        failures_.NothingReceived(address, inet_.ResponseCode());
        return DownloadNothingReceived;
    }
    const std::string_view received(reinterpret_cast<const char*>(bytes->Items().data()),
                                    bytes->size());
    // Nothing lands under a name of its own before it has passed its check, so neither a
    // download nor a rejected one can touch any other file of the folder.
    const std::string temp = FreshTempFile();
    struct RemoveUnlessKept {
        const std::string& path;
        bool kept = false;
        ~RemoveUnlessKept() {
            if (!kept) {
                win32::DeleteFileA(path);
            }
        }
    } cleanup{temp};
    WriteOrRaise(temp, received);
    if (check) {
        if (IsWebPage(received)) {
            // The page may lead to the file; then the linked file is what was downloaded.
            return pageHops < kMaxPageHops &&
                           FollowPageLink(std::string(received), FileNameOf(address), true,
                                          pageHops + 1)
                       ? DownloadReceived
                       : DownloadFailedCheck;
        }
        // A truncated or substituted installer must never be started.
        const double expected = pad_.File_Size_Bytes();
        if (expected > 0 && static_cast<double>(received.size()) != expected) {
            return DownloadFailedCheck;
        }
    }
    const std::string stored = workingFolder_ + StoredDownloadName(address);
    if (!win32::MoveFileExA(temp, stored, win32::MOVEFILE_REPLACE_EXISTING)) {
        win32::RaiseLastError(kProgID);
    }
    cleanup.kept = true;
    lastDownload_ = stored;
    return DownloadReceived;
}

bool QzUpgrade::FollowPageLink(const std::string& page, const std::string& name, bool check,
                               int pageHops) {
    if (name.empty()) {
        return false;
    }
    const std::string upperPage = AsciiUpper(page);
    const std::string upperName = AsciiUpper(name);
    for (std::size_t pos = upperPage.find(upperName); pos != std::string::npos;
         pos = upperPage.find(upperName, pos + 1)) {
        const std::string link = LinkEndingAt(page, upperPage, pos, name.size());
        if (link.empty()) {
            continue;
        }
        if (DownloadFile(link, check, pageHops) != DownloadReceived) {
            return false;
        }
        return check || InstallPAD(lastDownload_);
    }
    // A web page that does not lead to the file is not the file.
    return false;
}

bool QzUpgrade::InstallPAD(const std::string& downloaded) {
    const std::string padFile = PADFile();
    CopyOrRaise(downloaded, padFile);
    pad_.SetPADFile(padFile);
    return PADIsValid();
}

bool QzUpgrade::PADIsValid() {
    try {
        pad_.Extension(kLoadProbeExtension);
    } catch (const automation::Error& error) {
        // Nested deeper than a PAD file ever is: whatever it is, it is no PAD file.
        if (error.Number() != automation::SubscriptOutOfRange) {
            throw;
        }
        return false;
    }
    return !pad_.InvalidPAD();
}

bool QzUpgrade::FetchLatestPAD() {
    std::array<std::string, 4> fallbacks;
    for (std::size_t i = 0; i < fallbacks.size(); ++i) {
        fallbacks[i] = pad_.Extension(kFallbackPADExtension + std::to_string(i + 1));
    }
    const std::string address = pad_.Application_XML_File_URL();
    if (address.empty()) {
        dialogs::MsgBox("Unable to determine the URL to check.  Please visit the vendor's website.",
                        dialogs::vbOKOnly | dialogs::vbExclamation, "URL not found");
        return false;
    }
    failures_.Clear();
    // No valid file anywhere: a server that could not be reached is an error for the host,
    // servers that answered without a PAD file are "no update".
    const auto none = [this] {
        if (failures_.AnyTransferFailed()) {
            failures_.Raise(kProgID);
        }
        return false;
    };
    // How many fallback addresses have been used: 0 while the published address serves.
    std::size_t used = 0;
    if (DownloadFile(address, false) != DownloadReceived) {
        bool received = false;
        while (!received) {
            if (used == fallbacks.size() || fallbacks[used].empty()) {
                return none();
            }
            received = DownloadFile(fallbacks[used++], false) == DownloadReceived;
        }
    }
    if (InstallPAD(lastDownload_)) {
        return true;
    }
    // Typically a web page in place of the PAD file: it may link to the file.
    if (used == 0 && FollowPageLink(ReadOrRaise(PADFile()), FileNameOf(PADFile()), false)) {
        return true;
    }
    for (std::size_t i = used; i < fallbacks.size(); ++i) {
        if (!fallbacks[i].empty() && DownloadFile(fallbacks[i], false) == DownloadReceived &&
            InstallPAD(lastDownload_)) {
            return true;
        }
    }
    return none();
}

void QzUpgrade::RestoreLocalPAD() {
    const std::string padFile = PADFile();
    const bool kept = win32::CopyFileA(padFile, padFile + ".fail", false);
    const win32::DWORD keepError = win32::GetLastError();
    CopyOrRaise(padFile + ".bak", padFile);
    pad_.SetPADFile(padFile);
    if (!kept) {
        automation::Raise(automation::RunTimeErrorFromWin32(keepError), kProgID);
    }
}

bool QzUpgrade::UpdateAvailable() {
    const std::string padFile = PADFile();
    bool backedUp = false;
    bool fetched = false;
    try {
        CopyOrRaise(padFile, padFile + ".bak");
        backedUp = true;
        fetched = FetchLatestPAD();
    } catch (const automation::Error& error) {
        if (!backedUp) {
            throw;
        }
        // The host learns of the transfer error with its own PAD file back in place.
        try {
            RestoreLocalPAD();
        } catch (const automation::Error& restore) {
            throw automation::Error(error.Number(),
                                    error.Description() +
                                        " (the local PAD file could not be restored either: " +
                                        restore.Description() + ")",
                                    error.Source());
        }
        throw;
    }
    if (!fetched) {
        RestoreLocalPAD();
        return false;
    }
    const VersionParts published =
        SplitPublishedVersion(pad_.Program_Version(), pad_.Extension(kBuildExtension));
    VersionParts installed{major_, minor_, revision_};
    const bool newer = PublishedIsNewer(published, installed);
    major_ = installed.major;
    minor_ = installed.minor;
    revision_ = installed.build;
    return newer;
}

bool QzUpgrade::DownloadUpdate(const std::string& sPath) {
    SetWorkingFolder(sPath);
    const std::string addresses[] = {pad_.Primary_Download_URL(), pad_.Secondary_Download_URL(),
                                     pad_.Additional_Download_URL_1(),
                                     pad_.Additional_Download_URL_2()};
    fetchedInstaller_.clear();
    failures_.Clear();
    for (const std::string& address : addresses) {
        if (!address.empty() && DownloadFile(address, true) == DownloadReceived) {
            // A mirror may publish the installer under a name of its own.
            fetchedInstaller_ = FileNameOf(lastDownload_);
            return true;
        }
    }
    if (failures_.AnyTransferFailed()) {
        failures_.Raise(kProgID);
    }
    return false;
}

bool QzUpgrade::GUIDownloadUpdate(const std::string& sPath, bool RunInstall) {
    SetWorkingFolder(sPath);
    if (!UpdateAvailable()) {
        return false;
    }
    const std::string name = pad_.Program_Name();
    if (dialogs::MsgBox(
            "An update to " + name + " is available. " + "Do you wish to download it now?",
            dialogs::vbYesNo | dialogs::vbQuestion, "Update Available") != dialogs::vbYes) {
        return false;
    }
    const std::string folder = workingFolder_;
    if (!DownloadUpdate(folder)) {
        // Without this the host's next words would be "No update available".
        dialogs::MsgBox("The update to " + name +
                            " could not be downloaded.  Please visit the vendor's website.",
                        dialogs::vbOKOnly | dialogs::vbExclamation, "Download failed");
        return false;
    }
    if (RunInstall) {
        ExecuteInstall(folder);
    }
    return true;
}

std::string QzUpgrade::InstallerName() {
    if (!fetchedInstaller_.empty()) {
        return fetchedInstaller_;
    }
    return StoredDownloadName(pad_.Primary_Download_URL());
}

void QzUpgrade::ExecuteInstall(const std::string& sPath) {
    SetWorkingFolder(sPath);
    const std::string command = workingFolder_ + InstallerName();
    dialogs::MsgBox("Executing " + command, dialogs::vbOKOnly);
    bool started = true;
    try {
        // Quoted: the program folder usually holds a blank ("Program Files").
        win32::Shell("\"" + command + "\"", win32::vbNormalFocus);
    } catch (const automation::Error&) {
        started = false;
    }
    if (started) {
        return;
    }
    dialogs::MsgBox("Unable to run " + command + ".\r\nOpening folder.", dialogs::vbOKOnly);
    const std::string folder =
        workingFolder_.empty() ? win32::GetCurrentDirectoryA().value_or("") : workingFolder_;
    win32::Shell("Explorer " + QuotedFolder(folder), win32::vbNormalFocus);
}

void QzUpgrade::SaveEULAFile(const std::string& sPath) {
    SetWorkingFolder(sPath);
    WriteOrRaise(workingFolder_ + "EULA.txt", WithCrLf(pad_.EULA()) + "\r\n");
}

void QzUpgrade::ReadProperties(const automation::PropertyBag& bag) {
    pad_.SetPADFile(automation::CStr(bag.ReadProperty("PADFile", "")));
}

void QzUpgrade::WriteProperties(automation::PropertyBag& bag) const {
    bag.WriteProperty("PADFile", PADFile(), automation::Variant(""));
}

void QzUpgrade::AboutDisplay() const {
    dialogs::ShowControlAbout(dialogs::MakerVersion("QzUpgrade"));
}

}  // namespace Qz_Upgrade
