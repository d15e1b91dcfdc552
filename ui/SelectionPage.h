#pragma once
// The selection page _PanSel: the drive tree DskList, the button column PanelBoutons with
// its five buttons, and the search list RepList (with the hidden exclusion list ExcList
// below it). It builds and lays out its controls, mirrors the search list that
// PathSelection keeps, and resizes the drive tree when the button column is dragged. The
// window binds the controls' events to its handlers.
#include <QFrame>
#include <string>
#include <vector>

#include "results/TreeStore.h"

class QLabel;
class QListWidget;
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
    QToolButton* btnAjoute() const { return BtnAjoute; }
    QToolButton* btnEnleve() const { return BtnEnleve; }
    QToolButton* btnRevoir() const { return BtnRevoir; }
    QToolButton* btnCherche() const { return BtnCherche; }
    QToolButton* btnQuitte() const { return BtnQuitte; }

    // RepList shows the search list: the name decoded for the eye, the path's own bytes kept
    // for the search.
    // A reference entry shows kReferenceSuffix after its path, and says why in its hint.
    void insertEntry(int index, const std::string& text, bool reference = false);
    void setEntryReference(int index, bool reference);
    bool entryReference(int index) const;
    static constexpr const char* kReferenceSuffix = " (référence)";
    void removeEntry(int index);
    void selectEntry(int index);   // -1: none
    int pickedEntry() const;       // the entry the user selected, -1: none
    std::vector<std::string> searchPaths() const;   // in list order
    void setRemoveAndSearchEnabled(bool enabled);

    // BtnRevoir shows from the first return to the selection on; the column makes room.
    void showBtnRevoir();
    void layoutButtonColumn();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildButtonColumn();
    void buildRepColumn();
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
    TreeModel* dskModel_ = nullptr;
    QPoint dragStart_;
    bool revoirWasVisible_ = false;   // BtnRevoir when the column's drag started
};

}  // namespace parelix
