#include "vlt/windows/frmStandBy.h"

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
    setWindowTitle("Scanning");
    Labelx->setObjectName("Labelx");
    lbStatus->setObjectName("lbStatus");
    lbtime->setObjectName("lbtime");
    Picture1->setObjectName("Picture1");
    cmdCancel->setObjectName("cmdCancel");
    lbStatus->setWordWrap(true);
    for (int i = 0; i < kFrames; ++i) {
        Image1[i] = new QLabel(this);
        Image1[i]->setObjectName("Image1");
        Image1[i]->setPixmap(AnimationFrame(i));
        Image1[i]->setVisible(false);
        forms::Move(*Image1[i], 120 + i * 540, 2400, 480, 480);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Labelx);
    layout->addWidget(Picture1, 0, Qt::AlignHCenter);
    layout->addWidget(lbStatus);
    layout->addWidget(lbtime);
    layout->addWidget(cmdCancel, 0, Qt::AlignHCenter);
    resize(forms::TwipsToPixels(6000), forms::TwipsToPixels(2700));
    Timer1->setInterval(kTickMilliseconds);
    QObject::connect(Timer1, &QTimer::timeout, [this] { Timer1_Timer(); });
    QObject::connect(cmdCancel, &QPushButton::clicked,
                     [this] { vlt::RunEventHandler([this] { cmdCancel_Click(); }); });
}

void frmStandBy::Form_Load() {
    vlt::TraceScope trace("frmStandBy.Form_Load");
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
    lbStatus->setText(QString::fromStdString(ScanItem()));
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
    if (!scanItem_.empty()) {
        return scanItem_;
    }
    Qz_File::QzFile* file = vlt::State().QzFile1;
    return file != nullptr ? file->CurrentScanPath() : std::string();
}

void frmStandBy::SetFormTitle(const std::string& title) {
    setWindowTitle(QString::fromStdString(std::string(automation::Trim(title))));
}
