#pragma once
// The main window: the selection page and the results page on one client area, and the
// handlers of every control, named after the control and its event. The pages build, lay
// out and hold the controls; the window owns the pages, the result trees, the drive tree
// and the search engine, and binds the controls' events to its handlers. The handlers are
// split by subject over several sources:
//   EcrPrin.cpp           creation, page switches, sizes, what the search run shows, closing
//   EcrPrinSearch.cpp     search run, stop, close query, destruction (engine glue)
//   EcrPrinSelection.cpp  path selection (drive tree DskList and search list RepList)
//   EcrPrinResults.cpp    results browsing and deletion (DirList, DblList, Poubelle, PopMenu)
// The controls: SelectionPage.h (_PanSel) and ResultsPage.h (_PanRes).
#include <cstdint>
#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "engine/SearchEngine.h"
#include "engine/SearchUi.h"
#include "results/ResultTrees.h"

class QMenu;
class QTreeView;
class QWidget;

namespace parelix {

class PathSelection;
class ResultsGlue;
class ResultsPage;
class SelectionPage;

class T_EcrPrin : public QMainWindow, public SearchUi {
    Q_OBJECT
public:
    explicit T_EcrPrin(QWidget* parent = nullptr);
    ~T_EcrPrin() override;

    // --- What the window holds ---------------------------------------------------------
    ResultTrees& trees() { return trees_; }
    SearchEngine& engine() { return *engine_; }
    TreeStore& driveTree() { return dskTree_; }        // DskList's nodes
    PathSelection& pathSelection() { return *selection_; }
    bool startupRefused() const { return startupRefused_; }   // the version check asked to close
    bool engineStarted() const { return engineStarted_; }     // the work files exist
    bool popupEnabled() const { return popupEnabled_; }       // automatic pop-up of PopMenu
    // Shares of the window's outer size, in thousandths: PanelDirList's width and DblList's height.
    int dirWidthRatio() const;
    int logSplitRatio() const;
    int outerWidth() const;                 // the window's frame size
    int outerHeight() const;

    // --- Shell (EcrPrin.cpp) -----------------------------------------------------------
    void showResultsPage();
    void showSelectionPage();
    void setWaitCursor(bool on);
    void BtnRevoirClick();
    void BtnQuitteClick();

    // The operations log and the status bar's single text.
    void appendLog(const std::string& line);   // shown at once, with an event turn
    void clearLog();
    void setStatusText(const std::string& text);
    void processEventsNow();
    static constexpr int kEventTurnMs = 10;

    // What the search run tells (SearchUi), and what the window makes of it.
    void runStarted() override;
    void phaseStarted(SearchPhase phase, std::int64_t files) override;
    void phaseEnded(SearchPhase phase, std::int64_t files) override;
    void logLine(const std::string& line) override;
    void folderEntered(const std::string& path) override;
    void searchPathWalked() override;
    void progress(std::int64_t filesDone) override;
    void pairCompared(const std::string& first, const std::string& second) override;
    void eventTurn() override;              // at most one turn every kEventTurnMs
    void resultsReady() override;
    void runEnded() override;

    // --- Search run (EcrPrinSearch.cpp) ------------------------------------------------
    void BtnChercheClick();
    void BtnStopRtnClick();
    bool FormCloseQuery();
    void FormDestroy();
    // SIGTERM, SIGHUP or SIGINT: the program ends as by BtnQuitte, also during a search run,
    // which first stops its phase and unwinds.
    void quitBySignal();
    void notePick(QTreeView* view, NodeId node);   // a node the user picked in a result tree
    // A deletion is under way (results/Deletion.h): nothing else starts or stops, a close
    // waits for its end.
    bool deleting() const;
    void deletionEnded();                          // what waited for the deletion's end
    bool ending() const { return signalled_; }     // a signal asked the program to end

    // --- Path selection (EcrPrinSelection.cpp) -----------------------------------------
    void BtnAjouteClick(QObject* sender);
    void BtnEnleveClick(QObject* sender);
    void DskListExpanded(NodeId node);
    void DskListChange(NodeId node);
    std::vector<std::string> searchPaths() const;   // RepList in list order

    // --- Results browsing and deletion (EcrPrinResults.cpp) -----------------------------
    void DirListChange(NodeId node);
    void DblListChange(NodeId node);
    void BtnPrecSuivUpClick();
    void BtnPrecSuivDownClick();
    void ToutDeplierClick();
    void ToutReplierClick();
    void DirListDblClick();
    void DblListDblClick();
    void PoubelleClick();
    bool PoubelleDragOver(QObject* source);
    void PoubelleDragDrop(QObject* source);
    void SupDblsDuRepClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectControls();
    void connectBrowsingKeys();   // Return opens a file; F3 and Shift+F3 step between duplicates
    // Gives the window its outer size and centres it on the screen's free area; frame: what
    // the window system's frame adds to the client area, once known.
    void placeOnScreen(QSize frame);
    void placeOnceFramed(int attempt);   // placeOnScreen once the frame is known
    void fillDriveTree();          // EcrPrinSelection.cpp
    void setupResultsHandlers();   // EcrPrinResults.cpp: the trees' events and the results controls
    void buildPopMenu();
    void setupTrashHandlers();
    void endProgram();

    // Declared before what refers to them: the engine and the results glue hold the trees.
    ResultTrees trees_;
    std::unique_ptr<SearchEngine> engine_;
    TreeStore dskTree_;
    std::unique_ptr<PathSelection> selection_;   // drive tree and search list logic
    std::unique_ptr<ResultsGlue> results_;       // what browsing and deletion see of the window

    QWidget* central_ = nullptr;
    SelectionPage* selectionPage_ = nullptr;     // _PanSel
    ResultsPage* resultsPage_ = nullptr;         // _PanRes
    QMenu* PopMenu = nullptr;                    // DirList's context menu

    bool popupEnabled_ = false;
    bool startupRefused_ = false;
    bool engineStarted_ = false;                // the work files exist and must be deleted
    bool firstShow_ = true;
    bool signalled_ = false;                    // a signal asked the program to end
    bool closePending_ = false;                 // a close came during a deletion
    QTreeView* runPickView_ = nullptr;          // the result tree, and its node, that the
    NodeId runPickNode_ = kNoNode;              // user last picked during the search run
    std::int64_t lastTurnMs_ = INT64_MIN / 2;   // clock of the last event turn
};

}  // namespace parelix
