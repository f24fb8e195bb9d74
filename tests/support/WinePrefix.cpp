#include "tests/support/WinePrefix.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testsupport {
namespace {

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (::access((std::filesystem::path(folder) / program).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> InPrefix(const std::filesystem::path& prefix,
                                  const std::vector<std::string>& args) {
    std::vector<std::string> argv = {
        "/usr/bin/env",   "-u",
        "DISPLAY",        "WINEPREFIX=" + prefix.string(),
        "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d"};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

}  // namespace

bool WineInstalled() {
    return OnPath("wine") && OnPath("wineboot") && OnPath("wineserver");
}

ProgramRun RunInPrefix(const std::filesystem::path& prefix, const std::vector<std::string>& args) {
    ProgramRun run = RunProgram(InPrefix(prefix, args));
    RunProgram(InPrefix(prefix, {"wineserver", "-w"}));
    return run;
}

std::optional<std::string> MakeWinePrefix(const std::filesystem::path& prefix) {
    const ProgramRun run = RunInPrefix(prefix, {"wineboot", "-i"});
    if (run.status != 0) {
        return "wineboot -i ended with status " + std::to_string(run.status) + ": " + run.err;
    }
    std::error_code ec;
    if (!std::filesystem::exists(prefix / "system.reg", ec)) {
        return "wineboot -i wrote no system.reg: " + run.err;
    }
    return std::nullopt;
}

void RemoveWinePrefix(const std::filesystem::path& prefix) {
    RunProgram(InPrefix(prefix, {"wineserver", "-k"}));
    RunProgram(InPrefix(prefix, {"wineserver", "-w"}));
    std::ifstream named(prefix / "wineserver");
    std::string name;
    std::getline(named, name);
    std::error_code ec;
    if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..") {
        std::filesystem::remove_all(std::filesystem::temp_directory_path() / name, ec);
    }
    std::filesystem::remove_all(prefix, ec);
}

RegQueryKeys WineRegQuery(const std::filesystem::path& prefix,
                          const std::vector<std::string>& keys) {
    std::vector<std::string> args = {"wine", "cmd", "/c"};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i > 0) {
            args.push_back("&");
        }
        args.insert(args.end(), {"reg", "query", keys[i]});
    }
    const ProgramRun run = RunInPrefix(prefix, args);
    RegQueryKeys result;
    // A key's full name on a line of its own, then "    NAME    REG_TYPE    DATA" lines with
    // blanks of four between the columns ("(Default)" for the default value).
    std::istringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.starts_with("HKEY_")) {
            result.emplace_back(line, std::vector<RegQueryValue>{});
            continue;
        }
        const std::size_t type = line.find("    REG_");
        if (result.empty() || !line.starts_with("    ") || type == std::string::npos) {
            continue;
        }
        RegQueryValue value;
        value.name = line.substr(4, type - 4);
        if (value.name == "(Default)") {
            value.name.clear();
        }
        const std::size_t typeEnd = line.find("    ", type + 4);
        value.type = line.substr(
            type + 4, typeEnd == std::string::npos ? std::string::npos : typeEnd - type - 4);
        if (typeEnd != std::string::npos) {
            value.data = line.substr(typeEnd + 4);
        }
        result.back().second.push_back(std::move(value));
    }
    return result;
}

std::optional<RegQueryValue> FindQueried(const RegQueryKeys& result, const std::string& key,
                                         const std::string& name) {
    const auto same = [](const std::string& a, const std::string& b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    };
    for (const auto& [queried, values] : result) {
        if (!same(queried, key)) {
            continue;
        }
        for (const RegQueryValue& value : values) {
            if (same(value.name, name)) {
                return value;
            }
        }
    }
    return std::nullopt;
}

}  // namespace testsupport
