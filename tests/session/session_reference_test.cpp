// A reference folder reached under another path (a bind mount, a symbolic link), searched
// and then deleted from by every way in: nothing of it leaves the disk, and its rows say it
// is a reference whichever path the walk took first. Real mounts, as root; skipped where the
// system refuses them.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "results/Messages.h"
#include "session/Session.h"
#include "support/SessionFixture.h"

namespace parelix {
namespace {

namespace fs = std::filesystem;

test::PrivateTrash trash;   // before GLib first reads XDG_DATA_HOME

// S (searched, tree_):  --> a_alias (the reference folder R, bind-mounted), s1.txt, s2.txt
// R (marked):           r1.txt (== s1.txt), r2.txt (== s2.txt)
class ReferencePlaces : public test::SessionFixture {
protected:
    ReferencePlaces() : SessionFixture({{"s1.txt", "same"}, {"s2.txt", "twin"}}) {}

    void SetUp() override {
        SessionFixture::SetUp();
        ref_.write("r1.txt", "same");
        ref_.write("r2.txt", "twin");
        refPath_ = DriveTable::current().toWindows(ref_.path()).value_or("");
        ASSERT_FALSE(refPath_.empty());
        session_.markReference(refPath_, true);
    }

    // Bind-mounts R inside S; false (the test skips) where the system refuses it.
    bool mountAlias() {
        tree_.mkdir("a_alias");
        mount_.emplace(test::ScopedMount::bind(ref_.path(), tree_.path() + "/a_alias"));
        return mount_->ok();
    }

    // The DirList node of a path below a search root, by its names; kNoNode when none.
    NodeId node(NodeId root, const std::string& relative) const {
        const ResultTrees& trees = session_.trees();
        NodeId n = root;
        for (const fs::path& part : fs::path(relative)) {
            NodeId next = kNoNode;
            for (NodeId c : trees.dirList.children(n))
                if (trees.name(c) == part.string()) next = c;
            if (next == kNoNode) return kNoNode;
            n = next;
        }
        return n;
    }
    NodeId root(std::size_t i) const { return session_.trees().dirList.children(kNoNode).at(i); }

    void select(NodeId n) { session_.viewStores().results.dirList.select(n); }
    void drop(NodeId n) {
        select(n);
        session_.dropOnTrash(TreeId::DirList);
    }
    bool referenceFilesStayed() const { return fs::exists(ref_.path() + "/r1.txt") && fs::exists(ref_.path() + "/r2.txt"); }

    test::TempDir ref_;
    std::string refPath_;
    std::optional<test::ScopedMount> mount_;   // after the folders: unmounted first
};

// The alias sorts first and is walked; R itself is then skipped as reached before.
TEST_F(ReferencePlaces, AnAliasReachedFirstIsAReferenceAndNothingOfItGoes) {
    if (!mountAlias()) GTEST_SKIP() << mount_->why();
    session_.search({root_, refPath_});
    ASSERT_EQ(session_.trees().dblList.childCount(kNoNode), 2);
    const NodeId s = root(0);
    const NodeId alias = node(s, "a_alias");
    const NodeId r1 = node(s, "a_alias/r1.txt");
    ASSERT_NE(r1, kNoNode);
    EXPECT_EQ(session_.trees().dirList.childCount(root(1)), 0);   // R: skipped, reached before
    // Its rows say so; S's own files do not.
    EXPECT_TRUE(session_.isReference(alias));
    EXPECT_TRUE(session_.isReference(r1));
    EXPECT_TRUE(session_.isReference(root(1)));
    EXPECT_FALSE(session_.isReference(s));
    EXPECT_FALSE(session_.isReference(node(s, "s1.txt")));

    // A drop of the alias, of a file in it, of the folder holding it; a trash click on its
    // member; the folder walk over it: each refused.
    drop(alias);
    drop(r1);
    drop(s);
    view_.focus = TreeId::DblList;
    session_.viewStores().results.dblList.select(session_.trees().dirList.link(node(s, "a_alias/r2.txt")));
    session_.trashClick();
    select(alias);
    session_.deleteDuplicatesOfDirectory();
    EXPECT_TRUE(referenceFilesStayed());
    EXPECT_TRUE(fs::exists(tree_.path() + "/s1.txt"));
    EXPECT_EQ(services_.errors().size(), 4u);
    ASSERT_FALSE(services_.shown.empty());
    EXPECT_EQ(services_.shown.back().text, kReferenceWalk);

    // The tree walk over S sends S's own copies and keeps the reference ones.
    select(s);
    session_.deleteDuplicatesOfTree();
    EXPECT_TRUE(referenceFilesStayed());
    EXPECT_FALSE(fs::exists(tree_.path() + "/s1.txt") || fs::exists(tree_.path() + "/s2.txt"));
    EXPECT_TRUE(session_.trees().dblList.empty());
}

// R comes first and is walked; the alias inside S is the folder skipped as reached before.
TEST_F(ReferencePlaces, AnAliasReachedLastIsAReferenceToo) {
    if (!mountAlias()) GTEST_SKIP() << mount_->why();
    session_.search({refPath_, root_});
    const NodeId s = root(1);
    const NodeId alias = node(s, "a_alias");
    ASSERT_NE(alias, kNoNode);
    EXPECT_EQ(session_.trees().dirList.childCount(alias), 0);   // not walked
    EXPECT_TRUE(session_.isReference(alias));
    EXPECT_FALSE(session_.isReference(node(s, "s1.txt")));
    drop(alias);
    drop(s);
    EXPECT_TRUE(referenceFilesStayed());
    EXPECT_TRUE(fs::exists(tree_.path() + "/a_alias/r1.txt"));
    EXPECT_EQ(services_.errors().size(), 2u);

    // Unmarked after the search, the alias is a plain folder again, and marked again, a
    // reference: the marks apply to the trees at once.
    session_.markReference(refPath_, false);
    EXPECT_FALSE(session_.isReference(alias));
    session_.markReference(refPath_, true);
    EXPECT_TRUE(session_.isReference(alias));
}

// A search path reached through a symbolic link to R: a folder of the reference, its rows
// say so, and nothing of it goes.
TEST_F(ReferencePlaces, ASearchPathThroughALinkToAReferenceIsOne) {
    ref_.write("sub/r3.txt", "same");
    const std::string link = tree_.path() + "/link";
    fs::create_directory_symlink(ref_.path(), link);
    const std::string viaLink = DriveTable::current().toWindows(link + "/sub").value_or("");
    session_.search({viaLink, root_});
    const NodeId r3 = node(root(0), "r3.txt");
    ASSERT_NE(r3, kNoNode);
    ASSERT_NE(session_.trees().dirList.link(r3), kNoNode);
    EXPECT_TRUE(session_.isReference(r3));
    EXPECT_FALSE(session_.isReference(node(root(1), "s1.txt")));
    drop(r3);
    select(root(0));
    session_.deleteDuplicatesOfTree();
    EXPECT_TRUE(fs::exists(ref_.path() + "/sub/r3.txt"));
    EXPECT_EQ(services_.errors().size(), 1u);
    EXPECT_EQ(services_.shown.back().text, kReferenceWalk);
}

}  // namespace
}  // namespace parelix
