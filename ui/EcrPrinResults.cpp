// Results browsing and deletion: the window's side. The behaviour lives in results/Browsing
// and results/Deletion; this file binds the controls to it and gives it the window.
#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QShortcut>
#include <QTimer>
#include <QTreeView>

#include "platform/Dialogs.h"
#include "platform/Drives.h"
#include "platform/Shell.h"
#include "results/Browsing.h"
#include "results/Deletion.h"
#include "ui/EcrPrin.h"
#include "ui/SpinButton.h"
#include "ui/TrashLabel.h"
#include "ui/TreeModel.h"

namespace parelix {

namespace {

// The toolkit's drag threshold for trees, as the desktop it imitates had it.
constexpr int kDragThreshold = 5;

// What browsing and deletion see of the window. A child of the window, found by name.
class ResultsGlue : public QObject, public ResultsWindow {
public:
    explicit ResultsGlue(T_EcrPrin& window)
        : QObject(&window), w(window), browsing(window.trees, *this), deletion(window.trees, *this) {
        setObjectName(QStringLiteral("ResultsGlue"));
    }

    TreeId focusedTree() const override {
        // The window's own focus widget: a spin button or trash click never takes it away.
        const QWidget* focus = w.focusWidget();
        if (focus && focus == w.DirList) return TreeId::DirList;
        if (focus && focus == w.DblList) return TreeId::DblList;
        return TreeId::None;
    }

    void setHideSelection(TreeId tree, bool hide) override {
        QTreeView* view = tree == TreeId::DirList ? w.DirList : tree == TreeId::DblList ? w.DblList : nullptr;
        if (!view) return;
        // The highlight of an unfocused tree is its inactive palette: blank it to hide.
        QPalette pal = view->palette();
        const QPalette base = QApplication::palette(view);
        pal.setColor(QPalette::Inactive, QPalette::Highlight,
                     hide ? base.color(QPalette::Inactive, QPalette::Base)
                          : base.color(QPalette::Active, QPalette::Highlight));
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     hide ? base.color(QPalette::Inactive, QPalette::Text)
                          : base.color(QPalette::Active, QPalette::HighlightedText));
        view->setPalette(pal);
        view->setProperty("hideSelection", hide);
    }

    void setStatusText(const std::string& text) override { w.setStatusText(text); }
    void appendLog(const std::string& line) override { w.appendLog(line); }
    void setWaitCursor(bool on) override { w.setWaitCursor(on); }
    void lockWindowUpdate(bool on) override {
        // The lock is a batch of both result trees: their views hold their layout, painting
        // and selection while it lasts and catch up once at its end, where repainting them
        // node by node would cost a relayout each. The log and the status bar go on
        // painting, so that each line of a long walk shows as it comes.
        if (on) {
            w.trees.dirList.beginBatch();
            w.trees.dblList.beginBatch();
        } else {
            w.trees.dblList.endBatch();
            w.trees.dirList.endBatch();
        }
    }
    bool searchActive() const override { return w.engine && w.engine->runState().active(); }

    unsigned driveType(const std::string& root) override { return GetDriveTypeA(root); }
    int fileOperation(SHFILEOPSTRUCTA& op) override { return SHFileOperationA(op); }
    int shellExecute(const std::string& file, const std::string& directory, int show) override {
        return ShellExecuteA(file, directory, show);
    }
    void showMessage(const std::string& text, const std::string& caption, MessageKind kind) override {
        ShowMessage(text, caption, kind);
    }
    OtherCopy findOtherCopy(const std::string& file, const std::vector<std::string>& others) override {
        return findOtherCopyOnDisk(file, others);
    }

    // DirList's mouse moves (xxxListMouseMove): a drag of the selected node that starts
    // away from any node, which the tree's own drag does not cover. And the double clicks
    // beside the nodes of both trees, for which the views signal nothing: they open the
    // selected node as well.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick &&
            (watched == w.DirList->viewport() || watched == w.DblList->viewport())) {
            auto* me = static_cast<QMouseEvent*>(event);
            QTreeView* view = watched == w.DirList->viewport() ? w.DirList : w.DblList;
            if (me->button() == Qt::LeftButton && !view->indexAt(me->position().toPoint()).isValid()) {
                if (view == w.DirList) w.DirListDblClick();
                else w.DblListDblClick();
            }
            return false;
        }
        // A press on a row is a pick even on the row already current, which the view does
        // not signal: the search run's end leaves it, and its tree, as the user left them.
        if (event->type() == QEvent::MouseButtonPress &&
            (watched == w.DirList->viewport() || watched == w.DblList->viewport())) {
            auto* me = static_cast<QMouseEvent*>(event);
            const bool dir = watched == w.DirList->viewport();
            const QModelIndex index = (dir ? w.DirList : w.DblList)->indexAt(me->position().toPoint());
            if (me->button() == Qt::LeftButton && index.isValid())
                w.notePick(dir ? w.DirList : w.DblList, (dir ? w.dirModel : w.dblModel)->nodeOf(index));
        }
        if (watched != w.DirList->viewport()) return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() == Qt::LeftButton) {
                pressPos_ = me->position().toPoint();
                pressedOnNode_ = w.DirList->indexAt(pressPos_).isValid();
                armed_ = true;
            }
            break;
        }
        case QEvent::MouseMove: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (!armed_ || pressedOnNode_ || dragging_ || !(me->buttons() & Qt::LeftButton)) break;
            if ((me->position().toPoint() - pressPos_).manhattanLength() < kDragThreshold) break;
            const NodeId node = w.trees.dirList.selected();
            if (node == kNoNode || w.trees.isSearchRoot(node)) break;
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

    void startDrag(NodeId node) {
        const QModelIndex index = w.dirModel->indexOf(node);
        if (!index.isValid()) return;
        auto* drag = new QDrag(w.DirList);
        drag->setMimeData(w.dirModel->mimeData({index}));
        dragging_ = true;
        drag->exec(Qt::MoveAction);
        dragging_ = false;
    }

    T_EcrPrin& w;
    Browsing browsing;
    Deletion deletion;

private:
    QPoint pressPos_;
    bool pressedOnNode_ = false;
    bool armed_ = false;
    bool dragging_ = false;
};

ResultsGlue& glue(const T_EcrPrin* window) {
    auto* g = window->findChild<ResultsGlue*>(QStringLiteral("ResultsGlue"), Qt::FindDirectChildrenOnly);
    Q_ASSERT(g);
    return *g;
}

}  // namespace

void T_EcrPrin::DirListChange(NodeId node) { glue(this).browsing.dirListChange(node); }
void T_EcrPrin::DblListChange(NodeId node) { glue(this).browsing.dblListChange(node); }
void T_EcrPrin::BtnPrecSuivUpClick() { glue(this).browsing.previousDuplicate(); }
void T_EcrPrin::BtnPrecSuivDownClick() { glue(this).browsing.nextDuplicate(); }
void T_EcrPrin::ToutDeplierClick() { glue(this).browsing.expandAll(); }
void T_EcrPrin::ToutReplierClick() { glue(this).browsing.collapseAll(); }
void T_EcrPrin::DirListDblClick() { glue(this).browsing.dirListDblClick(); }
void T_EcrPrin::DblListDblClick() { glue(this).browsing.dblListDblClick(); }
void T_EcrPrin::PoubelleClick() { glue(this).deletion.trashClick(); }

bool T_EcrPrin::PoubelleDragOver(QObject* source) { return qobject_cast<QTreeView*>(source) != nullptr; }

void T_EcrPrin::PoubelleDragDrop(QObject* source) {
    // Only the result trees hold nodes that can go to the trash.
    if (source == DirList) glue(this).deletion.dropOnTrash(TreeId::DirList);
    else if (source == DblList) glue(this).deletion.dropOnTrash(TreeId::DblList);
}

void T_EcrPrin::SupDblsDuRepClick() { glue(this).deletion.deleteDuplicatesOfDirectory(); }

void T_EcrPrin::setupResultsHandlers() {
    auto* g = new ResultsGlue(*this);

    // Selection changes follow links both ways; ResultTrees keeps its expanding and
    // collapsing rules on the same events.
    trees.dirList.events.change = [this](NodeId n) { DirListChange(n); };
    trees.dblList.events.change = [this](NodeId n) { DblListChange(n); };

    PopMenu->clear();
    auto add = [this](const QString& caption, void (T_EcrPrin::*handler)()) {
        QAction* a = PopMenu->addAction(caption);
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    add(QStringLiteral("Double &Précédent"), &T_EcrPrin::BtnPrecSuivUpClick);
    add(QStringLiteral("Double &Suivant"), &T_EcrPrin::BtnPrecSuivDownClick);
    PopMenu->addSeparator();
    add(QStringLiteral("Supprime les doubles de ce répertoire"), &T_EcrPrin::SupDblsDuRepClick);
    PopMenu->addSeparator();
    add(QStringLiteral("Tout &Déplier"), &T_EcrPrin::ToutDeplierClick);
    add(QStringLiteral("Tout &Replier"), &T_EcrPrin::ToutReplierClick);

    // What the user picks while a search run goes on outlasts the run's own choice.
    connect(dirModel, &TreeModel::userSelected, this, [this](NodeId n) { notePick(DirList, n); });
    connect(dblModel, &TreeModel::userSelected, this, [this](NodeId n) { notePick(DblList, n); });

    connect(BtnPrecSuiv, &SpinButton::upClicked, this, [this] { BtnPrecSuivUpClick(); });
    connect(BtnPrecSuiv, &SpinButton::downClicked, this, [this] { BtnPrecSuivDownClick(); });
    // A double click in a row's band beside its text reaches the view's signal with no
    // index as well as the filter above: only the filter answers it, so that it opens once.
    connect(DirList, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) DirListDblClick();
    });
    connect(DblList, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) DblListDblClick();
    });

    connect(Poubelle, &TrashLabel::clicked, this, [this] { PoubelleClick(); });
    // The trash never takes the focus; the Delete key on a focused result tree does what a
    // click on it does then, so that the keyboard reaches it too.
    for (QTreeView* tree : {DirList, DblList}) {
        auto* key = new QShortcut(QKeySequence(Qt::Key_Delete), tree);
        key->setContext(Qt::WidgetShortcut);
        connect(key, &QShortcut::activated, this, [this] { PoubelleClick(); });
    }
    Poubelle->dragOver = [this](QObject* source) { return PoubelleDragOver(source); };
    // The deletion may ask through modal dialogs: run it once the drag has ended.
    Poubelle->dropped = [this](QObject* source) {
        QPointer<QObject> from(source);
        QTimer::singleShot(0, this, [this, from] {
            if (from) PoubelleDragDrop(from);
        });
    };

    // DirList is a drag source; DblList is not.
    QApplication::setStartDragDistance(kDragThreshold);
    DirList->setDragEnabled(true);
    DirList->setDragDropMode(QAbstractItemView::DragOnly);
    DirList->setDefaultDropAction(Qt::MoveAction);
    DblList->setDragEnabled(false);
    DirList->viewport()->installEventFilter(g);
    DblList->viewport()->installEventFilter(g);

    g->setHideSelection(TreeId::DirList, false);
    g->setHideSelection(TreeId::DblList, false);
}

}  // namespace parelix
