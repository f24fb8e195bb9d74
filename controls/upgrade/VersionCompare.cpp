#include "controls/upgrade/VersionCompare.h"

namespace Qz_Upgrade {

VersionParts SplitPublishedVersion(std::string_view programVersion,
                                   std::string_view buildExtension) {
    VersionParts parts;
    const std::size_t point = programVersion.find('.');
    parts.major = std::string(programVersion.substr(0, point));
    const std::string_view rest =
        point == std::string_view::npos ? std::string_view{} : programVersion.substr(point + 1);
    parts.build = std::string(buildExtension);
    const std::size_t second = rest.find('.');
    if (parts.build.empty() && second != std::string_view::npos) {
        parts.minor = std::string(rest.substr(0, second));
        parts.build = std::string(rest.substr(second + 1));
    } else {
        parts.minor = std::string(rest);
    }
    return parts;
}

void PadPair(std::string& a, std::string& b) {
    if (a.size() < b.size()) {
        a.insert(0, b.size() - a.size(), '0');
    } else if (b.size() < a.size()) {
        b.insert(0, a.size() - b.size(), '0');
    }
}

bool PublishedIsNewer(VersionParts published, VersionParts& installed) {
    PadPair(published.major, installed.major);
    PadPair(published.minor, installed.minor);
    PadPair(published.build, installed.build);
    if (published.major != installed.major) {
        return published.major > installed.major;
    }
    if (published.minor != installed.minor) {
        return published.minor > installed.minor;
    }
    return published.build > installed.build;
}

}  // namespace Qz_Upgrade
