#include "results/DeletionPlan.h"

#include <unordered_map>

#include "results/SpaceFigures.h"

namespace parelix {

namespace {

// Walks the duplicates in the order given, each going while its group still has another
// member, as the walk's test on arrival decides when every deletion succeeds.
class Planner {
public:
    explicit Planner(const ResultTrees& trees) : trees_(trees) {}

    // One node on the walk's way: a duplicate is reached, unless it lies in a reference
    // folder (inReference), where it only stays a member of its group.
    void visit(NodeId node, bool inReference) {
        const TreeStore& dir = trees_.dirList;
        if (dir.link(node) == kNoNode || dir.childCount(node) != 0) return;
        if (inReference) ++plan_.references;
        else reach(node);
    }

    DeletionPlan take() { return std::move(plan_); }

private:
    void reach(NodeId file) {
        const TreeStore& dbl = trees_.dblList;
        plan_.reached.push_back(file);
        const NodeId group = dbl.parent(trees_.dirList.link(file));
        auto [left, fresh] = left_.try_emplace(group, 0);
        if (fresh) left->second = dbl.childCount(group);
        if (left->second < 2) return;   // the last member left: its link is gone by now
        --left->second;
        plan_.files.push_back(file);
        plan_.bytes += groupSize(dbl, group).value_or(0);
    }

    const ResultTrees& trees_;
    std::unordered_map<NodeId, int> left_;   // members each group still has
    DeletionPlan plan_;
};

}  // namespace

NodeId walkFolder(const ResultTrees& trees, NodeId selected) {
    const TreeStore& dir = trees.dirList;
    return dir.childCount(selected) > 0 ? selected : dir.parent(selected);
}

DeletionPlan planFolderDuplicates(const ResultTrees& trees, const ReferenceMarks& references, NodeId selected) {
    if (selected == kNoNode || !trees.dirList.isValid(selected)) return {};
    const NodeId folder = walkFolder(trees, selected);
    const bool inReference = folder != kNoNode && references.holds(trees, folder);
    Planner planner(trees);
    const std::vector<NodeId>& kids = trees.dirList.children(folder);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) planner.visit(*it, inReference);
    return planner.take();
}

DeletionPlan planTreeDuplicates(const ResultTrees& trees, const ReferenceMarks& references, NodeId selected) {
    if (selected == kNoNode || !trees.dirList.isValid(selected)) return {};
    const TreeStore& dir = trees.dirList;
    const NodeId top = walkFolder(trees, selected);
    if (top == kNoNode) return {};   // a search root with nothing in it
    // The whole subtree lies below one search root.
    const bool inReference = references.holds(trees, top);
    Planner planner(trees);
    // Backwards through the trees' order: the last child first, a folder's subtree where
    // the folder stands among its siblings.
    std::vector<std::pair<NodeId, std::size_t>> stack{{top, dir.children(top).size()}};   // folder, children left
    while (!stack.empty()) {
        auto& [folder, left] = stack.back();
        if (left == 0) {
            stack.pop_back();
            continue;
        }
        const NodeId node = dir.children(folder)[--left];
        if (dir.childCount(node) > 0) stack.emplace_back(node, dir.children(node).size());
        else planner.visit(node, inReference);
    }
    return planner.take();
}

}  // namespace parelix
