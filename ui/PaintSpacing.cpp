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
    // One reading of the clock: read twice, the wait could come out negative, and a timer
    // that never starts would hold the window's pictures for good.
    if (const qint64 since = sincePaint_.isValid() ? sincePaint_.elapsed() : spacingMs_; since < spacingMs_) {
        if (!heldPaint_.isActive()) heldPaint_.start(spacingMs_ - static_cast<int>(since));
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
