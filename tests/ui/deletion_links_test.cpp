// After a deletion from either tree, the next click on a row moves both trees.
#include <gtest/gtest.h>

#include <QApplication>
#include <QToolButton>
#include <QtTest/QTest>
#include <QTreeView>
#include <filesystem>

#include "platform/Drives.h"
#include "support/TestSupport.h"
#include "support/WindowFixture.h"
#include "ui/EcrPrin.h"
#include "ui/StatusBar.h"

namespace fs = std::filesystem;

namespace parelix {
namespace {

// X\m.txt, X\m9.txt, Y\m.txt and Z\m.txt are equal, and so are P\p.txt and Q\p.txt. After a
// member goes from DblList (Delete, "Oui"), the next click on a row moves both trees: the
// row that took the removed member's place is not left selected unseen, where a click on it
// would raise no change.
class DeletionLinksTest : public test::WindowTest {
protected:
    TreeStore& dirTree() { return window->session().viewStores().results.dirList; }
    TreeStore& dblTree() { return window->session().viewStores().results.dblList; }
    NodeId member(const std::string& tail) {
        for (NodeId g : dblTree().children(kNoNode))
            for (NodeId m : dblTree().children(g))
                if (dblTree().text(m).ends_with(tail)) return m;
        return kNoNode;
    }
    void click(QTreeView* view, NodeId node) {
        const std::optional<QPoint> row = test::rowPoint(view, node);
        ASSERT_TRUE(row.has_value());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, *row);
    }
    void deleteFromDblList(const std::string& tail) {
        const NodeId m = member(tail);
        ASSERT_NE(m, kNoNode) << tail;
        click(ui.DblList, m);
        ASSERT_EQ(dirTree().selected(), dblTree().link(m));
        QApplication::setActiveWindow(window.get());   // keys reach the active window's focus
        QTest::keyClick(ui.DblList, Qt::Key_Delete);
        ASSERT_FALSE(dblTree().isValid(m));
    }
    std::string root() { return *DriveTable::current().toWindows(dir.path()); }

    test::TempDir dir;
    test::WindowControls ui;
};

TEST_F(DeletionLinksTest, TheNextClickAfterADeletionMovesBothTrees) {
    for (const char* f : {"X/m.txt", "X/m9.txt", "Y/m.txt", "Z/m.txt"}) dir.write(f, "same");
    for (const char* f : {"P/p.txt", "Q/p.txt"}) dir.write(f, "pair");
    T_EcrPrin& w = makeShown();
    ui = test::WindowControls(w);
    test::addSearchFolder(w, dir.path());
    QTest::mouseClick(ui.BtnCherche, Qt::LeftButton);
    ASSERT_EQ(dblTree().childCount(kNoNode), 2);

    deleteFromDblList("\\X\\m9.txt");
    EXPECT_EQ(services.questions.size(), 1u);
    EXPECT_FALSE(fs::exists(dir.path() + "/X/m9.txt"));
    EXPECT_EQ(dirTree().text(dirTree().selected()), "--> X");
    EXPECT_EQ(ui.Etat->simpleText().toStdString(), root() + "\\X : un double");
    EXPECT_EQ(dblTree().selected(), kNoNode);
    EXPECT_FALSE(ui.DblList->currentIndex().isValid());

    // Y\m.txt took X\m9.txt's row: a click on it moves DirList and the status bar.
    const NodeId y = member("\\Y\\m.txt");
    click(ui.DblList, y);
    EXPECT_EQ(dblTree().selected(), y);
    EXPECT_EQ(dirTree().selected(), dblTree().link(y));
    EXPECT_EQ(ui.Etat->simpleText().toStdString(), root() + "\\Y\\m.txt");
    EXPECT_FALSE(ui.DirList->property("hideSelection").toBool());

    // A pair dissolved: the other group is not selected in its place, so a click on it hides
    // DirList's highlight as a click on a group does.
    deleteFromDblList("\\P\\p.txt");
    ASSERT_EQ(dblTree().childCount(kNoNode), 1);
    EXPECT_EQ(dblTree().selected(), kNoNode);
    EXPECT_EQ(dirTree().text(dirTree().selected()), "--> P");
    click(ui.DblList, dblTree().firstRoot());
    EXPECT_EQ(dblTree().selected(), dblTree().firstRoot());
    EXPECT_TRUE(ui.DirList->property("hideSelection").toBool());

    // A member that DblList kept while DirList went to a folder gives way once a deletion
    // ends on a node without a counterpart: a click on its row moves DirList to its file.
    click(ui.DblList, y);
    click(ui.DirList, dirTree().parent(dblTree().link(member("\\Z\\m.txt"))));
    ASSERT_EQ(dblTree().selected(), y);
    w.PoubelleDragDrop(ui.DirList);   // the folder Z, on a fixed drive: no question
    EXPECT_FALSE(fs::exists(dir.path() + "/Z"));
    EXPECT_EQ(dblTree().selected(), kNoNode);
    click(ui.DblList, y);
    EXPECT_EQ(dirTree().selected(), dblTree().link(y));
}

}  // namespace
}  // namespace parelix
