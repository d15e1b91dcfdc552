#include "results/ReferenceMarks.h"

namespace parelix {

void ReferenceMarks::mark(const std::string& searchPath, bool reference) {
    if (reference) paths_.insert(searchPath);
    else paths_.erase(searchPath);
}

bool ReferenceMarks::holds(const ResultTrees& trees, NodeId dirNode) const {
    const TreeStore& dir = trees.dirList;
    if (paths_.empty() || dirNode == kNoNode || !dir.isValid(dirNode)) return false;
    NodeId root = dirNode;
    while (dir.parent(root) != kNoNode) root = dir.parent(root);
    return marked(dir.text(root));
}

bool ReferenceMarks::holdsMember(const ResultTrees& trees, NodeId member) const {
    if (paths_.empty() || member == kNoNode || !trees.dblList.isValid(member)) return false;
    return holds(trees, trees.dblList.link(member));
}

}  // namespace parelix
