// The order of version texts ("5.0.2600.0", "9.19.949.1104", "5.1.2600.5512 (xpsp.080413-2111)").
//
// Texts are compared part by part, the parts being what lies between the "." characters. Two
// parts that both start with a number are ordered by that number (so 10 comes after 5 and 2600
// after 900, whatever the digits' count) and, when the numbers are equal, by what follows
// them as text; a part without a leading number is ordered against the other as text. The
// first pair of parts that differs decides; a text whose parts run out first comes first.
// Only identical texts compare equal, so the order agrees with comparing texts exactly.
#pragma once

#include <string_view>

namespace automation {

// Negative when `a` is the older version text, positive when it is the newer, 0 only when
// the texts are identical.
int CompareVersionTexts(std::string_view a, std::string_view b);

inline bool VersionIsNewer(std::string_view a, std::string_view b) {
    return CompareVersionTexts(a, b) > 0;
}

}  // namespace automation
