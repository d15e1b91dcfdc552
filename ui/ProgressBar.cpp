#include "ui/ProgressBar.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionProgressBar>
#include <algorithm>
#include <cmath>

namespace parelix {

namespace {

// The widget that paints what lies under w: the nearest ancestor that fills its background
// (a window always does).
const QWidget* backgroundOwner(const QWidget* w) {
    const QWidget* owner = w->parentWidget();
    while (owner && !owner->isWindow() && !owner->autoFillBackground()) owner = owner->parentWidget();
    return owner ? owner : w;
}

}  // namespace

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    // Every pixel is painted here, background included: nothing is painted under the bar.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // QProgressBar skips a repaint that it judges too small to see by the value it painted
    // last, which only its own paint handler records.
    connect(this, &QProgressBar::valueChanged, this, [this] { update(); });
}

void ProgressBar::paintEvent(QPaintEvent* event) {
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    const QWidget* owner = backgroundOwner(this);
    const QBrush background = owner->palette().brush(owner->backgroundRole());
    const QPoint ownerOrigin = owner == this ? QPoint() : -mapTo(owner, QPoint());
    // Coordinates are the bar's, whatever painter draws.
    const auto paintAll = [&](QPainter& p) {
        p.setBrushOrigin(ownerOrigin);   // a textured background lines up with the owner's
        p.fillRect(rect(), background);
        p.setBrushOrigin(QPoint());
        style()->drawControl(QStyle::CE_ProgressBar, &option, &p, this);
    };
    QPainter out(this);
    const qreal ratio = devicePixelRatio();
    // A strip's edges must fall between device pixels for its pixels to be the whole bar's.
    if (ratio != std::floor(ratio)) {
        paintAll(out);
        return;
    }
    const int scale = static_cast<int>(ratio);
    const QRect area = event->rect() & rect();
    for (int x = area.left(); x <= area.right(); x += kStrip) {
        const QRect strip(x, area.top(), std::min(kStrip, area.right() + 1 - x), area.height());
        QImage piece(strip.size() * scale, QImage::Format_ARGB32_Premultiplied);
        piece.setDevicePixelRatio(ratio);
        QPainter p(&piece);
        p.translate(-strip.topLeft());
        paintAll(p);
        p.end();
        out.drawImage(strip.topLeft(), piece);
    }
}

}  // namespace parelix
