#include "results/Browsing.h"

#include <algorithm>
#include <vector>

#include "platform/Text.h"

namespace parelix {

const char* openFileMessage(int code) {
    switch (code) {
    case 0: return "The operating system is out of memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found.";
    case 5: return "The operating system denied access to the specified file.";
    case 8: return "There was not enough memory to complete the operation.";
    case 11: return "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    case 26: return "A sharing violation occurred.";
    case 27: return "The filename association is incomplete or invalid.";
    case 28: return "The DDE transaction could not be completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30:
        return "The DDE transaction could not be completed because other DDE transactions were "
               "being processed.";
    case 31: return "There is no application associated with the given filename extension.";
    case 32: return "The specified dynamic-link library was not found.";
    default: return nullptr;
    }
}

std::string statusTextFor(const ResultTrees& trees, NodeId node) {
    std::string text = trees.nodePath(node);
    if (trees.dirList.childCount(node) == 0) return text;
    const std::int32_t count = trees.dirList.counter(node);
    text += " : ";
    if (count == 0) text += "aucun double";
    else if (count == 1) text += "un double";
    else text += std::to_string(count) + " doubles";
    return cut255(text);
}

void Browsing::dirListChange(NodeId node) {
    // During a deletion the trees' selections move as nodes go; the deletion sets them once
    // at its end, and meanwhile DirList neither opens nor scrolls to follow DblList.
    if (node == kNoNode || session_.linksHeld()) return;
    const NodeId member = trees_.dirList.link(node);
    if (member != kNoNode) {
        // Runs dblListChange, which finds this node already selected: the chain stops there.
        trees_.dblList.select(member);
        session_.setHideSelection(TreeId::DblList, false);
    } else {
        session_.setHideSelection(TreeId::DblList, true);
    }
    session_.setStatusText(statusTextFor(trees_, node));
}

void Browsing::dblListChange(NodeId node) {
    if (node == kNoNode || session_.linksHeld()) return;
    const NodeId file = trees_.dblList.link(node);
    if (file == kNoNode) {   // a group node: the status bar keeps its text
        session_.setHideSelection(TreeId::DirList, true);
        return;
    }
    trees_.dirList.select(file);
    session_.setHideSelection(TreeId::DirList, false);
}

NodeId Browsing::focusedNode(TreeId* tree) const {
    const TreeId focus = session_.focusedTree();
    if (tree) *tree = focus;
    if (focus == TreeId::DirList) return trees_.dirList.selected();
    if (focus == TreeId::DblList) return trees_.dblList.selected();
    return kNoNode;
}

void Browsing::stepDuplicate(bool forward) {
    TreeId which = TreeId::None;
    NodeId node = focusedNode(&which);
    if (node == kNoNode) return;
    TreeStore& tree = which == TreeId::DirList ? trees_.dirList : trees_.dblList;
    do {
        node = forward ? tree.nextInTreeOrder(node) : tree.prevInTreeOrder(node);
    } while (node != kNoNode && tree.link(node) == kNoNode);
    if (node != kNoNode) tree.select(node);
}

void Browsing::previousDuplicate() { stepDuplicate(false); }
void Browsing::nextDuplicate() { stepDuplicate(true); }

void Browsing::setFirstRootExpanded(bool expand) {
    TreeStore& tree = trees_.dirList;
    if (tree.empty()) return;
    BusyHold hold(session_, false);
    // One batch for the views: each would otherwise lay itself out again for every folder.
    TreeStore::Batch batch(tree);
    // Pre-order over the first root's subtree; an explicit stack keeps deep trees off the
    // call stack.
    std::vector<NodeId> pending{tree.firstRoot()};
    while (!pending.empty()) {
        const NodeId node = pending.back();
        pending.pop_back();
        const auto& kids = tree.children(node);
        if (kids.empty()) continue;
        if (expand) tree.expand(node);
        else tree.collapse(node);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) pending.push_back(*it);
    }
}

void Browsing::expandAll() { setFirstRootExpanded(true); }
void Browsing::collapseAll() { setFirstRootExpanded(false); }

void Browsing::dirListDblClick() {
    const NodeId node = trees_.dirList.selected();
    if (node != kNoNode) openNode(TreeId::DirList, node);
}

void Browsing::dblListDblClick() {
    // A group node's text, "(size)", names no file: only members are opened.
    const NodeId node = trees_.dblList.selected();
    if (node != kNoNode && trees_.dblList.link(node) != kNoNode) openNode(TreeId::DblList, node);
}

void Browsing::openNode(TreeId tree, NodeId node) {
    const std::string path = wholePath(trees_, tree, node);
    if (!path.empty()) {
        openFile(path);
        return;
    }
    const std::string shown = tree == TreeId::DirList ? trees_.nodePath(node) : trees_.dblList.text(node);
    services_.showMessage(cut255(kPathTooLongToOpen + shown), "Erreur", MessageKind::Error);
}

void Browsing::openFile(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\:");
    const std::string directory = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    const int code = services_.shellExecute(path, directory, SW_SHOWNORMAL);
    if (code > 32) return;
    if (const char* message = openFileMessage(code)) services_.showMessage(message, {}, MessageKind::Plain);
}

}  // namespace parelix
