// Path selection handlers: the drive tree DskList and the search list RepList. The logic
// lives in PathSelection; this file binds it to the window's controls.
#include <QByteArray>
#include <QListWidget>
#include <QSignalBlocker>
#include <QToolButton>

#include "ui/EcrPrin.h"
#include "ui/PathSelection.h"

namespace parelix {

namespace {

std::string componentName(QObject* sender) {
    return sender ? sender->objectName().toStdString() : std::string();
}

// List items show the name decoded for the eye but keep the path's own bytes, which are
// what the search reads back.
constexpr int kPathBytesRole = Qt::UserRole;

}  // namespace

void T_EcrPrin::fillDriveTree() {
    PathSelectionView view;
    view.waitCursor = [this](bool on) { setWaitCursor(on); };
    view.entryInserted = [this](int index, const std::string& text) {
        const QSignalBlocker block(RepList);
        auto* item = new QListWidgetItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        item->setData(kPathBytesRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
        RepList->insertItem(index, item);
    };
    view.entryRemoved = [this](int index) {
        const QSignalBlocker block(RepList);
        delete RepList->takeItem(index);
    };
    view.entrySelected = [this](int index) {
        const QSignalBlocker block(RepList);
        if (index < 0) {
            RepList->clearSelection();
            RepList->setCurrentRow(-1);
        } else {
            RepList->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
        }
    };
    view.removeAndSearchEnabled = [this](bool enabled) {
        BtnEnleve->setEnabled(enabled);
        BtnCherche->setEnabled(enabled);
    };
    selection = std::make_unique<PathSelection>(dskTree, std::move(view));

    // The logic keeps the order; the widget only shows it.
    RepList->setSortingEnabled(false);
    connect(RepList, &QListWidget::itemSelectionChanged, this, [this] {
        const auto items = RepList->selectedItems();
        selection->selectEntry(items.isEmpty() ? -1 : RepList->row(items.front()));
    });

    dskTree.events.expanded = [this](NodeId node) { DskListExpanded(node); };
    dskTree.events.change = [this](NodeId node) { DskListChange(node); };

    selection->fillDriveTree();
}

void T_EcrPrin::BtnAjouteClick(QObject* sender) {
    if (selection) selection->add(componentName(sender));
}

void T_EcrPrin::BtnEnleveClick(QObject* sender) {
    if (selection) selection->remove(componentName(sender));
}

void T_EcrPrin::DskListExpanded(NodeId node) {
    if (selection) selection->nodeExpanded(node);
}

void T_EcrPrin::DskListChange(NodeId node) {
    if (selection) selection->selectionChanged(node);
}

std::vector<std::string> T_EcrPrin::searchPaths() const {
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(RepList->count()));
    for (int i = 0; i < RepList->count(); ++i)
        paths.push_back(RepList->item(i)->data(kPathBytesRole).toByteArray().toStdString());
    return paths;
}

}  // namespace parelix
