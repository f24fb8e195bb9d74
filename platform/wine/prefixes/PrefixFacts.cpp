#include "platform/wine/prefixes/PrefixFacts.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/machine/MachineProfile.h"
#include "platform/machine/NtVersion.h"
#include "platform/machine/Text.h"
#include "platform/registry/RegistryStore.h"
#include "platform/wine/HiveFile.h"
#include "platform/wine/WineRegistryStore.h"
#include "platform/wine/prefixes/LauncherFiles.h"

namespace wine::prefixes {
namespace {
namespace fs = std::filesystem;

// Wine's names for the versions a prefix can be set to (winecfg), with the numbers they stand for.
struct Release {
    std::string_view setting;
    std::string_view title;
    unsigned major, minor;
};
constexpr std::array<Release, 16> kReleases = {{
    {"win11", "Windows 11", 10, 0},
    {"win10", "Windows 10", 10, 0},
    {"win81", "Windows 8.1", 6, 3},
    {"win8", "Windows 8", 6, 2},
    {"win2008r2", "Windows 2008 R2", 6, 1},
    {"win7", "Windows 7", 6, 1},
    {"win2008", "Windows 2008", 6, 0},
    {"vista", "Windows Vista", 6, 0},
    {"win2003", "Windows 2003", 5, 2},
    {"winxp64", "Windows XP 64-bit", 5, 2},
    {"winxp", "Windows XP", 5, 1},
    {"win2k", "Windows 2000", 5, 0},
    {"nt40", "Windows NT 4.0", 4, 0},
    {"winme", "Windows Me", 4, 90},
    {"win98", "Windows 98", 4, 10},
    {"win95", "Windows 95", 4, 0},
}};
// Windows 11 still calls itself 10.0; its builds start here.
constexpr unsigned kFirstWindows11Build = 22000;

std::string StringOf(const ValueLine& value) {
    std::string text(value.data.begin(), value.data.end());
    text.resize(std::min(text.size(), text.find('\0')));
    return std::string(machine::text::Trim(text));
}

bool AsciiEqualNoCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

const ValueLine* Named(const std::vector<ValueLine>& values, std::string_view name) {
    for (const ValueLine& value : values) {
        if (machine::text::EqualsNoCase(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

std::string VersionFromKeys(std::string_view systemReg) {
    const auto nt =
        ValuesOfKey(systemReg, {"Software", "Microsoft", "Windows NT", "CurrentVersion"});
    const auto version = machine::NtVersionFrom(
        {[&](std::string_view name) -> std::optional<std::string> {
             const ValueLine* value = Named(nt, name);
             return value && registry::IsStringType(value->type) ? std::optional(StringOf(*value))
                                                                 : std::nullopt;
         },
         [&](std::string_view name) {
             const ValueLine* value = Named(nt, name);
             return value ? registry::DwordOf(value->type, value->data) : std::nullopt;
         }});
    unsigned major = 0, minor = 0, build = 0;
    bool nine = false;
    if (version) {
        major = version->major;
        minor = version->minor;
        build = version->build;
    } else {
        const auto windows =
            ValuesOfKey(systemReg, {"Software", "Microsoft", "Windows", "CurrentVersion"});
        const ValueLine* number = Named(windows, "VersionNumber");
        const auto parsed = number ? machine::ParseWindowsVersion(StringOf(*number)) : std::nullopt;
        if (!parsed) {
            return {};
        }
        major = parsed->major;
        minor = parsed->minor;
        build = parsed->build;
        nine = true;
    }
    std::string_view title;
    for (const Release& release : kReleases) {
        const bool nineRelease = release.major == 4 && release.setting != "nt40";
        // A server release shares its numbers with a desktop one; only its setting tells.
        const bool server = release.title.find("Windows 20") != std::string_view::npos;
        if (!server && release.major == major && release.minor == minor && nineRelease == nine &&
            (release.setting != "win11" || build >= kFirstWindows11Build)) {
            title = release.title;
            break;
        }
    }
    const std::string numbers =
        std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build);
    return title.empty() ? "Windows " + numbers : std::string(title) + " (" + numbers + ")";
}

std::time_t ModifiedTime(const fs::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_mtime : 0;
}

// The "#arch=" line of the lines before the first key: Wine takes a file without one as
// 32-bit, and refuses any other word.
int BitsOf(std::string_view head) {
    for (std::size_t pos = 0; pos < head.size();) {
        std::size_t end = head.find('\n', pos);
        end = end == std::string_view::npos ? head.size() : end;
        std::string_view line = head.substr(pos, end - pos);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.starts_with('[')) {
            break;
        }
        if (line.starts_with("#arch=")) {
            return line == "#arch=win64" ? 64 : line == "#arch=win32" ? 32 : 0;
        }
        pos = end + 1;
    }
    return 32;
}

}  // namespace

std::vector<ValueLine> ValuesOfKey(std::string_view text, const std::vector<std::string>& names) {
    // Wine writes key lines in ASCII (other characters escaped), so ASCII case folding finds a
    // key however it is spelt; the spelling Wine uses is looked for first, as a whole.
    std::string wanted = RenderKeyLine({names, std::nullopt});
    wanted.pop_back();  // its line end
    const auto atKeyLine = [&](std::size_t at) {
        const std::size_t after = at + 1 + wanted.size();
        return after <= text.size() &&
               AsciiEqualNoCase(text.substr(at + 1, wanted.size()), wanted) &&
               (after == text.size() || text[after] == ' ' || text[after] == '\r' ||
                text[after] == '\n');
    };
    const std::string exact = "\n" + wanted;
    const void* found = ::memmem(text.data(), text.size(), exact.data(), exact.size());
    std::size_t at = found != nullptr
                         ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data())
                         : std::string_view::npos;
    if (at == std::string_view::npos || !atKeyLine(at)) {
        for (at = text.find("\n["); at != std::string_view::npos && !atKeyLine(at);
             at = text.find("\n[", at + 1)) {
        }
    }
    std::vector<ValueLine> values;
    if (at == std::string_view::npos) {
        return values;
    }
    for (std::size_t pos = text.find('\n', at + 1); pos != std::string_view::npos;) {
        const std::size_t start = pos + 1;
        if (start >= text.size() || text[start] == '[') {
            break;
        }
        pos = text.find('\n', start);
        const std::string_view line = text.substr(
            start, pos == std::string_view::npos ? std::string_view::npos : pos - start + 1);
        if (auto value = ParseValue(line)) {
            values.push_back(std::move(*value));
        }
    }
    return values;
}

std::string WindowsVersionText(std::string_view systemReg, std::string_view userReg) {
    const auto wine = ValuesOfKey(userReg, {"Software", "Wine"});
    if (const ValueLine* setting = Named(wine, "Version")) {
        const std::string name = StringOf(*setting);
        for (const Release& release : kReleases) {
            if (machine::text::EqualsNoCase(name, release.setting)) {
                return std::string(release.title) + " (" + name + ")";
            }
        }
        if (!name.empty()) {
            return name;
        }
    }
    return VersionFromKeys(systemReg);
}

std::string ReadPrefixFacts(const fs::path& folder, const ServerProcesses& servers,
                            PrefixFacts& facts) {
    if (!IsFolder(folder)) {
        std::error_code ec;
        return fs::exists(folder, ec) ? "it is no folder" : "the folder does not exist";
    }
    const fs::path systemFile = folder / WineRegistryStore::kMachineFile;
    if (!IsFile(systemFile)) {
        return "no system.reg: Wine has made no prefix here";
    }
    std::string error;
    const auto systemReg = ReadLauncherFile(systemFile, error);
    if (!systemReg) {
        return error;
    }
    std::string_view first = std::string_view(*systemReg).substr(0, systemReg->find('\n'));
    if (first.ends_with('\r')) {
        first.remove_suffix(1);
    }
    if (first != kHiveSignature) {
        return "system.reg is no Wine registry file (its first line is not \"" +
               std::string(kHiveSignature) + "\")";
    }
    if (!IsFolder(folder / "dosdevices")) {
        return "no dosdevices/ folder: the prefix has no drives";
    }
    const fs::path userFile = folder / WineRegistryStore::kUserFile;
    std::string userError;
    const std::string userReg = ReadLauncherFile(userFile, userError).value_or("");
    facts.bits = BitsOf(*systemReg);
    facts.windows = WindowsVersionText(*systemReg, userReg);
    facts.changed = std::max({ModifiedTime(systemFile), ModifiedTime(userFile),
                              ModifiedTime(folder / WineRegistryStore::kDefaultUserFile)});
    facts.server = CheckServer(folder, servers);
    return {};
}

}  // namespace wine::prefixes
