#pragma once
// Keeps one QTreeView and the TreeStore behind its TreeModel in step both ways: the view's
// current and highlighted row are the store's selected node, its open rows the store's
// expanded nodes. A node the program selects out of sight is scrolled to mid-height. In a
// batch of the store the view holds its layout, and its expanded rows and selection catch
// up once at the end.
#include <QObject>
#include <QPointer>
#include <vector>

#include "results/TreeStore.h"

class QModelIndex;
class QTreeView;

namespace parelix {

class TreeModel;

class TreeViewBinder : public QObject, public TreeListener {
    Q_OBJECT
public:
    // Sets the model as the view's; the view shows one row at a time selected.
    TreeViewBinder(TreeModel& model, QTreeView* view, QObject* parent = nullptr);
    ~TreeViewBinder() override;
    TreeViewBinder(const TreeViewBinder&) = delete;
    TreeViewBinder& operator=(const TreeViewBinder&) = delete;

    // The view shows no highlight while another control has the focus (hide-selection on):
    // its selected node then shows its own picture, not the selected one.
    void setSelectionHidden(bool hidden);

    // TreeListener
    void nodesAboutToBeRemoved(NodeId parent, int first, int last) override;
    void expandedChanged(NodeId node, bool expanded) override;
    void selectionChanged(NodeId node) override;
    void batchBegins() override;
    void batchEnded() override;

signals:
    // The view moved its current row itself: a click, a key or type-ahead, not the store.
    void userSelected(parelix::NodeId node);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;   // the view's focus

private:
    void unbind();   // also when the model goes first
    // The view answers the model or the binder: not the user's doing.
    bool echo() const;
    void onRowsShown(NodeId parent, int first, int last);
    void applyExpanded(NodeId node);
    void setViewExpanded(NodeId node, bool open);
    void onViewCurrentChanged(const QModelIndex& current);
    void onViewSelectionChanged();
    void onViewExpanded(const QModelIndex& index, bool expanded);
    // Makes the view's current and highlighted row the store's selected node; scroll: the
    // move is the program's, and the view scrolls to show the node among its neighbours.
    void syncViewSelection(bool scroll);
    void reveal(const QModelIndex& index);
    // True when node is, or lies under, one of the rows first..last of parent.
    bool within(NodeId node, NodeId parent, int first, int last) const;
    void holdLayout(bool hold);

    TreeModel& model_;
    TreeStore& store_;
    QPointer<QTreeView> view_;
    // The same view, only compared with: its events keep coming while it is destroyed, when
    // it is no longer a tree view and view_ may not be read.
    const QObject* watchedView_;
    bool bound_ = true;                   // listening to the store and the view
    int moving_ = 0;                      // > 0: the binder itself is moving the view
    bool selectionHidden_ = false;
    bool batching_ = false;
    bool batchSelection_ = false;         // the selection moved or the view's was let go
    std::vector<NodeId> batchExpanded_;   // nodes opened or closed, in order
};

}  // namespace parelix
