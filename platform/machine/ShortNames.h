#pragma once
// 8.3 short names, derived the way Windows derives them: a name that is already a valid 8.3
// name is its own short name; any other name becomes the first six usable characters of its
// base, upper-cased, then "~N", then "." and the first three usable characters of its
// extension. N is the smallest number that keeps the short name unique in the folder, given in
// the sorted order of the folder's long names, so the same folder always gives the same names.

#include <string>
#include <string_view>
#include <vector>

namespace machine {

bool IsValidShortName(std::string_view name);

// The short names of all entries of one folder, in the order of `longNames` (Windows names).
std::vector<std::string> AssignShortNames(const std::vector<std::string>& longNames);

}  // namespace machine
