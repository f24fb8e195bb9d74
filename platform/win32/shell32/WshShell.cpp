#include "platform/win32/shell32/WshShell.h"

#include <cctype>
#include <charconv>
#include <vector>

#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/machine/Machine.h"
#include "platform/machine/Text.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/kernel32/Profile.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

constexpr std::uint16_t kHotkeyShift = 0x01;
constexpr std::uint16_t kHotkeyControl = 0x02;
constexpr std::uint16_t kHotkeyAlt = 0x04;
constexpr std::uint16_t kHotkeyExt = 0x08;

[[noreturn]] void InvalidArgument(const std::string& source, const std::string& description) {
    automation::Raise(automation::InvalidProcedureCall, source, description);
}

// The full Windows path of `path` against the current directory; raises error 5 when it
// cannot be one.
std::string FullPath(std::string_view path, const char* source) {
    const auto current = machine::CurrentMachine();
    machine::PathError error = machine::PathError::None;
    const auto parsed = current
                            ? machine::ParseWindowsPath(path, current->currentDirectory(), error)
                            : std::nullopt;
    if (!parsed) {
        InvalidArgument(source, "Invalid path: \"" + std::string(path) + "\".");
    }
    return parsed->str();
}

[[noreturn]] void SaveFailed(const std::string& path, const char* source) {
    const DWORD code = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_ACCESS_DENIED;
    automation::Raise(static_cast<std::int32_t>(0x80070000u | (code & 0xFFFF)), source,
                      "Unable to save shortcut \"" + path + "\".");
}

std::optional<std::string> ReadFile(const std::string& path) {
    const auto host = HostPathOf(path);
    std::string bytes;
    if (!host || host::ReadWholeFile(*host, bytes) != 0) {
        return std::nullopt;
    }
    return bytes;
}

std::string KeyName(std::uint8_t vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
        return std::string(1, static_cast<char>(vk));
    }
    if (vk >= 0x70 && vk <= 0x87) {
        return "F" + std::to_string(vk - 0x70 + 1);
    }
    return {};
}

std::optional<std::uint8_t> KeyCode(const std::string& name) {
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
        return static_cast<std::uint8_t>(name[0]);
    }
    if (name.size() >= 2 && name[0] == 'F') {
        int number = 0;
        const auto [end, ec] = std::from_chars(name.data() + 1, name.data() + name.size(), number);
        if (ec == std::errc{} && end == name.data() + name.size() && number >= 1 && number <= 24) {
            return static_cast<std::uint8_t>(0x70 + number - 1);
        }
    }
    return std::nullopt;
}

const automation::ProgIDRegistration kRegistration(WshShell::kProgID,
                                                   [] { return std::make_shared<WshShell>(); });

}  // namespace

WshShortcut::WshShortcut(std::string fullName) : fullName_(std::move(fullName)) {
    if (const auto bytes = ReadFile(fullName_)) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes->data());
        if (auto existing = DecodeShellLink(std::span(data, bytes->size()))) {
            link_ = std::move(*existing);
        }
    }
}

std::string WshShortcut::Hotkey() const {
    const std::string key = KeyName(static_cast<std::uint8_t>(link_.hotKey & 0xFF));
    if (key.empty()) {
        return {};
    }
    const std::uint16_t modifiers = link_.hotKey >> 8;
    std::string text;
    if ((modifiers & kHotkeyAlt) != 0) {
        text += "Alt+";
    }
    if ((modifiers & kHotkeyControl) != 0) {
        text += "Ctrl+";
    }
    if ((modifiers & kHotkeyShift) != 0) {
        text += "Shift+";
    }
    if ((modifiers & kHotkeyExt) != 0) {
        text += "Ext+";
    }
    return text + key;
}

void WshShortcut::SetHotkey(const std::string& value) {
    if (machine::text::Trim(value).empty()) {
        link_.hotKey = 0;
        return;
    }
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = value.find('+', pos);
        parts.push_back(machine::text::FoldCase(
            machine::text::Trim(std::string_view(value).substr(pos, end - pos))));
        if (end == std::string::npos) {
            break;
        }
        pos = end + 1;
    }
    // Modifiers first, the key last.
    std::uint16_t modifiers = 0;
    bool valid = true;
    for (std::size_t i = 0; i + 1 < parts.size() && valid; ++i) {
        if (parts[i] == "ALT") {
            modifiers |= kHotkeyAlt;
        } else if (parts[i] == "CTRL") {
            modifiers |= kHotkeyControl;
        } else if (parts[i] == "SHIFT") {
            modifiers |= kHotkeyShift;
        } else if (parts[i] == "EXT") {
            modifiers |= kHotkeyExt;
        } else {
            valid = false;
        }
    }
    const auto key = valid ? KeyCode(parts.back()) : std::nullopt;
    if (!key) {
        InvalidArgument("WshShortcut.Hotkey", "Invalid hotkey: \"" + value + "\".");
    }
    link_.hotKey = static_cast<std::uint16_t>(*key | (modifiers << 8));
}

std::string WshShortcut::IconLocation() const {
    return link_.iconLocation + "," + std::to_string(link_.iconIndex);
}

void WshShortcut::SetIconLocation(const std::string& value) {
    const std::size_t comma = value.rfind(',');
    std::int32_t index = 0;
    std::string path = value;
    if (comma != std::string::npos) {
        const std::string_view number =
            machine::text::Trim(std::string_view(value).substr(comma + 1));
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), index);
        if (ec == std::errc{} && end == number.data() + number.size()) {
            path = value.substr(0, comma);
        } else {
            index = 0;
        }
    }
    link_.iconLocation = std::string(machine::text::Trim(path));
    link_.iconIndex = index;
}

void WshShortcut::SetRelativePath(const std::string& value) {
    link_.relativePath = value;
    relativeGiven_ = true;
}

void WshShortcut::SetTargetPath(const std::string& value) {
    link_.targetPath = value;
}

std::int32_t WshShortcut::WindowStyle() const {
    return link_.showCommand == 3 || link_.showCommand == 7
               ? static_cast<std::int32_t>(link_.showCommand)
               : 1;
}

void WshShortcut::SetWindowStyle(std::int32_t value) {
    link_.showCommand = value == 3 || value == 7 ? static_cast<std::uint32_t>(value) : 1u;
}

void WshShortcut::Save() {
    ShellLink link = link_;
    if (!link.targetPath.empty()) {
        // A full path is kept as written; anything else is made one.
        const std::string& target = link_.targetPath;
        const bool full =
            target.size() >= 3 && target[1] == ':' && (target[2] == '\\' || target[2] == '/');
        const std::string path = full ? target : FullPath(target, "WshShortcut.Save");
        ShellLink described = LinkTo(path);
        link.targetPath = path;
        link.fileAttributes = described.fileAttributes;
        link.creationTime = described.creationTime;
        link.accessTime = described.accessTime;
        link.writeTime = described.writeTime;
        link.fileSize = described.fileSize;
        link.driveType = described.driveType;
        link.driveSerialNumber = described.driveSerialNumber;
        link.volumeLabel = described.volumeLabel;
        if (!relativeGiven_) {
            link.relativePath = RelativeLinkPath(fullName_, path);
        }
    } else if (!relativeGiven_) {
        link.relativePath.clear();
    }
    const std::vector<std::uint8_t> bytes = EncodeShellLink(link);
    if (!WriteFileAtomicallyA(
            fullName_,
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
        SaveFailed(fullName_, "WshShortcut.Save");
    }
    link_ = std::move(link);
}

WshURLShortcut::WshURLShortcut(std::string fullName) : fullName_(std::move(fullName)) {
    if (GetFileAttributesA(fullName_) != INVALID_FILE_ATTRIBUTES) {
        target_ = GetPrivateProfileStringA("InternetShortcut", "URL", "", fullName_);
    }
}

void WshURLShortcut::Save() {
    if (!WriteFileAtomicallyA(fullName_, "[InternetShortcut]\r\nURL=" + target_ + "\r\n")) {
        SaveFailed(fullName_, "WshURLShortcut.Save");
    }
}

std::shared_ptr<automation::Object> WshShell::CreateShortcut(const std::string& PathLink) {
    const std::string lower = machine::text::FoldCase(PathLink);
    if (lower.ends_with(".LNK")) {
        return std::make_shared<WshShortcut>(FullPath(PathLink, "WshShell.CreateShortcut"));
    }
    if (lower.ends_with(".URL")) {
        return std::make_shared<WshURLShortcut>(FullPath(PathLink, "WshShell.CreateShortcut"));
    }
    InvalidArgument("WshShell.CreateShortcut", "The shortcut pathname must end with .lnk or .url.");
}

}  // namespace win32
