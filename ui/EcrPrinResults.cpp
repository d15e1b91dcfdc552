// Results browsing and deletion: the window's side. The behaviour lives in results/Browsing
// and results/Deletion, which see the window through ResultsGlue; this file binds the
// controls of the results page to the handlers.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QShortcut>
#include <QTimer>
#include <QTreeView>

#include "ui/EcrPrin.h"
#include "ui/ResultsGlue.h"
#include "ui/ResultsPage.h"
#include "ui/SpinButton.h"
#include "ui/TrashLabel.h"
#include "ui/TreeModel.h"
#include "ui/TreeViewBinder.h"

namespace parelix {

void T_EcrPrin::DirListChange(NodeId node) { results_->browsing.dirListChange(node); }
void T_EcrPrin::DblListChange(NodeId node) { results_->browsing.dblListChange(node); }
// During a deletion nothing else acts: input is dropped, and a handler called meanwhile does
// nothing.
void T_EcrPrin::BtnPrecSuivUpClick() {
    if (!deleting()) results_->browsing.previousDuplicate();
}
void T_EcrPrin::BtnPrecSuivDownClick() {
    if (!deleting()) results_->browsing.nextDuplicate();
}
void T_EcrPrin::ToutDeplierClick() {
    if (!deleting()) results_->browsing.expandAll();
}
void T_EcrPrin::ToutReplierClick() {
    if (!deleting()) results_->browsing.collapseAll();
}
void T_EcrPrin::DirListDblClick() {
    if (!deleting()) results_->browsing.dirListDblClick();
}
void T_EcrPrin::DblListDblClick() {
    if (!deleting()) results_->browsing.dblListDblClick();
}
void T_EcrPrin::PoubelleClick() { results_->deletion.trashClick(); }

bool T_EcrPrin::PoubelleDragOver(QObject* source) { return qobject_cast<QTreeView*>(source) != nullptr; }

void T_EcrPrin::PoubelleDragDrop(QObject* source) {
    // Only the result trees hold nodes that can go to the trash.
    if (source == resultsPage_->dirList()) results_->deletion.dropOnTrash(TreeId::DirList);
    else if (source == resultsPage_->dblList()) results_->deletion.dropOnTrash(TreeId::DblList);
}

void T_EcrPrin::SupDblsDuRepClick() { results_->deletion.deleteDuplicatesOfDirectory(); }

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
    PopMenu->addSeparator();
    add(QStringLiteral("Tout &Déplier"), &T_EcrPrin::ToutDeplierClick);
    add(QStringLiteral("Tout &Replier"), &T_EcrPrin::ToutReplierClick);
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

    // Selection changes follow links both ways; ResultTrees keeps its expanding and
    // collapsing rules on the same events.
    trees_.dirList.events.change = [this](NodeId n) { DirListChange(n); };
    trees_.dblList.events.change = [this](NodeId n) { DblListChange(n); };

    buildPopMenu();

    // What the user picks while a search run goes on outlasts the run's own choice.
    connect(resultsPage_->dirBinder(), &TreeViewBinder::userSelected, this,
            [this, dirList](NodeId n) { notePick(dirList, n); });
    connect(resultsPage_->dblBinder(), &TreeViewBinder::userSelected, this,
            [this, dblList](NodeId n) { notePick(dblList, n); });

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

    results_->setHideSelection(TreeId::DirList, false);
    results_->setHideSelection(TreeId::DblList, false);
}

}  // namespace parelix
