#include "ui/SelectionPage.h"

#include <QByteArray>
#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QShortcut>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/ColumnButton.h"
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

// List items show the name decoded for the eye but keep the path's own bytes, which are
// what the search reads back.
constexpr int kPathBytesRole = Qt::UserRole;
constexpr int kReferenceRole = Qt::UserRole + 1;   // the entry is a reference folder

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

    row->addWidget(PanelDskList);
    row->addWidget(PanelBoutons);
    row->addWidget(PanelRepList, 1);

    dskModel_ = new TreeModel(driveTree, this);
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
        list->installEventFilter(this);
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
    DskList->setContextMenuPolicy(Qt::CustomContextMenu);
    PopMenuDsk = new QMenu(this);
    PopMenuDsk->setObjectName(QStringLiteral("PopMenuDsk"));
    PopMenuDsk->setAccessibleName(QStringLiteral("Menu des disques"));
    Exclure = PopMenuDsk->addAction(QStringLiteral("&Exclure de la recherche"));
    Exclure->setObjectName(QStringLiteral("Exclure"));
    Exclure->setToolTip(QStringLiteral("Met le chemin sélectionné (à gauche) dans la liste des exclusions"));
    connect(DskList, &QWidget::customContextMenuRequested, this, &SelectionPage::popDskMenu);
    // The menu key comes as a context menu request; Shift+F10 does not, on every platform.
    auto* key = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), DskList);
    key->setContext(Qt::WidgetShortcut);
    connect(key, &QShortcut::activated, this, [this] { popDskMenu(QPoint(-1, -1)); });
}

void SelectionPage::popDskMenu(QPoint pos) {
    // From the keyboard the point may lie anywhere: the menu opens below the selected row.
    const QRect row = DskList->visualRect(DskList->currentIndex());
    if (!DskList->indexAt(pos).isValid() && row.isValid()) pos = row.bottomLeft();
    PopMenuDsk->popup(DskList->viewport()->mapToGlobal(pos));
    // Its one item highlighted: Return takes it, as the mnemonic does.
    PopMenuDsk->setActiveAction(Exclure);
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
    listInUse_ = which;
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
    item->setData(kReferenceRole, reference);
    item->setText(reference ? path + QString::fromUtf8(kReferenceSuffix) : path);
    item->setToolTip(reference ? QStringLiteral("Répertoire de référence : ses fichiers sont comparés, "
                                                "jamais envoyés dans la Corbeille")
                               : QString());
}

bool SelectionPage::entryReference(int index) const {
    const QListWidgetItem* item = RepList->item(index);
    return item && item->data(kReferenceRole).toBool();
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

std::vector<std::string> SelectionPage::searchPaths() const {
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(RepList->count()));
    for (int i = 0; i < RepList->count(); ++i)
        paths.push_back(RepList->item(i)->data(kPathBytesRole).toByteArray().toStdString());
    return paths;
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
    if (event->type() == QEvent::FocusIn && (watched == RepList || watched == ExcList))
        listInUse_ = watched == ExcList ? PathList::Exclusions : PathList::Search;
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
