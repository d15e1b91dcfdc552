#include "results/ReferenceMarks.h"

#include <vector>

#include "platform/Places.h"

namespace parelix {

bool ReferenceDisk::covers(const std::string& posixPath) const {
    if (places_.empty()) return false;
    if (const std::optional<FileIdentity> self = placeIdentity(posixPath); self && holders_.count(*self)) return true;
    for (const FileIdentity& holder : holderIdentities(posixPath))
        if (places_.count(holder)) return true;
    return false;
}

void ReferenceMarks::mark(const std::string& searchPath, bool reference) {
    if (reference) paths_.insert(searchPath);
    else paths_.erase(searchPath);
}

void ReferenceMarks::locate(const ResultTrees& trees, const DriveTable& drives) {
    places_.clear();
    locatedIn_ = trees.generation();
    std::unordered_set<FileIdentity, FileIdentityHash> wanted;
    for (const std::string& path : paths_)
        if (const std::optional<std::string> posix = drives.toPosix(path))
            if (const std::optional<FileIdentity> id = placeIdentity(*posix)) wanted.insert(*id);
    if (wanted.empty()) return;
    // Every folder node, walked or not (a folder reached twice stays unwalked); below a place
    // everything is a reference already. A search root may lie inside a reference folder,
    // reached through a link on its way.
    const TreeStore& dir = trees.dirList;
    std::vector<NodeId> todo(dir.children(kNoNode).begin(), dir.children(kNoNode).end());
    while (!todo.empty()) {
        const NodeId node = todo.back();
        todo.pop_back();
        const std::optional<std::string> posix = drives.toPosix(trees.fullNodePath(node));
        const std::optional<FileIdentity> id = posix ? placeIdentity(*posix) : std::nullopt;
        bool place = id && wanted.count(*id);
        if (posix && !place && dir.parent(node) == kNoNode)
            for (const FileIdentity& holder : holderIdentities(*posix)) place = place || wanted.count(holder) > 0;
        if (place) {
            places_.insert(node);
            continue;
        }
        for (NodeId child : dir.children(node))
            if (!trees.isFileNode(child)) todo.push_back(child);
    }
}

bool ReferenceMarks::isPlace(const ResultTrees& trees, NodeId dirNode) const {
    const TreeStore& dir = trees.dirList;
    if (dir.parent(dirNode) == kNoNode && marked(dir.text(dirNode))) return true;
    return located(trees) && places_.count(dirNode) > 0;
}

bool ReferenceMarks::holds(const ResultTrees& trees, NodeId dirNode) const {
    const TreeStore& dir = trees.dirList;
    if (paths_.empty() || dirNode == kNoNode || !dir.isValid(dirNode)) return false;
    for (NodeId n = dirNode; n != kNoNode; n = dir.parent(n))
        if (isPlace(trees, n)) return true;
    return false;
}

bool ReferenceMarks::touches(const ResultTrees& trees, NodeId dirNode) const {
    if (holds(trees, dirNode)) return true;
    if (!located(trees) || dirNode == kNoNode || !trees.dirList.isValid(dirNode)) return false;
    for (NodeId place : places_)
        if (trees.dirList.isValid(place))
            for (NodeId n = trees.dirList.parent(place); n != kNoNode; n = trees.dirList.parent(n))
                if (n == dirNode) return true;
    return false;
}

ReferenceDisk ReferenceMarks::onDisk(const ResultTrees& trees, const DriveTable& drives) const {
    ReferenceDisk disk;
    std::vector<std::string> where;
    for (const std::string& path : paths_)
        if (std::optional<std::string> posix = drives.toPosix(path)) where.push_back(std::move(*posix));
    if (located(trees))
        for (NodeId place : places_)
            if (trees.dirList.isValid(place))
                if (std::optional<std::string> posix = drives.toPosix(trees.fullNodePath(place)))
                    where.push_back(std::move(*posix));
    for (const std::string& posix : where) {
        const std::optional<FileIdentity> id = placeIdentity(posix);
        if (!id) continue;
        disk.places_.insert(*id);
        disk.holders_.insert(*id);
        for (const FileIdentity& holder : holderIdentities(posix)) disk.holders_.insert(holder);
    }
    return disk;
}

}  // namespace parelix
