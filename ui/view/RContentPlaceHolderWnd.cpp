#include "ui/view/RContentPlaceHolderWnd.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

RContentPlaceHolderWnd::RContentPlaceHolderWnd(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle("Orvane");
}

void RContentPlaceHolderWnd::OnCommand(int commandId) {
    if (commandForward) commandForward(commandId);
}

void RContentPlaceHolderWnd::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (surface_ != nullptr && !surface_->isNull()) {
        painter.drawImage(event->rect().topLeft(), *surface_, event->rect());
        // Beyond a picture drawn for a smaller size (until the next draw catches up).
        if (surface_->width() < width() || surface_->height() < height()) {
            painter.fillRect(QRect(surface_->width(), 0, width(), height()), QColor(250, 250, 250));
            painter.fillRect(QRect(0, surface_->height(), width(), height()), QColor(250, 250, 250));
        }
    } else {
        painter.fillRect(event->rect(), QColor(250, 250, 250));
    }
}

void RContentPlaceHolderWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && doubleClickForward) {
        const QPoint at = event->position().toPoint();
        doubleClickForward(event->modifiers(), at.x(), at.y());
    }
}

void RContentPlaceHolderWnd::contextMenuEvent(QContextMenuEvent* event) {
    if (contextMenuForward) contextMenuForward(event->globalPos().x(), event->globalPos().y());
}
