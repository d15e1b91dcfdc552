#pragma once
// Deleting files and folders from the results: every way in ends in one file or folder handed
// to the shell's recycle-bin operation, and the trees are pruned only once the shell has
// reported success. Nothing here touches a user's file by itself.
//
// A deletion is one act (DeletionAct): from its first question or check to the last file of
// a walk, nothing else starts or stops, and the trees do not follow each other's selection.
// At its end DirList's selection stands on the node acted on, or on its nearest folder still
// there (on the closed folder that hides it, if one does), and every folder is open or closed
// as the user left it.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/DeletionLock.h"
#include "results/Browsing.h"
#include "results/DeletionPlan.h"
#include "results/ReferenceMarks.h"
#include "results/SpaceFigures.h"

namespace parelix {

constexpr const char* kCdromRefusal = "Impossible d'effacer sur un CDROM !";
constexpr const char* kPathTooLongRefusal = "Chemin trop long, impossible d'effacer : ";
// The status bar's text while a file's other copy is read, followed by the file's path.
constexpr const char* kCheckingStatus = "Vérification avant effacement : ";
// The status bar's text while another Parelix window's deletion is waited for, followed by
// the path of the file or folder that waits.
constexpr const char* kWaitingStatus = "En attente d'un autre effacement : ";

// The box of a walk that finds nothing to send away.
constexpr const char* kNothingInFolder = "Aucun double à supprimer dans ce répertoire.";
constexpr const char* kNothingInTree = "Aucun double à supprimer dans ce répertoire ni dans ses sous-répertoires.";
// The box of a walk over a reference folder.
constexpr const char* kReferenceWalk =
    "Ce répertoire fait partie d'un répertoire de référence : aucun de ses fichiers n'est envoyé dans la Corbeille.";

// "« NAME » fait partie d'un répertoire de référence, conservé." for the file or folder NAME.
std::string referenceRefusal(const std::string& name);
// The question before a walk of a whole tree: "Envoyer 2 994 fichiers (2,9 Go) dans la
// Corbeille ?", the count grouped by thousands, the size as the row hints write it.
std::string treeWalkQuestion(std::size_t files, std::uint64_t bytes);

// "Plus aucune autre copie identique de « NAME », fichier conservé." for the file NAME.
std::string noOtherCopyRefusal(const std::string& name);

// Found when one of `others` is, on disk now, a regular file other than `file` (another
// device or inode) outside every trash folder, with the same bytes, read with both held open
// and neither changed meanwhile (compareHeldFiles); FileGone when nothing is at `file`'s path any more;
// Interrupted when turn, called between chunks, answered false. Paths are Windows-style,
// over the services' drive table; the files are read through their read call.
OtherCopy findOtherCopyOnDisk(const PlatformServices& services, const std::string& file,
                              const std::vector<std::string>& others, const std::function<bool()>& turn = {});

// A file or folder a walk could not send to the recycle bin, and why.
struct DeletionFailure {
    std::string path;
    std::string reason;
};
// The walk's one "Erreur" box: how many, then the first few paths with their reasons.
std::string walkFailureReport(const std::vector<DeletionFailure>& failures);
constexpr std::size_t kFailuresShown = 5;

class Deletion {
public:
    // references: the reference folders, whose files never go; they outlive the deletion.
    Deletion(ResultTrees& trees, ResultsWindow& window, PlatformServices& services,
             const ReferenceMarks& references = noReferences())
        : trees_(trees), window_(window), services_(services), references_(references) {}
    static const ReferenceMarks& noReferences();

    // Sends node (a DirList node, or a DblList member) to the recycle bin and, on success,
    // removes it from the trees. keepConfirmation false lets fixed and RAM drives go
    // without a question, except for a search root. True when the trees changed.
    bool deleteNode(TreeId tree, NodeId node, bool keepConfirmation);

    // Click on the trash (or the Delete key): the focused tree's selected node, always confirmed.
    void trashClick();
    // Drop of a tree view on the trash: that tree's selected node.
    void dropOnTrash(TreeId source);
    // "Supprime les doubles de ce répertoire": the duplicate files directly inside the
    // selected folder of DirList (or beside its selected file), walked backwards. It goes on
    // past failures and shows them in one box at its end.
    void deleteDuplicatesOfDirectory();
    // "Supprime les doubles de ce répertoire et de ses sous-répertoires": the same over the
    // selected folder and every folder under it (planTreeDuplicates), as one act, after one
    // question naming how many files and how much space go to the recycle bin.
    void deleteDuplicatesOfTree();

    // The path deleteNode would hand to the shell, or empty when the node's real path
    // does not fit the 255 characters (a cut path would name some other file).
    std::string shellPath(TreeId tree, NodeId node) const;

    // What this deletion's ways in sent to the recycle bin so far; kept across searches.
    const Freed& freed() const { return freed_; }

private:
    // Carries out a walk's plan inside its act: each duplicate reached goes while its group
    // still has another member, past failures, which one box shows at the end.
    void walk(const DeletionPlan& plan, NodeId selected, DeletionAct& act);
    // The box of a plan that sends nothing away.
    void tellNothing(const DeletionPlan& plan, const char* nothing);
    // One file or folder inside an act. failures: where a walk gathers why files stay
    // (nullptr: each reason is shown at once).
    bool deleteOne(TreeId tree, NodeId node, bool keepConfirmation, std::vector<DeletionFailure>* failures);
    // For a duplicate about to go (member: its DblList node; path: the path handed to the
    // shell): true when another copy is still on disk, or the file itself is gone. Otherwise
    // says why the file stays and answers false.
    bool otherCopyRemains(NodeId member, const std::string& path, std::vector<DeletionFailure>* failures);
    // Waits, painted, while another Parelix process deletes; false when the program began to
    // end meanwhile. The lock is held once this returns true, until `lock` goes.
    bool waitForOtherDeletions(std::optional<DeletionLock>& lock, const std::string& path);
    void refuse(const std::string& path, const std::string& reason, std::vector<DeletionFailure>* failures);
    // The program is ending (a signal came): a walk goes no further and nothing is asked.
    bool ending() const { return !window_.mayAct(Act::GoOn); }
    // The DirList node an act works on, then its ancestors.
    std::vector<NodeId> dirChain(TreeId tree, NodeId node) const;
    // At an act's end, when the trees changed: the first of chain still there takes the
    // selection, and the other tree follows it, or has none when that node has no link.
    void settleSelection(const std::vector<NodeId>& chain);
    // The node itself when it shows, or the outermost closed folder that hides it.
    NodeId shownFrom(NodeId node) const;

    ResultTrees& trees_;
    ResultsWindow& window_;
    PlatformServices& services_;
    const ReferenceMarks& references_;
    Freed freed_;
};

}  // namespace parelix
