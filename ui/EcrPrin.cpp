// Main window: creation, the two pages, layout and ratios, pane-resizing drags, the
// operations log, status bar and progress bar, and the switches between the pages.
#include "ui/EcrPrin.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDrag>
#include <QDragMoveEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "platform/Dialogs.h"
#include "platform/System.h"
#include "ui/Application.h"
#include "ui/EcrApropos.h"
#include "ui/PaneLayout.h"
#include "ui/PathSelection.h"
#include "ui/SpinButton.h"
#include "ui/StatusBar.h"
#include "ui/TrashLabel.h"
#include "ui/TreeModel.h"
#include "ui/TreeView.h"

namespace parelix {

namespace {

constexpr int kDesignWidth = 640;
constexpr int kDesignHeight = 497;
constexpr int kDesignDirPanelWidth = 200;
constexpr int kDesignDblListHeight = 268;
constexpr int kButtonWidth = 47;
constexpr int kButtonLeft = (60 - kButtonWidth) / 2;

// A button of the selection column: its caption on top and its glyph below it.
class ColumnButton : public QToolButton {
public:
    ColumnButton(const QString& name, const QString& caption, const QString& hint, const QString& glyph,
                 QWidget* parent)
        : QToolButton(parent) {
        setObjectName(name);
        setText(caption);
        setToolTip(hint);
        setAccessibleName(QString(caption).remove(QLatin1Char('&')));
        QIcon icon;
        const QString base = QStringLiteral(":/images/btn_%1").arg(glyph);
        icon.addFile(base + QStringLiteral(".svg"), QSize(), QIcon::Normal);
        icon.addFile(base + QStringLiteral("_disabled.svg"), QSize(), QIcon::Disabled);
        setIcon(icon);
        setIconSize(QSize(18, 18));
        setFixedSize(kButtonWidth, kButtonHeight);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionToolButton opt;
        initStyleOption(&opt);
        opt.text.clear();
        opt.icon = QIcon();
        opt.state |= QStyle::State_Raised;
        opt.features &= ~QStyleOptionToolButton::Arrow;
        // A tool button is flat unless raised; draw the panel of a push button instead.
        QStyleOptionButton panel;
        panel.QStyleOption::operator=(opt);
        panel.features = QStyleOptionButton::None;
        if (isDown()) panel.state |= QStyle::State_Sunken;
        p.drawControl(QStyle::CE_PushButtonBevel, panel);
        const int shift = isDown() ? 1 : 0;
        const QRect captionRect(0, 3 + shift, width(), fontMetrics().height());
        p.drawItemText(captionRect.translated(shift, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic,
                       palette(), isEnabled(), text(), QPalette::ButtonText);
        const QSize glyph = iconSize();
        const QRect glyphRect(QPoint((width() - glyph.width()) / 2 + shift,
                                     height() - glyph.height() - 4 + shift), glyph);
        icon().paint(&p, glyphRect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(opt);
            focus.rect = rect().adjusted(3, 3, -3, -3);
            p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
};

QFrame* makePanel(const QString& name, QWidget* parent, bool bevelled) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    if (bevelled) {
        // Lowered outside, raised inside: an etched edge.
        panel->setFrameShape(QFrame::Box);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setLineWidth(1);
    }
    return panel;
}

QLabel* makeTitle(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QTreeView* makeTree(const QString& name, const QString& title, int indent, QWidget* parent) {
    auto* tree = new TreeView(parent);
    tree->setObjectName(name);
    tree->setAccessibleName(title);
    tree->setHeaderHidden(true);
    tree->setIndentation(indent);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setAnimated(false);
    tree->setIconSize(QSize(16, 16));
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return tree;
}

// The pointer shown while a pane drag is accepted: a split cursor drawn by us, since a
// drag takes pictures, not cursor shapes.
QPixmap splitCursorPixmap(bool horizontal) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    auto draw = [&](const QColor& c, int w) {
        p.setPen(QPen(c, w));
        if (horizontal) {
            p.drawLine(14, 6, 14, 26);
            p.drawLine(17, 6, 17, 26);
            p.drawLine(4, 16, 12, 16);
            p.drawLine(19, 16, 27, 16);
            p.drawLine(4, 16, 8, 12);
            p.drawLine(4, 16, 8, 20);
            p.drawLine(27, 16, 23, 12);
            p.drawLine(27, 16, 23, 20);
        } else {
            p.drawLine(6, 14, 26, 14);
            p.drawLine(6, 17, 26, 17);
            p.drawLine(16, 4, 16, 12);
            p.drawLine(16, 19, 16, 27);
            p.drawLine(16, 4, 12, 8);
            p.drawLine(16, 4, 20, 8);
            p.drawLine(16, 27, 12, 23);
            p.drawLine(16, 27, 20, 23);
        }
    };
    draw(Qt::white, 3);
    draw(Qt::black, 1);
    return pm;
}

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

T_EcrPrin::T_EcrPrin(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("_EcrPrin"));
    setWindowTitle(QStringLiteral("Parelix - Sélection des chemins à scruter"));
    setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.svg")));
    // The design sizes (47-pixel buttons, 189-pixel tree) were made for 11-pixel type.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    for (const char* name : {"tree0_folder", "tree1_folder_marked", "tree2_folder_open",
                             "tree3_folder_open_marked", "tree4_file", "tree5_file_marked"})
        ImageList.emplace_back(QStringLiteral(":/images/%1.svg").arg(QLatin1String(name)));

    central_ = new QWidget(this);
    central_->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(central_);
    central_->installEventFilter(this);
    buildSelectionPage(central_);
    buildResultsPage(central_);

    PopMenu = new QMenu(this);
    PopMenu->setObjectName(QStringLiteral("PopMenu"));

    dskModel = new TreeModel(dskTree, this);
    dskModel->attachView(DskList);
    dirModel = new TreeModel(trees.dirList, this);
    dirModel->setImages(ImageList);
    dirModel->setNodesDraggable(true);
    // Type-ahead finds a folder by its name: nobody types the "--> " of every folder.
    dirModel->setSearchName([this](NodeId node) { return trees.name(node); });
    dirModel->attachView(DirList);
    dblModel = new TreeModel(trees.dblList, this);
    dblModel->setImages(ImageList);
    dblModel->attachView(DblList);

    engine = std::make_unique<SearchEngine>(trees, *this);
    connectControls();
    // Buttons and item views take the desktop's per-class fonts over the window's own;
    // give every control the design type so captions fit their design sizes.
    for (QWidget* w : findChildren<QWidget*>()) w->setFont(small);

    resize(kDesignWidth, kDesignHeight);
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());

    // The system must be of the Windows 95 family, or NT 4 or later.
    OsVersionInfo version;
    GetVersionExA(version);
    if (!(version.platformId == 1 || (version.platformId == 2 && version.majorVersion >= 4))) {
        ShowMessage("J'ai besoin de Windows 95 ou NT 4, désolé...");
        startupRefused = true;
        // Ends the program as soon as its event loop runs.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return;
    }

    auto* splash = new TEcrApropos(qApp);
    splash->show();
    QCoreApplication::processEvents();

    engine->startup();
    engineStarted = true;
    fillDriveTree();

    // Ratios of the design sizes; the window is resized later by ratio.
    logSplitRatio = perMille(kDesignDblListHeight, kDesignHeight);
    dirWidthRatio = perMille(kDesignDirPanelWidth, kDesignWidth);
    dirPanelWidth = kDesignDirPanelWidth;
    dblListHeight = kDesignDblListHeight;
}

T_EcrPrin::~T_EcrPrin() {
    // Views go before the stores they show, so no view asks a cleared store.
    DskList->setModel(nullptr);
    DirList->setModel(nullptr);
    DblList->setModel(nullptr);
    if (engineStarted) {
        try {
            FormDestroy();
        } catch (const std::exception& e) {
            // After a signal nobody waits for a message box: it would only hold the end up.
            if (!signalled_) Application::showException(e);
        }
    }
}

void T_EcrPrin::buildSelectionPage(QWidget* central) {
    _PanSel = makePanel(QStringLiteral("_PanSel"), central, false);
    auto* row = new QHBoxLayout(_PanSel);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    PanelDskList = makePanel(QStringLiteral("PanelDskList"), _PanSel, true);
    PanelDskList->setFixedWidth(189);
    auto* dskCol = new QVBoxLayout(PanelDskList);
    dskCol->setContentsMargins(2, 2, 2, 2);
    dskCol->setSpacing(0);
    TitreDskList = makeTitle(QStringLiteral("TitreDskList"), QStringLiteral("Disques / répertoire du système"),
                             PanelDskList);
    DskList = makeTree(QStringLiteral("DskList"), TitreDskList->text(), 18, PanelDskList);
    DskList->setRootIsDecorated(false);
    DskList->setMinimumSize(0, 0);
    dskCol->addWidget(TitreDskList);
    dskCol->addWidget(DskList, 1);

    PanelBoutons = makePanel(QStringLiteral("PanelBoutons"), _PanSel, false);
    PanelBoutons->setFixedWidth(60);
    PanelBoutons->setCursor(Qt::SplitHCursor);
    BtnAjoute = new ColumnButton(QStringLiteral("BtnAjoute"), QStringLiteral("&Ajoute"),
                                 QStringLiteral("Ajoute le chemin sélectionné (à gauche) dans la liste (à droite)"),
                                 QStringLiteral("ajoute"), PanelBoutons);
    BtnEnleve = new ColumnButton(QStringLiteral("BtnEnleve"), QStringLiteral("&Enlève"),
                                 QStringLiteral("Ote de la liste (à droite) le chemin sélectionné"),
                                 QStringLiteral("enleve"), PanelBoutons);
    BtnRevoir = new ColumnButton(QStringLiteral("BtnRevoir"), QStringLiteral("&Revoir"),
                                 QStringLiteral("Revenir aux résultats précédents"), QStringLiteral("revoir"),
                                 PanelBoutons);
    BtnCherche = new ColumnButton(QStringLiteral("BtnCherche"), QStringLiteral("&Cherche"),
                                  QStringLiteral("Lance la recherche des doubles"), QStringLiteral("cherche"),
                                  PanelBoutons);
    BtnQuitte = new ColumnButton(QStringLiteral("BtnQuitte"), QStringLiteral("&Quitte"),
                                 QStringLiteral("Quitte le programme. A bientôt !"), QStringLiteral("quitte"),
                                 PanelBoutons);
    for (QToolButton* b : {BtnAjoute, BtnEnleve, BtnRevoir, BtnCherche, BtnQuitte}) {
        b->setCursor(Qt::ArrowCursor);
        b->move(kButtonLeft, 0);
    }
    BtnEnleve->setEnabled(false);
    BtnCherche->setEnabled(false);
    BtnRevoir->setVisible(false);

    PanelRepList = makePanel(QStringLiteral("PanelRepList"), _PanSel, true);
    auto* repCol = new QVBoxLayout(PanelRepList);
    repCol->setContentsMargins(2, 2, 2, 2);
    repCol->setSpacing(0);
    TitreRepList = makeTitle(QStringLiteral("TitreRepList"), QStringLiteral("Disques / répertoires où chercher"),
                             PanelRepList);
    RepList = new QListWidget(PanelRepList);
    RepList->setObjectName(QStringLiteral("RepList"));
    RepList->setAccessibleName(TitreRepList->text());
    RepList->setSelectionMode(QAbstractItemView::SingleSelection);
    RepList->setFixedHeight(282);
    TitreExcList = makeTitle(QStringLiteral("TitreExcList"),
                             QStringLiteral("Disques / répertoires / fichiers à exclure"), PanelRepList);
    ExcList = new QListWidget(PanelRepList);
    ExcList->setObjectName(QStringLiteral("ExcList"));
    ExcList->setAccessibleName(TitreExcList->text());
    ExcList->setSortingEnabled(true);
    TitreExcList->hide();
    ExcList->hide();
    repCol->addWidget(TitreRepList);
    repCol->addWidget(RepList);
    repCol->addWidget(TitreExcList);
    repCol->addWidget(ExcList);
    repCol->addStretch(1);

    row->addWidget(PanelDskList);
    row->addWidget(PanelBoutons);
    row->addWidget(PanelRepList, 1);

    PanelBoutons->installEventFilter(this);
    for (QWidget* target : {static_cast<QWidget*>(PanelDskList), static_cast<QWidget*>(TitreDskList),
                            DskList->viewport(), static_cast<QWidget*>(PanelBoutons),
                            static_cast<QWidget*>(PanelRepList), static_cast<QWidget*>(TitreRepList),
                            RepList->viewport()}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }
}

void T_EcrPrin::buildResultsPage(QWidget* central) {
    _PanRes = makePanel(QStringLiteral("_PanRes"), central, false);
    _PanRes->hide();
    auto* col = new QVBoxLayout(_PanRes);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);

    SepVRes = new QSplitter(Qt::Horizontal, _PanRes);
    SepVRes->setObjectName(QStringLiteral("SepVRes"));
    SepVRes->setHandleWidth(3);
    SepVRes->setChildrenCollapsible(false);
    SepVRes->setOpaqueResize(true);

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

    PanelDblList = makePanel(QStringLiteral("PanelDblList"), SepVRes, true);
    auto* dblCol = new QVBoxLayout(PanelDblList);
    dblCol->setContentsMargins(2, 2, 2, 2);
    dblCol->setSpacing(0);

    auto* toolBar = new QFrame(PanelDblList);
    ToolBar1 = toolBar;
    toolBar->setObjectName(QStringLiteral("ToolBar1"));
    toolBar->setStyleSheet(QStringLiteral("QFrame#ToolBar1 { border: none; border-bottom: 1px solid palette(mid); }"));
    auto* tools = new QHBoxLayout(toolBar);
    tools->setContentsMargins(5, 5, 5, 5);
    tools->setSpacing(0);
    Poubelle = new TrashLabel(toolBar);
    Poubelle->setObjectName(QStringLiteral("Poubelle"));
    Poubelle->setAccessibleName(QStringLiteral("Corbeille"));
    BtnPrecSuiv = new SpinButton(toolBar);
    BtnPrecSuiv->setObjectName(QStringLiteral("BtnPrecSuiv"));
    BtnPrecSuiv->setFixedSize(20, 32);
    BtnPrecSuiv->setToolTip(QStringLiteral("Trouve le double précédent/suivant"));
    BtnPrecSuiv->setAccessibleName(QStringLiteral("Double précédent/suivant"));
    BtnStopRtn = new QPushButton(QStringLiteral("Arrêter la recheche"), toolBar);
    BtnStopRtn->setObjectName(QStringLiteral("BtnStopRtn"));
    BtnStopRtn->setFixedSize(137, 32);
    tools->addWidget(Poubelle);
    tools->addSpacing(10);
    tools->addWidget(BtnPrecSuiv);
    tools->addSpacing(19);
    tools->addWidget(BtnStopRtn);
    tools->addStretch(1);

    TitreDblList = makeTitle(QStringLiteral("TitreDblList"), QStringLiteral("Fichiers dupliqués"), PanelDblList);
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
    // The log may shrink to nothing under its title; the layout would otherwise keep it its
    // scroll bars' height and push the title onto the duplicates tree.
    Infos->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    dblCol->addWidget(toolBar);
    dblCol->addWidget(TitreDblList);
    dblCol->addWidget(DblList);
    dblCol->addWidget(TitreInfos);
    dblCol->addWidget(Infos, 1);

    SepVRes->addWidget(PanelDirList);
    SepVRes->addWidget(PanelDblList);
    SepVRes->setStretchFactor(0, 0);
    SepVRes->setStretchFactor(1, 1);
    if (QSplitterHandle* h = SepVRes->handle(1)) {
        h->setAutoFillBackground(true);
        QPalette pal = h->palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Shadow));
        h->setPalette(pal);
    }

    Progress = new QProgressBar(_PanRes);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setAccessibleName(QStringLiteral("Progression"));
    Progress->setRange(0, 100);
    Progress->setTextVisible(false);
    Progress->setFixedHeight(13);
    Progress->hide();
    Etat = new StatusBar(_PanRes);
    Etat->setObjectName(QStringLiteral("Etat"));
    Etat->setAccessibleName(QStringLiteral("Barre d'état"));

    col->addWidget(SepVRes, 1);
    col->addWidget(Progress);
    col->addWidget(Etat);

    TitreInfos->installEventFilter(this);
    PanelDblList->installEventFilter(this);
    DirList->viewport()->installEventFilter(this);
    for (QWidget* target : {DblList->viewport(), static_cast<QWidget*>(TitreInfos), Infos->viewport()}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }
}

void T_EcrPrin::connectControls() {
    connect(BtnAjoute, &QToolButton::clicked, this, guarded([this] { BtnAjouteClick(BtnAjoute); }));
    connect(BtnEnleve, &QToolButton::clicked, this, guarded([this] { BtnEnleveClick(BtnEnleve); }));
    connect(BtnRevoir, &QToolButton::clicked, this, guarded([this] { BtnRevoirClick(); }));
    connect(BtnCherche, &QToolButton::clicked, this, guarded([this] { BtnChercheClick(); }));
    connect(BtnQuitte, &QToolButton::clicked, this, guarded([this] { BtnQuitteClick(); }));
    connect(BtnStopRtn, &QPushButton::clicked, this, guarded([this] { BtnStopRtnClick(); }));
    connect(SepVRes, &QSplitter::splitterMoved, this, [this] { computeDirWidthRatio(); });

    // Escape is the cancel key of the selection page, taken by BtnQuitte while it could
    // take the focus.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, guarded([this] {
        if (_PanSel->isVisible() && BtnQuitte->isVisible() && BtnQuitte->isEnabled()) BtnQuitteClick();
    }));

    // The context menu shows only once a search has switched its pop-up on; opening it
    // gives DirList the focus and leaves its selection alone.
    connect(DirList, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (!popupEnabled || PopMenu->isEmpty()) return;
        DirList->setFocus(Qt::PopupFocusReason);
        PopMenu->popup(DirList->viewport()->mapToGlobal(pos));
    });

    setupResultsHandlers();
}

// --- Sizes and ratios ------------------------------------------------------------------

int T_EcrPrin::outerWidth() const { return frameGeometry().width(); }
int T_EcrPrin::outerHeight() const { return frameGeometry().height(); }

void T_EcrPrin::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!firstShow_) return;
    firstShow_ = false;
    // The design size is the outer size: take the frame off the client area once the
    // frame is known, and centre again.
    QTimer::singleShot(0, this, [this] {
        const QSize frame = frameGeometry().size() - geometry().size();
        if (frame.isEmpty() || (frame.width() == 0 && frame.height() == 0)) return;
        resize(kDesignWidth - frame.width(), kDesignHeight - frame.height());
        if (QScreen* s = screen()) move(s->availableGeometry().center() - QPoint(kDesignWidth, kDesignHeight) / 2);
    });
}

void T_EcrPrin::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const int w = outerWidth();
    const int h = outerHeight();
    if (dirWidthRatio <= 0 || logSplitRatio <= 0) return;   // creation has not set them yet
    dirPanelWidth = dirPanelWidthFor(dirWidthRatio, w);
    applyDirPanelWidth();
    dblListHeight = dblListHeightFor(logSplitRatio, h);
    applyDblListHeight();
}

void T_EcrPrin::applyDirPanelWidth() {
    if (!_PanRes->isVisible()) return;   // applied when the page shows
    const int room = SepVRes->width() - SepVRes->handleWidth();
    const int w = std::clamp(dirPanelWidth, 0, std::max(0, room));
    SepVRes->setSizes({w, room - w});
}

void T_EcrPrin::computeDirWidthRatio() {
    dirPanelWidth = PanelDirList->width();
    dirWidthRatio = perMille(PanelDirList->width(), outerWidth());
}

void T_EcrPrin::computeLogSplitRatio() { logSplitRatio = perMille(DblList->height(), outerHeight()); }

void T_EcrPrin::setDskPanelWidth(int width) {
    const int room = std::max(0, _PanSel->width() - PanelBoutons->width());
    PanelDskList->setFixedWidth(std::clamp(width, 0, room));
    _PanSel->layout()->activate();
}

void T_EcrPrin::setDblListHeight(int height) {
    dblListHeight = height;
    applyDblListHeight();
    dblListHeight = DblList->height();   // a drag asks for what it shows
}

void T_EcrPrin::applyDblListHeight() {
    // Room left by the tool bar and both titles at their full height: the tree never takes
    // a title's place, whatever the ratio or the drag asks; the log takes what remains.
    const QMargins m = PanelDblList->layout()->contentsMargins();
    const int room = PanelDblList->contentsRect().height() - m.top() - m.bottom() -
                     ToolBar1->sizeHint().height() - TitreDblList->sizeHint().height() -
                     TitreInfos->sizeHint().height();
    const int height = std::clamp(dblListHeight, 0, std::max(0, room));
    DblList->setFixedHeight(height);
    PanelDblList->layout()->activate();
}

void T_EcrPrin::layoutButtonColumn() {
    const ButtonTops t = buttonColumnTops(PanelBoutons->height(), !BtnRevoir->isHidden());
    BtnAjoute->move(kButtonLeft, t.ajoute);
    BtnEnleve->move(kButtonLeft, t.enleve);
    if (t.revoirPlaced) BtnRevoir->move(kButtonLeft, t.revoir);
    BtnCherche->move(kButtonLeft, t.cherche);
    BtnQuitte->move(kButtonLeft, t.quitte);
}

// --- Pane-resizing drags ---------------------------------------------------------------

void T_EcrPrin::paneDragBegin(QWidget* handle, QPoint start) {
    dragStart = start;
    if (handle != PanelBoutons) return;
    revoirWasVisible = !BtnRevoir->isHidden();
    for (QToolButton* b : {BtnAjoute, BtnEnleve, BtnRevoir, BtnCherche, BtnQuitte}) b->hide();
}

bool T_EcrPrin::paneDragOver(QWidget* target, QWidget* handle, QPoint pos) {
    if (handle == PanelBoutons) {
        if (target == PanelDskList || target == TitreDskList || target == DskList)
            setDskPanelWidth(pos.x());
        else if (target == PanelBoutons)
            setDskPanelWidth(PanelDskList->width() + pos.x() - dragStart.x());
        else if (target == PanelRepList || target == TitreRepList || target == RepList)
            setDskPanelWidth(pos.x() + PanelDskList->width() + PanelBoutons->width() - dragStart.x());
        else
            return false;
        return true;
    }
    if (handle == TitreInfos) {
        if (target == DblList) setDblListHeight(pos.y());
        else if (target == TitreInfos) setDblListHeight(DblList->height() + pos.y() - dragStart.y());
        else if (target == Infos) setDblListHeight(DblList->height() + pos.y());
        else return false;
        return true;
    }
    return false;
}

void T_EcrPrin::paneDragEnd(QWidget* handle) {
    if (handle == PanelBoutons) {
        for (QToolButton* b : {BtnAjoute, BtnEnleve, BtnCherche, BtnQuitte}) b->show();
        BtnRevoir->setVisible(revoirWasVisible);
    } else if (handle == TitreInfos) {
        computeLogSplitRatio();
    }
}

void T_EcrPrin::startPaneDrag(QWidget* handle, QPoint start) {
    paneDragBegin(handle, start);
    auto* drag = new QDrag(handle);
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kPaneMimeType), handle->objectName().toUtf8());
    drag->setMimeData(mime);
    drag->setDragCursor(splitCursorPixmap(handle == PanelBoutons), Qt::MoveAction);
    drag->exec(Qt::MoveAction);
    paneDragEnd(handle);
}

QWidget* T_EcrPrin::paneTargetOf(QObject* watched) const {
    if (watched == DskList->viewport()) return DskList;
    if (watched == RepList->viewport()) return RepList;
    if (watched == DblList->viewport()) return DblList;
    if (watched == Infos->viewport()) return Infos;
    for (QWidget* w : {static_cast<QWidget*>(PanelDskList), static_cast<QWidget*>(TitreDskList),
                       static_cast<QWidget*>(PanelBoutons), static_cast<QWidget*>(PanelRepList),
                       static_cast<QWidget*>(TitreRepList), static_cast<QWidget*>(TitreInfos)})
        if (watched == w) return w;
    return nullptr;
}

bool T_EcrPrin::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == central_) {
            _PanSel->setGeometry(central_->rect());
            _PanRes->setGeometry(central_->rect());
        } else if (watched == PanelBoutons) {
            layoutButtonColumn();
        } else if (watched == PanelDblList) {
            applyDblListHeight();
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (watched == DirList->viewport() && me->button() == Qt::RightButton) return true;
        if ((watched == PanelBoutons || watched == TitreInfos) && me->button() == Qt::LeftButton) {
            pressedHandle_ = static_cast<QWidget*>(watched);
            pressPos_ = me->position().toPoint();
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (watched == pressedHandle_ && (me->buttons() & Qt::LeftButton) &&
            (me->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
            QWidget* handle = pressedHandle_;
            pressedHandle_ = nullptr;
            startPaneDrag(handle, handle->mapFromGlobal(QCursor::pos()));
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        if (watched == pressedHandle_) pressedHandle_ = nullptr;
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        QWidget* target = paneTargetOf(watched);
        if (!target) break;
        auto* de = static_cast<QDropEvent*>(event);
        QWidget* handle = nullptr;
        if (de->mimeData()->hasFormat(QString::fromLatin1(kPaneMimeType))) {
            const QByteArray name = de->mimeData()->data(QString::fromLatin1(kPaneMimeType));
            if (name == PanelBoutons->objectName().toUtf8()) handle = PanelBoutons;
            else if (name == TitreInfos->objectName().toUtf8()) handle = TitreInfos;
        }
        const QPoint pos = static_cast<QWidget*>(watched)->mapTo(target->window(), de->position().toPoint());
        const QPoint local = target->mapFrom(target->window(), pos);
        bool accepted = false;
        if (handle) accepted = event->type() == QEvent::Drop ? true : paneDragOver(target, handle, local);
        if (accepted) {
            de->setDropAction(Qt::MoveAction);
            de->accept();
        } else {
            de->ignore();
        }
        return true;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Pages -----------------------------------------------------------------------------

void T_EcrPrin::showResultsPage() {
    _PanRes->show();
    _PanSel->hide();
    applyDirPanelWidth();
}

void T_EcrPrin::showSelectionPage() {
    _PanSel->show();
    _PanRes->hide();
}

void T_EcrPrin::BtnRevoirClick() { showResultsPage(); }

void T_EcrPrin::BtnQuitteClick() { close(); }

void T_EcrPrin::setWaitCursor(bool on) {
    if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

// --- What the search run shows ---------------------------------------------------------

void T_EcrPrin::appendLog(const std::string& line) {
    auto* item = new QListWidgetItem(QString::fromUtf8(line));
    Infos->addItem(item);
    // The list lays every line out again each time one is added; measured once here, a
    // line's size is not shaped again from its text each time (a walk of a thousand
    // deletions would shape half a million lines).
    item->setSizeHint(Infos->sizeHintForIndex(Infos->indexFromItem(item)));
    Infos->setCurrentItem(item);
    Infos->scrollToItem(item);
    Infos->clearSelection();
    processEventsNow();   // every line is painted at once
}

void T_EcrPrin::clearLog() { Infos->clear(); }

void T_EcrPrin::setStatusText(const std::string& text) { Etat->setSimpleText(QString::fromUtf8(text)); }

void T_EcrPrin::runStarted() {
    clearLog();
    showResultsPage();
}

// Stop's caption says what it will stop; during the comparison the status bar names the two
// files of the pair, half the window's width each, above the progress bar.
void T_EcrPrin::phaseStarted(SearchPhase phase, std::int64_t files) {
    switch (phase) {
    case SearchPhase::Collection:
        BtnStopRtn->setText(QStringLiteral("Arrête la recherche"));
        break;
    case SearchPhase::Sort:
        break;
    case SearchPhase::Comparison:
        BtnStopRtn->setText(QStringLiteral("Arrête les comparaisons"));
        Etat->setPanelMode(true);
        Etat->setPanelWidth(0, width() / 2);
        Progress->setVisible(true);
        Progress->setMaximum(static_cast<int>(files));
        break;
    }
}

void T_EcrPrin::phaseEnded(SearchPhase phase, std::int64_t files) {
    switch (phase) {
    case SearchPhase::Collection:
        // DirList's context menu pops up by itself once there is a file to show.
        if (files >= 1) popupEnabled = true;
        break;
    case SearchPhase::Sort:
        break;
    case SearchPhase::Comparison:
        Progress->setVisible(false);
        Etat->setPanelMode(false);
        break;
    }
}

void T_EcrPrin::logLine(const std::string& line) { appendLog(line); }

void T_EcrPrin::folderEntered(const std::string& path) { setStatusText(path); }

void T_EcrPrin::searchPathWalked() {
    dirModel->flush();
    DirList->viewport()->update();
}

void T_EcrPrin::progress(std::int64_t filesDone) { Progress->setValue(static_cast<int>(filesDone)); }

void T_EcrPrin::pairCompared(const std::string& first, const std::string& second) {
    Etat->setPanelBytes(0, first);
    Etat->setPanelBytes(1, second);
}

void T_EcrPrin::runEnded() { BtnStopRtn->setText(QStringLiteral("Faire une autre sélection")); }

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
