#include "controls/about/frmQzLicense.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>

#include "controls/about/Layout.h"
#include "controls/pad/QzPAD.h"

namespace Qz_About {
namespace {

// The text box shows lines, whatever line ends the PAD file used.
QString DisplayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace("\r\n", "\n");
    shown.replace('\r', '\n');
    return shown;
}

}  // namespace

frmQzLicense::frmQzLicense()
    : txLicense(Child<QPlainTextEdit>(this, "txLicense", 240, 720, 6120, 3420)),
      lbQuestion(Child<QLabel>(this, "lbQuestion", 240, 4260, 6120, 300)),
      lbInstruct(Child<QLabel>(this, "lbInstruct", 240, 120, 6120, 540)),
      cmdOK(Child<QPushButton>(this, "cmdOK", 3900, 4740, 1200, 420)),
      cmdNo(Child<QPushButton>(this, "cmdNo", 5160, 4740, 1200, 420)) {
    setObjectName("frmQzLicense");
    setWindowTitle("License");
    forms::SetWidth(*this, 6600);
    forms::SetHeight(*this, 5400);
    txLicense->setReadOnly(true);
    lbInstruct->setWordWrap(true);
    lbInstruct->setText(
        "Please read the following License Agreement. Use the scroll bar to see the rest of "
        "the agreement.");
    QObject::connect(cmdOK, &QPushButton::clicked, [this] { cmdOK_Click(); });
    QObject::connect(cmdNo, &QPushButton::clicked, [this] { cmdNo_Click(); });
    // Escape leaves without agreeing; nothing but the button itself agrees to a licence.
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated,
                     [this] { close(); });
}

void frmQzLicense::Form_Load() {
    accepted = false;
    Qz_PAD::QzPAD pad;
    pad.SetPADFile(PADFile);
    txLicense->setPlainText(DisplayText(pad.EULA()));
    if (InitialDisplay) {
        cmdOK->setText("Yes");
        cmdNo->setText("No");
        cmdNo->setVisible(true);
        lbQuestion->setText("Do you agree with this License Agreement?");
    } else {
        cmdOK->setText("OK");
        cmdNo->setVisible(false);
        lbQuestion->setText("You have accepted this License Agreement.");
    }
}

void frmQzLicense::cmdOK_Click() {
    accepted = true;
    Unload();
}

void frmQzLicense::cmdNo_Click() {
    accepted = false;
    Unload();
}

}  // namespace Qz_About
