#include "ui/TreeView.h"

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <algorithm>

namespace parelix {

namespace {

class SelectionDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QWidget* view = option->widget;
        if (view && view->property("hideSelection").toBool() && !view->hasFocus())
            option->state &= ~QStyle::State_Selected;
    }
};

}  // namespace

TreeView::TreeView(QWidget* parent) : QTreeView(parent) { setItemDelegate(new SelectionDelegate(this)); }

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

int TreeView::sizeHintForColumn(int column) const {
    return std::max(QTreeView::sizeHintForColumn(column), viewport()->width());
}

void TreeView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    if (header()->sectionResizeMode(0) == QHeaderView::ResizeToContents)
        header()->resizeSections(QHeaderView::ResizeToContents);
}

}  // namespace parelix
