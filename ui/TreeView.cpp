#include "ui/TreeView.h"

namespace parelix {

void TreeView::holdLayout(bool hold) {
    if (hold) {
        if (holds_++ == 0) setUpdatesEnabled(false);
        return;
    }
    if (holds_ == 0 || --holds_ > 0) return;
    setUpdatesEnabled(true);
    scheduleDelayedItemsLayout();
}

void TreeView::doItemsLayout() {
    // Rows met meanwhile are not painted (updates are off); the layout comes on release.
    if (holds_ > 0) return;
    QTreeView::doItemsLayout();
}

}  // namespace parelix
