#pragma once
// The tree view of the program's trees: Qt's, whose layout can be held while its nodes change
// many at a time (a batch of the store, the deletion walk's window-update lock). A held view
// neither lays itself out nor paints; when the last hold goes, it does both once. A relayout
// costs a pass over every open row, and Qt starts one after each removal: a walk over a
// thousand files under a tree opened to a hundred thousand rows would pay it a thousand times.
// With its "hideSelection" property on (ResultsGlue), a view without the focus draws its
// selected row as any other, its picture untinted: the highlight is hidden, so is the rest.
#include <QTreeView>

namespace parelix {

class SelectionDelegate;

class TreeView : public QTreeView {
    Q_OBJECT
public:
    explicit TreeView(QWidget* parent = nullptr);

    // Holds nest: the view catches up when the last one is let go.
    void holdLayout(bool hold);
    bool layoutHeld() const { return holds_ > 0; }

    void doItemsLayout() override;
    // The one column is at least as wide as the view, so that a row's highlight spans the
    // pane, also once the pane has been widened.
    int sizeHintForColumn(int column) const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    SelectionDelegate* delegate_;   // draws the rows, and keeps their measured sizes
    int holds_ = 0;
};

}  // namespace parelix
