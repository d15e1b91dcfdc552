#pragma once
// Deleting files and folders from the results: every way in ends in deleteNode, which hands
// one path to the shell's recycle-bin operation and prunes the trees only once the shell has
// reported success. Nothing here touches a user's file by itself.
#include <string>

#include "results/Browsing.h"

namespace parelix {

constexpr const char* kCdromRefusal = "Impossible d'effacer sur un CDROM !";
constexpr const char* kPathTooLongRefusal = "Chemin trop long, impossible d'effacer : ";

class Deletion {
public:
    Deletion(ResultTrees& trees, ResultsWindow& window) : trees_(trees), window_(window) {}

    // Sends node (a DirList node, or a DblList member) to the recycle bin and, on success,
    // removes it from the trees. keepConfirmation false lets fixed and RAM drives go
    // without a question, except for a search root. True when the trees changed.
    bool deleteNode(TreeId tree, NodeId node, bool keepConfirmation);

    // Click on the trash: the focused tree's selected node, always confirmed.
    void trashClick();
    // Drop of a tree view on the trash: that tree's selected node.
    void dropOnTrash(TreeId source);
    // "Supprime les doubles de ce répertoire": the duplicate files directly inside the
    // selected folder of DirList (or beside its selected file), walked backwards.
    void deleteDuplicatesOfDirectory();

    // The path deleteNode would hand to the shell, or empty when the node's real path
    // does not fit the 255 characters (a cut path would name some other file).
    std::string shellPath(TreeId tree, NodeId node) const;

private:
    ResultTrees& trees_;
    ResultsWindow& window_;
    bool inProgress_ = false;
};

}  // namespace parelix
