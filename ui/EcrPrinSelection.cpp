// Path selection handlers: the drive tree DskList and the search list RepList. The logic
// lives in PathSelection, the controls in SelectionPage; this file binds the one to the other.
#include <QListWidget>
#include <QToolButton>

#include "ui/EcrPrin.h"
#include "ui/PathSelection.h"
#include "ui/SelectionPage.h"

namespace parelix {

namespace {

std::string componentName(QObject* sender) {
    return sender ? sender->objectName().toStdString() : std::string();
}

}  // namespace

void T_EcrPrin::fillDriveTree() {
    SelectionPage* page = selectionPage_;
    PathSelectionView view;
    view.waitCursor = [this](bool on) { setWaitCursor(on); };
    view.entryInserted = [page](int index, const std::string& text) { page->insertEntry(index, text); };
    view.entryRemoved = [page](int index) { page->removeEntry(index); };
    view.entrySelected = [page](int index) { page->selectEntry(index); };
    view.removeAndSearchEnabled = [page](bool enabled) { page->setRemoveAndSearchEnabled(enabled); };
    selection_ = std::make_unique<PathSelection>(dskTree_, std::move(view));

    connect(page->repList(), &QListWidget::itemSelectionChanged, this,
            [this] { selection_->selectEntry(selectionPage_->pickedEntry()); });

    dskTree_.events.expanded = [this](NodeId node) { DskListExpanded(node); };
    dskTree_.events.change = [this](NodeId node) { DskListChange(node); };

    selection_->fillDriveTree();
}

void T_EcrPrin::BtnAjouteClick(QObject* sender) {
    if (selection_) selection_->add(componentName(sender));
}

void T_EcrPrin::BtnEnleveClick(QObject* sender) {
    if (selection_) selection_->remove(componentName(sender));
}

void T_EcrPrin::DskListExpanded(NodeId node) {
    if (selection_) selection_->nodeExpanded(node);
}

void T_EcrPrin::DskListChange(NodeId node) {
    if (selection_) selection_->selectionChanged(node);
}

std::vector<std::string> T_EcrPrin::searchPaths() const { return selectionPage_->searchPaths(); }

}  // namespace parelix
