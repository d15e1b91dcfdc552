#include <gtest/gtest.h>

#include "results/TreeStore.h"

using namespace parelix;

TEST(TreeStore, AddSortAndRows) {
    TreeStore t;
    NodeId root = t.addChild(kNoNode, "C:");
    NodeId b = t.addChild(root, "b");
    NodeId a = t.addChild(root, "a");
    NodeId dir = t.addChild(root, "--> z");
    t.sortChildren(root);
    EXPECT_EQ(t.child(root, 0), dir);
    EXPECT_EQ(t.child(root, 1), a);
    EXPECT_EQ(t.child(root, 2), b);
    EXPECT_EQ(t.row(b), 2);
    EXPECT_EQ(t.counter(a), -1);
}
