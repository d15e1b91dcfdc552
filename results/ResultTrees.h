#pragma once
// The two result trees, DirList (searched folders) and DblList (duplicate groups), and the
// operations that keep their links, duplicate counters and marks consistent.
#include <cstdint>
#include <string>
#include <string_view>

#include "results/TreeStore.h"

namespace parelix {

// Which of the two trees a node id belongs to; None: neither (another control has the focus).
enum class TreeId { None, DirList, DblList };

class ResultTrees {
public:
    ResultTrees();

    TreeStore dirList;
    TreeStore dblList;

    // Appends a group node to DblList for files of the given size, with the caption
    // "(size)", and keeps the size with it (dblList.bytes): nothing reads it back from the text.
    NodeId addGroup(std::uint64_t size);
    // Appends a member node for path under group and links it with file, raising the
    // counters (and, on collapsed nodes, the marks) from file up to its search root.
    NodeId addDuplicate(NodeId group, const std::string& path, NodeId file);
    // Clears file's link and lowers the counters from it up; a counter reaching 0 loses its mark.
    void unmark(NodeId file);
    // Removes a DirList node with its subtree, taking its members out of their groups and
    // dissolving groups left with one member; then selects a neighbour, unless told not to
    // (a deletion sets the selection itself once it ends). A DirList selection that lay in
    // the removed subtree moves to a neighbour in any case; a DblList selection that goes
    // with its member or group moves to a neighbour only when told to, and otherwise to no
    // node: nobody follows it while a deletion holds the links, and a row selected unseen
    // would take no later click.
    void removeNode(NodeId node, bool selectNeighbour = true);
    // Full Windows-style path of a DirList node, cut to its first 255 characters.
    std::string nodePath(NodeId node) const;
    // The same path, never cut. Longer than 255 characters, the cut path names some other
    // file or folder (or none): whoever acts on a path must check this one.
    std::string fullNodePath(NodeId node) const;
    // True for a top-level DirList node.
    bool isSearchRoot(NodeId node) const;
    // True for a file node of DirList, whatever its name.
    bool isFileNode(NodeId node) const;
    // A DirList node's name: its text, without the "--> " that starts a folder's.
    std::string_view name(NodeId node) const;

    // Bound to DirList's expanding and collapsing events.
    void expandingRule(NodeId node);
    void collapsingRule(NodeId node);

    void clear();
    // Changes at every clear: node ids taken before belong to trees that are gone.
    std::uint64_t generation() const { return generation_; }

private:
    std::uint64_t generation_ = 0;
};

// The path of a node (a DirList node, or a DblList member) that the shell may be handed, or
// empty when the node's real path does not fit the 255 characters: the cut path would name
// some other file or folder.
std::string wholePath(const ResultTrees& trees, TreeId tree, NodeId node);
// The same into path, whose storage is reused: false when the path is not whole.
bool wholePathInto(const ResultTrees& trees, TreeId tree, NodeId node, std::string& path);

}  // namespace parelix
