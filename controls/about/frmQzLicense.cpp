#include "controls/about/frmQzLicense.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/pad/QzPAD.h"
#include "platform/forms/Twips.h"

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
    : txLicense(new QPlainTextEdit),
      lbQuestion(new QLabel),
      lbInstruct(new QLabel),
      cmdOK(new QPushButton),
      cmdNo(new QPushButton) {
    setObjectName("frmQzLicense");
    setWindowTitle("License");
    txLicense->setObjectName("txLicense");
    lbQuestion->setObjectName("lbQuestion");
    lbInstruct->setObjectName("lbInstruct");
    cmdOK->setObjectName("cmdOK");
    cmdNo->setObjectName("cmdNo");
    txLicense->setReadOnly(true);
    for (QLabel* label : {lbInstruct, lbQuestion}) {
        label->setWordWrap(true);
    }
    lbInstruct->setText(
        "Please read the following License Agreement. Use the scroll bar to see the rest of "
        "the agreement.");
    // The texts wrap and the agreement scrolls, so every word can be read at any font size;
    // the window starts at its designed size, scaled with the font.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdNo);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbInstruct);
    layout->addWidget(txLicense, 1);
    layout->addWidget(lbQuestion);
    layout->addLayout(buttons);
    const double scale = fontMetrics().height() / 16.0;
    resize(static_cast<int>(forms::TwipsToPixels(6600) * std::max(1.0, scale)),
           static_cast<int>(forms::TwipsToPixels(5400) * std::max(1.0, scale)));
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
