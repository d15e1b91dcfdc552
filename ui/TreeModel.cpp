#include "ui/TreeModel.h"

#include <QItemSelectionModel>
#include <QMimeData>
#include <QTreeView>
#include <algorithm>

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
    {
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
    case Qt::DecorationRole: {
        if (images_.empty()) return {};
        const int i = store_.selected() == node ? store_.selectedIndex(node) : store_.imageIndex(node);
        if (i < 0 || static_cast<std::size_t>(i) >= images_.size()) return {};
        return images_[static_cast<std::size_t>(i)];
    }
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

// --- Store events ----------------------------------------------------------------------

void TreeModel::nodesAboutToBeInserted(NodeId parent, int first, int last) {
    if (!isLive(parent)) return;
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
    if (insertingRow_ >= 0) {
        insertingRow_ = -1;
        setShown(parent, shown(parent) + (last - first + 1));
        endInsertRows();
        --syncDepth_;
        return;
    }
    // An unfetched node that just got its first child: let the view draw its button.
    if (first == 0 && parent != kNoNode && !isLive(parent) && inModel(parent)) {
        const QModelIndex idx = indexInModel(parent);
        emit dataChanged(idx, idx);
    }
}

void TreeModel::nodesAboutToBeRemoved(NodeId parent, int first, int last) {
    if (!isLive(parent) || first >= shown(parent)) return;   // unseen or still pending
    ++syncDepth_;
    removingRows_ = std::min(last, shown(parent) - 1) - first + 1;
    beginRemoveRows(indexInModel(parent), first, first + removingRows_ - 1);
}

void TreeModel::nodesRemoved(NodeId parent, int, int) {
    if (removingRows_ > 0) {
        setShown(parent, shown(parent) - removingRows_);
        removingRows_ = 0;
        endRemoveRows();
        --syncDepth_;
    }
    if (parent != kNoNode && store_.childCount(parent) == 0 && inModel(parent)) {
        const QModelIndex idx = indexInModel(parent);
        emit dataChanged(idx, idx);
    }
}

void TreeModel::childrenAboutToBeReordered(NodeId parent) {
    if (!isLive(parent)) return;
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
    const QModelIndex idx = indexInModel(node);
    emit dataChanged(idx, idx);
}

void TreeModel::aboutToBeCleared() {
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
    if (expanded) expose(node);
    const QModelIndex idx = indexInModel(node);
    if (view_->isExpanded(idx) == expanded) return;
    SyncScope guard(syncDepth_);
    view_->setExpanded(idx, expanded);
}

void TreeModel::selectionChanged(NodeId node) {
    if (lastSelected_ != node && inModel(lastSelected_)) nodeChanged(lastSelected_);
    lastSelected_ = node;
    if (node == kNoNode) {
        if (view_ && view_->selectionModel()) {
            SyncScope guard(syncDepth_);
            view_->selectionModel()->clear();
        }
        return;
    }
    const QModelIndex idx = indexOf(node);
    emit dataChanged(idx, idx);
    if (!view_ || view_->currentIndex() == idx) return;
    SyncScope guard(syncDepth_);
    view_->setCurrentIndex(idx);
    view_->scrollTo(idx);
}

// --- View ------------------------------------------------------------------------------

void TreeModel::attachView(QTreeView* view) {
    view_ = view;
    view->setModel(this);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setUniformRowHeights(true);
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
}

void TreeModel::onViewSelectionChanged() {
    // The view drops its selection on a click beside the nodes or a Ctrl+click; a tree
    // keeps showing its selected node, so the store's choice is put back.
    if (syncDepth_ > 0 || !view_) return;
    const NodeId node = store_.selected();
    if (node == kNoNode || !store_.isValid(node)) return;
    const QModelIndex idx = indexOf(node);
    QItemSelectionModel* selection = view_->selectionModel();
    if (selection->isSelected(idx)) return;
    SyncScope guard(syncDepth_);
    selection->select(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
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
