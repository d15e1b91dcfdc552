#include "ui/TreeView.h"

#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <algorithm>

namespace parelix {

class SelectionDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The style measures a row by laying its text out, and the column fits its contents
    // after every change of the rows (each batch of a run, a walk's end): about a thousand
    // rows each time, nearly all as they were the last time. Sizes are kept by what the
    // style reads of a row; another font, picture position or style starts afresh.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QVariant given = index.data(Qt::SizeHintRole);
        if (given.isValid()) return qvariant_cast<QSize>(given);
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        if (style != style_ || opt.font != font_ || opt.decorationPosition != decorationPosition_ ||
            sizes_.size() >= kMaxSizesKept) {
            sizes_.clear();
            style_ = style;
            font_ = opt.font;
            decorationPosition_ = opt.decorationPosition;
        }
        const SizeKey key{opt.text, static_cast<int>(opt.features), opt.decorationSize};
        auto it = sizes_.constFind(key);
        if (it != sizes_.constEnd()) return *it;
        const QSize size = style->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), opt.widget);
        sizes_.insert(key, size);
        return size;
    }

    void forgetSizes() { sizes_.clear(); }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QWidget* view = option->widget;
        if (view && view->property("hideSelection").toBool() && !view->hasFocus())
            option->state &= ~QStyle::State_Selected;
    }

private:
    struct SizeKey {
        QString text;
        int features;
        QSize decorationSize;
        bool operator==(const SizeKey& o) const {
            return features == o.features && decorationSize == o.decorationSize && text == o.text;
        }
        friend size_t qHash(const SizeKey& k, size_t seed = 0) {
            return qHashMulti(seed, k.text, k.features, k.decorationSize.width(), k.decorationSize.height());
        }
    };
    // Rows seen over a long session: kept within bounds (a fit measures about a thousand,
    // a path's entry takes a few hundred bytes), dropped all at once.
    static constexpr qsizetype kMaxSizesKept = 1 << 14;
    mutable QHash<SizeKey, QSize> sizes_;
    mutable const QStyle* style_ = nullptr;
    mutable QFont font_;
    mutable QStyleOptionViewItem::Position decorationPosition_ = QStyleOptionViewItem::Left;
};

TreeView::TreeView(QWidget* parent) : QTreeView(parent), delegate_(new SelectionDelegate(this)) {
    setItemDelegate(delegate_);
}

void TreeView::changeEvent(QEvent* event) {
    // A style put in place of another may take its address: the rows are measured again.
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange) delegate_->forgetSizes();
    QTreeView::changeEvent(event);
}

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
