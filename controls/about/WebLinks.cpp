#include "controls/about/WebLinks.h"

#include <cctype>
#include <map>

#include "controls/registry/QzRegistry.h"
#include "platform/automation/Errors.h"
#include "platform/inet/Inet.h"
#include "platform/win32/kernel32/Process.h"
#include "platform/win32/shell32/Shell.h"

namespace Qz_About {
namespace {

// Pictures must not hold the About box up for long when the network is slow; and once an
// address has answered (or failed to), later boxes of the run take that answer instead of
// waiting again.
constexpr std::int32_t kPictureTimeout = 5;

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

std::string PercentEncoded(std::string_view url) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '"' || c == '\\' || c == '<' || c == '>') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && Lower(text.substr(0, prefix.size())) == prefix;
}

// One pass over the command, so that an address holding "%1" itself stays as it is.
bool ReplacePlaceholders(std::string& command, const std::string& address) {
    std::string out;
    bool placed = false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char next = i + 1 < command.size() ? command[i + 1] : '\0';
        if (command[i] == '%' && (next == '1' || next == 'L' || next == 'l')) {
            out += address;
            placed = true;
            ++i;
        } else {
            out += command[i];
        }
    }
    command = std::move(out);
    return placed;
}

bool OpenOnDesktop(const std::string& address) {
    return win32::ShellExecuteA(0, "open", address, "", "", win32::SW_SHOWNORMAL) > 32;
}

}  // namespace

std::optional<std::string> WebAddress(std::string_view url) {
    const std::string_view trimmed = url.substr(0, url.find_last_not_of(" \t\r\n") + 1);
    const std::string_view text =
        trimmed.substr(std::min(trimmed.find_first_not_of(" \t\r\n"), trimmed.size()));
    if (text.empty()) {
        return std::nullopt;
    }
    if (StartsWithIgnoreCase(text, "http://") || StartsWithIgnoreCase(text, "https://") ||
        StartsWithIgnoreCase(text, "mailto:")) {
        return PercentEncoded(text);
    }
    // No scheme: a host name, perhaps with a port and a path; a drive letter, a backslash or
    // another scheme ("file:", "javascript:") makes it something else.
    const std::size_t colon = text.find(':');
    const bool port = colon != std::string_view::npos && colon + 1 < text.size() &&
                      std::isdigit(static_cast<unsigned char>(text[colon + 1]));
    if (text.find('\\') != std::string_view::npos || (colon != std::string_view::npos && !port) ||
        text.starts_with('/')) {
        return std::nullopt;
    }
    return "http://" + PercentEncoded(text);
}

void OpenInBrowser(const std::string& address) {
    Qz_Registry::QzRegistry registry;
    std::string command = registry.GetEXTCommandLine(".htm", "Open");
    if (!command.empty()) {
        if (!ReplacePlaceholders(command, address)) {
            command += " " + address;
        }
        try {
            win32::Shell(command, win32::vbNormalFocus);
            return;
        } catch (const automation::Error&) {
            // A machine brought over from Windows names a browser the host cannot run.
            if (!OpenOnDesktop(address)) {
                throw;
            }
            return;
        }
    }
    if (!OpenOnDesktop(address)) {
        automation::Raise(automation::FileNotFound, "QzAbout", "No program can open " + address);
    }
}

std::string FetchPicture(const std::string& url) {
    if (!StartsWithIgnoreCase(url, "http://") && !StartsWithIgnoreCase(url, "https://")) {
        return {};
    }
    static std::map<std::string, std::string> fetched;
    if (const auto known = fetched.find(url); known != fetched.end()) {
        return known->second;
    }
    std::string picture;
    try {
        InetCtls::Inet inet;
        inet.SetRequestTimeout(kPictureTimeout);
        const automation::Variant body = inet.OpenURL(url, InetCtls::icByteArray);
        if (const auto* bytes = body.get_if<automation::ByteArray>()) {
            picture.assign(bytes->begin(), bytes->end());
        }
    } catch (const automation::Error&) {
        picture.clear();
    }
    fetched[url] = picture;
    return picture;
}

}  // namespace Qz_About
