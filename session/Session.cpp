#include "session/Session.h"

#include <cstdlib>
#include <filesystem>

#include "platform/WorkFile.h"
#include "results/DuplicateList.h"
#include "results/Messages.h"

namespace parelix {

namespace {

// The view of a session no window shows: nothing is shown, no tree has the focus.
class DetachedView final : public SessionView {
public:
    TreeId focusedTree() const override { return TreeId::None; }
    void setHideSelection(TreeId, bool) override {}
    void setStatusText(const std::string& text) override { status_ = text; }
    std::string statusText() const override { return status_; }
    void appendLog(const std::string&) override {}
    void setWaitCursor(bool) override {}
    void holdInput(bool) override {}
    void closeSoon() override {}
    void endSoon() override {}
    void runStarted() override {}
    void phaseStarted(SearchPhase, std::int64_t) override {}
    void phaseEnded(SearchPhase, std::int64_t) override {}
    void logLine(const std::string&) override {}
    void folderEntered(const std::string&) override {}
    void progress(std::int64_t) override {}
    void pairCompared(const std::string&, const std::string&) override {}
    void eventTurn() override {}
    void resultsReady() override {}
    void runEnded() override {}

private:
    std::string status_;
};

}  // namespace

Session::Session(PlatformServices& services)
    : services_(services), detached_(std::make_unique<DetachedView>()), view_(detached_.get()), engine_(trees_, *this, services), selection_(driveTree_, services.drives()),
      browsing_(trees_, *this, services), deletion_(trees_, *this, services, references_), takeBack_(trees_, *this, services) {
    bindTrees();
    deletion_.onSent = [this](const SHFILEOPSTRUCTA& op, NodeId removed, std::uint64_t bytes) {
        takeBack_.sent(op, removed, bytes);
    };
}

Session::~Session() {
    if (!started_) return;
    try {
        shutdown();
    } catch (const std::exception&) {
        // Nobody is left to tell: the window, which shows the error, has shut down before.
    }
}

void Session::bindTrees() {
    // Selection changes follow links both ways; ResultTrees keeps its expanding and
    // collapsing rules on the same events. The drive tree lists folders as they open.
    trees_.dirList.events.change = [this](NodeId n) { browsing_.dirListChange(n); };
    trees_.dblList.events.change = [this](NodeId n) { browsing_.dblListChange(n); };
    driveTree_.events.expanded = [this](NodeId n) { selection_.nodeExpanded(n); };
    driveTree_.events.change = [this](NodeId n) { selection_.selectionChanged(n); };
}

void Session::attach(SessionView* view, PathSelectionView selection) {
    view_ = view ? view : detached_.get();
    selection_.setView(std::move(selection));
}

void Session::start() {
    engine_.startup();
    started_ = true;
    selection_.fillDriveTree();
}

void Session::shutdown() {
    started_ = false;
    engine_.shutdown();
}

// --- What may act now ------------------------------------------------------------------

Activity Session::activity() const {
    const RunState& run = engine_.runState();
    Activity now;
    now.searchRun = run.inRun();
    now.searchBuildsTrees = run.active();
    now.phaseRuns = !run.canClose();
    now.deleting = deleting();
    now.ending = ending_;
    now.givenUp = givenUp_;
    return now;
}

void Session::endRequested() {
    ending_ = true;
    engine_.abandonRun();
}

// --- Search run ------------------------------------------------------------------------

void Session::search(const std::vector<std::string>& searchPaths) {
    runPickTree_ = TreeId::None;
    runPickNode_ = kNoNode;
    // A copy: the run turns the event loop, and Stop can bring the selection page back
    // while it still sorts or compares.
    const std::vector<std::string> exclusions = selection_.exclusions();
    try {
        engine_.searchRun(searchPaths, exclusions);
    } catch (const std::exception&) {
        locateReferences();   // the trees a failed walk leaves
        if (!ending_) throw;   // the program is ending: no message box to hold it up
    }
}

void Session::markReference(const std::string& searchPath, bool reference) {
    references_.mark(searchPath, reference);
    if (!trees_.dirList.empty()) locateReferences();
}

bool Session::stop() {
    if (!mayAct(Act::StopSearch)) return false;
    return engine_.stop() == SearchEngine::StopRole::Idle;
}

bool Session::closeQuery() {
    if (mayAct(Act::Close)) return true;
    if (deleting() && !ending_) closePending_ = true;   // once the deletion has ended
    return false;
}

void Session::pickEntry(PathList list, int index) {
    if (list == PathList::Exclusions) selection_.selectExclusion(index);
    else selection_.selectEntry(index);
}

void Session::excludeSystemPaths(const std::vector<std::string>& posixPaths) {
    for (const std::string& posix : posixPaths)
        if (const std::optional<std::string> path = services_.drives().toWindows(posix)) selection_.excludePath(*path);
}

void Session::addSearchFolders(const std::vector<std::string>& posixPaths) {
    std::string refused;
    for (const std::string& posix : posixPaths) {
        const std::optional<std::string> path = services_.drives().toWindows(posix);
        std::error_code error;
        const bool folder = std::filesystem::is_directory(posix, error);
        const NodeId node = path && folder ? selection_.openPath(*path) : kNoNode;
        if (node != kNoNode && selection_.pathFits(node)) {
            driveTree_.select(node);
            selection_.add();
            continue;
        }
        if (!refused.empty()) refused += '\n';
        refused += kDropNotFolderHead + path.value_or(posix) + (folder ? kDropUnreachableTail : kDropNotFolderTail);
    }
    if (!refused.empty()) services_.showMessage(refused, kDropCaption, MessageKind::Error);
}

bool Session::goHome() {
    const char* home = std::getenv("HOME");
    const std::optional<std::string> path =
        home && *home == '/' ? services_.drives().toWindows(home) : std::optional<std::string>();
    const NodeId node = path ? selection_.openPath(*path) : kNoNode;
    if (node == kNoNode) return false;
    driveTree_.select(node);
    return true;
}

void Session::pointDirListNode(NodeId node) {
    notePick(TreeId::DirList, node);
    if (trees_.dirList.isValid(node)) trees_.dirList.select(node);
}

void Session::notePick(TreeId tree, NodeId node) {
    if (!mayAct(Act::HoldPick)) return;
    runPickTree_ = tree;
    runPickNode_ = node;
}

// Rows show while the run goes on, and a node the user clicked (or reached by key) in either
// tree meanwhile keeps the selection and the focus: the run's choice must not undo a click
// that came a moment before "Fini !".
TreeId Session::settleRunPick() {
    const TreeId tree = runPickTree_;
    const NodeId node = runPickNode_;
    runPickTree_ = TreeId::None;
    runPickNode_ = kNoNode;
    TreeStore* store = tree == TreeId::DirList ? &trees_.dirList : tree == TreeId::DblList ? &trees_.dblList : nullptr;
    if (!store || !store->isValid(node)) return TreeId::DirList;
    // The run's choice moved the other tree's selection and the status bar: the pick's
    // change handling puts them back.
    if (store->selected() != node) store->select(node);
    else if (tree == TreeId::DirList) browsing_.dirListChange(node);
    else browsing_.dblListChange(node);
    return tree;
}

// --- Browsing and deletion -------------------------------------------------------------

void Session::browse(void (Browsing::*step)()) {
    if (mayAct(Act::Browse)) (browsing_.*step)();
}

void Session::previousDuplicate() { browse(&Browsing::previousDuplicate); }
void Session::nextDuplicate() { browse(&Browsing::nextDuplicate); }
void Session::expandAll() { browse(&Browsing::expandAll); }
void Session::collapseAll() { browse(&Browsing::collapseAll); }
void Session::openDirListSelection() { browse(&Browsing::dirListDblClick); }
void Session::openDblListSelection() { browse(&Browsing::dblListDblClick); }
void Session::trashClick() { deletion_.trashClick(); }
void Session::dropOnTrash(TreeId source) { deletion_.dropOnTrash(source); }
void Session::deleteDuplicatesOfDirectory() { deletion_.deleteDuplicatesOfDirectory(); }
void Session::deleteDuplicatesOfTree() { deletion_.deleteDuplicatesOfTree(); }

// --- Space and the saved list ----------------------------------------------------------

Freed Session::freed() const {
    Freed now = deletion_.freed();
    now.sent -= takeBack_.returned().sent;
    now.bytes -= takeBack_.returned().bytes;
    return now;
}

void Session::saveDuplicateList() {
    if (!mayAct(Act::SaveList)) return;
    const std::optional<std::string> path = services_.askSavePath(kSaveListCaption, kSaveListName);
    // The dialog waits in an event loop of its own: a signal may have come meanwhile.
    if (!path || path->empty() || !mayAct(Act::SaveList)) return;
    const std::string csv = duplicateListCsv(trees_, services_.drives(), [this](NodeId f) { return isReference(f); });
    const std::string shown = services_.drives().toWindows(*path).value_or(*path);
    try {
        writeWholeFile(*path, csv);
    } catch (const InOutError& e) {
        const std::string reason = e.code() == kNotRegularFile ? kSaveListNotRegular : e.what();
        services_.showMessage(saveListFailure(shown, reason), kErrorCaption, MessageKind::Error);
        return;
    }
    view_->appendLog(kListSavedLog + shown);
}

// --- ResultsSession --------------------------------------------------------------------

TreeId Session::focusedTree() const { return view_->focusedTree(); }
void Session::setHideSelection(TreeId tree, bool hide) { view_->setHideSelection(tree, hide); }
void Session::setStatusText(const std::string& text) { view_->setStatusText(text); }
std::string Session::statusText() const { return view_->statusText(); }
void Session::appendLog(const std::string& line) { view_->appendLog(line); }
void Session::setWaitCursor(bool on) { view_->setWaitCursor(on); }

void Session::lockWindowUpdate(bool on) {
    // The lock is a batch of both result trees: their views hold their layout, painting
    // and selection while it lasts and catch up once at its end, where repainting them
    // node by node would cost a relayout each. The log and the status bar go on
    // painting, so that each line of a long walk shows as it comes.
    if (on) {
        trees_.dirList.beginBatch();
        trees_.dblList.beginBatch();
    } else {
        trees_.dblList.endBatch();
        trees_.dirList.endBatch();
    }
}

OtherCopy Session::findOtherCopy(const std::string& file, const CopyCandidates& candidates) {
    // A long read leaves the window painted (input is dropped meanwhile), and a signal ends it.
    return findOtherCopyOnDisk(services_, file, candidates, [this] { return waitTurn(); });
}

bool Session::waitTurn() {
    view_->eventTurn();
    return mayAct(Act::GoOn);
}

bool Session::lockWaitTurn() {
    waitingForLock_ = true;
    view_->eventTurn();
    waitingForLock_ = false;
    return mayAct(Act::GoOn);
}

void Session::escapePressed() {
    if (waitingForLock_) givenUp_ = true;
}

void Session::deletionBegins() {
    takeBack_.actBegins();
    view_->holdInput(true);
}

void Session::deletionEnded() {
    givenUp_ = false;
    takeBack_.actEnded();
    view_->holdInput(false);
    if (!ending_) view_->showSpaceFigures(spaceFigures());
    // The deletion's handler is still on the stack: what waited runs once it has returned.
    if (ending_) {
        view_->endSoon();
    } else if (closePending_) {
        closePending_ = false;
        view_->closeSoon();
    }
}

// --- SearchUi --------------------------------------------------------------------------

void Session::runStarted() {
    view_->showSpaceFigures({});   // the trees are being built
    view_->runStarted();
}
void Session::phaseStarted(SearchPhase phase, std::int64_t files) { view_->phaseStarted(phase, files); }

void Session::phaseEnded(SearchPhase phase, std::int64_t files) {
    // DirList's context menu pops up by itself once there is a file to show.
    if (phase == SearchPhase::Collection && files >= 1) popupEnabled_ = true;
    if (phase == SearchPhase::Collection) locateReferences();
    view_->phaseEnded(phase, files);
}

void Session::logLine(const std::string& line) { view_->logLine(line); }
void Session::folderEntered(const std::string& path) { view_->folderEntered(path); }
void Session::searchPathWalked() { view_->searchPathWalked(); }
void Session::progress(std::int64_t filesDone) { view_->progress(filesDone); }
void Session::pairCompared(const std::string& first, const std::string& second) { view_->pairCompared(first, second); }
void Session::eventTurn() { view_->eventTurn(); }

void Session::resultsReady() {
    runFocus_ = settleRunPick();
    view_->resultsReady();
}

void Session::runEnded() {
    view_->showSpaceFigures(spaceFigures());
    view_->runEnded();
}

}  // namespace parelix
