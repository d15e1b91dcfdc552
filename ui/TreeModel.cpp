#include "ui/TreeModel.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QScrollBar>
#include <QTreeView>
#include <algorithm>

#include "ui/TreeView.h"

namespace parelix {

namespace {

// Counts the model's own moves of the view for the time of a scope, so that the view's
// echoes of them are not taken for the user's.
class SyncScope {
public:
    explicit SyncScope(int& depth) : depth_(depth) { ++depth_; }
    ~SyncScope() { --depth_; }
    SyncScope(const SyncScope&) = delete;
    SyncScope& operator=(const SyncScope&) = delete;
private:
    int& depth_;
};

// Additions gathered while filling are handed to the view at most this often: each batch
// costs the view one layout of what it shows.
constexpr int kFlushIntervalMs = 200;

}  // namespace

TreeModel::TreeModel(TreeStore& store, QObject* parent) : QAbstractItemModel(parent), store_(store) {
    store_.addListener(this);
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushIntervalMs);
    connect(&flushTimer_, &QTimer::timeout, this, &TreeModel::flush);
}

TreeModel::~TreeModel() { store_.removeListener(this); }

// --- Shown rows ------------------------------------------------------------------------

int TreeModel::shown(NodeId parent) const {
    if (parent == kNoNode) return shownTop_;
    return parent < shown_.size() ? shown_[parent] : -1;
}

void TreeModel::setShown(NodeId parent, int rows) {
    if (parent == kNoNode) {
        shownTop_ = rows;
        return;
    }
    if (parent >= shown_.size()) {
        if (rows < 0) return;
        shown_.resize(std::max<std::size_t>(parent + 1, shown_.size() * 2), -1);
    }
    shown_[parent] = rows;
}

bool TreeModel::inModel(NodeId node) const {
    if (node == kNoNode || !store_.isValid(node)) return false;
    const NodeId p = store_.parent(node);
    return store_.row(node) < shown(p);
}

QModelIndex TreeModel::indexInModel(NodeId node) const {
    if (node == kNoNode) return {};
    return createIndex(store_.row(node), 0, static_cast<quintptr>(node));
}

void TreeModel::expose(NodeId parent) {
    const int have = std::max(shown(parent), 0);
    const int total = store_.childCount(parent);
    if (have >= total) {
        setShown(parent, have);
        return;
    }
    if (layoutOpen_) {
        setShown(parent, total);   // part of the layout change under way
    } else {
        SyncScope guard(syncDepth_);
        beginInsertRows(indexInModel(parent), have, total - 1);
        setShown(parent, total);
        endInsertRows();
    }
    // Rows the view has just learnt of may already be open in the store.
    for (int row = have; row < total; ++row) {
        const NodeId child = store_.child(parent, row);
        if (store_.isExpanded(child)) applyExpanded(child);
    }
}

void TreeModel::ensureInModel(NodeId node) {
    std::vector<NodeId> missing;
    for (NodeId n = node; n != kNoNode && !inModel(n); n = store_.parent(n)) missing.push_back(n);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) expose(store_.parent(*it));
}

QModelIndex TreeModel::indexOf(NodeId node) {
    if (node == kNoNode || !store_.isValid(node)) return {};
    ensureInModel(node);
    return indexInModel(node);
}

NodeId TreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<NodeId>(index.internalId()) : kNoNode;
}

void TreeModel::applyExpanded(NodeId node) {
    if (batching_) {
        batchExpanded_.push_back(node);
        return;
    }
    expose(node);
    if (!view_) return;
    const QModelIndex idx = indexInModel(node);
    if (!view_->isExpanded(idx)) {
        SyncScope guard(syncDepth_);
        view_->setExpanded(idx, true);
    }
}

void TreeModel::setDeferred(bool on) {
    deferred_ = on;
    if (!on) flush();
}

void TreeModel::scheduleFlush() {
    if (!flushTimer_.isActive()) flushTimer_.start();
}

void TreeModel::flush() {
    flushTimer_.stop();
    if (topDirty_) {
        topDirty_ = false;
        expose(kNoNode);
    }
    std::vector<NodeId> dirty;
    dirty.swap(dirty_);
    for (NodeId p : dirty)
        if (store_.isValid(p) && isLive(p) && inModel(p)) expose(p);
}

// --- QAbstractItemModel ----------------------------------------------------------------

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || row >= rowCount(parent)) return {};
    const NodeId node = store_.child(nodeOf(parent), row);
    if (node == kNoNode) return {};
    return createIndex(row, 0, static_cast<quintptr>(node));
}

QModelIndex TreeModel::parent(const QModelIndex& child) const {
    const NodeId node = nodeOf(child);
    if (node == kNoNode || !store_.isValid(node)) return {};
    return indexInModel(store_.parent(node));
}

int TreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return std::max(shown(nodeOf(parent)), 0);
}

int TreeModel::columnCount(const QModelIndex&) const { return 1; }

bool TreeModel::hasChildren(const QModelIndex& parent) const {
    if (parent.column() > 0) return false;
    const NodeId p = nodeOf(parent);
    if (p != kNoNode && !store_.isValid(p)) return false;
    return store_.childCount(p) > 0;
}

bool TreeModel::canFetchMore(const QModelIndex& parent) const {
    const NodeId p = nodeOf(parent);
    if (p != kNoNode && !store_.isValid(p)) return false;
    return std::max(shown(p), 0) < store_.childCount(p);
}

void TreeModel::fetchMore(const QModelIndex& parent) {
    const NodeId p = nodeOf(parent);
    if (p != kNoNode && !store_.isValid(p)) return;
    expose(p);
}

QVariant TreeModel::data(const QModelIndex& index, int role) const {
    const NodeId node = nodeOf(index);
    if (node == kNoNode || !store_.isValid(node)) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return QString::fromUtf8(store_.text(node));
    case kSearchNameRole: {
        const std::string_view name = searchName_ ? searchName_(node) : std::string_view(store_.text(node));
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    case Qt::DecorationRole: {
        if (images_.empty()) return {};
        const int i = store_.selected() == node && highlightShown() ? store_.selectedIndex(node) : store_.imageIndex(node);
        if (i < 0 || static_cast<std::size_t>(i) >= images_.size()) return {};
        return images_[static_cast<std::size_t>(i)];
    }
    case Qt::ToolTipRole:
        if (!hint_) return {};
        return QString::fromUtf8(hint_(node));
    default:
        return {};
    }
}

Qt::ItemFlags TreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (draggable_) f |= Qt::ItemIsDragEnabled;
    return f;
}

QStringList TreeModel::mimeTypes() const { return {QString::fromLatin1(kNodeMimeType)}; }

QMimeData* TreeModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty()) return nullptr;
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kNodeMimeType), QByteArray::number(nodeOf(indexes.first())));
    return mime;
}

Qt::DropActions TreeModel::supportedDragActions() const { return Qt::MoveAction; }

QModelIndexList TreeModel::match(const QModelIndex& start, int role, const QVariant& value, int hits,
                                 Qt::MatchFlags flags) const {
    return QAbstractItemModel::match(start, role == Qt::DisplayRole ? kSearchNameRole : role, value, hits, flags);
}

// --- Store events ----------------------------------------------------------------------

void TreeModel::nodesAboutToBeInserted(NodeId parent, int first, int last) {
    if (!isLive(parent) || layoutOpen_) return;
    const int have = shown(parent);
    const bool pending = have < store_.childCount(parent);
    if (deferred_) {
        if (!pending) {
            if (parent == kNoNode) topDirty_ = true;
            else dirty_.push_back(parent);
        }
        scheduleFlush();
        return;
    }
    if (pending) expose(parent);
    ++syncDepth_;
    beginInsertRows(indexInModel(parent), first, last);
    insertingRow_ = first;
}

void TreeModel::nodesInserted(NodeId parent, int first, int last) {
    // A new node may take the id of a removed one: it starts unfetched.
    for (int row = first; row <= last; ++row) setShown(store_.child(parent, row), -1);
    if (layoutOpen_) {
        if (isLive(parent) && shown(parent) == first) setShown(parent, last + 1);
        return;
    }
    if (insertingRow_ >= 0) {
        insertingRow_ = -1;
        setShown(parent, shown(parent) + (last - first + 1));
        endInsertRows();
        --syncDepth_;
        return;
    }
    // An unfetched node that just got its first child: let the view draw its button.
    if (first == 0 && parent != kNoNode && !isLive(parent)) nodeChanged(parent);
}

bool TreeModel::within(NodeId node, NodeId parent, int first, int last) const {
    for (NodeId n = node; n != kNoNode && store_.isValid(n); n = store_.parent(n))
        if (store_.parent(n) == parent) return store_.row(n) >= first && store_.row(n) <= last;
    return false;
}

void TreeModel::nodesAboutToBeRemoved(NodeId parent, int first, int last) {
    if (!isLive(parent) || first >= shown(parent)) return;   // unseen or still pending
    removingRows_ = std::min(last, shown(parent) - 1) - first + 1;
    if (batching_) {
        // Every removal told as such makes the toolkit go over every persistent index (one
        // per open row of the view): thousands per deleted file. In a batch the removals
        // join one layout change, closed when the batch ends.
        batchChanged_ = true;
        if (view_) {
            // A view whose current row goes picks a neighbour and shows it at once; here it
            // lets go of its selection, and gets the store's at the end.
            QItemSelectionModel* selection = view_->selectionModel();
            const QModelIndexList selected = selection->selectedIndexes();
            if (within(nodeOf(selection->currentIndex()), parent, first, last) ||
                (!selected.isEmpty() && within(nodeOf(selected.first()), parent, first, last))) {
                SyncScope guard(syncDepth_);
                selection->clear();
                batchSelection_ = true;
            }
        }
        openLayoutChange();
        for (int row = first; row < first + removingRows_; ++row) noteGone(store_.child(parent, row));
        return;
    }
    ++syncDepth_;
    beginRemoveRows(indexInModel(parent), first, first + removingRows_ - 1);
}

void TreeModel::noteGone(NodeId node) {
    // Only rows the view has been told of can have persistent indexes.
    std::vector<NodeId> pending{node};
    while (!pending.empty()) {
        const NodeId n = pending.back();
        pending.pop_back();
        gone_.insert(n);
        const int rows = shown(n);
        for (int row = 0; row < rows; ++row) pending.push_back(store_.child(n, row));
    }
}

void TreeModel::nodesRemoved(NodeId parent, int, int) {
    if (removingRows_ > 0) {
        setShown(parent, shown(parent) - removingRows_);
        removingRows_ = 0;
        if (!layoutOpen_) {
            endRemoveRows();
            --syncDepth_;
        }
    }
    if (parent != kNoNode && store_.childCount(parent) == 0) nodeChanged(parent);
}

void TreeModel::openLayoutChange() {
    if (layoutOpen_) return;
    layoutOpen_ = true;
    SyncScope guard(syncDepth_);
    emit layoutAboutToBeChanged();
}

void TreeModel::closeLayoutChange() {
    if (!layoutOpen_) return;
    SyncScope guard(syncDepth_);
    // Persistent indexes follow their nodes to their rows now; those of removed nodes go.
    QModelIndexList from;
    QModelIndexList to;
    for (const QModelIndex& idx : persistentIndexList()) {
        const NodeId node = nodeOf(idx);
        QModelIndex now;
        if (node != kNoNode && !gone_.count(node) && inModel(node))
            now = createIndex(store_.row(node), idx.column(), static_cast<quintptr>(node));
        if (now == idx) continue;
        from.append(idx);
        to.append(now);
    }
    changePersistentIndexList(from, to);
    gone_.clear();
    layoutOpen_ = false;
    emit layoutChanged();
}

void TreeModel::childrenAboutToBeReordered(NodeId parent) {
    if (!isLive(parent)) return;
    if (batching_) {   // the batch's layout change puts every persistent index right
        batchChanged_ = true;
        openLayoutChange();
        return;
    }
    if (shown(parent) < store_.childCount(parent)) expose(parent);
    if (shown(parent) == 0) return;
    ++syncDepth_;
    reordering_ = true;
    if (parent == kNoNode) emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    else emit layoutAboutToBeChanged({QPersistentModelIndex(indexInModel(parent))},
                                     QAbstractItemModel::VerticalSortHint);
}

void TreeModel::childrenReordered(NodeId parent) {
    if (!reordering_) return;
    reordering_ = false;
    QModelIndexList from;
    QModelIndexList to;
    for (const QModelIndex& idx : persistentIndexList()) {
        const NodeId node = nodeOf(idx);
        if (node == kNoNode || !store_.isValid(node) || store_.parent(node) != parent) continue;
        if (idx.row() == store_.row(node)) continue;
        from.append(idx);
        to.append(createIndex(store_.row(node), idx.column(), static_cast<quintptr>(node)));
    }
    changePersistentIndexList(from, to);
    if (parent == kNoNode) emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    else emit layoutChanged({QPersistentModelIndex(indexInModel(parent))},
                            QAbstractItemModel::VerticalSortHint);
    --syncDepth_;
}

void TreeModel::nodeChanged(NodeId node) {
    if (!inModel(node)) return;
    if (batching_) {
        batchChanged_ = true;
        return;
    }
    const QModelIndex idx = indexInModel(node);
    emit dataChanged(idx, idx);
}

void TreeModel::aboutToBeCleared() {
    closeLayoutChange();
    ++syncDepth_;
    beginResetModel();
}

void TreeModel::cleared() {
    shown_.clear();
    shownTop_ = 0;
    dirty_.clear();
    topDirty_ = false;
    lastSelected_ = kNoNode;
    flushTimer_.stop();
    endResetModel();
    --syncDepth_;
}

void TreeModel::expandedChanged(NodeId node, bool expanded) {
    // A node the view does not show yet takes its state when it is shown (expose).
    if (!view_ || !inModel(node)) return;
    if (batching_) {
        batchExpanded_.push_back(node);
        return;
    }
    if (expanded) expose(node);
    const QModelIndex idx = indexInModel(node);
    if (view_->isExpanded(idx) == expanded) return;
    SyncScope guard(syncDepth_);
    view_->setExpanded(idx, expanded);
}

void TreeModel::selectionChanged(NodeId node) {
    if (lastSelected_ != node && inModel(lastSelected_)) nodeChanged(lastSelected_);
    lastSelected_ = node;
    if (node != kNoNode) nodeChanged(node);   // its picture is the selected one
    if (batching_) {
        batchSelection_ = true;
        return;
    }
    syncViewSelection(true);
}

void TreeModel::batchBegins() {
    batching_ = true;
    batchChanged_ = false;
    batchSelection_ = false;
    batchExpanded_.clear();
    if (auto* tree = qobject_cast<TreeView*>(view_.data())) tree->holdLayout(true);
}

void TreeModel::batchEnded() {
    batching_ = false;
    std::vector<NodeId> opened;
    opened.swap(batchExpanded_);
    const bool changed = batchChanged_ || !opened.empty();
    const bool selection = batchSelection_;
    batchChanged_ = batchSelection_ = false;
    if (changed) {
        // Views lay themselves out again once, later; until then opening or closing a row
        // only notes it.
        openLayoutChange();
        closeLayoutChange();
        SyncScope guard(syncDepth_);
        for (NodeId node : opened) {
            if (!store_.isValid(node) || !inModel(node)) continue;   // taken up when shown
            const bool open = store_.isExpanded(node);
            if (open) expose(node);
            if (!view_) continue;
            const QModelIndex idx = indexInModel(node);
            if (view_->isExpanded(idx) != open) view_->setExpanded(idx, open);
        }
    }
    if (auto* tree = qobject_cast<TreeView*>(view_.data())) tree->holdLayout(false);
    if (changed || selection) syncViewSelection(selection);
}

void TreeModel::syncViewSelection(bool scroll) {
    if (!view_ || batching_ || !view_->selectionModel()) return;
    QItemSelectionModel* selection = view_->selectionModel();
    const NodeId node = store_.selected();
    SyncScope guard(syncDepth_);
    if (node == kNoNode || !store_.isValid(node)) {
        if (selection->currentIndex().isValid() || selection->hasSelection()) selection->clear();
        return;
    }
    const QModelIndex idx = indexOf(node);
    if (selection->currentIndex() != idx) {
        // The view would scroll the new current row just into sight, to an edge; the model
        // scrolls itself, below.
        const bool autoScroll = view_->hasAutoScroll();
        view_->setAutoScroll(false);
        view_->setCurrentIndex(idx);
        view_->setAutoScroll(autoScroll);
        if (!selection->isSelected(idx))
            selection->select(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (scroll) reveal(idx);
    } else if (!selection->isSelected(idx) || selection->selectedIndexes().size() != 1) {
        selection->select(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void TreeModel::reveal(const QModelIndex& index) {
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

// --- View ------------------------------------------------------------------------------

bool TreeModel::highlightShown() const { return !selectionHidden_ || (view_ && view_->hasFocus()); }

void TreeModel::setSelectionHidden(bool hidden) {
    if (selectionHidden_ == hidden) return;
    selectionHidden_ = hidden;
    if (inModel(store_.selected())) nodeChanged(store_.selected());
}

bool TreeModel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && selectionHidden_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) &&
        inModel(store_.selected()))
        nodeChanged(store_.selected());
    return QAbstractItemModel::eventFilter(watched, event);
}

void TreeModel::attachView(QTreeView* view) {
    view_ = view;
    view->setModel(this);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setUniformRowHeights(true);
    view->installEventFilter(this);
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { onViewCurrentChanged(current); });
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { onViewSelectionChanged(); });
    connect(view, &QTreeView::expanded, this, [this](const QModelIndex& i) { onViewExpanded(i, true); });
    connect(view, &QTreeView::collapsed, this, [this](const QModelIndex& i) { onViewExpanded(i, false); });
    if (store_.selected() != kNoNode) selectionChanged(store_.selected());
}

void TreeModel::onViewCurrentChanged(const QModelIndex& current) {
    if (syncDepth_ > 0 || !current.isValid()) return;
    store_.select(nodeOf(current));
    // The store may have chosen another node (the drive tree's root passes the selection
    // on), or a key may have moved the current row without selecting it.
    syncViewSelection(false);
    if (store_.selected() != kNoNode) emit userSelected(store_.selected());
}

void TreeModel::onViewSelectionChanged() {
    if (syncDepth_ > 0 || !view_) return;
    // A key or type-ahead moves the current row and selects it in one step, selection first:
    // the current row's change follows and brings the store along.
    const QModelIndex current = view_->selectionModel()->currentIndex();
    if (current.isValid() && nodeOf(current) != store_.selected()) return;
    // Otherwise the view dropped its selection (a click beside the nodes, a Ctrl+click): a
    // tree keeps showing its selected node.
    syncViewSelection(false);
}

void TreeModel::onViewExpanded(const QModelIndex& index, bool expanded) {
    if (syncDepth_ > 0) return;
    const NodeId node = nodeOf(index);
    if (node == kNoNode || !store_.isValid(node)) return;
    if (expanded) {
        expose(node);
        store_.expand(node);
    } else {
        store_.collapse(node);
    }
}

}  // namespace parelix
