#pragma once
// The results page _PanRes: the results directory tree DirList beside the splitter SepVRes,
// and in PanelDblList the tool bar ToolBar1 (the trash Poubelle, the spin button
// BtnPrecSuiv, the Stop button BtnStopRtn), the duplicates tree DblList and the operations
// log Infos, with the space figures EspaceDblList under DblList's title; below them the progress bar Progress and the status bar Etat. It builds and
// lays out its controls, holds the pictures of both result trees and their models, and
// keeps the directory tree's share of the window's width and the duplicates tree's share
// of its height. The window binds the controls' events to its handlers.
#include <QFont>
#include <QFrame>
#include <cstdint>
#include <QIcon>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QStyle;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTreeView;

namespace parelix {

class DriveTable;
using NodeId = std::uint32_t;

class ResultTrees;
class SpinButton;
class StatusBar;
class TrashLabel;
class TreeModel;
class TreeViewBinder;

class ResultsPage : public QFrame {
public:
    // drives: what the rows' hints look files up over.
    ResultsPage(ResultTrees& trees, const DriveTable& drives, QWidget* parent);

    QTreeView* dirList() const { return DirList; }
    QTreeView* dblList() const { return DblList; }
    TreeModel* dirModel() const { return dirModel_; }
    TreeModel* dblModel() const { return dblModel_; }
    TreeViewBinder* dirBinder() const { return dirBinder_; }
    TreeViewBinder* dblBinder() const { return dblBinder_; }
    TrashLabel* poubelle() const { return Poubelle; }
    SpinButton* btnPrecSuiv() const { return BtnPrecSuiv; }
    QPushButton* btnStopRtn() const { return BtnStopRtn; }
    QListWidget* infos() const { return Infos; }
    QProgressBar* progress() const { return Progress; }
    StatusBar* etat() const { return Etat; }

    // The space figures below DblList's title; empty: none shown.
    void setSpaceFigures(const QString& text);

    // Tells the rows that lie in a reference folder: their hints say so.
    void setReferenceTest(std::function<bool(NodeId)> isReference) { isReference_ = std::move(isReference); }

    // Adds a line at the end of the log, scrolled into view, and leaves no line selected.
    // show false: the line waits for showLastLogLine to come into view.
    void addLogLine(const std::string& line, bool show = true);
    void showLastLogLine();
    // Brings the last line into view, leaving the current line where it is (a walk's
    // pictures; its end shows the last line as showLastLogLine does).
    void scrollToLastLogLine();
    void clearLog();

    // Sizes. The ratios are thousandths of the window's outer size; they start from the
    // design sizes of a window of the given outer size.
    void setDesignRatios(int windowWidth, int windowHeight);
    void windowResized();
    void applyDirPanelWidth();   // once the page shows
    int dirWidthRatio() const { return dirWidthRatio_; }
    int logSplitRatio() const { return logSplitRatio_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildDirColumn();
    void buildDblColumn();
    void buildToolBar();
    void buildStatusLines();
    void bindTrees(ResultTrees& trees, const DriveTable& drives);
    QSize outerSize() const;   // the window's frame
    std::function<bool(NodeId)> isReference_;
    void computeDirWidthRatio();
    void computeLogSplitRatio();
    void setDblListHeight(int height);   // DblList, kept within its panel
    void applyDblListHeight();           // the asked height, as far as both titles stay whole
    // The drag of the log's title resizes the duplicates tree.
    bool logTitleDragOver(QWidget* target, QPoint pos);
    // A log line's width as the style would give it.
    int logLineWidth(QListWidgetItem* item, const QString& text);

    QSplitter* SepVRes = nullptr;
    QFrame* PanelDirList = nullptr;
    QLabel* TitreDirList = nullptr;
    QTreeView* DirList = nullptr;
    QFrame* PanelDblList = nullptr;
    QFrame* ToolBar1 = nullptr;
    TrashLabel* Poubelle = nullptr;
    SpinButton* BtnPrecSuiv = nullptr;
    QPushButton* BtnStopRtn = nullptr;
    QLabel* TitreDblList = nullptr;
    QLabel* EspaceDblList = nullptr;   // what the extra copies take, what was freed
    QTreeView* DblList = nullptr;
    QLabel* TitreInfos = nullptr;
    QListWidget* Infos = nullptr;
    QProgressBar* Progress = nullptr;
    StatusBar* Etat = nullptr;
    std::vector<QIcon> ImageList;   // the six pictures of the result trees
    TreeModel* dirModel_ = nullptr;
    TreeModel* dblModel_ = nullptr;
    TreeViewBinder* dirBinder_ = nullptr;
    TreeViewBinder* dblBinder_ = nullptr;

    int dirWidthRatio_ = 0;                  // thousandths of the window's outer width
    int logSplitRatio_ = 0;                  // thousandths of the window's outer height
    int dirPanelWidth_ = 200;                // PanelDirList width the page is to show
    int dblListHeight_ = 268;                // DblList height asked by the ratio or a drag
    QPoint dragStart_;
    // The log's line sizes: margins and height measured on one line of the list's font and
    // style, advances by character (up to U+058F), and the widest line since the log began.
    static constexpr char16_t kLogAdvancesKept = 0x590;
    QFont logLineFont_;
    const QStyle* logLineStyle_ = nullptr;
    int logLineMargin_ = 0;
    int logLineHeight_ = 0;
    std::vector<int> logAdvances_;
    int logWidest_ = 0;
};

}  // namespace parelix
