// Path selection handlers: the drive tree DskList with its context menu PopMenuDsk, the
// search list RepList with its context menu RepMenu, and the exclusion list ExcList with
// ExcMenu; and what a file manager drops on the two lists. The logic and the lists
// themselves live in the session's PathSelection, reached through the session; the controls
// in SelectionPage only mirror them; this file binds the one to the other.
#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "results/Messages.h"
#include "ui/ContextMenus.h"
#include "ui/DesktopServices.h"
#include "ui/EcrPrin.h"
#include "ui/SelectionPage.h"

namespace parelix {

void T_EcrPrin::attachSelection() {
    SelectionPage* page = selectionPage_;
    PathSelectionView view;
    view.waitCursor = [this](bool on) { setWaitCursor(on); };
    view.entryInserted = [this, page](PathList list, int index, const std::string& text) {
        page->insertEntry(list, index, text, list == PathList::Search && session_.isReferencePath(text));
    };
    view.entryRemoved = [page](PathList list, int index) { page->removeEntry(list, index); };
    view.entrySelected = [page](PathList list, int index) { page->selectEntry(list, index); };
    view.buttonsEnabled = [page](bool remove, bool search) { page->setButtonsEnabled(remove, search); };
    session_.attach(this, std::move(view));

    for (PathList list : {PathList::Search, PathList::Exclusions}) {
        connect(page->list(list), &QListWidget::itemSelectionChanged, this,
                [this, list] { session_.pickEntry(list, selectionPage_->pickedEntry(list)); });
    }

    // A reference folder is marked from RepList's context menu (the menu key or Shift+F10
    // open it from the keyboard), or by Ctrl+R on the list.
    QListWidget* list = page->list(PathList::Search);
    RepMenu = new QMenu(this);
    RepMenu->setObjectName(QStringLiteral("RepMenu"));
    RepMenu->setAccessibleName(QString::fromUtf8(kRepMenuName));
    RepReference = RepMenu->addAction(QString::fromUtf8(kReferenceItem));
    RepReference->setCheckable(true);
    RepReference->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(RepReference, &QAction::triggered, this, [this] { RepListReferenceClick(); });
    bindMenuKeys(list);
    connect(list, &QListWidget::customContextMenuRequested, this, [this, list](QPoint at) {
        // The entry under the pointer (or the selected one, from the keyboard) is the one
        // marked: picking it selects it in the session's list too.
        if (QListWidgetItem* item = list->itemAt(at)) list->setCurrentItem(item);
        const int entry = session_.pathSelection().selectedEntry();
        if (entry < 0) return;
        RepReference->setChecked(session_.isReferencePath(searchPaths()[static_cast<std::size_t>(entry)]));
        popupMenu(RepMenu, list, at);
    });
    auto* key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), list);
    key->setContext(Qt::WidgetShortcut);
    connect(key, &QShortcut::activated, this, [this] { RepListReferenceClick(); });

    connect(page->retirer(), &QAction::triggered, this, [this] { ExcListRemoveClick(); });
    connect(page->ajouterFichier(), &QAction::triggered, this, [this] { ExcListAddFileClick(); });
    connect(page->allerPerso(), &QAction::triggered, this, [this] { AllerPersoClick(); });
    // The lists may ask (a message box): the drop ends first.
    page->urlsDropped = [this](PathList target, const QList<QUrl>& urls) {
        QTimer::singleShot(0, this, [this, target, urls] { ListDrop(target, urls); });
    };
}

void T_EcrPrin::ExcListRemoveClick() { session_.removeExclusion(); }

void T_EcrPrin::ExcListAddFileClick() {
    const std::vector<std::string> files = askFilesToExclude(this);
    if (!files.empty()) session_.excludeSystemPaths(files);
}

void T_EcrPrin::AllerPersoClick() {
    if (session_.goHome()) selectionPage_->dskList()->setFocus(Qt::OtherFocusReason);
}

void T_EcrPrin::ListDrop(PathList target, const QList<QUrl>& urls) {
    // Only this machine's files: a page of the web or a remote share's address would be
    // something else than what the search walks. Then nothing of the drop is taken.
    std::vector<std::string> paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty()) {
            session_.services().showMessage(kDropNotLocal, kDropCaption, MessageKind::Error);
            return;
        }
        std::string path = QFile::encodeName(url.toLocalFile()).toStdString();
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        paths.push_back(std::move(path));
    }
    if (target == PathList::Exclusions) session_.excludeSystemPaths(paths);
    else session_.addSearchFolders(paths);
}

void T_EcrPrin::RepListReferenceClick() {
    const int entry = session_.pathSelection().selectedEntry();
    if (entry < 0) return;
    const std::string path = searchPaths()[static_cast<std::size_t>(entry)];
    const bool reference = !session_.isReferencePath(path);
    session_.markReference(path, reference);
    selectionPage_->setEntryReference(entry, reference);
}

void T_EcrPrin::BtnAjouteClick() { session_.addSearchPath(); }
void T_EcrPrin::BtnEnleveClick() { session_.removeEntry(); }
void T_EcrPrin::ExclureClick() { session_.excludeSelected(); }

std::vector<std::string> T_EcrPrin::searchPaths() const {
    std::vector<std::string> paths;
    for (const SearchEntry& entry : session_.pathSelection().entries()) paths.push_back(entry.text);
    return paths;
}

}  // namespace parelix
