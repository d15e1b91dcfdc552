// Path selection handlers: the drive tree DskList and the search list RepList. The logic
// lives in the session's PathSelection, the controls in SelectionPage; this file binds the
// one to the other.
#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QShortcut>
#include <QToolButton>

#include "ui/EcrPrin.h"
#include "session/PathSelection.h"
#include "ui/SelectionPage.h"

namespace parelix {

namespace {

std::string componentName(QObject* sender) {
    return sender ? sender->objectName().toStdString() : std::string();
}

}  // namespace

void T_EcrPrin::attachSelection() {
    SelectionPage* page = selectionPage_;
    PathSelectionView view;
    view.waitCursor = [this](bool on) { setWaitCursor(on); };
    view.entryInserted = [this, page](int index, const std::string& text) {
        page->insertEntry(index, text, session_.isReferencePath(text));
    };
    view.entryRemoved = [page](int index) { page->removeEntry(index); };
    view.entrySelected = [page](int index) { page->selectEntry(index); };
    view.removeAndSearchEnabled = [page](bool enabled) { page->setRemoveAndSearchEnabled(enabled); };
    session_.attach(this, std::move(view));

    connect(page->repList(), &QListWidget::itemSelectionChanged, this,
            [this] { session_.pathSelection().selectEntry(selectionPage_->pickedEntry()); });

    // A reference folder is marked from RepList's context menu (the menu key or Shift+F10
    // open it from the keyboard), or by Ctrl+R on the list.
    QListWidget* list = page->repList();
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
        const int entry = selectionPage_->pickedEntry();
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
    const int entry = selectionPage_->pickedEntry();
    if (entry < 0) return;
    const std::string path = selectionPage_->searchPaths()[static_cast<std::size_t>(entry)];
    const bool reference = !session_.isReferencePath(path);
    session_.markReference(path, reference);
    selectionPage_->setEntryReference(entry, reference);
}

void T_EcrPrin::BtnAjouteClick(QObject* sender) { session_.pathSelection().add(componentName(sender)); }
void T_EcrPrin::BtnEnleveClick(QObject* sender) { session_.pathSelection().remove(componentName(sender)); }
void T_EcrPrin::DskListExpanded(NodeId node) { session_.pathSelection().nodeExpanded(node); }
void T_EcrPrin::DskListChange(NodeId node) { session_.pathSelection().selectionChanged(node); }

std::vector<std::string> T_EcrPrin::searchPaths() const { return selectionPage_->searchPaths(); }

}  // namespace parelix
