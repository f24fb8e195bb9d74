#include "vlt/windows/frmSplash.h"

#include <QEvent>
#include <QFont>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "platform/dialogs/App.h"
#include "platform/dialogs/Clock.h"
#include "platform/forms/Twips.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/TraceScope.h"

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
    Frame1->setFrameShape(QFrame::Box);
    imgLogo->setObjectName("imgLogo");
    lblCompanyProduct->setObjectName("lblCompanyProduct");
    lblProductName->setObjectName("lblProductName");
    lblPlatform->setObjectName("lblPlatform");
    lblVersion->setObjectName("lblVersion");
    lblWarning->setObjectName("lblWarning");
    lblCopyright->setObjectName("lblCopyright");
    lblWarning->setWordWrap(true);
    QFont title = lblProductName->font();
    title.setPointSize(24);
    title.setBold(true);
    lblProductName->setFont(title);
    auto* inner = new QVBoxLayout(Frame1);
    for (QWidget* widget :
         {static_cast<QWidget*>(imgLogo), static_cast<QWidget*>(lblCompanyProduct),
          static_cast<QWidget*>(lblProductName), static_cast<QWidget*>(lblPlatform),
          static_cast<QWidget*>(lblVersion), static_cast<QWidget*>(lblWarning),
          static_cast<QWidget*>(lblCopyright)}) {
        inner->addWidget(widget);
    }
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(Frame1);
    resize(forms::TwipsToPixels(7400), forms::TwipsToPixels(4300));
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
