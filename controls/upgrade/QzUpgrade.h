// QzUpgrade: tells a program whether a newer version of it is published and, on request,
// downloads and starts the installer.
//
// The program's own PAD file lies beside it; its Web_Info section names where the current PAD
// file is published and where the installer can be downloaded. The control fetches the
// published PAD file, puts it in place of the local one, compares the published version with
// the one the host says it runs, and downloads the installer into the working folder.
//
// Use from a host (the update-check command of a program):
//
//     auto upgrade = automation::CreateObjectAs<Qz_Upgrade::QzUpgrade>("Qz_Upgrade.QzUpgrade");
//     upgrade->SetPADFile(programFolder + "\\pad_file.xml");
//     upgrade->SetMajor("1"); upgrade->SetMinor("0"); upgrade->SetRevision("12");
//     if (upgrade->GUIDownloadUpdate(programFolder, true)) { /* close so the installer can run */ }
//
// CreateObject finds the class only once this library is loaded, so the host links QzUpgrade
// and references it (the kProgID constant will do).
//
// Files it leaves: PADFile.bak (the local PAD file before every check), PADFile.fail (what a
// failed check fetched), the downloaded PAD file and installer as "Downloaded " + the file
// name of their addresses (Downloads.h: a download never takes the name of one of the
// program's files or backups), and EULA.txt, all in the working folder except the first two.
// A download goes to a fresh temporary file first and gets its name only once it has passed
// its check; every file is replaced whole (a crash leaves the old one).
//
// Failures: an address that cannot be reached (refused, timed out, cut short) or that answers
// without the file is passed over for the next one. Only when no address served and at least
// one could not be reached is an automation error raised to the host, naming every address
// tried and what went wrong there, and only after the local PAD file has been put back; a file
// that cannot be written or copied raises at once. An installer is accepted only when it
// arrived whole and, when the PAD file gives File_Size_Bytes, has exactly that size.
#pragma once

#include <string>

#include "controls/pad/QzPAD.h"
#include "controls/upgrade/Downloads.h"
#include "platform/automation/Events.h"
#include "platform/automation/Object.h"
#include "platform/automation/PropertyBag.h"
#include "platform/inet/Inet.h"

namespace Qz_Upgrade {

// What DownloadFile reports.
enum DownloadResults : int {
    DownloadFailedCheck = 0,
    DownloadReceived = 1,
    DownloadNothingReceived = 2,
    // The address could not be reached or its transfer broke off.
    DownloadTransferFailed = 3,
};

class QzUpgrade : public automation::Object {
  public:
    static constexpr const char* kProgID = "Qz_Upgrade.QzUpgrade";
    static constexpr int kDesignSize = 735;
    // The request time-out of every transfer, in seconds.
    static constexpr int kRequestTimeout = 60;

    QzUpgrade();
    QzUpgrade(const QzUpgrade&) = delete;
    QzUpgrade& operator=(const QzUpgrade&) = delete;

    // The host's installed version; UpdateAvailable leaves them padded with leading zeros to
    // the length of the published parts.
    const std::string& Major() const { return major_; }
    void SetMajor(std::string value) { major_ = std::move(value); }
    const std::string& Minor() const { return minor_; }
    void SetMinor(std::string value) { minor_ = std::move(value); }
    const std::string& Revision() const { return revision_; }
    void SetRevision(std::string value) { revision_ = std::move(value); }

    // The contained PAD reader's file; setting it makes the reader load afresh.
    const std::string& PADFile() const { return pad_.PADFile(); }
    void SetPADFile(const std::string& value);

    // Fetches the published PAD file in place of the local one and compares versions. When no
    // valid PAD file can be fetched, the fetched file is kept as PADFile.fail, the local one is
    // restored from PADFile.bak and the result is False.
    bool UpdateAvailable();
    // Asks the user (when an update is published) and downloads it, then starts the installer
    // when `RunInstall` is set. True when an installer was downloaded.
    bool GUIDownloadUpdate(const std::string& sPath = {}, bool RunInstall = false);
    // Downloads the installer from the first of the PAD file's four addresses that gives it.
    bool DownloadUpdate(const std::string& sPath = {});
    // Starts the downloaded installer; when it cannot be started, says so and opens the folder
    // in the file manager.
    void ExecuteInstall(const std::string& sPath = {});
    // Writes the PAD file's licence text to EULA.txt in the working folder.
    void SaveEULAFile(const std::string& sPath = {});

    // The folder downloads go to, ending in "\"; empty (the current directory) until a method
    // with a folder argument has run.
    const std::string& WorkingFolder() const { return workingFolder_; }

    void ReadProperties(const automation::PropertyBag& bag);
    void WriteProperties(automation::PropertyBag& bag) const;
    void AboutDisplay() const;

    automation::PropertyChangedEvent PropertyChanged;

  private:
    void SetWorkingFolder(const std::string& sPath);
    // A new empty file in the working folder for a download to arrive in.
    std::string FreshTempFile() const;
    int DownloadFile(const std::string& address, bool check, int pageHops = 0);
    // Fetches the link in `page` that ends in the file name `name`.
    bool FollowPageLink(const std::string& page, const std::string& name, bool check,
                        int pageHops = 0);
    bool FetchLatestPAD();
    bool InstallPAD(const std::string& downloaded);
    bool PADIsValid();
    void RestoreLocalPAD();
    std::string InstallerName();

    std::string major_;
    std::string minor_;
    std::string revision_;
    std::string workingFolder_;
    // The file name the last successful DownloadUpdate saved the installer under; empty
    // before one (the primary address's stored name is then the installer's).
    std::string fetchedInstaller_;
    // Where the last download that was received was put.
    std::string lastDownload_;
    TransferFailures failures_;
    Qz_PAD::QzPAD pad_;
    InetCtls::Inet inet_;
};

}  // namespace Qz_Upgrade
