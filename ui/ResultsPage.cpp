#include "ui/ResultsPage.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "results/Messages.h"
#include "results/ResultTrees.h"
#include "results/RowHints.h"
#include "ui/PaneDrag.h"
#include "ui/PaneLayout.h"
#include "ui/PanelControls.h"
#include "ui/ProgressBar.h"
#include "ui/SpinButton.h"
#include "ui/StatusBar.h"
#include "ui/TrashLabel.h"
#include "ui/TreeModel.h"
#include "ui/TreeViewBinder.h"

namespace parelix {

namespace {

constexpr int kDesignDirPanelWidth = 200;
constexpr int kDesignDblListHeight = 268;

}  // namespace

ResultsPage::ResultsPage(ResultTrees& trees, const DriveTable& drives, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("_PanRes"));
    hide();
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);

    SepVRes = new QSplitter(Qt::Horizontal, this);
    SepVRes->setObjectName(QStringLiteral("SepVRes"));
    SepVRes->setHandleWidth(3);
    SepVRes->setChildrenCollapsible(false);
    SepVRes->setOpaqueResize(true);

    buildDirColumn();

    buildDblColumn();

    SepVRes->addWidget(PanelDirList);
    SepVRes->addWidget(PanelDblList);
    SepVRes->handle(1)->setAccessibleName(QString::fromUtf8(kPaneHandleName));
    SepVRes->setStretchFactor(0, 0);
    SepVRes->setStretchFactor(1, 1);
    if (QSplitterHandle* h = SepVRes->handle(1)) {
        h->setAutoFillBackground(true);
        QPalette pal = h->palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Shadow));
        h->setPalette(pal);
    }
    connect(SepVRes, &QSplitter::splitterMoved, this, [this] { computeDirWidthRatio(); });

    buildStatusLines();

    // Tab goes from tree to tree, then to the tool bar (its one button that takes the focus).
    setTabOrder(DirList, DblList);
    setTabOrder(DblList, BtnStopRtn);

    col->addWidget(SepVRes, 1);
    col->addWidget(Progress);
    col->addWidget(Etat);

    bindTrees(trees, drives);

    PanelDblList->installEventFilter(this);
    DirList->viewport()->installEventFilter(this);
    auto* drag = new PaneDrag(TitreInfos, false,
                              {[this](QPoint start) { dragStart_ = start; },
                               [this](QWidget* target, QPoint pos) { return logTitleDragOver(target, pos); },
                               [this] { computeLogSplitRatio(); }});
    drag->addTarget(DblList, DblList->viewport());
    drag->addTarget(TitreInfos);
    drag->addTarget(Infos, Infos->viewport());
}

void ResultsPage::buildDirColumn() {
    PanelDirList = makePanel(QStringLiteral("PanelDirList"), SepVRes, true);
    auto* dirCol = new QVBoxLayout(PanelDirList);
    dirCol->setContentsMargins(2, 2, 2, 2);
    dirCol->setSpacing(0);
    TitreDirList = makeTitle(QStringLiteral("TitreDirList"), QStringLiteral("Disques / Répertoires"), PanelDirList);
    DirList = makeTree(QStringLiteral("DirList"), TitreDirList->text(), 19, PanelDirList);
    DirList->setContextMenuPolicy(Qt::CustomContextMenu);
    DirList->setMinimumSize(0, 0);
    dirCol->addWidget(TitreDirList);
    dirCol->addWidget(DirList, 1);
}

void ResultsPage::buildDblColumn() {
    PanelDblList = makePanel(QStringLiteral("PanelDblList"), SepVRes, true);
    auto* dblCol = new QVBoxLayout(PanelDblList);
    dblCol->setContentsMargins(2, 2, 2, 2);
    dblCol->setSpacing(0);
    buildToolBar();
    TitreDblList = makeTitle(QStringLiteral("TitreDblList"), QStringLiteral("Fichiers dupliqués"), PanelDblList);
    // One line that a long text never widens; a screen reader reads it as the label's text,
    // and DblList carries it too, so that it is heard on entering the tree.
    EspaceDblList = makeTitle(QStringLiteral("EspaceDblList"), QString(), PanelDblList);
    EspaceDblList->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    EspaceDblList->setAccessibleName(QString::fromUtf8(kSpaceFiguresName));
    EspaceDblList->setFixedHeight(EspaceDblList->fontMetrics().height() + 2);
    DblList = makeTree(QStringLiteral("DblList"), TitreDblList->text(), 19, PanelDblList);
    DblList->setFixedHeight(kDesignDblListHeight);
    TitreInfos = makeTitle(QStringLiteral("TitreInfos"), QStringLiteral("Compte-rendu des opérations"), PanelDblList);
    TitreInfos->setCursor(Qt::SplitVCursor);
    Infos = new QListWidget(PanelDblList);
    Infos->setObjectName(QStringLiteral("Infos"));
    Infos->setAccessibleName(TitreInfos->text());
    Infos->setFocusPolicy(Qt::ClickFocus);
    Infos->setSelectionMode(QAbstractItemView::SingleSelection);
    Infos->setMinimumHeight(0);
    Infos->setUniformItemSizes(true);   // see addLogLine
    // The log may shrink to nothing under its title; the layout would otherwise keep it its
    // scroll bars' height and push the title onto the duplicates tree.
    Infos->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    dblCol->addWidget(ToolBar1);
    dblCol->addWidget(TitreDblList);
    dblCol->addWidget(EspaceDblList);
    dblCol->addWidget(DblList);
    dblCol->addWidget(TitreInfos);
    dblCol->addWidget(Infos, 1);
}

void ResultsPage::buildStatusLines() {
    Progress = new ProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setAccessibleName(QString::fromUtf8(kProgressName));
    Progress->setRange(0, 100);
    Progress->setTextVisible(false);
    Progress->setFixedHeight(13);
    Progress->hide();
    Etat = new StatusBar(this);
    Etat->setObjectName(QStringLiteral("Etat"));
    Etat->setAccessibleName(QString::fromUtf8(kStatusBarName));
}

// The models of both result trees, and the binders that keep their views in step with them.
void ResultsPage::bindTrees(ResultTrees& trees, const DriveTable& drives) {
    for (const char* name : {"tree0_folder", "tree1_folder_marked", "tree2_folder_open",
                             "tree3_folder_open_marked", "tree4_file", "tree5_file_marked"})
        ImageList.emplace_back(QStringLiteral(":/images/%1.svg").arg(QLatin1String(name)));
    dirModel_ = new TreeModel(trees.dirList, this);
    dirModel_->setImages(ImageList);
    dirModel_->setNodesDraggable(true);
    // Type-ahead finds a folder by its name: nobody types the "--> " of every folder.
    dirModel_->setSearchName([&trees](NodeId node) { return trees.name(node); });
    // Every row tells its full path (and a file its size, a group what it would free).
    // A row of a reference folder says so: none of it is ever sent to the recycle bin.
    dirModel_->setHint([this, &trees, &drives](NodeId node) {
        std::string hint = dirListHint(trees, drives, node);
        if (isReference_ && isReference_(node)) hint += std::string("\n") + kReferenceRowHint;
        return hint;
    });
    // A screen reader hears what a row's picture shows: a file with copies, a folder that
    // holds some, a reference folder.
    dirModel_->setDescription([this, &trees](NodeId node) {
        std::string what;
        const bool marked = (trees.dirList.imageIndex(node) & 1) != 0;
        if (marked) what = trees.isFileNode(node) ? kRowFileWithCopies : kRowFolderWithCopies;
        if (!trees.isFileNode(node) && isReference_ && isReference_(node))
            what += std::string(what.empty() ? "" : ", ") + kRowReferenceFolder;
        return what;
    });
    dirModel_->setHeaderName(TitreDirList->text());
    dirBinder_ = new TreeViewBinder(*dirModel_, DirList, DirList);
    dblModel_ = new TreeModel(trees.dblList, this);
    dblModel_->setImages(ImageList);
    dblModel_->setHint([this, &trees](NodeId node) {
        std::string hint = dblListHint(trees, node);
        const NodeId file = trees.dblList.parent(node) != kNoNode ? trees.dblList.link(node) : kNoNode;
        if (file != kNoNode && isReference_ && isReference_(file)) hint += std::string("\n") + kReferenceRowHint;
        return hint;
    });
    dblModel_->setDescription([&trees](NodeId node) {
        const bool member = trees.dblList.parent(node) != kNoNode;
        return std::string(member && (trees.dblList.imageIndex(node) & 1) != 0 ? kRowFileWithCopies : "");
    });
    dblModel_->setHeaderName(TitreDblList->text());
    dblBinder_ = new TreeViewBinder(*dblModel_, DblList, DblList);
}

void ResultsPage::buildToolBar() {
    ToolBar1 = new QFrame(PanelDblList);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setStyleSheet(QStringLiteral("QFrame#ToolBar1 { border: none; border-bottom: 1px solid palette(mid); }"));
    auto* tools = new QHBoxLayout(ToolBar1);
    tools->setContentsMargins(5, 5, 5, 5);
    tools->setSpacing(0);
    Poubelle = new TrashLabel(ToolBar1);
    Poubelle->setObjectName(QStringLiteral("Poubelle"));
    Poubelle->setAccessibleName(QString::fromUtf8(kTrashName));
    Poubelle->setToolTip(QString::fromUtf8(kTrashHint));
    BtnPrecSuiv = new SpinButton(ToolBar1);
    BtnPrecSuiv->setObjectName(QStringLiteral("BtnPrecSuiv"));
    BtnPrecSuiv->setFixedSize(20, 32);
    BtnPrecSuiv->setToolTip(QStringLiteral("Trouve le double précédent/suivant"));
    BtnPrecSuiv->setAccessibleName(QString::fromUtf8(kSpinName));
    BtnStopRtn = new QPushButton(QStringLiteral("Arrêter la recheche"), ToolBar1);
    BtnStopRtn->setObjectName(QStringLiteral("BtnStopRtn"));
    BtnStopRtn->setFixedSize(137, 32);
    tools->addWidget(Poubelle);
    tools->addSpacing(10);
    tools->addWidget(BtnPrecSuiv);
    tools->addSpacing(19);
    tools->addWidget(BtnStopRtn);
    tools->addStretch(1);
}

bool ResultsPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PanelDblList && event->type() == QEvent::Resize) applyDblListHeight();
    // The right button neither selects nor focuses in DirList: it only opens the menu.
    if (watched == DirList->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
        return true;
    return QFrame::eventFilter(watched, event);
}

// --- The log ---------------------------------------------------------------------------

void ResultsPage::addLogLine(const std::string& line, bool show) {
    const QString text = QString::fromUtf8(line);
    auto* item = new QListWidgetItem(text);
    Infos->addItem(item);
    // The list lays every line out again each time one is added, and a deletion walk adds a
    // thousand. Its rows all take the size of its last line (uniform sizes), which carries
    // the height of a line and the width of the widest line so far: a layout asks one size,
    // not one per line, and the widest line still sets how far the list scrolls.
    logWidest_ = std::max(logWidest_, logLineWidth(item, text));
    // A name may hold a line break: such a line is as high as its lines, and from then on
    // this log's rows are measured one by one (a walk's log without one keeps uniform sizes).
    const auto breaks = static_cast<int>(text.count(QLatin1Char('\n')));
    if (breaks > 0) Infos->setUniformItemSizes(false);
    item->setSizeHint(QSize(logWidest_, logLineHeight_ + breaks * QFontMetrics(Infos->font()).lineSpacing()));
    if (show) showLastLogLine();
}

int ResultsPage::logLineWidth(QListWidgetItem* item, const QString& text) {
    // The style's own measure builds a whole item option and shapes the text: a third of
    // what a walk costs beyond the disk. It is taken once for the list's font and style, to
    // learn the margins around the text and a line's height; after that a line is its
    // characters' advances, kept by character, plus those margins. Text outside the scripts
    // kept (a character past U+058F, or a newline) is shaped.
    const QFont& font = Infos->font();
    if (logLineFont_ != font || logLineStyle_ != Infos->style() || logLineHeight_ == 0) {
        const QSize styled = Infos->sizeHintForIndex(Infos->indexFromItem(item));
        logLineFont_ = font;
        logLineStyle_ = Infos->style();
        logLineHeight_ = styled.height();
        logLineMargin_ = styled.width() - QFontMetrics(font).horizontalAdvance(text);
        logAdvances_.assign(kLogAdvancesKept, -1);
        return styled.width();
    }
    int width = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n') {
            int widest = 0;
            for (const QString& part : text.split(QLatin1Char('\n')))
                widest = std::max(widest, QFontMetrics(font).horizontalAdvance(part));
            return logLineMargin_ + widest;
        }
        if (u >= kLogAdvancesKept) return logLineMargin_ + QFontMetrics(font).horizontalAdvance(text);
        int& advance = logAdvances_[u];
        if (advance < 0) advance = QFontMetrics(font).horizontalAdvance(c);
        width += advance;
    }
    return logLineMargin_ + width;
}

void ResultsPage::showLastLogLine() {
    QListWidgetItem* item = Infos->item(Infos->count() - 1);
    if (!item) return;
    Infos->setCurrentItem(item);
    Infos->scrollToItem(item);
    Infos->clearSelection();
}

void ResultsPage::scrollToLastLogLine() {
    if (QListWidgetItem* item = Infos->item(Infos->count() - 1)) Infos->scrollToItem(item);
}

void ResultsPage::clearLog() {
    Infos->clear();
    Infos->setUniformItemSizes(true);
    logWidest_ = 0;
}

void ResultsPage::setSpaceFigures(const QString& text) {
    EspaceDblList->setText(text);
    EspaceDblList->setToolTip(text);   // when the pane is too narrow for the whole line
    // A screen reader reads the figures as the label's name; before the first search, what
    // the label is for.
    EspaceDblList->setAccessibleName(text.isEmpty() ? QString::fromUtf8(kSpaceFiguresName) : text);
    DblList->setAccessibleDescription(text);
}

// --- Sizes and ratios ------------------------------------------------------------------

QSize ResultsPage::outerSize() const { return window()->frameGeometry().size(); }

void ResultsPage::setDesignRatios(int windowWidth, int windowHeight) {
    logSplitRatio_ = perMille(kDesignDblListHeight, windowHeight);
    dirWidthRatio_ = perMille(kDesignDirPanelWidth, windowWidth);
    dirPanelWidth_ = kDesignDirPanelWidth;
    dblListHeight_ = kDesignDblListHeight;
}

void ResultsPage::windowResized() {
    if (dirWidthRatio_ <= 0 || logSplitRatio_ <= 0) return;   // creation has not set them yet
    const QSize outer = outerSize();
    dirPanelWidth_ = dirPanelWidthFor(dirWidthRatio_, outer.width());
    applyDirPanelWidth();
    dblListHeight_ = dblListHeightFor(logSplitRatio_, outer.height());
    applyDblListHeight();
}

void ResultsPage::applyDirPanelWidth() {
    if (!isVisible()) return;   // applied when the page shows
    const int room = SepVRes->width() - SepVRes->handleWidth();
    const int w = std::clamp(dirPanelWidth_, 0, std::max(0, room));
    SepVRes->setSizes({w, room - w});
}

void ResultsPage::computeDirWidthRatio() {
    dirPanelWidth_ = PanelDirList->width();
    dirWidthRatio_ = perMille(PanelDirList->width(), outerSize().width());
}

void ResultsPage::computeLogSplitRatio() { logSplitRatio_ = perMille(DblList->height(), outerSize().height()); }

void ResultsPage::setDblListHeight(int height) {
    dblListHeight_ = height;
    applyDblListHeight();
    dblListHeight_ = DblList->height();   // a drag asks for what it shows
}

void ResultsPage::applyDblListHeight() {
    // Room left by the tool bar and both titles at their full height: the tree never takes
    // a title's place, whatever the ratio or the drag asks; the log takes what remains.
    const QMargins m = PanelDblList->layout()->contentsMargins();
    const int room = PanelDblList->contentsRect().height() - m.top() - m.bottom() -
                     ToolBar1->sizeHint().height() - TitreDblList->sizeHint().height() -
                     EspaceDblList->minimumHeight() - TitreInfos->sizeHint().height();
    const int height = std::clamp(dblListHeight_, 0, std::max(0, room));
    DblList->setFixedHeight(height);
    PanelDblList->layout()->activate();
}

bool ResultsPage::logTitleDragOver(QWidget* target, QPoint pos) {
    if (target == DblList) setDblListHeight(pos.y());
    else if (target == TitreInfos) setDblListHeight(DblList->height() + pos.y() - dragStart_.y());
    else if (target == Infos) setDblListHeight(DblList->height() + pos.y());
    else return false;
    return true;
}

}  // namespace parelix
