#include "platform/offline/NewHive.h"

#include <cstring>
#include <string>

#include "platform/offline/HiveWrite.h"
#include "platform/offline/RegfFormat.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsForm.h"
#include "platform/win32/kernel32/AtomicFile.h"

namespace offline {

void CreateHive(const std::filesystem::path& file, std::string_view rootName, std::uint32_t minor,
                const std::function<void(Hive&)>& fill) {
    const auto bytes = EmptyHive(rootName, minor, registry::FiletimeNow());
    win32::AtomicFile empty(file);
    empty.Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (const int err = empty.Commit(false); err != 0) {
        throw registry::StoreError(
            registry::StoreError::Kind::WriteFailed,
            "cannot make " + file.string() + " (" + std::strerror(err) + ")");
    }
    Hive hive(file, Hive::Mode::Write, minor);
    fill(hive);
    Hive* const written[] = {&hive};
    WriteHives(written);
}

}  // namespace offline
