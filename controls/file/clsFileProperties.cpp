#include "controls/file/clsFileProperties.h"

#include "platform/win32/Version.h"
#include "platform/win32/VersionStrings.h"

namespace Qz_File {

void clsFileProperties::FileInfo(const std::string& PathWithFilename) {
    win32::StandardVersionStrings values;
    if (win32::GetFileVersionInfoSizeA(PathWithFilename) > 0) {
        if (const auto block = win32::GetFileVersionInfoA(PathWithFilename)) {
            values = win32::ReadStandardVersionStrings(*block);
        }
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
