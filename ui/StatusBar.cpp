#include "ui/StatusBar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <algorithm>
#include <qdrawutil.h>

namespace parelix {

namespace {
constexpr int kHeight = 22;
constexpr int kRepaintSpacingMs = 40;   // about 25 pictures a second
constexpr int kPanelGap = 2;
// The bar on the accessibility bus: a status bar whose value and description are its texts.
// The name stays the widget's accessible name ("Barre d'état").
class StatusBarAccessible : public QAccessibleWidget {
public:
    explicit StatusBarAccessible(StatusBar* bar) : QAccessibleWidget(bar, QAccessible::StatusBar) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value || t == QAccessible::Description)
            return static_cast<const StatusBar*>(widget())->shownText();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* statusBarAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("parelix::StatusBar") && object && object->isWidgetType())
        return new StatusBarAccessible(static_cast<StatusBar*>(object));
    return nullptr;
}

// Tells a screen reader listening that the texts changed; costs nothing when none listens.
void announce(StatusBar* bar) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent description(bar, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&description);
}

}  // namespace

StatusBar::StatusBar(QWidget* parent) : QWidget(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(statusBarAccessible);
        return true;
    }();
    (void)factoryInstalled;
    setFixedHeight(kHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    repaintTimer_.setSingleShot(true);
    connect(&repaintTimer_, &QTimer::timeout, this, [this] {
        sincePaint_.restart();
        update();
        announce(this);
    });
}

QSize StatusBar::sizeHint() const { return {200, kHeight}; }

void StatusBar::scheduleRepaint() {
    if (repaintTimer_.isActive()) return;
    if (!sincePaint_.isValid() || sincePaint_.elapsed() >= kRepaintSpacingMs) {
        sincePaint_.restart();
        update();
        announce(this);
        return;
    }
    repaintTimer_.start(kRepaintSpacingMs - static_cast<int>(sincePaint_.elapsed()));
}

void StatusBar::setSimpleText(const QString& text) {
    if (text == simpleText_) return;
    simpleText_ = text;
    if (!panelMode_) scheduleRepaint();
}

void StatusBar::setPanelMode(bool panels) {
    if (panels == panelMode_) return;
    panelMode_ = panels;
    update();
    announce(this);
}

void StatusBar::markStale(int panel) {
    panelStale_[panel] = true;
    if (panelMode_) scheduleRepaint();
}

void StatusBar::decodePanels() const {
    for (int i = 0; i < 2; ++i) {
        if (!panelStale_[i]) continue;
        panelText_[i] = QString::fromUtf8(panelBytes_[i], static_cast<qsizetype>(panelLength_[i]));
        panelStale_[i] = false;
    }
}

QString StatusBar::panelText(int panel) const {
    decodePanels();
    return panel >= 0 && panel <= 1 ? panelText_[panel] : QString();
}

void StatusBar::setPanelWidth(int panel, int width) {
    if (panel < 0 || panel > 1) return;
    panelWidth_[panel] = width;
    if (panelMode_) update();
}

QString StatusBar::shownText() const {
    if (!panelMode_) return simpleText_;
    decodePanels();
    if (panelText_[1].isEmpty()) return panelText_[0];
    return panelText_[0] + QStringLiteral(" — ") + panelText_[1];
}

int StatusBar::panelWidth(int panel) const { return panel >= 0 && panel <= 1 ? panelWidth_[panel] : 0; }

void StatusBar::paintEvent(QPaintEvent*) {
    decodePanels();
    QPainter p(this);
    const int textFlags = Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine;
    auto drawPanel = [&](const QRect& r, const QString& text) {
        qDrawShadePanel(&p, r, palette(), true, 1);
        const QRect inner = r.adjusted(3, 1, -3, -1);
        p.drawText(inner, textFlags, fontMetrics().elidedText(text, Qt::ElideRight, inner.width()));
    };
    const QRect bar = rect().adjusted(0, 2, 0, 0);
    if (!panelMode_) {
        drawPanel(bar, simpleText_);
        return;
    }
    // The last panel takes what is left, as a status bar's last panel does.
    const int w0 = std::max(0, panelWidth_[0]);
    drawPanel(QRect(bar.left(), bar.top(), w0, bar.height()), panelText_[0]);
    const int left1 = bar.left() + w0 + kPanelGap;
    drawPanel(QRect(left1, bar.top(), std::max(panelWidth_[1], bar.right() - left1 + 1), bar.height()),
              panelText_[1]);
}

}  // namespace parelix
