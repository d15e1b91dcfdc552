#pragma once
// The selection page _PanSel: the drive tree DskList with its context menu PopMenuDsk, the
// button column PanelBoutons with its five buttons, and the search list RepList with the
// exclusion list ExcList below it. It builds and lays out its controls, mirrors the two
// lists that PathSelection keeps, and resizes the drive tree when the button column is
// dragged. The window binds the controls' events to its handlers.
#include <QFrame>
#include <QList>
#include <QUrl>
#include <functional>
#include <string>
#include <vector>

#include "results/TreeStore.h"
#include "session/PathSelection.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QToolButton;
class QTreeView;

namespace parelix {

class TreeModel;

class SelectionPage : public QFrame {
public:
    SelectionPage(TreeStore& driveTree, QWidget* parent);

    QTreeView* dskList() const { return DskList; }
    TreeModel* dskModel() const { return dskModel_; }
    QListWidget* repList() const { return RepList; }
    QListWidget* excList() const { return ExcList; }
    QListWidget* list(PathList which) const { return which == PathList::Exclusions ? ExcList : RepList; }
    QMenu* popMenuDsk() const { return PopMenuDsk; }
    QAction* exclure() const { return Exclure; }
    QToolButton* btnAjoute() const { return BtnAjoute; }
    QToolButton* btnEnleve() const { return BtnEnleve; }
    QToolButton* btnRevoir() const { return BtnRevoir; }
    QToolButton* btnCherche() const { return BtnCherche; }
    QToolButton* btnQuitte() const { return BtnQuitte; }

    // RepList and ExcList show the session's two lists: the name decoded for the eye.
    void insertEntry(PathList list, int index, const std::string& text, bool reference = false);
    // A reference entry of RepList shows kReferenceSuffix after its path, and says why in
    // its hint.
    void setEntryReference(int index, bool reference);
    void removeEntry(PathList list, int index);
    void selectEntry(PathList list, int index);   // -1: none
    int pickedEntry(PathList list) const;         // the entry the user selected, -1: none
    void setButtonsEnabled(bool remove, bool search);   // BtnEnleve, BtnCherche
    QMenu* excMenu() const { return ExcMenu; }
    QAction* retirer() const { return Retirer; }
    QAction* ajouterFichier() const { return AjouterFichier; }
    QAction* allerPerso() const { return AllerPerso; }
    // Files and folders dropped on RepList or ExcList, as the drag named them.
    std::function<void(PathList list, const QList<QUrl>& urls)> urlsDropped;

    // BtnRevoir shows from the first return to the selection on; the column makes room.
    void showBtnRevoir();
    void layoutButtonColumn();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildButtonColumn();
    void buildRepColumn();
    void buildDskMenu();
    void buildExcMenu();
    void fitRepList();
    void setDskPanelWidth(int width);   // PanelDskList, kept within the page
    // The drag of the button column resizes the drive tree.
    void columnDragBegin(QPoint start);
    bool columnDragOver(QWidget* target, QPoint pos);
    void columnDragEnd();

    QFrame* PanelDskList = nullptr;
    QLabel* TitreDskList = nullptr;
    QTreeView* DskList = nullptr;
    QFrame* PanelBoutons = nullptr;
    QToolButton* BtnAjoute = nullptr;
    QToolButton* BtnEnleve = nullptr;
    QToolButton* BtnRevoir = nullptr;
    QToolButton* BtnCherche = nullptr;
    QToolButton* BtnQuitte = nullptr;
    QFrame* PanelRepList = nullptr;
    QLabel* TitreRepList = nullptr;
    QListWidget* RepList = nullptr;
    QLabel* TitreExcList = nullptr;
    QListWidget* ExcList = nullptr;
    QMenu* PopMenuDsk = nullptr;   // DskList's context menu
    QAction* Exclure = nullptr;    // the selected node into ExcList
    QAction* AllerPerso = nullptr;   // the tree opened down to the home folder
    QMenu* ExcMenu = nullptr;        // ExcList's context menu
    QAction* Retirer = nullptr;      // the selected exclusion out
    QAction* AjouterFichier = nullptr;   // a file chosen in a dialog in
    TreeModel* dskModel_ = nullptr;
    QPoint dragStart_;
    bool revoirWasVisible_ = false;   // BtnRevoir when the column's drag started
};

}  // namespace parelix
