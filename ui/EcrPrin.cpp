// Main window: creation, the two pages, sizes, what the search run shows (the operations
// log, status bar and progress bar), and the switches between the pages.
#include "ui/EcrPrin.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <ctime>

#include "results/Messages.h"
#include "ui/Application.h"
#include "ui/ContextMenus.h"
#include "ui/EcrApropos.h"
#include "ui/PaintSpacing.h"
#include "ui/ResultsGlue.h"
#include "ui/ResultsPage.h"
#include "ui/SelectionPage.h"
#include "ui/StatusBar.h"
#include "ui/TreeModel.h"

namespace parelix {

namespace {

constexpr int kDesignWidth = 640;
constexpr int kDesignHeight = 497;

// The monotonic clock in milliseconds, read at the scheduler's tick where the system offers
// it: several times cheaper than a precise read, and precise enough to space event turns.
std::int64_t turnClockMs() {
    timespec ts{};
#ifdef CLOCK_MONOTONIC_COARSE
    if (clock_gettime(CLOCK_MONOTONIC_COARSE, &ts) == 0)
        return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
#endif
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Runs a handler bound to a signal; its exception is shown and goes no further.
template <typename F>
auto guarded(F f) {
    return [f] {
        try {
            f();
        } catch (const std::exception& e) {
            Application::showException(e);
        }
    };
}

}  // namespace

// --- Creation --------------------------------------------------------------------------

T_EcrPrin::T_EcrPrin(Session& session, QWidget* parent) : QMainWindow(parent), session_(session) {
    setObjectName(QStringLiteral("_EcrPrin"));
    setWindowTitle(QStringLiteral("Parelix - Sélection des chemins à scruter"));
    setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.svg")));
    // The design sizes (47-pixel buttons, 189-pixel tree) were made for 11-pixel type.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    central_ = new QWidget(this);
    central_->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(central_);
    central_->installEventFilter(this);
    const Session::ViewStores stores = session_.viewStores();
    selectionPage_ = new SelectionPage(stores.drives, central_);
    resultsPage_ = new ResultsPage(stores.results, session_.services().drives(), central_);
    resultsPage_->setReferenceTest([this](NodeId node) { return session_.isReference(node); });

    PopMenu = new QMenu(this);
    PopMenu->setObjectName(QStringLiteral("PopMenu"));
    PopMenu->setAccessibleName(QString::fromUtf8(kPopMenuName));
    DblMenu = new QMenu(this);
    DblMenu->setObjectName(QStringLiteral("DblMenu"));
    DblMenu->setAccessibleName(QString::fromUtf8(kDblMenuName));

    attachSelection();
    connectControls();
    // Buttons and item views take the desktop's per-class fonts over the window's own;
    // give every control the design type so captions fit their design sizes.
    for (QWidget* w : findChildren<QWidget*>()) w->setFont(small);

    placeOnScreen(QSize(0, 0));
    if (versionRefused()) return;

    auto* splash = new TEcrApropos(qApp);
    splash->show();
    QCoreApplication::processEvents();

    session_.start();

    // Ratios of the design sizes; the window is resized later by ratio.
    resultsPage_->setDesignRatios(kDesignWidth, kDesignHeight);
}

bool T_EcrPrin::versionRefused() {
    // The system must be of the Windows 95 family, or NT 4 or later.
    OsVersionInfo version;
    session_.services().version(version);
    if (version.platformId == 1 || (version.platformId == 2 && version.majorVersion >= 4)) return false;
    session_.services().showMessage("J'ai besoin de Windows 95 ou NT 4, désolé...");
    startupRefused_ = true;
    // Ends the program as soon as its event loop runs.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    return true;
}

T_EcrPrin::~T_EcrPrin() {
    // The controls outlive this destructor (they go with QWidget's): from here on they reach
    // neither the window's handlers nor, through the session, the window itself. The
    // session's stores outlive the models over them.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
    central_->removeEventFilter(this);
    session_.attach(nullptr);
    if (session_.started()) {
        try {
            FormDestroy();
        } catch (const std::exception& e) {
            // After a signal nobody waits for a message box: it would only hold the end up.
            if (!session_.ending()) Application::showException(e);
        }
    }
}

void T_EcrPrin::connectControls() {
    SelectionPage& sel = *selectionPage_;
    connect(sel.btnAjoute(), &QToolButton::clicked, this, guarded([this] { BtnAjouteClick(); }));
    connect(sel.btnEnleve(), &QToolButton::clicked, this, guarded([this] { BtnEnleveClick(); }));
    connect(sel.exclure(), &QAction::triggered, this, guarded([this] { ExclureClick(); }));
    connect(sel.btnRevoir(), &QToolButton::clicked, this, guarded([this] { BtnRevoirClick(); }));
    connect(sel.btnCherche(), &QToolButton::clicked, this, guarded([this] { BtnChercheClick(); }));
    connect(sel.btnQuitte(), &QToolButton::clicked, this, guarded([this] { BtnQuitteClick(); }));
    connect(resultsPage_->btnStopRtn(), &QPushButton::clicked, this, guarded([this] { BtnStopRtnClick(); }));

    // Escape is the cancel key of the selection page, taken by BtnQuitte while it could
    // take the focus.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, guarded([this] {
        const QToolButton* quit = selectionPage_->btnQuitte();
        if (selectionPage_->isVisible() && quit->isVisible() && quit->isEnabled()) BtnQuitteClick();
    }));

    // The context menus show only once a search has switched their pop-up on; opening one
    // gives its tree the focus and leaves its selection alone. The menu key and Shift+F10
    // open them at the current row.
    QTreeView* dirList = resultsPage_->dirList();
    QTreeView* dblList = resultsPage_->dblList();
    for (QTreeView* tree : {dirList, dblList}) {
        bindMenuKeys(tree);
        QMenu* menu = tree == dirList ? PopMenu : DblMenu;
        connect(tree, &QWidget::customContextMenuRequested, this, [this, tree, menu](const QPoint& pos) {
            if (!session_.popupEnabled() || menu->isEmpty()) return;
            tree->setFocus(Qt::PopupFocusReason);
            popupMenu(menu, tree, pos);
        });
    }

    setupResultsHandlers();
    connectBrowsingKeys();
}

void T_EcrPrin::connectBrowsingKeys() {
    // Return on a file of either result tree opens it, as a double click does; on a folder
    // or a group it does nothing (the arrows open and close them).
    QTreeView* dirList = resultsPage_->dirList();
    QTreeView* dblList = resultsPage_->dblList();
    for (QTreeView* tree : {dirList, dblList}) {
        for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
            auto* shortcut = new QShortcut(QKeySequence(key), tree);
            shortcut->setContext(Qt::WidgetShortcut);
            connect(shortcut, &QShortcut::activated, this, guarded([this, tree, dirList] {
                const ResultTrees& trees = session_.trees();
                const NodeId node = tree == dirList ? trees.dirList.selected() : trees.dblList.selected();
                if (node == kNoNode) return;
                if (tree == dirList) {
                    if (trees.isFileNode(node)) DirListDblClick();
                } else {
                    DblListDblClick();   // opens members only
                }
            }));
        }
    }
    // Previous and next duplicate, as BtnPrecSuiv's arrows: they act on the focused tree.
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
    connect(previous, &QShortcut::activated, this, guarded([this] { BtnPrecSuivUpClick(); }));
    auto* next = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(next, &QShortcut::activated, this, guarded([this] { BtnPrecSuivDownClick(); }));
}

// --- Sizes -----------------------------------------------------------------------------

int T_EcrPrin::outerWidth() const { return frameGeometry().width(); }
int T_EcrPrin::outerHeight() const { return frameGeometry().height(); }
int T_EcrPrin::dirWidthRatio() const { return resultsPage_->dirWidthRatio(); }
int T_EcrPrin::logSplitRatio() const { return resultsPage_->logSplitRatio(); }

void T_EcrPrin::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!firstShow_) return;
    firstShow_ = false;
    placeOnceFramed(0);
}

void T_EcrPrin::placeOnceFramed(int attempt) {
    // The design size is the outer size: take the frame off the client area once the frame
    // is known, and place the window again. The window manager tells the frame a moment
    // after the window shows (tens of milliseconds); without a frame (none, or none told
    // within a second) the window keeps its place.
    constexpr int kAttempts = 20;
    constexpr int kStepMs = 50;
    QTimer::singleShot(attempt == 0 ? 0 : kStepMs, this, [this, attempt] {
        const QSize frame = frameGeometry().size() - geometry().size();
        if (frame.width() > 0 || frame.height() > 0) placeOnScreen(frame);
        else if (attempt + 1 < kAttempts) placeOnceFramed(attempt + 1);
    });
}

void T_EcrPrin::placeOnScreen(QSize frame) {
    // The design size where the screen's free area holds it (a large scale factor makes
    // that area small); otherwise the area's own size. Centred on it, so that the title bar
    // and the bottom row of controls are reachable.
    const QScreen* s = screen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, kDesignWidth, kDesignHeight);
    const QSize outer = QSize(kDesignWidth, kDesignHeight).boundedTo(area.size());
    resize(outer - frame);
    move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
}

void T_EcrPrin::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    resultsPage_->windowResized();
}

bool T_EcrPrin::eventFilter(QObject* watched, QEvent* event) {
    // Both pages fill the client area; one shows at a time.
    if (watched == central_ && event->type() == QEvent::Resize) {
        selectionPage_->setGeometry(central_->rect());
        resultsPage_->setGeometry(central_->rect());
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Pages -----------------------------------------------------------------------------

void T_EcrPrin::showResultsPage() {
    resultsPage_->show();
    selectionPage_->hide();
    resultsPage_->applyDirPanelWidth();
}

void T_EcrPrin::showSelectionPage() {
    selectionPage_->show();
    resultsPage_->hide();
}

void T_EcrPrin::BtnRevoirClick() { showResultsPage(); }

void T_EcrPrin::BtnQuitteClick() { close(); }

void T_EcrPrin::setWaitCursor(bool on) {
    if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

// --- What the search run shows ---------------------------------------------------------

void T_EcrPrin::appendLog(const std::string& line) {
    if (!session_.deleting()) {
        resultsPage_->addLogLine(line);
        processEventsNow();   // every line is painted at once
        return;
    }
    // A walk writes a line per file, and painting each cost more than the file's trip to the
    // recycle bin: the lines then come into view as often as the act's pictures, and the
    // act's end shows the last one.
    resultsPage_->addLogLine(line, false);
    logBehind_ = true;
    if (turnClockMs() - lastLogPaintMs_ < kActPaintSpacingMs) return;
    showLogNow();
}

void T_EcrPrin::showLogNow() {
    resultsPage_->scrollToLastLogLine();
    logBehind_ = false;
    processEventsNow();
    lastLogPaintMs_ = lastTurnMs_;
}

void T_EcrPrin::setStatusText(const std::string& text) { resultsPage_->etat()->setSimpleText(QString::fromUtf8(text)); }

void T_EcrPrin::runStarted() {
    resultsPage_->clearLog();
    showResultsPage();
}

// Stop's caption says what it will stop; during the comparison the status bar names the two
// files of the pair, half the window's width each, above the progress bar.
void T_EcrPrin::phaseStarted(SearchPhase phase, std::int64_t files) {
    switch (phase) {
    case SearchPhase::Collection:
        resultsPage_->btnStopRtn()->setText(QStringLiteral("Arrête la recherche"));
        break;
    case SearchPhase::Sort:
        break;
    case SearchPhase::Comparison:
        resultsPage_->btnStopRtn()->setText(QStringLiteral("Arrête les comparaisons"));
        resultsPage_->etat()->setPanelMode(true);
        resultsPage_->etat()->setPanelWidth(0, width() / 2);
        resultsPage_->progress()->setVisible(true);
        resultsPage_->progress()->setMaximum(static_cast<int>(files));
        break;
    }
}

void T_EcrPrin::phaseEnded(SearchPhase phase, std::int64_t /*files*/) {
    switch (phase) {
    case SearchPhase::Collection:
    case SearchPhase::Sort:
        break;
    case SearchPhase::Comparison:
        resultsPage_->progress()->setVisible(false);
        resultsPage_->etat()->setPanelMode(false);
        break;
    }
}

void T_EcrPrin::logLine(const std::string& line) { appendLog(line); }

void T_EcrPrin::folderEntered(const std::string& path) { setStatusText(path); }

void T_EcrPrin::searchPathWalked() {
    resultsPage_->dirModel()->flush();
    resultsPage_->dirList()->viewport()->update();
}

void T_EcrPrin::progress(std::int64_t filesDone) { resultsPage_->progress()->setValue(static_cast<int>(filesDone)); }

void T_EcrPrin::pairCompared(const std::string& first, const std::string& second) {
    resultsPage_->etat()->setPanelBytes(0, first);
    resultsPage_->etat()->setPanelBytes(1, second);
}

void T_EcrPrin::runEnded() { resultsPage_->btnStopRtn()->setText(QStringLiteral("Faire une autre sélection")); }

void T_EcrPrin::eventTurn() {
    // The search run asks once per directory and once per comparison step; asking the
    // window system tens of thousands of times a second costs more than the search itself.
    // A turn every few milliseconds keeps painting and the Stop button just as live. On a
    // crowded size class a step takes tens of nanoseconds, so the test itself stays cheap:
    // one coarse clock read (turns then come every 10 to 20 ms).
    if (turnClockMs() - lastTurnMs_ < kEventTurnMs) return;
    processEventsNow();
}

void T_EcrPrin::processEventsNow() {
    QCoreApplication::processEvents();
    lastTurnMs_ = turnClockMs();
}

// --- Closing ---------------------------------------------------------------------------

void T_EcrPrin::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery()) event->accept();
    else event->ignore();
}

}  // namespace parelix
