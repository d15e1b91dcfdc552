// The selection page through the window: the drive tree view, the buttons and RepList
// follow the selection logic, and the search reads the list's own bytes back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QKeySequence>
#include <QListWidget>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QtTest/QTest>
#include <QToolButton>
#include <QTreeView>
#include <optional>
#include <string>
#include <vector>

#include "support/UiApplication.h"
#include "support/WindowFixture.h"
#include "support/SelectionDrives.h"
#include "ui/Application.h"
#include "ui/EcrPrin.h"
#include "session/PathSelection.h"
#include "ui/TreeModel.h"

using namespace parelix;
using namespace parelix::test;

namespace {

class PathSelectionWindowTest : public ::testing::Test {
protected:
    MntDir base;
    std::string d, e;
    std::optional<RecordingServices> services;
    std::optional<Session> session;
    std::optional<T_EcrPrin> w;
    WindowControls ui;

    void SetUp() override {
        ensureApplication();
        d = base.mkdir("d");
        e = base.mkdir("e");
        for (const char* dir : {"DATA/PHOTOS", "DAT", "caf\xe9"}) base.mkdir(std::string("d/") + dir);
        base.mkdir("e/mid");
        services.emplace(scratchDrives({d, e}));
        session.emplace(*services);
        w.emplace(*session);
        ui = WindowControls(*w);
    }

    void TearDown() override {
        w.reset();
        session.reset();
    }

    NodeId at(std::initializer_list<std::string> texts) {
        NodeId n = w->session().pathSelection().root();
        for (const auto& t : texts) {
            NodeId found = kNoNode;
            for (NodeId c : w->session().driveTree().children(n))
                if (w->session().driveTree().text(c) == t) found = c;
            if (found == kNoNode) return kNoNode;
            n = found;
        }
        return n;
    }

    // The user clicks a node of the drive tree.
    void pick(NodeId node) {
        ASSERT_NE(node, kNoNode);
        ui.DskList->setCurrentIndex(ui.dskModel->indexOf(node));
    }

    QStringList listTexts() const {
        QStringList out;
        for (int i = 0; i < ui.RepList->count(); ++i) out << ui.RepList->item(i)->text();
        return out;
    }
    QStringList excTexts() const {
        QStringList out;
        for (int i = 0; i < ui.ExcList->count(); ++i) out << ui.ExcList->item(i)->text();
        return out;
    }
};

TEST_F(PathSelectionWindowTest, CreationShowsTheDrivesAndAnEmptyList) {
    ASSERT_NE(w->session().pathSelection().root(), kNoNode);
    const QModelIndex root = ui.dskModel->index(0, 0);
    EXPECT_EQ(root.data().toString(), QStringLiteral("Poste"));
    EXPECT_TRUE(ui.DskList->isExpanded(root));
    ASSERT_EQ(ui.dskModel->rowCount(root), 3);
    EXPECT_EQ(ui.dskModel->index(1, 0, root).data().toString(), QStringLiteral("D:\\"));
    EXPECT_EQ(ui.dskModel->nodeOf(ui.DskList->currentIndex()), at({"C:\\"}));
    EXPECT_EQ(ui.RepList->count(), 0);
    EXPECT_FALSE(ui.BtnEnleve->isEnabled());
    EXPECT_FALSE(ui.BtnCherche->isEnabled());
    EXPECT_TRUE(ui.BtnAjoute->isEnabled());

    // Hints and accelerators of the page's buttons.
    const struct {
        QToolButton* button;
        const char* hint;
        Qt::Key key;
    } buttons[] = {
        {ui.BtnAjoute, "Ajoute le chemin sélectionné (à gauche) dans la liste (à droite)", Qt::Key_A},
        {ui.BtnEnleve, "Ote de la liste (à droite) le chemin sélectionné", Qt::Key_E},
        {ui.BtnRevoir, "Revenir aux résultats précédents", Qt::Key_R},
        {ui.BtnCherche, "Lance la recherche des doubles", Qt::Key_C},
        {ui.BtnQuitte, "Quitte le programme. A bientôt !", Qt::Key_Q},
    };
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button->toolTip(), QString::fromUtf8(b.hint)) << b.button->objectName().toStdString();
        EXPECT_EQ(b.button->shortcut(), QKeySequence(Qt::ALT | b.key)) << b.button->objectName().toStdString();
    }

    // Picking the root in the view hands the selection to the first drive.
    ui.DskList->setCurrentIndex(root);
    EXPECT_EQ(ui.dskModel->nodeOf(ui.DskList->currentIndex()), at({"C:\\"}));
}

TEST_F(PathSelectionWindowTest, ButtonsMoveNodesBetweenTreeAndList) {
    pick(at({"D:\\", "DATA\\"}));
    ui.BtnAjoute->click();
    pick(at({"E:\\"}));
    ui.BtnAjoute->click();
    EXPECT_EQ(listTexts(), (QStringList{QStringLiteral("D:\\DATA"), QStringLiteral("E:")}));
    EXPECT_EQ(ui.RepList->currentRow(), 1);
    EXPECT_TRUE(ui.BtnEnleve->isEnabled());
    EXPECT_TRUE(ui.BtnCherche->isEnabled());
    EXPECT_EQ(w->searchPaths(), (std::vector<std::string>{"D:\\DATA", "E:"}));
    EXPECT_EQ(at({"D:\\", "DATA\\"}), kNoNode);

    // The user picks the first entry in the list; the remove button returns it and the
    // tree's selection (in the store and in the view) moves to it.
    ui.RepList->setCurrentRow(0);
    EXPECT_EQ(w->session().pathSelection().selectedEntry(), 0);
    ui.BtnEnleve->click();
    const NodeId data = at({"D:\\", "DATA\\"});
    ASSERT_NE(data, kNoNode);
    EXPECT_EQ(w->session().driveTree().selected(), data);
    EXPECT_EQ(ui.dskModel->nodeOf(ui.DskList->currentIndex()), data);
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("E:")});
    EXPECT_EQ(ui.RepList->currentRow(), 0);

    ui.BtnEnleve->click();
    EXPECT_EQ(ui.RepList->count(), 0);
    EXPECT_FALSE(ui.BtnEnleve->isEnabled());
    EXPECT_FALSE(ui.BtnCherche->isEnabled());
    EXPECT_EQ(ui.dskModel->rowCount(ui.dskModel->index(0, 0)), 3);

    // A call from another handler does nothing while no entry is left.
    w->BtnEnleveClick();
    EXPECT_TRUE(w->searchPaths().empty());
}

// ExcList: DskList's menu puts the selected node in; BtnEnleve and BtnCherche follow RepList
// alone, and Alt+E acts on RepList wherever the focus is; ExcList has its own Delete key.
TEST_F(PathSelectionWindowTest, TheMenuExcludesAndBtnEnleveFollowsRepListAlone) {
    w->show();
    QApplication::setActiveWindow(&*w);
    EXPECT_FALSE(ui.ExcList->isHidden());
    EXPECT_EQ(ui.Exclure->text(), QStringLiteral("&Exclure de la recherche"));
    EXPECT_EQ(ui.DskList->contextMenuPolicy(), Qt::CustomContextMenu);

    pick(at({"D:\\", "DATA\\"}));
    ui.Exclure->trigger();
    pick(at({"E:\\"}));
    ui.Exclure->trigger();
    EXPECT_EQ(excTexts(), (QStringList{QStringLiteral("D:\\DATA"), QStringLiteral("E:")}));
    EXPECT_EQ(w->session().exclusions(), (std::vector<std::string>{"D:\\DATA", "E:"}));
    EXPECT_EQ(ui.ExcList->currentRow(), 1);
    // The tree keeps what was excluded; with RepList empty both buttons stay off, and Alt+E
    // takes nothing out of ExcList.
    EXPECT_NE(at({"D:\\", "DATA\\"}), kNoNode);
    EXPECT_FALSE(ui.BtnEnleve->isEnabled());
    EXPECT_FALSE(ui.BtnCherche->isEnabled());
    ui.ExcList->setFocus();
    QTest::keyClick(ui.ExcList, Qt::Key_E, Qt::AltModifier);
    QTest::qWait(300);   // a mnemonic clicks the button a moment later
    EXPECT_EQ(ui.ExcList->count(), 2);

    pick(at({"D:\\"}));
    ui.BtnAjoute->click();
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("D:")});
    EXPECT_TRUE(ui.BtnEnleve->isEnabled());
    EXPECT_TRUE(ui.BtnCherche->isEnabled());

    // ExcList's Delete key takes its selected entry out; RepList stays.
    ui.ExcList->setFocus();
    ui.ExcList->setCurrentRow(0);
    QTest::keyClick(ui.ExcList, Qt::Key_Delete);
    EXPECT_EQ(excTexts(), QStringList{QStringLiteral("E:")});
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("D:")});
    EXPECT_EQ(ui.ExcList->currentRow(), 0);

    // Alt+E from ExcList still acts on RepList: the search path goes back to the tree.
    QTest::keyClick(ui.ExcList, Qt::Key_E, Qt::AltModifier);
    QTest::qWait(300);
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_EQ(excTexts(), QStringList{QStringLiteral("E:")});
    EXPECT_NE(at({"D:\\"}), kNoNode);
    EXPECT_FALSE(ui.BtnEnleve->isEnabled());
    EXPECT_FALSE(ui.BtnCherche->isEnabled());
}

// An exclusion that sorts above the selected one is the one selected then, in the list and
// for its Delete key; the one pushed down keeps its place.
TEST_F(PathSelectionWindowTest, AnExclusionSortedAboveTheSelectedOneIsTheOneSelected) {
    w->show();
    QApplication::setActiveWindow(&*w);
    pick(at({"E:\\", "mid\\"}));
    ui.Exclure->trigger();
    pick(at({"E:\\"}));
    ui.Exclure->trigger();
    EXPECT_EQ(excTexts(), (QStringList{QStringLiteral("E:"), QStringLiteral("E:\\mid")}));
    EXPECT_EQ(ui.ExcList->currentRow(), 0);
    ui.ExcList->setFocus();
    QTest::keyClick(ui.ExcList, Qt::Key_Delete);
    EXPECT_EQ(excTexts(), QStringList{QStringLiteral("E:\\mid")});
}

// ExcList's menu: right click, the menu key or Shift+F10 open it at the entry, its first item
// highlighted; it takes the entry out, or adds files chosen in a French dialog.
TEST_F(PathSelectionWindowTest, ExcListsMenuRemovesAndAddsAFileThroughADialog) {
    Application::speakFrench(*qApp);
    w->show();
    QApplication::setActiveWindow(&*w);
    pick(at({"D:\\", "DATA\\"}));
    ui.Exclure->trigger();
    pick(at({"E:\\"}));
    ui.Exclure->trigger();
    auto* menu = w->findChild<QMenu*>(QStringLiteral("ExcMenu"));
    ASSERT_NE(menu, nullptr);
    ui.ExcList->setFocus();
    ui.ExcList->setCurrentRow(0);
    // Shift+F10, and the menu key's context menu event (placed by the platform wherever it
    // likes; the display test presses the key itself).
    for (const bool menuKey : {false, true}) {
        if (menuKey) {
            const QPoint middle = ui.ExcList->rect().center();
            QContextMenuEvent event(QContextMenuEvent::Keyboard, middle, ui.ExcList->mapToGlobal(middle));
            QCoreApplication::sendEvent(ui.ExcList, &event);
        } else {
            QTest::keyClick(ui.ExcList, Qt::Key_F10, Qt::ShiftModifier);
        }
        ASSERT_TRUE(menu->isVisible()) << menuKey;
        ASSERT_EQ(menu->actions().size(), 2);
        EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("&Retirer de la liste d'exclusion"));
        EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("&Ajouter un fichier à exclure…"));
        EXPECT_EQ(menu->activeAction(), menu->actions()[0]);
        EXPECT_GE(menu->pos().y(), ui.ExcList->viewport()->mapToGlobal(ui.ExcList->visualItemRect(ui.ExcList->item(0)).bottomLeft()).y() - 1);
        menu->close();
        QApplication::setActiveWindow(&*w);
        ui.ExcList->setFocus();
    }
    emit ui.ExcList->customContextMenuRequested(ui.ExcList->visualItemRect(ui.ExcList->item(1)).center());
    ASSERT_TRUE(menu->isVisible());
    menu->actions()[0]->trigger();
    menu->close();
    EXPECT_EQ(excTexts(), QStringList{QStringLiteral("D:\\DATA")});

    // The dialog speaks French (Qt's own texts too) and its file goes in, by its drive path.
    const std::string file = d + "/DATA/notes.txt";
    writeFile(file);
    QStringList seen;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Ajouter un fichier à exclure"));
        for (auto* b : dialog->findChildren<QToolButton*>()) seen << b->toolTip() << b->accessibleName();
        dialog->selectFile(QString::fromStdString(file));
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    emit ui.ExcList->customContextMenuRequested(QPoint(-1, -1));
    ASSERT_TRUE(menu->isVisible());
    menu->actions()[1]->trigger();
    menu->close();
    EXPECT_EQ(excTexts(), (QStringList{QStringLiteral("D:\\DATA"), QStringLiteral("D:\\DATA\\notes.txt")}));
    EXPECT_TRUE(seen.contains(QStringLiteral("Précédent"))) << seen.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(seen.contains(QStringLiteral("Back")));
}

// A file manager's drop: folders onto RepList become search paths as BtnAjoute adds their
// nodes (sorted, what lies inside returned first, a folder already held refused), files and
// folders onto ExcList exclusions; a drop naming anything not on this machine changes nothing.
TEST_F(PathSelectionWindowTest, DroppedFoldersAndFilesJoinTheListsAndRemoteOnesAreRefused) {
    w->show();
    QApplication::setActiveWindow(&*w);
    const auto drop = [](QListWidget* list, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(5, 5);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &dropped);
        EXPECT_TRUE(dropped.isAccepted());
        QApplication::processEvents();   // the drop is handled once it has ended
    };
    const auto local = [](const std::string& path) { return QUrl::fromLocalFile(QString::fromStdString(path)); };
    ui.DskList->expand(ui.dskModel->indexOf(at({"D:\\"})));
    pick(at({"D:\\", "DATA\\", "PHOTOS\\"}));
    ui.BtnAjoute->click();
    // In the order dropped: D:\DATA takes D:\DATA\PHOTOS back, then D:\DAT takes D:\DATA
    // back too (the search list's plain prefix, as for BtnAjoute).
    drop(ui.RepList, {local(e + "/mid"), local(d + "/DATA/"), local(d + "/DAT")});
    EXPECT_EQ(listTexts(), (QStringList{QStringLiteral("D:\\DAT"), QStringLiteral("E:\\mid")}));
    EXPECT_NE(at({"D:\\", "DATA\\"}), kNoNode);
    EXPECT_EQ(at({"E:\\", "mid\\"}), kNoNode);
    EXPECT_TRUE(services->shown.empty());
    EXPECT_TRUE(ui.BtnCherche->isEnabled());

    // A file, or a folder already in the list (not in the tree), cannot be added: one box
    // says which, and the rest of the drop goes in.
    writeFile(d + "/note.txt");
    drop(ui.RepList, {local(d + "/note.txt"), local(e + "/mid"), local(d + "/DATA/PHOTOS")});
    ASSERT_EQ(services->shown.size(), 1u);
    EXPECT_NE(services->shown[0].text.find("D:\\note.txt"), std::string::npos) << services->shown[0].text;
    EXPECT_NE(services->shown[0].text.find("E:\\mid"), std::string::npos) << services->shown[0].text;
    EXPECT_EQ(listTexts(), (QStringList{QStringLiteral("D:\\DAT"), QStringLiteral("D:\\DATA\\PHOTOS"),
                                        QStringLiteral("E:\\mid")}));

    drop(ui.ExcList, {local(d + "/note.txt"), local(e + "/mid")});
    EXPECT_EQ(excTexts(), (QStringList{QStringLiteral("D:\\note.txt"), QStringLiteral("E:\\mid")}));

    // Anything not a local file: a message, and nothing of the drop is taken.
    for (QListWidget* list : {ui.RepList, ui.ExcList}) {
        services->shown.clear();
        drop(list, {local(d + "/DAT"), QUrl(QStringLiteral("sftp://serveur/partage")), local(d + "/note.txt")});
        ASSERT_EQ(services->shown.size(), 1u);
        EXPECT_EQ(services->shown[0].text,
                  "Seuls les fichiers et dossiers de cet ordinateur peuvent être déposés ici\u00A0: rien n'a été ajouté.");
    }
    EXPECT_EQ(listTexts().size(), 3);
    EXPECT_EQ(excTexts().size(), 2);
}

// "Aller au dossier personnel", or Alt+Home on the tree: the tree opens down to the home
// folder, which becomes the selection.
TEST_F(PathSelectionWindowTest, TheTreeGoesToTheHomeFolder) {
    w->show();
    QApplication::setActiveWindow(&*w);
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(d + "/DATA/PHOTOS"));
    ui.DskList->setFocus();
    QTest::keyClick(ui.DskList, Qt::Key_Home, Qt::AltModifier);
    const NodeId home = at({"D:\\", "DATA\\", "PHOTOS\\"});
    ASSERT_NE(home, kNoNode);
    EXPECT_EQ(w->session().driveTree().selected(), home);
    EXPECT_EQ(ui.DskList->currentIndex(), ui.dskModel->indexOf(home));
    EXPECT_TRUE(ui.DskList->isExpanded(ui.dskModel->indexOf(at({"D:\\", "DATA\\"}))));
    EXPECT_EQ(ui.PopMenuDsk->actions()[1]->text(), QStringLiteral("Aller au dossier &personnel"));

    // From elsewhere, by the menu's item.
    pick(at({"E:\\"}));
    ui.PopMenuDsk->actions()[1]->trigger();
    EXPECT_EQ(w->session().driveTree().selected(), home);
    qputenv("HOME", oldHome);
}

TEST_F(PathSelectionWindowTest, ListShowsDecodedNamesAndSearchesTheBytes) {
    pick(at({"D:\\", "caf\xe9\\"}));
    ui.BtnAjoute->click();
    ASSERT_EQ(ui.RepList->count(), 1);
    EXPECT_EQ(ui.RepList->item(0)->text(), QStringLiteral("D:\\caf") + QChar(QChar::ReplacementCharacter));
    EXPECT_EQ(w->searchPaths(), std::vector<std::string>{"D:\\caf\xe9"});
}

// Ctrl+R on RepList, or its context menu, marks the selected search path as a reference
// folder and back; the list shows it, the search still reads the plain path, and the mark
// follows the path out of the list and back in.
TEST_F(PathSelectionWindowTest, ASearchPathIsMarkedAsAReferenceByKeyOrMenu) {
    pick(at({"D:\\", "DATA\\"}));
    ui.BtnAjoute->click();
    pick(at({"E:\\"}));
    ui.BtnAjoute->click();
    w->show();
    QApplication::setActiveWindow(&*w);
    ui.RepList->setFocus();
    ui.RepList->setCurrentRow(0);
    QTest::keyClick(ui.RepList, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(listTexts(), (QStringList{QStringLiteral("D:\\DATA (référence)"), QStringLiteral("E:")}));
    EXPECT_FALSE(ui.RepList->item(0)->toolTip().isEmpty());
    EXPECT_TRUE(w->session().isReferencePath("D:\\DATA"));
    EXPECT_FALSE(w->session().isReferencePath("E:"));
    EXPECT_EQ(w->searchPaths(), (std::vector<std::string>{"D:\\DATA", "E:"}));

    // The menu opens on the entry under the pointer, its item checked as the entry is.
    auto* menu = w->findChild<QMenu*>(QStringLiteral("RepMenu"));
    ASSERT_NE(menu, nullptr);
    emit ui.RepList->customContextMenuRequested(ui.RepList->visualItemRect(ui.RepList->item(1)).center());
    ASSERT_TRUE(menu->isVisible());
    ASSERT_EQ(menu->actions().size(), 1);
    QAction* item = menu->actions()[0];
    EXPECT_EQ(item->text(), QStringLiteral("Répertoire de &référence (jamais supprimé)"));
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(menu->activeAction(), item);
    item->trigger();
    menu->close();
    EXPECT_EQ(listTexts(), (QStringList{QStringLiteral("D:\\DATA (référence)"), QStringLiteral("E: (référence)")}));
    QApplication::setActiveWindow(&*w);   // the closed menu had it
    ui.RepList->setFocus();
    EXPECT_EQ(ui.RepList->currentRow(), 1);   // the menu selected the entry under the pointer
    QTest::keyClick(ui.RepList, Qt::Key_R, Qt::ControlModifier);
    EXPECT_FALSE(w->session().isReferencePath("E:"));

    // Out of the list and back in: still a reference.
    ui.RepList->setCurrentRow(0);
    ui.BtnEnleve->click();
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("E:")});
    pick(at({"D:\\", "DATA\\"}));
    ui.BtnAjoute->click();
    EXPECT_EQ(listTexts(), (QStringList{QStringLiteral("D:\\DATA (référence)"), QStringLiteral("E:")}));
}

// Records the cursor while the store takes the new nodes of a listing.
struct CursorProbe : TreeListener {
    std::vector<Qt::CursorShape> seen;
    void nodesInserted(NodeId, int, int) override {
        const QCursor* c = QApplication::overrideCursor();
        seen.push_back(c ? c->shape() : Qt::ArrowCursor);
    }
};

TEST_F(PathSelectionWindowTest, ExpandingInTheViewListsUnderTheWaitCursor) {
    CursorProbe probe;
    w->session().viewStores().drives.addListener(&probe);
    ui.DskList->expand(ui.dskModel->indexOf(at({"D:\\"})));
    w->session().viewStores().drives.removeListener(&probe);
    ASSERT_FALSE(probe.seen.empty());   // DATA\ has PHOTOS\ to list
    for (Qt::CursorShape s : probe.seen) EXPECT_EQ(s, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_NE(at({"D:\\", "DATA\\", "PHOTOS\\"}), kNoNode);
}

}  // namespace
