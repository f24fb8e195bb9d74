#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/wine/prefixes/Launchers.h"

namespace wine::prefixes {
namespace fs = std::filesystem;

namespace {

// An XDG variable counts only when it holds an absolute path (freedesktop.org's base
// directory rules have a relative one ignored).
std::optional<fs::path> AbsoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value != '/') {
        return std::nullopt;
    }
    return fs::path(value);
}

fs::path UsersHome() {
    if (const auto home = AbsoluteFromEnvironment("HOME")) {
        return *home;
    }
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        return found->pw_dir;
    }
    return "/";
}

}  // namespace

Home Home::At(const fs::path& home) {
    return {home, home / ".config", home / ".local" / "share", std::nullopt};
}

Home Home::FromEnvironment() {
    Home home = At(UsersHome());
    home.config = AbsoluteFromEnvironment("XDG_CONFIG_HOME").value_or(home.config);
    home.data = AbsoluteFromEnvironment("XDG_DATA_HOME").value_or(home.data);
    // Wine itself takes only an absolute WINEPREFIX.
    home.winePrefix = AbsoluteFromEnvironment("WINEPREFIX");
    return home;
}

}  // namespace wine::prefixes
