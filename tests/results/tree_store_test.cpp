#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "results/TreeStore.h"

using namespace parelix;

namespace {

// Keeps its own copy of the tree from the notifications alone, the way a Qt model does, and
// checks at each notification that the rows it is told about are the ones the store holds.
class MirrorListener : public TreeListener {
public:
    explicit MirrorListener(const TreeStore& t) : t_(t) {}
    std::map<NodeId, std::vector<NodeId>> kids;   // kNoNode: top level
    int failures = 0;

    void nodesAboutToBeInserted(NodeId parent, int first, int last) override {
        expect(first == static_cast<int>(kids[parent].size()) && last >= first, "insert rows");
        expect(t_.childCount(parent) == first, "insert announced after the fact");
        pending_ = {parent, first, last};
    }
    void nodesInserted(NodeId parent, int first, int last) override {
        expect(pending_ == Pending{parent, first, last}, "insert not announced");
        pending_ = {};
        auto& list = kids[parent];
        for (int r = first; r <= last; ++r) {
            const NodeId n = t_.child(parent, r);
            expect(n != kNoNode && t_.parent(n) == parent && t_.row(n) == r, "inserted node");
            list.insert(list.begin() + r, n);
        }
    }
    void nodesAboutToBeRemoved(NodeId parent, int first, int last) override {
        pending_ = {parent, first, last};
        auto& list = kids[parent];
        expect(last < static_cast<int>(list.size()), "removed rows out of range");
        for (int r = last; r >= first && r < static_cast<int>(list.size()); --r) {
            const NodeId n = list[static_cast<std::size_t>(r)];
            expect(t_.child(parent, r) == n && t_.isValid(n), "removed row is not that node");
            drop(n);
            list.erase(list.begin() + r);
        }
    }
    void nodesRemoved(NodeId parent, int first, int last) override {
        expect(pending_ == Pending{parent, first, last}, "removal not announced");
        pending_ = {};
        expect(t_.childCount(parent) == static_cast<int>(kids[parent].size()), "removed count");
    }
    void childrenReordered(NodeId parent) override {
        auto old = kids[parent];
        auto now = t_.children(parent);
        std::sort(old.begin(), old.end());
        auto sorted = now;
        std::sort(sorted.begin(), sorted.end());
        expect(old == sorted, "reorder changed the set of children");
        kids[parent] = now;
    }
    void cleared() override { kids.clear(); }

    // The mirror and the store agree everywhere.
    bool matches() const {
        std::function<bool(NodeId)> same = [&](NodeId p) {
            auto it = kids.find(p);
            const std::vector<NodeId> mine = it == kids.end() ? std::vector<NodeId>{} : it->second;
            if (mine != t_.children(p)) return false;
            for (NodeId c : mine)
                if (!same(c)) return false;
            return true;
        };
        return same(kNoNode);
    }

private:
    void expect(bool ok, const char* what) {
        if (!ok) {
            ++failures;
            ADD_FAILURE() << what;
        }
    }
    void drop(NodeId n) {
        for (NodeId c : kids[n]) drop(c);
        kids.erase(n);
    }
    struct Pending {
        NodeId parent = kNoNode;
        int first = -1, last = -1;
        bool operator==(const Pending&) const = default;
    };
    const TreeStore& t_;
    Pending pending_;
};

std::vector<NodeId> preorder(const TreeStore& t) {
    std::vector<NodeId> out;
    std::function<void(NodeId)> visit = [&](NodeId p) {
        for (NodeId c : t.children(p)) {
            out.push_back(c);
            visit(c);
        }
    };
    visit(kNoNode);
    return out;
}

}  // namespace

TEST(TreeStore, SortKeepsFoldersTogetherAndRenumbersRows) {
    TreeStore t;
    NodeId root = t.addChild(kNoNode, "C:");
    NodeId b = t.addChild(root, "b");
    NodeId a = t.addChild(root, "a");
    NodeId dir = t.addChild(root, "--> z");
    NodeId B = t.addChild(root, "B");
    NodeId dir2 = t.addChild(root, "--> a");
    t.sortChildren(root);
    // Case counts, the "--> " prefix keeps folders together ahead of the files.
    EXPECT_EQ(t.children(root), (std::vector<NodeId>{dir2, dir, a, b, B}));
    for (int r = 0; r < t.childCount(root); ++r) EXPECT_EQ(t.row(t.child(root, r)), r);
    EXPECT_EQ(t.counter(a), -1);
    EXPECT_EQ(t.imageIndex(a), 0);
    EXPECT_EQ(t.link(a), kNoNode);
}

// A mark or a kind that changes changes the node's pictures: the views hear of it once, and
// not at all when nothing changed (every node of a long path is marked again per duplicate).
TEST(TreeStore, KindAndMarkChangesAreToldOnce) {
    struct Changes : TreeListener {
        std::vector<NodeId> nodes;
        void nodeChanged(NodeId node) override { nodes.push_back(node); }
    } changes;
    TreeStore t;
    t.addListener(&changes);
    const NodeId dir = t.addChild(kNoNode, "--> a");
    t.setKind(dir, NodeKind::Folder);
    t.setKind(dir, NodeKind::Folder);
    EXPECT_EQ(changes.nodes, std::vector<NodeId>{dir});
    t.setMarked(dir, true);
    t.setMarked(dir, true);
    EXPECT_EQ(changes.nodes, (std::vector<NodeId>{dir, dir}));
    EXPECT_EQ(t.imageIndex(dir), kImgFolderMarked);
    EXPECT_EQ(t.selectedIndex(dir), kImgFolderOpenMarked);
    t.setMarked(dir, false);
    EXPECT_EQ(changes.nodes.size(), 3u);
    EXPECT_EQ(t.imageIndex(dir), kImgFolder);
    EXPECT_EQ(t.selectedIndex(dir), kImgFolderOpen);
}

TEST(TreeStore, RemovedSlotsComeBackFresh) {
    TreeStore t;
    NodeId root = t.addChild(kNoNode, "D:");
    NodeId dir = t.addChild(root, "--> x");
    NodeId f = t.addChild(dir, "f");
    t.addChild(dir, "g");
    t.setKind(dir, NodeKind::Folder);
    t.setMarked(dir, true);
    t.setCounter(f, 1);
    t.setLink(f, 7);
    t.setBytes(f, 4096);
    t.expand(dir);
    t.remove(dir);
    EXPECT_FALSE(t.isValid(dir));
    EXPECT_FALSE(t.isValid(f));
    EXPECT_EQ(t.nodeCount(), 1u);
    EXPECT_EQ(t.childCount(root), 0);
    // Reused ids carry nothing of the nodes that held them.
    for (int i = 0; i < 3; ++i) {
        NodeId n = t.addChild(root, "n" + std::to_string(i));
        EXPECT_EQ(t.counter(n), -1);
        EXPECT_EQ(t.kind(n), NodeKind::Plain);
        EXPECT_EQ(t.link(n), kNoNode);
        EXPECT_EQ(t.bytes(n), std::nullopt);
        EXPECT_FALSE(t.isExpanded(n));
        EXPECT_EQ(t.imageIndex(n), 0);
        EXPECT_EQ(t.selectedIndex(n), 0);
        EXPECT_EQ(t.childCount(n), 0);
        EXPECT_EQ(t.row(n), i);
    }
}

// Rows are kept per node: after a middle child goes, those after it move up one, and their
// siblings are found through the new rows.
TEST(TreeStore, SiblingsAfterARemovedMiddleChildMoveUp) {
    TreeStore t;
    const NodeId root = t.addChild(kNoNode, "D:");
    std::vector<NodeId> kids;
    for (const char* name : {"a", "b", "c", "d", "e"}) kids.push_back(t.addChild(root, name));
    t.remove(kids[1]);
    const std::vector<NodeId> left{kids[0], kids[2], kids[3], kids[4]};
    ASSERT_EQ(t.children(root), left);
    for (std::size_t i = 0; i < left.size(); ++i) {
        EXPECT_EQ(t.row(left[i]), static_cast<int>(i));
        EXPECT_EQ(t.child(root, static_cast<int>(i)), left[i]);
        EXPECT_EQ(t.prevSibling(left[i]), i == 0 ? kNoNode : left[i - 1]);
        EXPECT_EQ(t.nextSibling(left[i]), i + 1 == left.size() ? kNoNode : left[i + 1]);
    }
    EXPECT_EQ(t.nextSibling(kids[0]), kids[2]);
    EXPECT_EQ(t.prevInTreeOrder(kids[2]), kids[0]);
    EXPECT_EQ(t.nextInTreeOrder(kids[0]), kids[2]);
}

TEST(TreeStore, TreeOrderCrossesFoldersBothWays) {
    TreeStore t;
    NodeId r1 = t.addChild(kNoNode, "D:");
    NodeId a = t.addChild(r1, "--> a");
    NodeId aa = t.addChild(a, "--> aa");
    t.addChild(aa, "deep");
    t.addChild(a, "a2");
    t.addChild(r1, "--> empty");
    t.addChild(r1, "last");
    NodeId r2 = t.addChild(kNoNode, "E:");
    t.addChild(t.addChild(r2, "--> b"), "b1");
    const auto order = preorder(t);
    ASSERT_EQ(order.size(), t.nodeCount());

    std::vector<NodeId> forward;
    for (NodeId n = t.firstRoot(); n != kNoNode; n = t.nextInTreeOrder(n)) forward.push_back(n);
    EXPECT_EQ(forward, order);
    std::vector<NodeId> backward;
    for (NodeId n = order.back(); n != kNoNode; n = t.prevInTreeOrder(n)) backward.push_back(n);
    EXPECT_EQ(std::vector<NodeId>(backward.rbegin(), backward.rend()), order);
    // Collapsed state does not matter.
    EXPECT_FALSE(t.isExpanded(a));
}

TEST(TreeStore, SelectionEventsAndReveal) {
    TreeStore t;
    std::vector<std::string> log;
    t.events.expanding = [&](NodeId n) { log.push_back("expanding " + t.text(n)); };
    t.events.expanded = [&](NodeId n) { log.push_back("expanded " + t.text(n)); };
    t.events.change = [&](NodeId n) { log.push_back("change " + t.text(n)); };
    NodeId root = t.addChild(kNoNode, "D:");
    NodeId a = t.addChild(root, "--> a");
    NodeId b = t.addChild(a, "--> b");
    NodeId f = t.addChild(b, "f");
    t.expand(a);   // already open: only the outer and inner ones open on reveal
    log.clear();

    t.select(f);
    EXPECT_EQ(log, (std::vector<std::string>{"expanding D:", "expanded D:", "expanding --> b", "expanded --> b",
                                             "change f"}));
    EXPECT_TRUE(t.isExpanded(root) && t.isExpanded(b));
    log.clear();
    t.select(f);   // the selected node again: nothing at all
    EXPECT_TRUE(log.empty());

    // A node without children never opens; an open node asked again still raises expanding.
    t.expand(f);
    EXPECT_FALSE(t.isExpanded(f));
    EXPECT_TRUE(log.empty());
    t.expand(a);
    EXPECT_EQ(log, (std::vector<std::string>{"expanding --> a"}));
    log.clear();

    // The selected subtree goes: the selection moves to the removed node's neighbour.
    NodeId sib = t.addChild(root, "z");
    t.remove(a);
    EXPECT_EQ(t.selected(), sib);
    EXPECT_EQ(log, (std::vector<std::string>{"change z"}));
    t.remove(sib);
    EXPECT_EQ(t.selected(), root);
    log.clear();
    t.remove(root);
    EXPECT_EQ(t.selected(), kNoNode);
    EXPECT_TRUE(log.empty());
    t.select(f);   // a removed node is refused
    EXPECT_EQ(t.selected(), kNoNode);
}

TEST(TreeStore, ListenersCanFollowEveryChange) {
    TreeStore t;
    MirrorListener mirror(t);
    t.addListener(&mirror);
    std::mt19937 rng(12345);
    std::vector<NodeId> alive;
    auto refresh = [&] { alive = preorder(t); };
    for (int step = 0; step < 3000; ++step) {
        refresh();
        const int op = static_cast<int>(rng() % 10);
        if (alive.empty() || op < 5) {
            const NodeId parent = alive.empty() || rng() % 8 == 0 ? kNoNode : alive[rng() % alive.size()];
            t.addChild(parent, std::string(1, static_cast<char>('a' + rng() % 26)) + std::to_string(rng() % 100));
        } else if (op < 7) {
            NodeId n = alive[rng() % alive.size()];
            if (rng() % 3 == 0) t.select(n);
            t.remove(n);
        } else if (op < 9) {
            t.sortChildren(rng() % 4 == 0 ? kNoNode : alive[rng() % alive.size()]);
        } else if (rng() % 50 == 0) {
            t.clear();
        }
        ASSERT_EQ(mirror.failures, 0) << "step " << step;
    }
    EXPECT_TRUE(mirror.matches());
    EXPECT_EQ(preorder(t).size(), t.nodeCount());
}

// An id that names no node, or a child under a file, is the caller's fault: it ends the
// program where asserts are on (debug and sanitizer builds), instead of reading or writing
// another node's slot.
TEST(TreeStoreDeathTest, IdsThatNameNoNodeEndTheProgramWhereChecksAreOn) {
#ifdef NDEBUG
    GTEST_SKIP() << "checks are on in the sanitizer builds only";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TreeStore t;
    const NodeId root = t.addChild(kNoNode, "D:");
    const NodeId gone = t.addChild(root, "gone");
    const NodeId file = t.addChild(root, "f", NodeKind::File);
    t.remove(gone);
    EXPECT_DEATH(t.text(gone), "node id not valid");
    EXPECT_DEATH(t.setCounter(gone, 1), "node id not valid");
    EXPECT_DEATH(t.parent(gone), "node id not valid");
    EXPECT_DEATH(t.childCount(gone), "node id not valid");
    EXPECT_DEATH(t.kind(12345), "node id not valid");
    EXPECT_DEATH(t.addChild(file, "under a file"), "a file node has no children");
    // The calls that take any id still do.
    t.expand(gone);
    t.select(gone);
    t.remove(gone);
    EXPECT_EQ(t.selected(), kNoNode);
#endif
}
