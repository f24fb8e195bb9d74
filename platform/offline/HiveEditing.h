#pragma once
// Keys and values put into a hive opened for writing, for hives made from nothing
// (NewHive.h) and for tests: data as the stores keep it (string types in UTF-8).

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/offline/Hive.h"

namespace offline {

// The key a backslash-separated path names below `from`, made where missing.
NodeRef MakeKey(Hive& hive, NodeRef from, std::string_view path);
// Sets one value of a key, the data as the stores keep it (string types in UTF-8).
void PutValue(Hive& hive, NodeRef key, std::string_view name, std::uint32_t type,
              std::span<const std::uint8_t> data);
void PutText(Hive& hive, NodeRef key, std::string_view name, std::string_view text,
             std::uint32_t type = 1);
void PutDword(Hive& hive, NodeRef key, std::string_view name, std::uint32_t value);

}  // namespace offline
