// The licence-agreement dialog of QzAbout: the PAD file's licence text, and either the question
// whether the user agrees (Yes / No) or, once agreed to, the plain statement of it with OK.
#pragma once

#include <string>

#include "platform/forms/Form.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace Qz_About {

class frmQzLicense : public forms::Form {
  public:
    frmQzLicense();

    // Handed over by QzAbout before the form is shown.
    std::string PADFile;
    // True: the licence is offered for agreement; False: it is only shown again.
    bool InitialDisplay = false;
    // Whether the user agreed; False unless the user pressed cmdOK.
    bool accepted = false;

    QPlainTextEdit* txLicense;
    QLabel* lbQuestion;
    QLabel* lbInstruct;
    QPushButton* cmdOK;
    QPushButton* cmdNo;

    // Raises the PAD reader's error when the licence cannot be read: nobody may be asked to
    // agree to a text that is not there.
    void Form_Load() override;
    void cmdOK_Click();
    void cmdNo_Click();
};

}  // namespace Qz_About
