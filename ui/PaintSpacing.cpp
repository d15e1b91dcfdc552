#include "ui/PaintSpacing.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace parelix {

PaintSpacing::PaintSpacing(QWidget* window, int spacingMs) : window_(window), spacingMs_(spacingMs) {
    heldPaint_.setSingleShot(true);
    connect(&heldPaint_, &QTimer::timeout, this, [this] { paintNow(); });
    window_->installEventFilter(this);
}

PaintSpacing::~PaintSpacing() {
    window_->removeEventFilter(this);
    // The window asks for no other picture while one it asked for is unanswered: the held
    // one is asked again, now free to paint.
    if (heldPaint_.isActive()) {
        heldPaint_.stop();
        QCoreApplication::postEvent(window_, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    }
}

bool PaintSpacing::eventFilter(QObject* watched, QEvent* event) {
    // Widgets paint through their window's update request, also a repaint() that asks to
    // paint at once.
    if (watched != window_ || event->type() != QEvent::UpdateRequest) return false;
    if (sincePaint_.isValid() && sincePaint_.elapsed() < spacingMs_) {
        if (!heldPaint_.isActive()) heldPaint_.start(spacingMs_ - static_cast<int>(sincePaint_.elapsed()));
        return true;
    }
    heldPaint_.stop();
    sincePaint_.restart();
    return false;
}

void PaintSpacing::paintNow() {
    sincePaint_.invalidate();   // its time has come (a coarse timer may fire a little early)
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window_, &request);
}

}  // namespace parelix
