// The pictures of the main window's picture buttons and the program's logo. They are the
// desktop style's own folder, file and bin pictures, marked where the command needs telling
// apart (add and remove an exclusion), so the buttons look at home on any desktop; the logo and
// the exit picture are painted.
#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

#include "vlt/windows/frmVelto.h"

namespace {

constexpr int kButtonSize = 24;

QPixmap StylePicture(QStyle::StandardPixmap which, int size) {
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    QApplication::style()->standardIcon(which).paint(&painter, 0, 0, size, size);
    return picture;
}

// A round mark in the picture's lower right corner: a plus, or a minus.
QPixmap Marked(QPixmap picture, const QColor& colour, bool plus) {
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const double size = picture.width();
    const QRectF circle(size * 0.45, size * 0.45, size * 0.55, size * 0.55);
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(colour);
    painter.drawEllipse(circle);
    painter.setPen(QPen(Qt::white, size / 10.0, Qt::SolidLine, Qt::RoundCap));
    const QPointF centre = circle.center();
    const double arm = circle.width() * 0.26;
    painter.drawLine(QPointF(centre.x() - arm, centre.y()), QPointF(centre.x() + arm, centre.y()));
    if (plus) {
        painter.drawLine(QPointF(centre.x(), centre.y() - arm),
                         QPointF(centre.x(), centre.y() + arm));
    }
    return picture;
}

// A file with a curved arrow going back into it.
QPixmap RestorePicture() {
    QPixmap picture = StylePicture(QStyle::SP_FileIcon, kButtonSize);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor blue(0, 90, 190);
    painter.setPen(QPen(blue, 2.2, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    const QRectF arc(9, 9, 13, 13);
    painter.drawArc(arc, 90 * 16, 250 * 16);
    QPainterPath head;
    head.moveTo(15.5, 5.5);
    head.lineTo(20, 9.2);
    head.lineTo(14.5, 12);
    head.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(blue);
    painter.drawPath(head);
    return picture;
}

// A door-like red square with a white cross.
QPixmap ExitPicture() {
    constexpr int size = 32;
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(120, 0, 0), 1));
    painter.setBrush(QColor(200, 30, 30));
    painter.drawRoundedRect(QRectF(3, 3, size - 6, size - 6), 5, 5);
    painter.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(11, 11), QPointF(21, 21));
    painter.drawLine(QPointF(21, 11), QPointF(11, 21));
    return picture;
}

// The program's logo: two overlapping pages (the duplicates), the front one ticked.
QPixmap LogoPicture() {
    constexpr int size = 64;
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 60, 110), 2));
    painter.setBrush(QColor(200, 212, 235));
    painter.drawRoundedRect(QRectF(6, 4, 34, 44), 4, 4);
    painter.setBrush(QColor(255, 255, 255));
    painter.drawRoundedRect(QRectF(22, 16, 34, 44), 4, 4);
    painter.setPen(QPen(QColor(160, 170, 190), 2));
    for (int line = 0; line < 3; ++line) {
        painter.drawLine(QPointF(28, 25 + 7 * line), QPointF(50, 25 + 7 * line));
    }
    painter.setPen(QPen(QColor(20, 140, 60), 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    QPainterPath tick;
    tick.moveTo(30, 46);
    tick.lineTo(38, 54);
    tick.lineTo(58, 32);
    painter.drawPath(tick);
    return picture;
}

}  // namespace

QPixmap frmVelto::ButtonPicture(Picture picture) {
    switch (picture) {
        case Picture::AddExclusion:
            return Marked(StylePicture(QStyle::SP_DirIcon, kButtonSize), QColor(20, 140, 60), true);
        case Picture::RemoveExclusion:
            return Marked(StylePicture(QStyle::SP_DirIcon, kButtonSize), QColor(200, 30, 30),
                          false);
        case Picture::GetBackup:
            return StylePicture(QStyle::SP_DirOpenIcon, kButtonSize);
        case Picture::Recycle:
            return StylePicture(QStyle::SP_TrashIcon, kButtonSize);
        case Picture::Restore:
            return RestorePicture();
        case Picture::Exit:
            return ExitPicture();
        case Picture::Logo:
            return LogoPicture();
    }
    return {};
}
