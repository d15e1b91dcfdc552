// Path selection handlers: the drive tree DskList with its context menu PopMenuDsk, the
// search list RepList and the exclusion list ExcList. The logic lives in the session's
// PathSelection, reached through the session; the controls in SelectionPage; this file
// binds the one to the other.
#include <QAction>
#include <QListWidget>
#include <QToolButton>

#include "ui/EcrPrin.h"
#include "ui/SelectionPage.h"

namespace parelix {

void T_EcrPrin::attachSelection() {
    SelectionPage* page = selectionPage_;
    PathSelectionView view;
    view.waitCursor = [this](bool on) { setWaitCursor(on); };
    view.entryInserted = [page](PathList list, int index, const std::string& text) {
        page->insertEntry(list, index, text);
    };
    view.entryRemoved = [page](PathList list, int index) { page->removeEntry(list, index); };
    view.entrySelected = [page](PathList list, int index) { page->selectEntry(list, index); };
    view.buttonsEnabled = [page](bool remove, bool search) { page->setButtonsEnabled(remove, search); };
    session_.attach(this, std::move(view));

    for (PathList list : {PathList::Search, PathList::Exclusions}) {
        connect(page->list(list), &QListWidget::itemSelectionChanged, this,
                [this, list] { session_.pickEntry(list, selectionPage_->pickedEntry(list)); });
    }
}

void T_EcrPrin::BtnAjouteClick() { session_.addSearchPath(); }
void T_EcrPrin::BtnEnleveClick() { session_.removeEntry(selectionPage_->listInUse()); }
void T_EcrPrin::ExclureClick() { session_.excludeSelected(); }

std::vector<std::string> T_EcrPrin::searchPaths() const { return selectionPage_->searchPaths(); }

}  // namespace parelix
