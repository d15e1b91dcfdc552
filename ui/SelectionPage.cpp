#include "ui/SelectionPage.h"

#include <QByteArray>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
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
    RepList->setFixedHeight(282);
    // PathSelection keeps the order; the widget only shows it.
    RepList->setSortingEnabled(false);
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

// --- The search list -------------------------------------------------------------------

void SelectionPage::insertEntry(int index, const std::string& text, bool reference) {
    const QSignalBlocker block(RepList);
    auto* item = new QListWidgetItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    item->setData(kPathBytesRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    RepList->insertItem(index, item);
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

void SelectionPage::removeEntry(int index) {
    const QSignalBlocker block(RepList);
    delete RepList->takeItem(index);
}

void SelectionPage::selectEntry(int index) {
    const QSignalBlocker block(RepList);
    if (index < 0) {
        RepList->clearSelection();
        RepList->setCurrentRow(-1);
    } else {
        RepList->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    }
}

int SelectionPage::pickedEntry() const {
    const auto items = RepList->selectedItems();
    return items.isEmpty() ? -1 : RepList->row(items.front());
}

std::vector<std::string> SelectionPage::searchPaths() const {
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(RepList->count()));
    for (int i = 0; i < RepList->count(); ++i)
        paths.push_back(RepList->item(i)->data(kPathBytesRole).toByteArray().toStdString());
    return paths;
}

void SelectionPage::setRemoveAndSearchEnabled(bool enabled) {
    BtnEnleve->setEnabled(enabled);
    BtnCherche->setEnabled(enabled);
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
    else if (target == PanelRepList || target == TitreRepList || target == RepList)
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
