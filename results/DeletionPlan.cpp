#include "results/DeletionPlan.h"

#include <algorithm>
#include <cassert>
#include <unordered_map>
#include <unordered_set>

namespace parelix {

namespace {

// Walks the duplicates in the order given, each going while its group still has another
// member, as the walk would decide on arrival if every deletion succeeded.
class Planner {
public:
    // keepEmpty: empty duplicates stay where they are, members of their groups.
    Planner(const ResultTrees& trees, bool keepEmpty) : trees_(trees), keepEmpty_(keepEmpty) {}

    // One node on the walk's way: a duplicate is reached, unless it lies in a reference
    // folder (inReference), where it only stays a member of its group, or is empty.
    void visit(NodeId node, bool inReference) {
        const TreeStore& dir = trees_.dirList;
        if (dir.link(node) == kNoNode || dir.childCount(node) != 0) return;
        if (inReference) ++plan_.references;
        else if (keepEmpty_ && trees_.dblList.bytes(trees_.dblList.parent(dir.link(node))) == 0u) ++plan_.emptyKept;
        else reach(node);
    }

    DeletionPlan take() {
        const TreeStore& dbl = trees_.dblList;
        for (DeletionPlan::Group& g : plan_.groups) {
            const std::unordered_set<NodeId> going(g.going.begin(), g.going.end());
            for (NodeId member : dbl.children(g.group))
                if (const NodeId file = dbl.link(member); file != kNoNode && !going.count(file)) g.staying.push_back(file);
        }
        assert(keepsACopyOfEveryGroup(plan_) && "a walk's plan sends the last copy of a group");
        return std::move(plan_);
    }

private:
    void reach(NodeId file) {
        const TreeStore& dbl = trees_.dblList;
        const NodeId group = dbl.parent(trees_.dirList.link(file));
        auto [at, fresh] = index_.try_emplace(group, static_cast<std::uint32_t>(plan_.groups.size()));
        if (fresh) {
            plan_.groups.push_back({group, {}, {}});
            left_.push_back(dbl.childCount(group));
        }
        if (left_[at->second] < 2) return;   // the last member left stays
        --left_[at->second];
        plan_.groups[at->second].going.push_back(file);
        plan_.steps.push_back({file, at->second});
        plan_.bytes += dbl.bytes(group).value_or(0);
    }

    const ResultTrees& trees_;
    const bool keepEmpty_;
    std::unordered_map<NodeId, std::uint32_t> index_;   // a group's place in plan_.groups
    std::vector<int> left_;                             // members each group still has
    DeletionPlan plan_;
};

}  // namespace

std::vector<NodeId> DeletionPlan::files() const {
    std::vector<NodeId> out;
    out.reserve(steps.size());
    for (const Step& s : steps) out.push_back(s.file);
    return out;
}

bool keepsACopyOfEveryGroup(const DeletionPlan& plan) {
    for (const DeletionPlan::Group& g : plan.groups) {
        if (g.staying.empty()) return false;
        for (NodeId kept : g.staying)
            if (std::find(g.going.begin(), g.going.end(), kept) != g.going.end()) return false;
    }
    return true;
}

NodeId walkFolder(const ResultTrees& trees, NodeId selected) {
    const TreeStore& dir = trees.dirList;
    return dir.childCount(selected) > 0 ? selected : dir.parent(selected);
}

DeletionPlan planFolderDuplicates(const ResultTrees& trees, const ReferenceMarks& references, NodeId selected) {
    if (selected == kNoNode || !trees.dirList.isValid(selected)) return {};
    const NodeId folder = walkFolder(trees, selected);
    const bool inReference = folder != kNoNode && references.holds(trees, folder);
    Planner planner(trees, false);
    const std::vector<NodeId>& kids = trees.dirList.children(folder);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) planner.visit(*it, inReference);
    return planner.take();
}

DeletionPlan planTreeDuplicates(const ResultTrees& trees, const ReferenceMarks& references, NodeId selected) {
    if (selected == kNoNode || !trees.dirList.isValid(selected)) return {};
    const TreeStore& dir = trees.dirList;
    const NodeId top = walkFolder(trees, selected);
    if (top == kNoNode) return {};   // a search root with nothing in it
    Planner planner(trees, true);
    // Backwards through the trees' order: the last child first, a folder's subtree where the
    // folder stands among its siblings. A folder below may show a reference folder under
    // another path (a bind mount): from there on everything is a reference.
    struct Level {
        NodeId folder;
        std::size_t left;   // children not yet visited
        bool inReference;
    };
    std::vector<Level> stack{{top, dir.children(top).size(), references.holds(trees, top)}};
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.left == 0) {
            stack.pop_back();
            continue;
        }
        const NodeId node = dir.children(level.folder)[--level.left];
        const bool inReference = level.inReference;
        if (dir.childCount(node) > 0)
            stack.push_back({node, dir.children(node).size(), inReference || references.isPlace(trees, node)});
        else planner.visit(node, inReference);
    }
    return planner.take();
}

}  // namespace parelix
