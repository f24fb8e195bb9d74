// The About information cache: what the About box once read from a program's PAD file, kept in
// the registry so that the box still shows it after the PAD file is gone.
//
// Layout: one string value per item (ProgramName, AppIcon, AppOrder, PurchaseIcon,
// PurchaseText, AssocURL, AssocIcon, AssocText, Desc, Disclaimer, CompanyName, CompanyURL,
// CompanyIcon) under
//     HKEY_CURRENT_USER\Software\{company}\QzAbout\{PAD file's full path}
// where {company} is the maker's name from this control's own version information. The
// backslashes of the path make it a chain of nested keys (C: > Program Files > Velto >
// pad_file.xml), so each PAD file has a cache of its own; empty path components are dropped.
#pragma once

#include <string>

#include "controls/registry/QzRegistry.h"

namespace Qz_About {

class AboutCache {
  public:
    explicit AboutCache(const std::string& padFile);

    // The key below HKEY_CURRENT_USER.
    const std::string& Key() const { return key_; }
    // "" when the value or the key is missing, or the registry cannot be read.
    std::string Get(const std::string& name);
    void Save(const std::string& name, const std::string& value);

  private:
    std::string key_;
    Qz_Registry::QzRegistry registry_;
};

}  // namespace Qz_About
