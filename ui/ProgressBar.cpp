#include "ui/ProgressBar.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
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

// The application's style, but for a whole progress bar, which it draws strip by strip.
// QProgressBar's own paint handler stays: it records the value painted, by which the bar
// judges whether a change of value shows.
class StripStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        // A strip's edges must fall between device pixels for its pixels to be the whole bar's.
        if (element != CE_ProgressBar || !widget || ratio != std::floor(ratio)) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        const QWidget* owner = backgroundOwner(widget);
        const QBrush background = owner->palette().brush(owner->backgroundRole());
        const QPoint ownerOrigin = owner == widget ? QPoint() : -widget->mapTo(owner, QPoint());
        const int scale = static_cast<int>(ratio);
        const QRect bar = option->rect;
        for (int x = bar.left(); x <= bar.right(); x += ProgressBar::kStrip) {
            const QRect strip(x, bar.top(), std::min(ProgressBar::kStrip, bar.right() + 1 - x), bar.height());
            QImage piece(strip.size() * scale, QImage::Format_ARGB32_Premultiplied);
            piece.setDevicePixelRatio(ratio);
            QPainter p(&piece);
            p.translate(-strip.topLeft());   // the bar's coordinates
            p.setBrushOrigin(ownerOrigin);   // a textured background lines up with the owner's
            p.fillRect(strip, background);
            p.setBrushOrigin(QPoint());
            QProxyStyle::drawControl(element, option, &p, widget);
            p.end();
            painter->drawImage(strip.topLeft(), piece);
        }
    }
};

// One for every bar, made of the application's style, and living as long as the application.
QStyle* stripStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new StripStyle(QStyleFactory::create(QApplication::style()->name()));
        style->setParent(qApp);
    }
    return style;
}

}  // namespace

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    setStyle(stripStyle());
    // Every pixel is painted here, background included: nothing is painted under the bar.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

}  // namespace parelix
