#include "ui/view/TreeIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap Blank() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A small page with a dark top band: a calendar sheet.
void Sheet(QPainter& p, const QColor& band) {
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 12, 12));
    p.fillRect(QRectF(2, 3, 11.5, 3.5), band);
    p.setPen(QColor(150, 150, 150));
    for (int y = 9; y <= 12; y += 3) {
        for (int x = 4; x <= 11; x += 3) p.drawPoint(x, y);
    }
}

}  // namespace

QIcon MakeTreeIcon(int id) {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (id) {
        case kIconAccount:
        case kIconAccountShared:
            Sheet(p, id == kIconAccount ? QColor(52, 101, 164) : QColor(78, 154, 6));
            break;
        case kIconCalendar:
        case kIconSubscription:
        case kIconOffline:
            Sheet(p, id == kIconOffline ? QColor(136, 138, 133) : QColor(117, 80, 123));
            break;
        case kIconError: {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(204, 0, 0));
            p.drawEllipse(QRectF(1, 1, 14, 14));
            p.setPen(QPen(Qt::white, 2));
            p.drawLine(QPointF(8, 4), QPointF(8, 9));
            p.drawPoint(QPointF(8, 12));
            break;
        }
        case kIconRefreshing: {
            p.setPen(QPen(QColor(32, 74, 135), 2));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 30 * 16, 240 * 16);
            QPainterPath head;
            head.moveTo(13.5, 1.5);
            head.lineTo(14.5, 7.5);
            head.lineTo(9, 5.5);
            head.closeSubpath();
            p.fillPath(head, QColor(32, 74, 135));
            break;
        }
        default:
            break;
    }
    p.end();
    return QIcon(pixmap);
}
