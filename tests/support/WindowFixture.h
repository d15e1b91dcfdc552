#pragma once
// What the tests of the main window share: its controls found by object name, the program's
// application object, recorders of message boxes and of the shell, and a fixture that makes
// the window.
#include <gtest/gtest.h>

#include <QPoint>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "ui/EcrPrin.h"
#include "ui/PaneDrag.h"

class QAction;
class QByteArray;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QToolButton;
class QTreeView;

namespace parelix {
class SpinButton;
class StatusBar;
class TrashLabel;
class TreeModel;
}  // namespace parelix

namespace parelix::test {

// The window's control of that name and kind. A missing one throws, which fails the test
// where it asked.
template <typename T>
T* control(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) throw std::logic_error(std::string("the window has no control named ") + name + " of that kind");
    return found;
}

// The model a tree view shows, and the drag of a pane-resizing handle.
TreeModel* modelOf(const QTreeView* view);
PaneDrag* paneDragOf(const QWidget* handle);
// A point of a node's row in its view's viewport, the row scrolled into sight as the view
// does it; none when the row stays out of sight (deep rows may start right of the edge).
std::optional<QPoint> rowPoint(QTreeView* view, NodeId node);

// The controls the tests touch, each found by its name.
struct WindowControls {
    WindowControls() = default;
    explicit WindowControls(const QObject& window);

    QFrame* _PanSel = nullptr;
    QFrame* _PanRes = nullptr;
    QFrame* PanelDskList = nullptr;
    QFrame* PanelBoutons = nullptr;
    QFrame* PanelRepList = nullptr;
    QFrame* PanelDirList = nullptr;
    QFrame* PanelDblList = nullptr;
    QLabel* TitreDskList = nullptr;
    QLabel* TitreRepList = nullptr;
    QLabel* TitreExcList = nullptr;
    QLabel* TitreDirList = nullptr;
    QLabel* TitreDblList = nullptr;
    QLabel* EspaceDblList = nullptr;
    QLabel* TitreInfos = nullptr;
    QTreeView* DskList = nullptr;
    QTreeView* DirList = nullptr;
    QTreeView* DblList = nullptr;
    QListWidget* RepList = nullptr;
    QListWidget* ExcList = nullptr;
    QListWidget* Infos = nullptr;
    QToolButton* BtnAjoute = nullptr;
    QToolButton* BtnEnleve = nullptr;
    QToolButton* BtnRevoir = nullptr;
    QToolButton* BtnCherche = nullptr;
    QToolButton* BtnQuitte = nullptr;
    QSplitter* SepVRes = nullptr;
    TrashLabel* Poubelle = nullptr;
    SpinButton* BtnPrecSuiv = nullptr;
    QPushButton* BtnStopRtn = nullptr;
    QProgressBar* Progress = nullptr;
    StatusBar* Etat = nullptr;
    QMenu* PopMenu = nullptr;
    QMenu* PopMenuDsk = nullptr;
    QAction* Exclure = nullptr;   // PopMenuDsk's item
    TreeModel* dskModel = nullptr;
    TreeModel* dirModel = nullptr;
    TreeModel* dblModel = nullptr;
};

// A drag of the given MIME data entering a control (true: accepted), then moving over it;
// Qt sends the moves only to a control that accepted the enter. The pane drags carry the
// name of their handle.
bool dragEnter(QWidget* receiver, QPoint pos, const QString& type, const QByteArray& data);
bool paneEnter(QWidget* receiver, QPoint pos, const char* handle);
bool paneMove(QWidget* receiver, QPoint pos, const char* handle);

// The operations log's last line, empty while the log is.
QString lastLogLine(const QObject& window);
// Puts a path in the search list as Ajoute would: a Windows-style path, or a POSIX folder.
void addSearchPath(T_EcrPrin& window, const std::string& windowsPath);
void addSearchFolder(T_EcrPrin& window, const std::string& posixFolder);

// The services of the tests' program: the process's drives, the message boxes and the
// shell's dialogs recorded. The program's application object shows its errors through them.
RecordingServices& programServices();
// The program's own application object (its notify shows the errors that escape handlers).
void ensureProgramApplication();

// A test of the main window over the program's services (their records and answers fresh
// for each test): message boxes recorded in `shown`, the window made by make() and gone at
// the test's end.
class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureProgramApplication(); }
    void SetUp() override { services.forget(); }
    void TearDown() override;
    T_EcrPrin& make();
    T_EcrPrin& makeShown();   // shown, its first events handled

    RecordingServices& services = programServices();
    std::vector<Shown>& shown = services.shown;
    std::unique_ptr<Session> session;   // outlives the window
    std::unique_ptr<T_EcrPrin> window;
    WindowControls ui;   // the window's, once made
};

}  // namespace parelix::test
