// QzAbout: a standard About box and licence-agreement dialog for any host program, fed from
// the host's PAD file. Values read from the PAD file are cached per PAD file in the registry
// (AboutCache.h), so the About box still shows them after the PAD file is gone.
//
// Use from a host (its start-up, then its About and License commands):
//
//     Qz_About::QzAbout about;                       // or CreateObject("Qz_About.QzAbout")
//     about.SetPADFile(programFolder + "\\pad_file.xml");
//     about.SetMajor(1); about.SetMinor(0); about.SetRevision(12);
//     about.SetLegalCopyright(copyright);
//     about.ShowAbout();                             // modal
//     bool agreed = about.ShowLicense({}, true);     // modal; Yes / No
//
// The forms are Qt windows: the host has its application object (platform/forms) before it
// shows either; without one they raise run-time error 5 instead of aborting the process.
// CreateObject finds the class once this library is loaded, so a host that creates it by name
// links QzAbout and references it (kProgID will do).
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/Events.h"
#include "platform/automation/Object.h"
#include "platform/automation/PropertyBag.h"

namespace Qz_About {

class QzAbout : public automation::Object {
  public:
    static constexpr const char* kProgID = "Qz_About.QzAbout";
    static constexpr int kDesignSize = 735;
    static constexpr const char* kDefaultLanguage = "English";

    QzAbout();

    const std::string& PADFile() const { return padFile_; }
    void SetPADFile(const std::string& value);
    // The language whose program description is shown.
    const std::string& Language() const { return language_; }
    void SetLanguage(const std::string& value);
    std::int32_t Major() const { return major_; }
    void SetMajor(std::int32_t value) { major_ = value; }
    std::int32_t Minor() const { return minor_; }
    void SetMinor(std::int32_t value) { minor_ = value; }
    std::int32_t Revision() const { return revision_; }
    void SetRevision(std::int32_t value) { revision_ = value; }
    const std::string& LegalCopyright() const { return legalCopyright_; }
    void SetLegalCopyright(std::string value) { legalCopyright_ = std::move(value); }

    // A non-empty sPADFile replaces PADFile first; an empty PADFile then becomes the current
    // directory's "QzAbout.xml".
    void ShowAbout(const std::string& sPADFile = {});
    // True when the user accepted. With InitialDisplay the licence is offered for agreement
    // (Yes / No); without it, it is shown as already agreed to (OK). Closing the dialog any
    // other way gives False. A licence that cannot be read raises the PAD reader's error.
    bool ShowLicense(const std::string& sPADFile = {}, bool InitialDisplay = false);

    void ReadProperties(const automation::PropertyBag& bag);
    void WriteProperties(automation::PropertyBag& bag) const;
    void AboutDisplay() const;

    automation::PropertyChangedEvent PropertyChanged;

  private:
    void PreparePADFile(const std::string& sPADFile);

    std::string padFile_;
    std::string language_ = kDefaultLanguage;
    std::int32_t major_ = 0;
    std::int32_t minor_ = 0;
    std::int32_t revision_ = 0;
    std::string legalCopyright_;
};

}  // namespace Qz_About
