#include <gtest/gtest.h>

#include "results/Browsing.h"
#include "support/FakeResultsSession.h"

using namespace parelix;
using parelix::test::FakeResultsSession;
using parelix::test::TreeBuilder;

namespace {

// D:\Data
//   --> Photos: a.jpg (G1), b.jpg (G2)
//   --> Docs:   x.txt (G2), y.txt
//   z.bin (G2)
// E:
//   --> Sub:    c.jpg (G1)
class BrowsingTest : public test::BrowsedTreesTest<> {
protected:
    void SetUp() override {
        TreeBuilder b(trees);
        data = b.root("D:\\Data");
        photos = b.folder(data, "Photos");
        a = b.file(photos, "a.jpg");
        bj = b.file(photos, "b.jpg");
        docs = b.folder(data, "Docs");
        x = b.file(docs, "x.txt");
        y = b.file(docs, "y.txt");
        z = b.file(data, "z.bin");
        e = b.root("E:");
        sub = b.folder(e, "Sub");
        c = b.file(sub, "c.jpg");
        g1 = b.group("10", {a, c});
        g2 = b.group("20", {bj, x, z});
    }

    NodeId member(NodeId file) const { return trees.dirList.link(file); }

    NodeId data, photos, a, bj, docs, x, y, z, e, sub, c, g1, g2;
};

TEST_F(BrowsingTest, SelectionFollowsLinksBetweenTheTrees) {
    window.focus = TreeId::DirList;
    trees.dirList.select(bj);
    EXPECT_EQ(trees.dblList.selected(), member(bj));
    EXPECT_FALSE(window.hidden.at(TreeId::DblList));
    EXPECT_FALSE(window.hidden.at(TreeId::DirList));
    EXPECT_EQ(window.status, "D:\\Data\\Photos\\b.jpg");

    // A group node: DirList's highlight hides, its selection and the status bar stay.
    trees.dblList.select(g1);
    EXPECT_TRUE(window.hidden.at(TreeId::DirList));
    EXPECT_EQ(trees.dirList.selected(), bj);
    EXPECT_EQ(window.status, "D:\\Data\\Photos\\b.jpg");

    // A member whose file lies in collapsed folders: they open and lose their marks.
    ASSERT_EQ(trees.dirList.imageIndex(sub), kImgFolderMarked);
    trees.dblList.select(member(c));
    EXPECT_EQ(trees.dirList.selected(), c);
    EXPECT_TRUE(trees.dirList.isExpanded(e));
    EXPECT_TRUE(trees.dirList.isExpanded(sub));
    EXPECT_EQ(trees.dirList.imageIndex(sub), kImgFolder);
    EXPECT_EQ(trees.dirList.selectedIndex(sub), kImgFolderOpen);
    EXPECT_FALSE(window.hidden.at(TreeId::DirList));
    EXPECT_EQ(window.status, "E:\\Sub\\c.jpg");

    // An unlinked file leaves DblList's selection, which then hides its highlight.
    trees.dirList.select(y);
    EXPECT_EQ(trees.dblList.selected(), member(c));
    EXPECT_TRUE(window.hidden.at(TreeId::DblList));
    EXPECT_EQ(window.status, "D:\\Data\\Docs\\y.txt");
}

TEST_F(BrowsingTest, StatusBarCountsTheDuplicatesOfAFolder) {
    TreeBuilder b(trees);
    trees.dirList.select(docs);
    EXPECT_EQ(window.status, "D:\\Data\\Docs : un double");
    trees.dirList.select(data);
    EXPECT_EQ(window.status, "D:\\Data : 4 doubles");

    const NodeId plain = b.folder(data, "Plain");
    b.file(plain, "alone.txt");
    trees.dirList.select(plain);
    EXPECT_EQ(window.status, "D:\\Data\\Plain : aucun double");

    // An empty folder shows only its path, like a file.
    const NodeId empty = b.folder(data, "Empty");
    trees.dirList.select(empty);
    EXPECT_EQ(window.status, "D:\\Data\\Empty");

    const NodeId many = b.folder(data, "Many");
    for (int i = 0; i < 6; ++i) {
        const NodeId f1 = b.file(many, "p" + std::to_string(i));
        const NodeId f2 = b.file(many, "q" + std::to_string(i));
        b.group(std::to_string(100 + i), {f1, f2});
    }
    trees.dirList.select(many);
    EXPECT_EQ(window.status, "D:\\Data\\Many : 12 doubles");

    // The text is cut to 255 characters, counter included.
    const NodeId deep = b.folder(data, std::string(240, 'd'));
    b.file(deep, "f");
    trees.dirList.select(deep);
    EXPECT_EQ(window.status, "D:\\Data\\" + std::string(240, 'd') + " : aucu");
}

TEST_F(BrowsingTest, NextAndPreviousDuplicateWalkDirListAcrossFolders) {
    window.focus = TreeId::DirList;
    trees.dirList.select(data);

    browsing.nextDuplicate();
    EXPECT_EQ(trees.dirList.selected(), a);
    EXPECT_TRUE(trees.dirList.isExpanded(photos));
    EXPECT_EQ(trees.dirList.imageIndex(photos), kImgFolder);   // opened: mark gone
    EXPECT_EQ(trees.dblList.selected(), member(a));

    const NodeId order[] = {bj, x, z, c};
    for (NodeId expected : order) {
        browsing.nextDuplicate();
        EXPECT_EQ(trees.dirList.selected(), expected);
    }
    // The last duplicate: no wrap-around, nothing changes.
    browsing.nextDuplicate();
    EXPECT_EQ(trees.dirList.selected(), c);

    browsing.previousDuplicate();
    EXPECT_EQ(trees.dirList.selected(), z);
    trees.dirList.select(a);
    browsing.previousDuplicate();
    EXPECT_EQ(trees.dirList.selected(), a);

    // With the focus elsewhere the buttons do nothing.
    window.focus = TreeId::None;
    browsing.nextDuplicate();
    EXPECT_EQ(trees.dirList.selected(), a);
}

TEST_F(BrowsingTest, NextAndPreviousDuplicateWalkDblListMembersOnly) {
    window.focus = TreeId::DblList;
    trees.dblList.select(g1);
    browsing.nextDuplicate();
    EXPECT_EQ(trees.dblList.selected(), member(a));
    EXPECT_EQ(trees.dirList.selected(), a);
    browsing.nextDuplicate();
    EXPECT_EQ(trees.dblList.selected(), member(c));
    browsing.nextDuplicate();   // crosses into the next group, skipping its node
    EXPECT_EQ(trees.dblList.selected(), member(bj));
    browsing.previousDuplicate();
    EXPECT_EQ(trees.dblList.selected(), member(c));

    trees.dblList.select(member(z));
    browsing.nextDuplicate();
    EXPECT_EQ(trees.dblList.selected(), member(z));
}

TEST_F(BrowsingTest, ExpandAndCollapseAllTouchOnlyTheFirstRoot) {
    browsing.expandAll();
    for (NodeId n : {data, photos, docs}) {
        EXPECT_TRUE(trees.dirList.isExpanded(n));
        EXPECT_EQ(trees.dirList.imageIndex(n) & 1, 0);
    }
    EXPECT_FALSE(trees.dirList.isExpanded(e));
    EXPECT_EQ(trees.dirList.imageIndex(e), kImgFolderMarked);
    EXPECT_EQ(window.holds, (std::vector<std::string>{"wait on", "wait off"}));

    TreeBuilder b(trees);
    const NodeId plain = b.folder(data, "Plain");
    b.file(plain, "alone.txt");
    browsing.collapseAll();
    for (NodeId n : {data, photos, docs}) {
        EXPECT_FALSE(trees.dirList.isExpanded(n));
        EXPECT_EQ(trees.dirList.imageIndex(n), kImgFolderMarked);
        EXPECT_EQ(trees.dirList.selectedIndex(n), kImgFolderOpenMarked);
    }
    EXPECT_EQ(trees.dirList.imageIndex(plain), kImgFolder);   // nothing below it to mark

    ResultTrees none;
    FakeResultsSession quiet;
    Browsing idle(none, quiet, quiet.services);
    idle.expandAll();
    EXPECT_TRUE(quiet.holds.empty());
}

TEST_F(BrowsingTest, DoubleClickOpensThroughTheShellWithItsMessages) {
    trees.dirList.select(a);
    browsing.dirListDblClick();
    ASSERT_EQ(window.executes.size(), 1u);
    EXPECT_EQ(window.executes[0].file, "D:\\Data\\Photos\\a.jpg");
    EXPECT_EQ(window.executes[0].directory, "D:\\Data\\Photos\\");
    EXPECT_EQ(window.executes[0].show, SW_SHOWNORMAL);
    EXPECT_TRUE(window.messages.empty());

    window.executeResult = 31;
    trees.dirList.select(e);
    browsing.dirListDblClick();
    EXPECT_EQ(window.executes.back().file, "E:");
    EXPECT_EQ(window.executes.back().directory, "E:");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "There is no application associated with the given filename extension.");
    EXPECT_EQ(window.messages[0].caption, "");
    EXPECT_EQ(window.messages[0].kind, MessageKind::Plain);
    EXPECT_TRUE(window.log.empty());

    // Codes outside the table show nothing.
    for (int code : {7, 33}) {
        window.executeResult = code;
        browsing.dirListDblClick();
    }
    EXPECT_EQ(window.messages.size(), 1u);
    window.executeResult = 3;
    browsing.dirListDblClick();
    EXPECT_EQ(window.messages.back().text, "The specified path was not found.");

    // DblList opens members by their text; a group node names no file.
    window.executeResult = 42;
    const std::size_t before = window.executes.size();
    trees.dblList.select(g2);
    browsing.dblListDblClick();
    EXPECT_EQ(window.executes.size(), before);
    trees.dblList.select(member(z));
    browsing.dblListDblClick();
    EXPECT_EQ(window.executes.back().file, "D:\\Data\\z.bin");
    EXPECT_EQ(window.executes.back().directory, "D:\\Data\\");
}

TEST_F(BrowsingTest, APathLongerThan255IsNeverOpenedCut) {
    // Cut to 255 characters the file's path would name its folder "D:\Data\<long>".
    TreeBuilder b(trees);
    const std::string name(255 - 8, 'n');
    const NodeId longFolder = b.folder(data, name);
    const NodeId inner = b.file(longFolder, "inner.jpg");
    const NodeId twin = b.file(data, "twin.jpg");
    b.group("30", {inner, twin});
    ASSERT_EQ(trees.nodePath(inner), "D:\\Data\\" + name);

    const std::string refusal = "Chemin trop long, impossible d'ouvrir : D:\\Data\\" + name;
    trees.dirList.select(inner);
    browsing.dirListDblClick();
    trees.dblList.select(member(inner));
    browsing.dblListDblClick();
    EXPECT_TRUE(window.executes.empty());
    ASSERT_EQ(window.messages.size(), 2u);
    for (const auto& m : window.messages) {
        EXPECT_EQ(m.text, refusal.substr(0, 255));
        EXPECT_EQ(m.caption, "Erreur");
        EXPECT_EQ(m.kind, MessageKind::Error);
    }

    // The folder itself fits and opens.
    trees.dirList.select(longFolder);
    browsing.dirListDblClick();
    ASSERT_EQ(window.executes.size(), 1u);
    EXPECT_EQ(window.executes[0].file, "D:\\Data\\" + name);
}

}  // namespace
