// Path selection handlers: the drive tree DskList and the search list RepList. The logic
// lives in the session's PathSelection, the controls in SelectionPage; this file binds the
// one to the other.
#include <QListWidget>
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
    view.entryInserted = [page](int index, const std::string& text) { page->insertEntry(index, text); };
    view.entryRemoved = [page](int index) { page->removeEntry(index); };
    view.entrySelected = [page](int index) { page->selectEntry(index); };
    view.removeAndSearchEnabled = [page](bool enabled) { page->setRemoveAndSearchEnabled(enabled); };
    session_.attach(this, std::move(view));

    connect(page->repList(), &QListWidget::itemSelectionChanged, this,
            [this] { session_.pathSelection().selectEntry(selectionPage_->pickedEntry()); });
}

void T_EcrPrin::BtnAjouteClick(QObject* sender) { session_.pathSelection().add(componentName(sender)); }
void T_EcrPrin::BtnEnleveClick(QObject* sender) { session_.pathSelection().remove(componentName(sender)); }
void T_EcrPrin::DskListExpanded(NodeId node) { session_.pathSelection().nodeExpanded(node); }
void T_EcrPrin::DskListChange(NodeId node) { session_.pathSelection().selectionChanged(node); }

std::vector<std::string> T_EcrPrin::searchPaths() const { return selectionPage_->searchPaths(); }

}  // namespace parelix
