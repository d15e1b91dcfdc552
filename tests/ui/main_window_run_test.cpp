// The main window through a search run: the log, what the run shows in the status bar,
// the progress bar and Stop, its pictures spaced, and searches through the window, their
// failures and a Stop in the middle.
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

TEST_F(MainWindow, LogLinesAreAddedInOrderAndLeaveNoSelection) {
    SessionView& w = makeShown();
    w.runStarted();
    w.appendLog("Collecte des informations");
    w.appendLog("3 fichiers dans 2 répertoires");
    ASSERT_EQ(ui.Infos->count(), 2);
    EXPECT_EQ(ui.Infos->item(1)->text(), QStringLiteral("3 fichiers dans 2 répertoires"));
    EXPECT_TRUE(ui.Infos->selectedItems().isEmpty());
    // A line wider than the log: the list scrolls sideways.
    w.appendLog("Effacement de C:\\" + std::string(200, 'w') + ".txt");
    QApplication::processEvents();
    EXPECT_GT(ui.Infos->horizontalScrollBar()->maximum(), 0);
    w.runStarted();   // the next run starts with an empty log
    EXPECT_EQ(ui.Infos->count(), 0);
    // ... as wide as its own lines, not the last run's: nothing to scroll to.
    w.appendLog("Collecte des informations");
    QApplication::processEvents();
    EXPECT_EQ(ui.Infos->horizontalScrollBar()->maximum(), 0);
}

// What the window makes of the run's news: Stop's caption per phase, the folder walked, the
// pair compared on two half-width panels over the progress bar, and all of it undone after.
TEST_F(MainWindow, RunPhasesShowInTheStatusBarProgressAndStop) {
    SessionView& w = make();
    w.phaseStarted(SearchPhase::Collection, 0);
    EXPECT_EQ(ui.BtnStopRtn->text(), QStringLiteral("Arrête la recherche"));
    for (int i = 0; i < 50; ++i) w.folderEntered("C:\\dir" + std::to_string(i));
    EXPECT_EQ(ui.Etat->simpleText(), QStringLiteral("C:\\dir49"));
    w.phaseEnded(SearchPhase::Collection, 252);
    w.phaseStarted(SearchPhase::Sort, 252);
    w.phaseEnded(SearchPhase::Sort, 252);

    w.phaseStarted(SearchPhase::Comparison, 252);
    EXPECT_EQ(ui.BtnStopRtn->text(), QStringLiteral("Arrête les comparaisons"));
    w.pairCompared("a.txt", "b.txt");
    w.progress(100);
    EXPECT_TRUE(ui.Etat->panelMode());
    EXPECT_EQ(ui.Etat->panelWidth(0), 320);
    EXPECT_EQ(ui.Etat->panelText(0), QStringLiteral("a.txt"));
    EXPECT_EQ(ui.Etat->panelText(1), QStringLiteral("b.txt"));
    EXPECT_FALSE(ui.Progress->isHidden());
    EXPECT_EQ(ui.Progress->maximum(), 252);
    EXPECT_EQ(ui.Progress->value(), 100);
    w.pairCompared("c.txt", "");
    EXPECT_EQ(ui.Etat->panelText(1), QString());

    w.phaseEnded(SearchPhase::Comparison, 252);
    EXPECT_FALSE(ui.Etat->panelMode());
    EXPECT_TRUE(ui.Progress->isHidden());
    w.runEnded();
    EXPECT_EQ(ui.BtnStopRtn->text(), QStringLiteral("Faire une autre sélection"));
}

// During a run the window's pictures are spaced; the bar's value is taken at once all the
// same, and the last value is always painted: when its picture's time comes, and when the
// run ends before that.
TEST_F(MainWindow, ARunsPicturesAreSpacedAndTheLastOneAlwaysShows) {
    T_EcrPrin& shownWindow = makeShown();
    SessionView& w = shownWindow;
    w.runStarted();
    w.phaseStarted(SearchPhase::Comparison, 100);
    QCoreApplication::processEvents();
    struct PaintedValues : QObject {
        std::vector<int> values;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint) values.push_back(static_cast<QProgressBar*>(watched)->value());
            return false;
        }
    } painted;
    ui.Progress->installEventFilter(&painted);
    // Long enough that a loaded machine still runs each burst of changes within one spacing.
    constexpr int kSpacingMs = 400;
    const auto burst = [&](int from, int to) {
        QElapsedTimer clock;
        clock.start();
        for (int v = from; v <= to; ++v) {
            w.progress(v * 5);   // 5 % steps: each one a change the bar paints
            QCoreApplication::processEvents();
        }
        return clock.elapsed() < kSpacingMs;
    };
    {
        PaintSpacing spaced(&shownWindow, kSpacingMs);
        if (burst(1, 8)) {
            EXPECT_LE(painted.values.size(), 1u) << "one picture at most within one spacing";
        }
        EXPECT_EQ(ui.Progress->value(), 40);
        QTest::qWait(2 * kSpacingMs);   // the held picture, then a whole spacing without one
        ASSERT_FALSE(painted.values.empty());
        EXPECT_EQ(painted.values.back(), 40);
        painted.values.clear();
        if (burst(9, 12)) {
            EXPECT_LE(painted.values.size(), 1u);
        }
    }
    QCoreApplication::processEvents();
    ASSERT_FALSE(painted.values.empty());
    EXPECT_EQ(painted.values.back(), 60);
    ui.Progress->removeEventFilter(&painted);
}

// The progress bar's style draws it in strips, its background included: a plain bar's
// pixels over the background of the ancestor that fills it, whatever the bar's size and
// value. And it repaints as a plain bar, by the value it painted last.
TEST(ProgressBar, PaintsAPlainBarsPixelsAndRepaintsAsOne) {
    test::ensureProgramApplication();
    QWidget window;
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(200, 120, 40));   // none of the style's own
    window.setPalette(palette);
    window.resize(300, 200);
    QWidget page(&window);   // fills nothing, as the results page
    page.setGeometry(5, 7, 290, 190);
    ProgressBar striped(&page);
    QProgressBar plain(&page);
    EXPECT_NE(striped.style(), plain.style());   // else the strips are a plain bar's picture
    for (QProgressBar* bar : {static_cast<QProgressBar*>(&striped), &plain}) {
        bar->setRange(0, 1000);
        bar->setTextVisible(false);
    }
    // Bars of many rows are left aside: there Qt's own picture varies by a shade, painted
    // by its pool's threads or not.
    for (const QSize size : {QSize(2 * ProgressBar::kStrip + 17, 13), QSize(4 * ProgressBar::kStrip + 3, 40)}) {
        striped.setGeometry(QRect(QPoint(3, 2), size));
        plain.setGeometry(QRect(QPoint(3, 100), size));
        for (int value : {0, 1, 333, 999, 1000}) {
            striped.setValue(value);
            plain.setValue(value);
            const QImage picture = window.grab().toImage();
            EXPECT_TRUE(picture.copy(striped.geometry().translated(page.pos())) ==
                        picture.copy(plain.geometry().translated(page.pos())))
                << size.width() << "x" << size.height() << " at " << value;
        }
    }

    window.show();
    striped.setValue(500);
    QCoreApplication::processEvents();
    struct Paints : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            count += event->type() == QEvent::Paint;
            return false;
        }
    } paints;
    striped.installEventFilter(&paints);
    striped.setValue(5);   // far from the 500 painted last, close to the start
    QCoreApplication::processEvents();
    EXPECT_GE(paints.count, 1);
}

// The status bar paints its texts itself; a screen reader reads them from its accessible
// interface: the simple text, or both panels.
TEST_F(MainWindow, TheStatusBarsTextsAreOnTheAccessibilityBus) {
    SessionView& w = make();
    QAccessibleInterface* etat = QAccessible::queryAccessibleInterface(ui.Etat);
    ASSERT_TRUE(etat);
    EXPECT_EQ(etat->role(), QAccessible::StatusBar);
    EXPECT_EQ(etat->text(QAccessible::Name), QStringLiteral("Barre d'état"));
    w.folderEntered("C:\\Données\\photos");
    EXPECT_EQ(etat->text(QAccessible::Description), QStringLiteral("C:\\Données\\photos"));
    EXPECT_EQ(etat->text(QAccessible::Value), QStringLiteral("C:\\Données\\photos"));
    w.phaseStarted(SearchPhase::Comparison, 2);
    w.pairCompared("a.txt", "b.txt");
    EXPECT_EQ(etat->text(QAccessible::Description), QStringLiteral("a.txt — b.txt"));
    w.pairCompared("c.txt", "");
    EXPECT_EQ(etat->text(QAccessible::Description), QStringLiteral("c.txt"));
    w.phaseEnded(SearchPhase::Comparison, 2);
    EXPECT_EQ(etat->text(QAccessible::Description), QStringLiteral("C:\\Données\\photos"));
}

TEST_F(MainWindow, SearchRunThroughTheWindowShowsTheResults) {
    test::TempDir dir;
    dir.write("a/one.txt", "same content");
    dir.write("b/two.txt", "same content");
    dir.write("b/other.txt", "different");
    const auto root = DriveTable::current().toWindows(dir.path());
    ASSERT_TRUE(root.has_value());

    T_EcrPrin& w = makeShown();
    test::addSearchPath(w, *root);
    ASSERT_EQ(w.searchPaths(), std::vector<std::string>{*root});
    w.BtnChercheClick();

    EXPECT_FALSE(ui._PanRes->isHidden());
    EXPECT_TRUE(ui._PanSel->isHidden());
    EXPECT_EQ(ui.BtnStopRtn->text(), QStringLiteral("Faire une autre sélection"));
    EXPECT_EQ(test::lastLogLine(w), QStringLiteral("Fini !"));
    EXPECT_TRUE(w.session().popupEnabled());
    // The views show what the stores hold once the run is over.
    ASSERT_EQ(ui.dirModel->rowCount(), 1);
    ASSERT_EQ(ui.dblModel->rowCount(), 1);
    const QModelIndex group = ui.dblModel->index(0, 0);
    EXPECT_EQ(ui.dblModel->rowCount(group), 2);
    EXPECT_TRUE(ui.DblList->isExpanded(group));
    EXPECT_EQ(ui.DirList->currentIndex(), ui.dirModel->index(0, 0));
    EXPECT_FALSE(ui.dirModel->deferred());
    // Both trees show their pictures: a file with a duplicate is marked.
    const QModelIndex member = ui.dblModel->index(0, 0, group);
    EXPECT_FALSE(member.data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(ui.dirModel->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
}

// A Stop clicked while the sort logs its line goes back to the selection page with the run
// still going; a Search clicked then must not start a second run inside the first.
TEST_F(MainWindow, NoSearchStartsInsideARunningOne) {
    test::TempDir dir;
    dir.write("a/one.txt", "same content");
    dir.write("b/two.txt", "same content");
    const auto root = DriveTable::current().toWindows(dir.path());
    ASSERT_TRUE(root.has_value());

    T_EcrPrin& w = makeShown();
    test::addSearchPath(w, *root);

    bool stopped = false;
    bool searchedAgain = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!stopped && test::lastLogLine(w) == QStringLiteral("Tri des fichiers par taille")) {
            stopped = true;
            ui.BtnStopRtn->click();
        } else if (stopped && !searchedAgain && w.session().engine().comparing()) {
            searchedAgain = true;
            ASSERT_FALSE(ui._PanSel->isHidden());
            ui.BtnCherche->click();
            // A run inside this one would show the results page and end this comparison.
            EXPECT_FALSE(ui._PanSel->isHidden());
            EXPECT_TRUE(w.session().engine().comparing());
        }
    });
    user.start(0);
    w.BtnChercheClick();
    user.stop();

    ASSERT_TRUE(searchedAgain);
    EXPECT_EQ(test::lastLogLine(w), QStringLiteral("Fini !"));
    ASSERT_EQ(w.session().trees().dblList.childCount(kNoNode), 1);
    EXPECT_EQ(w.session().trees().dblList.childCount(w.session().trees().dblList.child(kNoNode, 0)), 2);
}

// Every group keeps two members or more, each linked both ways with its file.
void expectConsistentGroups(const ResultTrees& trees) {
    for (NodeId g : trees.dblList.children(kNoNode)) {
        EXPECT_GE(trees.dblList.childCount(g), 2);
        for (NodeId m : trees.dblList.children(g)) {
            const NodeId f = trees.dblList.link(m);
            ASSERT_TRUE(trees.dirList.isValid(f));
            EXPECT_EQ(trees.dirList.link(f), m);
        }
    }
}

// A work-file error in the middle of the sort, then in the middle of the comparison: the
// run ends with the error's message, the window goes on working, and the next search runs
// whole.
TEST_F(MainWindow, WorkFileErrorsInTheSortOrTheComparisonEndTheRunAndTheWindowGoesOn) {
    test::TempDir dir;
    for (int i = 0; i < 300; ++i) dir.write("many/f" + std::to_string(i), "file " + std::to_string(i % 250));
    // The smallest files come last, past the comparison's first window of records: their
    // folder's path is read from the directory list only then.
    dir.write("tiny/t1", "t");
    dir.write("tiny/t2", "t");
    for (const char* big : {"big1/x", "big2/x"}) {   // the first class compared: long enough for turns
        const std::string path = dir.write(big, "");
        fs::resize_file(path, 24u << 20);
    }
    T_EcrPrin& w = makeShown();
    test::addSearchFolder(w, dir.path());
    const std::string fileList = *DriveTable::current().toPosix(w.session().engine().fileListName());

    // The sort's second level-0 run cannot be written: a folder holds its name.
    const std::string blocked = *DriveTable::current().toPosix(FileListSort::runFileName(w.session().engine().fileListName(), 0, 1));
    fs::create_directory(blocked);
    ui.BtnCherche->click();
    fs::remove(blocked);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Erreur E/S 21");   // EISDIR
    EXPECT_EQ(shown[0].kind, MessageKind::Error);
    EXPECT_EQ(test::lastLogLine(w), QStringLiteral("Tri des fichiers par taille"));
    EXPECT_FALSE(w.session().engine().running());
    EXPECT_TRUE(w.session().engine().canClose());
    EXPECT_FALSE(ui.dirModel->deferred());

    // The directory list loses its records while the comparison reads the first class.
    bool cut = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (cut || !w.session().engine().comparing() || ui.BtnStopRtn->text() != QStringLiteral("Arrête les comparaisons")) return;
        cut = true;
        fs::resize_file(*DriveTable::current().toPosix(w.session().engine().dirListName()), 0);
    });
    user.start(0);
    ui.BtnCherche->click();
    user.stop();
    ASSERT_TRUE(cut);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, "Lecture au-delà de la fin de fichier");
    EXPECT_EQ(test::lastLogLine(w), QStringLiteral("Comparaison des fichiers présumés doubles"));
    expectConsistentGroups(w.session().trees());
    // The comparison's flag stays set: closing waits for Stop, whose second role clears it.
    EXPECT_FALSE(w.close());
    ui.BtnStopRtn->click();
    EXPECT_TRUE(w.session().engine().canClose());
    ui.BtnStopRtn->click();
    EXPECT_FALSE(ui._PanSel->isHidden());

    ui.BtnCherche->click();
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(test::lastLogLine(w), QStringLiteral("Fini !"));
    EXPECT_EQ(w.session().trees().dblList.childCount(kNoNode), 52);   // 50 pairs of small files, the big one, the tiny one
    expectConsistentGroups(w.session().trees());
    EXPECT_TRUE(fs::exists(fileList));
}

// Stop pressed while the comparison logs its first line stops the comparison (its flag is
// already set), not the run: the run ends as usual, with only whole groups.
TEST_F(MainWindow, StopAtTheComparisonsLogLineEndsTheComparisonOnly) {
    test::TempDir dir;
    for (std::size_t i = 0; i < 40; ++i)
        dir.write("f" + std::to_string(i), std::string(i % 4 + 1, 'a') + std::to_string(i % 20));
    T_EcrPrin& w = makeShown();
    test::addSearchFolder(w, dir.path());
    bool stopped = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (stopped || test::lastLogLine(w) != QStringLiteral("Comparaison des fichiers présumés doubles")) return;
        stopped = true;
        ui.BtnStopRtn->click();
    });
    user.start(0);
    ui.BtnCherche->click();
    user.stop();

    ASSERT_TRUE(stopped);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(test::lastLogLine(w), QStringLiteral("Fini !"));
    EXPECT_TRUE(ui._PanSel->isHidden());
    EXPECT_FALSE(w.session().engine().comparing());
    EXPECT_TRUE(ui.Progress->isHidden());
    EXPECT_FALSE(ui.Etat->panelMode());
    EXPECT_EQ(ui.BtnStopRtn->text(), QStringLiteral("Faire une autre sélection"));
    EXPECT_LT(w.session().trees().dblList.childCount(kNoNode), 20);
    expectConsistentGroups(w.session().trees());
}

}  // namespace
}  // namespace parelix
