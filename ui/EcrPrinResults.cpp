// Results browsing and deletion: the window's side. The behaviour lives in the session
// (results/Browsing and results/Deletion below it), which sees the window as its view; this
// file binds the controls of the results page to the handlers.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPalette>
#include <QPointer>
#include <QShortcut>
#include <QTimer>
#include <QTreeView>

#include "results/Messages.h"
#include "ui/EcrPrin.h"
#include "ui/ResultsGlue.h"
#include "ui/ResultsPage.h"
#include "ui/SpinButton.h"
#include "ui/StatusBar.h"
#include "ui/TrashLabel.h"
#include "ui/TreeViewBinder.h"

namespace parelix {

void T_EcrPrin::DirListChange(NodeId node) { session_.dirListChange(node); }
void T_EcrPrin::DblListChange(NodeId node) { session_.dblListChange(node); }
void T_EcrPrin::BtnPrecSuivUpClick() { session_.previousDuplicate(); }
void T_EcrPrin::BtnPrecSuivDownClick() { session_.nextDuplicate(); }
void T_EcrPrin::ToutDeplierClick() { session_.expandAll(); }
void T_EcrPrin::ToutReplierClick() { session_.collapseAll(); }
void T_EcrPrin::DirListDblClick() { session_.openDirListSelection(); }
void T_EcrPrin::DblListDblClick() { session_.openDblListSelection(); }
void T_EcrPrin::PoubelleClick() { session_.trashClick(); }

void T_EcrPrin::EscapeDuringDeletion() { session_.escapePressed(); }

void T_EcrPrin::xxxListMouseDown(TreeId tree, NodeId node, Qt::MouseButton button) {
    // A press on a row is a pick even on the row already current: the search run's end
    // leaves it, and its tree, as the user left them.
    if (button == Qt::LeftButton) session_.notePick(tree, node);
    // A right click on a node of DirList selects it, with its counterpart, before PopMenu
    // opens: "Supprime les doubles de ce répertoire" acts on the folder pointed at. Beside
    // the rows it leaves the selection. The press goes no further (ResultsPage).
    if (tree == TreeId::DirList && button == Qt::RightButton && session_.popupEnabled())
        session_.pointDirListNode(node);
}

bool T_EcrPrin::xxxListMouseMove() {
    const NodeId node = session_.trees().dirList.selected();
    if (node == kNoNode || session_.trees().isSearchRoot(node)) return false;
    results_->startDrag(node);
    return true;
}

bool T_EcrPrin::PoubelleDragOver(QObject* source) { return qobject_cast<QTreeView*>(source) != nullptr; }

void T_EcrPrin::PoubelleDragDrop(QObject* source) {
    // Only the result trees hold nodes that can go to the trash.
    if (source == resultsPage_->dirList()) session_.dropOnTrash(TreeId::DirList);
    else if (source == resultsPage_->dblList()) session_.dropOnTrash(TreeId::DblList);
}

void T_EcrPrin::SupDblsDuRepClick() { session_.deleteDuplicatesOfDirectory(); }
void T_EcrPrin::SupDblsDuRepEtSousRepClick() { session_.deleteDuplicatesOfTree(); }
void T_EcrPrin::EnrListeDblsClick() { session_.saveDuplicateList(); }
void T_EcrPrin::AnnuleEnvoiClick() { session_.takeBackLast(); }

// --- What browsing and deletion show ---------------------------------------------------

TreeId T_EcrPrin::focusedTree() const {
    // The window's own focus widget: a spin button or trash click never takes it away.
    const QWidget* focus = focusWidget();
    if (focus && focus == resultsPage_->dirList()) return TreeId::DirList;
    if (focus && focus == resultsPage_->dblList()) return TreeId::DblList;
    return TreeId::None;
}

void T_EcrPrin::setHideSelection(TreeId tree, bool hide) {
    QTreeView* view = tree == TreeId::DirList   ? resultsPage_->dirList()
                      : tree == TreeId::DblList ? resultsPage_->dblList()
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
    (tree == TreeId::DirList ? resultsPage_->dirBinder() : resultsPage_->dblBinder())->setSelectionHidden(hide);
}

void T_EcrPrin::showSpaceFigures(const std::string& text) {
    resultsPage_->setSpaceFigures(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

std::string T_EcrPrin::statusText() const { return resultsPage_->etat()->simpleText().toStdString(); }

void T_EcrPrin::buildPopMenu() {
    PopMenu->clear();
    auto add = [this](const QString& caption, void (T_EcrPrin::*handler)()) {
        QAction* a = PopMenu->addAction(caption);
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    add(QStringLiteral("Double &Précédent"), &T_EcrPrin::BtnPrecSuivUpClick);
    add(QStringLiteral("Double &Suivant"), &T_EcrPrin::BtnPrecSuivDownClick);
    PopMenu->addSeparator();
    add(QStringLiteral("Supprime les doubles de ce répertoire"), &T_EcrPrin::SupDblsDuRepClick);
    add(QString::fromUtf8(kTreeWalkItem),
        &T_EcrPrin::SupDblsDuRepEtSousRepClick);
    add(QStringLiteral("&") + QString::fromUtf8(kTakeBackItem), &T_EcrPrin::AnnuleEnvoiClick);
    // It answers Ctrl+Z anywhere on the results page too, and the menu shows the key.
    QAction* takeBack = PopMenu->actions().constLast();
    takeBack->setShortcut(QKeySequence::Undo);
    takeBack->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    resultsPage_->addAction(takeBack);
    PopMenu->addSeparator();
    add(QStringLiteral("Tout &Déplier"), &T_EcrPrin::ToutDeplierClick);
    add(QStringLiteral("Tout &Replier"), &T_EcrPrin::ToutReplierClick);
    PopMenu->addSeparator();
    add(QString::fromUtf8(kSaveListItem), &T_EcrPrin::EnrListeDblsClick);
    // The same action answers Ctrl+S anywhere on the results page, and the menu shows the key.
    QAction* save = PopMenu->actions().constLast();
    save->setShortcut(QKeySequence::Save);
    save->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    resultsPage_->addAction(save);
    // DblList's menu: the steps between duplicates and the saved list, the same actions.
    DblMenu->clear();
    const QList<QAction*> items = PopMenu->actions();
    DblMenu->addActions({items[0], items[1]});
    DblMenu->addSeparator();
    DblMenu->addAction(save);
}

void T_EcrPrin::setupTrashHandlers() {
    TrashLabel* trash = resultsPage_->poubelle();
    connect(trash, &TrashLabel::clicked, this, [this] { PoubelleClick(); });
    // The trash never takes the focus; the Delete key on a focused result tree does what a
    // click on it does then, so that the keyboard reaches it too.
    for (QTreeView* tree : {resultsPage_->dirList(), resultsPage_->dblList()}) {
        auto* key = new QShortcut(QKeySequence(Qt::Key_Delete), tree);
        key->setContext(Qt::WidgetShortcut);
        connect(key, &QShortcut::activated, this, [this] { PoubelleClick(); });
    }
    trash->dragOver = [this](QObject* source) { return PoubelleDragOver(source); };
    // The deletion may ask through modal dialogs: run it once the drag has ended.
    trash->dropped = [this](QObject* source) {
        QPointer<QObject> from(source);
        QTimer::singleShot(0, this, [this, from] {
            if (from) PoubelleDragDrop(from);
        });
    };
}

void T_EcrPrin::setupResultsHandlers() {
    results_ = std::make_unique<ResultsGlue>(*this, *resultsPage_);
    QTreeView* dirList = resultsPage_->dirList();
    QTreeView* dblList = resultsPage_->dblList();

    buildPopMenu();

    // What the user picks while a search run goes on outlasts the run's own choice.
    connect(resultsPage_->dirBinder(), &TreeViewBinder::userSelected, this,
            [this](NodeId n) { session_.notePick(TreeId::DirList, n); });
    connect(resultsPage_->dblBinder(), &TreeViewBinder::userSelected, this,
            [this](NodeId n) { session_.notePick(TreeId::DblList, n); });

    SpinButton* spin = resultsPage_->btnPrecSuiv();
    connect(spin, &SpinButton::upClicked, this, [this] { BtnPrecSuivUpClick(); });
    connect(spin, &SpinButton::downClicked, this, [this] { BtnPrecSuivDownClick(); });
    // A double click in a row's band beside its text reaches the view's signal with no
    // index as well as the glue's filter: only the filter answers it, so that it opens once.
    connect(dirList, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) DirListDblClick();
    });
    connect(dblList, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) DblListDblClick();
    });

    setupTrashHandlers();

    // DirList is a drag source; DblList is not.
    QApplication::setStartDragDistance(ResultsGlue::kDragThreshold);
    dirList->setDragEnabled(true);
    dirList->setDragDropMode(QAbstractItemView::DragOnly);
    dirList->setDefaultDropAction(Qt::MoveAction);
    dblList->setDragEnabled(false);
    dirList->viewport()->installEventFilter(results_.get());
    dblList->viewport()->installEventFilter(results_.get());

    setHideSelection(TreeId::DirList, false);
    setHideSelection(TreeId::DblList, false);
}

}  // namespace parelix
