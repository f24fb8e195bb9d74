#pragma once
// Reading what launchers wrote, never changing it: files are opened read-only (and only when
// they are regular files), folders are listed in name order, and every failure is a reason
// that ends up in the listing.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <yaml-cpp/yaml.h>
#include <nlohmann/json_fwd.hpp>

namespace wine::prefixes {

// The whole text of `file`; nullopt with the reason in `error` when it cannot be read.
std::optional<std::string> ReadLauncherFile(const std::filesystem::path& file, std::string& error);
// The file parsed as YAML / JSON; nullopt with the reason ("<file> cannot be read: ...").
std::optional<YAML::Node> ReadYaml(const std::filesystem::path& file, std::string& error);
std::optional<nlohmann::json> ReadJson(const std::filesystem::path& file, std::string& error);

// The scalar `key` of a mapping, and the mapping `key` of a mapping; empty / nullopt when the
// node is no mapping or the key is missing or of another kind.
std::string YamlScalar(const YAML::Node& node, const char* key);
std::optional<YAML::Node> YamlMapping(const YAML::Node& node, const char* key);

// "<file> cannot be read: <why>".
std::string CannotRead(const std::filesystem::path& file, std::string_view why);

// The sub-folders of `folder` (links to folders included), or its files ending in `suffix`,
// in name order; none when the folder is missing or cannot be listed.
std::vector<std::filesystem::path> SubFolders(const std::filesystem::path& folder);
std::vector<std::filesystem::path> FilesEndingIn(const std::filesystem::path& folder,
                                                 std::string_view suffix);

bool IsFolder(const std::filesystem::path& path);
bool IsFile(const std::filesystem::path& path);
// "~" and "~/..." as the launchers expand them (the user's home, even in a Flatpak
// sandbox); a relative path is taken relative to `base`.
std::filesystem::path ExpandPath(std::string_view path, const std::filesystem::path& home,
                                 const std::filesystem::path& base);

}  // namespace wine::prefixes
