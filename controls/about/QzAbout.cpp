#include "controls/about/QzAbout.h"

#include <QApplication>

#include "controls/about/frmQzAbout.h"
#include "controls/about/frmQzLicense.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/dialogs/ControlAbout.h"
#include "platform/win32/kernel32/SystemInfo.h"

namespace Qz_About {
namespace {

const automation::ProgIDRegistration kRegistration(QzAbout::kProgID,
                                                   [] { return std::make_shared<QzAbout>(); });

constexpr const char* kProductName = "QzAbout";

void RequireWindows() {
    if (QApplication::instance() == nullptr) {
        automation::Raise(automation::InvalidProcedureCall, QzAbout::kProgID,
                          "The About and licence windows need the program's window system");
    }
}

}  // namespace

QzAbout::QzAbout() = default;

void QzAbout::SetPADFile(const std::string& value) {
    padFile_ = value;
    PropertyChanged("PADFile");
}

void QzAbout::SetLanguage(const std::string& value) {
    language_ = value;
    PropertyChanged("Language");
}

void QzAbout::PreparePADFile(const std::string& sPADFile) {
    if (!sPADFile.empty()) {
        SetPADFile(sPADFile);
    }
    if (padFile_.empty()) {
        const std::string folder = win32::GetCurrentDirectoryA().value_or("");
        SetPADFile(folder + (folder.ends_with('\\') ? "" : "\\") + kProductName + ".xml");
    }
}

void QzAbout::ShowAbout(const std::string& sPADFile) {
    PreparePADFile(sPADFile);
    RequireWindows();
    frmQzAbout form;
    form.PADFile = padFile_;
    form.Language = language_;
    form.Major = major_;
    form.Minor = minor_;
    form.Revision = revision_;
    form.LegalCopyright = legalCopyright_;
    form.Show(forms::vbModal);
}

bool QzAbout::ShowLicense(const std::string& sPADFile, bool InitialDisplay) {
    PreparePADFile(sPADFile);
    RequireWindows();
    frmQzLicense form;
    form.PADFile = padFile_;
    form.InitialDisplay = InitialDisplay;
    form.Show(forms::vbModal);
    return form.accepted;
}

void QzAbout::ReadProperties(const automation::PropertyBag& bag) {
    padFile_ = automation::CStr(bag.ReadProperty("PADFile", ""));
    language_ = automation::CStr(bag.ReadProperty("Language", kDefaultLanguage));
}

void QzAbout::WriteProperties(automation::PropertyBag& bag) const {
    bag.WriteProperty("PADFile", padFile_, automation::Variant(""));
    bag.WriteProperty("Language", language_, automation::Variant(kDefaultLanguage));
}

void QzAbout::AboutDisplay() const {
    dialogs::ShowControlAbout(dialogs::MakerVersion(kProductName));
}

}  // namespace Qz_About
