#include "ui/ResultsGlue.h"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeView>

#include "ui/EcrPrin.h"
#include "ui/ResultsPage.h"
#include "ui/TreeModel.h"

namespace parelix {

ResultsGlue::ResultsGlue(T_EcrPrin& window, ResultsPage& page) : window_(window), page_(page) {
    inputDrop_.onEscape = [this] { window_.EscapeDuringDeletion(); };
}

void ResultsGlue::holdInput(bool on) {
    if (on) qApp->installEventFilter(&inputDrop_);
    else qApp->removeEventFilter(&inputDrop_);
}

namespace {

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
        return true;
    default:
        return false;
    }
}

}  // namespace

bool InputDrop::eventFilter(QObject* watched, QEvent* event) {
    // A window first gets what the window system sends, then hands it to its widget, which
    // is where input is judged.
    if (!isInput(event->type()) || watched->isWindowType()) return false;
    // The deletion's own question and message boxes are modal: they take their input.
    const QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
        // A key first goes by as a shortcut's override, and goes no further when a shortcut
        // (the window's Escape) takes it.
        const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
        if (key && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && onEscape) onEscape();
        return true;
    }
    QObject* o = watched;
    while (o && !o->isWidgetType()) o = o->parent();
    const auto* w = static_cast<QWidget*>(o);
    return !(w && (w == modal || modal->isAncestorOf(w)));
}

// DirList's mouse moves (xxxListMouseMove): a drag of the selected node that starts away
// from any node, which the tree's own drag does not cover. And the double clicks beside
// the nodes of both trees, for which the views signal nothing: they open the selected node
// as well.
bool ResultsGlue::eventFilter(QObject* watched, QEvent* event) {
    QTreeView* dirList = page_.dirList();
    QTreeView* dblList = page_.dblList();
    if (event->type() == QEvent::MouseButtonDblClick &&
        (watched == dirList->viewport() || watched == dblList->viewport())) {
        auto* me = static_cast<QMouseEvent*>(event);
        QTreeView* view = watched == dirList->viewport() ? dirList : dblList;
        if (me->button() == Qt::LeftButton && !view->indexAt(me->position().toPoint()).isValid()) {
            if (view == dirList) window_.DirListDblClick();
            else window_.DblListDblClick();
        }
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == dirList->viewport() || watched == dblList->viewport()))
        notePress(watched == dirList->viewport(), *static_cast<QMouseEvent*>(event));
    return watched == dirList->viewport() && dragFromDirList(*event);
}

// A press on a row, even on the row already current, which the view does not signal.
void ResultsGlue::notePress(bool dir, const QMouseEvent& me) {
    const QModelIndex index = (dir ? page_.dirList() : page_.dblList())->indexAt(me.position().toPoint());
    if (!index.isValid()) return;
    window_.xxxListMouseDown(dir ? TreeId::DirList : TreeId::DblList,
                             (dir ? page_.dirModel() : page_.dblModel())->nodeOf(index), me.button());
}

bool ResultsGlue::dragFromDirList(QEvent& event) {
    QTreeView* dirList = page_.dirList();
    switch (event.type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(&event);
        if (me->button() == Qt::LeftButton) {
            pressPos_ = me->position().toPoint();
            pressedOnNode_ = dirList->indexAt(pressPos_).isValid();
            armed_ = true;
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(&event);
        if (!armed_ || pressedOnNode_ || dragging_ || !(me->buttons() & Qt::LeftButton)) break;
        if ((me->position().toPoint() - pressPos_).manhattanLength() < kDragThreshold) break;
        armed_ = false;
        if (window_.xxxListMouseMove()) return true;
        armed_ = true;   // nothing to drag: a later move asks again
        break;
    }
    case QEvent::MouseButtonRelease:
        armed_ = false;
        break;
    default:
        break;
    }
    return false;
}

void ResultsGlue::startDrag(NodeId node) {
    const QModelIndex index = page_.dirModel()->indexOf(node);
    if (!index.isValid()) return;
    auto* drag = new QDrag(page_.dirList());
    drag->setMimeData(page_.dirModel()->mimeData({index}));
    dragging_ = true;
    drag->exec(Qt::MoveAction);
    dragging_ = false;
}

}  // namespace parelix
