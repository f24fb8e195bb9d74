#include "controls/file/clsFileProperties.h"

#include "platform/win32/version/Version.h"
#include "platform/win32/version/VersionStrings.h"

namespace Qz_File {

void clsFileProperties::FileInfo(const std::string& PathWithFilename) {
    const auto block = win32::GetFileVersionInfoA(PathWithFilename);
    FromBlock(block ? &*block : nullptr);
}

void clsFileProperties::FromBlock(const std::vector<std::uint8_t>* block) {
    win32::StandardVersionStrings values;
    if (block != nullptr) {
        values = win32::ReadStandardVersionStrings(*block);
    }
    companyName_ = std::move(values.CompanyName);
    fileDescription_ = std::move(values.FileDescription);
    fileVersion_ = std::move(values.FileVersion);
    internalName_ = std::move(values.InternalName);
    legalCopyright_ = std::move(values.LegalCopyright);
    originalFilename_ = std::move(values.OriginalFilename);
    productName_ = std::move(values.ProductName);
    productVersion_ = std::move(values.ProductVersion);
}

}  // namespace Qz_File
