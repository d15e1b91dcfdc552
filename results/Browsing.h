#pragma once
// What the user does with the result trees short of deleting: the two trees following each
// other's selection, the status bar text, stepping from duplicate to duplicate, expanding or
// collapsing the first search root, and opening a file with its associated application.
//
// The window is reached only through ResultsWindow and the system through PlatformServices,
// so that tests drive all of this headless.
#include <functional>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "results/Activity.h"
#include "results/ResultTrees.h"

namespace parelix {

enum class TreeId { None, DirList, DblList };

// What the disk says, when a duplicate is about to go, of the other copies of its group:
// one still holds its bytes as another file; none does; or the file itself is no longer
// there (nothing left to keep: the shell reports it). Interrupted: the program is ending
// and the check stopped before its end (the file stays).
enum class OtherCopy { Found, NotFound, FileGone, Interrupted };

// The other copies a check may try, best first, one path at a time: fills path (Windows-style)
// and answers true, or answers false once there is none left. Paths are made only as far as
// the check goes: a group of thousands costs one path when its first copy holds the bytes.
using CopyCandidates = std::function<bool(std::string& path)>;

// What browsing and deletion show in the main window.
class ResultsView {
public:
    virtual ~ResultsView() = default;

    // The result tree holding the keyboard focus; None when another control has it.
    virtual TreeId focusedTree() const = 0;
    // On: the tree shows no selection highlight while another control has the focus.
    virtual void setHideSelection(TreeId tree, bool hide) = 0;
    virtual void setStatusText(const std::string& text) = 0;
    virtual std::string statusText() const = 0;
    virtual void appendLog(const std::string& line) = 0;
    // Called in matched pairs; the callers keep nested holds to one on/off pair.
    virtual void setWaitCursor(bool on) = 0;
};

// What browsing and deletion need of the main window: what it shows, and the acts under way.
class ResultsWindow : public ResultsView {
public:
    // Called in matched pairs, as setWaitCursor.
    virtual void lockWindowUpdate(bool on) = 0;
    // What is under way, deleting() included; mayAct answers from it.
    virtual Activity activity() const = 0;
    bool mayAct(Act act) const { return parelix::mayAct(act, activity()); }

    // Reads the files (Windows-style paths) as they are now, the candidates one at a time,
    // until one holds the bytes; see findOtherCopyOnDisk. A window gives itself event turns
    // meanwhile and answers Interrupted once it is ending.
    virtual OtherCopy findOtherCopy(const std::string& file, const CopyCandidates& candidates) = 0;
    // A turn while a deletion reads or waits: a window paints meanwhile (input is dropped).
    // False once the program is ending: the read or the wait gives up.
    virtual bool waitTurn() { return mayAct(Act::GoOn); }
    // The same while a deletion waits for another Parelix process's: Escape also gives the
    // wait up, and the act goes no further (mayAct(Act::GoOn) answers false until its end).
    virtual bool lockWaitTurn() { return waitTurn(); }

    // A deletion under way: from its first question or check to the last file of a walk
    // (see DeletionAct). Nothing else starts or stops inside it.
    bool deleting() const { return actDepth_ > 0; }
    // Meanwhile, until the act sets the selection at its end, the two trees do not follow
    // each other's selection.
    bool linksHeld() const { return linksHeld_; }
    // The window's side of the outermost act: input arriving meanwhile is dropped, a close
    // waits for its end.
    virtual void deletionBegins() {}
    virtual void deletionEnded() {}

private:
    friend class BusyHold;
    friend class DeletionAct;
    int waitDepth_ = 0;
    int lockDepth_ = 0;
    int actDepth_ = 0;
    bool linksHeld_ = false;
};

// Marks a deletion under way for its scope; nested acts make one.
class DeletionAct {
public:
    explicit DeletionAct(ResultsWindow& window) : window_(window) {
        if (window_.actDepth_++ > 0) return;
        window_.linksHeld_ = true;
        window_.deletionBegins();
    }
    ~DeletionAct() {
        if (--window_.actDepth_ > 0) return;
        window_.linksHeld_ = false;
        window_.deletionEnded();
    }
    // The act sets the selection: from here the trees follow each other again.
    void releaseLinks() { window_.linksHeld_ = false; }
    DeletionAct(const DeletionAct&) = delete;
    DeletionAct& operator=(const DeletionAct&) = delete;

private:
    ResultsWindow& window_;
};

// The message shown for a failed open, or nullptr for a code that shows nothing.
const char* openFileMessage(int code);

// "Chemin trop long, impossible d'ouvrir : " followed by the path, for a node whose real
// path does not fit the 255 characters.
constexpr const char* kPathTooLongToOpen = "Chemin trop long, impossible d'ouvrir : ";

// The path of a node (a DirList node, or a DblList member) that the shell may be handed, or
// empty when the node's real path does not fit the 255 characters: the cut path would name
// some other file or folder.
std::string wholePath(const ResultTrees& trees, TreeId tree, NodeId node);
// The same into path, whose storage is reused: false when the path is not whole.
bool wholePathInto(const ResultTrees& trees, TreeId tree, NodeId node, std::string& path);

// Status bar text for a DirList node: its path, and for a folder its number of duplicates.
std::string statusTextFor(const ResultTrees& trees, NodeId node);

class Browsing {
public:
    Browsing(ResultTrees& trees, ResultsWindow& window, PlatformServices& services)
        : trees_(trees), window_(window), services_(services) {}

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
    ResultsWindow& window_;
    PlatformServices& services_;
};

// Holds the wait cursor (and optionally the window-update lock) for a scope; nested holds
// of the same window keep a single on/off pair, so an inner operation never ends an outer
// operation's hold.
class BusyHold {
public:
    BusyHold(ResultsWindow& window, bool lockUpdates);
    ~BusyHold();
    BusyHold(const BusyHold&) = delete;
    BusyHold& operator=(const BusyHold&) = delete;

private:
    ResultsWindow& window_;
    bool lock_;
};

}  // namespace parelix
