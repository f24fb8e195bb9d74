// The eight standard texts of one file's version resource, as QzFile reports them: read
// through the first entry of the resource's translation table only, each missing or empty
// value an empty text, nothing trimmed. A value longer than the old 254-character copy
// buffer is kept whole rather than cut.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Qz_File {

class clsFileProperties {
  public:
    // Fills the eight texts from `PathWithFilename` (a Windows path); a file without a version
    // resource, or without a translation table in it, gives eight empty texts.
    void FileInfo(const std::string& PathWithFilename);
    // The same from a version block already read (nullptr: a file without one).
    void FromBlock(const std::vector<std::uint8_t>* block);

    const std::string& CompanyName() const { return companyName_; }
    const std::string& FileDescription() const { return fileDescription_; }
    const std::string& FileVersion() const { return fileVersion_; }
    const std::string& InternalName() const { return internalName_; }
    const std::string& LegalCopyright() const { return legalCopyright_; }
    const std::string& OriginalFilename() const { return originalFilename_; }
    const std::string& ProductName() const { return productName_; }
    const std::string& ProductVersion() const { return productVersion_; }

  private:
    std::string companyName_;
    std::string fileDescription_;
    std::string fileVersion_;
    std::string internalName_;
    std::string legalCopyright_;
    std::string originalFilename_;
    std::string productName_;
    std::string productVersion_;
};

}  // namespace Qz_File
