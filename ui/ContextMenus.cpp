#include "ui/ContextMenus.h"

#include <QAbstractItemView>
#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QShortcut>

namespace parelix {

namespace {

// The view whose request comes from the keyboard, while it is handled: its menu opens below
// the row instead of over it.
QAbstractItemView* keyboardRequest = nullptr;

void requestAtCurrentRow(QAbstractItemView* view) {
    const QRect row = view->visualRect(view->currentIndex());
    keyboardRequest = view;
    emit view->customContextMenuRequested(row.isValid() ? row.center() : QPoint(-1, -1));
    keyboardRequest = nullptr;
}

// The menu key arrives as a context menu event of the keyboard, placed wherever the platform
// chose (the view's middle): it is turned into a request at the current row.
class MenuKeyFilter : public QObject {
public:
    explicit MenuKeyFilter(QAbstractItemView* view) : QObject(view), view_(view) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent*>(event)->reason() != QContextMenuEvent::Mouse) {
            requestAtCurrentRow(view_);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QAbstractItemView* view_;
};

}  // namespace

void bindMenuKeys(QAbstractItemView* view) {
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* filter = new MenuKeyFilter(view);
    view->installEventFilter(filter);
    view->viewport()->installEventFilter(filter);
    // Shift+F10 comes as a context menu event on some platforms only.
    auto* key = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), view);
    key->setContext(Qt::WidgetShortcut);
    QObject::connect(key, &QShortcut::activated, view, [view] { requestAtCurrentRow(view); });
}

void popupMenu(QMenu* menu, QAbstractItemView* view, QPoint pos) {
    const QRect row = view->visualRect(view->currentIndex());
    if ((keyboardRequest == view || !view->indexAt(pos).isValid()) && row.isValid()) pos = row.bottomLeft();
    if (!view->viewport()->rect().contains(pos)) pos = QPoint(0, 0);
    menu->popup(view->viewport()->mapToGlobal(pos));
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || !action->isEnabled() || !action->isVisible()) continue;
        menu->setActiveAction(action);
        break;
    }
}

}  // namespace parelix
