// The review window's pictures, painted rather than shipped as files: they stay sharp at any
// scale, need no resource bundle, and each is told apart from the others by colour and shape
// alone (green tick, grey page, blue arrow, amber page, red cross, amber warning, page stack,
// locked wine-red page).
#include <QPainter>
#include <QPainterPath>

#include "platform/automation/Errors.h"
#include "vlt/windows/frmDupSys.h"

namespace {

constexpr int kSize = 16;

const QColor kGreen(30, 140, 60);
const QColor kBlue(30, 90, 190);
const QColor kRed(200, 40, 40);
const QColor kAmber(225, 150, 20);
const QColor kGrey(120, 120, 120);
const QColor kPaper(250, 250, 250);
const QColor kInk(60, 60, 60);

QPixmap Blank() {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void Prepare(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
}

// A sheet of paper with a folded corner, outlined in `edge`.
void Page(QPainter& painter, const QRectF& box, const QColor& edge) {
    QPainterPath path;
    const double fold = box.width() * 0.35;
    path.moveTo(box.left(), box.top());
    path.lineTo(box.right() - fold, box.top());
    path.lineTo(box.right(), box.top() + fold);
    path.lineTo(box.right(), box.bottom());
    path.lineTo(box.left(), box.bottom());
    path.closeSubpath();
    painter.setPen(QPen(edge, 1.2));
    painter.setBrush(kPaper);
    painter.drawPath(path);
    painter.drawLine(QPointF(box.right() - fold, box.top()),
                     QPointF(box.right() - fold, box.top() + fold));
    painter.drawLine(QPointF(box.right() - fold, box.top() + fold),
                     QPointF(box.right(), box.top() + fold));
}

void Disc(QPainter& painter, const QColor& fill) {
    painter.setPen(QPen(fill.darker(130), 1));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(1, 1, kSize - 2, kSize - 2));
}

QPixmap Tick() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    Disc(painter, kGreen);
    painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({QPointF(4.5, 8.5), QPointF(7, 11), QPointF(11.5, 5)}));
    return pixmap;
}

QPixmap GreyPage() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    Page(painter, QRectF(3, 1.5, 10, 13), kGrey);
    painter.setPen(QPen(kGrey.lighter(130), 1));
    for (double y : {7.0, 9.5, 12.0}) {
        painter.drawLine(QPointF(5, y), QPointF(11, y));
    }
    return pixmap;
}

QPixmap KeptArrow() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    Disc(painter, kBlue);
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(QPointF(4, 8), QPointF(11.5, 8));
    painter.drawPolyline(QPolygonF({QPointF(8.5, 5), QPointF(11.5, 8), QPointF(8.5, 11)}));
    return pixmap;
}

QPixmap QuestionPage() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    Page(painter, QRectF(3, 1.5, 10, 13), kAmber.darker(120));
    QFont font = painter.font();
    font.setPixelSize(10);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(kAmber.darker(140));
    painter.drawText(QRectF(3, 4, 10, 10), Qt::AlignCenter, "?");
    return pixmap;
}

QPixmap Cross() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    Disc(painter, kRed);
    painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(5, 5), QPointF(11, 11));
    painter.drawLine(QPointF(11, 5), QPointF(5, 11));
    return pixmap;
}

QPixmap Warning() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    painter.setPen(QPen(kAmber.darker(140), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kAmber);
    painter.drawPolygon(QPolygonF({QPointF(8, 1), QPointF(15, 14.5), QPointF(1, 14.5)}));
    painter.setPen(QPen(Qt::black, 1.8, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(8, 5.5), QPointF(8, 9.5));
    painter.drawPoint(QPointF(8, 12.2));
    return pixmap;
}

QPixmap Stack() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    Page(painter, QRectF(5, 0.5, 9, 11), kGrey);
    Page(painter, QRectF(1.5, 3.5, 9, 11), kInk);
    painter.setPen(QPen(kGreen.darker(120), 1));
    painter.setBrush(kGreen);
    painter.drawEllipse(QRectF(9, 9, 6.5, 6.5));
    return pixmap;
}

// A page the platform keeps: outlined in wine red, with a padlock on it.
QPixmap LockedPage() {
    const QColor wine(130, 20, 50);
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    Page(painter, QRectF(1.5, 1.5, 10, 13), wine);
    painter.setPen(QPen(wine, 1.4));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(8.5, 5, 5, 6), 0, 180 * 16);
    painter.setPen(QPen(wine.darker(130), 1));
    painter.setBrush(wine);
    painter.drawRect(QRectF(7.5, 8.5, 7, 6));
    return pixmap;
}

// The tree's own expand (plus) or collapse (minus) box.
QPixmap TreeBox(bool plus) {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    painter.setPen(QPen(kInk, 1));
    painter.setBrush(kPaper);
    painter.drawRect(QRectF(2.5, 2.5, 11, 11));
    painter.setPen(QPen(kInk, 1.8));
    painter.drawLine(QPointF(5, 8), QPointF(11, 8));
    if (plus) {
        painter.drawLine(QPointF(8, 5), QPointF(8, 11));
    }
    return pixmap;
}

}  // namespace

QPixmap frmDupSys::NodePicture(int index) {
    switch (index) {
        case kRecommended:
            return Tick();
        case kOtherCopy:
            return GreyPage();
        case kKept:
            return KeptArrow();
        case kNoRecommendationCopy:
            return QuestionPage();
        case kFlagged:
            return Cross();
        case kNoRecommendation:
            return Warning();
        case kHasRecommendation:
            return Stack();
        case kPlatformCopy:
            return LockedPage();
        default:
            automation::Raise(automation::SubscriptOutOfRange, "frmDupSys");
    }
}

QPixmap frmDupSys::ComparePicture() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    Page(painter, QRectF(0.5, 1.5, 7, 10), kInk);
    Page(painter, QRectF(8.5, 1.5, 7, 10), kInk);
    painter.setPen(QPen(kBlue, 1.6));
    painter.drawLine(QPointF(4, 13.5), QPointF(12, 13.5));
    painter.drawLine(QPointF(4, 15.5), QPointF(12, 15.5));
    return pixmap;
}

QPixmap frmDupSys::ExpandAllPicture() {
    return TreeBox(true);
}

QPixmap frmDupSys::CollapseAllPicture() {
    return TreeBox(false);
}

QPixmap frmDupSys::FolderPicture() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    const QColor folder(235, 190, 70);
    painter.setPen(QPen(folder.darker(150), 1));
    painter.setBrush(folder.darker(110));
    painter.drawRect(QRectF(1.5, 3.5, 6, 3));
    painter.setBrush(folder);
    painter.drawRect(QRectF(1.5, 5, 13, 9));
    return pixmap;
}
