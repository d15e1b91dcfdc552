#include "ui/ResultsGlue.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <QTreeView>

#include "platform/Dialogs.h"
#include "platform/Drives.h"
#include "platform/Shell.h"
#include "ui/EcrPrin.h"
#include "ui/ResultsPage.h"
#include "ui/StatusBar.h"
#include "ui/TreeModel.h"
#include "ui/TreeViewBinder.h"

namespace parelix {

ResultsGlue::ResultsGlue(T_EcrPrin& window, ResultsPage& page)
    : browsing(window.trees(), *this), deletion(window.trees(), *this), w_(window), page_(page) {}

TreeId ResultsGlue::focusedTree() const {
    // The window's own focus widget: a spin button or trash click never takes it away.
    const QWidget* focus = w_.focusWidget();
    if (focus && focus == page_.dirList()) return TreeId::DirList;
    if (focus && focus == page_.dblList()) return TreeId::DblList;
    return TreeId::None;
}

void ResultsGlue::setHideSelection(TreeId tree, bool hide) {
    QTreeView* view = tree == TreeId::DirList   ? page_.dirList()
                      : tree == TreeId::DblList ? page_.dblList()
                                                : nullptr;
    if (!view) return;
    // The highlight of an unfocused tree is its inactive palette: blank it to hide.
    QPalette pal = view->palette();
    const QPalette base = QApplication::palette(view);
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 hide ? base.color(QPalette::Inactive, QPalette::Base) : base.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 hide ? base.color(QPalette::Inactive, QPalette::Text)
                      : base.color(QPalette::Active, QPalette::HighlightedText));
    view->setPalette(pal);
    view->setProperty("hideSelection", hide);
    (tree == TreeId::DirList ? page_.dirBinder() : page_.dblBinder())->setSelectionHidden(hide);
}

void ResultsGlue::setStatusText(const std::string& text) { w_.setStatusText(text); }
std::string ResultsGlue::statusText() const { return page_.etat()->simpleText().toStdString(); }
void ResultsGlue::appendLog(const std::string& line) { w_.appendLog(line); }
void ResultsGlue::setWaitCursor(bool on) { w_.setWaitCursor(on); }

void ResultsGlue::lockWindowUpdate(bool on) {
    // The lock is a batch of both result trees: their views hold their layout, painting
    // and selection while it lasts and catch up once at its end, where repainting them
    // node by node would cost a relayout each. The log and the status bar go on
    // painting, so that each line of a long walk shows as it comes.
    if (on) {
        w_.trees().dirList.beginBatch();
        w_.trees().dblList.beginBatch();
    } else {
        w_.trees().dblList.endBatch();
        w_.trees().dirList.endBatch();
    }
}

bool ResultsGlue::searchActive() const { return w_.engine().runState().active(); }

unsigned ResultsGlue::driveType(const std::string& root) { return GetDriveTypeA(root); }
int ResultsGlue::fileOperation(SHFILEOPSTRUCTA& op) { return SHFileOperationA(op); }
int ResultsGlue::shellExecute(const std::string& file, const std::string& directory, int show) {
    return ShellExecuteA(file, directory, show);
}
void ResultsGlue::showMessage(const std::string& text, const std::string& caption, MessageKind kind) {
    ShowMessage(text, caption, kind);
}
OtherCopy ResultsGlue::findOtherCopy(const std::string& file, const std::vector<std::string>& others) {
    // A long read leaves the window painted (input is dropped meanwhile), and a signal ends it.
    return findOtherCopyOnDisk(file, others, [this] {
        w_.eventTurn();
        return !ending();
    });
}

void ResultsGlue::deletionBegins() { qApp->installEventFilter(&inputDrop_); }

void ResultsGlue::deletionEnded() {
    qApp->removeEventFilter(&inputDrop_);
    w_.deletionEnded();
}

bool ResultsGlue::ending() const { return w_.ending(); }

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
    if (!modal) return true;
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
            if (view == dirList) w_.DirListDblClick();
            else w_.DblListDblClick();
        }
        return false;
    }
    // A press on a row is a pick even on the row already current, which the view does
    // not signal: the search run's end leaves it, and its tree, as the user left them.
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == dirList->viewport() || watched == dblList->viewport())) {
        auto* me = static_cast<QMouseEvent*>(event);
        const bool dir = watched == dirList->viewport();
        const QModelIndex index = (dir ? dirList : dblList)->indexAt(me->position().toPoint());
        if (me->button() == Qt::LeftButton && index.isValid())
            w_.notePick(dir ? dirList : dblList, (dir ? page_.dirModel() : page_.dblModel())->nodeOf(index));
        // A right click on a node of DirList selects it, with its counterpart, before PopMenu
        // opens: "Supprime les doubles de ce répertoire" acts on the folder pointed at. Beside
        // the rows it leaves the selection. The press goes no further (ResultsPage).
        if (dir && me->button() == Qt::RightButton && index.isValid() && w_.popupEnabled()) {
            const NodeId node = page_.dirModel()->nodeOf(index);
            w_.notePick(dirList, node);
            w_.trees().dirList.select(node);
        }
    }
    if (watched != dirList->viewport()) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton) {
            pressPos_ = me->position().toPoint();
            pressedOnNode_ = dirList->indexAt(pressPos_).isValid();
            armed_ = true;
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (!armed_ || pressedOnNode_ || dragging_ || !(me->buttons() & Qt::LeftButton)) break;
        if ((me->position().toPoint() - pressPos_).manhattanLength() < kDragThreshold) break;
        const NodeId node = w_.trees().dirList.selected();
        if (node == kNoNode || w_.trees().isSearchRoot(node)) break;
        armed_ = false;
        startDrag(node);
        return true;
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
