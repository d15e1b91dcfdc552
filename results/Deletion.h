#pragma once
// Deleting files and folders from the results: every way in ends in deleteNode, which hands
// one path to the shell's recycle-bin operation and prunes the trees only once the shell has
// reported success. Nothing here touches a user's file by itself.
#include <string>
#include <vector>

#include "results/Browsing.h"

namespace parelix {

constexpr const char* kCdromRefusal = "Impossible d'effacer sur un CDROM !";
constexpr const char* kPathTooLongRefusal = "Chemin trop long, impossible d'effacer : ";

// "Plus aucune autre copie identique de « NAME », fichier conservé." for the file NAME.
std::string noOtherCopyRefusal(const std::string& name);

// Found when one of `others` is, on disk now, a regular file other than `file` (another
// device or inode) with the same bytes; FileGone when nothing is at `file`'s path any more.
// Paths are Windows-style.
OtherCopy findOtherCopyOnDisk(const std::string& file, const std::vector<std::string>& others);

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
    // For a duplicate about to go (member: its DblList node; path: the path handed to the
    // shell): true when another copy is still on disk, or the file itself is gone. Otherwise
    // says why the file stays and answers false.
    bool otherCopyRemains(NodeId member, const std::string& path);

    ResultTrees& trees_;
    ResultsWindow& window_;
    bool inProgress_ = false;
};

}  // namespace parelix
