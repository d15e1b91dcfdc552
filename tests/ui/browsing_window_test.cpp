// Browsing and deletion through the main window's controls: menu, spin button, trash,
// double clicks, and the two trees' highlights.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>
#include <QTreeView>
#include <filesystem>

#include "platform/Dialogs.h"
#include "platform/Drives.h"
#include "platform/Shell.h"
#include "support/DiskSnapshot.h"
#include "support/FakeResultsSession.h"
#include "support/TestSupport.h"
#include "support/WindowFixture.h"
#include "results/Deletion.h"
#include "results/Messages.h"
#include "ui/EcrPrin.h"
#include "ui/ResultsPage.h"
#include "ui/SpinButton.h"
#include "ui/StatusBar.h"
#include "ui/TrashLabel.h"
#include "ui/TreeModel.h"

namespace fs = std::filesystem;

namespace parelix {
namespace {

test::PrivateTrash trash;   // before GLib first reads XDG_DATA_HOME

//  <temp>          search root
//    --> sub:      a.txt (== b.txt), c.txt
//    b.txt
class ResultsWindowTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        w = &makeShown();
        w->showResultsPage();
        QCoreApplication::processEvents();

        dir.write("sub/a.txt", "same");
        dir.write("sub/c.txt", "other");
        dir.write("b.txt", "same");
        test::TreeBuilder b(w->session().viewStores().results);
        root = b.root(*DriveTable::current().toWindows(dir.path()));
        sub = b.folder(root, "sub");
        a = b.file(sub, "a.txt");
        c = b.file(sub, "c.txt");
        bt = b.file(root, "b.txt");
        group = b.group("4", {a, bt});
        // A collection that found files: PopMenu pops up.
        static_cast<SearchUi&>(w->session()).phaseEnded(SearchPhase::Collection, 1);
    }

    TreeStore& dir_() { return w->session().viewStores().results.dirList; }
    QAction* menuItem(const QString& caption) {
        for (QAction* act : ui.PopMenu->actions())
            if (act->text() == caption) return act;
        return nullptr;
    }
    void clickArrow(bool down) {
        const QPoint at(ui.BtnPrecSuiv->width() / 2, down ? ui.BtnPrecSuiv->height() - 4 : 4);
        const QPoint global = ui.BtnPrecSuiv->mapToGlobal(at);
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(ui.BtnPrecSuiv, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(ui.BtnPrecSuiv, &release);
    }

    test::TempDir dir;
    T_EcrPrin* w = nullptr;
    std::vector<std::string>& questions = services.questions;
    std::vector<std::string>& launched = services.launched;
    bool& launchWorks = services.launchWorks;
    NodeId root, sub, a, c, bt, group;
};

TEST_F(ResultsWindowTest, ContextMenuHoldsItsEntriesInOrder) {
    const QList<QAction*> items = ui.PopMenu->actions();
    ASSERT_EQ(items.size(), 11);
    const char* captions[] = {"Double &Précédent", "Double &Suivant", "", "Supprime les doubles de ce répertoire",
                              "Supprime les doubles de ce répertoire et de ses sous-répertoires",
                              "&Annule le dernier envoi dans la Corbeille",
                              "", "Tout &Déplier", "Tout &Replier", "", "Enregistre la liste des doubles…"};
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(items[i]->isSeparator(), captions[i][0] == '\0') << i;
        if (!items[i]->isSeparator()) {
            EXPECT_EQ(items[i]->text(), QString::fromUtf8(captions[i]));
        }
    }

    ui.DirList->setFocus();
    dir_().select(root);
    menuItem(QStringLiteral("Double &Suivant"))->trigger();
    EXPECT_EQ(dir_().selected(), a);
    EXPECT_TRUE(ui.DirList->currentIndex() == ui.dirModel->indexOf(a));
    menuItem(QStringLiteral("Tout &Replier"))->trigger();
    EXPECT_FALSE(dir_().isExpanded(root));
    EXPECT_EQ(dir_().imageIndex(root), kImgFolderMarked);
    menuItem(QStringLiteral("Tout &Déplier"))->trigger();
    EXPECT_TRUE(dir_().isExpanded(sub));
    EXPECT_FALSE(QApplication::overrideCursor());   // the wait cursor was given back
}

// The list is saved from the menu, and by Ctrl+S from either tree of the results; the key
// does nothing on the selection page.
TEST_F(ResultsWindowTest, TheListIsSavedFromTheMenuAndByCtrlS) {
    QAction* save = menuItem(QStringLiteral("Enregistre la liste des doubles…"));
    ASSERT_TRUE(save);
    EXPECT_EQ(save->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    test::TempDir out;
    services.savePath = out.path() + "/doubles.csv";
    save->trigger();
    EXPECT_EQ(services.saveDialogs.size(), 1u);
    EXPECT_NE(test::readFile(out.path() + "/doubles.csv").find("\\sub\\a.txt"), std::string::npos);
    EXPECT_TRUE(test::lastLogLine(*w).startsWith(QStringLiteral("Liste des doubles enregistrée dans ")));

    w->activateWindow();
    for (QTreeView* tree : {ui.DirList, ui.DblList}) {
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_S, Qt::ControlModifier);
    }
    EXPECT_EQ(services.saveDialogs.size(), 3u);
    w->BtnStopRtnClick();   // back to the selection
    ASSERT_TRUE(ui._PanSel->isVisible());
    ui.RepList->setFocus();
    QTest::keyClick(ui.RepList, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(services.saveDialogs.size(), 3u);
}

TEST_F(ResultsWindowTest, SpinButtonStepsTheFocusedTreeAndKeepsItsFocus) {
    ui.DirList->setFocus();
    dir_().select(root);
    clickArrow(true);
    EXPECT_EQ(dir_().selected(), a);
    clickArrow(true);
    EXPECT_EQ(dir_().selected(), bt);
    clickArrow(false);
    EXPECT_EQ(dir_().selected(), a);
    EXPECT_EQ(w->focusWidget(), ui.DirList);

    // The counterpart follows, and stays highlighted while DirList has the focus.
    EXPECT_EQ(w->session().trees().dblList.selected(), dir_().link(a));
    EXPECT_FALSE(ui.DblList->property("hideSelection").toBool());
    EXPECT_EQ(ui.Etat->simpleText().toStdString(), dir_().text(root) + "\\sub\\a.txt");
    dir_().select(c);
    EXPECT_TRUE(ui.DblList->property("hideSelection").toBool());

    // Focus elsewhere: nothing moves.
    ui.Infos->setFocus();
    clickArrow(true);
    EXPECT_EQ(dir_().selected(), c);
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The walk holds the window-update lock across its log lines: each line is painted as it
// comes, and the window paints again afterwards.
TEST_F(ResultsWindowTest, DeletingTheDuplicatesOfAFolderPaintsEachLogLine) {
    ui.DirList->setFocus();
    dir_().select(sub);
    QCoreApplication::processEvents();

    PaintCounter counter;
    ui.Infos->viewport()->installEventFilter(&counter);
    ui.Infos->viewport()->update();   // a repaint waits when the walk starts
    menuItem(QStringLiteral("Supprime les doubles de ce répertoire"))->trigger();
    ASSERT_FALSE(dir_().isValid(a));
    ASSERT_EQ(ui.Infos->count(), 1);
    EXPECT_GT(counter.paints, 0);   // during the walk
    ASSERT_TRUE(w->updatesEnabled());
    EXPECT_TRUE(ui.DirList->updatesEnabled());
    EXPECT_TRUE(ui.DblList->updatesEnabled());
    EXPECT_EQ(ui.dirModel->nodeOf(ui.DirList->currentIndex()), dir_().selected());

    QCoreApplication::processEvents();
    counter.paints = 0;
    ui.Infos->viewport()->update();
    QCoreApplication::processEvents();
    EXPECT_GT(counter.paints, 0);
}

// The tree walk from the menu: one question, Non by answer sends nothing; Oui sends b.txt,
// which comes after sub/a.txt in the tree, and a.txt stays.
TEST_F(ResultsWindowTest, TheTreeWalkAsksFirstThenSendsTheLaterCopies) {
    ui.DirList->setFocus();
    dir_().select(root);
    services.answer = false;
    QAction* item = menuItem(QStringLiteral("Supprime les doubles de ce répertoire et de ses sous-répertoires"));
    ASSERT_NE(item, nullptr);
    item->trigger();
    const std::string folder = fs::path(dir.path()).filename().string();
    EXPECT_EQ(questions, (std::vector<std::string>{treeWalkQuestion(1, 4, folder, false)}));
    EXPECT_TRUE(fs::exists(dir.path() + "/b.txt"));
    EXPECT_EQ(ui.Infos->count(), 0);

    // Ten more pairs in the folder, and a log long enough to scroll: the walk's lines come
    // faster than they are painted.
    test::TreeBuilder b(w->session().viewStores().results);
    for (int i = 0; i < 10; ++i) {
        const std::string name = "p" + std::to_string(i);
        dir.write(name + "-1", name);
        dir.write(name + "-2", name);
        b.group("2", {b.file(root, name + "-1"), b.file(root, name + "-2")});
    }
    // Among them the widest line, with accents and a script whose advances are not kept.
    const std::string widest = "Effacement de C:\\Données\\été\\Ωμέγα\\写真\\une ligne bien plus large que les autres.jpg";
    for (int i = 0; i < 40; ++i)
        static_cast<SearchUi&>(w->session()).logLine(i == 7 ? widest : "ligne " + std::to_string(i));
    services.answer = true;
    item->trigger();
    EXPECT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[1], treeWalkQuestion(11, 24, folder, false));
    EXPECT_FALSE(fs::exists(dir.path() + "/b.txt"));
    EXPECT_TRUE(fs::exists(dir.path() + "/sub/a.txt"));
    EXPECT_FALSE(dir_().isValid(bt));
    EXPECT_EQ(dir_().link(a), kNoNode);
    ASSERT_EQ(ui.Infos->count(), 51);
    // The walk's last line is in view once it has ended.
    QListWidgetItem* last = ui.Infos->item(50);
    EXPECT_TRUE(last->text().startsWith(QStringLiteral("Effacement de ")));
    const QRect lastRect = ui.Infos->visualItemRect(last);
    EXPECT_TRUE(lastRect.top() >= 0 && lastRect.bottom() <= ui.Infos->viewport()->rect().bottom())
        << "the last line is out of view";
    EXPECT_EQ(ui.Infos->currentItem(), last);
    EXPECT_TRUE(ui.Infos->selectedItems().isEmpty());
    {
        // Every line is as wide as the widest as the style measures it, so it scrolls into view.
        QListWidget measure;
        measure.setFont(ui.Infos->font());
        measure.addItem(QString::fromStdString(widest));
        const int styled = measure.sizeHintForIndex(measure.model()->index(0, 0)).width();
        const int drawn = ui.Infos->visualItemRect(ui.Infos->item(7)).width();
        EXPECT_GE(drawn, styled);
        EXPECT_LE(drawn, styled + 4);
        EXPECT_EQ(ui.Infos->visualItemRect(last).width(), drawn);
    }
    EXPECT_EQ(dir_().selected(), root);
    EXPECT_TRUE(w->updatesEnabled());
    EXPECT_FALSE(QApplication::overrideCursor());

    // Nothing left: one box says so, nothing is asked.
    item->trigger();
    EXPECT_EQ(questions.size(), 2u);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, kNothingInTree);
}

// A reference folder's rows say so in their hints, and the trash refuses them.
TEST_F(ResultsWindowTest, AReferenceFolderIsToldApartAndRefused) {
    w->session().markReference(dir_().text(root), true);
    const QString hint = ui.dirModel->indexOf(a).data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(hint.endsWith(QString::fromUtf8(kReferenceRowHint))) << hint.toStdString();
    const QString member = ui.dblModel->indexOf(dir_().link(bt)).data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(member.endsWith(QString::fromUtf8(kReferenceRowHint))) << member.toStdString();

    QApplication::setActiveWindow(w);   // keys reach the active window's focus
    ui.DirList->setFocus();
    dir_().select(a);
    QTest::keyClick(ui.DirList, Qt::Key_Delete);
    w->PoubelleClick();
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(fs::exists(dir.path() + "/sub/a.txt"));
    EXPECT_EQ(services.errors(), (std::vector<std::string>{referenceRefusal("a.txt"), referenceRefusal("a.txt")}));

    w->session().markReference(dir_().text(root), false);
    EXPECT_FALSE(ui.dirModel->indexOf(a).data(Qt::ToolTipRole).toString().contains(QString::fromUtf8(kReferenceRowHint)));
}

TEST_F(ResultsWindowTest, DropOnTheTrashSendsTheSelectedNodeAway) {
    EXPECT_TRUE(w->PoubelleDragOver(ui.DirList));
    EXPECT_FALSE(w->PoubelleDragOver(ui.TitreInfos));
    EXPECT_FALSE(w->PoubelleDragOver(nullptr));

    // Another Parelix process deletes: the drop waits, says so in the status bar, and Escape
    // gives it up, the input being held meanwhile. Nothing goes, nothing is logged.
    const int other = ::open(services.deletionLockFiles().front().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    std::string waiting;
    QTimer::singleShot(50, ui.DirList, [&] {
        waiting = ui.Etat->simpleText().toStdString();
        QTest::keyClick(ui.DirList, Qt::Key_Escape);
    });
    QTimer::singleShot(5000, ui.DirList, [&] { ::flock(other, LOCK_UN); });   // a wait Escape missed ends, and fails below
    dir_().select(a);
    ui.Poubelle->dropped(ui.DirList);
    QCoreApplication::processEvents();
    ::close(other);
    EXPECT_EQ(waiting, kWaitingStatus + dir_().text(root) + "\\sub\\a.txt");
    EXPECT_TRUE(fs::exists(dir.path() + "/sub/a.txt"));
    EXPECT_EQ(ui.Infos->count(), 0);

    ui.Poubelle->dropped(ui.DirList);
    QCoreApplication::processEvents();
    EXPECT_TRUE(questions.empty());
    EXPECT_FALSE(fs::exists(dir.path() + "/sub/a.txt"));
    EXPECT_TRUE(fs::exists(trash.base() + "/data/Trash/files/a.txt"));
    EXPECT_FALSE(dir_().isValid(a));
    EXPECT_TRUE(w->session().trees().dblList.empty());
    EXPECT_EQ(dir_().link(bt), kNoNode);
    ASSERT_EQ(ui.Infos->count(), 1);
    EXPECT_EQ(ui.Infos->item(0)->text().toStdString(), "Effacement de " + dir_().text(root) + "\\sub\\a.txt");
    EXPECT_EQ(dir_().selected(), sub);   // the file's folder, the file gone
    EXPECT_TRUE(w->updatesEnabled());
    EXPECT_FALSE(QApplication::overrideCursor());
    // The figures below DblList's title follow the deletion, for the eye and for a screen
    // reader (the label's text, and DblList's description).
    const QString figures = QStringLiteral("Copies en trop\u00A0: 0 (0\u00A0octet) — Libéré\u00A0: 4\u00A0octets");
    EXPECT_EQ(ui.EspaceDblList->text(), figures);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(ui.EspaceDblList)->text(QAccessible::Name), figures);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(ui.DblList)->text(QAccessible::Description), figures);

    // Ctrl+Z takes it back: the file at its place, its node in its folder and its group
    // again, and nothing freed any more.
    QApplication::setActiveWindow(w);
    ui.DirList->setFocus();
    QTest::keyClick(ui.DirList, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(test::readFile(dir.path() + "/sub/a.txt"), "same");
    EXPECT_EQ(test::trashedPaths(trash.info()).count(dir.path() + "/sub/a.txt"), 0u);
    const TreeStore& dbl = w->session().trees().dblList;
    ASSERT_TRUE(dir_().isValid(a));
    EXPECT_EQ(dir_().parent(a), sub);
    EXPECT_EQ(dir_().row(a), 0);
    ASSERT_NE(dir_().link(a), kNoNode);
    EXPECT_EQ(dbl.parent(dir_().link(a)), dbl.parent(dir_().link(bt)));
    EXPECT_EQ(dir_().imageIndex(bt), kImgFileMarked);
    EXPECT_EQ(ui.dirModel->indexOf(a).data(Qt::DisplayRole).toString(), QStringLiteral("a.txt"));
    EXPECT_EQ(ui.Infos->item(ui.Infos->count() - 1)->text().toStdString(),
              "Remis en place\u00A0: " + dir_().text(root) + "\\sub\\a.txt");
    EXPECT_EQ(ui.EspaceDblList->text(), QStringLiteral("Copies en trop\u00A0: 1 (4\u00A0octets)"));
    EXPECT_FALSE(QApplication::overrideCursor());

    // The menu's item, as a screen reader reads it, and nothing more to take back.
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(ui.PopMenu);
    ASSERT_TRUE(menu && menu->childCount() == 11);
    EXPECT_EQ(menu->child(5)->text(QAccessible::Name), QStringLiteral("Annule le dernier envoi dans la Corbeille"));
    EXPECT_EQ(menuItem(QStringLiteral("&Annule le dernier envoi dans la Corbeille"))->shortcut(),
              QKeySequence(QStringLiteral("Ctrl+Z")));
    menuItem(QStringLiteral("&Annule le dernier envoi dans la Corbeille"))->trigger();
    ASSERT_EQ(services.shown.size(), 1u);
    EXPECT_EQ(services.shown[0].text, "Aucun envoi dans la Corbeille à annuler.");
}

TEST_F(ResultsWindowTest, TrashClickAsksAndDoubleClickOpens) {
    ui.DblList->setFocus();
    w->session().viewStores().results.dblList.select(group);
    w->PoubelleClick();   // a group node: nothing
    EXPECT_TRUE(questions.empty());

    w->session().viewStores().results.dblList.select(dir_().link(bt));
    emit ui.DblList->doubleClicked(ui.DblList->currentIndex());
    EXPECT_EQ(launched, (std::vector<std::string>{dir.path() + "/b.txt"}));

    launchWorks = false;
    dir_().select(c);
    emit ui.DirList->doubleClicked(ui.DirList->currentIndex());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "There is no application associated with the given filename extension.");
    EXPECT_EQ(shown[0].kind, MessageKind::Plain);

    // A double click beside the nodes opens the selected node all the same, once: below
    // the last row (no node there), and in a row's band right of its text (the row spans
    // the view: the view signals it).
    auto doubleClickBeside = [](QTreeView* view, int y) {
        const QPoint at(view->viewport()->width() - 3, y);
        const QPoint global = view->viewport()->mapToGlobal(at);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                                  QEvent::MouseButtonRelease}) {
            const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
            QMouseEvent event(type, at, global, Qt::LeftButton, held, Qt::NoModifier);
            QCoreApplication::sendEvent(view->viewport(), &event);
        }
    };
    launchWorks = true;
    launched.clear();
    doubleClickBeside(ui.DirList, ui.DirList->viewport()->height() - 3);
    EXPECT_EQ(launched, (std::vector<std::string>{dir.path() + "/sub/c.txt"}));
    w->session().viewStores().results.dblList.select(dir_().link(bt));
    doubleClickBeside(ui.DblList, ui.DblList->viewport()->height() - 3);
    EXPECT_EQ(launched, (std::vector<std::string>{dir.path() + "/sub/c.txt", dir.path() + "/b.txt"}));
    launched.clear();
    doubleClickBeside(ui.DblList, ui.DblList->visualRect(ui.DblList->currentIndex()).center().y());
    EXPECT_EQ(launched, (std::vector<std::string>{dir.path() + "/b.txt"}));
    EXPECT_EQ(w->session().trees().dblList.selected(), dir_().link(bt));

    ui.DblList->setFocus();
    w->session().viewStores().results.dblList.select(dir_().link(bt));
    w->PoubelleClick();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], "Voulez-vous vraiment envoyer «\u00A0b.txt\u00A0» dans la Corbeille\u00A0?\nDans " + dir_().text(root));
    EXPECT_FALSE(fs::exists(dir.path() + "/b.txt"));
    EXPECT_FALSE(dir_().isValid(bt));
    EXPECT_EQ(dir_().link(a), kNoNode);
}

// The sort's log line runs an event turn with neither phase flag set; the collection's
// records still name DirList's nodes then, and a deletion would leave a group member linked
// to a freed node. No way to the trash works until "Fini !".
TEST_F(ResultsWindowTest, NoDeletionFromTheSearchRunsFirstLineToFini) {
    const std::string searched = dir_().text(root);
    test::addSearchPath(*w, searched);
    auto fileNamed = [this](const std::string& name) {
        for (NodeId n : dir_().children(dir_().firstRoot()))
            if (dir_().text(n) == name) return n;
        return kNoNode;
    };

    std::vector<std::string> triedAt;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        const std::string last = test::lastLogLine(*w).toStdString();
        if (last.empty() || (!triedAt.empty() && triedAt.back() == last) || fileNamed("b.txt") == kNoNode) return;
        if (last == "Fini !") return;
        triedAt.push_back(last);
        dir_().select(fileNamed("b.txt"));
        ui.DirList->setFocus();
        w->PoubelleClick();
        w->PoubelleDragDrop(ui.DirList);
        w->SupDblsDuRepClick();
    });
    user.start(0);
    w->BtnChercheClick();
    user.stop();

    EXPECT_NE(std::find(triedAt.begin(), triedAt.end(), "Tri des fichiers par taille"), triedAt.end());
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(fs::exists(dir.path() + "/b.txt"));
    for (int i = 0; i < ui.Infos->count(); ++i) EXPECT_FALSE(ui.Infos->item(i)->text().startsWith("Effacement"));
    ASSERT_EQ(w->session().trees().dblList.childCount(kNoNode), 1);

    // Once the run is over the same drop goes through.
    dir_().select(fileNamed("b.txt"));
    w->PoubelleDragDrop(ui.DirList);
    EXPECT_FALSE(fs::exists(dir.path() + "/b.txt"));
    EXPECT_TRUE(w->session().trees().dblList.empty());
}

// Rows show while the run goes on; a row clicked then, a moment before "Fini !", stays
// selected: the run's own choice of the first root does not undo the click.
TEST_F(ResultsWindowTest, ARowClickedWhileTheRunEndsKeepsTheSelection) {
    const std::string searched = dir_().text(root);
    test::addSearchPath(*w, searched);
    NodeId clicked = kNoNode;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (clicked != kNoNode || test::lastLogLine(*w) != QStringLiteral("Tri des fichiers par taille")) return;
        ui.dirModel->flush();   // the batch the user sees
        const NodeId top = dir_().firstRoot();
        ui.DirList->expand(ui.dirModel->indexOf(top));
        for (NodeId n : dir_().children(top))
            if (dir_().text(n) == "b.txt") clicked = n;
        const QRect row = ui.DirList->visualRect(ui.dirModel->indexOf(clicked));
        QTest::mouseClick(ui.DirList->viewport(), Qt::LeftButton, {}, row.center());
        ASSERT_EQ(dir_().selected(), clicked);
    });
    user.start(0);
    w->BtnChercheClick();
    user.stop();

    ASSERT_NE(clicked, kNoNode);
    EXPECT_EQ(test::lastLogLine(*w), QStringLiteral("Fini !"));
    EXPECT_EQ(dir_().selected(), clicked);
    EXPECT_EQ(w->session().trees().dblList.selected(), dir_().link(clicked));
    EXPECT_EQ(ui.Etat->simpleText().toStdString(), searched + "\\b.txt");
    EXPECT_EQ(w->focusWidget(), ui.DirList);

    // Without a click the run leaves the first root selected.
    user.disconnect();
    w->BtnChercheClick();
    EXPECT_EQ(dir_().selected(), dir_().firstRoot());
}

// While the comparison reads a long pair, a member of the group found before it is clicked,
// then its file's row in DirList, already current through the link: the last click's tree
// keeps the focus. A member clicked alone stays selected, and DblList keeps the focus.
TEST_F(ResultsWindowTest, TheTreeClickedLastDuringTheComparisonKeepsTheFocus) {
    test::addSearchPath(*w, dir_().text(root));
    QTimer user;
    for (const char* big : {"p1", "p2", "q1", "q2"}) fs::resize_file(dir.write(big, ""), (big[0] == 'p' ? 64u : 63u) << 20);
    auto click = [](QTreeView* view, NodeId node) {
        const std::optional<QPoint> row = test::rowPoint(view, node);
        ASSERT_TRUE(row.has_value());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, *row);
    };
    NodeId file = kNoNode;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (file != kNoNode || !w->session().engine().comparing() || w->session().trees().dblList.empty()) return;
        ui.dblModel->flush();
        const NodeId member = w->session().trees().dblList.firstChild(w->session().trees().dblList.firstRoot());
        click(ui.DblList, member);
        file = w->session().trees().dblList.link(member);
        ASSERT_EQ(dir_().selected(), file);
        ui.dirModel->flush();
        click(ui.DirList, file);
        ASSERT_EQ(w->focusWidget(), ui.DirList);
    });
    user.start(0);
    w->BtnChercheClick();
    user.stop();
    ASSERT_NE(file, kNoNode);
    EXPECT_EQ(dir_().selected(), file);
    EXPECT_EQ(w->focusWidget(), ui.DirList);

    // A member clicked during the comparison, and nothing after: it stays selected, with its
    // file in DirList, and DblList keeps the focus.
    NodeId member = kNoNode;
    user.disconnect();
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (member != kNoNode || !w->session().engine().comparing() || w->session().trees().dblList.empty()) return;
        ui.dblModel->flush();
        member = w->session().trees().dblList.firstChild(w->session().trees().dblList.firstRoot());
        click(ui.DblList, member);
    });
    user.start(0);
    w->BtnChercheClick();
    user.stop();
    ASSERT_NE(member, kNoNode);
    EXPECT_EQ(w->session().trees().dblList.selected(), member);
    EXPECT_EQ(dir_().selected(), w->session().trees().dblList.link(member));
    EXPECT_EQ(w->focusWidget(), ui.DblList);
}

}  // namespace
}  // namespace parelix
