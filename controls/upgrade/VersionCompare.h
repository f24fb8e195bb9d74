// How the update control tells whether a published version is newer than the installed one.
//
// Versions are texts in three parts (major, minor, build). Each pair of parts is padded on the
// left with "0" to the same length and compared character by character, which orders numbers
// of any length (2 becomes 02 against 10). The parts are weighed in order of significance: the
// first pair that differs decides, so an installed 2.0.0 is not older than a published 1.9.9.
#pragma once

#include <string>
#include <string_view>

namespace Qz_Upgrade {

struct VersionParts {
    std::string major;
    std::string minor;
    std::string build;

    bool operator==(const VersionParts&) const = default;
};

// The parts of a published Program_Version: the major part is the text before the first "."
// (all of it when there is none). A non-empty `buildExtension` is the build and the rest is
// the minor part; otherwise the rest splits at its first "." into minor and build. So 1.2.3
// gives 1, 2, 3; 1.2 gives 1, 2, ""; 1.2.3 with a build extension of 57 gives 1, 2.3, 57.
VersionParts SplitPublishedVersion(std::string_view programVersion,
                                   std::string_view buildExtension);

// Pads the shorter of two texts on the left with "0" to the length of the longer.
void PadPair(std::string& a, std::string& b);

// Pads each pair (the installed parts in place, so the caller keeps the padded texts) and
// returns true when the published version is the newer one.
bool PublishedIsNewer(VersionParts published, VersionParts& installed);

}  // namespace Qz_Upgrade
