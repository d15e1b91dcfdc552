#pragma once
// The pieces both pages are built of: bevelled panels, centred titles, and the read-only
// tree views of the drives and of the results.
#include <QString>

class QFrame;
class QLabel;
class QTreeView;
class QWidget;

namespace parelix {

QFrame* makePanel(const QString& name, QWidget* parent, bool bevelled);
QLabel* makeTitle(const QString& name, const QString& text, QWidget* parent);
// title: the tree's title label text, also its accessible name.
QTreeView* makeTree(const QString& name, const QString& title, int indent, QWidget* parent);

}  // namespace parelix
