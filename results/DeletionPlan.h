#pragma once
// What a walk over the result trees would send to the recycle bin, worked out from the trees
// alone before anything is touched: the question before a walk names its count and size,
// and the walk carries it out file by file with its checks.
//
// A walk reaches the duplicates of its folders in a fixed order and, as it reaches each one,
// sends it away while its group still has another member (the link is tested on arrival).
// Going backwards, the copy of a group that comes first stays. A file in a reference folder
// is never reached, but stays a member: a reference copy is the group's surviving copy, and
// every other copy the walk reaches goes.
#include <cstdint>
#include <vector>

#include "results/ReferenceMarks.h"
#include "results/ResultTrees.h"

namespace parelix {

struct DeletionPlan {
    // Every duplicate the walk reaches, in the order it reaches them.
    std::vector<NodeId> reached;
    // Those it sends to the recycle bin when every deletion succeeds, in the same order.
    std::vector<NodeId> files;
    std::uint64_t bytes = 0;   // their sizes, added up
    // Duplicates left where they are because they lie in a reference folder.
    std::size_t references = 0;
};

// "Supprime les doubles de ce répertoire": the files directly inside the selected folder of
// DirList (or beside the selected file), backwards. Never into subfolders.
DeletionPlan planFolderDuplicates(const ResultTrees& trees, const ReferenceMarks& references, NodeId selected);

// "... et de ses sous-répertoires": the files of the selected folder (or of the selected
// file's folder) and of every folder under it, backwards through that whole subtree in the
// trees' order, so that of a group lying wholly inside it the copy that comes first stays.
DeletionPlan planTreeDuplicates(const ResultTrees& trees, const ReferenceMarks& references, NodeId selected);

// The folder a walk from the selected DirList node works on: the node itself when it has
// children, else its parent (kNoNode: the top level).
NodeId walkFolder(const ResultTrees& trees, NodeId selected);

}  // namespace parelix
