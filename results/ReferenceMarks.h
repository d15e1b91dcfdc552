#pragma once
// Reference folders: search paths whose files are searched and grouped as any other, but
// never sent to the recycle bin. A mark belongs to a search path, so a DirList node lies in
// a reference folder exactly when its search root's text is marked.
#include <set>
#include <string>

#include "results/ResultTrees.h"

namespace parelix {

class ReferenceMarks {
public:
    void mark(const std::string& searchPath, bool reference);
    bool marked(const std::string& searchPath) const { return paths_.count(searchPath) > 0; }
    void clear() { paths_.clear(); }
    bool empty() const { return paths_.empty(); }

    // A DirList node (search root, folder or file) below a marked search path.
    bool holds(const ResultTrees& trees, NodeId dirNode) const;
    // A DblList member whose file lies below a marked search path.
    bool holdsMember(const ResultTrees& trees, NodeId member) const;

private:
    std::set<std::string> paths_;
};

}  // namespace parelix
