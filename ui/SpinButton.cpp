#include "ui/SpinButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <qdrawutil.h>

#include "results/Messages.h"

namespace parelix {

namespace {

// On the accessibility bus the spin button is a button with two actions, one an arrow.
class SpinAccessible : public QAccessibleWidget {
public:
    explicit SpinAccessible(SpinButton* spin) : QAccessibleWidget(spin, QAccessible::Button) {}
    QStringList actionNames() const override { return {QString::fromUtf8(kSpinUp), QString::fromUtf8(kSpinDown)}; }
    void doAction(const QString& name) override {
        auto* spin = static_cast<SpinButton*>(widget());
        if (name == QString::fromUtf8(kSpinUp)) emit spin->upClicked();
        else if (name == QString::fromUtf8(kSpinDown)) emit spin->downClicked();
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == QString::fromUtf8(kSpinUp)) return {QStringLiteral("Shift+F3")};
        if (name == QString::fromUtf8(kSpinDown)) return {QStringLiteral("F3")};
        return {};
    }
};

QAccessibleInterface* spinAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("parelix::SpinButton") && object && object->isWidgetType())
        return new SpinAccessible(static_cast<SpinButton*>(object));
    return nullptr;
}

}  // namespace

SpinButton::SpinButton(QWidget* parent)
    : QWidget(parent), up_(QStringLiteral(":/images/arrow_up.svg")), down_(QStringLiteral(":/images/arrow_down.svg")) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(spinAccessible);
        return true;
    }();
    (void)factoryInstalled;
    setFocusPolicy(Qt::NoFocus);
    repeat_.setSingleShot(false);
    connect(&repeat_, &QTimer::timeout, this, [this] {
        repeat_.setInterval(kRepeatMs);
        if (over_) fire(pressed_);
    });
}

SpinButton::Part SpinButton::partAt(const QPoint& pos) const {
    if (!rect().contains(pos)) return Part::None;
    return pos.y() < height() / 2 ? Part::Up : Part::Down;
}

void SpinButton::fire(Part part) {
    if (part == Part::Up) emit upClicked();
    else if (part == Part::Down) emit downClicked();
}

void SpinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressed_ = partAt(event->position().toPoint());
    over_ = pressed_ != Part::None;
    if (over_) repeat_.start(kFirstRepeatMs);
    update();
}

void SpinButton::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_ == Part::None) return;
    const bool over = partAt(event->position().toPoint()) == pressed_;
    if (over != over_) {
        over_ = over;
        update();
    }
}

void SpinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pressed_ == Part::None) return;
    const Part part = pressed_;
    const bool over = partAt(event->position().toPoint()) == part;
    pressed_ = Part::None;
    over_ = false;
    repeat_.stop();
    update();
    if (over) fire(part);
}

void SpinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int half = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        const Part part = i == 0 ? Part::Up : Part::Down;
        const bool sunken = pressed_ == part && over_;
        qDrawWinButton(&p, halves[i], palette(), sunken, &palette().brush(QPalette::Button));
        const int side = std::min(halves[i].width(), halves[i].height()) - 4;
        QRect glyph(0, 0, side, side);
        glyph.moveCenter(halves[i].center() + (sunken ? QPoint(1, 1) : QPoint()));
        (i == 0 ? up_ : down_).paint(&p, glyph, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    }
}

}  // namespace parelix
