#pragma once
// The main window: the selection page and the results page on one client area, the
// operations log, status bar and progress bar, pane resizing, and the handlers of every
// control. Its handlers are split by subject over several sources:
//   EcrPrin.cpp           creation, layout, ratios, drags, log, status, modes, closing
//   EcrPrinSearch.cpp     search run, stop, close query, destruction (engine glue)
//   EcrPrinSelection.cpp  path selection (drive tree and search list)
//   EcrPrinResults.cpp    results browsing and deletion
#include <cstdint>
#include <QIcon>
#include <QMainWindow>
#include <QPoint>
#include <memory>
#include <string>
#include <vector>

#include "engine/SearchEngine.h"
#include "engine/SearchUi.h"
#include "results/ResultTrees.h"

class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QToolButton;
class QTreeView;
class QWidget;

namespace parelix {

class TreeModel;
class StatusBar;
class SpinButton;
class TrashLabel;
class PathSelection;

class T_EcrPrin : public QMainWindow, public SearchUi {
    Q_OBJECT
public:
    explicit T_EcrPrin(QWidget* parent = nullptr);
    ~T_EcrPrin() override;

    // --- State shared by the subjects -------------------------------------------------
    ResultTrees trees;
    std::unique_ptr<SearchEngine> engine;
    TreeStore dskTree;                      // the drive tree's nodes
    std::unique_ptr<PathSelection> selection;   // drive tree and search list logic
    bool popupEnabled = false;              // automatic pop-up of PopMenu
    int dirWidthRatio = 0;                  // thousandths of the window's outer width
    int logSplitRatio = 0;                  // thousandths of the window's outer height
    QPoint dragStart;
    bool revoirWasVisible = false;
    bool startupRefused = false;            // the version check asked to close
    bool engineStarted = false;             // the work files exist and must be deleted
    int dirPanelWidth = 200;                // PanelDirList width the results page is to show
    int dblListHeight = 268;                // DblList height asked by the ratio or a drag
    std::vector<QIcon> ImageList;           // the six pictures of the result trees

    // --- Controls (names of the layout) ------------------------------------------------
    QFrame* _PanSel = nullptr;
    QFrame* PanelDskList = nullptr;
    QLabel* TitreDskList = nullptr;
    QTreeView* DskList = nullptr;
    QFrame* PanelBoutons = nullptr;
    QToolButton* BtnAjoute = nullptr;
    QToolButton* BtnEnleve = nullptr;
    QToolButton* BtnRevoir = nullptr;
    QToolButton* BtnCherche = nullptr;
    QToolButton* BtnQuitte = nullptr;
    QFrame* PanelRepList = nullptr;
    QLabel* TitreRepList = nullptr;
    QListWidget* RepList = nullptr;
    QLabel* TitreExcList = nullptr;
    QListWidget* ExcList = nullptr;

    QFrame* _PanRes = nullptr;
    QSplitter* SepVRes = nullptr;
    QFrame* PanelDirList = nullptr;
    QLabel* TitreDirList = nullptr;
    QTreeView* DirList = nullptr;
    QFrame* PanelDblList = nullptr;
    QWidget* ToolBar1 = nullptr;
    TrashLabel* Poubelle = nullptr;
    SpinButton* BtnPrecSuiv = nullptr;
    QPushButton* BtnStopRtn = nullptr;
    QLabel* TitreDblList = nullptr;
    QTreeView* DblList = nullptr;
    QLabel* TitreInfos = nullptr;
    QListWidget* Infos = nullptr;
    QProgressBar* Progress = nullptr;
    StatusBar* Etat = nullptr;
    QMenu* PopMenu = nullptr;

    TreeModel* dskModel = nullptr;
    TreeModel* dirModel = nullptr;
    TreeModel* dblModel = nullptr;

    // --- Shell (EcrPrin.cpp) -----------------------------------------------------------
    void showResultsPage();
    void showSelectionPage();
    void layoutButtonColumn();
    void computeDirWidthRatio();
    void computeLogSplitRatio();
    void setWaitCursor(bool on);
    void BtnRevoirClick();
    void BtnQuitteClick();
    int outerWidth() const;                 // the window's frame size
    int outerHeight() const;
    void setDskPanelWidth(int width);       // PanelDskList, kept within the page
    void setDblListHeight(int height);      // DblList, kept within its panel
    void applyDblListHeight();              // the asked height, as far as both titles stay whole
    void applyDirPanelWidth();

    // Pane-resizing drags. The drag carries kPaneMimeType with the handle's name.
    static constexpr const char* kPaneMimeType = "application/x-parelix-pane-handle";
    void paneDragBegin(QWidget* handle, QPoint start);
    bool paneDragOver(QWidget* target, QWidget* handle, QPoint pos);   // true: accepted
    void paneDragEnd(QWidget* handle);

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

    // --- Path selection (EcrPrinSelection.cpp) -----------------------------------------
    void fillDriveTree();
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
    void setupResultsHandlers();   // binds the trees' events and the results controls

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildSelectionPage(QWidget* central);
    void buildResultsPage(QWidget* central);
    void connectControls();
    void startPaneDrag(QWidget* handle, QPoint start);
    QWidget* paneTargetOf(QObject* watched) const;
    QWidget* central_ = nullptr;
    QWidget* pressedHandle_ = nullptr;
    QPoint pressPos_;
    bool firstShow_ = true;
    bool signalled_ = false;                    // a signal asked the program to end
    void endProgram();
    QTreeView* runPickView_ = nullptr;          // the result tree, and its node, that the
    NodeId runPickNode_ = kNoNode;              // user last picked during the search run
    std::int64_t lastTurnMs_ = INT64_MIN / 2;   // clock of the last event turn
};

}  // namespace parelix
