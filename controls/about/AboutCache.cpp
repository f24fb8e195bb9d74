#include "controls/about/AboutCache.h"

#include <iostream>

#include "platform/automation/Conversion.h"
#include "platform/dialogs/ControlAbout.h"

namespace Qz_About {

AboutCache::AboutCache(const std::string& padFile) {
    const dialogs::ControlVersion version = dialogs::MakerVersion("QzAbout");
    key_ = "Software\\" + version.companyName + "\\" + version.productName;
    std::size_t start = 0;
    while (start <= padFile.size()) {
        std::size_t end = padFile.find('\\', start);
        if (end == std::string::npos) {
            end = padFile.size();
        }
        if (end > start) {
            key_ += "\\" + padFile.substr(start, end - start);
        }
        start = end + 1;
    }
}

std::string AboutCache::Get(const std::string& name) {
    return automation::CStr(
        registry_.GetRegSetting(name, std::string(), key_, Qz_Registry::HKEY_CURRENT_USER));
}

void AboutCache::Save(const std::string& name, const std::string& value) {
    const std::int32_t result =
        registry_.SaveRegSetting(name, value, key_, Qz_Registry::HKEY_CURRENT_USER);
    // The box shows the value all the same; only a later box without the PAD file will miss it.
    if (result != Qz_Registry::ERROR_SUCCESS) {
        std::cerr << "QzAbout: cannot keep " << name << " in HKEY_CURRENT_USER\\" << key_
                  << " (registry error " << result << ")\n";
    }
}

}  // namespace Qz_About
