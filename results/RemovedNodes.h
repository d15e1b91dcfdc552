#pragma once
// What one removal from the result trees takes away (ResultTrees::removeNode): the DirList
// subtree, the members that leave their groups and the groups that dissolve, saved right
// before it, so that a deletion taken back puts the trees back as they were: nodes in their
// places and groups, links, counters, marks and open folders.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "results/ResultTrees.h"

namespace parelix {

struct SavedNode {
    NodeId id = kNoNode;
    NodeId parent = kNoNode;
    int row = 0;
    std::string text;
    NodeKind kind = NodeKind::Plain;
    bool marked = false;
    bool expanded = false;
    bool populated = false;
    std::int32_t counter = -1;
    NodeId link = kNoNode;
    std::optional<std::uint64_t> bytes;   // a group's file size
};

struct RemovedNodes {
    std::vector<SavedNode> dir;       // the DirList subtree, parents first; dir[0] is its top
    std::vector<SavedNode> groups;    // the groups that dissolve, in their order
    std::vector<SavedNode> members;   // the members that go, those of dissolving groups included
    bool empty() const { return dir.empty(); }
};

// What removeNode(node) is about to take away; empty for a node that is not there.
RemovedNodes nodesToBeRemoved(const ResultTrees& trees, NodeId node);

// Puts them back, under their old ids where those are free, the top at its sorted place
// among its folder's children (a search root at its row), the members at theirs in their
// groups; the counters above the top and of the files whose groups come back go up again,
// with the marks the rules give. False, changing nothing, when the top's folder or a
// surviving group is no longer in the trees.
bool putBack(ResultTrees& trees, const RemovedNodes& removed);

}  // namespace parelix
