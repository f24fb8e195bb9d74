// Where the update control keeps what it downloads, and what it says when no address served.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/Errors.h"

namespace Qz_Upgrade {

// The name a download is kept under in the working folder: "Downloaded " and the address's
// file name, its query and fragment dropped and the characters Windows refuses in a name
// replaced by "_"; "Downloaded file" for an address that names no file. The working folder is
// the program's own folder, which holds the PAD file, the help pages, EULA.txt and, unless the
// user chose another folder, the backups ("C~~WINDOWS~SYSTEM~A.DLL.backup"): no download can
// take one of those names, and one whose name would end like a backup's gets ".download".
std::string StoredDownloadName(std::string_view address);

// What went wrong at each address tried in one attempt, so that the error raised when none of
// them served names every address and its reason, not only the last.
class TransferFailures {
  public:
    void Clear();
    // The address answered without the file: worth telling only next to a transfer error.
    void NothingReceived(const std::string& address, std::int32_t responseCode);
    // The address could not be reached or its transfer broke off.
    void TransferFailed(const std::string& address, const automation::Error& error);
    bool AnyTransferFailed() const { return number_ != 0; }
    // Raises the first transfer error's number with one line per address tried.
    [[noreturn]] void Raise(const std::string& source) const;

  private:
    std::vector<std::string> lines_;
    std::int32_t number_ = 0;
};

}  // namespace Qz_Upgrade
