#include "platform/win32/version/Version.h"

#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/LastError.h"
#include "platform/win32/version/VersionFile.h"

namespace win32 {
namespace {

// Sets the last error either way.
std::optional<VersionResource> Load(std::string_view fileName) {
    const auto host = HostPathOf(fileName);
    if (!host) {
        return std::nullopt;
    }
    VersionLoadResult loaded = LoadVersionResourceFromFile(*host);
    SetLastError(loaded.error);
    return std::move(loaded.resource);
}

}  // namespace

DWORD GetFileVersionInfoSizeA(std::string_view fileName, DWORD* handle) {
    if (handle != nullptr) {
        *handle = 0;
    }
    const auto resource = Load(fileName);
    return resource ? VersionInfoSize(*resource) : 0;
}

std::optional<std::vector<std::uint8_t>> GetFileVersionInfoA(std::string_view fileName, DWORD) {
    auto resource = Load(fileName);
    if (!resource) {
        return std::nullopt;
    }
    return std::move(resource->block);
}

std::optional<ImageMachine> GetImageMachine(std::string_view fileName) {
    const auto host = HostPathOf(fileName);
    if (!host) {
        return std::nullopt;
    }
    DWORD error = 0;
    auto machine = ImageMachineOfFile(*host, error);
    SetLastError(machine ? ERROR_SUCCESS : error);
    return machine;
}

WineModule GetWineModule(std::string_view fileName) {
    const auto host = HostPathOf(fileName);
    return host ? WineModuleOfFile(*host) : WineModule{};
}

std::optional<VersionValue> VerQueryValueA(std::span<const std::uint8_t> block,
                                           std::string_view subBlock) {
    auto value = QueryVersionBlock(block, subBlock);
    if (!value) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    }
    return value;
}

}  // namespace win32
