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
#include "results/DeletionPlan.h"
#include "results/Messages.h"
#include "results/OtherCopy.h"
#include "results/ReferenceMarks.h"
#include "results/ResultsSession.h"
#include "results/SpaceFigures.h"

namespace parelix {

// The deletion's other texts are in results/Messages.h.
constexpr const char* kCdromRefusal = "Impossible d'effacer sur un CDROM !";

// "« NAME » fait partie d'un répertoire de référence, conservé." for the file or folder NAME.
std::string referenceRefusal(const std::string& name);
// The question before a walk of a whole tree: "Envoyer 2 794 fichiers (458 Mo) de « Backups »
// dans la Corbeille ?", the count grouped by thousands, the size as the row hints write it,
// the folder by its name; then "Une copie de chaque fichier est conservée." and, when the
// walk leaves empty duplicates where they are (emptyKept), "Les fichiers vides sont conservés."
std::string treeWalkQuestion(std::size_t files, std::uint64_t bytes, const std::string& folder, bool emptyKept);

// "Plus aucune autre copie identique de « NAME », fichier conservé." for the file NAME.
std::string noOtherCopyRefusal(const std::string& name);

// The other members of a duplicate's group as a check's candidates: `keeper` first (a copy a
// walk's plan keeps; kNoNode: none), then the members in the group's order, each path made
// only when asked for, in the caller's string. Members whose path is not whole are passed over.
CopyCandidates otherMembers(const ResultTrees& trees, NodeId member, NodeId keeper);

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
    Deletion(ResultTrees& trees, ResultsSession& session, PlatformServices& services,
             const ReferenceMarks& references = noReferences())
        : trees_(trees), session_(session), services_(services), references_(references) {}
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
    // question naming the folder, how many files and how much space go to the recycle bin,
    // and what stays. Empty files stay where they are.
    void deleteDuplicatesOfTree();

    // The path deleteNode would hand to the shell, or empty when the node's real path
    // does not fit the 255 characters (a cut path would name some other file).
    std::string shellPath(TreeId tree, NodeId node) const;

    // What this deletion's ways in sent to the recycle bin so far; kept across searches.
    const Freed& freed() const { return freed_; }

    // Told of each successful move, before the trees let go of the node (kNoNode when none
    // goes): what the shell sent, the DirList node and the bytes freed. Taking back records it.
    std::function<void(const SHFILEOPSTRUCTA& op, NodeId removed, std::uint64_t bytes)> onSent;

private:
    // Carries out a walk's plan inside its act: exactly the planned files, each checked
    // against its disk, past failures, which one box shows at the end. A planned move that
    // fails changes nothing for the others: the planned keepers stay.
    void walk(const DeletionPlan& plan, NodeId selected, DeletionAct& act);
    // A walk with nothing to send away: the box of a reference folder that held its
    // duplicates back, else `nothing` (nullptr: no box).
    void tellNothing(const DeletionPlan& plan, const char* nothing);
    // One file or folder inside an act: refusal, request, checked move, prune. True when it
    // went. failures: where a walk gathers why files stay (nullptr: each reason is shown at
    // once); each file adds one reason at most.
    // keeper: a copy the plan keeps of the file's group, which the check tries first.
    bool deleteOne(TreeId tree, NodeId node, bool keepConfirmation, const ReferenceDisk& disk, NodeId keeper,
                   std::vector<DeletionFailure>* failures);
    // Refuses a node that may not go (in or holding a reference folder, a path too long, a
    // CD-ROM), telling why; path: the shell's path, empty when too long.
    bool refused(TreeId tree, NodeId node, const std::string& path, unsigned driveType, const ReferenceDisk& disk,
                 std::vector<DeletionFailure>* failures);
    // The shell's request: its flags by the drive's type and the way in.
    SHFILEOPSTRUCTA request(TreeId tree, NodeId node, const std::string& path, unsigned driveType,
                            bool keepConfirmation) const;
    // Under the deletion lock: the check that another copy remains (member: the file's
    // DblList node, or kNoNode), the log line and the move. True when the shell moved it.
    // going: the DirList node that goes, measured before the move for the space freed.
    bool checkedMove(SHFILEOPSTRUCTA& op, NodeId going, NodeId member, NodeId keeper,
                     std::vector<DeletionFailure>* failures);
    // After a move: the trees let go of the DirList node, its selection moved to its folder.
    // False when the node is gone already.
    bool prune(NodeId file);
    // For a duplicate about to go (member: its DblList node; path: the path handed to the
    // shell): true when another copy is still on disk, or the file itself is gone. Otherwise
    // says why the file stays and answers false.
    bool otherCopyRemains(NodeId member, NodeId keeper, const std::string& path, std::vector<DeletionFailure>* failures);
    // Waits, painted, while another Parelix process deletes; false when the program began to
    // end meanwhile. The lock is held once this returns true, until `lock` goes.
    bool waitForOtherDeletions(std::optional<DeletionLock>& lock, const std::string& path);
    void refuse(const std::string& path, const std::string& reason, std::vector<DeletionFailure>* failures);
    // The program is ending (a signal came): a walk goes no further and nothing is asked.
    bool ending() const { return !session_.mayAct(Act::GoOn); }
    // The DirList node an act works on, then its ancestors.
    std::vector<NodeId> dirChain(TreeId tree, NodeId node) const;
    // At an act's end, when the trees changed: the first of chain still there takes the
    // selection, and the other tree follows it, or has none when that node has no link.
    void settleSelection(const std::vector<NodeId>& chain);
    // The node itself when it shows, or the outermost closed folder that hides it.
    NodeId shownFrom(NodeId node) const;

    ResultTrees& trees_;
    ResultsSession& session_;
    PlatformServices& services_;
    const ReferenceMarks& references_;
    Freed freed_;
};

}  // namespace parelix
