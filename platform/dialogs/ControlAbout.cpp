#include "platform/dialogs/ControlAbout.h"

#include "platform/dialogs/Dialogs.h"

namespace dialogs {

ControlVersion MakerVersion(const std::string& productName) {
    return ControlVersion{
        .productName = productName,
        .companyName = VELTO_COMPANY,
        .legalCopyright = VELTO_COPYRIGHT,
        .legalTrademarks = productName + " is a trademark of " VELTO_COMPANY,
        .webAddress = VELTO_WEBSITE,
    };
}

std::string ControlAboutText(const ControlVersion& version) {
    return version.productName + "\r\nby " + version.companyName + "\r\n" + version.legalCopyright +
           "\r\n\r\n" + version.legalTrademarks + "\r\n" + version.webAddress;
}

void ShowControlAbout(const ControlVersion& version) {
    MsgBox(ControlAboutText(version), vbOKOnly | vbInformation, "About " + version.productName);
}

}  // namespace dialogs
