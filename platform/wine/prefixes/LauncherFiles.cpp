#include "platform/wine/prefixes/LauncherFiles.h"

#include <algorithm>
#include <cstring>
#include <nlohmann/json.hpp>

#include "platform/win32/ntdll/HostFiles.h"

namespace wine::prefixes {
namespace fs = std::filesystem;

std::string CannotRead(const fs::path& file, std::string_view why) {
    return file.string() + " cannot be read: " + std::string(why);
}

std::optional<std::string> ReadLauncherFile(const fs::path& file, std::string& error) {
    std::string text;
    if (const int err = win32::host::ReadWholeFile(file, text); err != 0) {
        error = CannotRead(file,
                           err == EACCES && IsFolder(file) ? "it is a folder" : std::strerror(err));
        return std::nullopt;
    }
    return text;
}

std::optional<YAML::Node> ReadYaml(const fs::path& file, std::string& error) {
    const auto text = ReadLauncherFile(file, error);
    if (!text) {
        return std::nullopt;
    }
    try {
        return YAML::Load(*text);
    } catch (const YAML::Exception& e) {
        // The mark counts from 0; people count lines from 1.
        error = CannotRead(file, "line " + std::to_string(e.mark.line + 1) + ": " + e.msg);
        return std::nullopt;
    }
}

std::optional<nlohmann::json> ReadJson(const fs::path& file, std::string& error) {
    const auto text = ReadLauncherFile(file, error);
    if (!text) {
        return std::nullopt;
    }
    try {
        return nlohmann::json::parse(*text);
    } catch (const nlohmann::json::exception& e) {
        error = CannotRead(file, e.what());
        return std::nullopt;
    }
}

namespace {

// yaml-cpp's lookup of a missing key gives a node that throws when asked its kind.
std::optional<YAML::Node> Child(const YAML::Node& node, const char* key) {
    if (!node.IsDefined() || !node.IsMap()) {
        return std::nullopt;
    }
    const YAML::Node child = node[key];
    return child.IsDefined() ? std::optional(child) : std::nullopt;
}

}  // namespace

std::string YamlScalar(const YAML::Node& node, const char* key) {
    const auto child = Child(node, key);
    return child && child->IsScalar() ? child->Scalar() : std::string();
}

std::optional<YAML::Node> YamlMapping(const YAML::Node& node, const char* key) {
    const auto child = Child(node, key);
    return child && child->IsMap() ? child : std::nullopt;
}

namespace {

std::vector<fs::path> Listed(const fs::path& folder, bool folders, std::string_view suffix) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        if (folders ? IsFolder(path) : path.filename().string().ends_with(suffix) && IsFile(path)) {
            found.push_back(path);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

std::vector<fs::path> SubFolders(const fs::path& folder) {
    return Listed(folder, true, {});
}

std::vector<fs::path> FilesEndingIn(const fs::path& folder, std::string_view suffix) {
    return Listed(folder, false, suffix);
}

bool IsFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool IsFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

fs::path ExpandPath(std::string_view path, const fs::path& home, const fs::path& base) {
    if (path == "~") {
        return home;
    }
    if (path.starts_with("~/")) {
        return home / path.substr(2);
    }
    const fs::path named(path);
    return named.is_absolute() ? named : base / named;
}

}  // namespace wine::prefixes
