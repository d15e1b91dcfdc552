#pragma once
// Qt item model over a TreeStore. What a view shows of the store's selection and expanded
// states is the view's binder's (TreeViewBinder); the model only tells its rows.
//
// The store can hold a million nodes, filled one node at a time by the search run. To keep
// that cheap the model only shows the children of a node once the view has asked for them
// (canFetchMore/fetchMore, or the node being expanded or revealed); until then additions
// under it cost nothing here. While deferred filling is on, additions under nodes already
// shown are also gathered and handed to the view in batches, at most every few tenths of a
// second, so that the view lays itself out a bounded number of times.
#include <QAbstractItemModel>
#include <QIcon>
#include <QTimer>
#include <functional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "results/TreeStore.h"

namespace parelix {

// One more level of a depth for the time of a scope: while the model tells a change, or a
// binder moves its view, what the view does in answer is nobody's choice.
class DepthScope {
public:
    explicit DepthScope(int& depth) : depth_(depth) { ++depth_; }
    ~DepthScope() { --depth_; }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;
private:
    int& depth_;
};

class TreeModel : public QAbstractItemModel, public TreeListener {
    Q_OBJECT
public:
    // The MIME type of a node dragged out of a tree; the data is the node id in decimal.
    static constexpr const char* kNodeMimeType = "application/x-parelix-tree-node";

    explicit TreeModel(TreeStore& store, QObject* parent = nullptr);
    ~TreeModel() override;

    TreeStore& store() const { return store_; }

    // Pictures by image index; without them the tree shows no icons.
    void setImages(std::vector<QIcon> images) { images_ = std::move(images); }
    void setNodesDraggable(bool on) { draggable_ = on; }
    // What type-ahead compares the typed letters with: by default a node's text. DirList
    // gives folders' names without their "--> ".
    void setSearchName(std::function<std::string_view(NodeId)> name) { searchName_ = std::move(name); }
    // A row's tooltip; unset, rows have none.
    void setHint(std::function<std::string(NodeId)> hint) { hint_ = std::move(hint); }
    // What a row's picture shows, told to screen readers as the row's description.
    void setDescription(std::function<std::string(NodeId)> what) { description_ = std::move(what); }
    // The one column's name, which screen readers read for the (hidden) header.
    void setHeaderName(QString name) { headerName_ = std::move(name); }
    // Whether the selected node shows its selected picture (on by default): not while its
    // view hides the highlight of a tree without the focus.
    void setSelectedPictureShown(bool shown);

    // The index of a node, making its ancestors' children rows of the model first.
    QModelIndex indexOf(NodeId node);
    NodeId nodeOf(const QModelIndex& index) const;
    // True when the node is a row of the model now.
    bool holds(NodeId node) const { return inModel(node); }
    // True between the two halves of a change the model tells: what a view does meanwhile
    // answers the change, it is nobody's choice.
    bool changing() const { return telling_ > 0; }

    // Batches additions under shown nodes (search run); switching it off flushes.
    void setDeferred(bool on);
    bool deferred() const { return deferred_; }
    // Hands every pending addition to the view now.
    void flush();

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    // The view's type-ahead matches on the display text; it is pointed at the search name.
    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits = 1,
                          Qt::MatchFlags flags = Qt::MatchFlags(Qt::MatchStartsWith | Qt::MatchWrap)) const override;

signals:
    // Rows first..last of parent have just become rows of the model, told as inserted or
    // within a layout change; some of them may be open in the store.
    void rowsShown(parelix::NodeId parent, int first, int last);

public:
    // TreeListener
    void nodesAboutToBeInserted(NodeId parent, int first, int last) override;
    void nodesInserted(NodeId parent, int first, int last) override;
    void nodesAboutToBeRemoved(NodeId parent, int first, int last) override;
    void nodesRemoved(NodeId parent, int first, int last) override;
    void childrenAboutToBeReordered(NodeId parent) override;
    void childrenReordered(NodeId parent) override;
    void nodeChanged(NodeId node) override;
    void aboutToBeCleared() override;
    void cleared() override;
    void expandedChanged(NodeId node, bool expanded) override;
    void selectionChanged(NodeId node) override;
    void batchBegins() override;
    void batchEnded() override;

private:
    static constexpr int kSearchNameRole = Qt::UserRole + 1;
    // Rows of a node the view knows of; -1 while the view has not asked for its children.
    int shown(NodeId parent) const;
    void setShown(NodeId parent, int rows);
    bool isLive(NodeId parent) const { return shown(parent) >= 0; }
    // A node is in the model when its parent is live and its row is among the shown rows.
    bool inModel(NodeId node) const;
    QModelIndex indexInModel(NodeId node) const;
    // Makes every child of a live or fresh parent a row of the model.
    void expose(NodeId parent);
    void ensureInModel(NodeId node);
    void scheduleFlush();
    // A layout change of the model as a whole, open while a batch removes or sorts rows.
    void openLayoutChange();
    void closeLayoutChange();
    void noteGone(NodeId node);   // node and the rows shown below it

    TreeStore& store_;
    std::vector<int> shown_;        // by node id
    int shownTop_ = 0;              // the top level is always live
    std::vector<NodeId> dirty_;     // live parents with additions not yet shown
    bool topDirty_ = false;
    bool deferred_ = false;
    bool draggable_ = false;
    int insertingRow_ = -1;         // set between the two halves of an immediate insert
    NodeId lastSelected_ = kNoNode;
    int telling_ = 0;               // > 0: between the two halves of a change told
    int removingRows_ = 0;          // set between the two halves of a removal
    bool reordering_ = false;
    // A batch of the store: pictures and relayouts wait for its end.
    bool batching_ = false;
    bool batchChanged_ = false;           // something shown changed: one relayout at the end
    bool layoutOpen_ = false;             // layoutAboutToBeChanged told, layoutChanged owed
    std::unordered_set<NodeId> gone_;     // removed while the layout change is open
    std::function<std::string_view(NodeId)> searchName_;
    std::function<std::string(NodeId)> hint_;
    std::function<std::string(NodeId)> description_;
    QString headerName_;
    bool selectedPictureShown_ = true;
    std::vector<QIcon> images_;
    QTimer flushTimer_;
};

}  // namespace parelix
