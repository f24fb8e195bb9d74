#include "controls/file/QzFile.h"

#include <memory>

#include "controls/file/modFileList.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/CreateObject.h"
#include "platform/dialogs/ControlAbout.h"

namespace Qz_File {
namespace {

constexpr const char* kProductName = "QzFile";

const automation::ProgIDRegistration kRegistration(QzFile::kProgID,
                                                   [] { return std::make_shared<QzFile>(); });

// The control's own version information: what CompanyName and ProductName fall back to.
const dialogs::ControlVersion& OwnVersion() {
    static const dialogs::ControlVersion version = dialogs::MakerVersion(kProductName);
    return version;
}

}  // namespace

QzFile::QzFile() : companyName_(OwnVersion().companyName), productName_(OwnVersion().productName) {}

std::string QzFile::Paths() const {
    return modFileList::Paths();
}

void QzFile::SetPaths(const std::string& value) {
    modFileList::SetPaths(value);
    PropertyChanged("Paths");
}

std::string QzFile::Filter() const {
    return modFileList::Filter();
}

void QzFile::SetFilter(const std::string& value) {
    modFileList::SetFilter(value);
    PropertyChanged("Filter");
}

bool QzFile::IncludeSubDirectories() const {
    return modFileList::IncludeSubDirectories();
}

void QzFile::SetIncludeSubDirectories(bool value) {
    modFileList::SetIncludeSubDirectories(value);
}

void QzFile::AddExclusionPath(const std::string& sExcludedPath) {
    modFileList::AddExclusionPath(sExcludedPath);
}

void QzFile::RemoveExclusionPath(const std::string& sExcludedPath) {
    modFileList::RemoveExclusionPath(sExcludedPath);
}

void QzFile::ClearExclusionPaths() {
    modFileList::ClearExclusionPaths();
}

bool QzFile::LoadFileListing(std::optional<bool> MayCancel) {
    return modFileList::LoadFileListing(MayCancel.value_or(false));
}

void QzFile::ScanCancel() {
    modFileList::ScanCancel();
}

std::string QzFile::CurrentScanPath() const {
    return modFileList::CurrentScanPath();
}

std::int32_t QzFile::FileCount() const {
    return modFileList::FileCount();
}

std::string QzFile::File(std::int32_t Index) {
    return modFileList::File(Index);
}

std::int32_t QzFile::UniqueFileCount() const {
    return modFileList::UniqueFileCount();
}

std::string QzFile::CompanyName() const {
    return companyName_.empty() ? OwnVersion().companyName : companyName_;
}

void QzFile::SetCompanyName(const std::string& value) {
    companyName_ = value;
    PropertyChanged("CompanyName");
}

std::string QzFile::ProductName() const {
    return productName_.empty() ? OwnVersion().productName : productName_;
}

void QzFile::SetProductName(const std::string& value) {
    productName_ = value;
    PropertyChanged("ProductName");
}

void QzFile::ReadProperties(const automation::PropertyBag& bag) {
    companyName_ = automation::CStr(bag.ReadProperty("CompanyName", OwnVersion().companyName));
    productName_ = automation::CStr(bag.ReadProperty("ProductName", OwnVersion().productName));
}

void QzFile::WriteProperties(automation::PropertyBag& bag) const {
    bag.WriteProperty("CompanyName", CompanyName(), automation::Variant(OwnVersion().companyName));
    bag.WriteProperty("ProductName", ProductName(), automation::Variant(OwnVersion().productName));
}

void QzFile::AboutDisplay() const {
    dialogs::ShowControlAbout(OwnVersion());
}

void QzFile::SetSize(int width, int height) {
    width_ = width;
    height_ = height;
    UserControl_Resize();
}

void QzFile::UserControl_Resize() {
    width_ = kDesignSize;
    height_ = kDesignSize;
}

}  // namespace Qz_File
