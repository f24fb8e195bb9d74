#include "vlt/windows/frmStandBy.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>
#include <cmath>
#include <numbers>

#include "controls/file/QzFile.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/Clock.h"
#include "platform/forms/Twips.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"

namespace {

// Frame i of the animation: a ring of dots with one bright dot that walks round it.
QPixmap AnimationFrame(int frame) {
    constexpr int kSize = 32;
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int dot = 0; dot < frmStandBy::kFrames; ++dot) {
        const double angle = 2 * std::numbers::pi * dot / frmStandBy::kFrames;
        const QPointF centre(kSize / 2.0 + 11 * std::cos(angle),
                             kSize / 2.0 + 11 * std::sin(angle));
        painter.setBrush(dot == frame ? QColor(0, 0, 128) : QColor(192, 192, 192));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(centre, 3, 3);
    }
    return pixmap;
}

}  // namespace

frmStandBy::frmStandBy()
    : Labelx(new QLabel("Please stand by.  Processing...", this)),
      lbStatus(new QLabel(this)),
      lbtime(new QLabel(this)),
      Picture1(new QLabel(this)),
      Timer1(new QTimer(this)),
      cmdCancel(new QPushButton("&Cancel", this)) {
    setObjectName("frmStandBy");
    setWindowTitle(kCaption);
    Labelx->setObjectName("Labelx");
    lbStatus->setObjectName("lbStatus");
    lbtime->setObjectName("lbtime");
    Picture1->setObjectName("Picture1");
    cmdCancel->setObjectName("cmdCancel");
    QFont bold = Labelx->font();
    bold.setBold(true);
    Labelx->setFont(bold);
    // A long folder path is shortened in the middle rather than widening the window.
    lbStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lbStatus->setTextFormat(Qt::PlainText);
    Picture1->setFixedSize(40, 40);
    Picture1->setAlignment(Qt::AlignCenter);
    for (int i = 0; i < kFrames; ++i) {
        Image1[i] = new QLabel(this);
        Image1[i]->setObjectName("Image1");
        Image1[i]->setPixmap(AnimationFrame(i));
        Image1[i]->setVisible(false);
        forms::Move(*Image1[i], 120 + i * 540, 2400, 480, 480);
    }
    auto* texts = new QVBoxLayout;
    texts->addWidget(Labelx);
    texts->addWidget(lbStatus);
    texts->addWidget(lbtime);
    auto* top = new QHBoxLayout;
    top->addWidget(Picture1, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(forms::TwipsToPixels(6600), forms::TwipsToPixels(2100));
    Timer1->setInterval(kTickMilliseconds);
    QObject::connect(Timer1, &QTimer::timeout, [this] { Timer1_Timer(); });
    QObject::connect(cmdCancel, &QPushButton::clicked,
                     [this] { vlt::RunEventHandler([this] { cmdCancel_Click(); }); });
}

void frmStandBy::Form_Load() {
    vlt::TraceScope trace("frmStandBy.Form_Load");
    // An update check renames the window; every load starts from the design's caption.
    setWindowTitle(kCaption);
    scanItem_.clear();
    canceled_ = false;
    frame_ = 0;
    startTime_ = dialogs::Timer();
    for (int i = 1; i < kFrames; ++i) {
        forms::SetTop(*Image1[i], forms::Top(*Image1[0]));
    }
    Timer1->start();
}

void frmStandBy::Form_Unload(int& /*cancel*/) {
    vlt::TraceScope trace("frmStandBy.Form_Unload");
    Timer1->stop();
}

void frmStandBy::Timer1_Timer() {
    vlt::TraceScope trace("frmStandBy.Timer1_Timer");
    const QString item = QString::fromStdString(ScanItem());
    const int room = lbStatus->contentsRect().width();
    const bool tooLong =
        lbStatus->isVisible() && lbStatus->fontMetrics().horizontalAdvance(item) > room;
    lbStatus->setText(tooLong ? lbStatus->fontMetrics().elidedText(item, Qt::ElideMiddle, room)
                              : item);
    lbStatus->setToolTip(tooLong ? item : QString());
    const double seconds = automation::Round(dialogs::TimerElapsed(startTime_));
    lbtime->setText(
        QString::fromStdString("Elapsed time: " + automation::NumberText(seconds) + " seconds"));
    Picture1->setPixmap(Image1[frame_]->pixmap());
    frame_ = (frame_ + 1) % kFrames;
}

void frmStandBy::cmdCancel_Click() {
    vlt::TraceScope trace("frmStandBy.cmdCancel_Click");
    vlt::QzFile1().ScanCancel();
    canceled_ = true;
}

std::string frmStandBy::ScanItem() const {
    vlt::TraceScope trace("frmStandBy.ScanItem Get");
    if (!scanItem_.empty()) {
        return scanItem_;
    }
    Qz_File::QzFile* file = vlt::State().QzFile1;
    return file != nullptr ? file->CurrentScanPath() : std::string();
}

void frmStandBy::SetScanItem(const std::string& item) {
    vlt::TraceScope trace("frmStandBy.ScanItem Let");
    scanItem_ = item;
}

bool frmStandBy::Canceled() const {
    vlt::TraceScope trace("frmStandBy.Canceled Get");
    return canceled_;
}

void frmStandBy::SetFormTitle(const std::string& title) {
    vlt::TraceScope trace("frmStandBy.FormTitle Let");
    setWindowTitle(QString::fromStdString(std::string(automation::Trim(title))));
}
