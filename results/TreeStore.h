#pragma once
// A compact tree of nodes, the model behind every tree view of the program (the drive tree
// and both result trees). It holds what a tree view holds: per-node text, what the node is
// and whether it is marked (its pictures follow from both), an integer state value (the
// duplicate counter), a link into another tree, the expanded state, the order of children,
// and the selected node. Views attach as listeners; the window binds its handlers to the
// events.
#include <cassert>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parelix {

using NodeId = std::uint32_t;
constexpr NodeId kNoNode = 0xFFFFFFFFu;

// What a node stands for. A plain node (a drive, a group, a folder not walked) shows the
// closed folder whether selected or not; a walked folder shows the open one when selected.
enum class NodeKind : std::uint8_t { Plain, Folder, File };

// Indices into the six pictures of the trees; a marked node shows the picture after its own.
enum TreeImage : int {
    kImgFolder = 0,
    kImgFolderMarked = 1,
    kImgFolderOpen = 2,
    kImgFolderOpenMarked = 3,
    kImgFile = 4,
    kImgFileMarked = 5,
};

// Told of every structural and visible change, so that a view can follow.
// parent is kNoNode for the top level.
class TreeListener {
public:
    virtual ~TreeListener() = default;
    virtual void nodesAboutToBeInserted(NodeId /*parent*/, int /*first*/, int /*last*/) {}
    virtual void nodesInserted(NodeId /*parent*/, int /*first*/, int /*last*/) {}
    virtual void nodesAboutToBeRemoved(NodeId /*parent*/, int /*first*/, int /*last*/) {}
    virtual void nodesRemoved(NodeId /*parent*/, int /*first*/, int /*last*/) {}
    virtual void childrenAboutToBeReordered(NodeId /*parent*/) {}
    virtual void childrenReordered(NodeId /*parent*/) {}
    virtual void nodeChanged(NodeId /*node*/) {}
    virtual void aboutToBeCleared() {}
    virtual void cleared() {}
    virtual void expandedChanged(NodeId /*node*/, bool /*expanded*/) {}
    virtual void selectionChanged(NodeId /*node*/) {}
    // Around many changes made as one (see TreeStore::Batch): a view may hold back what it
    // shows of expanded states, node pictures and the selection, and catch up once.
    virtual void batchBegins() {}
    virtual void batchEnded() {}
};

// The tree view's notifications, bound to the window's handlers.
struct TreeEvents {
    std::function<void(NodeId)> expanding;    // before a node opens (never vetoes)
    std::function<void(NodeId)> collapsing;   // before a node closes (never vetoes)
    std::function<void(NodeId)> expanded;     // after a node has opened
    std::function<void(NodeId)> change;       // after the selection moved to a node
};

class TreeStore {
public:
    TreeStore() = default;
    TreeStore(const TreeStore&) = delete;
    TreeStore& operator=(const TreeStore&) = delete;

    TreeEvents events;
    void addListener(TreeListener* listener);
    void removeListener(TreeListener* listener);

    // Every accessor below that takes a node wants a valid one (kNoNode where it says so): an
    // id that names no node is the caller's fault, which ends the program where asserts are
    // on and costs nothing elsewhere. expand, collapse, select and remove take any id.

    // Structure. A new node is of the kind given, unmarked, with counter -1, no link, collapsed.
    // The last child; parent kNoNode: the top level. A file node never has children: the
    // views skip asking whether it has any.
    NodeId addChild(NodeId parent, std::string text, NodeKind kind = NodeKind::Plain);
    // A node put back where it was (a deletion taken back): at row among parent's children
    // (at most after the last), under the id `wanted` while that id is free, so that what
    // still refers to it holds; otherwise under a new one. Answers the id it got.
    NodeId insertChild(NodeId parent, int row, std::string text, NodeKind kind, NodeId wanted);
    // The row at which text goes among parent's children sorted by text (sortChildren's
    // order), after those equal to it.
    int sortedRow(NodeId parent, std::string_view text) const;
    // With its subtree. A selection that goes with it moves to a neighbour, as a tree
    // view's would, or, with selectNeighbour false, to no node (the caller places it).
    void remove(NodeId node, bool selectNeighbour = true);
    void clear();
    // Sorts a node's direct children (kNoNode: the top level) by text with lstrcmpA.
    void sortChildren(NodeId parent);

    // Navigation.
    // The views ask these of every row they lay out: inline.
    bool isValid(NodeId node) const { return node < places_.size() && places_[node].parent != kFreed; }
    NodeId parent(NodeId node) const { return place(node).parent; }
    const std::vector<NodeId>& children(NodeId parent) const {
        return parent == kNoNode ? roots_ : at(parent).children;
    }
    int childCount(NodeId parent) const { return static_cast<int>(children(parent).size()); }
    NodeId child(NodeId parent, int index) const {
        const auto& list = children(parent);
        const auto i = static_cast<std::size_t>(index);
        return index >= 0 && i < list.size() ? list[i] : kNoNode;
    }
    NodeId firstChild(NodeId parent) const;
    NodeId lastChild(NodeId parent) const;
    int row(NodeId node) const { return static_cast<int>(place(node).row); }
    NodeId nextSibling(NodeId node) const;
    NodeId prevSibling(NodeId node) const;
    NodeId firstRoot() const { return firstChild(kNoNode); }
    // Tree order over every node, collapsed or not.
    NodeId nextInTreeOrder(NodeId node) const;
    NodeId prevInTreeOrder(NodeId node) const;
    bool empty() const { return roots_.empty(); }
    std::size_t nodeCount() const { return nodes_.size() - freeList_.size(); }

    // Per-node values.
    const std::string& text(NodeId node) const { return at(node).text; }
    void setText(NodeId node, std::string text);
    NodeKind kind(NodeId node) const { return place(node).kind; }
    void setKind(NodeId node, NodeKind kind);
    void setMarked(NodeId node, bool marked);
    // The node's pictures, shown unselected and selected (TreeImage).
    int imageIndex(NodeId node) const;
    int selectedIndex(NodeId node) const;
    std::int32_t counter(NodeId node) const { return at(node).counter; }
    void setCounter(NodeId node, std::int32_t value) { at(node).counter = value; }
    NodeId link(NodeId node) const { return at(node).link; }
    void setLink(NodeId node, NodeId link) { at(node).link = link; }
    bool populated(NodeId node) const { return place(node).populated; }
    void setPopulated(NodeId node, bool value) { placeRef(node).populated = value; }
    // A byte count the tree's owner keeps with a node (DblList: a group's common file size);
    // none until set. Kept beside the nodes, only as far as the highest node given one: a
    // tree that keeps none (DirList, the drive tree) pays nothing for it.
    std::optional<std::uint64_t> bytes(NodeId node) const;
    void setBytes(NodeId node, std::uint64_t bytes);

    // Expanded state. expand and collapse always raise the expanding or collapsing event
    // first, even when the node is already in that state. A node without children does not
    // open: expand does nothing for it.
    bool isExpanded(NodeId node) const { return place(node).expanded; }
    void expand(NodeId node);
    void collapse(NodeId node);

    // Selection. Selecting the node already selected raises nothing. Selecting a node
    // reveals it first: its collapsed ancestors open, top down, through expand.
    NodeId selected() const { return selected_; }
    void select(NodeId node);

    // Many changes as one for the views (expanding or collapsing a whole subtree, a run of
    // deletions): the listeners hear batchBegins at the outermost begin and batchEnded at its
    // end. Every change is still made, and told, at once; only what the views show may wait.
    void beginBatch();
    void endBatch();
    class Batch {
    public:
        explicit Batch(TreeStore& store) : store_(store) { store_.beginBatch(); }
        ~Batch() { store_.endBatch(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
    private:
        TreeStore& store_;
    };

private:
    struct Node {
        std::string text;
        std::vector<NodeId> children;
        NodeId link = kNoNode;
        std::int32_t counter = -1;
    };
    // Where each node hangs and what it is, apart from the rest: a view asks a node's parent
    // and row for every index it keeps, thousands of times per removal, and whether it can
    // have children for every open row it lays out; a dense array answers from the cache.
    // parent kFreed: the id is free. The node's flags fill what would be padding here, which
    // keeps a Node at 64 bytes: a million files cost 8 MB less.
    struct Place {
        NodeId parent = kFreed;
        std::uint32_t row = 0;
        NodeKind kind = NodeKind::Plain;
        bool marked = false;
        bool expanded = false;
        bool populated = false;
    };
    static_assert(sizeof(Place) == 12, "the flags take Place's padding");
    static constexpr NodeId kFreed = 0xFFFFFFFEu;
    static constexpr std::uint64_t kNoBytes = ~std::uint64_t{0};

    // A node's values, checked where asserts are on.
    const Node& at(NodeId node) const {
        assert(isValid(node) && "node id not valid");
        return nodes_[node];
    }
    Node& at(NodeId node) {
        assert(isValid(node) && "node id not valid");
        return nodes_[node];
    }
    const Place& place(NodeId node) const {
        assert(isValid(node) && "node id not valid");
        return places_[node];
    }
    Place& placeRef(NodeId node) {
        assert(isValid(node) && "node id not valid");
        return places_[node];
    }

    std::vector<NodeId>& childrenRef(NodeId parent);
    // A node's room at the end of the store, for when no freed id is taken again.
    NodeId newSlot();
    void releaseSubtree(NodeId node);
    void renumber(std::vector<NodeId>& list, std::size_t from);
    bool contains(NodeId ancestor, NodeId node) const;

    std::vector<Node> nodes_;
    std::vector<Place> places_;   // by node id, beside nodes_
    std::vector<std::uint64_t> bytes_;   // by node id, kNoBytes where none was set
    std::vector<NodeId> roots_;
    std::vector<NodeId> freeList_;
    std::vector<TreeListener*> listeners_;
    NodeId selected_ = kNoNode;
    int batchDepth_ = 0;
};

}  // namespace parelix
