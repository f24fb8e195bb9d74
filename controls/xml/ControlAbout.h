// The About box every control of the maker shows from AboutDisplay: the control's own version
// information, one item per line.
#pragma once

#include <string>

namespace Qz_XML {

struct ControlVersion {
    std::string productName;
    std::string companyName;
    std::string legalCopyright;
    std::string legalTrademarks;
    std::string webAddress;
};

// The version information of a control library named `productName`, from the build.
ControlVersion MakerVersion(const std::string& productName);

// "{product}", "by {company}", "{copyright}", "", "{trademarks}", "{web address}".
std::string AboutText(const ControlVersion& version);

// Shows AboutText in an information box titled "About {product}".
void ShowAbout(const ControlVersion& version);

}  // namespace Qz_XML
