#include "results/Deletion.h"

#include "platform/Drives.h"
#include "platform/SearchedFile.h"
#include "platform/Text.h"
#include "platform/TrashFolders.h"
#include "results/Messages.h"

namespace parelix {

std::string noOtherCopyRefusal(const std::string& name) { return kNoOtherCopyHead + name + kNoOtherCopyTail; }

std::string referenceRefusal(const std::string& name) { return kReferenceRefusalHead + name + kReferenceRefusalTail; }

std::string treeWalkQuestion(std::size_t files, std::uint64_t bytes, const std::string& folder, bool emptyKept) {
    std::string text = kTreeWalkSend + groupedCount(files) + (files == 1 ? kTreeWalkOneFile : kTreeWalkFiles) +
                       readableSize(bytes) + kTreeWalkOf + folder + kTreeWalkTail + "\n" + kTreeWalkKeepsACopy;
    if (emptyKept) text += std::string("\n") + kTreeWalkKeepsEmptyFiles;
    return text;
}

const ReferenceMarks& Deletion::noReferences() {
    static const ReferenceMarks none;
    return none;
}

CopyCandidates otherMembers(const ResultTrees& trees, NodeId member, NodeId keeper) {
    const TreeStore& dbl = trees.dblList;
    const NodeId group = dbl.parent(member);
    // The keeper counts only while it is still a member of this group.
    NodeId first = keeper != kNoNode && trees.dirList.isValid(keeper) ? trees.dirList.link(keeper) : kNoNode;
    if (first == member || (first != kNoNode && (!dbl.isValid(first) || dbl.parent(first) != group))) first = kNoNode;
    NodeId cursor = dbl.firstChild(group);
    bool firstAsked = false;
    return [&trees, member, first, cursor, firstAsked](std::string& path) mutable {
        if (!firstAsked) {
            firstAsked = true;
            if (first != kNoNode && wholePathInto(trees, TreeId::DblList, first, path)) return true;
        }
        const TreeStore& members = trees.dblList;
        while (cursor != kNoNode) {
            const NodeId m = cursor;
            cursor = members.nextSibling(cursor);
            if (m != member && m != first && wholePathInto(trees, TreeId::DblList, m, path)) return true;
        }
        return false;
    };
}

std::string walkFailureReport(const std::vector<DeletionFailure>& failures) {
    const std::size_t n = failures.size();
    std::string text = n == 1 ? std::string(kOneFailure) : groupedCount(n) + kFailures;
    for (std::size_t i = 0; i < n && i < kFailuresShown; ++i)
        text += "\n" + failures[i].path + kFailureReason + failures[i].reason;
    if (n > kFailuresShown) {
        const std::size_t rest = n - kFailuresShown;
        text += rest == 1 ? std::string(kOneMoreFailure) : "\net " + groupedCount(rest) + kMoreFailures;
    }
    return text;
}

bool Deletion::waitForOtherDeletions(std::optional<DeletionLock>& lock, const std::string& path) {
    std::optional<BusyHold> waiting;
    std::string status;
    lock.emplace(services_.deletionLockFiles(), [&] {
        if (!waiting) {
            waiting.emplace(session_, false);
            status = session_.statusText();
            session_.setStatusText(cut255(kWaitingStatus + path));
        }
        return session_.lockWaitTurn();
    });
    if (waiting) session_.setStatusText(status);
    if (lock->firstWithoutLockFile()) session_.appendLog(kNoDeletionLock);
    return lock->acquired() && !ending();
}

void Deletion::refuse(const std::string& path, const std::string& reason, std::vector<DeletionFailure>* failures) {
    if (ending()) return;   // nobody waits for a box now
    if (failures) failures->push_back({path, reason});
    else services_.showMessage(reason, "Erreur", MessageKind::Error);
}

bool Deletion::otherCopyRemains(NodeId member, NodeId keeper, const std::string& path,
                                std::vector<DeletionFailure>* failures) {
    if (!trees_.dblList.isValid(member)) return false;
    // The copy the plan keeps first, then the others as far as needed: a group of thousands
    // costs no more per file than a pair.
    const CopyCandidates others = otherMembers(trees_, member, keeper);
    OtherCopy answer;
    {
        // Reads whole files: the window paints meanwhile and says which file it reads.
        BusyHold hold(session_, false);
        const std::string status = session_.statusText();
        session_.setStatusText(cut255(kCheckingStatus + path));
        answer = session_.findOtherCopy(path, others);
        session_.setStatusText(status);
    }
    if (answer == OtherCopy::Found || answer == OtherCopy::FileGone) return true;
    if (answer == OtherCopy::NotFound) refuse(path, noOtherCopyRefusal(path.substr(path.rfind('\\') + 1)), failures);
    return false;
}

std::string Deletion::shellPath(TreeId tree, NodeId node) const { return wholePath(trees_, tree, node); }

bool Deletion::deleteOne(TreeId tree, NodeId node, bool keepConfirmation, const ReferenceDisk& disk, NodeId keeper,
                         std::vector<DeletionFailure>* failures) {
    if (ending()) return false;
    const TreeStore& store = tree == TreeId::DirList ? trees_.dirList : trees_.dblList;
    if (!store.isValid(node)) return false;
    if (tree == TreeId::DblList && store.link(node) == kNoNode) return false;   // a group node
    const std::string path = shellPath(tree, node);
    const unsigned driveType = path.empty() ? DRIVE_UNKNOWN : services_.driveType(path.substr(0, 2) + "\\");
    if (refused(tree, node, path, driveType, disk, failures)) return false;
    SHFILEOPSTRUCTA op = request(tree, node, path, driveType, keepConfirmation);

    // One deletion at a time for the user, across every Parelix window: another one's move is
    // over before this check reads the disk, and this move before theirs reads it. Trees
    // replaced meanwhile hold other nodes under the same ids.
    const std::uint64_t trees = trees_.generation();
    std::optional<DeletionLock> lock;
    if (!waitForOtherDeletions(lock, path) || trees_.generation() != trees || !store.isValid(node)) return false;
    const NodeId file = tree == TreeId::DirList ? node : store.link(node);
    const NodeId member = tree == TreeId::DblList ? node : trees_.dirList.link(node);
    return checkedMove(op, file, member, keeper, failures) && trees_.generation() == trees && prune(file);
}

bool Deletion::refused(TreeId tree, NodeId node, const std::string& path, unsigned driveType,
                       const ReferenceDisk& disk, std::vector<DeletionFailure>* failures) {
    const NodeId file = tree == TreeId::DirList ? node : trees_.dblList.link(node);
    const auto shown = [&] { return tree == TreeId::DirList ? trees_.nodePath(node) : trees_.dblList.text(node); };
    // Nothing of a reference folder goes, nor a folder holding any of it, whatever path
    // reaches it: the trees know the folders they show under another path, the disk the rest.
    const std::optional<std::string> posix =
        path.empty() || disk.empty() ? std::nullopt : services_.drives().toPosix(path);
    if (references_.touches(trees_, file) || (posix && disk.covers(*posix))) {
        const std::string where = shown();
        refuse(where, referenceRefusal(where.substr(where.rfind('\\') + 1)), failures);
        return true;
    }
    if (path.empty()) {
        const std::string where = shown();
        refuse(where, cut255(kPathTooLongRefusal + where), failures);
        return true;
    }
    if (driveType == DRIVE_CDROM) {
        refuse(path, kCdromRefusal, failures);
        return true;
    }
    return false;
}

SHFILEOPSTRUCTA Deletion::request(TreeId tree, NodeId node, const std::string& path, unsigned driveType,
                                  bool keepConfirmation) const {
    SHFILEOPSTRUCTA op;
    op.wFunc = FO_DELETE;
    op.fFlags = FOF_ALLOWUNDO | FOF_CONFIRMMOUSE;
    // Fixed and RAM drives go without a question, except for a search root; elsewhere the
    // shell asks.
    if ((driveType == DRIVE_FIXED || driveType == DRIVE_RAMDISK) && !keepConfirmation &&
        !(tree == TreeId::DirList && trees_.isSearchRoot(node)))
        op.fFlags |= FOF_NOCONFIRMATION;
    op.pFrom = path;
    return op;
}

bool Deletion::checkedMove(SHFILEOPSTRUCTA& op, NodeId going, NodeId member, NodeId keeper,
                           std::vector<DeletionFailure>* failures) {
    const std::string& path = op.pFrom;
    // The groups are the search's picture of the disk, which may have changed since: a
    // duplicate goes only while another copy still holds its bytes. Checked before the
    // shell's question, so that nobody is asked about a file that will be kept, and again
    // after the answer, right before the move: the disk may change while the question waits.
    if (member != kNoNode && !(op.fFlags & FOF_NOCONFIRMATION) && !otherCopyRemains(member, keeper, path, failures))
        return false;
    session_.appendLog("Effacement de " + path);
    if (failures) op.fFlags |= FOF_NOERRORUI;   // the walk shows its failures at its end
    // A check that keeps the file says why itself and aborts the move: no second reason.
    if (member != kNoNode) op.lastCheck = [&] { return !ending() && otherCopyRemains(member, keeper, path, failures); };
    // Measured before the move: once in the recycle bin the files are no longer at their paths.
    const std::uint64_t bytes = bytesOnDisk(trees_, services_.drives(), going);
    const int result = services_.fileOperation(op);
    if (result != 0 && !op.fAnyOperationsAborted && failures && !ending())
        failures->push_back({path, op.failure.empty() ? std::string(kMoveFailed) : op.failure});
    if (result != 0 || op.fAnyOperationsAborted) return false;
    ++freed_.sent;
    freed_.bytes += bytes;
    if (onSent) onSent(op, going, bytes);
    return true;
}

bool Deletion::prune(NodeId file) {
    BusyHold hold(session_, true);
    TreeStore& dir = trees_.dirList;
    if (file == kNoNode || !dir.isValid(file)) return false;
    // A selection that goes with the node moves first to its folder, or to the closed
    // folder that hides it: the store would pick a neighbour and open what hides it.
    NodeId selected = dir.selected();
    while (selected != kNoNode && selected != file) selected = dir.parent(selected);
    if (selected == file && dir.parent(file) != kNoNode) dir.select(shownFrom(dir.parent(file)));
    trees_.removeNode(file, false);   // the act sets the selection at its end
    return true;
}

NodeId Deletion::shownFrom(NodeId node) const {
    const TreeStore& dir = trees_.dirList;
    NodeId shown = node;
    for (NodeId a = dir.parent(node); a != kNoNode; a = dir.parent(a))
        if (!dir.isExpanded(a)) shown = a;
    return shown;
}

std::vector<NodeId> Deletion::dirChain(TreeId tree, NodeId node) const {
    std::vector<NodeId> chain;
    const TreeStore& dir = trees_.dirList;
    if (tree == TreeId::DblList) node = trees_.dblList.isValid(node) ? trees_.dblList.link(node) : kNoNode;
    if (node == kNoNode || !dir.isValid(node)) return chain;
    for (NodeId n = node; n != kNoNode; n = dir.parent(n)) chain.push_back(n);
    return chain;
}

void Deletion::settleSelection(const std::vector<NodeId>& chain) {
    TreeStore& dir = trees_.dirList;
    // No node is added during an act, so no id of the chain can have been taken again.
    NodeId target = kNoNode;
    for (NodeId n : chain)
        if (dir.isValid(n)) {
            target = n;
            break;
        }
    if (target == kNoNode) target = dir.selected();   // the search root went: where the store put it
    if (target == kNoNode) return;
    target = shownFrom(target);   // never opens a folder the user closed
    if (dir.selected() != target) dir.select(target);
    else if (dir.events.change) dir.events.change(target);   // the other tree follows it again
    // A node without a counterpart (a folder, a file no longer a duplicate): DblList lets go
    // of the row it kept, which the next click on that row would not move from.
    if (dir.link(target) == kNoNode) trees_.dblList.select(kNoNode);
}

bool Deletion::deleteNode(TreeId tree, NodeId node, bool keepConfirmation) {
    if (!session_.mayAct(Act::Delete) || (tree != TreeId::DirList && tree != TreeId::DblList)) return false;
    const std::vector<NodeId> chain = dirChain(tree, node);
    DeletionAct act(session_);
    const bool removed = deleteOne(tree, node, keepConfirmation, references_.onDisk(trees_, services_.drives()), kNoNode,
                                   nullptr);
    act.releaseLinks();
    if (removed && !ending()) settleSelection(chain);
    return removed;
}

void Deletion::trashClick() {
    if (!session_.mayAct(Act::Delete)) return;
    switch (session_.focusedTree()) {
    case TreeId::DirList: {
        const NodeId node = trees_.dirList.selected();
        if (node != kNoNode) deleteNode(TreeId::DirList, node, true);
        break;
    }
    case TreeId::DblList: {
        const NodeId node = trees_.dblList.selected();
        if (node != kNoNode && trees_.dblList.childCount(node) == 0) deleteNode(TreeId::DblList, node, true);
        break;
    }
    case TreeId::None:
        break;
    }
}

void Deletion::dropOnTrash(TreeId source) {
    if (!session_.mayAct(Act::Delete)) return;
    if (source == TreeId::DirList) {
        const NodeId node = trees_.dirList.selected();
        if (node != kNoNode) deleteNode(TreeId::DirList, node, false);
    } else if (source == TreeId::DblList) {
        const NodeId node = trees_.dblList.selected();
        if (node != kNoNode && trees_.dblList.childCount(node) == 0) deleteNode(TreeId::DblList, node, false);
    }
}

void Deletion::deleteDuplicatesOfDirectory() {
    if (!session_.mayAct(Act::Delete)) return;
    const NodeId selected = trees_.dirList.selected();
    if (selected == kNoNode) return;
    DeletionAct act(session_);
    const DeletionPlan plan = planFolderDuplicates(trees_, references_, selected);
    // With nothing to send away the walk says nothing, unless a reference folder held it back.
    if (plan.empty()) return tellNothing(plan, nullptr);
    walk(plan, selected, act);
}

void Deletion::deleteDuplicatesOfTree() {
    if (!session_.mayAct(Act::Delete)) return;
    const NodeId selected = trees_.dirList.selected();
    if (selected == kNoNode) return;
    DeletionAct act(session_);
    const DeletionPlan plan = planTreeDuplicates(trees_, references_, selected);
    if (plan.empty()) return tellNothing(plan, kNothingInTree);
    // The folder by its name; a search root by its last component, a drive by its letter.
    const std::string top = trees_.nodePath(walkFolder(trees_, selected));
    const std::string question = treeWalkQuestion(plan.steps.size(), plan.bytes, top.substr(top.rfind('\\') + 1),
                                                  plan.emptyKept > 0);
    if (!services_.confirmWalk(question) || ending()) return;
    walk(plan, selected, act);
}

void Deletion::tellNothing(const DeletionPlan& plan, const char* nothing) {
    if (ending()) return;
    if (plan.references > 0) services_.showMessage(kReferenceWalk);
    else if (nothing) services_.showMessage(nothing);
}

void Deletion::walk(const DeletionPlan& plan, NodeId selected, DeletionAct& act) {
    const TreeStore& dir = trees_.dirList;
    const std::vector<NodeId> chain = dirChain(TreeId::DirList, selected);
    const std::uint64_t trees = trees_.generation();
    const ReferenceDisk disk = references_.onDisk(trees_, services_.drives());
    std::vector<DeletionFailure> failures;
    bool removed = false;
    {
        BusyHold hold(session_, true);
        // Exactly the planned files, in the trees the walk started with: a move that fails
        // leaves its file in its group, and the copies the plan keeps stay all the same.
        for (const DeletionPlan::Step& step : plan.steps) {
            if (ending() || trees_.generation() != trees) break;
            if (dir.isValid(step.file) && dir.link(step.file) != kNoNode)
                removed |= deleteOne(TreeId::DirList, step.file, false, disk, plan.keeper(step), &failures);
        }
    }
    if (ending()) return;
    act.releaseLinks();
    if (removed) settleSelection(chain);
    if (!failures.empty()) services_.showMessage(walkFailureReport(failures), "Erreur", MessageKind::Error);
}

}  // namespace parelix
