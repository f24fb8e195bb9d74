#pragma once
// Hive files made from nothing, for a new installation (velto-machine create) and for tests:
// the empty hive of RegfFormat.h, filled through libhivex and written as every changed hive
// is (HiveWrite.h).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include "platform/offline/Hive.h"
#include "platform/offline/HiveEditing.h"

namespace offline {

// Fails (registry::StoreError WriteFailed) when `file` exists.
void CreateHive(const std::filesystem::path& file, std::string_view rootName, std::uint32_t minor,
                const std::function<void(Hive&)>& fill);

}  // namespace offline
