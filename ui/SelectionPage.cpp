#include "ui/SelectionPage.h"

#include <QByteArray>
#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMimeData>
#include <QDropEvent>
#include <QMenu>
#include <QShortcut>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "results/Messages.h"
#include "ui/ColumnButton.h"
#include "ui/ContextMenus.h"
#include "ui/PaneDrag.h"
#include "ui/PaneLayout.h"
#include "ui/PanelControls.h"
#include "ui/TreeModel.h"
#include "ui/TreeViewBinder.h"

namespace parelix {

namespace {

constexpr int kButtonLeft = (60 - ColumnButton::kWidth) / 2;
constexpr int kRepListHeight = 282;
// What a short window leaves of ExcList (about three rows) before RepList gives up height.
constexpr int kExcListLeast = 48;

// List items show the name decoded for the eye but keep the path's own bytes, from which
// a reference mark's text is made again.
constexpr int kPathBytesRole = Qt::UserRole;

}  // namespace

SelectionPage::SelectionPage(TreeStore& driveTree, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("_PanSel"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    PanelDskList = makePanel(QStringLiteral("PanelDskList"), this, true);
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

    buildButtonColumn();

    buildRepColumn();
    buildDskMenu();
    buildExcMenu();

    row->addWidget(PanelDskList);
    row->addWidget(PanelBoutons);
    row->addWidget(PanelRepList, 1);

    dskModel_ = new TreeModel(driveTree, this);
    dskModel_->setHeaderName(QString::fromUtf8(kDskHeaderName));
    new TreeViewBinder(*dskModel_, DskList, DskList);

    auto* drag = new PaneDrag(PanelBoutons, true,
                              {[this](QPoint start) { columnDragBegin(start); },
                               [this](QWidget* target, QPoint pos) { return columnDragOver(target, pos); },
                               [this] { columnDragEnd(); }});
    drag->addTarget(PanelDskList);
    drag->addTarget(TitreDskList);
    drag->addTarget(DskList, DskList->viewport());
    drag->addTarget(PanelBoutons);
    drag->addTarget(PanelRepList);
    drag->addTarget(TitreRepList);
    drag->addTarget(RepList, RepList->viewport());
    drag->addTarget(TitreExcList);
    drag->addTarget(ExcList, ExcList->viewport());
    // After the pane drag's filter, so that this one sees a file manager's drags first.
    for (QListWidget* list : {RepList, ExcList}) list->viewport()->installEventFilter(this);
}

void SelectionPage::buildRepColumn() {
    PanelRepList = makePanel(QStringLiteral("PanelRepList"), this, true);
    auto* repCol = new QVBoxLayout(PanelRepList);
    repCol->setContentsMargins(2, 2, 2, 2);
    repCol->setSpacing(0);
    TitreRepList = makeTitle(QStringLiteral("TitreRepList"), QStringLiteral("Disques / répertoires où chercher"),
                             PanelRepList);
    RepList = new QListWidget(PanelRepList);
    RepList->setObjectName(QStringLiteral("RepList"));
    RepList->setAccessibleName(TitreRepList->text());
    RepList->setSelectionMode(QAbstractItemView::SingleSelection);
    RepList->setFixedHeight(kRepListHeight);
    TitreExcList = makeTitle(QStringLiteral("TitreExcList"),
                             QStringLiteral("Disques / répertoires / fichiers à exclure"), PanelRepList);
    ExcList = new QListWidget(PanelRepList);
    ExcList->setObjectName(QStringLiteral("ExcList"));
    ExcList->setAccessibleName(TitreExcList->text());
    ExcList->setSelectionMode(QAbstractItemView::SingleSelection);
    // The list takes what RepList leaves, and keeps a few rows in a low window (fitRepList).
    ExcList->setMinimumHeight(kExcListLeast);
    for (QListWidget* list : {RepList, ExcList}) {
        // PathSelection keeps the order; the widget only shows it.
        list->setSortingEnabled(false);
        // Files and folders dropped from a file manager (eventFilter).
        list->setAcceptDrops(true);
        list->viewport()->setAcceptDrops(true);
    }
    repCol->addWidget(TitreRepList);
    repCol->addWidget(RepList);
    repCol->addWidget(TitreExcList);
    repCol->addWidget(ExcList, 1);
    PanelRepList->installEventFilter(this);
}

void SelectionPage::fitRepList() {
    // RepList keeps its design height while ExcList and both titles fit below it; in a
    // shorter window it gives up height so that the exclusion list stays in sight.
    const QMargins m = PanelRepList->layout()->contentsMargins();
    const int room = PanelRepList->contentsRect().height() - m.top() - m.bottom() -
                     TitreRepList->sizeHint().height() - TitreExcList->sizeHint().height() - kExcListLeast;
    RepList->setFixedHeight(std::clamp(room, 0, kRepListHeight));
}

void SelectionPage::buildDskMenu() {
    // Keyboard: the menu key or Shift+F10 on the tree. The item acts on the tree's
    // selected node, which a right click on a row has just moved there.
    bindMenuKeys(DskList);
    PopMenuDsk = new QMenu(this);
    PopMenuDsk->setObjectName(QStringLiteral("PopMenuDsk"));
    PopMenuDsk->setAccessibleName(QString::fromUtf8(kDskMenuName));
    Exclure = PopMenuDsk->addAction(QString::fromUtf8(kExclureItem));
    Exclure->setObjectName(QStringLiteral("Exclure"));
    Exclure->setToolTip(QString::fromUtf8(kExclureHint));
    // The home folder, also by a key of its own on the tree (the tree's keys move, open and
    // find by name; Alt+Home goes home in the desktop's file managers).
    AllerPerso = PopMenuDsk->addAction(QString::fromUtf8(kHomeFolderItem));
    AllerPerso->setObjectName(QStringLiteral("AllerPerso"));
    AllerPerso->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    AllerPerso->setShortcutContext(Qt::WidgetShortcut);
    DskList->addAction(AllerPerso);
    connect(DskList, &QWidget::customContextMenuRequested, this,
            [this](QPoint pos) { popupMenu(PopMenuDsk, DskList, pos); });
}

void SelectionPage::buildExcMenu() {
    ExcMenu = new QMenu(this);
    ExcMenu->setObjectName(QStringLiteral("ExcMenu"));
    ExcMenu->setAccessibleName(QString::fromUtf8(kExcMenuName));
    Retirer = ExcMenu->addAction(QString::fromUtf8(kRemoveExclusionItem));
    Retirer->setObjectName(QStringLiteral("Retirer"));
    // The Delete key takes the selected exclusion out, as the item does.
    Retirer->setShortcut(QKeySequence(Qt::Key_Delete));
    Retirer->setShortcutContext(Qt::WidgetShortcut);
    ExcList->addAction(Retirer);
    AjouterFichier = ExcMenu->addAction(QString::fromUtf8(kAddExcludedFileItem));
    AjouterFichier->setObjectName(QStringLiteral("AjouterFichier"));
    bindMenuKeys(ExcList);
    connect(ExcList, &QWidget::customContextMenuRequested, this, [this](QPoint pos) {
        if (QListWidgetItem* item = ExcList->itemAt(pos)) ExcList->setCurrentItem(item);
        Retirer->setEnabled(pickedEntry(PathList::Exclusions) >= 0);
        popupMenu(ExcMenu, ExcList, pos);
    });
}

void SelectionPage::buildButtonColumn() {
    PanelBoutons = makePanel(QStringLiteral("PanelBoutons"), this, false);
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
    PanelBoutons->installEventFilter(this);
}

// --- The two lists ---------------------------------------------------------------------

void SelectionPage::insertEntry(PathList which, int index, const std::string& text, bool reference) {
    QListWidget* l = list(which);
    const QSignalBlocker block(l);
    auto* item = new QListWidgetItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    item->setData(kPathBytesRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    l->insertItem(index, item);
    if (reference) setEntryReference(index, true);
}

void SelectionPage::setEntryReference(int index, bool reference) {
    QListWidgetItem* item = RepList->item(index);
    if (!item) return;
    const QString path = QString::fromUtf8(item->data(kPathBytesRole).toByteArray());
    item->setText(reference ? path + QString::fromUtf8(kReferenceSuffix) : path);
    item->setToolTip(reference ? QString::fromUtf8(kReferenceEntryHint)
                               : QString());
}

void SelectionPage::removeEntry(PathList which, int index) {
    QListWidget* l = list(which);
    const QSignalBlocker block(l);
    delete l->takeItem(index);
}

void SelectionPage::selectEntry(PathList which, int index) {
    QListWidget* l = list(which);
    const QSignalBlocker block(l);
    if (index < 0) {
        l->clearSelection();
        l->setCurrentRow(-1);
    } else {
        l->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    }
}

int SelectionPage::pickedEntry(PathList which) const {
    const QListWidget* l = list(which);
    const auto items = l->selectedItems();
    return items.isEmpty() ? -1 : l->row(items.front());
}

void SelectionPage::setButtonsEnabled(bool remove, bool search) {
    BtnEnleve->setEnabled(remove);
    BtnCherche->setEnabled(search);
}

// --- The button column -----------------------------------------------------------------

void SelectionPage::showBtnRevoir() {
    BtnRevoir->show();
    layoutButtonColumn();
}

void SelectionPage::layoutButtonColumn() {
    const ButtonTops t = buttonColumnTops(PanelBoutons->height(), !BtnRevoir->isHidden());
    BtnAjoute->move(kButtonLeft, t.ajoute);
    BtnEnleve->move(kButtonLeft, t.enleve);
    if (t.revoirPlaced) BtnRevoir->move(kButtonLeft, t.revoir);
    BtnCherche->move(kButtonLeft, t.cherche);
    BtnQuitte->move(kButtonLeft, t.quitte);
}

bool SelectionPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PanelBoutons && event->type() == QEvent::Resize) layoutButtonColumn();
    if (watched == PanelRepList && event->type() == QEvent::Resize) fitRepList();
    if (watched == RepList->viewport() || watched == ExcList->viewport()) {
        const PathList which = watched == ExcList->viewport() ? PathList::Exclusions : PathList::Search;
        const bool drag = event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove;
        auto* de = drag || event->type() == QEvent::Drop ? static_cast<QDropEvent*>(event) : nullptr;
        // A drag that names files, from a file manager; the pane drag goes on to its own filter.
        // What is not on this machine is refused at the drop, with a word.
        if (de && de->mimeData()->hasUrls()) {
            de->setDropAction(Qt::CopyAction);
            de->accept();
            if (!drag && urlsDropped) urlsDropped(which, de->mimeData()->urls());
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void SelectionPage::setDskPanelWidth(int width) {
    const int room = std::max(0, this->width() - PanelBoutons->width());
    PanelDskList->setFixedWidth(std::clamp(width, 0, room));
    layout()->activate();
}

void SelectionPage::columnDragBegin(QPoint start) {
    dragStart_ = start;
    revoirWasVisible_ = !BtnRevoir->isHidden();
    for (QToolButton* b : {BtnAjoute, BtnEnleve, BtnRevoir, BtnCherche, BtnQuitte}) b->hide();
}

bool SelectionPage::columnDragOver(QWidget* target, QPoint pos) {
    if (target == PanelDskList || target == TitreDskList || target == DskList)
        setDskPanelWidth(pos.x());
    else if (target == PanelBoutons)
        setDskPanelWidth(PanelDskList->width() + pos.x() - dragStart_.x());
    else if (target == PanelRepList || target == TitreRepList || target == RepList || target == TitreExcList ||
             target == ExcList)
        setDskPanelWidth(pos.x() + PanelDskList->width() + PanelBoutons->width() - dragStart_.x());
    else
        return false;
    return true;
}

void SelectionPage::columnDragEnd() {
    // The column lays itself out on its next resize.
    for (QToolButton* b : {BtnAjoute, BtnEnleve, BtnCherche, BtnQuitte}) b->show();
    BtnRevoir->setVisible(revoirWasVisible_);
}

}  // namespace parelix
