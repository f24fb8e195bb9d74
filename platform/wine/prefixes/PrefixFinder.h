#pragma once
// Every Wine prefix of the user: what the launchers' files name (Launchers.h), one row per
// real folder however many launchers name it, each folder read as far as PrefixFacts.h goes.

#include <functional>
#include <string>
#include <vector>

#include "platform/wine/prefixes/FoundPrefix.h"
#include "platform/wine/prefixes/Launchers.h"

namespace wine::prefixes {

// In the launchers' order (AllLaunchers), each launcher's in the order its files name them.
// `progress` gets each folder as it is read.
std::vector<FoundPrefix> FindPrefixes(const Home& home,
                                      const std::function<void(const std::string&)>& progress = {});

}  // namespace wine::prefixes
