#include "controls/xml/ControlAbout.h"

#include "platform/dialogs/Dialogs.h"

namespace Qz_XML {

ControlVersion MakerVersion(const std::string& productName) {
    return ControlVersion{
        .productName = productName,
        .companyName = VELTO_COMPANY,
        .legalCopyright = VELTO_COPYRIGHT,
        .legalTrademarks = productName + " is a trademark of " VELTO_COMPANY,
        .webAddress = VELTO_WEBSITE,
    };
}

std::string AboutText(const ControlVersion& v) {
    return v.productName + "\r\nby " + v.companyName + "\r\n" + v.legalCopyright + "\r\n\r\n" +
           v.legalTrademarks + "\r\n" + v.webAddress;
}

void ShowAbout(const ControlVersion& version) {
    dialogs::MsgBox(AboutText(version), dialogs::vbOKOnly | dialogs::vbInformation,
                    "About " + version.productName);
}

}  // namespace Qz_XML
