#include "ui/PaneDrag.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

namespace parelix {

namespace {

// The pointer shown while a pane drag is accepted: a split cursor drawn by us, since a
// drag takes pictures, not cursor shapes.
QPixmap splitCursorPixmap(bool horizontal) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    // The two edge lines, and the two arrows pointing away from them; drawn for the
    // left-right split and turned for the up-down one.
    const QLine lines[] = {{14, 6, 14, 26}, {17, 6, 17, 26}, {4, 16, 12, 16}, {19, 16, 27, 16},
                           {4, 16, 8, 12},  {4, 16, 8, 20},  {27, 16, 23, 12}, {27, 16, 23, 20}};
    auto draw = [&](const QColor& c, int w) {
        p.setPen(QPen(c, w));
        for (const QLine& l : lines)
            p.drawLine(horizontal ? l : QLine(l.y1(), l.x1(), l.y2(), l.x2()));
    };
    draw(Qt::white, 3);
    draw(Qt::black, 1);
    return pm;
}

}  // namespace

PaneDrag::PaneDrag(QWidget* handle, bool splitHorizontally, Steps steps)
    : QObject(handle), handle_(handle), horizontal_(splitHorizontally), steps_(std::move(steps)) {
    handle_->installEventFilter(this);
}

void PaneDrag::addTarget(QWidget* target, QWidget* receiver) {
    if (!receiver) receiver = target;
    targets_.emplace_back(receiver, target);
    receiver->setAcceptDrops(true);
    receiver->installEventFilter(this);
}

QWidget* PaneDrag::targetOf(QObject* receiver) const {
    for (const auto& [r, target] : targets_)
        if (r == receiver) return target;
    return nullptr;
}

void PaneDrag::run(QPoint start) {
    begin(start);
    auto* drag = new QDrag(handle_);
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kMimeType), handle_->objectName().toUtf8());
    drag->setMimeData(mime);
    drag->setDragCursor(splitCursorPixmap(horizontal_), Qt::MoveAction);
    drag->exec(Qt::MoveAction);
    end();
}

bool PaneDrag::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (watched == handle_ && me->button() == Qt::LeftButton) {
            pressed_ = true;
            pressPos_ = me->position().toPoint();
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (watched == handle_ && pressed_ && (me->buttons() & Qt::LeftButton) &&
            (me->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
            pressed_ = false;
            run(handle_->mapFromGlobal(QCursor::pos()));
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        if (watched == handle_) pressed_ = false;
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        QWidget* target = targetOf(watched);
        if (!target) break;
        // A target takes only its own handle's drag: a node from a tree, or the other
        // page's handle, is refused.
        auto* de = static_cast<QDropEvent*>(event);
        const QString type = QString::fromLatin1(kMimeType);
        const bool ours = de->mimeData()->hasFormat(type) &&
                          de->mimeData()->data(type) == handle_->objectName().toUtf8();
        const QPoint inWindow = static_cast<QWidget*>(watched)->mapTo(target->window(), de->position().toPoint());
        const QPoint local = target->mapFrom(target->window(), inWindow);
        const bool accepted = ours && (event->type() == QEvent::Drop || steps_.over(target, local));
        if (accepted) {
            de->setDropAction(Qt::MoveAction);
            de->accept();
        } else {
            de->ignore();
        }
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace parelix
