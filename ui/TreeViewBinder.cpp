#include "ui/TreeViewBinder.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTreeView>

#include "ui/TreeModel.h"
#include "ui/TreeView.h"

namespace parelix {

TreeViewBinder::TreeViewBinder(TreeModel& model, QTreeView* view, QObject* parent)
    : QObject(parent), model_(model), store_(model.store()), view_(view), watchedView_(view) {
    // Before the view hears of it: nothing may reach the store from a model being destroyed.
    connect(&model, &QObject::destroyed, this, [this] { unbind(); });
    store_.addListener(this);
    view->setModel(&model);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setUniformRowHeights(true);
    view->installEventFilter(this);
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { onViewCurrentChanged(current); });
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { onViewSelectionChanged(); });
    connect(view, &QTreeView::expanded, this, [this](const QModelIndex& i) { onViewExpanded(i, true); });
    connect(view, &QTreeView::collapsed, this, [this](const QModelIndex& i) { onViewExpanded(i, false); });
    connect(&model, &TreeModel::rowsShown, this,
            [this](NodeId parentNode, int first, int last) { onRowsShown(parentNode, first, last); });
    if (store_.selected() != kNoNode) syncViewSelection(true);
}

TreeViewBinder::~TreeViewBinder() {
    // Qt lets go of the binder's connections and event filter itself. The view is not read
    // here: as its child the binder goes while the view is half destroyed.
    if (bound_) store_.removeListener(this);
}

void TreeViewBinder::unbind() {
    if (!bound_) return;
    bound_ = false;
    store_.removeListener(this);
    if (!view_) return;
    view_->removeEventFilter(this);
    disconnect(view_, nullptr, this, nullptr);
    if (QItemSelectionModel* selection = view_->selectionModel()) disconnect(selection, nullptr, this, nullptr);
    view_ = nullptr;
}

bool TreeViewBinder::echo() const { return moving_ > 0 || model_.changing(); }

// --- Expanded rows ---------------------------------------------------------------------

void TreeViewBinder::onRowsShown(NodeId parent, int first, int last) {
    // Rows the view has just learnt of may already be open in the store.
    for (int row = first; row <= last; ++row) {
        const NodeId child = store_.child(parent, row);
        if (store_.isExpanded(child)) applyExpanded(child);
    }
}

void TreeViewBinder::applyExpanded(NodeId node) {
    if (batching_) batchExpanded_.push_back(node);
    else setViewExpanded(node, true);
}

void TreeViewBinder::setViewExpanded(NodeId node, bool open) {
    if (!view_) return;
    const QModelIndex idx = model_.indexOf(node);
    if (open && model_.canFetchMore(idx)) model_.fetchMore(idx);
    if (view_->isExpanded(idx) == open) return;
    DepthScope guard(moving_);
    view_->setExpanded(idx, open);
}

void TreeViewBinder::expandedChanged(NodeId node, bool expanded) {
    // A node the view does not show yet takes its state when it is shown (onRowsShown).
    if (!model_.holds(node)) return;
    if (batching_) batchExpanded_.push_back(node);
    else setViewExpanded(node, expanded);
}

void TreeViewBinder::onViewExpanded(const QModelIndex& index, bool expanded) {
    if (echo()) return;
    const NodeId node = model_.nodeOf(index);
    if (node == kNoNode || !store_.isValid(node)) return;
    if (expanded) {
        if (model_.canFetchMore(index)) model_.fetchMore(index);
        store_.expand(node);
    } else {
        store_.collapse(node);
    }
}

// --- Batches ---------------------------------------------------------------------------

void TreeViewBinder::holdLayout(bool hold) {
    if (auto* tree = qobject_cast<TreeView*>(view_.data())) tree->holdLayout(hold);
}

void TreeViewBinder::batchBegins() {
    batching_ = true;
    batchSelection_ = false;
    batchExpanded_.clear();
    holdLayout(true);
}

bool TreeViewBinder::within(NodeId node, NodeId parent, int first, int last) const {
    for (NodeId n = node; n != kNoNode && store_.isValid(n); n = store_.parent(n))
        if (store_.parent(n) == parent) return store_.row(n) >= first && store_.row(n) <= last;
    return false;
}

void TreeViewBinder::nodesAboutToBeRemoved(NodeId parent, int first, int last) {
    if (!batching_ || !view_) return;
    // A view whose current row goes picks a neighbour and shows it at once; here it lets go
    // of its selection, and gets the store's at the end.
    QItemSelectionModel* selection = view_->selectionModel();
    const QModelIndexList selected = selection->selectedIndexes();
    if (within(model_.nodeOf(selection->currentIndex()), parent, first, last) ||
        (!selected.isEmpty() && within(model_.nodeOf(selected.first()), parent, first, last))) {
        DepthScope guard(moving_);
        selection->clear();
        batchSelection_ = true;
    }
}

void TreeViewBinder::batchEnded() {
    batching_ = false;
    std::vector<NodeId> opened;
    opened.swap(batchExpanded_);
    for (NodeId node : opened)
        if (store_.isValid(node) && model_.holds(node)) setViewExpanded(node, store_.isExpanded(node));
    holdLayout(false);
    const bool scroll = batchSelection_;
    batchSelection_ = false;
    syncViewSelection(scroll);
}

// --- Selection -------------------------------------------------------------------------

void TreeViewBinder::selectionChanged(NodeId) {
    if (batching_) batchSelection_ = true;
    else syncViewSelection(true);
}

void TreeViewBinder::syncViewSelection(bool scroll) {
    if (!view_ || batching_ || !view_->selectionModel()) return;
    QItemSelectionModel* selection = view_->selectionModel();
    const NodeId node = store_.selected();
    DepthScope guard(moving_);
    if (node == kNoNode || !store_.isValid(node)) {
        if (selection->currentIndex().isValid() || selection->hasSelection()) selection->clear();
        return;
    }
    const QModelIndex idx = model_.indexOf(node);
    const bool moved = selection->currentIndex() != idx;
    if (moved) {
        // The view would scroll the new current row just into sight, to an edge; the binder
        // scrolls itself, below.
        const bool autoScroll = view_->hasAutoScroll();
        view_->setAutoScroll(false);
        view_->setCurrentIndex(idx);
        view_->setAutoScroll(autoScroll);
    }
    if (!selection->isSelected(idx) || selection->selectedIndexes().size() != 1)
        selection->select(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (moved && scroll) reveal(idx);
}

void TreeViewBinder::reveal(const QModelIndex& index) {
    // A node the view must scroll to lands mid-height, with its group or its siblings around
    // it, rather than on the first or last row.
    const QRect area = view_->viewport()->rect();
    const QRect rect = view_->visualRect(index);
    if (rect.isValid() && rect.top() >= area.top() && rect.bottom() <= area.bottom()) return;
    QScrollBar* across = view_->horizontalScrollBar();
    view_->scrollTo(index, QAbstractItemView::EnsureVisible);
    const int x = across->value();   // centring would also scroll the wide column sideways
    view_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    across->setValue(x);
}

void TreeViewBinder::onViewCurrentChanged(const QModelIndex& current) {
    if (echo() || !current.isValid()) return;
    store_.select(model_.nodeOf(current));
    // The store may have chosen another node (the drive tree's root passes the selection
    // on), or a key may have moved the current row without selecting it.
    syncViewSelection(false);
    if (store_.selected() != kNoNode) emit userSelected(store_.selected());
}

void TreeViewBinder::onViewSelectionChanged() {
    if (echo() || !view_) return;
    // A key or type-ahead moves the current row and selects it in one step, selection first:
    // the current row's change follows and brings the store along.
    const QModelIndex current = view_->selectionModel()->currentIndex();
    if (current.isValid() && model_.nodeOf(current) != store_.selected()) return;
    // Otherwise the view dropped its selection (a click beside the nodes, a Ctrl+click): a
    // tree keeps showing its selected node.
    syncViewSelection(false);
}

// --- Focus -----------------------------------------------------------------------------

void TreeViewBinder::setSelectionHidden(bool hidden) {
    selectionHidden_ = hidden;
    model_.setSelectedPictureShown(!hidden || (view_ && view_->hasFocus()));
}

bool TreeViewBinder::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedView_ && event->type() == QEvent::FocusIn) model_.setSelectedPictureShown(true);
    if (watched == watchedView_ && event->type() == QEvent::FocusOut)
        model_.setSelectedPictureShown(!selectionHidden_);
    return QObject::eventFilter(watched, event);
}

}  // namespace parelix
