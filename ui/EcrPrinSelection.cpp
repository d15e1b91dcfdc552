// Path selection handlers: the drive tree DskList with its context menu PopMenuDsk, the
// search list RepList with its context menu RepMenu, and the exclusion list ExcList. The logic
// lives in the session's PathSelection, reached through the session; the controls in
// SelectionPage; this file binds the one to the other.
#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QShortcut>
#include <QToolButton>

#include "ui/EcrPrin.h"
#include "ui/SelectionPage.h"

namespace parelix {

void T_EcrPrin::attachSelection() {
    SelectionPage* page = selectionPage_;
    PathSelectionView view;
    view.waitCursor = [this](bool on) { setWaitCursor(on); };
    view.entryInserted = [this, page](PathList list, int index, const std::string& text) {
        page->insertEntry(list, index, text, list == PathList::Search && session_.isReferencePath(text));
    };
    view.entryRemoved = [page](PathList list, int index) { page->removeEntry(list, index); };
    view.entrySelected = [page](PathList list, int index) { page->selectEntry(list, index); };
    view.buttonsEnabled = [page](bool remove, bool search) { page->setButtonsEnabled(remove, search); };
    session_.attach(this, std::move(view));

    for (PathList list : {PathList::Search, PathList::Exclusions}) {
        connect(page->list(list), &QListWidget::itemSelectionChanged, this,
                [this, list] { session_.pickEntry(list, selectionPage_->pickedEntry(list)); });
    }

    // A reference folder is marked from RepList's context menu (the menu key or Shift+F10
    // open it from the keyboard), or by Ctrl+R on the list.
    QListWidget* list = page->list(PathList::Search);
    RepMenu = new QMenu(this);
    RepMenu->setObjectName(QStringLiteral("RepMenu"));
    RepReference = RepMenu->addAction(QStringLiteral("Répertoire de &référence (jamais supprimé)"));
    RepReference->setCheckable(true);
    RepReference->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(RepReference, &QAction::triggered, this, [this] { RepListReferenceClick(); });
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QListWidget::customContextMenuRequested, this, [this, list](QPoint at) {
        // The entry under the pointer (or the selected one, from the keyboard) is the one marked.
        if (QListWidgetItem* item = list->itemAt(at)) list->setCurrentItem(item);
        const int entry = selectionPage_->pickedEntry(PathList::Search);
        if (entry < 0) return;
        RepReference->setChecked(selectionPage_->entryReference(entry));
        const QRect row = list->visualItemRect(list->item(entry));
        RepMenu->exec(list->viewport()->mapToGlobal(list->itemAt(at) ? at : row.bottomLeft()));
    });
    auto* key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), list);
    key->setContext(Qt::WidgetShortcut);
    connect(key, &QShortcut::activated, this, [this] { RepListReferenceClick(); });
}

void T_EcrPrin::RepListReferenceClick() {
    const int entry = selectionPage_->pickedEntry(PathList::Search);
    if (entry < 0) return;
    const std::string path = selectionPage_->searchPaths()[static_cast<std::size_t>(entry)];
    const bool reference = !session_.isReferencePath(path);
    session_.markReference(path, reference);
    selectionPage_->setEntryReference(entry, reference);
}

void T_EcrPrin::BtnAjouteClick() { session_.addSearchPath(); }
void T_EcrPrin::BtnEnleveClick() { session_.removeEntry(selectionPage_->listInUse()); }
void T_EcrPrin::ExclureClick() { session_.excludeSelected(); }

std::vector<std::string> T_EcrPrin::searchPaths() const { return selectionPage_->searchPaths(); }

}  // namespace parelix
