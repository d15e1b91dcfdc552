#include "results/Deletion.h"

#include "platform/Drives.h"
#include "platform/SearchedFile.h"
#include "platform/Text.h"

namespace parelix {

namespace {

// Marks a deletion under way: the shell's dialogs and the log line process events, and a
// second deletion started from there must not act on nodes the first one is about to remove.
class InProgress {
public:
    explicit InProgress(bool& flag) : flag_(flag) { flag_ = true; }
    ~InProgress() { flag_ = false; }
private:
    bool& flag_;
};

}  // namespace

std::string noOtherCopyRefusal(const std::string& name) {
    return "Plus aucune autre copie identique de « " + name + " », fichier conservé.";
}

OtherCopy findOtherCopyOnDisk(const std::string& file, const std::vector<std::string>& others) {
    const DriveTable& drives = DriveTable::current();
    const std::optional<std::string> posix = drives.toPosix(file);
    if (!posix || !pathExists(*posix)) return OtherCopy::FileGone;
    // A folder or a device now at the path is no copy of anything: it stays.
    const std::optional<FileStat> self = statRegularFile(*posix);
    if (!self) return OtherCopy::NotFound;
    for (const std::string& other : others) {
        const std::optional<std::string> otherPosix = drives.toPosix(other);
        if (!otherPosix) continue;
        // The same file under a second name (hard link, bind mount) is no copy.
        const std::optional<FileStat> st = statRegularFile(*otherPosix);
        if (!st || st->identity == self->identity || st->size != self->size) continue;
        if (compareFileContents(*posix, *otherPosix) == ContentMatch::Same) return OtherCopy::Found;
    }
    return OtherCopy::NotFound;
}

bool Deletion::otherCopyRemains(NodeId member, const std::string& path) {
    const TreeStore& dbl = trees_.dblList;
    std::vector<std::string> others;
    for (NodeId m = dbl.firstChild(dbl.parent(member)); m != kNoNode; m = dbl.nextSibling(m)) {
        if (m == member) continue;
        std::string other = shellPath(TreeId::DblList, m);   // empty when the path is not whole
        if (!other.empty()) others.push_back(std::move(other));
    }
    OtherCopy answer;
    {
        BusyHold hold(window_, false);   // reads whole files
        answer = window_.findOtherCopy(path, others);
    }
    if (answer != OtherCopy::NotFound) return true;
    window_.showMessage(noOtherCopyRefusal(path.substr(path.rfind('\\') + 1)), "Erreur", MessageKind::Error);
    return false;
}

std::string Deletion::shellPath(TreeId tree, NodeId node) const { return wholePath(trees_, tree, node); }

bool Deletion::deleteNode(TreeId tree, NodeId node, bool keepConfirmation) {
    if (inProgress_ || window_.searchActive()) return false;
    if (tree != TreeId::DirList && tree != TreeId::DblList) return false;
    TreeStore& store = tree == TreeId::DirList ? trees_.dirList : trees_.dblList;
    if (!store.isValid(node)) return false;
    if (tree == TreeId::DblList && store.link(node) == kNoNode) return false;   // a group node
    InProgress guard(inProgress_);

    const std::string path = shellPath(tree, node);
    if (path.empty()) {
        const std::string shown =
            tree == TreeId::DirList ? trees_.nodePath(node) : trees_.dblList.text(node);
        window_.showMessage(cut255(kPathTooLongRefusal + shown), "Erreur", MessageKind::Error);
        return false;
    }

    SHFILEOPSTRUCTA op;
    op.wFunc = FO_DELETE;
    op.fFlags = FOF_ALLOWUNDO | FOF_CONFIRMMOUSE;
    switch (window_.driveType(path.substr(0, 2) + "\\")) {
    case DRIVE_FIXED:
    case DRIVE_RAMDISK:
        if (!keepConfirmation && !(tree == TreeId::DirList && trees_.isSearchRoot(node)))
            op.fFlags |= FOF_NOCONFIRMATION;
        break;
    case DRIVE_CDROM:
        window_.showMessage(kCdromRefusal, "Erreur", MessageKind::Error);
        return false;
    default:
        break;   // the shell asks
    }

    // The groups are the search's picture of the disk, which may have changed since: a
    // duplicate goes only while another copy still holds its bytes. Checked before the
    // shell's question, so that nobody is asked about a file that will be kept.
    const NodeId member = tree == TreeId::DblList ? node : trees_.dirList.link(node);
    if (member != kNoNode && !otherCopyRemains(member, path)) return false;

    window_.appendLog("Effacement de " + path);
    op.pFrom = path;
    const int result = window_.fileOperation(op);
    if (result != 0 || op.fAnyOperationsAborted) return false;

    BusyHold hold(window_, true);
    const NodeId file = tree == TreeId::DirList ? node : trees_.dblList.link(node);
    // The shell's dialogs ran an event loop; prune only what is still there.
    if (file == kNoNode || !trees_.dirList.isValid(file)) return false;
    trees_.removeNode(file);
    return true;
}

void Deletion::trashClick() {
    if (inProgress_ || window_.searchActive()) return;
    switch (window_.focusedTree()) {
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
    if (inProgress_ || window_.searchActive()) return;
    if (source == TreeId::DirList) {
        const NodeId node = trees_.dirList.selected();
        if (node != kNoNode) deleteNode(TreeId::DirList, node, false);
    } else if (source == TreeId::DblList) {
        const NodeId node = trees_.dblList.selected();
        if (node != kNoNode && trees_.dblList.childCount(node) == 0) deleteNode(TreeId::DblList, node, false);
    }
}

void Deletion::deleteDuplicatesOfDirectory() {
    if (inProgress_ || window_.searchActive()) return;
    TreeStore& dir = trees_.dirList;
    const NodeId selected = dir.selected();
    if (selected == kNoNode) return;
    NodeId node = dir.childCount(selected) > 0 ? dir.lastChild(selected) : dir.lastChild(dir.parent(selected));

    BusyHold hold(window_, true);
    // Backwards, noting each predecessor first: deleting a file removes only that node, and
    // the link is tested on arrival, so a file whose group an earlier deletion dissolved
    // (the last copy left) is kept.
    while (node != kNoNode) {
        const NodeId previous = dir.prevSibling(node);
        if (dir.link(node) != kNoNode && dir.childCount(node) == 0) deleteNode(TreeId::DirList, node, false);
        node = previous;
    }
}

}  // namespace parelix
