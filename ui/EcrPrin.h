#pragma once
// The main window: the selection page and the results page on one client area, and the
// handlers of every control, named after the control and its event. The pages build, lay
// out and hold the controls; the session (session/Session.h), made before the window and
// outliving it, holds the trees, the engine and the logic, and the handlers forward to it.
// The window is the session's view: it shows what a search run, browsing and deletion tell.
// The handlers are split by subject over several sources:
//   EcrPrin.cpp           creation, page switches, sizes, what the search run shows, closing
//   EcrPrinSearch.cpp     search run, stop, close query, destruction (engine glue)
//   EcrPrinSelection.cpp  path selection (drive tree DskList, lists RepList and ExcList)
//   EcrPrinResults.cpp    results browsing and deletion (DirList, DblList, Poubelle, PopMenu)
// The controls: SelectionPage.h (_PanSel) and ResultsPage.h (_PanRes).
#include <cstdint>
#include <QList>
#include <QMainWindow>
#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "session/Session.h"

class QAction;
class QMenu;
class QTreeView;
class QWidget;

namespace parelix {

class PaintSpacing;
class ResultsGlue;
class ResultsPage;
class SelectionPage;

class T_EcrPrin : public QMainWindow, public SessionView {
    Q_OBJECT
public:
    explicit T_EcrPrin(Session& session, QWidget* parent = nullptr);
    ~T_EcrPrin() override;

    Session& session() { return session_; }
    bool startupRefused() const { return startupRefused_; }   // the version check asked to close
    // Shares of the window's outer size, in thousandths: PanelDirList's width and DblList's height.
    int dirWidthRatio() const;
    int logSplitRatio() const;
    int outerWidth() const;                 // the window's frame size
    int outerHeight() const;
    static constexpr int kEventTurnMs = 10;
    // During a search run the window paints at most this often (PaintSpacing.h), about 25
    // pictures a second, as the status bar; its event turns still come every kEventTurnMs.
    static constexpr int kRunPaintSpacingMs = 40;
    // A deletion act paints at most this often: each picture lays the log out and paints it,
    // which on a slow disk took a tenth of a walk at every 10 ms.
    static constexpr int kActPaintSpacingMs = 100;

    // --- Shell (EcrPrin.cpp) -----------------------------------------------------------
    void showResultsPage();
    void BtnRevoirClick();
    void BtnQuitteClick();

    // --- Search run (EcrPrinSearch.cpp) ------------------------------------------------
    void BtnChercheClick();
    void BtnStopRtnClick();
    bool FormCloseQuery();
    // SIGTERM, SIGHUP or SIGINT: the program ends as by BtnQuitte, also during a search run,
    // which first stops its phase and unwinds.
    void quitBySignal();

    // --- Path selection (EcrPrinSelection.cpp) -----------------------------------------
    void BtnAjouteClick();
    void BtnEnleveClick();   // on RepList
    void ExclureClick();   // PopMenuDsk: the drive tree's selected node into ExcList
    void AllerPersoClick();   // PopMenuDsk, Alt+Home on DskList: the tree opened down to the home folder
    void ExcListRemoveClick();    // ExcMenu, the Delete key on ExcList
    void ExcListAddFileClick();   // ExcMenu: files chosen in a dialog into ExcList
    // Files and folders dropped from a file manager: onto RepList search paths, onto ExcList
    // exclusions; anything not on this machine refused with a word.
    void ListDrop(PathList target, const QList<QUrl>& urls);
    std::vector<std::string> searchPaths() const;   // RepList in list order
    // Marks or unmarks the selected entry of RepList as a reference folder.
    void RepListReferenceClick();

    // --- Results browsing and deletion (EcrPrinResults.cpp) -----------------------------
    void DirListChange(NodeId node);
    void DblListChange(NodeId node);
    void BtnPrecSuivUpClick();
    void BtnPrecSuivDownClick();
    void ToutDeplierClick();
    void ToutReplierClick();
    void DirListDblClick();
    void DblListDblClick();
    // Escape, dropped with the rest of the input during a deletion: gives up a wait for
    // another Parelix process's deletion, and the act with it.
    void EscapeDuringDeletion();
    // A button pressed on a node of either tree (ResultsGlue: also on the row already
    // current, which the views do not signal).
    void xxxListMouseDown(TreeId tree, NodeId node, Qt::MouseButton button);
    // The pointer moved over DirList with the left button held, from a press beside the
    // nodes: true when a drag of the selected node started.
    bool xxxListMouseMove();
    void PoubelleClick();
    bool PoubelleDragOver(QObject* source);
    void PoubelleDragDrop(QObject* source);
    void SupDblsDuRepClick();
    void SupDblsDuRepEtSousRepClick();
    void EnrListeDblsClick();   // "Enregistre la liste des doubles…", Ctrl+S in the results
    void AnnuleEnvoiClick();    // takes the last deletion back, Ctrl+Z in the results

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the search run tells (SearchUi), and what the window makes of it (EcrPrin.cpp).
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
    // What browsing and deletion show (EcrPrinResults.cpp).
    TreeId focusedTree() const override;
    void setHideSelection(TreeId tree, bool hide) override;
    void setStatusText(const std::string& text) override;
    std::string statusText() const override;
    void appendLog(const std::string& line) override;   // shown at once, with an event turn
    void setWaitCursor(bool on) override;
    void holdInput(bool on) override;
    void closeSoon() override;
    void endSoon() override;
    void showSpaceFigures(const std::string& text) override;

    void showLogNow();   // the log's last line in view and painted
    void showSelectionPage();
    void processEventsNow();
    void connectControls();
    void connectBrowsingKeys();   // Return opens a file; F3 and Shift+F3 step between duplicates
    // Gives the window its outer size and centres it on the screen's free area; frame: what
    // the window system's frame adds to the client area, once known.
    void placeOnScreen(QSize frame);
    void placeOnceFramed(int attempt);   // placeOnScreen once the frame is known
    bool versionRefused();
    void attachSelection();        // EcrPrinSelection.cpp
    void setupResultsHandlers();   // EcrPrinResults.cpp: the trees' events and the results controls
    void buildPopMenu();
    void setupTrashHandlers();
    void FormDestroy();
    void endProgram();

    Session& session_;
    std::unique_ptr<ResultsGlue> results_;       // the result trees' mouse events

    QWidget* central_ = nullptr;
    SelectionPage* selectionPage_ = nullptr;     // _PanSel
    ResultsPage* resultsPage_ = nullptr;         // _PanRes
    QMenu* PopMenu = nullptr;                    // DirList's context menu
    QMenu* DblMenu = nullptr;                    // DblList's context menu
    QMenu* RepMenu = nullptr;                    // RepList's context menu
    QAction* RepReference = nullptr;             // its one item

    bool startupRefused_ = false;
    bool firstShow_ = true;
    std::int64_t lastTurnMs_ = INT64_MIN / 2;   // clock of the last event turn
    std::int64_t lastLogPaintMs_ = INT64_MIN / 2;   // of the last log line painted in a deletion
    bool logBehind_ = false;                      // lines added since, not yet in view
    // A deletion act's pictures are spaced (kActPaintSpacingMs): its log changes at every
    // file, and the reads of a long check turn the events every few milliseconds.
    std::unique_ptr<PaintSpacing> actSpacing_;
};

}  // namespace parelix
