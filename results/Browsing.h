#pragma once
// What the user does with the result trees short of deleting: the two trees following each
// other's selection, the status bar text, stepping from duplicate to duplicate, expanding or
// collapsing the first search root, and opening a file with its associated application.
//
// The window is reached only through the session (ResultsSession) and the system through
// PlatformServices, so that tests drive all of this headless.
#include <functional>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "results/ResultTrees.h"
#include "results/ResultsSession.h"

namespace parelix {

// The message shown for a failed open, or nullptr for a code that shows nothing.
const char* openFileMessage(int code);

// "Chemin trop long, impossible d'ouvrir : " followed by the path, for a node whose real
// path does not fit the 255 characters.
constexpr const char* kPathTooLongToOpen = "Chemin trop long, impossible d'ouvrir : ";

// Status bar text for a DirList node: its path, and for a folder its number of duplicates.
std::string statusTextFor(const ResultTrees& trees, NodeId node);

class Browsing {
public:
    Browsing(ResultTrees& trees, ResultsSession& session, PlatformServices& services)
        : trees_(trees), session_(session), services_(services) {}

    // Selection changes of the two trees; each follows the link into the other tree.
    void dirListChange(NodeId node);
    void dblListChange(NodeId node);

    // The selected node of the focused result tree, kNoNode when none; tree tells which.
    NodeId focusedNode(TreeId* tree = nullptr) const;

    // Step, in the focused tree's order, to the previous or next node that has a link.
    void previousDuplicate();
    void nextDuplicate();

    // Expand or collapse every node of the first search root's subtree.
    void expandAll();
    void collapseAll();

    void dirListDblClick();
    void dblListDblClick();
    // Hands the path to the shell; a failure from the table is shown in a plain box.
    void openFile(const std::string& path);

private:
    // Opens the node's path, or refuses one that does not fit the 255 characters.
    void openNode(TreeId tree, NodeId node);
    void stepDuplicate(bool forward);
    void setFirstRootExpanded(bool expand);

    ResultTrees& trees_;
    ResultsSession& session_;
    PlatformServices& services_;
};

}  // namespace parelix
