#include <gtest/gtest.h>

#include "results/DeletionPlan.h"
#include "support/FakeResultsSession.h"

using namespace parelix;
using parelix::test::TreeBuilder;

namespace {

// D:\Data
//   --> A:   --> Sub: s1 (G1), s2 (G3)
//            a1 (G1), a2 (G2)
//   b1 (G1)
//   --> C:   c1 (G1)
// E:\Ref:    r1 (G2), r3 (G3)
// F:\Vide    (nothing in it)
// G1 lies wholly in D:\Data and comes first in Sub; G2 and G3 have a copy in E:\Ref.
class DeletionPlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        TreeBuilder b(trees);
        data = b.root("D:\\Data");
        a = b.folder(data, "A");
        sub = b.folder(a, "Sub");
        s1 = b.file(sub, "s1");
        s2 = b.file(sub, "s2");
        a1 = b.file(a, "a1");
        a2 = b.file(a, "a2");
        b1 = b.file(data, "b1");
        c = b.folder(data, "C");
        c1 = b.file(c, "c1");
        ref = b.root("E:\\Ref");
        r1 = b.file(ref, "r1");
        r3 = b.file(ref, "r3");
        empty = b.root("F:\\Vide");
        b.group("10", {a1, s1, b1, c1});
        b.group("20", {a2, r1});
        b.group("30", {s2, r3});
        references.mark("E:\\Ref", true);
    }

    using Files = std::vector<NodeId>;
    ResultTrees trees;
    ReferenceMarks references;
    NodeId data, a, sub, s1, s2, a1, a2, b1, c, c1, ref, r1, r3, empty;
};

TEST_F(DeletionPlanTest, TreeWalkGoesBackwardsAndKeepsTheFirstCopyOrAReferenceOne) {
    const DeletionPlan plan = planTreeDuplicates(trees, references, data);
    // Backwards through the trees' order: C, b1, A's files, then Sub's. Of G1, all inside,
    // s1 comes first and stays (a walk folder by folder would keep b1); a2 and s2 go, their
    // reference copies surviving.
    EXPECT_EQ(plan.files(), (Files{c1, b1, a2, a1, s2}));
    // Each group says what goes and what stays, and each step knows its group's keepers.
    ASSERT_EQ(plan.groups.size(), 3u);
    EXPECT_EQ(plan.groups[0].going, (Files{c1, b1, a1}));
    EXPECT_EQ(plan.groups[0].staying, (Files{s1}));
    EXPECT_EQ(plan.keepers(plan.steps[2]), (Files{r1}));
    EXPECT_EQ(plan.keepers(plan.steps[4]), (Files{r3}));
    EXPECT_TRUE(keepsACopyOfEveryGroup(plan));
    EXPECT_EQ(plan.bytes, 10u + 10 + 20 + 10 + 30);
    EXPECT_EQ(plan.references, 0u);

    // From a subfolder, the copies outside survive, so every copy inside goes.
    const DeletionPlan fromA = planTreeDuplicates(trees, references, a);
    EXPECT_EQ(fromA.files(), (Files{a2, a1, s2, s1}));
    EXPECT_EQ(fromA.groups[1].staying, (Files{b1, c1}));
    // From a file: its folder and what lies under it.
    EXPECT_EQ(planTreeDuplicates(trees, references, s2).files(), (Files{s2, s1}));
    // Nothing planned changes the trees.
    EXPECT_EQ(trees.dblList.childCount(kNoNode), 3);
    EXPECT_NE(trees.dirList.link(c1), kNoNode);
}

TEST_F(DeletionPlanTest, AReferenceFolderIsNeverPlannedAndItsCopiesSurvive) {
    const DeletionPlan inRef = planTreeDuplicates(trees, references, ref);
    EXPECT_TRUE(inRef.empty());
    EXPECT_TRUE(inRef.groups.empty());
    EXPECT_EQ(inRef.references, 2u);
    EXPECT_TRUE(planFolderDuplicates(trees, references, r1).empty());

    // Unmarked, the same folder is walked as any other: both its copies go.
    references.mark("E:\\Ref", false);
    const DeletionPlan plain = planTreeDuplicates(trees, references, ref);
    EXPECT_EQ(plain.files(), (Files{r3, r1}));
    EXPECT_EQ(plain.bytes, 50u);
}

TEST_F(DeletionPlanTest, FolderWalkCoversOnlyTheFilesDirectlyInside) {
    EXPECT_EQ(planFolderDuplicates(trees, references, data).files(), (Files{b1}));
    EXPECT_EQ(planFolderDuplicates(trees, references, a).files(), (Files{a2, a1}));
    EXPECT_EQ(planFolderDuplicates(trees, references, a1).files(), (Files{a2, a1}));   // beside a file

    // A group wholly inside one folder keeps its first copy.
    TreeBuilder b(trees);
    const NodeId x = b.file(c, "x");
    const NodeId y = b.file(c, "y");
    const NodeId z = b.file(c, "z");
    b.group("7", {z, x, y});
    const DeletionPlan plan = planFolderDuplicates(trees, references, c);
    EXPECT_EQ(plan.files(), (Files{z, y, c1}));
    EXPECT_EQ(plan.keepers(plan.steps[0]), (Files{x}));
    EXPECT_EQ(plan.bytes, 7u + 7 + 10);
}

// Empty duplicates: the tree walk leaves them where they are (and says so); the folder walk
// sends them as any other.
TEST_F(DeletionPlanTest, TheTreeWalkLeavesEmptyFilesWhereTheyAre) {
    TreeBuilder b(trees);
    const NodeId e1 = b.file(c, "e1");
    const NodeId e2 = b.file(c, "e2");
    const NodeId e3 = b.file(sub, "e3");
    b.group("0", {e1, e2, e3});
    const DeletionPlan tree = planTreeDuplicates(trees, references, data);
    EXPECT_EQ(tree.files(), (Files{c1, b1, a2, a1, s2}));
    EXPECT_EQ(tree.emptyKept, 3u);
    const DeletionPlan folder = planFolderDuplicates(trees, references, c);
    EXPECT_EQ(folder.files(), (Files{e2, e1, c1}));
    EXPECT_EQ(folder.emptyKept, 0u);
}

TEST_F(DeletionPlanTest, AnEmptySearchRootPlansNothingAndNeverWandersToTheOtherRoots) {
    EXPECT_TRUE(planTreeDuplicates(trees, references, empty).empty());
    EXPECT_TRUE(planFolderDuplicates(trees, references, empty).empty());
    EXPECT_TRUE(planTreeDuplicates(trees, references, kNoNode).empty());
}

}  // namespace
