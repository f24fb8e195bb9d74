#include "bench/LauncherHome.h"

#include <fstream>

#include "platform/wine/prefixes/KeyValues.h"

namespace benchtree {
namespace {
namespace fs = std::filesystem;
using wine::prefixes::KeyValue;

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

KeyValue Value(std::string key, std::string value) {
    return {std::move(key), std::move(value), false, {}};
}

KeyValue Section(std::string key, std::vector<KeyValue> children) {
    return {std::move(key), "", true, std::move(children)};
}

std::string Number(std::size_t i) {
    return std::to_string(i);
}

void Steam(const fs::path& home, std::size_t count, std::vector<fs::path>& prefixes) {
    const fs::path root = home / ".local/share/Steam";
    const fs::path library = home / "Games/SteamLibrary";
    std::vector<KeyValue> libraries;
    for (const auto& [index, folder] : {std::pair{0, root}, {1, library}}) {
        libraries.push_back(
            Section(Number(static_cast<std::size_t>(index)),
                    {Value("path", folder.string()), Value("label", ""),
                     Value("contentid", "1611104819401591390"), Section("apps", {})}));
    }
    Write(root / "steamapps/libraryfolders.vdf",
          wine::prefixes::WriteKeyValues({Section("libraryfolders", libraries)}));
    for (std::size_t i = 0; i < count; ++i) {
        const std::string app = Number(200000 + i * 10);
        // Half the games in each library; every manifest beside its game.
        const fs::path apps = (i % 2 == 0 ? root : library) / "steamapps";
        Write(apps / ("appmanifest_" + app + ".acf"),
              wine::prefixes::WriteKeyValues(
                  {Section("AppState", {Value("appid", app), Value("Universe", "1"),
                                        Value("name", "Game " + app), Value("StateFlags", "4"),
                                        Value("installdir", "Game " + app)})}));
        prefixes.push_back(apps / "compatdata" / app / "pfx");
    }
}

void Lutris(const fs::path& home, std::size_t count, std::vector<fs::path>& prefixes) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::string slug = "lutris-game-" + Number(i);
        const fs::path prefix = home / "Games" / slug;
        Write(home / ".config/lutris/games" / (slug + "-" + Number(1716565447 + i) + ".yml"),
              "game:\n  arch: win64\n  exe: " + (prefix / "drive_c/game.exe").string() +
                  "\n  prefix: " + prefix.string() +
                  "\nsystem: {}\nwine:\n  version: "
                  "lutris-7.2-2-x86_64\n");
        prefixes.push_back(prefix);
    }
}

void Bottles(const fs::path& home, std::size_t count, std::vector<fs::path>& prefixes) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = "Bottle-" + Number(i);
        const fs::path bottle = home / ".local/share/bottles/bottles" / name;
        Write(bottle / "bottle.yml",
              "Arch: win64\nCustom_Path: false\nEnvironment: Gaming\nName: " + name +
                  "\nPath: " + name + "\nWindows: win10\n");
        prefixes.push_back(bottle);
    }
}

void Heroic(const fs::path& home, std::size_t count, std::vector<fs::path>& prefixes) {
    const fs::path heroic = home / ".config/heroic";
    Write(heroic / "config.json",
          "{\"defaultSettings\": {\"defaultWinePrefix\": \"~/Games/Heroic/Prefixes\"}, "
          "\"version\": \"v0\"}\n");
    for (std::size_t i = 0; i < count; ++i) {
        const std::string app = "heroic-app-" + Number(i);
        const fs::path prefix = home / "Games/Heroic/Prefixes" / app;
        Write(heroic / "GamesConfig" / (app + ".json"),
              "{\"" + app + "\": {\"winePrefix\": \"" + prefix.string() +
                  "\", \"wineVersion\": {\"type\": \"wine\", \"bin\": \"/usr/bin/wine\"}}, "
                  "\"version\": \"v0\", \"explicit\": true}\n");
        prefixes.push_back(prefix);
    }
}

void PlayOnLinux(const fs::path& home, std::size_t count, std::vector<fs::path>& prefixes) {
    for (std::size_t i = 0; i < count; ++i) {
        prefixes.push_back(home / ".PlayOnLinux/wineprefix" / ("Program_" + Number(i)));
    }
}

// Keys in Wine's text, about 80 bytes each.
std::string Keys(std::size_t bytes, std::size_t& serial) {
    std::string text;
    while (text.size() < bytes) {
        text += "\n[Software\\\\Classes\\\\CLSID\\\\{" + Number(10000000 + serial++) +
                "-0000-0000-C000-000000000046}] 1700000000\n#time=1da1e2f3a4b5c6d\n"
                "@=\"Component\"\n";
    }
    return text;
}

}  // namespace

std::vector<fs::path> GenerateLauncherHome(const fs::path& home, const LauncherHomeShape& shape,
                                           const std::function<void(const fs::path&)>& makePrefix) {
    std::vector<fs::path> prefixes;
    Steam(home, shape.steam, prefixes);
    Lutris(home, shape.lutris, prefixes);
    Bottles(home, shape.bottles, prefixes);
    Heroic(home, shape.heroic, prefixes);
    PlayOnLinux(home, shape.playOnLinux, prefixes);
    for (const fs::path& prefix : prefixes) {
        makePrefix(prefix);
    }
    return prefixes;
}

void WriteSyntheticPrefix(const fs::path& prefix) {
    constexpr std::size_t kSystemBytes = 1700000;
    std::size_t serial = 0;
    Write(prefix / "system.reg",
          "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n" +
              Keys(kSystemBytes * 85 / 100, serial) +
              "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1700000000\n"
              "#time=1da1e2f3a4b5c6d\n\"CurrentBuildNumber\"=\"7601\"\n"
              "\"CurrentVersion\"=\"6.1\"\n\"ProductName\"=\"Microsoft Windows 7\"\n" +
              Keys(kSystemBytes * 15 / 100, serial));
    Write(prefix / "user.reg",
          "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
          "#arch=win64\n" +
              Keys(24000, serial));
    Write(prefix / "userdef.reg",
          "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\.Default\n\n#arch=win64\n");
    fs::create_directories(prefix / "dosdevices");
    fs::create_directories(prefix / "drive_c/windows/system32");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices/c:");
}

void CopyPrefix(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    fs::copy(from, to,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks |
                 fs::copy_options::create_hard_links);
    for (const char* hive : {"system.reg", "user.reg", "userdef.reg"}) {
        fs::remove(to / hive);
        fs::copy_file(from / hive, to / hive);
    }
}

}  // namespace benchtree
