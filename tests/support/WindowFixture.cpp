#include "support/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

#include "platform/Drives.h"
#include "platform/System.h"
#include "ui/Application.h"
#include "ui/PaneDrag.h"
#include "ui/SpinButton.h"
#include "ui/StatusBar.h"
#include "ui/TrashLabel.h"
#include "ui/TreeModel.h"

namespace parelix::test {

TreeModel* modelOf(const QTreeView* view) {
    auto* model = qobject_cast<TreeModel*>(view->model());
    if (!model) throw std::logic_error("the view " + view->objectName().toStdString() + " shows no tree model");
    return model;
}

PaneDrag* paneDragOf(const QWidget* handle) {
    auto* drag = handle->findChild<PaneDrag*>(QString(), Qt::FindDirectChildrenOnly);
    if (!drag) throw std::logic_error(handle->objectName().toStdString() + " is no pane handle");
    return drag;
}

std::optional<QPoint> rowPoint(QTreeView* view, NodeId node) {
    const QModelIndex index = modelOf(view)->indexOf(node);
    view->scrollTo(index);
    const QRect rect = view->visualRect(index);
    const QPoint at(std::max(std::min(rect.center().x(), view->viewport()->width() - 3), rect.left() + 2),
                    rect.center().y());
    if (view->indexAt(at) != index) return std::nullopt;
    return at;
}

WindowControls::WindowControls(const QObject& w)
    : _PanSel(control<QFrame>(w, "_PanSel")),
      _PanRes(control<QFrame>(w, "_PanRes")),
      PanelDskList(control<QFrame>(w, "PanelDskList")),
      PanelBoutons(control<QFrame>(w, "PanelBoutons")),
      PanelRepList(control<QFrame>(w, "PanelRepList")),
      PanelDirList(control<QFrame>(w, "PanelDirList")),
      PanelDblList(control<QFrame>(w, "PanelDblList")),
      TitreDskList(control<QLabel>(w, "TitreDskList")),
      TitreRepList(control<QLabel>(w, "TitreRepList")),
      TitreExcList(control<QLabel>(w, "TitreExcList")),
      TitreDirList(control<QLabel>(w, "TitreDirList")),
      TitreDblList(control<QLabel>(w, "TitreDblList")),
      EspaceDblList(control<QLabel>(w, "EspaceDblList")),
      TitreInfos(control<QLabel>(w, "TitreInfos")),
      DskList(control<QTreeView>(w, "DskList")),
      DirList(control<QTreeView>(w, "DirList")),
      DblList(control<QTreeView>(w, "DblList")),
      RepList(control<QListWidget>(w, "RepList")),
      ExcList(control<QListWidget>(w, "ExcList")),
      Infos(control<QListWidget>(w, "Infos")),
      BtnAjoute(control<QToolButton>(w, "BtnAjoute")),
      BtnEnleve(control<QToolButton>(w, "BtnEnleve")),
      BtnRevoir(control<QToolButton>(w, "BtnRevoir")),
      BtnCherche(control<QToolButton>(w, "BtnCherche")),
      BtnQuitte(control<QToolButton>(w, "BtnQuitte")),
      SepVRes(control<QSplitter>(w, "SepVRes")),
      Poubelle(control<TrashLabel>(w, "Poubelle")),
      BtnPrecSuiv(control<SpinButton>(w, "BtnPrecSuiv")),
      BtnStopRtn(control<QPushButton>(w, "BtnStopRtn")),
      Progress(control<QProgressBar>(w, "Progress")),
      Etat(control<StatusBar>(w, "Etat")),
      PopMenu(control<QMenu>(w, "PopMenu")),
      PopMenuDsk(control<QMenu>(w, "PopMenuDsk")),
      Exclure(control<QAction>(w, "Exclure")),
      dskModel(modelOf(DskList)),
      dirModel(modelOf(DirList)),
      dblModel(modelOf(DblList)) {}

bool dragEnter(QWidget* receiver, QPoint pos, const QString& type, const QByteArray& data) {
    QMimeData mime;
    mime.setData(type, data);
    QDragEnterEvent enter(pos, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &enter);
    return enter.isAccepted();
}

bool paneEnter(QWidget* receiver, QPoint pos, const char* handle) {
    return dragEnter(receiver, pos, QString::fromLatin1(PaneDrag::kMimeType), QByteArray(handle));
}

bool paneMove(QWidget* receiver, QPoint pos, const char* handle) {
    QMimeData mime;
    mime.setData(QString::fromLatin1(PaneDrag::kMimeType), QByteArray(handle));
    QDragMoveEvent move(pos, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &move);
    return move.isAccepted();
}

QString lastLogLine(const QObject& window) {
    const QListWidget* infos = control<QListWidget>(window, "Infos");
    return infos->count() ? infos->item(infos->count() - 1)->text() : QString();
}

void addSearchPath(T_EcrPrin& window, const std::string& windowsPath) {
    window.session().addSearchPathText(windowsPath);   // RepList shows it
    control<QToolButton>(window, "BtnCherche")->setEnabled(true);
}

void addSearchFolder(T_EcrPrin& window, const std::string& posixFolder) {
    const auto windows = window.session().services().drives().toWindows(posixFolder);
    if (!windows) throw std::logic_error(posixFolder + " has no Windows-style path");
    addSearchPath(window, *windows);
}

RecordingServices& programServices() {
    static RecordingServices services;
    return services;
}

void ensureProgramApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "parelix-window-tests";
    static char* argv[] = {name, nullptr};
    new Application(argc, argv, programServices());
}

void WindowTest::TearDown() {
    window.reset();
    session.reset();
    services.forget();
}

T_EcrPrin& WindowTest::make() {
    window.reset();
    session = std::make_unique<Session>(services);
    window = std::make_unique<T_EcrPrin>(*session);
    ui = WindowControls(*window);
    return *window;
}

T_EcrPrin& WindowTest::makeShown() {
    make();
    window->show();
    QCoreApplication::processEvents();
    return *window;
}

}  // namespace parelix::test
