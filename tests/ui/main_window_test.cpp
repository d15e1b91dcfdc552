// The main window: what it shows at start, its page switches, pane sizes and drags,
// closing, the version refusal, and errors escaping handlers (a run: main_window_run_test).
#include <gtest/gtest.h>

#include <QAccessible>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>
#include <unistd.h>

#include "platform/Dialogs.h"
#include "platform/Drives.h"
#include "platform/System.h"
#include "platform/WorkFile.h"
#include "support/TestSupport.h"
#include "support/WindowFixture.h"
#include "ui/EcrPrin.h"
#include "ui/PaintSpacing.h"
#include "ui/PaneLayout.h"
#include "ui/ProgressBar.h"
#include "ui/SpinButton.h"
#include "ui/StatusBar.h"
#include "ui/TrashLabel.h"
#include "ui/TreeModel.h"

namespace parelix {
namespace {

namespace fs = std::filesystem;

using test::dragEnter;
using test::paneEnter;
using test::paneMove;
using MainWindow = test::WindowTest;

// Every control answers to its own name, and to no other's: tests, the display tests and
// the accessibility tools find them so.
void expectEachControlNamedOnce(const T_EcrPrin& w) {
    for (const char* name : {"_PanSel", "PanelDskList", "TitreDskList", "DskList", "PanelBoutons", "BtnAjoute",
                             "BtnEnleve", "BtnRevoir", "BtnCherche", "BtnQuitte", "PanelRepList", "TitreRepList",
                             "RepList", "TitreExcList", "ExcList", "_PanRes", "PanelDirList", "TitreDirList",
                             "DirList", "SepVRes", "PanelDblList", "ToolBar1", "Poubelle", "BtnPrecSuiv",
                             "BtnStopRtn", "TitreDblList", "EspaceDblList", "DblList", "TitreInfos", "Infos", "Progress", "Etat",
                             "PopMenu", "PopMenuDsk"})
        EXPECT_EQ(w.findChildren<QWidget*>(QString::fromLatin1(name)).size(), 1) << name;
}

void expectButtonColumnAsDesigned(const T_EcrPrin& w) {
    struct Expected {
        const char* name;
        QString caption;
        QString hint;
        bool enabled;
        bool hidden;
    } buttons[] = {
        {"BtnAjoute", "&Ajoute", "Ajoute le chemin sélectionné (à gauche) dans la liste (à droite)", true, false},
        {"BtnEnleve", "&Enlève", "Ote de la liste (à droite) le chemin sélectionné", false, false},
        {"BtnRevoir", "&Revoir", "Revenir aux résultats précédents", true, true},
        {"BtnCherche", "&Cherche", "Lance la recherche des doubles", false, false},
        {"BtnQuitte", "&Quitte", "Quitte le programme. A bientôt !", true, false},
    };
    for (const auto& e : buttons) {
        SCOPED_TRACE(e.name);
        auto* b = w.findChild<QToolButton*>(QString::fromLatin1(e.name));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text(), e.caption);
        EXPECT_EQ(b->toolTip(), e.hint);
        EXPECT_EQ(b->isEnabled(), e.enabled);
        EXPECT_EQ(b->isHidden(), e.hidden);
        EXPECT_EQ(b->size(), QSize(47, 40));
        EXPECT_EQ(b->accessibleName(), QString(e.caption).remove(QLatin1Char('&')));
        EXPECT_FALSE(b->icon().isNull());
    }
}

void expectTitlesAsDesigned(const T_EcrPrin& w) {
    const std::pair<const char*, QString> titles[] = {
        {"TitreDskList", "Disques / répertoire du système"},
        {"TitreRepList", "Disques / répertoires où chercher"},
        {"TitreDirList", "Disques / Répertoires"},
        {"TitreDblList", "Fichiers dupliqués"},
        {"TitreInfos", "Compte-rendu des opérations"},
        {"TitreExcList", "Disques / répertoires / fichiers à exclure"},
    };
    for (const auto& [name, text] : titles) {
        auto* label = w.findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text(), text);
    }
}

TEST_F(MainWindow, StartsOnTheSelectionPageWithItsControlsAsDesigned) {
    T_EcrPrin& w = make();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Parelix - Sélection des chemins à scruter"));
    EXPECT_EQ(w.width(), 640);
    EXPECT_EQ(w.height(), 497);
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_FALSE(ui._PanSel->isHidden());
    EXPECT_TRUE(ui._PanRes->isHidden());
    EXPECT_FALSE(w.startupRefused());
    EXPECT_TRUE(shown.empty());
    expectEachControlNamedOnce(w);
    expectButtonColumnAsDesigned(w);
    expectTitlesAsDesigned(w);
    EXPECT_EQ(ui.DskList->accessibleName(), ui.TitreDskList->text());
    EXPECT_EQ(ui.DirList->accessibleName(), ui.TitreDirList->text());
    EXPECT_EQ(ui.Infos->accessibleName(), ui.TitreInfos->text());
    EXPECT_FALSE(ui.TitreExcList->isHidden());
    EXPECT_FALSE(ui.ExcList->isHidden());
    EXPECT_EQ(ui.ExcList->accessibleName(), ui.TitreExcList->text());
    EXPECT_EQ(ui.RepList->accessibleName(), ui.TitreRepList->text());
    EXPECT_TRUE(ui.Progress->isHidden());
    EXPECT_EQ(ui.Progress->maximum(), 100);
    EXPECT_EQ(ui.BtnStopRtn->text(), QStringLiteral("Arrêter la recheche"));
    EXPECT_EQ(ui.BtnPrecSuiv->toolTip(), QStringLiteral("Trouve le double précédent/suivant"));
    EXPECT_EQ(ui.Poubelle->accessibleName(), QStringLiteral("Corbeille"));
    EXPECT_EQ(ui.DskList->indentation(), 18);
    EXPECT_EQ(ui.DirList->indentation(), 19);
    EXPECT_FALSE(ui.DskList->rootIsDecorated());
    EXPECT_FALSE(w.session().popupEnabled());
    EXPECT_EQ(ui.Etat->panelWidth(0), 313);
    EXPECT_EQ(ui.Etat->panelWidth(1), 50);
    EXPECT_FALSE(ui.Etat->panelMode());
    EXPECT_FALSE(w.session().engine().collecting());
    EXPECT_FALSE(w.session().engine().comparing());
    // 200 / 640 is 312.5 per mille: ties go to the even neighbour.
    EXPECT_EQ(w.dirWidthRatio(), 312);
    EXPECT_EQ(w.logSplitRatio(), 539);
}

TEST_F(MainWindow, ButtonColumnFollowsItsHeightAndBtnRevoir) {
    T_EcrPrin& w = makeShown();
    const int h = ui.PanelBoutons->height();
    ASSERT_GE(h, 58 * 5 + 42);
    EXPECT_EQ(ui.BtnAjoute->y(), 30);
    EXPECT_EQ(ui.BtnEnleve->y(), 88);
    EXPECT_EQ(ui.BtnQuitte->y(), h - 70);
    EXPECT_EQ(ui.BtnCherche->y(), h - 128);

    // A window too low for the arrangement spreads the four buttons evenly.
    w.resize(640, 250);
    QCoreApplication::processEvents();
    const int low = ui.PanelBoutons->height();
    ASSERT_LT(low, 58 * 4 + 42);
    const int gap = std::max(0, low - 160) / 5;
    EXPECT_EQ(ui.BtnAjoute->y(), gap);
    EXPECT_EQ(ui.BtnQuitte->y(), gap + 3 * ((low - gap) / 4));
}

// ExcList and its title stand below RepList: RepList at its design height while the window
// has room, and in a low window short enough that the exclusion list stays in sight.
TEST_F(MainWindow, TheExclusionListStaysInSightBelowTheSearchList) {
    T_EcrPrin& w = makeShown();
    auto expectStacked = [&](int height) {
        SCOPED_TRACE("window " + std::to_string(height) + " high");
        w.resize(640, height);
        QCoreApplication::processEvents();
        const QRect rep = ui.RepList->geometry();
        const QRect title = ui.TitreExcList->geometry();
        const QRect exc = ui.ExcList->geometry();
        EXPECT_LT(ui.TitreRepList->geometry().bottom(), rep.top());
        EXPECT_LT(rep.bottom(), title.top());
        EXPECT_GE(title.height(), ui.TitreExcList->sizeHint().height());
        EXPECT_LT(title.bottom(), exc.top());
        EXPECT_LE(exc.bottom(), ui.PanelRepList->contentsRect().bottom());
        EXPECT_GE(exc.height(), 40);
    };
    expectStacked(497);
    EXPECT_EQ(ui.RepList->height(), 282);
    expectStacked(300);
    expectStacked(250);
    expectStacked(497);
    EXPECT_EQ(ui.RepList->height(), 282);
}

// Stop's roles in a run are the session's (SessionActs); without a run it goes back to the
// selection, which shows BtnRevoir from then on.
TEST_F(MainWindow, StopWithoutARunReturnsToTheSelectionWithBtnRevoir) {
    T_EcrPrin& w = makeShown();
    w.showResultsPage();
    EXPECT_TRUE(ui.BtnRevoir->isHidden());
    w.BtnStopRtnClick();
    EXPECT_FALSE(ui._PanSel->isHidden());
    EXPECT_TRUE(ui._PanRes->isHidden());
    EXPECT_FALSE(ui.BtnRevoir->isHidden());
    // The column made room for the fifth button.
    EXPECT_EQ(ui.BtnRevoir->y(), ui.BtnCherche->y() - 58);
    EXPECT_EQ(ui.BtnQuitte->y(), ui.PanelBoutons->height() - 70);

    w.BtnRevoirClick();
    EXPECT_FALSE(ui._PanRes->isHidden());
    EXPECT_TRUE(ui._PanSel->isHidden());
}

TEST_F(MainWindow, ResizingKeepsTheShareOfTheDirectoryTreeAndOfTheDuplicatesTree) {
    T_EcrPrin& w = makeShown();
    w.showResultsPage();
    // Sizes are outer sizes, frame included.
    const QSize frame = w.frameGeometry().size() - w.size();
    auto resizeOuter = [&](int width, int height) {
        w.resize(width - frame.width(), height - frame.height());
        QCoreApplication::processEvents();
    };
    resizeOuter(800, 500);
    ASSERT_EQ(w.frameGeometry().size(), QSize(800, 500));
    EXPECT_EQ(ui.PanelDirList->width(), 249);   // 312 * 800 / 1000, truncated
    EXPECT_EQ(ui.DblList->height(), 270);       // 500 * 539 / 1000 = 269.5, rounded up

    // Moving the splitter sets a new ratio, which the next resize follows.
    const int room = ui.SepVRes->width() - ui.SepVRes->handleWidth();
    ui.SepVRes->setSizes({216, room - 216});
    resizeOuter(640, 500);
    ui.SepVRes->setSizes({216, ui.SepVRes->width() - ui.SepVRes->handleWidth() - 216});
    ASSERT_EQ(ui.PanelDirList->width(), 216);
    emit ui.SepVRes->splitterMoved(216, 1);   // as a move by the user tells it
    EXPECT_EQ(w.dirWidthRatio(), 338);           // 337.5 to even
    resizeOuter(1000, 500);
    EXPECT_EQ(ui.PanelDirList->width(), 338);

    // The sizes set while the selection page shows appear with the results page.
    w.BtnStopRtnClick();   // no run: back to the selection
    resizeOuter(700, 600);
    w.showResultsPage();
    QCoreApplication::processEvents();
    EXPECT_EQ(ui.PanelDirList->width(), 236);   // 338 * 700 / 1000
    EXPECT_EQ(ui.DblList->height(), 323);       // 323.4
}

TEST_F(MainWindow, DraggingTheButtonColumnHidesItsButtonsAndResizesTheDriveTree) {
    makeShown();
    for (bool revoirVisible : {false, true}) {
        SCOPED_TRACE(revoirVisible);
        ui.BtnRevoir->setVisible(revoirVisible);
        test::paneDragOf(ui.PanelBoutons)->begin(QPoint(30, 100));
        for (QToolButton* b : {ui.BtnAjoute, ui.BtnEnleve, ui.BtnRevoir, ui.BtnCherche, ui.BtnQuitte})
            EXPECT_TRUE(b->isHidden()) << b->objectName().toStdString();

        // Over the drive tree the panel takes the pointer's x in the tree.
        const QPoint inTree(150, 40);
        EXPECT_TRUE(paneEnter(ui.DskList->viewport(), inTree, "PanelBoutons"));
        EXPECT_EQ(ui.PanelDskList->width(), ui.DskList->viewport()->mapTo(ui.DskList, inTree).x());
        // Over the column itself it moves by the distance from the start point.
        const int before = ui.PanelDskList->width();
        EXPECT_TRUE(paneEnter(ui.PanelBoutons, QPoint(30, 100), "PanelBoutons"));
        EXPECT_EQ(ui.PanelDskList->width(), before);
        EXPECT_TRUE(paneMove(ui.PanelBoutons, QPoint(40, 100), "PanelBoutons"));
        EXPECT_EQ(ui.PanelDskList->width(), before + 10);
        // Over the search list the column's left edge follows the pointer.
        EXPECT_TRUE(paneEnter(ui.PanelRepList, QPoint(20, 100), "PanelBoutons"));
        EXPECT_EQ(ui.PanelDskList->width(), before + 10 + 20 + 60 - 30);
        // The column's drag means nothing to the log.
        EXPECT_FALSE(paneEnter(ui.TitreInfos, QPoint(5, 5), "PanelBoutons"));

        test::paneDragOf(ui.PanelBoutons)->end();
        for (QToolButton* b : {ui.BtnAjoute, ui.BtnEnleve, ui.BtnCherche, ui.BtnQuitte}) EXPECT_FALSE(b->isHidden());
        EXPECT_EQ(ui.BtnRevoir->isHidden(), !revoirVisible);
    }
}

TEST_F(MainWindow, DraggingTheLogTitleResizesTheDuplicatesTreeAndNothingElseIsAccepted) {
    T_EcrPrin& w = makeShown();
    w.showResultsPage();
    QCoreApplication::processEvents();
    const int before = ui.DblList->height();

    // A node dragged out of DirList over the log title is refused and resizes nothing.
    EXPECT_FALSE(dragEnter(ui.TitreInfos, QPoint(10, 5), QString::fromLatin1(TreeModel::kNodeMimeType), "0"));
    EXPECT_EQ(ui.DblList->height(), before);
    EXPECT_FALSE(paneEnter(ui.DirList->viewport(), QPoint(10, 5), "TitreInfos"));
    EXPECT_FALSE(paneEnter(ui.RepList->viewport(), QPoint(10, 5), "TitreInfos"));

    test::paneDragOf(ui.TitreInfos)->begin(QPoint(50, 4));
    const QPoint inTree(10, 120);
    EXPECT_TRUE(paneEnter(ui.DblList->viewport(), inTree, "TitreInfos"));
    EXPECT_EQ(ui.DblList->height(), ui.DblList->viewport()->mapTo(ui.DblList, inTree).y());
    const int mid = ui.DblList->height();
    EXPECT_TRUE(paneEnter(ui.TitreInfos, QPoint(50, 4), "TitreInfos"));
    EXPECT_TRUE(paneMove(ui.TitreInfos, QPoint(50, 14), "TitreInfos"));
    EXPECT_EQ(ui.DblList->height(), mid + 10);
    // Far below the window the tree stops where the log would vanish.
    EXPECT_TRUE(paneEnter(ui.Infos->viewport(), QPoint(10, 5000), "TitreInfos"));
    EXPECT_LE(ui.TitreInfos->geometry().bottom(), ui.Infos->geometry().top());
    EXPECT_LE(ui.Infos->geometry().bottom(), ui.PanelDblList->contentsRect().bottom());

    test::paneDragOf(ui.TitreInfos)->end();
    EXPECT_EQ(w.logSplitRatio(), perMille(ui.DblList->height(), w.outerHeight()));
}

// The log's title stays whole between the duplicates tree and the log, wherever the drag
// or a resize of the window puts the split, down to the design's minimum sizes.
TEST_F(MainWindow, TheLogTitleNeverOverlapsTheDuplicatesTree) {
    T_EcrPrin& w = makeShown();
    w.showResultsPage();
    QCoreApplication::processEvents();
    auto expectWhole = [&](const char* when) {
        SCOPED_TRACE(when);
        QCoreApplication::processEvents();
        const QRect tree = ui.DblList->geometry();
        const QRect title = ui.TitreInfos->geometry();
        const QRect log = ui.Infos->geometry();
        const QRect inside = ui.PanelDblList->contentsRect();
        EXPECT_GE(title.height(), ui.TitreInfos->sizeHint().height());
        EXPECT_LT(ui.TitreDblList->geometry().bottom(), tree.top());
        EXPECT_LT(tree.bottom(), title.top());
        EXPECT_LE(title.bottom(), log.top());
        EXPECT_LE(log.bottom(), inside.bottom());
        EXPECT_GE(log.height(), 0);
        EXPECT_GE(tree.height(), 0);
    };
    expectWhole("at the design size");
    const QSize frame = w.frameGeometry().size() - w.size();

    for (int y : {5000, 2000, 120, -5000}) {
        test::paneDragOf(ui.TitreInfos)->begin(QPoint(50, 4));
        paneEnter(ui.TitreInfos, QPoint(50, 4), "TitreInfos");
        paneMove(ui.TitreInfos, QPoint(50, y), "TitreInfos");
        test::paneDragOf(ui.TitreInfos)->end();
        expectWhole(("title dragged by " + std::to_string(y)).c_str());
        // The split the drag left is kept through resizes of the window.
        for (QSize outer : {QSize(640, 497), QSize(640, 300), QSize(900, 800), QSize(640, 497)}) {
            w.resize(outer - frame);
            expectWhole(("window " + std::to_string(outer.height()) + " high").c_str());
        }
    }
    paneEnter(ui.Infos->viewport(), QPoint(10, 5000), "TitreInfos");
    expectWhole("pointer far below the log");
    paneEnter(ui.DblList->viewport(), QPoint(10, -5000), "TitreInfos");
    expectWhole("pointer far above the tree");
}

TEST_F(MainWindow, OldSystemsAreRefusedWithAMessage) {
    struct Case {
        std::uint32_t platform;
        std::uint32_t major;
        bool refused;
    } cases[] = {{0, 4, true}, {2, 3, true}, {2, 4, false}, {1, 4, false}, {1, 3, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.platform << "." << c.major);
        OsVersionInfo v;
        v.platformId = c.platform;
        v.majorVersion = c.major;
        services.versionAnswer = v;
        shown.clear();
        T_EcrPrin& w = make();
        EXPECT_EQ(w.startupRefused(), c.refused);
        EXPECT_EQ(w.session().started(), !c.refused);
        if (c.refused) {
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].text, "J'ai besoin de Windows 95 ou NT 4, désolé...");
        } else {
            EXPECT_TRUE(shown.empty());
        }
        window.reset();
    }
}

TEST_F(MainWindow, WorkFilesLiveFromCreationToDestruction) {
    T_EcrPrin& w = make();
    const auto posix = [](const std::string& name) { return DriveTable::current().toPosix(name).value_or(""); };
    const std::string files[] = {posix(w.session().engine().fileListName()), posix(w.session().engine().dirListName())};
    for (const auto& f : files) EXPECT_EQ(access(f.c_str(), F_OK), 0) << f;
    window.reset();
    for (const auto& f : files) EXPECT_NE(access(f.c_str(), F_OK), 0) << f;
}

// A receiver whose handler fails like a work file does.
class Failing : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) raiseInOutError(101);
        return QObject::event(e);
    }
};

TEST_F(MainWindow, AnErrorLeavingAHandlerIsShownAndTheLoopGoesOn) {
    Failing target;
    QEvent e(QEvent::User);
    EXPECT_NO_THROW(QCoreApplication::sendEvent(&target, &e));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Disque plein");
    EXPECT_EQ(shown[0].kind, MessageKind::Error);

    // The same through a posted event and the event loop.
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.size(), 2u);
}

}  // namespace
}  // namespace parelix
