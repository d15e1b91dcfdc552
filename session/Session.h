#pragma once
// A search session: everything the program knows between its start and its end, without a
// window. It owns the result trees, the drive tree, the search engine, the path selection,
// browsing and deletion, and answers "may this act now?" (results/Activity.h) for every
// handler. It is made before the window and outlives it, so the window's item models over
// its stores never outlive what they show. The window attaches itself as the session's view
// (SessionView); without one the session is headless: nothing is shown and no row has the
// focus.
#include <memory>
#include <string>
#include <vector>

#include "engine/SearchEngine.h"
#include "engine/SearchUi.h"
#include "results/Browsing.h"
#include "results/Deletion.h"
#include "results/ReferenceMarks.h"
#include "results/SpaceFigures.h"
#include "results/ResultTrees.h"
#include "results/TakeBack.h"
#include "results/TreeStore.h"
#include "session/PathSelection.h"

namespace parelix {

// What the session needs of a window: what a search run tells (SearchUi), what browsing and
// deletion show (ResultsView), and what a deletion holds.
class SessionView : public SearchUi, public ResultsView {
public:
    // On from a deletion's start to its end: input that arrives meanwhile is dropped.
    virtual void holdInput(bool on) = 0;
    // Once the handler now on the stack has returned: the window closes; the program ends.
    virtual void closeSoon() = 0;
    virtual void endSoon() = 0;
    // What the extra copies take and what was freed (spaceFiguresText), after a search and
    // after every deletion; empty while a search runs.
    virtual void showSpaceFigures(const std::string& /*text*/) {}
};

// The session is the engine's listener (SearchUi): it keeps what outlasts a run and passes
// the rest on to its view.
class Session : public SearchUi, private ResultsSession {
public:
    // The services are the program's (or a test's); they outlive the session.
    explicit Session(PlatformServices& services);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The window shows the session from here on; nullptr: none does any more. selection
    // mirrors the search list and the buttons' states.
    void attach(SessionView* view, PathSelectionView selection = {});

    PlatformServices& services() { return services_; }
    // What the window reads of the trees, the engine and the selection; it changes them only
    // through the methods below.
    const ResultTrees& trees() const { return trees_; }
    const TreeStore& driveTree() const { return driveTree_; }   // DskList's nodes
    const SearchEngine& engine() const { return engine_; }
    const PathSelection& pathSelection() const { return selection_; }

    // The stores that the window's item models and tree binders sit on: the models listen to
    // them, the binders pass the user's selection and open rows into them. Nothing else
    // takes them mutable.
    struct ViewStores {
        ResultTrees& results;
        TreeStore& drives;
    };
    ViewStores viewStores() { return {trees_, driveTree_}; }

    // The work files and the drive tree; shutdown deletes the work files (InOutError when it
    // cannot). started(): the work files exist.
    void start();
    void shutdown();
    bool started() const { return started_; }

    // --- What may act now --------------------------------------------------------------
    Activity activity() const override;
    using ResultsSession::mayAct;
    using ResultsSession::deleting;
    bool ending() const { return ending_; }
    // A signal asks the program to end: the run under way stops its phase, a deletion goes
    // no further, and what waits for their end ends the program.
    void endRequested();
    // The window dropped an Escape press during a deletion: a wait for another process's
    // deletion is given up, and the act with it.
    void escapePressed();

    // --- Path selection ----------------------------------------------------------------
    void addSearchPath() { selection_.add(); }                     // BtnAjoute
    void removeEntry() { selection_.remove(); }                    // BtnEnleve, on RepList
    void removeExclusion() { selection_.removeExclusion(); }       // ExcList's Delete key and menu
    void excludeSelected() { selection_.exclude(); }
    // Files and folders named by their system paths (a drop, the file dialog) into the
    // exclusion list.
    void excludeSystemPaths(const std::vector<std::string>& posixPaths);
    // Folders named by their system paths (a drop) into the search list, in the order given,
    // each as BtnAjoute adds the drive tree's node of it (the tree opened down to it). A file,
    // or a folder the tree does not show (a search path holds it), stays out; one box says
    // which.
    void addSearchFolders(const std::vector<std::string>& posixPaths);
    // "Aller au dossier personnel": the drive tree opened down to the home folder, selected.
    // False when the tree does not show it (a search path holds it).
    bool goHome();
    // The entry the user picked in one of the lists; -1: none.
    void pickEntry(PathList list, int index);
    // A search path put in the list by its text, with no node of the drive tree behind it,
    // for tools that search folders they name: taken out, it only leaves the list.
    void addSearchPathText(std::string text) { selection_.insertEntry(std::move(text), kNoNode); }
    // The exclusion list, in list order.
    const std::vector<std::string>& exclusions() const { return selection_.exclusions(); }

    // --- Search run --------------------------------------------------------------------
    // BtnCherche, once mayAct(Act::StartSearch) allowed it; the walk leaves out the
    // exclusion list. An error that ends the run reaches the caller, unless the program is
    // ending.
    void search(const std::vector<std::string>& searchPaths);
    // BtnStopRtn: stops the phase under way; true when none was (and no deletion holds Stop),
    // so that the window goes back to the selection.
    bool stop();
    // The close query; a close refused during a deletion comes once it has ended.
    bool closeQuery();
    // A node the user picked in a result tree: while a run goes on, it keeps the selection
    // and the focus at the run's end.
    void notePick(TreeId tree, NodeId node);
    // The tree to focus once the results are ready: the one picked during the run, else DirList.
    TreeId runFocus() const { return runFocus_; }
    // DirList's context menu pops up once a search has collected a file.
    bool popupEnabled() const { return popupEnabled_; }

    // --- Browsing and deletion ---------------------------------------------------------
    // A right click on a node of DirList: it becomes the selection (with its counterpart)
    // and the pick of a run under way, so that PopMenu acts on it.
    void pointDirListNode(NodeId node);
    // Selection changes of the two result trees (their stores tell them): each follows the
    // link into the other tree.
    void dirListChange(NodeId node) { browsing_.dirListChange(node); }
    void dblListChange(NodeId node) { browsing_.dblListChange(node); }
    void previousDuplicate();
    void nextDuplicate();
    void expandAll();
    void collapseAll();
    // Open the selected file of DirList, or the selected member of DblList.
    void openDirListSelection();
    void openDblListSelection();
    void trashClick();
    void dropOnTrash(TreeId source);
    void deleteDuplicatesOfDirectory();
    void deleteDuplicatesOfTree();
    // "Annule le dernier envoi dans la Corbeille" (Ctrl+Z): the last deletion act of this
    // search goes back from the recycle bin (results/TakeBack.h).
    void takeBackLast() { takeBack_.takeBackLast(); }
    // Something of this search is left to take back, and nothing holds it now.
    bool mayTakeBack() const { return mayAct(Act::TakeBack) && takeBack_.canTakeBack(); }

    // --- Reference folders -------------------------------------------------------------
    // A search path marked as a reference: its files are searched and grouped, never sent to
    // the recycle bin. The marks last as long as the session; a path keeps its mark when it
    // leaves the search list and comes back. They apply to the results at once.
    void markReference(const std::string& searchPath, bool reference);
    bool isReferencePath(const std::string& searchPath) const { return references_.marked(searchPath); }
    // A DirList node (file or folder) that lies in a reference folder, under whatever path
    // (a bind mount or link of a marked folder is one too).
    bool isReference(NodeId dirNode) const { return references_.holds(trees_, dirNode); }

    // --- Space and the saved list ------------------------------------------------------
    // The extra copies of the groups now, what this program's deletions freed, and both as
    // the window shows them.
    ExtraCopies spaceTaken() const { return extraCopies(trees_.dblList); }
    // What went to the bin, less what was taken back from it.
    Freed freed() const;
    std::string spaceFigures() const { return spaceFiguresText(spaceTaken(), freed()); }
    // "Enregistre la liste des doubles…": the groups as CSV (results/DuplicateList.h) in a
    // file the save dialog names; a failure says why in an error box.
    void saveDuplicateList();

private:
    // ResultsSession: the view's, and the trees' batches.
    TreeId focusedTree() const override;
    void setHideSelection(TreeId tree, bool hide) override;
    void setStatusText(const std::string& text) override;
    std::string statusText() const override;
    void appendLog(const std::string& line) override;
    void setWaitCursor(bool on) override;
    void lockWindowUpdate(bool on) override;
    OtherCopy findOtherCopy(const std::string& file, const CopyCandidates& candidates) override;
    bool waitTurn() override;
    bool lockWaitTurn() override;
    void deletionBegins() override;
    void deletionEnded() override;

    // SearchUi: passed on to the view; the session keeps what outlasts the run.
    void runStarted() override;
    void phaseStarted(SearchPhase phase, std::int64_t files) override;
    void phaseEnded(SearchPhase phase, std::int64_t files) override;
    void logLine(const std::string& line) override;
    void folderEntered(const std::string& path) override;
    void searchPathWalked() override;
    void progress(std::int64_t filesDone) override;
    void pairCompared(const std::string& first, const std::string& second) override;
    void eventTurn() override;
    void resultsReady() override;
    void runEnded() override;

    void bindTrees();
    // The folders of the trees that show a marked folder under another path.
    void locateReferences() { references_.locate(trees_, services_.drives()); }
    // A browsing step, unless a deletion is under way.
    void browse(void (Browsing::*step)());
    // At the run's end: the pick made during it takes the selection back; the tree to focus.
    TreeId settleRunPick();

    // Declared before what refers to them.
    PlatformServices& services_;
    std::unique_ptr<SessionView> detached_;   // the view while no window shows the session
    ResultTrees trees_;
    ReferenceMarks references_;
    TreeStore driveTree_;
    SessionView* view_;
    SearchEngine engine_;
    PathSelection selection_;
    Browsing browsing_;
    Deletion deletion_;
    TakeBack takeBack_;

    bool started_ = false;
    bool ending_ = false;         // a signal asked the program to end
    bool closePending_ = false;   // a close came during a deletion
    bool waitingForLock_ = false; // in a turn of a wait for another process's deletion
    bool givenUp_ = false;        // Escape gave the deletion act up, until its end
    bool popupEnabled_ = false;
    TreeId runPickTree_ = TreeId::None;   // the result tree, and its node, that the user
    NodeId runPickNode_ = kNoNode;        // last picked during the search run
    TreeId runFocus_ = TreeId::DirList;
};

}  // namespace parelix
