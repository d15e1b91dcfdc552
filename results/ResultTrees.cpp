#include "results/ResultTrees.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Text.h"

namespace parelix {

namespace {
// Text that starts every directory node below a search root.
constexpr std::string_view kDirPrefix = "--> ";
}  // namespace

ResultTrees::ResultTrees() {
    dirList.events.expanding = [this](NodeId n) { expandingRule(n); };
    dirList.events.collapsing = [this](NodeId n) { collapsingRule(n); };
}

NodeId ResultTrees::addGroup(std::uint64_t size) {
    // Built piece by piece: GCC 12 warns falsely about "(" + to_string() at -O3.
    std::string caption(1, '(');
    caption += std::to_string(size);
    caption += ')';
    const NodeId group = dblList.addChild(kNoNode, std::move(caption));
    dblList.setBytes(group, size);
    return group;
}

NodeId ResultTrees::addDuplicate(NodeId group, const std::string& path, NodeId file) {
    const NodeId member = dblList.addChild(group, path, NodeKind::File);
    dblList.setMarked(member, true);
    dblList.setLink(member, file);
    dirList.setLink(file, member);
    for (NodeId n = file; n != kNoNode; n = dirList.parent(n)) {
        if (!dirList.isExpanded(n)) dirList.setMarked(n, true);
        dirList.setCounter(n, dirList.counter(n) + 1);
    }
    return member;
}

void ResultTrees::unmark(NodeId file) {
    dirList.setLink(file, kNoNode);
    for (NodeId n = file; n != kNoNode; n = dirList.parent(n)) {
        dirList.setCounter(n, dirList.counter(n) - 1);
        if (dirList.counter(n) == 0) dirList.setMarked(n, false);
    }
}

void ResultTrees::removeNode(NodeId node, bool selectNeighbour) {
    if (!dirList.isValid(node)) return;
    while (dirList.childCount(node) > 0) removeNode(dirList.firstChild(node), selectNeighbour);

    const NodeId member = dirList.link(node);
    if (member != kNoNode && dblList.isValid(member)) {
        const NodeId group = dblList.parent(member);
        dblList.remove(member, selectNeighbour);
        // A group of one is no group: its last file stops being a duplicate. A group can
        // only be that small while it is still being built; it goes the same way.
        if (group != kNoNode && dblList.isValid(group) && dblList.childCount(group) <= 1) {
            const NodeId last = dblList.firstChild(group);
            if (last != kNoNode && dblList.link(last) != kNoNode) unmark(dblList.link(last));
            dblList.remove(group, selectNeighbour);
        }
    }
    if (member != kNoNode) unmark(node);

    NodeId next = dirList.nextSibling(node);
    if (next == kNoNode) next = dirList.prevSibling(node);
    if (next == kNoNode) next = dirList.parent(node);
    dirList.remove(node);
    if (next != kNoNode && selectNeighbour) dirList.select(next);
}

bool ResultTrees::isFileNode(NodeId node) const {
    return dirList.kind(node) == NodeKind::File;
}

std::string_view ResultTrees::name(NodeId node) const {
    std::string_view t = dirList.text(node);
    // Only folders carry the "--> " prefix. A file may itself be called "--> x" here, and
    // cutting its name would name another file.
    if (!isFileNode(node) && t.substr(0, 4) == kDirPrefix) t.remove_prefix(4);
    return t;
}

std::string ResultTrees::fullNodePath(NodeId node) const {
    std::vector<NodeId> chain;
    std::size_t length = 0;
    for (NodeId n = node; n != kNoNode; n = dirList.parent(n)) {
        chain.push_back(n);
        length += dirList.text(n).size() + 1;
    }
    std::string path;
    path.reserve(length);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) path += '\\';
        path += name(*it);
    }
    return path;
}

std::string ResultTrees::nodePath(NodeId node) const {
    // Cut once, at the end: a path of exactly 255 characters keeps its last character.
    return cut255(fullNodePath(node));
}

bool ResultTrees::isSearchRoot(NodeId node) const {
    // A top-level node. The text alone cannot tell: names here may hold a colon.
    return dirList.isValid(node) && dirList.parent(node) == kNoNode;
}

void ResultTrees::expandingRule(NodeId node) { dirList.setMarked(node, false); }

void ResultTrees::collapsingRule(NodeId node) {
    if (dirList.counter(node) > 0) dirList.setMarked(node, true);
}

void ResultTrees::clear() {
    ++generation_;
    dirList.clear();
    dblList.clear();
}

namespace {

// Whether a DirList node's full path is whole: at most 255 characters (length: how many), and
// no folder on it has a name cut when its node was made (a cut name cannot be told from a
// whole one). Reads the texts only: nothing is built.
bool dirPathWhole(const ResultTrees& trees, NodeId node, std::size_t& length) {
    const TreeStore& dir = trees.dirList;
    length = 0;
    for (NodeId n = node; n != kNoNode; n = dir.parent(n)) {
        if (dir.parent(n) != kNoNode && !trees.isFileNode(n) && dir.text(n).size() >= kShortStringMax) return false;
        length += trees.name(n).size() + (n == node ? 0 : 1);
    }
    return length <= kShortStringMax;
}

}  // namespace

bool wholePathInto(const ResultTrees& trees, TreeId tree, NodeId node, std::string& path) {
    std::size_t length = 0;
    if (tree == TreeId::DblList) {
        // The member's text is the file's path; it is trusted only while the file node's own
        // path is whole.
        const NodeId file = trees.dblList.link(node);
        if (file == kNoNode || !dirPathWhole(trees, file, length)) return false;
        const std::string& text = trees.dblList.text(node);
        path.assign(text, 0, std::min(text.size(), kShortStringMax));
        return true;
    }
    // A path cut to 255 characters names another file or folder (possibly an ancestor of
    // this one), which must never reach the shell. Written from its end, in place.
    if (!dirPathWhole(trees, node, length)) return false;
    path.resize(length);
    std::size_t end = length;
    for (NodeId n = node; n != kNoNode; n = trees.dirList.parent(n)) {
        const std::string_view name = trees.name(n);
        end -= name.size();
        path.replace(end, name.size(), name);
        if (end > 0) path[--end] = '\\';
    }
    return true;
}

std::string wholePath(const ResultTrees& trees, TreeId tree, NodeId node) {
    std::string path;
    if (!wholePathInto(trees, tree, node, path)) path.clear();
    return path;
}

}  // namespace parelix
