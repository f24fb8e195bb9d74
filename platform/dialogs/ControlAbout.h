// The About box that every control of the maker shows from AboutDisplay: its own version
// information, one item per line.
#pragma once

#include <string>

namespace dialogs {

struct ControlVersion {
    std::string productName;
    std::string companyName;
    std::string legalCopyright;
    std::string legalTrademarks;
    std::string webAddress;
};

// The maker's version information for the control library `productName`, from the build:
// the company, the copyright, "{product} is a trademark of {company}" and the web address.
ControlVersion MakerVersion(const std::string& productName);

// "{product}", "by {company}", "{copyright}", "", "{trademarks}", "{web address}", joined by
// CR LF.
std::string ControlAboutText(const ControlVersion& version);

// Shows ControlAboutText in an information box with OK, titled "About {product}".
void ShowControlAbout(const ControlVersion& version);

}  // namespace dialogs
