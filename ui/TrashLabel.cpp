#include "ui/TrashLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>

namespace parelix {

namespace {

// On the accessibility bus the trash is a button whose press is a click.
class TrashAccessible : public QAccessibleWidget {
public:
    explicit TrashAccessible(TrashLabel* trash) : QAccessibleWidget(trash, QAccessible::Button) {}
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction()) emit static_cast<TrashLabel*>(widget())->clicked();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

QAccessibleInterface* trashAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("parelix::TrashLabel") && object && object->isWidgetType())
        return new TrashAccessible(static_cast<TrashLabel*>(object));
    return nullptr;
}

}  // namespace

TrashLabel::TrashLabel(QWidget* parent) : QLabel(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(trashAccessible);
        return true;
    }();
    (void)factoryInstalled;
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
