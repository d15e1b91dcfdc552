#include "results/RemovedNodes.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace parelix {

namespace {

SavedNode saved(const TreeStore& store, NodeId node) {
    SavedNode s;
    s.id = node;
    s.parent = store.parent(node);
    s.row = store.row(node);
    s.text = store.text(node);
    s.kind = store.kind(node);
    s.marked = (store.imageIndex(node) & 1) != 0;
    s.expanded = store.isExpanded(node);
    s.populated = store.populated(node);
    s.counter = store.counter(node);
    s.link = store.link(node);
    s.bytes = store.bytes(node);
    return s;
}

// A file whose group comes back counts again, up to its search root (as addDuplicate).
void countAgain(TreeStore& dir, NodeId file, std::int32_t count) {
    if (count <= 0) return;
    for (NodeId n = file; n != kNoNode; n = dir.parent(n)) {
        dir.setCounter(n, dir.counter(n) + count);
        if (!dir.isExpanded(n)) dir.setMarked(n, true);
    }
}

// Everything the removed nodes hang on or link to is still in the trees.
bool placesRemain(const ResultTrees& trees, const RemovedNodes& removed) {
    const NodeId folder = removed.dir.front().parent;
    if (folder != kNoNode && !trees.dirList.isValid(folder)) return false;
    std::unordered_set<NodeId> inside, dissolved;
    for (const SavedNode& d : removed.dir) inside.insert(d.id);
    for (const SavedNode& g : removed.groups) dissolved.insert(g.id);
    for (const SavedNode& m : removed.members) {
        if (!dissolved.count(m.parent) && !trees.dblList.isValid(m.parent)) return false;
        if (!inside.count(m.link) && !trees.dirList.isValid(m.link)) return false;
    }
    return true;
}

// The DirList subtree, parents first: each under the id the map gives its parent.
void putBackDir(TreeStore& dir, const RemovedNodes& removed, std::unordered_map<NodeId, NodeId>& ids) {
    const SavedNode& top = removed.dir.front();
    for (const SavedNode& s : removed.dir) {
        const bool isTop = &s == &top;
        const NodeId parent = isTop ? s.parent : ids.at(s.parent);
        // A search root keeps its row; elsewhere the folder's order tells, whatever else
        // stayed in the recycle bin.
        const int row = isTop && parent != kNoNode ? dir.sortedRow(parent, s.text) : s.row;
        const NodeId id = dir.insertChild(parent, row, s.text, s.kind, s.id);
        ids[s.id] = id;
        dir.setCounter(id, s.counter);
        dir.setPopulated(id, s.populated);
    }
}

}  // namespace

RemovedNodes nodesToBeRemoved(const ResultTrees& trees, NodeId node) {
    RemovedNodes out;
    const TreeStore& dir = trees.dirList;
    const TreeStore& dbl = trees.dblList;
    if (!dir.isValid(node)) return out;
    std::map<NodeId, std::vector<NodeId>> going;   // group: its members that go
    std::vector<NodeId> stack{node};
    while (!stack.empty()) {
        const NodeId n = stack.back();
        stack.pop_back();
        out.dir.push_back(saved(dir, n));
        const NodeId member = dir.link(n);
        if (member != kNoNode && dbl.isValid(member) && dbl.parent(member) != kNoNode)
            going[dbl.parent(member)].push_back(member);
        const std::vector<NodeId>& children = dir.children(n);
        for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(*it);
    }
    for (const auto& [group, members] : going) {
        // A group left with one member dissolves, and takes that member along.
        if (static_cast<std::size_t>(dbl.childCount(group)) <= members.size() + 1) {
            out.groups.push_back(saved(dbl, group));
            for (const NodeId m : dbl.children(group)) out.members.push_back(saved(dbl, m));
        } else {
            for (const NodeId m : members) out.members.push_back(saved(dbl, m));
        }
    }
    std::sort(out.groups.begin(), out.groups.end(), [](const SavedNode& a, const SavedNode& b) { return a.row < b.row; });
    return out;
}

bool putBack(ResultTrees& trees, const RemovedNodes& removed) {
    if (removed.empty() || !placesRemain(trees, removed)) return false;
    TreeStore& dir = trees.dirList;
    TreeStore& dbl = trees.dblList;
    std::unordered_map<NodeId, NodeId> dirIds, dblIds;
    putBackDir(dir, removed, dirIds);

    for (const SavedNode& g : removed.groups) {
        const NodeId id = dblIds[g.id] = dbl.insertChild(kNoNode, g.row, g.text, g.kind, g.id);
        if (g.bytes) dbl.setBytes(id, *g.bytes);
    }
    for (const SavedNode& m : removed.members) {
        const auto group = dblIds.find(m.parent);
        const NodeId parent = group != dblIds.end() ? group->second : m.parent;
        const NodeId id = dbl.insertChild(parent, dbl.sortedRow(parent, m.text), m.text, m.kind, m.id);
        dbl.setMarked(id, m.marked);
        const auto inside = dirIds.find(m.link);
        const NodeId file = inside != dirIds.end() ? inside->second : m.link;
        dbl.setLink(id, file);
        dir.setLink(file, id);
        if (inside == dirIds.end()) countAgain(dir, file, 1);   // its group had dissolved
    }
    for (const SavedNode& g : removed.groups)
        if (g.expanded) dbl.expand(dblIds.at(g.id));

    // Open folders as they were (opening clears a mark), then the marks as they were.
    for (const SavedNode& s : removed.dir) {
        const NodeId id = dirIds.at(s.id);
        if (s.expanded) dir.expand(id);
        dir.setMarked(id, s.marked);
    }
    const SavedNode& top = removed.dir.front();
    if (top.parent != kNoNode) countAgain(dir, top.parent, top.counter);
    return true;
}

}  // namespace parelix
