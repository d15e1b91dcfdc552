#include "ui/TrashLabel.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>

namespace parelix {

TrashLabel::TrashLabel(QWidget* parent) : QLabel(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAcceptDrops(true);
    setFixedSize(32, 32);
    setPixmap(QIcon(QStringLiteral(":/images/trash.svg")).pixmap(32, 32));
}

void TrashLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
}

void TrashLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool wasPressed = pressed_;
    pressed_ = false;
    if (event->button() == Qt::LeftButton && wasPressed && rect().contains(event->position().toPoint()))
        emit clicked();
}

void TrashLabel::dragEnterEvent(QDragEnterEvent* event) {
    // Enter and move ask the same question; Qt wants the enter accepted to send moves.
    dragMoveEvent(event);
}

void TrashLabel::dragMoveEvent(QDragMoveEvent* event) {
    const bool accept = dragOver && dragOver(event->source());
    setAccepting(accept);
    if (accept) event->acceptProposedAction();
    else event->ignore();
}

void TrashLabel::dragLeaveEvent(QDragLeaveEvent*) { setAccepting(false); }

void TrashLabel::setAccepting(bool on) {
    if (accepting_ == on) return;
    accepting_ = on;
    update();
}

void TrashLabel::paintEvent(QPaintEvent* event) {
    if (accepting_) {
        QPainter painter(this);
        QColor fill = palette().color(QPalette::Highlight);
        painter.setPen(QPen(fill, 2));
        fill.setAlpha(70);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
    QLabel::paintEvent(event);
}

void TrashLabel::dropEvent(QDropEvent* event) {
    setAccepting(false);
    if (!dragOver || !dragOver(event->source())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (dropped) dropped(event->source());
}

}  // namespace parelix
