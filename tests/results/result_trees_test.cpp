#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "results/ResultTrees.h"

using namespace parelix;

namespace {

class ResultTreesTest : public ::testing::Test {
protected:
    ResultTrees t;
    TreeStore& dir = t.dirList;
    TreeStore& dbl = t.dblList;

    // Nodes as the collection walk leaves them.
    NodeId root(const std::string& text) { return walked(dir.addChild(kNoNode, text)); }
    NodeId folder(NodeId parent, const std::string& name) { return walked(dir.addChild(parent, "--> " + name)); }
    NodeId file(NodeId parent, const std::string& name) {
        const NodeId n = dir.addChild(parent, name);
        dir.setKind(n, NodeKind::File);
        dir.setCounter(n, 0);
        return n;
    }
    NodeId walked(NodeId n) {
        dir.setKind(n, NodeKind::Folder);
        dir.setCounter(n, 0);
        return n;
    }
    // A group as duplicate detection closes it.
    NodeId group(const std::vector<NodeId>& files) {
        const NodeId g = t.addGroup(static_cast<std::uint64_t>(dbl.childCount(kNoNode)));
        for (NodeId f : files) t.addDuplicate(g, t.nodePath(f), f);
        dbl.sortChildren(g);
        dbl.expand(g);
        return g;
    }
    void images(NodeId n, int image, int selected) {
        EXPECT_EQ(dir.imageIndex(n), image) << dir.text(n);
        EXPECT_EQ(dir.selectedIndex(n), selected) << dir.text(n);
    }

    // Links in pairs, counters equal to the linked files below, marks exactly on collapsed
    // nodes with a positive counter, groups of two or more.
    void checkInvariants() {
        std::function<int(NodeId)> linkedBelow = [&](NodeId n) {
            int count = dir.link(n) != kNoNode ? 1 : 0;
            for (NodeId c : dir.children(n)) count += linkedBelow(c);
            return count;
        };
        for (NodeId n = dir.firstRoot(); n != kNoNode; n = dir.nextInTreeOrder(n)) {
            if (const NodeId m = dir.link(n); m != kNoNode) {
                ASSERT_TRUE(dbl.isValid(m)) << dir.text(n);
                EXPECT_EQ(dbl.link(m), n);
                EXPECT_TRUE(t.isFileNode(n));
            }
            EXPECT_EQ(dir.imageIndex(n) & 1, dir.selectedIndex(n) & 1) << dir.text(n);
            if (dir.counter(n) == -1) {   // never walked
                EXPECT_EQ(dir.imageIndex(n), 0);
                EXPECT_EQ(dir.childCount(n), 0);
                continue;
            }
            EXPECT_EQ(dir.counter(n), linkedBelow(n)) << dir.text(n);
            EXPECT_EQ((dir.imageIndex(n) & 1) == 1, dir.counter(n) > 0 && !dir.isExpanded(n)) << dir.text(n);
        }
        for (NodeId g : dbl.children(kNoNode)) {
            EXPECT_GE(dbl.childCount(g), 2) << dbl.text(g);
            EXPECT_EQ(dbl.link(g), kNoNode);
            for (NodeId m : dbl.children(g)) {
                ASSERT_TRUE(dir.isValid(dbl.link(m)));
                EXPECT_EQ(dir.link(dbl.link(m)), m);
                EXPECT_EQ(dbl.text(m), t.nodePath(dbl.link(m)));
            }
        }
    }
};

}  // namespace

TEST_F(ResultTreesTest, MarksMoveDownWhenAFolderOpensAndBackWhenItCloses) {
    const NodeId r = root("D:\\Data");
    const NodeId a = folder(r, "A");
    const NodeId b = folder(a, "B");
    const NodeId f1 = file(b, "f1");
    const NodeId f2 = file(a, "f2");
    const NodeId plain = file(a, "plain");
    const NodeId o1 = file(r, "o1");
    const NodeId o2 = file(r, "o2");
    const NodeId stopped = dir.addChild(r, "--> stopped");   // met after a stop, never walked
    dir.expand(r);   // opened by the user while the comparison runs: counted, not marked
    group({f1, o1});
    group({f2, o2});
    checkInvariants();

    EXPECT_EQ(dir.counter(r), 4);
    images(r, kImgFolder, kImgFolderOpen);
    EXPECT_EQ(dir.counter(a), 2);
    images(a, kImgFolderMarked, kImgFolderOpenMarked);
    images(f1, kImgFileMarked, kImgFileMarked);
    images(plain, kImgFile, kImgFile);
    EXPECT_EQ(dir.counter(plain), 0);
    EXPECT_EQ(dir.counter(stopped), -1);
    images(stopped, 0, 0);

    dir.expand(a);
    images(a, kImgFolder, kImgFolderOpen);
    EXPECT_EQ(dir.counter(a), 2);
    images(b, kImgFolderMarked, kImgFolderOpenMarked);
    images(f2, kImgFileMarked, kImgFileMarked);
    dir.collapse(a);
    images(a, kImgFolderMarked, kImgFolderOpenMarked);
    dir.collapse(r);
    images(r, kImgFolderMarked, kImgFolderOpenMarked);
    dir.expand(stopped);   // nothing to open
    EXPECT_FALSE(dir.isExpanded(stopped));
    checkInvariants();

    // Selecting a hidden file opens the folders above it, which give up their marks.
    dir.select(f1);
    EXPECT_TRUE(dir.isExpanded(r) && dir.isExpanded(a) && dir.isExpanded(b));
    images(b, kImgFolder, kImgFolderOpen);
    checkInvariants();
}

TEST_F(ResultTreesTest, RemovingFilesShrinksAndDissolvesGroups) {
    const NodeId r = root("D:");
    const NodeId a = folder(r, "A");
    const NodeId b = folder(r, "B");
    const NodeId a1 = file(a, "a1");
    const NodeId b1 = file(b, "b1");
    const NodeId r1 = file(r, "r1");
    const NodeId x = file(a, "x");
    const NodeId y = file(b, "y");
    const NodeId three = group({a1, b1, r1});
    group({x, y});
    dir.expand(b);
    checkInvariants();
    EXPECT_EQ(dir.counter(r), 5);

    // A group of three losing one keeps two linked, marked members.
    t.removeNode(a1);
    ASSERT_TRUE(dbl.isValid(three));
    EXPECT_EQ(dbl.childCount(three), 2);
    images(b1, kImgFileMarked, kImgFileMarked);
    images(r1, kImgFileMarked, kImgFileMarked);
    EXPECT_EQ(dir.counter(a), 1);
    EXPECT_EQ(dir.counter(r), 4);
    checkInvariants();

    // A group of two goes away whole; the other file is a plain file again and every folder
    // above it counts one less, losing its mark at 0, open or not.
    t.removeNode(x);
    EXPECT_EQ(dbl.childCount(kNoNode), 1);
    EXPECT_EQ(dir.link(y), kNoNode);
    images(y, kImgFile, kImgFile);
    EXPECT_EQ(dir.counter(y), 0);
    EXPECT_EQ(dir.counter(a), 0);
    images(a, kImgFolder, kImgFolderOpen);
    EXPECT_EQ(dir.counter(b), 1);
    EXPECT_EQ(dir.counter(r), 2);
    checkInvariants();

    t.removeNode(b1);
    EXPECT_TRUE(dbl.empty());
    EXPECT_EQ(dir.counter(r), 0);
    images(r, kImgFolder, kImgFolderOpen);
    images(b, kImgFolder, kImgFolderOpen);
    checkInvariants();
}

TEST_F(ResultTreesTest, RemovingAFolderTakesEveryLinkBelowIt) {
    const NodeId r = root("D:\\Data");
    const NodeId d = folder(r, "D");
    const NodeId e = folder(d, "E");
    const NodeId out = folder(r, "out");
    const NodeId after = file(r, "zz");
    auto in = [&](const char* n) { return file(d, n); };
    auto ext = [&](const char* n) { return file(out, n); };
    group({in("a1"), ext("oa")});                        // dissolves
    group({in("b1"), in("b2"), ext("ob")});              // dissolves, ob unlinked
    const NodeId kept = group({in("c1"), ext("c2"), ext("c3")});   // keeps two
    group({file(e, "e1"), ext("oe")});                   // link two levels down
    group({in("d1"), in("d2")});                         // wholly inside
    checkInvariants();
    dir.select(d);

    t.removeNode(d);
    EXPECT_FALSE(dir.isValid(d));
    EXPECT_FALSE(dir.isValid(e));
    ASSERT_EQ(dbl.children(kNoNode), std::vector<NodeId>{kept});
    EXPECT_EQ(dbl.childCount(kept), 2);
    EXPECT_EQ(dir.counter(out), 2);
    EXPECT_EQ(dir.counter(r), 2);
    for (NodeId n : dir.children(out))
        if (dir.text(n) == "oa" || dir.text(n) == "ob" || dir.text(n) == "oe") images(n, kImgFile, kImgFile);
    EXPECT_EQ(dir.selected(), out);   // the removed folder's next sibling
    checkInvariants();
    (void)after;
}

TEST_F(ResultTreesTest, RemovalMovesTheSelectionThroughLinkedHandlers) {
    // Both trees follow each other's selection, as the window binds them.
    std::vector<NodeId> changes;
    dir.events.change = [&](NodeId n) {
        changes.push_back(n);
        if (dir.link(n) != kNoNode) dbl.select(dir.link(n));
    };
    dbl.events.change = [&](NodeId m) {
        ASSERT_TRUE(dbl.isValid(m));
        if (dbl.link(m) != kNoNode) dir.select(dbl.link(m));
    };
    const NodeId r = root("D:");
    const NodeId a = folder(r, "A");
    file(a, "only1");
    const NodeId b = folder(r, "B");
    const NodeId only2 = file(b, "only2");
    const NodeId p = file(r, "p");
    const NodeId q = file(r, "q");
    const NodeId last = file(r, "z");
    group({p, q});

    dir.select(p);
    EXPECT_EQ(dbl.selected(), dir.link(p));
    t.removeNode(p);   // selected, in a group of two: the other member goes mid-removal
    EXPECT_EQ(dir.selected(), q);
    EXPECT_EQ(dbl.selected(), kNoNode);
    EXPECT_TRUE(dbl.empty());
    checkInvariants();

    // The neighbour chosen is already selected: no change at all.
    changes.clear();
    t.removeNode(last);
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(dir.selected(), q);

    // Each child removed selects its own neighbour first; here the folder, then the
    // folder's next sibling once the folder goes.
    t.removeNode(a);
    EXPECT_EQ(changes, (std::vector<NodeId>{a, b}));

    // The only child of a folder gives the selection to the folder; the only root, to nobody.
    dir.select(only2);
    changes.clear();
    t.removeNode(only2);
    EXPECT_EQ(changes, std::vector<NodeId>{b});
    t.removeNode(r);
    EXPECT_TRUE(dir.empty());
    EXPECT_EQ(dir.selected(), kNoNode);

    // Told not to (a deletion places the selection at its end, and the trees do not follow
    // each other meanwhile): a DblList selection that goes with its member, or with its
    // dissolved group, lands on no node, neither on the next member nor on the next group.
    dir.events.change = nullptr;
    dbl.events.change = nullptr;
    const NodeId e = root("E:");
    const NodeId x1 = file(e, "x1");
    const NodeId x2 = file(e, "x2");
    const NodeId x3 = file(e, "x3");
    const NodeId y1 = file(e, "y1");
    const NodeId y2 = file(e, "y2");
    group({x1, x2, x3});
    group({y1, y2});
    dbl.select(dir.link(x2));
    t.removeNode(x2, false);
    EXPECT_EQ(dbl.selected(), kNoNode);
    dbl.select(dir.link(y1));
    t.removeNode(y1, false);
    EXPECT_EQ(dbl.selected(), kNoNode);
    EXPECT_EQ(dbl.childCount(kNoNode), 1);
    checkInvariants();
}

TEST_F(ResultTreesTest, NodePaths) {
    const NodeId drive = root("D:");
    EXPECT_EQ(t.nodePath(drive), "D:");
    EXPECT_EQ(t.nodePath(file(root("E:"), "img.jpg")), "E:\\img.jpg");

    const NodeId data = root("D:\\Data");
    const NodeId photos = folder(data, "Photos");
    EXPECT_EQ(t.nodePath(file(photos, "img.jpg")), "D:\\Data\\Photos\\img.jpg");
    EXPECT_EQ(t.nodePath(photos), "D:\\Data\\Photos");
    EXPECT_EQ(t.nodePath(folder(folder(photos, "--> odd"), "2024")), "D:\\Data\\Photos\\--> odd\\2024");
    EXPECT_EQ(t.nodePath(dir.addChild(photos, "--> stopped")), "D:\\Data\\Photos\\stopped");
    // A file may be named like a folder node here; its name stays whole.
    EXPECT_EQ(t.nodePath(file(data, "--> x.txt")), "D:\\Data\\--> x.txt");

    // 2 + 1 + 200 + 1 + 51 = exactly 255: nothing lost.
    const NodeId deep = folder(drive, std::string(200, 'd'));
    const std::string base = "D:\\" + std::string(200, 'd') + "\\";
    const std::string exact = base + std::string(50, 'f') + "g";
    EXPECT_EQ(t.nodePath(file(deep, std::string(50, 'f') + "g")), exact);
    const std::string longer = base + std::string(60, 'h') + ".txt";
    const NodeId tooLong = file(deep, std::string(60, 'h') + ".txt");
    EXPECT_EQ(t.nodePath(tooLong), longer.substr(0, 255));
    EXPECT_EQ(t.fullNodePath(tooLong), longer);

    EXPECT_TRUE(t.isSearchRoot(drive));
    EXPECT_FALSE(t.isSearchRoot(file(data, "a:b")));
}
