// What the window tells a screen reader, and in which language: the controls' names, roles
// and actions on the accessibility bus, what a row's picture shows, Qt's own dialogs in French,
// and a log line that holds a line break.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "support/TestSupport.h"
#include "support/WindowFixture.h"
#include "ui/DesktopServices.h"
#include "ui/EcrPrin.h"
#include "ui/SpinButton.h"
#include "ui/TrashLabel.h"
#include "ui/TreeModel.h"

namespace parelix {
namespace {

using WindowSpeech = test::WindowTest;

QAccessibleActionInterface* actionsOf(QWidget* widget) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->actionInterface() : nullptr;
}

// Poubelle and BtnPrecSuiv are buttons a screen reader can press; the splitter's handle, the
// trees' headers and the space figures have names from the start.
TEST_F(WindowSpeech, ControlsHaveNamesRolesAndActions) {
    T_EcrPrin& w = makeShown();
    int clicks = 0, ups = 0, downs = 0;
    QObject::connect(ui.Poubelle, &TrashLabel::clicked, [&] { ++clicks; });
    QObject::connect(ui.BtnPrecSuiv, &SpinButton::upClicked, [&] { ++ups; });
    QObject::connect(ui.BtnPrecSuiv, &SpinButton::downClicked, [&] { ++downs; });

    QAccessibleInterface* trash = QAccessible::queryAccessibleInterface(ui.Poubelle);
    ASSERT_TRUE(trash);
    EXPECT_EQ(trash->role(), QAccessible::Button);
    EXPECT_EQ(trash->text(QAccessible::Name), QStringLiteral("Corbeille"));
    QAccessibleActionInterface* press = actionsOf(ui.Poubelle);
    ASSERT_TRUE(press);
    EXPECT_EQ(press->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    press->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks, 1);

    QAccessibleInterface* spin = QAccessible::queryAccessibleInterface(ui.BtnPrecSuiv);
    ASSERT_TRUE(spin);
    EXPECT_EQ(spin->role(), QAccessible::Button);
    QAccessibleActionInterface* steps = actionsOf(ui.BtnPrecSuiv);
    ASSERT_TRUE(steps);
    EXPECT_EQ(steps->actionNames(), (QStringList{QStringLiteral("Double précédent"), QStringLiteral("Double suivant")}));
    steps->doAction(QStringLiteral("Double suivant"));
    steps->doAction(QStringLiteral("Double suivant"));
    steps->doAction(QStringLiteral("Double précédent"));
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(downs, 2);

    auto* splitter = w.findChild<QSplitter*>(QStringLiteral("SepVRes"));
    ASSERT_TRUE(splitter);
    for (int i = 1; i < splitter->count(); ++i)
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(splitter->handle(i))->text(QAccessible::Name).isEmpty()) << i;

    for (QTreeView* tree : {ui.DskList, ui.DirList, ui.DblList}) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(tree);
        ASSERT_TRUE(iface && iface->tableInterface());
        const QString header = iface->tableInterface()->columnDescription(0);
        EXPECT_FALSE(header.isEmpty() || header == QStringLiteral("1")) << tree->objectName().toStdString();
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(ui.DskList)->tableInterface()->columnDescription(0),
              QStringLiteral("Disques et répertoires"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(ui.EspaceDblList)->text(QAccessible::Name),
              QStringLiteral("Espace occupé par les doubles"));
}

// A row's description says what its picture shows: a file with copies, a folder holding
// some, a reference folder; a row without a mark says nothing.
TEST_F(WindowSpeech, ARowsDescriptionSaysWhatItsPictureShows) {
    test::TempDir dir;
    dir.write("ref/one.txt", "same content");
    dir.write("b/two.txt", "same content");
    dir.write("b/other.txt", "different");
    const auto root = DriveTable::current().toWindows(dir.path());
    ASSERT_TRUE(root.has_value());
    T_EcrPrin& w = makeShown();
    test::addSearchPath(w, *root + "\\b");
    test::addSearchPath(w, *root + "\\ref");
    w.session().markReference(*root + "\\ref", true);
    w.BtnChercheClick();

    const auto description = [&](const QModelIndex& index) {
        return index.data(Qt::AccessibleDescriptionRole).toString();
    };
    ASSERT_EQ(ui.dirModel->rowCount(), 2);
    const QModelIndex b = ui.dirModel->index(0, 0);
    const QModelIndex ref = ui.dirModel->index(1, 0);
    ui.DirList->expand(b);
    ui.DirList->collapse(b);   // a closed folder that holds a copy
    EXPECT_EQ(description(b), QStringLiteral("Dossier qui contient des doubles"));
    EXPECT_EQ(description(ref), QStringLiteral("Dossier qui contient des doubles, Répertoire de référence"));
    QStringList files;
    for (int i = 0; i < ui.dirModel->rowCount(b); ++i)
        files << ui.dirModel->index(i, 0, b).data().toString() + QLatin1Char('=') + description(ui.dirModel->index(i, 0, b));
    EXPECT_EQ(files, (QStringList{QStringLiteral("other.txt="), QStringLiteral("two.txt=Fichier qui a des doubles")}));
    const QModelIndex member = ui.dblModel->index(0, 0, ui.dblModel->index(0, 0));
    EXPECT_EQ(description(member), QStringLiteral("Fichier qui a des doubles"));
    // What a screen reader reads of the row is the same.
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(ui.DirList);
    ASSERT_TRUE(tree && tree->tableInterface());
    QAccessibleInterface* cell = tree->tableInterface()->cellAt(1, 0);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->text(QAccessible::Description), QStringLiteral("Dossier qui contient des doubles, Répertoire de référence"));
}

// Qt's own dialog (the save dialog of the list of duplicates) speaks French: the labels the
// program sets, and Qt's own texts, for the eye and for a screen reader.
TEST_F(WindowSpeech, QtsOwnDialogSpeaksFrench) {
    T_EcrPrin& w = makeShown();
    QStringList heard;
    QString treeHeader;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        for (auto* b : dialog->findChildren<QToolButton*>()) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(b);
            heard << b->toolTip() << (iface ? iface->text(QAccessible::Name) : QString());
        }
        if (auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("treeView")))
            for (int c = 0; c < tree->model()->columnCount(); ++c)
                treeHeader += tree->model()->headerData(c, Qt::Horizontal).toString() + QLatin1Char('|');
        dialog->reject();
    });
    DesktopServices desktop;
    (void)w;
    EXPECT_EQ(desktop.askSavePath("Enregistre la liste des doubles", "doubles.csv"), std::nullopt);
    EXPECT_TRUE(heard.contains(QStringLiteral("Précédent"))) << heard.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(heard.contains(QStringLiteral("Créer un nouveau dossier"))) << heard.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(heard.contains(QStringLiteral("Back")));
    EXPECT_TRUE(treeHeader.startsWith(QStringLiteral("Nom|Taille|"))) << treeHeader.toStdString();
}

// A name may hold a line break: its log line shows whole, as high as its two lines, and the
// lines around it keep their height.
TEST_F(WindowSpeech, ALogLineWithALineBreakShowsWhole) {
    SessionView& w = makeShown();
    w.runStarted();
    w.appendLog("Collecte des informations");
    w.appendLog("Effacement de C:\\tmp\\deux\nlignes.txt");
    w.appendLog("Fini !");
    QApplication::processEvents();
    const int one = ui.Infos->visualItemRect(ui.Infos->item(0)).height();
    const int two = ui.Infos->visualItemRect(ui.Infos->item(1)).height();
    EXPECT_GE(two, one + ui.Infos->fontMetrics().lineSpacing()) << one << " " << two;
    EXPECT_EQ(ui.Infos->visualItemRect(ui.Infos->item(2)).height(), one);
    EXPECT_EQ(ui.Infos->item(1)->text(), QStringLiteral("Effacement de C:\\tmp\\deux\nlignes.txt"));
    w.runStarted();   // a new log: one size for all lines again
    EXPECT_TRUE(ui.Infos->uniformItemSizes());
}

}  // namespace
}  // namespace parelix
