// Taking deletions back through a session without a window: every byte comes back from the
// recycle bin, the trees come back as they were before each act, and what cannot come back
// stays in the bin with its reason, never over what stands at its place.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/Drives.h"
#include "session/Session.h"
#include "support/DiskSnapshot.h"
#include "support/FakeResultsSession.h"
#include "support/SessionFixture.h"

namespace parelix {
namespace {

namespace fs = std::filesystem;

test::PrivateTrash trash;   // before GLib first reads XDG_DATA_HOME

// Both trees as text: every node with what it shows and holds, and where its link goes.
std::string dump(const ResultTrees& trees) {
    std::string out;
    for (const NodeId n : test::preorder(trees.dirList)) {
        std::size_t depth = 0;
        for (NodeId a = trees.dirList.parent(n); a != kNoNode; a = trees.dirList.parent(a)) ++depth;
        const NodeId link = trees.dirList.link(n);
        out += std::string(2 * depth, ' ') + trees.dirList.text(n) + " img" + std::to_string(trees.dirList.imageIndex(n)) +
               " n" + std::to_string(trees.dirList.counter(n)) + (trees.dirList.isExpanded(n) ? " open" : "") +
               (link != kNoNode ? " -> " + trees.dblList.text(link) : "") + "\n";
    }
    for (const NodeId g : trees.dblList.children(kNoNode)) {
        const std::optional<std::uint64_t> bytes = trees.dblList.bytes(g);
        out += trees.dblList.text(g) + " size" + (bytes ? std::to_string(*bytes) : std::string("?")) +
               (trees.dblList.isExpanded(g) ? " open\n" : "\n");
        for (const NodeId m : trees.dblList.children(g))
            out += "  " + trees.dblList.text(m) + " img" + std::to_string(trees.dblList.imageIndex(m)) + " -> " +
                   trees.nodePath(trees.dblList.link(m)) + "\n";
    }
    return out;
}

class SessionTakeBack : public test::SessionFixture {
protected:
    SessionTakeBack()
        : SessionFixture({{"a/one.txt", "same content"},
                          {"a/x.bin", std::string(3000, 'x')},
                          {"a/deep/five.txt", "same content"},
                          {"b/two.txt", "same content"},
                          {"b/y.bin", std::string(3000, 'x')},
                          {"b/unique.bin", std::string(3000, 'u')},
                          {"b/sub/z.bin", std::string(3000, 'x')},
                          {"b/sub/six.txt", "same content"},
                          {"c/three.txt", "same content"}}) {}

    NodeId node(const std::string& relative) {
        for (NodeId n : test::preorder(session_.trees().dirList))
            if (session_.trees().nodePath(n) == root_ + (relative.empty() ? "" : "\\" + relative)) return n;
        ADD_FAILURE() << relative << " has no node";
        return kNoNode;
    }
    void select(const std::string& relative) { session_.viewStores().results.dirList.select(node(relative)); }
    void drop(const std::string& relative) {
        select(relative);
        session_.dropOnTrash(TreeId::DirList);
    }
    std::map<std::string, std::string> disk() const { return test::filesBelow({tree_.path()}); }
    bool logged(const std::string& start) const {
        for (const std::string& line : view_.log)
            if (line.rfind(start, 0) == 0) return true;
        return false;
    }
};

// Four acts, one of each kind, then four take-backs: after each the disk holds every byte it
// held before the act, and the trees are those of before the act, marks, counters, open
// folders and groups included; what was freed goes back down to nothing.
TEST_F(SessionTakeBack, EachActComesBackWholeLastFirst) {
    session_.search({root_});
    TreeStore& dir = session_.viewStores().results.dirList;
    dir.expand(node(""));
    dir.expand(node("b"));   // b open, b\sub closed: both marks must come back as they were

    std::vector<std::string> trees;
    std::vector<std::map<std::string, std::string>> disks;
    auto before = [&] {
        trees.push_back(dump(session_.trees()));
        disks.push_back(disk());
    };
    // The user's pick (which opens the folders above it) comes before each act.
    select("c\\three.txt");
    before();
    session_.dropOnTrash(TreeId::DirList);   // a single deletion
    select("b\\two.txt");
    before();
    session_.deleteDuplicatesOfDirectory();   // a folder walk
    select("b");
    before();
    session_.deleteDuplicatesOfTree();   // a tree walk
    select("a");
    before();
    session_.dropOnTrash(TreeId::DirList);   // a folder sent whole
    ASSERT_EQ(disks.back().size() - 3, disk().size());
    ASSERT_GT(session_.freed().sent, 0u);

    for (std::size_t act = trees.size(); act-- > 0;) {
        session_.takeBackLast();
        EXPECT_EQ(disk(), disks[act]) << "act " << act;
        EXPECT_EQ(dump(session_.trees()), trees[act]) << "act " << act;
    }
    EXPECT_EQ(session_.freed().sent, 0u);
    EXPECT_EQ(session_.freed().bytes, 0u);
    EXPECT_EQ(view_.figures.back(), session_.spaceFigures());
    EXPECT_TRUE(logged("Remis en place\u00A0: " + root_ + "\\a"));
    EXPECT_TRUE(services_.shown.empty()) << services_.shown.front().text;

    // Nothing left: the box says so, and the trees stay.
    session_.takeBackLast();
    ASSERT_EQ(services_.shown.size(), 1u);
    EXPECT_EQ(services_.shown[0].text, "Aucun envoi dans la Corbeille à annuler.");
    EXPECT_EQ(dump(session_.trees()), trees[0]);
}

// A file now at the place stays there, the item stays in the bin, and the log and the box
// say why; the trees show what the disk has. A folder at the place, an item gone from the
// bin or changed in it, and a record the bin rewrote: the same.
TEST_F(SessionTakeBack, WhatStandsAtThePlaceIsNeverReplaced) {
    session_.search({root_});
    drop("c\\three.txt");
    drop("b\\unique.bin");
    drop("a\\x.bin");
    drop("b\\y.bin");
    drop("a\\one.txt");
    const std::string afterActs = dump(session_.trees());
    tree_.write("a/one.txt", "written since");
    tree_.mkdir("b/y.bin");
    fs::remove(trash.files() + "/x.bin");
    std::ofstream(trash.files() + "/unique.bin", std::ios::app) << "more";
    {
        std::ofstream info(trash.info() + "/three.txt.trashinfo");
        info << "[Trash Info]\nPath=/elsewhere/other.txt\nDeletionDate=2026-01-01T00:00:00\n";
    }

    for (int i = 0; i < 5; ++i) session_.takeBackLast();
    EXPECT_EQ(test::readFile(tree_.path() + "/a/one.txt"), "written since");
    EXPECT_TRUE(fs::is_directory(tree_.path() + "/b/y.bin"));
    EXPECT_TRUE(trash.holds("one.txt"));
    EXPECT_TRUE(trash.holds("y.bin"));
    EXPECT_TRUE(trash.holds("three.txt"));
    EXPECT_FALSE(fs::exists(tree_.path() + "/c/three.txt"));
    EXPECT_FALSE(fs::exists(tree_.path() + "/b/unique.bin"));
    EXPECT_EQ(dump(session_.trees()), afterActs);
    EXPECT_EQ(session_.freed().sent, 5u);

    const std::string stays = "Resté dans la Corbeille\u00A0: " + root_;
    EXPECT_TRUE(logged(stays + "\\a\\one.txt — un autre fichier occupe désormais sa place, conservé."));
    EXPECT_TRUE(logged(stays + "\\b\\y.bin — un dossier occupe désormais sa place, conservé."));
    EXPECT_TRUE(logged(stays + "\\a\\x.bin — il n'est plus dans la Corbeille (vidée entre-temps\u00A0?)."));
    EXPECT_TRUE(logged(stays + "\\b\\unique.bin — il a changé dans la Corbeille depuis son envoi."));
    EXPECT_TRUE(logged(stays + "\\c\\three.txt — la Corbeille ne dit plus d'où il vient."));
    ASSERT_EQ(services_.errors().size(), 5u);
    EXPECT_EQ(services_.errors()[0].rfind("Un élément est resté dans la Corbeille\u00A0:\n", 0), 0u);
}

// A folder that went whole after a file of it: the folder comes back first, then the file
// into it; a folder of the place gone meanwhile is made again, only where missing.
TEST_F(SessionTakeBack, MissingFoldersOfThePlaceAreMadeAgain) {
    session_.search({root_});
    select("b\\sub\\six.txt");
    const std::string trees = dump(session_.trees());
    session_.dropOnTrash(TreeId::DirList);
    fs::remove_all(tree_.path() + "/b/sub");   // by hand, outside the program
    session_.takeBackLast();
    EXPECT_EQ(test::readFile(tree_.path() + "/b/sub/six.txt"), "same content");
    EXPECT_FALSE(fs::exists(tree_.path() + "/b/sub/z.bin"));
    EXPECT_EQ(dump(session_.trees()), trees);   // the trees never learnt of the hand's removal
}

// While a search runs, and inside a deletion, Ctrl+Z does nothing; after a new search the
// acts of the one before are out of reach.
TEST_F(SessionTakeBack, OnlyThisSearchsActsAndNeverDuringAnother) {
    session_.search({root_});
    drop("c\\three.txt");
    bool triedDuringRun = false;
    view_.onEventTurn = [&] {
        if (session_.engine().running() && !triedDuringRun) {
            triedDuringRun = true;
            EXPECT_FALSE(session_.mayTakeBack());
            session_.takeBackLast();
        }
    };
    session_.search({root_});
    view_.onEventTurn = nullptr;
    EXPECT_TRUE(triedDuringRun);
    EXPECT_FALSE(fs::exists(tree_.path() + "/c/three.txt"));
    EXPECT_FALSE(session_.mayTakeBack());
    session_.takeBackLast();
    EXPECT_FALSE(fs::exists(tree_.path() + "/c/three.txt"));
    ASSERT_EQ(services_.shown.size(), 1u);
    EXPECT_EQ(services_.shown[0].text, "Aucun envoi dans la Corbeille à annuler.");

    drop("b\\two.txt");
    EXPECT_TRUE(session_.mayTakeBack());
    session_.takeBackLast();
    EXPECT_EQ(test::readFile(tree_.path() + "/b/two.txt"), "same content");
}

// A file system of its own (a small ext2 image, mounted as a loop device) keeps its own
// .Trash-$uid: what went there comes back from there. Once the file system has no inode
// left, the folder the place needs cannot be made again: the file stays in that bin and the
// box says the disk is full.
TEST_F(SessionTakeBack, AMountsOwnBinAndAFullDisk) {
    const std::string image = work_.path() + "/disk.img";
    const std::string top = tree_.mkdir("usb");
    if (std::system(("truncate -s 1M " + image + " && mkfs.ext2 -q -N 32 " + image + " && mount -o loop " + image +
                     " " + top + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no loop mount here";
    struct Unmount {
        std::string top;
        ~Unmount() { ::umount2(top.c_str(), MNT_DETACH); }
    } unmount{top};
    tree_.write("usb/d/copy.txt", "same content");
    tree_.write("usb/e/again.txt", "same content");
    session_.search({root_});
    const std::string trees = dump(session_.trees());
    drop("usb\\d\\copy.txt");
    drop("usb\\e\\again.txt");
    ASSERT_TRUE(fs::exists(top + "/.Trash-" + std::to_string(::getuid()) + "/files/again.txt"));
    session_.takeBackLast();
    EXPECT_EQ(test::readFile(top + "/e/again.txt"), "same content");

    fs::remove(top + "/d");
    for (int i = 0; i < 64; ++i) std::ofstream(top + "/fill" + std::to_string(i));   // every inode taken
    session_.takeBackLast();
    EXPECT_FALSE(fs::exists(top + "/d"));
    EXPECT_TRUE(logged("Resté dans la Corbeille\u00A0: " + root_ + "\\usb\\d\\copy.txt — disque plein."));
    EXPECT_NE(dump(session_.trees()), trees);
}

}  // namespace
}  // namespace parelix
