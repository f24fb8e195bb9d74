#pragma once
// Hive files made from nothing, for a new installation (velto-machine create) and for tests:
// the empty hive of RegfFormat.h, filled through libhivex and written as every changed hive
// is (HiveWrite.h).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>

#include "platform/offline/Hive.h"

namespace offline {

// Fails (registry::StoreError WriteFailed) when `file` exists.
void CreateHive(const std::filesystem::path& file, std::string_view rootName, std::uint32_t minor,
                const std::function<void(Hive&)>& fill);

// The key a backslash-separated path names below `from`, made where missing.
NodeRef MakeKey(Hive& hive, NodeRef from, std::string_view path);
// Sets one value of a key, the data as the stores keep it (string types in UTF-8).
void PutValue(Hive& hive, NodeRef key, std::string_view name, std::uint32_t type,
              std::span<const std::uint8_t> data);
void PutText(Hive& hive, NodeRef key, std::string_view name, std::string_view text,
             std::uint32_t type = 1);
void PutDword(Hive& hive, NodeRef key, std::string_view name, std::uint32_t value);

}  // namespace offline
