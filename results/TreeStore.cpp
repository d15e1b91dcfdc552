#include "results/TreeStore.h"

#include <algorithm>

#include "platform/Text.h"

namespace parelix {

void TreeStore::addListener(TreeListener* listener) { listeners_.push_back(listener); }

void TreeStore::removeListener(TreeListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

std::vector<NodeId>& TreeStore::childrenRef(NodeId parent) {
    return parent == kNoNode ? roots_ : at(parent).children;
}

NodeId TreeStore::firstChild(NodeId parent) const {
    const auto& list = children(parent);
    return list.empty() ? kNoNode : list.front();
}

NodeId TreeStore::lastChild(NodeId parent) const {
    const auto& list = children(parent);
    return list.empty() ? kNoNode : list.back();
}

NodeId TreeStore::nextSibling(NodeId node) const {
    return child(place(node).parent, static_cast<int>(places_[node].row) + 1);
}

NodeId TreeStore::prevSibling(NodeId node) const {
    return child(place(node).parent, static_cast<int>(places_[node].row) - 1);
}

NodeId TreeStore::nextInTreeOrder(NodeId node) const {
    if (!at(node).children.empty()) return nodes_[node].children.front();
    for (NodeId n = node; n != kNoNode; n = places_[n].parent) {
        NodeId next = nextSibling(n);
        if (next != kNoNode) return next;
    }
    return kNoNode;
}

NodeId TreeStore::prevInTreeOrder(NodeId node) const {
    NodeId prev = prevSibling(node);
    if (prev == kNoNode) return places_[node].parent;
    while (!nodes_[prev].children.empty()) prev = nodes_[prev].children.back();
    return prev;
}

NodeId TreeStore::newSlot() {
    nodes_.emplace_back();
    places_.emplace_back();
    return static_cast<NodeId>(nodes_.size() - 1);
}

NodeId TreeStore::addChild(NodeId parent, std::string text, NodeKind kind) {
    assert((parent == kNoNode || place(parent).kind != NodeKind::File) && "a file node has no children");
    NodeId id;
    if (!freeList_.empty()) {
        id = freeList_.back();
        freeList_.pop_back();
        nodes_[id] = Node{};
    } else {
        id = newSlot();
    }
    auto& list = childrenRef(parent);
    const int row = static_cast<int>(list.size());
    for (auto* l : listeners_) l->nodesAboutToBeInserted(parent, row, row);
    nodes_[id].text = std::move(text);
    places_[id] = Place{parent, static_cast<std::uint32_t>(row), kind};
    childrenRef(parent).push_back(id);
    for (auto* l : listeners_) l->nodesInserted(parent, row, row);
    return id;
}

NodeId TreeStore::insertChild(NodeId parent, int row, std::string text, NodeKind kind, NodeId wanted) {
    assert((parent == kNoNode || place(parent).kind != NodeKind::File) && "a file node has no children");
    // Searched from the end: what goes back was removed last, and its ids were freed last.
    const auto freed = std::find(freeList_.rbegin(), freeList_.rend(), wanted);
    NodeId id;
    if (freed != freeList_.rend()) {
        id = wanted;
        // The list's order does not matter: the last one takes the freed place.
        *freed = freeList_.back();
        freeList_.pop_back();
        nodes_[id] = Node{};
    } else {
        id = newSlot();
    }
    auto& list = childrenRef(parent);
    row = std::clamp(row, 0, static_cast<int>(list.size()));
    for (auto* l : listeners_) l->nodesAboutToBeInserted(parent, row, row);
    nodes_[id].text = std::move(text);
    places_[id] = Place{parent, static_cast<std::uint32_t>(row), kind};
    auto& children = childrenRef(parent);
    children.insert(children.begin() + row, id);
    renumber(children, static_cast<std::size_t>(row));
    for (auto* l : listeners_) l->nodesInserted(parent, row, row);
    return id;
}

int TreeStore::sortedRow(NodeId parent, std::string_view text) const {
    const auto& list = children(parent);
    const auto at = std::upper_bound(list.begin(), list.end(), text, [this](std::string_view t, NodeId n) {
        return lstrcmpA(t, nodes_[n].text) < 0;
    });
    return static_cast<int>(at - list.begin());
}

void TreeStore::renumber(std::vector<NodeId>& list, std::size_t from) {
    for (std::size_t i = from; i < list.size(); ++i) places_[list[i]].row = static_cast<std::uint32_t>(i);
}

void TreeStore::releaseSubtree(NodeId node) {
    for (NodeId c : nodes_[node].children) releaseSubtree(c);
    nodes_[node] = Node{};
    places_[node] = Place{};
    if (node < bytes_.size()) bytes_[node] = kNoBytes;
    freeList_.push_back(node);
}

bool TreeStore::contains(NodeId ancestor, NodeId node) const {
    for (NodeId n = node; n != kNoNode; n = places_[n].parent)
        if (n == ancestor) return true;
    return false;
}

void TreeStore::remove(NodeId node, bool selectNeighbour) {
    if (!isValid(node)) return;
    const NodeId parent = places_[node].parent;
    const int row = static_cast<int>(places_[node].row);

    // Like a tree view, pick a neighbour when the selection goes away with the subtree.
    NodeId successor = kNoNode;
    const bool selectionLost = selected_ != kNoNode && contains(node, selected_);
    if (selectionLost && selectNeighbour) {
        successor = nextSibling(node);
        if (successor == kNoNode) successor = prevSibling(node);
        if (successor == kNoNode) successor = parent;
    }

    for (auto* l : listeners_) l->nodesAboutToBeRemoved(parent, row, row);
    auto& list = childrenRef(parent);
    list.erase(list.begin() + row);
    renumber(list, static_cast<std::size_t>(row));
    releaseSubtree(node);
    if (selectionLost) selected_ = kNoNode;
    for (auto* l : listeners_) l->nodesRemoved(parent, row, row);

    if (selectionLost && successor != kNoNode) select(successor);
    else if (selectionLost)
        for (auto* l : listeners_) l->selectionChanged(kNoNode);
}

void TreeStore::clear() {
    for (auto* l : listeners_) l->aboutToBeCleared();
    nodes_.clear();
    nodes_.shrink_to_fit();
    places_.clear();
    places_.shrink_to_fit();
    bytes_.clear();
    bytes_.shrink_to_fit();
    roots_.clear();
    roots_.shrink_to_fit();
    freeList_.clear();
    freeList_.shrink_to_fit();
    selected_ = kNoNode;
    for (auto* l : listeners_) l->cleared();
}

void TreeStore::sortChildren(NodeId parent) {
    auto& list = childrenRef(parent);
    if (list.size() < 2) return;
    for (auto* l : listeners_) l->childrenAboutToBeReordered(parent);
    std::stable_sort(list.begin(), list.end(), [this](NodeId a, NodeId b) {
        return lstrcmpA(nodes_[a].text, nodes_[b].text) < 0;
    });
    renumber(list, 0);
    for (auto* l : listeners_) l->childrenReordered(parent);
}

void TreeStore::setText(NodeId node, std::string text) {
    at(node).text = std::move(text);
    for (auto* l : listeners_) l->nodeChanged(node);
}

void TreeStore::setKind(NodeId node, NodeKind kind) {
    if (place(node).kind == kind) return;
    assert((kind != NodeKind::File || nodes_[node].children.empty()) && "a file node has no children");
    places_[node].kind = kind;
    for (auto* l : listeners_) l->nodeChanged(node);
}

void TreeStore::setMarked(NodeId node, bool marked) {
    if (place(node).marked == marked) return;
    places_[node].marked = marked;
    for (auto* l : listeners_) l->nodeChanged(node);
}

std::optional<std::uint64_t> TreeStore::bytes(NodeId node) const {
    assert(isValid(node) && "node id not valid");
    if (node >= bytes_.size() || bytes_[node] == kNoBytes) return std::nullopt;
    return bytes_[node];
}

void TreeStore::setBytes(NodeId node, std::uint64_t bytes) {
    assert(isValid(node) && "node id not valid");
    assert(bytes != kNoBytes && "that count means none");
    if (node >= bytes_.size()) bytes_.resize(std::size_t{node} + 1, kNoBytes);
    bytes_[node] = bytes;
}

int TreeStore::imageIndex(NodeId node) const {
    const NodeKind kind = place(node).kind;
    const int image = kind == NodeKind::File ? kImgFile : kImgFolder;
    return places_[node].marked ? image + 1 : image;
}

int TreeStore::selectedIndex(NodeId node) const {
    const NodeKind kind = place(node).kind;
    const int image = kind == NodeKind::File ? kImgFile : kind == NodeKind::Folder ? kImgFolderOpen : kImgFolder;
    return places_[node].marked ? image + 1 : image;
}

void TreeStore::expand(NodeId node) {
    // Like a tree view, a node without children cannot open: a file node never shows as open.
    if (!isValid(node) || nodes_[node].children.empty()) return;
    if (events.expanding) events.expanding(node);
    if (places_[node].expanded) return;
    places_[node].expanded = true;
    for (auto* l : listeners_) l->expandedChanged(node, true);
    if (events.expanded) events.expanded(node);
}

void TreeStore::collapse(NodeId node) {
    if (!isValid(node)) return;
    if (events.collapsing) events.collapsing(node);
    if (!places_[node].expanded) return;
    places_[node].expanded = false;
    for (auto* l : listeners_) l->expandedChanged(node, false);
}

void TreeStore::select(NodeId node) {
    if (node == selected_) return;
    if (node != kNoNode && !isValid(node)) return;   // a removed node cannot take the selection
    if (node != kNoNode) {
        // Reveal: open the collapsed ancestors, outermost first.
        std::vector<NodeId> closed;
        for (NodeId a = places_[node].parent; a != kNoNode; a = places_[a].parent)
            if (!places_[a].expanded) closed.push_back(a);
        for (auto it = closed.rbegin(); it != closed.rend(); ++it) expand(*it);
    }
    selected_ = node;
    for (auto* l : listeners_) l->selectionChanged(node);
    if (node != kNoNode && events.change) events.change(node);
}

void TreeStore::beginBatch() {
    if (batchDepth_++ == 0)
        for (auto* l : listeners_) l->batchBegins();
}

void TreeStore::endBatch() {
    if (batchDepth_ == 0 || --batchDepth_ > 0) return;
    for (auto* l : listeners_) l->batchEnded();
}

}  // namespace parelix
