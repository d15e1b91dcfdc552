#include "ui/PanelControls.h"

#include <QFrame>
#include <QHeaderView>
#include <QLabel>

#include "ui/TreeView.h"

namespace parelix {

QFrame* makePanel(const QString& name, QWidget* parent, bool bevelled) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    if (bevelled) {
        // Lowered outside, raised inside: an etched edge.
        panel->setFrameShape(QFrame::Box);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setLineWidth(1);
    }
    return panel;
}

QLabel* makeTitle(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QTreeView* makeTree(const QString& name, const QString& title, int indent, QWidget* parent) {
    auto* tree = new TreeView(parent);
    tree->setObjectName(name);
    tree->setAccessibleName(title);
    tree->setHeaderHidden(true);
    tree->setIndentation(indent);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setAnimated(false);
    tree->setIconSize(QSize(16, 16));
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return tree;
}

}  // namespace parelix
