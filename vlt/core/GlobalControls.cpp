#include "vlt/core/GlobalControls.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Errors.h"
#include "platform/dialogs/App.h"
#include "platform/dialogs/Dialogs.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"

namespace vlt {
namespace {

std::string VersionText() {
    const dialogs::AppObject& app = dialogs::App();
    return std::to_string(app.Major()) + "." + std::to_string(app.Minor()) + "." +
           std::to_string(app.Revision());
}

}  // namespace

GlobalControls& TheGlobalControls() {
    std::shared_ptr<GlobalControls>& host = State().globalControls;
    if (!host) {
        host = std::make_shared<GlobalControls>();
    }
    return *host;
}

void GlobalControls::Load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    QzAbout1 = std::make_unique<Qz_About::QzAbout>();
    QzFile1 = std::make_unique<Qz_File::QzFile>();
    QzRegistry1 = std::make_unique<Qz_Registry::QzRegistry>();
    QzDebug1 = std::make_unique<Qz_Debug::QzDebug>("GlobalControls");
    QzRegistry1->RegistryErrorOccurred.Connect([this] { QzRegistry1_RegistryErrorOccurred(); });
    Form_Load();
}

void GlobalControls::Unload() {
    if (!loaded_) {
        return;
    }
    Form_Unload();
    loaded_ = false;
    // The trace control writes its end-of-run block as it ends, so it goes last.
    QzAbout1.reset();
    QzFile1.reset();
    QzRegistry1.reset();
    QzDebug1.reset();
}

void GlobalControls::Form_Load() {
    TraceScope trace("GlobalControls.Form_Load");
    const dialogs::AppObject& app = dialogs::App();
    QzAbout1->SetPADFile(app.Path() + "\\pad_file.xml");
    QzBase::Pause(3);
    if (State().windows.splash) {
        // The splash window may be gone already (a key press closes it); that is no failure.
        try {
            State().windows.splash->Unload();
        } catch (const automation::Error& error) {
            Trace("Splash window: " + error.Description());
        }
    }
    QzAbout1->SetLegalCopyright(app.LegalCopyright());
    QzAbout1->SetMajor(app.Major());
    QzAbout1->SetMinor(app.Minor());
    QzAbout1->SetRevision(app.Revision());
    QzFile1->SetCompanyName(app.CompanyName());
    QzFile1->SetProductName(app.ProductName() + " " + std::to_string(app.Major()));
    QzRegistry1->SethKey(Qz_Registry::HKEY_CURRENT_USER);
    QzRegistry1->SetRegKey(modVLTProperties::kSettingsKey);
    const std::string& abbreviation = State().ProgramAbbreviation;
    QzDebug1->SetTraceFile(abbreviation + ".trc");
    QzDebug1->SetCommandLine(State().CommandLine);
    QzDebug1->SetTracePath(app.Path());
    QzDebug1->SetSubjectForBugs("Program abend: " + abbreviation + " " + VersionText());
    const automation::Variant list = QzDebug1->CommandLineList();
    State().CommandLineList.clear();
    if (const auto* items = list.get_if<automation::StringArray>()) {
        State().CommandLineList = items->Items();
    }
    State().QzAbout1 = QzAbout1.get();
    State().QzFile1 = QzFile1.get();
    State().QzRegistry1 = QzRegistry1.get();
    State().QzDebug1 = QzDebug1.get();
}

void GlobalControls::Form_Unload() {
    TraceScope trace("GlobalControls.Form_Unload");
    State().QzAbout1 = nullptr;
    State().QzFile1 = nullptr;
    State().QzRegistry1 = nullptr;
    State().QzDebug1 = nullptr;
}

void GlobalControls::QzRegistry1_RegistryErrorOccurred() {
    TraceScope trace("GlobalControls.QzRegistry1_RegistryErrorOccurred");
    const std::int32_t code = QzRegistry1->RegErr();
    if (code == 0) {
        return;
    }
    Trace("Registry Error: " + std::to_string(code) + "--" + QzRegistry1->RegError());
    if (!errorsShown_.insert(code).second) {
        return;
    }
    dialogs::MsgBox("Registry Error occurred:\r\nError " + std::to_string(code) + "\r\n" +
                        QzRegistry1->RegError(),
                    dialogs::vbCritical | dialogs::vbOKOnly);
}

}  // namespace vlt
