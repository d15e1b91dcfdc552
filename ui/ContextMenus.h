#pragma once
// The context menus of the window's lists and trees open three ways: a right click (at the
// pointer), the menu key and Shift+F10 (at the current row). Each opens with its first item
// highlighted, so that Return takes it and a screen reader hears it at once (a menu is not in
// the application's accessible tree: the highlighted item's focus event is what is heard).
#include <QPoint>

class QAbstractItemView;
class QMenu;

namespace parelix {

// The menu key and Shift+F10 on the view ask for its context menu as a right click on its
// current row does: through customContextMenuRequested, at that row.
void bindMenuKeys(QAbstractItemView* view);

// Pops the menu up at pos (in the view's viewport) when it lies on a row, else (and from the
// keyboard) below the current row; its first enabled item highlighted.
void popupMenu(QMenu* menu, QAbstractItemView* view, QPoint pos);

}  // namespace parelix
