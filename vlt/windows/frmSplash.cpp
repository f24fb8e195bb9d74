#include "vlt/windows/frmSplash.h"

#include <QEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPalette>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/dialogs/App.h"
#include "platform/dialogs/Clock.h"
#include "platform/forms/Twips.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/TraceScope.h"
#include "vlt/windows/frmVelto.h"

frmSplash::frmSplash()
    : Frame1(new QFrame(this)),
      imgLogo(new QLabel(Frame1)),
      lblCompanyProduct(new QLabel("Korvane presents", Frame1)),
      lblProductName(new QLabel(Frame1)),
      lblPlatform(new QLabel("For Windows", Frame1)),
      lblVersion(new QLabel(Frame1)),
      lblWarning(new QLabel(
          "Warning:  Careless use of this product can render your PC inoperable, until "
          "re-installation of the operating system.  User discretion is advised.  Korvane "
          "claims no liability.",
          Frame1)),
      lblCopyright(new QLabel(Frame1)) {
    setObjectName("frmSplash");
    setWindowFlags(Qt::SplashScreen);
    Frame1->setObjectName("Frame1");
    imgLogo->setObjectName("imgLogo");
    lblCompanyProduct->setObjectName("lblCompanyProduct");
    lblProductName->setObjectName("lblProductName");
    lblPlatform->setObjectName("lblPlatform");
    lblVersion->setObjectName("lblVersion");
    lblWarning->setObjectName("lblWarning");
    lblCopyright->setObjectName("lblCopyright");

    // A white card with a thin border, the logo beside the product's name.
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setAutoFillBackground(true);
    QPalette card = Frame1->palette();
    card.setColor(QPalette::Window, Qt::white);
    card.setColor(QPalette::WindowText, QColor(40, 40, 40));
    Frame1->setPalette(card);
    imgLogo->setPixmap(frmVelto::ButtonPicture(frmVelto::Picture::Logo));
    imgLogo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    QFont title = lblProductName->font();
    title.setPointSize(26);
    title.setBold(true);
    lblProductName->setFont(title);
    QPalette blue = lblProductName->palette();
    blue.setColor(QPalette::WindowText, QColor(30, 58, 122));
    lblProductName->setPalette(blue);
    QFont emphasis = lblPlatform->font();
    emphasis.setItalic(true);
    lblPlatform->setFont(emphasis);
    lblWarning->setWordWrap(true);
    lblWarning->setFrameShape(QFrame::StyledPanel);
    lblWarning->setMargin(6);
    lblWarning->setAutoFillBackground(true);
    QPalette caution = lblWarning->palette();
    caution.setColor(QPalette::Window, QColor(255, 248, 220));
    lblWarning->setPalette(caution);
    QFont small = lblCopyright->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    lblCopyright->setFont(small);

    auto* heading = new QVBoxLayout;
    heading->setSpacing(2);
    for (QLabel* label : {lblCompanyProduct, lblProductName, lblPlatform, lblVersion}) {
        heading->addWidget(label);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(imgLogo, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(heading, 1);
    auto* inner = new QVBoxLayout(Frame1);
    inner->setContentsMargins(18, 16, 18, 12);
    inner->addLayout(top);
    inner->addSpacing(10);
    inner->addWidget(lblWarning);
    inner->addStretch(1);
    inner->addWidget(lblCopyright);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(Frame1);
    resize(forms::TwipsToPixels(7400), forms::TwipsToPixels(3600));
    Frame1->installEventFilter(this);
}

void frmSplash::Form_Load() {
    vlt::TraceScope trace("frmSplash.Form_Load");
    dialogs::DoEvents();
    const dialogs::AppObject& app = dialogs::App();
    lblVersion->setText(QString::fromStdString("Version " + std::to_string(app.Major()) + "." +
                                               std::to_string(app.Minor()) + "." +
                                               std::to_string(app.Revision())));
    lblProductName->setText(QString::fromStdString(app.Title()));
    lblCopyright->setText(QString::fromStdString(app.LegalCopyright()));
    if (const QScreen* display = screen()) {
        move(display->availableGeometry().center() - rect().center());
    }
}

void frmSplash::Form_KeyPress() {
    vlt::TraceScope trace("frmSplash.Form_KeyPress");
    forms::Form::Unload();
}

void frmSplash::Frame1_Click() {
    vlt::TraceScope trace("frmSplash.Frame1_Click");
    forms::Form::Unload();
}

void frmSplash::keyPressEvent(QKeyEvent* event) {
    vlt::RunEventHandler([this] { Form_KeyPress(); });
    event->accept();
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Frame1 && event->type() == QEvent::MouseButtonRelease) {
        vlt::RunEventHandler([this] { Frame1_Click(); });
        return true;
    }
    return forms::Form::eventFilter(watched, event);
}
