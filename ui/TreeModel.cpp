#include "ui/TreeModel.h"

#include <QMimeData>
#include <algorithm>

namespace parelix {

namespace {

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
        DepthScope guard(telling_);
        beginInsertRows(indexInModel(parent), have, total - 1);
        setShown(parent, total);
        endInsertRows();
    }
    if (batching_) batchChanged_ = true;   // views that open some of them lay out once, at the end
    emit rowsShown(parent, have, total - 1);
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
    if (column != 0 || row < 0 || parent.column() > 0) return {};
    const NodeId p = nodeOf(parent);
    if (row >= shown(p)) return {};
    const NodeId node = store_.child(p, row);
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
        const int i = store_.selected() == node && selectedPictureShown_ ? store_.selectedIndex(node)
                                                                         : store_.imageIndex(node);
        if (i < 0 || static_cast<std::size_t>(i) >= images_.size()) return {};
        return images_[static_cast<std::size_t>(i)];
    }
    case Qt::ToolTipRole:
        if (!hint_) return {};
        return QString::fromUtf8(hint_(node));
    case Qt::AccessibleDescriptionRole:
        if (!description_) return {};
        return QString::fromUtf8(description_(node));
    default:
        return {};
    }
}

QVariant TreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && !headerName_.isEmpty() &&
        (role == Qt::DisplayRole || role == Qt::AccessibleTextRole))
        return headerName_;
    return QAbstractItemModel::headerData(section, orientation, role);
}

Qt::ItemFlags TreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (draggable_) f |= Qt::ItemIsDragEnabled;
    // A view laying out its open rows asks this of each: for a file, the answer spares it
    // asking whether the row has children, and looking it up among the open rows.
    const NodeId node = nodeOf(index);
    if (store_.isValid(node) && store_.kind(node) == NodeKind::File) f |= Qt::ItemNeverHasChildren;
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
    ++telling_;
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
        --telling_;
        return;
    }
    // An unfetched node that just got its first child: let the view draw its button.
    if (first == 0 && parent != kNoNode && !isLive(parent)) nodeChanged(parent);
}

void TreeModel::nodesAboutToBeRemoved(NodeId parent, int first, int last) {
    if (!isLive(parent) || first >= shown(parent)) return;   // unseen or still pending
    removingRows_ = std::min(last, shown(parent) - 1) - first + 1;
    if (batching_) {
        // Every removal told as such makes the toolkit go over every persistent index (one
        // per open row of the view): thousands per deleted file. In a batch the removals
        // join one layout change, closed when the batch ends.
        batchChanged_ = true;
        openLayoutChange();
        for (int row = first; row < first + removingRows_; ++row) noteGone(store_.child(parent, row));
        return;
    }
    ++telling_;
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
            --telling_;
        }
    }
    if (parent != kNoNode && store_.childCount(parent) == 0) nodeChanged(parent);
}

void TreeModel::openLayoutChange() {
    if (layoutOpen_) return;
    layoutOpen_ = true;
    DepthScope guard(telling_);
    emit layoutAboutToBeChanged();
}

void TreeModel::closeLayoutChange() {
    if (!layoutOpen_) return;
    DepthScope guard(telling_);
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
    ++telling_;
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
    --telling_;
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
    ++telling_;
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
    --telling_;
}

void TreeModel::expandedChanged(NodeId node, bool) {
    // A row opened or closed in a batch: its views lay themselves out once, at the end.
    if (batching_ && inModel(node)) batchChanged_ = true;
}

void TreeModel::selectionChanged(NodeId node) {
    if (lastSelected_ != node && inModel(lastSelected_)) nodeChanged(lastSelected_);
    lastSelected_ = node;
    if (node != kNoNode) nodeChanged(node);   // its picture is the selected one
}

void TreeModel::batchBegins() {
    batching_ = true;
    batchChanged_ = false;
}

void TreeModel::batchEnded() {
    batching_ = false;
    if (!batchChanged_) return;
    batchChanged_ = false;
    // Views lay themselves out again once, later; until then opening or closing a row only
    // notes it.
    openLayoutChange();
    closeLayoutChange();
}

void TreeModel::setSelectedPictureShown(bool shown) {
    if (selectedPictureShown_ == shown) return;
    selectedPictureShown_ = shown;
    if (inModel(store_.selected())) nodeChanged(store_.selected());
}

}  // namespace parelix
