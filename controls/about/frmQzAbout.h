// The About box of QzAbout: the host program's name, version, company, copyright, description
// and disclaimer, with buttons to the company's web site, to the order page and to the
// associate programme. Everything but the version comes from the About information cache
// (AboutCache.h), and from the PAD file for whatever the cache does not hold yet.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "controls/pad/QzPAD.h"
#include "platform/forms/Form.h"

class QLabel;
class QPushButton;
class QScrollArea;

namespace Qz_About {

class AboutCache;

class frmQzAbout : public forms::Form {
  public:
    frmQzAbout();

    // Handed over by QzAbout before the form is shown.
    std::string PADFile;
    std::string Language = "English";
    std::int32_t Major = 0;
    std::int32_t Minor = 0;
    std::int32_t Revision = 0;
    std::string LegalCopyright;

    QLabel* Image1;
    QLabel* lbProductName;
    QLabel* lbVersion;
    QLabel* lbCompanyName;
    QLabel* lbCopyright;
    QLabel* lbDescription;
    QLabel* lbDisclaimer;
    QPushButton* cmdCompanyButton;
    QPushButton* cmdPurchaseButton;
    QPushButton* cmdAssociateButton;
    QPushButton* cmdOK;
    // Holds lbDescription, which scrolls when it is longer than the box has room for.
    QScrollArea* scrDescription;

    void Form_Load() override;
    void cmdCompanyButton_Click() { Open(companyURL_); }
    void cmdPurchaseButton_Click() { Open(orderURL_); }
    void cmdAssociateButton_Click() { Open(associateURL_); }
    void cmdOK_Click() { Unload(); }

    // The addresses the three web buttons open.
    const std::string& CompanyURL() const { return companyURL_; }
    const std::string& OrderURL() const { return orderURL_; }
    const std::string& AssociateURL() const { return associateURL_; }

  private:
    // The cached value, else the PAD file's (which is then cached).
    std::string Item(AboutCache& cache, const char* name, const std::function<std::string()>& read);
    // What the PAD file gives, or "" once it has proved unreadable.
    std::string FromPAD(const std::function<std::string()>& read);
    std::string Description();
    std::string VersionCaption();
    void FitToTexts();
    void Open(const std::string& url);

    Qz_PAD::QzPAD pad_;
    bool padUnreadable_ = false;
    std::string companyURL_;
    std::string orderURL_;
    std::string associateURL_;
};

}  // namespace Qz_About
