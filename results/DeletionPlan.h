#pragma once
// What a walk over the result trees sends to the recycle bin, worked out from the trees alone
// before anything is touched: the question before a walk names its count and size, and the
// walk carries it out, file by file with its checks, and sends nothing the plan does not list.
//
// A walk reaches the duplicates of its folders in a fixed order and, as it reaches each one,
// plans to send it away while its group still has another member. Going backwards, the copy
// of a group that comes first stays. A file in a reference folder is never reached, but stays
// a member: a reference copy is the group's surviving copy, and every other copy the walk
// reaches goes. Every group the plan touches keeps at least one copy, whatever fails later.
#include <cstdint>
#include <vector>

#include "results/ReferenceMarks.h"
#include "results/ResultTrees.h"

namespace parelix {

struct DeletionPlan {
    // A group the walk sends copies of: those that go, and those that stay (at least one).
    struct Group {
        NodeId group = kNoNode;          // its DblList node
        std::vector<NodeId> going;       // DirList files, in the walk's order
        std::vector<NodeId> staying;     // DirList files of every other member
    };
    // A file that goes, and the index of its group in groups.
    struct Step {
        NodeId file = kNoNode;
        std::uint32_t group = 0;
    };
    std::vector<Step> steps;   // in the walk's order
    std::vector<Group> groups;
    std::uint64_t bytes = 0;   // the sizes of the files that go, added up
    // Duplicates left where they are because they lie in a reference folder.
    std::size_t references = 0;
    // Empty duplicates the tree walk leaves where they are.
    std::size_t emptyKept = 0;

    bool empty() const { return steps.empty(); }
    // The files that go, in the walk's order.
    std::vector<NodeId> files() const;
    // The copies the plan keeps of the group a step's file belongs to.
    const std::vector<NodeId>& keepers(const Step& step) const { return groups[step.group].staying; }
    // The first of them, the copy a step's check tries first.
    NodeId keeper(const Step& step) const { return keepers(step).empty() ? kNoNode : keepers(step).front(); }
};

// True when every group of the plan keeps a copy and no file both goes and stays.
bool keepsACopyOfEveryGroup(const DeletionPlan& plan);

// "Supprime les doubles de ce répertoire": the files directly inside the selected folder of
// DirList (or beside the selected file), backwards. Never into subfolders.
DeletionPlan planFolderDuplicates(const ResultTrees& trees, const ReferenceMarks& references, NodeId selected);

// "... et de ses sous-répertoires": the files of the selected folder (or of the selected
// file's folder) and of every folder under it, backwards through that whole subtree in the
// trees' order, so that of a group lying wholly inside it the copy that comes first stays.
// Empty files stay where they are: sending one frees nothing, and its presence is often all
// it holds (".keep", ".nomedia", an empty "__init__.py").
DeletionPlan planTreeDuplicates(const ResultTrees& trees, const ReferenceMarks& references, NodeId selected);

// The folder a walk from the selected DirList node works on: the node itself when it has
// children, else its parent (kNoNode: the top level).
NodeId walkFolder(const ResultTrees& trees, NodeId selected);

}  // namespace parelix
