#include "results/ResultTrees.h"

#include "platform/Text.h"

namespace parelix {

ResultTrees::ResultTrees() {
    dirList.events.expanding = [this](NodeId n) { expandingRule(n); };
    dirList.events.collapsing = [this](NodeId n) { collapsingRule(n); };
}

void ResultTrees::setMark(NodeId node, bool marked) {
    const int image = marked ? (dirList.imageIndex(node) | 1) : (dirList.imageIndex(node) & ~1);
    const int selected = marked ? (dirList.selectedIndex(node) | 1) : (dirList.selectedIndex(node) & ~1);
    dirList.setImages(node, image, selected);
}

NodeId ResultTrees::addDuplicate(NodeId group, const std::string& path, NodeId file) {
    const NodeId member = dblList.addChild(group, path);
    dblList.setImages(member, kImgFileMarked, kImgFileMarked);
    dblList.setLink(member, file);
    dirList.setLink(file, member);
    for (NodeId n = file; n != kNoNode; n = dirList.parent(n)) {
        if (!dirList.isExpanded(n)) setMark(n, true);
        dirList.setCounter(n, dirList.counter(n) + 1);
    }
    return member;
}

void ResultTrees::unmark(NodeId file) {
    dirList.setLink(file, kNoNode);
    for (NodeId n = file; n != kNoNode; n = dirList.parent(n)) {
        dirList.setCounter(n, dirList.counter(n) - 1);
        if (dirList.counter(n) == 0) setMark(n, false);
    }
}

void ResultTrees::removeNode(NodeId node) {
    while (dirList.childCount(node) > 0) removeNode(dirList.firstChild(node));

    const NodeId member = dirList.link(node);
    if (member != kNoNode) {
        const NodeId group = dblList.parent(member);
        dblList.remove(member);
        if (dblList.childCount(group) == 1) {
            unmark(dblList.link(dblList.firstChild(group)));
            dblList.remove(group);
        }
        unmark(node);
    }

    NodeId next = dirList.nextSibling(node);
    if (next == kNoNode) next = dirList.prevSibling(node);
    if (next == kNoNode) next = dirList.parent(node);
    dirList.remove(node);
    if (next != kNoNode) dirList.select(next);
}

std::string ResultTrees::nodePath(NodeId node) const {
    std::string s;
    for (NodeId n = node; n != kNoNode; n = dirList.parent(n)) {
        s = cut255(dirList.text(n) + "\\" + s);
        if (s.compare(0, 3, "-->") == 0) s.erase(0, 4);
    }
    if (!s.empty()) s.pop_back();
    return s;
}

bool ResultTrees::isSearchRoot(NodeId node) const {
    const std::string& t = dirList.text(node);
    return t.size() >= 2 && t[1] == ':';
}

void ResultTrees::expandingRule(NodeId node) { setMark(node, false); }

void ResultTrees::collapsingRule(NodeId node) {
    if (dirList.counter(node) > 0) setMark(node, true);
}

void ResultTrees::clear() {
    dirList.clear();
    dblList.clear();
}

}  // namespace parelix
