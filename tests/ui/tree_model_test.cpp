// The item model over a tree store, checked by Qt's model tester, and its view kept in step
// with the store by its binder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QTreeView>
#include <functional>
#include <memory>

#include "results/TreeStore.h"
#include "support/UiApplication.h"
#include "ui/PanelControls.h"
#include "ui/TreeModel.h"
#include "ui/TreeView.h"
#include "ui/TreeViewBinder.h"

namespace parelix {
namespace {

// Counts a model signal's emissions.
struct Count {
    int n = 0;
    template <typename Signal>
    Count(TreeModel& model, Signal signal) {
        QObject::connect(&model, signal, &model, [this] { ++n; });
    }
    int count() const { return n; }
    void clear() { n = 0; }
};

class TreeModelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureApplication(); }

    // Fetches every level and checks that the model shows exactly the store.
    void expectMirrors(const QModelIndex& parent = {}) {
        const NodeId p = model.nodeOf(parent);
        if (model.canFetchMore(parent)) model.fetchMore(parent);
        ASSERT_EQ(model.rowCount(parent), store.childCount(p)) << "under " << (p == kNoNode ? "top" : store.text(p));
        EXPECT_EQ(model.hasChildren(parent), store.childCount(p) > 0);
        for (int row = 0; row < store.childCount(p); ++row) {
            const QModelIndex idx = model.index(row, 0, parent);
            ASSERT_TRUE(idx.isValid());
            EXPECT_EQ(model.nodeOf(idx), store.child(p, row));
            EXPECT_EQ(model.parent(idx), parent);
            EXPECT_EQ(idx.data().toString().toStdString(), store.text(store.child(p, row)));
            expectMirrors(idx);
        }
    }

    TreeStore store;
    TreeModel model{store};
    test::ModelChecker checked{model};
};

TEST_F(TreeModelTest, RowsFollowInsertsRemovalsSortsAndClear) {
    QTreeView view;
    TreeViewBinder binder(model, &view);
    const NodeId root = store.addChild(kNoNode, "D:");
    const NodeId c = store.addChild(root, "c.txt");
    const NodeId a = store.addChild(root, "--> a");
    store.addChild(a, "inner");
    store.addChild(root, "b.txt");
    expectMirrors();

    // A persistent index (what a view holds for its selection) follows its node.
    QPersistentModelIndex kept(model.indexOf(c));
    store.sortChildren(root);
    expectMirrors();
    ASSERT_TRUE(kept.isValid());
    EXPECT_EQ(model.nodeOf(kept), c);
    EXPECT_EQ(kept.row(), store.row(c));

    store.addChild(root, "a.txt");   // under a parent the view has fetched
    expectMirrors();
    store.remove(a);
    expectMirrors();
    EXPECT_EQ(model.nodeOf(kept), c);
    EXPECT_EQ(kept.row(), store.row(c));

    // Ids of removed nodes come back for new nodes, which start unfetched.
    const NodeId reused = store.addChild(root, "e.txt");
    Count inserts(model, &QAbstractItemModel::rowsInserted);
    store.addChild(reused, "under e");
    EXPECT_EQ(inserts.count(), 0);
    expectMirrors();

    store.clear();
    EXPECT_FALSE(kept.isValid());
    EXPECT_EQ(model.rowCount(), 0);
    store.addChild(kNoNode, "E:");
    expectMirrors();
}

TEST_F(TreeModelTest, ChildrenOfUnfetchedNodesCostTheViewNothing) {
    QTreeView view;
    TreeViewBinder binder(model, &view);
    const NodeId root = store.addChild(kNoNode, "C:");
    Count inserts(model, &QAbstractItemModel::rowsInserted);
    Count layouts(model, &QAbstractItemModel::layoutChanged);
    for (int d = 0; d < 50; ++d) {
        const NodeId dir = store.addChild(root, "--> d" + std::to_string(d));
        for (int f = 0; f < 20; ++f) store.addChild(dir, "f" + std::to_string(19 - f));
        store.sortChildren(dir);
    }
    store.sortChildren(root);
    EXPECT_EQ(inserts.count(), 0);
    EXPECT_EQ(layouts.count(), 0);
    const QModelIndex rootIdx = model.index(0, 0);
    EXPECT_EQ(model.rowCount(rootIdx), 0);
    EXPECT_TRUE(model.hasChildren(rootIdx));
    EXPECT_TRUE(model.canFetchMore(rootIdx));
    // Expanding in the view shows them.
    view.expand(rootIdx);
    EXPECT_EQ(model.rowCount(rootIdx), 50);
    EXPECT_TRUE(store.isExpanded(root));
    expectMirrors();
}

TEST_F(TreeModelTest, DeferredAdditionsReachTheViewInBatches) {
    QTreeView view;
    TreeViewBinder binder(model, &view);
    model.setDeferred(true);
    Count inserts(model, &QAbstractItemModel::rowsInserted);
    for (int g = 0; g < 30; ++g) {
        const NodeId group = store.addChild(kNoNode, "(" + std::to_string(g) + ")");
        store.addChild(group, "C:\\x" + std::to_string(g));
        store.addChild(group, "C:\\y" + std::to_string(g));
        store.expand(group);
    }
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(inserts.count(), 0);
    model.flush();
    EXPECT_EQ(model.rowCount(), 30);
    // Groups opened in the store while waiting are open in the view.
    for (int g = 0; g < 30; ++g) {
        const QModelIndex idx = model.index(g, 0);
        EXPECT_TRUE(view.isExpanded(idx));
        EXPECT_EQ(model.rowCount(idx), 2);
    }
    // A removal, a sort and a selection made while additions wait stay consistent.
    store.addChild(kNoNode, "(late)");
    store.remove(store.child(kNoNode, 3));
    store.sortChildren(kNoNode);
    const NodeId last = store.lastChild(kNoNode);
    store.select(last);
    EXPECT_EQ(model.nodeOf(view.currentIndex()), last);
    store.addChild(kNoNode, "(later)");
    model.setDeferred(false);   // switching off hands over the rest
    expectMirrors();
}

TEST_F(TreeModelTest, SelectionFollowsBothWays) {
    QTreeView view;
    TreeViewBinder binder(model, &view);
    const NodeId root = store.addChild(kNoNode, "C:");
    const NodeId dir = store.addChild(root, "--> sub");
    const NodeId deep = store.addChild(dir, "deep.txt");
    const NodeId other = store.addChild(root, "z.txt");

    // The store reveals and selects a node the view has never fetched.
    store.select(deep);
    EXPECT_EQ(model.nodeOf(view.currentIndex()), deep);
    EXPECT_TRUE(view.isExpanded(model.indexOf(root)));
    EXPECT_TRUE(view.isExpanded(model.indexOf(dir)));

    // The user's choice reaches the store and its change event once.
    std::vector<NodeId> changes;
    store.events.change = [&](NodeId n) { changes.push_back(n); };
    view.setCurrentIndex(model.indexOf(other));
    EXPECT_EQ(store.selected(), other);
    EXPECT_EQ(changes, std::vector<NodeId>{other});

    // A change handler that moves the selection elsewhere wins in the view too.
    store.events.change = [&](NodeId n) {
        changes.push_back(n);
        if (n == root) store.select(dir);
    };
    view.setCurrentIndex(model.indexOf(root));
    EXPECT_EQ(store.selected(), dir);
    EXPECT_EQ(model.nodeOf(view.currentIndex()), dir);

    // Removing the selected node: the store's choice of neighbour, not the view's.
    const NodeId a = store.addChild(dir, "a.txt");
    const NodeId b = store.addChild(dir, "b.txt");
    const NodeId c = store.addChild(dir, "c.txt");
    (void)a;
    store.select(b);
    store.remove(b);
    EXPECT_EQ(store.selected(), c);
    EXPECT_EQ(model.nodeOf(view.currentIndex()), c);

    store.clear();
    EXPECT_FALSE(view.currentIndex().isValid());
}

// A tree always shows its selected node: a click beside the nodes or a Ctrl+click on the
// selected one leaves the store's selection highlighted.
TEST_F(TreeModelTest, ViewKeepsTheStoresSelectionHighlighted) {
    QTreeView view;
    view.resize(200, 200);
    TreeViewBinder binder(model, &view);
    view.show();
    const NodeId root = store.addChild(kNoNode, "C:");
    const NodeId file = store.addChild(root, "a.txt");
    store.select(file);
    ASSERT_TRUE(view.selectionModel()->isSelected(model.indexOf(file)));

    auto click = [&](QPoint at, Qt::KeyboardModifiers mods) {
        QMouseEvent press(QEvent::MouseButtonPress, at, view.viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, mods);
        QCoreApplication::sendEvent(view.viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, view.viewport()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, mods);
        QCoreApplication::sendEvent(view.viewport(), &release);
    };
    const QPoint blank(view.viewport()->width() / 2, view.viewport()->height() - 5);
    ASSERT_FALSE(view.indexAt(blank).isValid());
    click(blank, Qt::NoModifier);
    EXPECT_EQ(store.selected(), file);
    EXPECT_TRUE(view.selectionModel()->isSelected(model.indexOf(file)));

    click(view.visualRect(model.indexOf(file)).center(), Qt::ControlModifier);
    EXPECT_EQ(store.selected(), file);
    EXPECT_TRUE(view.selectionModel()->isSelected(model.indexOf(file)));
}

// Keys and type-ahead move the view's current row and its highlight in one step, the
// highlight first: the store's selected node and the highlighted row stay one.
TEST_F(TreeModelTest, KeysAndTypeAheadMoveTheHighlightWithTheSelection) {
    // Folders are found by name, as DirList's are.
    model.setSearchName([this](NodeId n) {
        std::string_view t = store.text(n);
        return t.substr(0, 4) == "--> " ? t.substr(4) : t;
    });
    QTreeView view;
    view.resize(300, 300);
    TreeViewBinder binder(model, &view);
    view.show();
    const NodeId root = store.addChild(kNoNode, "C:");
    const NodeId a = store.addChild(root, "--> ux-a");
    const NodeId big = store.addChild(root, "--> ux-big");
    const NodeId edge = store.addChild(root, "--> ux-edge");
    store.addChild(edge, "inside.txt");
    const NodeId file = store.addChild(root, "ux-file.txt");
    store.select(root);
    store.expand(root);
    view.setFocus();

    auto press = [&](int key, const QString& text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent down(QEvent::KeyPress, key, mods, text);
        QCoreApplication::sendEvent(&view, &down);
        QKeyEvent up(QEvent::KeyRelease, key, mods, text);
        QCoreApplication::sendEvent(&view, &up);
    };
    auto expectOne = [&](NodeId node, const char* after) {
        SCOPED_TRACE(after);
        EXPECT_EQ(store.selected(), node);
        EXPECT_EQ(model.nodeOf(view.currentIndex()), node);
        const QModelIndexList highlighted = view.selectionModel()->selectedIndexes();
        ASSERT_EQ(highlighted.size(), 1);
        EXPECT_EQ(model.nodeOf(highlighted.first()), node);
    };
    for (QChar c : QStringLiteral("ux-e")) press(c.toUpper().unicode(), QString(c));
    expectOne(edge, "typing ux-e");
    press(Qt::Key_Up);
    expectOne(big, "the up arrow");
    press(Qt::Key_Home);
    expectOne(root, "Home");
    // A new search after a pause: "ux-f" finds a file by its whole text.
    view.keyboardSearch({});
    for (QChar c : QStringLiteral("ux-f")) press(c.toUpper().unicode(), QString(c));
    expectOne(file, "typing ux-f");
    // Ctrl+arrow moves the current row alone; the store follows it, and the highlight too.
    press(Qt::Key_Up, {}, Qt::ControlModifier);
    expectOne(edge, "Ctrl+up");
    (void)a;
}

// Changes made as one batch reach the view once: expanded states, removals as one layout
// change (persistent indexes follow their nodes), the selection at the end; meanwhile the
// view neither lays itself out nor paints.
TEST_F(TreeModelTest, ABatchReachesTheViewOnceAtItsEnd) {
    TreeView view;
    view.resize(300, 300);
    TreeViewBinder binder(model, &view);
    view.show();
    const NodeId root = store.addChild(kNoNode, "C:");
    std::vector<NodeId> folders, files;
    for (int i = 0; i < 5; ++i) {
        const NodeId f = store.addChild(root, "--> d" + std::to_string(i), NodeKind::Folder);
        folders.push_back(f);
        for (int j = 0; j < 4; ++j) files.push_back(store.addChild(f, "f" + std::to_string(j), NodeKind::File));
    }
    // A file's row tells the view it never has children; a folder's must not.
    EXPECT_TRUE(model.flags(model.indexOf(files[0])) & Qt::ItemNeverHasChildren);
    EXPECT_FALSE(model.flags(model.indexOf(folders[0])) & Qt::ItemNeverHasChildren);
    EXPECT_FALSE(model.flags(model.indexOf(root)) & Qt::ItemNeverHasChildren);
    store.select(files[1]);   // reveals d0
    QCoreApplication::processEvents();
    QPersistentModelIndex goes(model.indexOf(files[0]));
    QPersistentModelIndex moves(model.indexOf(files[3]));
    QPersistentModelIndex folderMoves(model.indexOf(folders[2]));
    ASSERT_TRUE(view.isExpanded(model.indexOf(folders[0])));
    Count removedRows(model, &QAbstractItemModel::rowsRemoved);

    store.beginBatch();
    EXPECT_TRUE(view.layoutHeld());
    EXPECT_FALSE(view.updatesEnabled());
    for (NodeId f : folders) store.expand(f);
    EXPECT_FALSE(view.isExpanded(model.indexOf(folders[3])));   // not yet
    store.remove(files[1]);   // the selected node: the store picks its neighbour
    store.remove(files[0]);
    store.remove(folders[1]);
    store.select(files[17]);
    store.endBatch();

    EXPECT_EQ(removedRows.count(), 0);
    EXPECT_FALSE(view.layoutHeld());
    EXPECT_TRUE(view.updatesEnabled());
    for (NodeId f : {folders[0], folders[2], folders[3], folders[4]})
        EXPECT_TRUE(view.isExpanded(model.indexOf(f))) << store.text(f);
    EXPECT_FALSE(goes.isValid());
    ASSERT_TRUE(moves.isValid());
    EXPECT_EQ(model.nodeOf(moves), files[3]);
    EXPECT_EQ(moves.row(), store.row(files[3]));
    EXPECT_EQ(model.nodeOf(folderMoves), folders[2]);
    EXPECT_EQ(folderMoves.row(), 1);
    EXPECT_EQ(model.nodeOf(view.currentIndex()), files[17]);
    EXPECT_TRUE(view.selectionModel()->isSelected(model.indexOf(files[17])));
    expectMirrors();
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.visualRect(model.indexOf(files[17])).isValid());

    // Collapsing in a batch closes the rows in the view too.
    {
        TreeStore::Batch batch(store);
        for (NodeId f : {folders[0], folders[2], folders[3]}) store.collapse(f);
    }
    EXPECT_FALSE(view.isExpanded(model.indexOf(folders[2])));
    EXPECT_TRUE(view.isExpanded(model.indexOf(folders[4])));
}

// The column fits its rows as their texts and the font change, as wide as a view that
// measures every row afresh finds them (the rows' sizes are kept between fits).
TEST_F(TreeModelTest, TheColumnFitsItsRowsAsTheirTextsAndTheFontChange) {
    struct FreshView : QTreeView {   // Qt's own delegate, no sizes kept
        using QTreeView::sizeHintForColumn;
    };
    std::unique_ptr<QTreeView> made(makeTree(QStringLiteral("DblList"), QStringLiteral("t"), 19, nullptr));
    TreeView& view = *static_cast<TreeView*>(made.get());
    view.resize(200, 200);
    TreeViewBinder binder(model, &view);
    FreshView fresh;
    fresh.setIndentation(19);
    fresh.setIconSize(view.iconSize());
    fresh.setModel(&model);
    fresh.setHeaderHidden(true);
    view.show();
    const NodeId root = store.addChild(kNoNode, "C:", NodeKind::Folder);
    for (int i = 0; i < 5; ++i) store.addChild(root, "f" + std::to_string(i), NodeKind::File);
    const NodeId longName = store.addChild(root, std::string(120, 'w'), NodeKind::File);
    store.select(longName);
    fresh.expandAll();
    // The column's width, checked against the fresh measure.
    const auto fits = [&](const char* when) {
        QCoreApplication::processEvents();
        const int width = std::max(fresh.sizeHintForColumn(0), view.viewport()->width());
        EXPECT_EQ(view.sizeHintForColumn(0), width) << when;
        EXPECT_EQ(view.header()->sectionSize(0), width) << when;
        return width;
    };
    const int wide = fits("a long name");
    EXPECT_GT(wide, view.viewport()->width());
    store.setText(longName, std::string(60, 'w'));
    const int narrower = fits("the name shortened");
    EXPECT_LT(narrower, wide);
    store.setText(longName, std::string(120, 'w'));
    EXPECT_EQ(fits("the name as it was"), wide);
    QFont larger = view.font();
    larger.setPointSize(larger.pointSize() * 2);
    view.setFont(larger);
    fresh.setFont(larger);
    const int larger120 = fits("a larger font");
    EXPECT_GT(larger120, wide);
    store.remove(longName);
    EXPECT_LT(fits("the long name gone"), larger120);
}

// A node the program selects out of sight is scrolled to mid-height, with neighbours on
// both sides; one already in sight does not move the view.
TEST_F(TreeModelTest, AProgramsSelectionOutOfSightLandsMidHeight) {
    QTreeView view;
    view.resize(200, 200);
    TreeViewBinder binder(model, &view);
    view.show();
    std::vector<NodeId> rows;
    for (int i = 0; i < 200; ++i) rows.push_back(store.addChild(kNoNode, "row " + std::to_string(i)));
    QCoreApplication::processEvents();
    const QRect area = view.viewport()->rect();
    auto place = [&](NodeId n) { return view.visualRect(model.indexOf(n)); };

    store.select(rows[150]);
    QRect at = place(rows[150]);
    EXPECT_GT(at.top(), area.height() / 4);
    EXPECT_LT(at.bottom(), area.height() * 3 / 4);
    EXPECT_TRUE(place(rows[147]).intersects(area));
    EXPECT_TRUE(place(rows[153]).intersects(area));

    const int scrolled = view.verticalScrollBar()->value();
    store.select(rows[152]);
    EXPECT_EQ(view.verticalScrollBar()->value(), scrolled);

    store.select(rows[3]);   // back up: no row above to show, the first rows stay
    at = place(rows[3]);
    EXPECT_TRUE(at.intersects(area));
    EXPECT_TRUE(place(rows[0]).intersects(area));
}

TEST_F(TreeModelTest, ExpansionFollowsBothWaysAndRaisesEachEventOnce) {
    QTreeView view;
    TreeViewBinder binder(model, &view);
    const NodeId root = store.addChild(kNoNode, "C:");
    const NodeId dir = store.addChild(root, "--> sub");
    store.addChild(dir, "f.txt");
    int expanding = 0;
    int collapsing = 0;
    store.events.expanding = [&](NodeId) { ++expanding; };
    store.events.collapsing = [&](NodeId) { ++collapsing; };

    view.expand(model.indexOf(root));
    EXPECT_TRUE(store.isExpanded(root));
    EXPECT_EQ(expanding, 1);
    view.collapse(model.indexOf(root));
    EXPECT_FALSE(store.isExpanded(root));
    EXPECT_EQ(collapsing, 1);

    store.expand(dir);   // under a collapsed parent: shown once the parent opens
    EXPECT_EQ(expanding, 2);
    store.expand(root);
    EXPECT_EQ(expanding, 3);
    EXPECT_TRUE(view.isExpanded(model.indexOf(root)));
    EXPECT_TRUE(view.isExpanded(model.indexOf(dir)));
    store.collapse(dir);
    EXPECT_FALSE(view.isExpanded(model.indexOf(dir)));
    EXPECT_EQ(collapsing, 2);
}

TEST_F(TreeModelTest, PicturesFollowTheSelectionAndTheImageIndices) {
    std::vector<QIcon> images;
    for (int i = 0; i < 6; ++i) {
        QPixmap pm(16, 16);
        pm.fill(QColor::fromHsv(i * 50, 255, 255));
        images.emplace_back(pm);
    }
    model.setImages(images);
    const NodeId dir = store.addChild(kNoNode, "C:");
    const NodeId other = store.addChild(kNoNode, "D:");
    store.setKind(dir, NodeKind::Folder);
    store.setMarked(dir, true);
    auto pictureOf = [&](NodeId n) { return model.indexOf(n).data(Qt::DecorationRole).value<QIcon>().cacheKey(); };
    EXPECT_EQ(pictureOf(dir), images[1].cacheKey());
    Count changed(model, &QAbstractItemModel::dataChanged);
    store.select(dir);
    EXPECT_EQ(pictureOf(dir), images[3].cacheKey());
    changed.clear();
    store.select(other);
    EXPECT_EQ(pictureOf(dir), images[1].cacheKey());
    EXPECT_GE(changed.count(), 2);   // the old and the new selection repaint

    // Bytes that are not UTF-8 still show, with replacement characters.
    const NodeId odd = store.addChild(kNoNode, std::string("caf\xE9", 4));
    EXPECT_EQ(model.indexOf(odd).data().toString(), QStringLiteral("caf\uFFFD"));

    // A view that hides its highlight without the focus shows the selected node's own
    // picture meanwhile, and the selected one while it has the focus.
    store.select(dir);
    QWidget window;
    auto* view = new QTreeView(&window);
    auto* elsewhere = new QLineEdit(&window);
    TreeViewBinder binder(model, view);
    window.show();
    QApplication::setActiveWindow(&window);
    elsewhere->setFocus();
    binder.setSelectionHidden(true);
    EXPECT_EQ(pictureOf(dir), images[1].cacheKey());
    view->setFocus();
    EXPECT_EQ(pictureOf(dir), images[3].cacheKey());
    elsewhere->setFocus();
    EXPECT_EQ(pictureOf(dir), images[1].cacheKey());
    binder.setSelectionHidden(false);
    EXPECT_EQ(pictureOf(dir), images[3].cacheKey());
}

// A view that outlives its model lets go of the store: the store's changes reach nothing dead.
TEST_F(TreeModelTest, AViewOutlivingItsModelLeavesTheStoreAlone) {
    QTreeView view;
    auto own = std::make_unique<TreeModel>(store);
    TreeViewBinder binder(*own, &view);
    const NodeId root = store.addChild(kNoNode, "C:");
    store.addChild(root, "a.txt");
    own.reset();
    store.expand(root);
    store.select(store.child(root, 0));
    store.beginBatch();
    store.remove(root);
    store.endBatch();
    EXPECT_TRUE(store.empty());
}

}  // namespace
}  // namespace parelix
