// The version-resource reader on arbitrary bytes, both as an image and as a version block.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/win32/version/VersionBlock.h"
#include "platform/win32/version/VersionResource.h"
#include "platform/win32/version/VersionStrings.h"

namespace {

void Query(std::span<const std::uint8_t> block) {
    if (const auto root = win32::QueryVersionBlock(block, "\\")) {
        win32::ReadFixedFileInfo(root->bytes);
    }
    for (const char* path : {"\\StringFileInfo", "\\VarFileInfo", "\\VarFileInfo\\Translation"}) {
        if (const auto value = win32::QueryVersionBlock(block, path)) {
            value->Text();
        }
    }
    win32::ReadStandardVersionStrings(block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto loaded = win32::LoadVersionResource(bytes);
    if (loaded.resource) {
        win32::VersionInfoSize(*loaded.resource);
        Query(loaded.resource->block);
    }
    Query(bytes);
    return 0;
}
