#include <gtest/gtest.h>

#include <algorithm>

#include "results/Deletion.h"
#include "support/FakeResultsSession.h"

using namespace parelix;
using parelix::test::FakeResultsSession;
using parelix::test::TreeBuilder;

namespace {

#define NB "\u00A0"   // the no-break space of French typography

constexpr unsigned kAsk = FOF_ALLOWUNDO | FOF_CONFIRMMOUSE;
constexpr unsigned kNoQuestion = kAsk | FOF_NOCONFIRMATION;

// D:\Data
//   --> Keep:  k1 (G2), k2
//   --> Trip:  t1, t2, t3 (all G3)
//   --> Mixed: m1 (G2), m2 (G4)
//   out (G4)
class DeletionTest : public test::BrowsedTreesTest<> {
protected:
    void SetUp() override { build(); }
    void build() {
        TreeBuilder b(trees);
        data = b.root("D:\\Data");
        keep = b.folder(data, "Keep");
        k1 = b.file(keep, "k1");
        k2 = b.file(keep, "k2");
        trip = b.folder(data, "Trip");
        t1 = b.file(trip, "t1");
        t2 = b.file(trip, "t2");
        t3 = b.file(trip, "t3");
        mixed = b.folder(data, "Mixed");
        m1 = b.file(mixed, "m1");
        m2 = b.file(mixed, "m2");
        out = b.file(data, "out");
        g2 = b.group("2", {k1, m1});
        g3 = b.group("3", {t1, t2, t3});
        g4 = b.group("4", {m2, out});
    }

    bool linked(NodeId file) const { return trees.dirList.link(file) != kNoNode; }
    bool alive(NodeId file) const { return trees.dirList.isValid(file); }
    int image(NodeId n) const { return trees.dirList.imageIndex(n); }

    Deletion deletion{trees, window, window.services};
    NodeId data, keep, k1, k2, trip, t1, t2, t3, mixed, m1, m2, out, g2, g3, g4;
};

TEST_F(DeletionTest, DropOfOneOfTwoCopiesDissolvesTheGroupWithoutAQuestion) {
    trees.dirList.select(k1);
    deletion.dropOnTrash(TreeId::DirList);

    ASSERT_EQ(window.operations.size(), 1u);
    EXPECT_EQ(window.operations[0].wFunc, FO_DELETE);
    EXPECT_EQ(window.operations[0].pFrom, "D:\\Data\\Keep\\k1");
    EXPECT_EQ(window.operations[0].fFlags, kNoQuestion);
    EXPECT_EQ(window.log, (std::vector<std::string>{"Effacement de D:\\Data\\Keep\\k1"}));
    // The disk was asked first whether the other member still holds the same bytes.
    ASSERT_EQ(window.copyQueries.size(), 1u);
    EXPECT_EQ(window.copyQueries[0].file, "D:\\Data\\Keep\\k1");
    EXPECT_EQ(window.copyQueries[0].others, (std::vector<std::string>{"D:\\Data\\Mixed\\m1"}));

    EXPECT_FALSE(alive(k1));
    EXPECT_FALSE(trees.dblList.isValid(g2));
    EXPECT_FALSE(linked(m1));
    EXPECT_EQ(image(m1), kImgFile);
    EXPECT_EQ(trees.dirList.counter(mixed), 1);   // m2 still counts
    EXPECT_EQ(trees.dirList.counter(keep), 0);
    EXPECT_EQ(image(keep), kImgFolder);
    EXPECT_EQ(trees.dirList.counter(data), 5);    // t1..t3, m2, out; k1 and m1 gone
    // The node acted on is gone: its folder takes the selection.
    EXPECT_EQ(trees.dirList.selected(), keep);
    // The check reads under the wait cursor, saying in the status bar what it reads; pruning
    // runs under it and the update lock, released in order.
    const auto& seen = window.statuses;
    EXPECT_NE(std::find(seen.begin(), seen.end(), kCheckingStatus + std::string("D:\\Data\\Keep\\k1")), seen.end());
    EXPECT_EQ(window.holds,
              (std::vector<std::string>{"wait on", "wait off", "wait on", "lock on", "lock off", "wait off"}));
}

TEST_F(DeletionTest, TrashClickOnAMemberOfThreeAsksAndLeavesAGroupOfTwo) {
    window.focus = TreeId::DblList;
    trees.dblList.select(trees.dirList.link(t2));
    deletion.trashClick();

    ASSERT_EQ(window.operations.size(), 1u);
    EXPECT_EQ(window.operations[0].fFlags, kAsk);   // a click always keeps the question
    EXPECT_EQ(window.operations[0].pFrom, "D:\\Data\\Trip\\t2");
    // Checked before the question, and again after the answer.
    ASSERT_EQ(window.copyQueries.size(), 2u);
    EXPECT_EQ(window.copyQueries[0].others,
              (std::vector<std::string>{"D:\\Data\\Trip\\t1", "D:\\Data\\Trip\\t3"}));
    EXPECT_EQ(window.copyQueries[1].others, window.copyQueries[0].others);
    EXPECT_FALSE(alive(t2));
    EXPECT_EQ(trees.dblList.childCount(g3), 2);
    EXPECT_TRUE(linked(t1));
    EXPECT_TRUE(linked(t3));
    EXPECT_EQ(image(t1), kImgFileMarked);
    EXPECT_EQ(trees.dirList.counter(trip), 2);
    // DirList stands on the removed file's folder; DblList's selection is hidden.
    EXPECT_EQ(trees.dirList.selected(), trip);
    EXPECT_TRUE(window.hidden[TreeId::DblList]);
    // No member took t2's place unseen in DblList: selecting the next one moves DirList.
    EXPECT_EQ(trees.dblList.selected(), kNoNode);
    trees.dblList.select(trees.dirList.link(t3));
    EXPECT_EQ(trees.dirList.selected(), t3);

    // A group node, or no focused tree, deletes nothing.
    trees.dblList.select(g3);
    deletion.trashClick();
    window.focus = TreeId::None;
    trees.dirList.select(k1);
    deletion.trashClick();
    EXPECT_EQ(window.operations.size(), 1u);
}

TEST_F(DeletionTest, FolderRemovalTakesLinksInsideAndRepairsGroupsOutside) {
    trees.dirList.select(mixed);
    deletion.dropOnTrash(TreeId::DirList);

    ASSERT_EQ(window.operations.size(), 1u);
    EXPECT_EQ(window.operations[0].pFrom, "D:\\Data\\Mixed");
    EXPECT_EQ(window.operations[0].fFlags, kNoQuestion);
    EXPECT_FALSE(alive(mixed));
    EXPECT_FALSE(alive(m1));
    // Both groups lost their inside member and dissolved; the outside copies survive unlinked.
    EXPECT_FALSE(trees.dblList.isValid(g2));
    EXPECT_FALSE(trees.dblList.isValid(g4));
    EXPECT_FALSE(linked(k1));
    EXPECT_FALSE(linked(out));
    EXPECT_EQ(image(out), kImgFile);
    EXPECT_EQ(trees.dblList.childCount(kNoNode), 1);
    EXPECT_EQ(trees.dirList.counter(data), 3);
    EXPECT_EQ(trees.dirList.selected(), data);
    EXPECT_TRUE(window.copyQueries.empty());   // a folder goes as it is
}

TEST_F(DeletionTest, SearchRootsAndOtherDrivesAlwaysAsk) {
    trees.dirList.select(data);
    deletion.dropOnTrash(TreeId::DirList);
    ASSERT_EQ(window.operations.size(), 1u);
    EXPECT_EQ(window.operations[0].fFlags, kAsk);
    EXPECT_EQ(window.operations[0].pFrom, "D:\\Data");
    EXPECT_TRUE(trees.dirList.empty());
    EXPECT_TRUE(trees.dblList.empty());
    EXPECT_EQ(trees.dirList.selected(), kNoNode);

    ResultTrees other;
    FakeResultsSession remote;
    Deletion removing(other, remote, remote.services);
    TreeBuilder b(other);
    const NodeId root = b.root("F:");
    const NodeId f1 = b.file(root, "one");
    const NodeId f2 = b.file(root, "two");
    b.group("1", {f1, f2});
    for (unsigned type : {unsigned(DRIVE_REMOVABLE), unsigned(DRIVE_REMOTE), unsigned(DRIVE_UNKNOWN)}) {
        remote.driveTypes['F'] = type;
        remote.onFileOperation = [](SHFILEOPSTRUCTA& op) { op.fAnyOperationsAborted = true; return 0; };
        other.dirList.select(f2);
        removing.dropOnTrash(TreeId::DirList);
        EXPECT_EQ(remote.operations.back().fFlags, kAsk) << type;
    }
    EXPECT_EQ(remote.operations.back().pFrom, "F:\\two");

    // RAM disks go like fixed drives.
    remote.driveTypes['F'] = DRIVE_RAMDISK;
    remote.onFileOperation = nullptr;
    removing.dropOnTrash(TreeId::DirList);
    EXPECT_EQ(remote.operations.back().fFlags, kNoQuestion);
    EXPECT_FALSE(other.dirList.isValid(f2));
}

TEST_F(DeletionTest, CancelledOrFailedShellLeavesTheTreesWithTheLogLine) {
    window.onFileOperation = [](SHFILEOPSTRUCTA& op) { op.fAnyOperationsAborted = true; return 0; };
    trees.dirList.select(t1);
    deletion.dropOnTrash(TreeId::DirList);
    EXPECT_EQ(window.log, (std::vector<std::string>{"Effacement de D:\\Data\\Trip\\t1"}));
    EXPECT_TRUE(alive(t1));
    EXPECT_EQ(trees.dblList.childCount(g3), 3);

    window.onFileOperation = [](SHFILEOPSTRUCTA&) { return 5; };
    window.focus = TreeId::DirList;
    trees.dirList.select(mixed);
    deletion.trashClick();
    EXPECT_EQ(window.log.size(), 2u);
    EXPECT_TRUE(alive(m1));
    EXPECT_TRUE(trees.dblList.isValid(g4));
    EXPECT_EQ(trees.dirList.counter(data), 7);
    // A refusal comes before the last check, and a folder is not checked.
    EXPECT_TRUE(window.holds.empty());
    EXPECT_TRUE(window.copyQueries.empty());
}

TEST_F(DeletionTest, CdromIsRefusedWithoutALogLineOncePerFile) {
    window.driveTypes['D'] = DRIVE_CDROM;
    trees.dirList.select(k1);
    deletion.dropOnTrash(TreeId::DirList);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "Impossible d'effacer sur un CDROM !");
    EXPECT_EQ(window.messages[0].caption, "Erreur");
    EXPECT_EQ(window.messages[0].kind, MessageKind::Error);
    EXPECT_TRUE(window.log.empty());
    EXPECT_TRUE(window.operations.empty());
    EXPECT_TRUE(alive(k1));

    trees.dirList.select(trip);
    deletion.deleteDuplicatesOfDirectory();
    // The walk shows its refusals in one box at its end: t3, t2, t1.
    ASSERT_EQ(window.messages.size(), 2u);
    // Each planned file once: t3 and t2 (t1 is the copy the walk keeps).
    EXPECT_EQ(window.messages[1].text, "2 fichiers n'ont pas pu être envoyés dans la Corbeille" NB ":\n"
                                       "D:\\Data\\Trip\\t3" NB ": Impossible d'effacer sur un CDROM !\n"
                                       "D:\\Data\\Trip\\t2" NB ": Impossible d'effacer sur un CDROM !");
    EXPECT_EQ(window.messages[1].caption, "Erreur");
    EXPECT_TRUE(window.log.empty());
    EXPECT_TRUE(window.copyQueries.empty());   // refused before any file is read
    EXPECT_TRUE(alive(t3));
}

TEST_F(DeletionTest, DuplicatesOfADirectoryKeepTheFirstCopy) {
    trees.dirList.select(trip);
    deletion.deleteDuplicatesOfDirectory();
    EXPECT_EQ(window.log, (std::vector<std::string>{"Effacement de D:\\Data\\Trip\\t3",
                                                    "Effacement de D:\\Data\\Trip\\t2"}));
    for (const auto& op : window.operations) EXPECT_EQ(op.fFlags, kNoQuestion | FOF_NOERRORUI);
    EXPECT_TRUE(alive(t1));
    EXPECT_FALSE(linked(t1));
    EXPECT_EQ(image(t1), kImgFile);
    EXPECT_EQ(image(trip), kImgFolder);
    EXPECT_FALSE(trees.dblList.isValid(g3));
    // One wait cursor and one lock for the whole walk, however many deletions ran inside.
    EXPECT_EQ(window.holds, (std::vector<std::string>{"wait on", "lock on", "lock off", "wait off"}));
}

TEST_F(DeletionTest, ADuplicateWithoutAnotherCopyOnDiskStaysAndTheWalkGoesOn) {
    // t3 changed since the search: no other member holds its bytes, and it holds no one's.
    const std::string t3Path = "D:\\Data\\Trip\\t3";
    window.onFindOtherCopy = [&](const std::string& file, const std::vector<std::string>& others) {
        if (file == t3Path) return OtherCopy::NotFound;
        for (const std::string& other : others)
            if (other != t3Path) return OtherCopy::Found;
        return OtherCopy::NotFound;
    };
    trees.dirList.select(trip);
    deletion.deleteDuplicatesOfDirectory();

    // t3 stays; t2 goes (t1 holds its bytes); t1, the copy the walk keeps, is not touched.
    // No question: the check comes right before the move, after the log line.
    EXPECT_EQ(window.log, (std::vector<std::string>{"Effacement de D:\\Data\\Trip\\t3", "Effacement de D:\\Data\\Trip\\t2"}));
    ASSERT_EQ(window.messages.size(), 1u);   // one box at the walk's end, each failure once
    EXPECT_EQ(window.messages[0].text,
              "Un fichier n'a pas pu être envoyé dans la Corbeille" NB ":\n"
              "D:\\Data\\Trip\\t3" NB ": Plus aucune autre copie identique de «" NB "t3" NB "», fichier conservé.");
    EXPECT_EQ(window.messages[0].caption, "Erreur");
    EXPECT_EQ(window.messages[0].kind, MessageKind::Error);
    ASSERT_EQ(window.copyQueries.size(), 2u);
    EXPECT_TRUE(alive(t1) && alive(t3));
    EXPECT_FALSE(alive(t2));
    EXPECT_EQ(trees.dblList.childCount(g3), 2);
    EXPECT_EQ(window.holds, (std::vector<std::string>{"wait on", "lock on", "lock off", "wait off"}));

    // A file no longer on disk is the shell's to report; an unlinked file is not checked.
    window.onFindOtherCopy = [](const std::string&, const std::vector<std::string>&) {
        return OtherCopy::FileGone;
    };
    trees.dirList.select(k1);
    deletion.dropOnTrash(TreeId::DirList);
    EXPECT_EQ(window.operations.back().pFrom, "D:\\Data\\Keep\\k1");
    trees.dirList.select(k2);
    deletion.dropOnTrash(TreeId::DirList);
    EXPECT_EQ(window.operations.back().pFrom, "D:\\Data\\Keep\\k2");
    EXPECT_EQ(window.copyQueries.size(), 3u);
}

// Trees replaced from the check's event turn (a search the act should have held back) hold
// other files under the same node ids: the walk touches none of them, neither the node it
// was deleting nor the next ones.
TEST_F(DeletionTest, AWalkStopsWhenItsTreesAreReplaced) {
    int checks = 0;
    window.onFindOtherCopy = [&](const std::string&, const std::vector<std::string>&) {
        if (++checks == 1) {
            trees.clear();
            build();   // the same shape: every old id names a node again
        }
        return OtherCopy::Found;
    };
    const std::vector<NodeId> before = test::preorder(trees.dirList);
    trees.dirList.select(trip);
    deletion.deleteDuplicatesOfDirectory();
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(window.operations.size(), 1u);   // t3's, in the old trees
    EXPECT_EQ(test::preorder(trees.dirList), before);
    EXPECT_EQ(trees.dblList.childCount(g3), 3);
    EXPECT_TRUE(linked(t3) && linked(t2));
}

TEST_F(DeletionTest, DuplicatesOfADirectoryFromAFileCoverItsSiblingsOnly) {
    // m2 is selected: m1 before it is covered; the copies outside (k1, out) survive.
    trees.dirList.select(m2);
    deletion.deleteDuplicatesOfDirectory();
    EXPECT_FALSE(alive(m1));
    EXPECT_FALSE(alive(m2));
    EXPECT_TRUE(alive(k1));
    EXPECT_TRUE(alive(out));
    EXPECT_FALSE(linked(k1));
    EXPECT_FALSE(linked(out));
    EXPECT_TRUE(alive(t1) && alive(t2) && alive(t3));   // never into other folders
    EXPECT_EQ(window.operations.size(), 2u);

    // On the search root itself: only its direct files (out is unlinked now: nothing).
    trees.dirList.select(data);
    deletion.deleteDuplicatesOfDirectory();
    EXPECT_EQ(window.operations.size(), 2u);
}

TEST_F(DeletionTest, TreeWalkAsksOnceThenGoesAsPlannedAsOneAct) {
    // Backwards through D:\Data: out, Mixed (m2, m1), Trip (t3, t2, t1), Keep (k2, k1).
    window.services.walkAnswer = false;
    trees.dirList.select(data);
    deletion.deleteDuplicatesOfTree();
    EXPECT_EQ(window.services.walkQuestions,
              (std::vector<std::string>{"Envoyer 4 fichiers (" + readableSize(12) + ") de «" NB "Data" NB
                                        "» dans la Corbeille" NB "?\nUne copie de chaque fichier est conservée."}));
    EXPECT_TRUE(window.operations.empty());   // Non: nothing moves, nothing is read
    EXPECT_TRUE(window.copyQueries.empty());
    EXPECT_TRUE(window.log.empty());

    window.services.walkAnswer = true;
    deletion.deleteDuplicatesOfTree();
    EXPECT_EQ(window.log, (std::vector<std::string>{"Effacement de D:\\Data\\out", "Effacement de D:\\Data\\Mixed\\m1",
                                                    "Effacement de D:\\Data\\Trip\\t3",
                                                    "Effacement de D:\\Data\\Trip\\t2"}));
    for (const auto& op : window.operations) EXPECT_EQ(op.fFlags, kNoQuestion | FOF_NOERRORUI);
    // One copy of each group is left: m2 (out went first), k1 (m1 went), t1 (first of Trip).
    for (NodeId kept : {k1, k2, m2, t1}) {
        EXPECT_TRUE(alive(kept));
        EXPECT_FALSE(linked(kept));
    }
    EXPECT_TRUE(trees.dblList.empty());
    EXPECT_EQ(trees.dirList.counter(data), 0);
    EXPECT_EQ(trees.dirList.selected(), data);
    EXPECT_EQ(window.holds, (std::vector<std::string>{"wait on", "lock on", "lock off", "wait off"}));
    EXPECT_TRUE(window.messages.empty());

    // Nothing left to send away: one box says so, and nothing is asked.
    deletion.deleteDuplicatesOfTree();
    EXPECT_EQ(window.services.walkQuestions.size(), 2u);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, kNothingInTree);
    // The folder walk with nothing to send away says nothing, on a folder of files as on
    // one holding only folders.
    trees.dirList.select(trip);
    deletion.deleteDuplicatesOfDirectory();
    trees.dirList.select(data);
    deletion.deleteDuplicatesOfDirectory();
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.operations.size(), 4u);
}

TEST_F(DeletionTest, AWalkSendsExactlyItsPlanAndKeepsThePlannedCopyPastFailures) {
    // t3 cannot go: it stays in its group, t2 goes as planned, and t1, the copy the plan
    // keeps, stays although t3 alone would still hold the bytes.
    window.onFileOperation = [](SHFILEOPSTRUCTA& op) {
        if (op.pFrom != "D:\\Data\\Trip\\t3") return 0;
        op.failure = "Permission non accordée";
        return 5;
    };
    trees.dirList.select(trip);
    deletion.deleteDuplicatesOfTree();
    EXPECT_EQ(window.services.walkQuestions.size(), 1u);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "Un fichier n'a pas pu être envoyé dans la Corbeille" NB ":\n"
                                       "D:\\Data\\Trip\\t3" NB ": Permission non accordée");
    EXPECT_TRUE(alive(t3) && alive(t1));
    EXPECT_FALSE(alive(t2));
    EXPECT_EQ(trees.dblList.childCount(g3), 2);
    ASSERT_EQ(window.operations.size(), 2u);
    EXPECT_EQ(window.operations[1].pFrom, "D:\\Data\\Trip\\t2");

    // Seven failures in one walk: the box counts seven and names five, each once.
    TreeBuilder b(trees);
    const NodeId many = b.folder(data, "Many");
    std::vector<NodeId> files;
    for (char c = 'a'; c <= 'h'; ++c) files.push_back(b.file(many, std::string(1, c)));
    b.group("1", files);
    window.onFileOperation = [](SHFILEOPSTRUCTA& op) {
        op.failure = "refusé";
        return 5;
    };
    trees.dirList.select(many);
    deletion.deleteDuplicatesOfDirectory();
    ASSERT_EQ(window.messages.size(), 2u);
    const std::string& box = window.messages[1].text;
    EXPECT_EQ(box.rfind("7 fichiers n'ont pas pu", 0), 0u) << box;
    EXPECT_EQ(std::count(box.begin(), box.end(), '\n'), 6) << box;
    EXPECT_NE(box.find("D:\\Data\\Many\\h" NB ": refusé\nD:\\Data\\Many\\g"), std::string::npos) << box;
    EXPECT_NE(box.find("\net 2 autres."), std::string::npos) << box;
    EXPECT_TRUE(alive(files[0]));
}

// A walk's check tries first the copy its plan keeps, then the other members in the group's
// order: in a group of thousands the first try is the one that stays.
TEST_F(DeletionTest, AWalksCheckTriesTheCopyItKeepsFirst) {
    TreeBuilder b(trees);
    const NodeId x = b.file(keep, "x");
    const NodeId y = b.file(keep, "y");
    b.group("9", {x, y, b.file(trip, "z")});
    trees.dirList.select(keep);
    deletion.deleteDuplicatesOfDirectory();   // backwards: y, x, then k1
    ASSERT_EQ(window.copyQueries.size(), 3u);
    EXPECT_EQ(window.copyQueries[0].file, "D:\\Data\\Keep\\y");
    EXPECT_EQ(window.copyQueries[0].others, (std::vector<std::string>{"D:\\Data\\Trip\\z", "D:\\Data\\Keep\\x"}));
    EXPECT_EQ(window.copyQueries[1].others, (std::vector<std::string>{"D:\\Data\\Trip\\z"}));
    EXPECT_FALSE(alive(x) || alive(y));
}

TEST_F(DeletionTest, NothingOfAReferenceFolderGoesByAnyWay) {
    ReferenceMarks marks;
    marks.mark("D:\\Data", true);
    Deletion guarded(trees, window, window.services, marks);
    const std::string refused = "«" NB "k1" NB "» fait partie d'un répertoire de référence, conservé.";

    trees.dirList.select(k1);
    guarded.dropOnTrash(TreeId::DirList);
    window.focus = TreeId::DirList;
    guarded.trashClick();
    window.focus = TreeId::DblList;
    trees.dblList.select(trees.dirList.link(t1));
    guarded.trashClick();
    trees.dirList.select(trip);   // a folder holding reference files
    guarded.dropOnTrash(TreeId::DirList);
    guarded.deleteDuplicatesOfDirectory();
    guarded.deleteDuplicatesOfTree();
    trees.dirList.select(data);
    guarded.deleteDuplicatesOfTree();

    EXPECT_TRUE(window.operations.empty());
    EXPECT_TRUE(window.log.empty());
    EXPECT_TRUE(window.services.walkQuestions.empty());
    std::vector<std::string> texts;
    for (const auto& m : window.messages) texts.push_back(m.text);
    EXPECT_EQ(texts, (std::vector<std::string>{refused, refused, referenceRefusal("t1"), referenceRefusal("Trip"),
                                               kReferenceWalk, kReferenceWalk, kReferenceWalk}));
    EXPECT_EQ(window.messages[0].caption, "Erreur");
    EXPECT_EQ(trees.dblList.childCount(kNoNode), 3);
}

TEST(TreeWalkQuestion, NamesTheFolderAndWhatStays) {
    EXPECT_EQ(treeWalkQuestion(1, 1, "Backups", false), "Envoyer 1 fichier (" + readableSize(1) + ") de «" NB
                                                        "Backups" NB "» dans la Corbeille" NB "?\n"
                                                        "Une copie de chaque fichier est conservée.");
    EXPECT_EQ(treeWalkQuestion(2794, 480247808ull, "D:", true),
              "Envoyer " + groupedCount(2794) + " fichiers (" + readableSize(480247808ull) + ") de «" NB "D:" NB
              "» dans la Corbeille" NB "?\nUne copie de chaque fichier est conservée.\nLes fichiers vides sont conservés.");
}

TEST_F(DeletionTest, NothingIsDeletedWhileASearchRuns) {
    window.active = true;
    window.focus = TreeId::DirList;
    trees.dirList.select(t1);
    deletion.trashClick();
    deletion.dropOnTrash(TreeId::DirList);
    trees.dirList.select(trip);
    deletion.deleteDuplicatesOfDirectory();
    deletion.deleteDuplicatesOfTree();
    EXPECT_FALSE(deletion.deleteNode(TreeId::DirList, t1, false));
    EXPECT_TRUE(window.operations.empty());
    EXPECT_TRUE(window.log.empty());
    EXPECT_TRUE(alive(t1));
}

TEST_F(DeletionTest, APathLongerThan255IsNeverHandedOverCut) {
    // Cut to 255 characters this path would name the folder "D:\Data\<long>" itself.
    TreeBuilder b(trees);
    const std::string name(255 - 8, 'n');
    const NodeId longFolder = b.folder(data, name);
    const NodeId inner = b.file(longFolder, "file-with-a-longer-name");
    ASSERT_EQ(trees.nodePath(inner), trees.nodePath(longFolder));
    trees.dirList.select(inner);
    deletion.dropOnTrash(TreeId::DirList);
    EXPECT_TRUE(window.operations.empty());
    EXPECT_TRUE(window.log.empty());
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].caption, "Erreur");
    EXPECT_TRUE(alive(inner));

    // The folder itself fits and goes.
    trees.dirList.select(longFolder);
    deletion.dropOnTrash(TreeId::DirList);
    ASSERT_EQ(window.operations.size(), 1u);
    EXPECT_EQ(window.operations[0].pFrom, "D:\\Data\\" + name);
}

}  // namespace
