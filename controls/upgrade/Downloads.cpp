#include "controls/upgrade/Downloads.h"

#include "platform/automation/Text.h"

namespace Qz_Upgrade {

std::string StoredDownloadName(std::string_view address) {
    std::string_view name = address.substr(0, address.find_first_of("?#"));
    if (const std::size_t slash = name.find_last_of("\\/"); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    std::string safe;
    for (const char c : name) {
        const bool refused = static_cast<unsigned char>(c) < 32 ||
                             std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos;
        safe += refused ? '_' : c;
    }
    // Windows drops blanks and dots at the end of a name; "Downloaded ." is no name either.
    while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) {
        safe.pop_back();
    }
    if (safe.empty()) {
        safe = "file";
    }
    std::string stored = "Downloaded " + safe;
    const std::string folded = automation::LCase(stored);
    if (folded.ends_with(".backup") || folded.find(".backup.") != std::string::npos) {
        stored += ".download";
    }
    return stored;
}

void TransferFailures::Clear() {
    lines_.clear();
    number_ = 0;
}

void TransferFailures::NothingReceived(const std::string& address, std::int32_t responseCode) {
    lines_.push_back(address + ": nothing received" +
                     (responseCode != 0 ? " (HTTP " + std::to_string(responseCode) + ")" : ""));
}

void TransferFailures::TransferFailed(const std::string& address, const automation::Error& error) {
    if (number_ == 0) {
        number_ = error.Number();
    }
    lines_.push_back(address + ": " + error.Description());
}

void TransferFailures::Raise(const std::string& source) const {
    std::string text = "None of the addresses could be used:";
    for (const std::string& line : lines_) {
        text += "\r\n" + line;
    }
    throw automation::Error(number_, text, source);
}

}  // namespace Qz_Upgrade
