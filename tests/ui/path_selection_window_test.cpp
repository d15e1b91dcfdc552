// The selection page through the window: the drive tree view, the buttons and RepList
// follow the selection logic, and the search reads the list's own bytes back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QKeySequence>
#include <QListWidget>
#include <QMenu>
#include <QTimer>
#include <QtTest/QTest>
#include <QToolButton>
#include <QTreeView>
#include <optional>
#include <string>
#include <vector>

#include "support/UiApplication.h"
#include "support/WindowFixture.h"
#include "support/SelectionDrives.h"
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

// ExcList: DskList's menu puts the selected node in, and BtnEnleve takes out the selected
// entry of the list the user was in last, though a click on the button takes the focus.
TEST_F(PathSelectionWindowTest, TheMenuExcludesAndBtnEnleveActsOnTheListLastInUse) {
    w->show();
    QApplication::setActiveWindow(&*w);
    EXPECT_FALSE(ui.ExcList->isHidden());
    EXPECT_EQ(ui.Exclure->text(), QStringLiteral("&Exclure de la recherche"));
    EXPECT_EQ(ui.DskList->contextMenuPolicy(), Qt::CustomContextMenu);

    pick(at({"D:\\", "DATA\\"}));
    ui.Exclure->trigger();
    pick(at({"E:\\"}));
    ui.Exclure->trigger();
    const auto excTexts = [this] {
        QStringList out;
        for (int i = 0; i < ui.ExcList->count(); ++i) out << ui.ExcList->item(i)->text();
        return out;
    };
    EXPECT_EQ(excTexts(), (QStringList{QStringLiteral("D:\\DATA"), QStringLiteral("E:")}));
    EXPECT_EQ(w->session().exclusions(), (std::vector<std::string>{"D:\\DATA", "E:"}));
    EXPECT_EQ(ui.ExcList->currentRow(), 1);
    // The tree keeps what was excluded; BtnEnleve is on, BtnCherche waits for a search path.
    EXPECT_NE(at({"D:\\", "DATA\\"}), kNoNode);
    EXPECT_TRUE(ui.BtnEnleve->isEnabled());
    EXPECT_FALSE(ui.BtnCherche->isEnabled());

    pick(at({"D:\\"}));
    ui.BtnAjoute->click();
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("D:")});

    // The user picks the first exclusion and clicks BtnEnleve, which takes the focus.
    ui.ExcList->setFocus();
    ui.ExcList->setCurrentRow(0);
    ui.BtnEnleve->setFocus();
    ui.BtnEnleve->click();
    EXPECT_EQ(excTexts(), QStringList{QStringLiteral("E:")});
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("D:")});
    EXPECT_EQ(ui.ExcList->currentRow(), 0);

    // Back in RepList the same button returns the search path to the tree.
    ui.RepList->setFocus();
    ui.BtnEnleve->click();
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_EQ(excTexts(), QStringList{QStringLiteral("E:")});
    EXPECT_NE(at({"D:\\"}), kNoNode);
    EXPECT_TRUE(ui.BtnEnleve->isEnabled());
    EXPECT_FALSE(ui.BtnCherche->isEnabled());

    ui.ExcList->setFocus();
    ui.BtnEnleve->click();
    EXPECT_EQ(ui.ExcList->count(), 0);
    EXPECT_FALSE(ui.BtnEnleve->isEnabled());

    // Right after an exclusion, the focus still in the tree, BtnEnleve takes it back.
    pick(at({"D:\\"}));
    ui.BtnAjoute->click();
    ui.RepList->setFocus();
    ui.DskList->setFocus();
    pick(at({"E:\\"}));
    ui.Exclure->trigger();
    ui.BtnEnleve->click();
    EXPECT_EQ(ui.ExcList->count(), 0);
    EXPECT_EQ(listTexts(), QStringList{QStringLiteral("D:")});
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
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(menu->isVisible());
        ASSERT_EQ(menu->actions().size(), 1);
        QAction* item = menu->actions()[0];
        EXPECT_EQ(item->text(), QStringLiteral("Répertoire de &référence (jamais supprimé)"));
        EXPECT_FALSE(item->isChecked());
        item->trigger();
        menu->close();
    });
    emit ui.RepList->customContextMenuRequested(ui.RepList->visualItemRect(ui.RepList->item(1)).center());
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
