// Deletions through the real recycle-bin shell, into a private trash.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/Drives.h"
#include "platform/SearchedFile.h"
#include "platform/Shell.h"
#include "results/Deletion.h"
#include "support/FakeResultsSession.h"
#include "support/TestSupport.h"

using namespace parelix;
namespace fs = std::filesystem;

namespace {

test::PrivateTrash trash;   // before GLib first reads XDG_DATA_HOME

// The window stand-in, with the platform's own check for another copy behind it; turn is
// the check's event turn.
class RealShellWindow : public test::FakeResultsSession {
public:
    const PlatformServices* platform = nullptr;
    std::function<bool()> turn;
    OtherCopy findOtherCopy(const std::string& file, const CopyCandidates& candidates) override {
        return findOtherCopyOnDisk(*platform, file, candidates, turn);
    }
};

//  <temp>            search root
//    --> folder:     inner.txt (== outside.txt)
//    --> keep:       one.txt, two.txt (equal)
//    outside.txt
class TrashDeletionTest : public test::BrowsedTreesTest<RealShellWindow> {
protected:
    void SetUp() override {
        window.platform = &shell;
        dir.write("folder/inner.txt", "same");
        dir.write("keep/one.txt", "twin");
        dir.write("keep/two.txt", "twin");
        dir.write("outside.txt", "same");
        test::TreeBuilder b(trees);
        root = b.root(*shell.drives().toWindows(dir.path()));
        folder = b.folder(root, "folder");
        inner = b.file(folder, "inner.txt");
        keep = b.folder(root, "keep");
        one = b.file(keep, "one.txt");
        two = b.file(keep, "two.txt");
        outside = b.file(root, "outside.txt");
        b.group("4", {inner, outside});
        b.group("4", {one, two});
    }

    bool onDisk(const std::string& relative) const { return fs::exists(dir.path() + "/" + relative); }
    // The Windows-style path of a file under the search root.
    std::string inRoot(const std::string& relative) const { return trees.dirList.text(root) + "\\" + relative; }
    static std::string refusal(const std::string& name) {
        return "Plus aucune autre copie identique de «\u00A0" + name + "\u00A0», fichier conservé.";
    }

    // The boxes the deletion showed (refusals, a walk's report), and the shell's own.
    std::vector<std::string> deletionBoxes() const { return boxes(false); }
    std::vector<std::string> shellErrors() const { return boxes(true); }
    std::vector<std::string> boxes(bool shells) const {
        std::vector<std::string> texts;
        for (const test::Shown& box : shell.shown)
            if ((box.text.rfind("Impossible d'envoyer", 0) == 0) == shells) texts.push_back(box.text);
        return texts;
    }

    test::TempDir dir;
    // The platform's own shell over a drive table of "/" alone, the question and the boxes
    // recorded.
    test::RecordingServices shell{DriveTable::fromMounts({{"/", "ext4", "/dev/root", 8, 1}})};
    Deletion deletion{trees, window, shell};
    NodeId root, folder, inner, keep, one, two, outside;
};

TEST_F(TrashDeletionTest, DroppedFileAndFolderLandInTheTrashAndTheTreesFollow) {
    ASSERT_EQ(GetDriveTypeA(shell.drives(), trees.dirList.text(root).substr(0, 2) + "\\"), unsigned(DRIVE_FIXED));

    trees.dirList.select(two);
    deletion.dropOnTrash(TreeId::DirList);
    EXPECT_TRUE(shell.questions.empty());   // a fixed drive and a drop: no question
    EXPECT_FALSE(onDisk("keep/two.txt"));
    EXPECT_TRUE(trash.holds("two.txt"));
    EXPECT_FALSE(trees.dirList.isValid(two));
    EXPECT_EQ(trees.dirList.link(one), kNoNode);
    EXPECT_EQ(trees.dblList.childCount(kNoNode), 1);

    trees.dirList.select(folder);
    deletion.dropOnTrash(TreeId::DirList);
    EXPECT_FALSE(onDisk("folder"));
    EXPECT_TRUE(trash.holds("folder"));
    EXPECT_TRUE(fs::exists(trash.base() + "/data/Trash/files/folder/inner.txt"));
    EXPECT_FALSE(trees.dirList.isValid(folder));
    EXPECT_TRUE(trees.dblList.empty());
    EXPECT_EQ(trees.dirList.link(outside), kNoNode);
    EXPECT_EQ(trees.dirList.counter(root), 0);
    EXPECT_TRUE(onDisk("outside.txt") && onDisk("keep/one.txt"));
    EXPECT_TRUE(shellErrors().empty());
    EXPECT_EQ(window.log.size(), 2u);
}

TEST_F(TrashDeletionTest, RefusedOrFailedDeletionChangesNothing) {
    // The search root is asked for even on a drop; the answer is no.
    shell.answer = false;
    trees.dirList.select(root);
    deletion.dropOnTrash(TreeId::DirList);
    ASSERT_EQ(shell.questions.size(), 1u);
    EXPECT_TRUE(fs::exists(dir.path()));
    EXPECT_TRUE(onDisk("keep/one.txt") && onDisk("folder/inner.txt"));
    EXPECT_TRUE(trees.dirList.isValid(root));
    EXPECT_EQ(trees.dblList.childCount(kNoNode), 2);
    EXPECT_EQ(window.log.size(), 1u);

    // A file removed behind the program's back: the shell reports it, the trees stay.
    fs::remove(dir.path() + "/keep/two.txt");
    window.focus = TreeId::DblList;
    trees.dblList.select(trees.dirList.link(two));
    shell.answer = true;
    deletion.trashClick();
    EXPECT_EQ(shellErrors().size(), 1u);
    EXPECT_TRUE(trees.dirList.isValid(two));
    EXPECT_EQ(trees.dblList.childCount(kNoNode), 2);
    EXPECT_TRUE(onDisk("keep/one.txt"));
    EXPECT_FALSE(trash.holds("one.txt"));
}

TEST_F(TrashDeletionTest, DuplicatesOfADirectoryLeaveOneCopyOnDisk) {
    trees.dirList.select(keep);
    deletion.deleteDuplicatesOfDirectory();
    EXPECT_TRUE(onDisk("keep/one.txt"));
    EXPECT_FALSE(onDisk("keep/two.txt"));
    EXPECT_TRUE(trees.dirList.isValid(one));
    EXPECT_EQ(trees.dirList.link(one), kNoNode);
    EXPECT_TRUE(shell.questions.empty());
}

// A copy edited between the search and the command is not a copy any more.
TEST_F(TrashDeletionTest, DuplicatesOfADirectoryKeepAFileChangedSinceTheSearch) {
    //   --> b: a1 (== c1), a2 (== c2); c1 and c2 beside b
    dir.write("b/a1", "one");
    dir.write("b/a2", "two");
    dir.write("c1", "one");
    dir.write("c2", "two");
    test::TreeBuilder builder(trees);
    const NodeId b = builder.folder(root, "b");
    const NodeId a1 = builder.file(b, "a1");
    const NodeId a2 = builder.file(b, "a2");
    builder.group("3", {a1, builder.file(root, "c1")});
    builder.group("3", {a2, builder.file(root, "c2")});
    dir.write("b/a1", "ONE");   // same size, other bytes

    trees.dirList.select(b);
    deletion.deleteDuplicatesOfDirectory();
    EXPECT_TRUE(onDisk("b/a1"));
    EXPECT_FALSE(onDisk("b/a2"));
    EXPECT_TRUE(trash.holds("a2"));
    EXPECT_FALSE(trash.holds("a1"));
    ASSERT_EQ(deletionBoxes().size(), 1u);
    EXPECT_EQ(deletionBoxes()[0], "Un fichier n'a pas pu être envoyé dans la Corbeille\u00A0:\n" + inRoot("b\\a1") +
                                           "\u00A0: " + refusal("a1"));
    EXPECT_EQ(window.log, (std::vector<std::string>{"Effacement de " + inRoot("b\\a2"), "Effacement de " + inRoot("b\\a1")}));
    EXPECT_TRUE(trees.dirList.isValid(a1));
    EXPECT_FALSE(trees.dirList.isValid(a2));
    EXPECT_TRUE(shell.questions.empty() && shellErrors().empty());
}

TEST_F(TrashDeletionTest, AFileWhoseOtherCopyIsGoneOrIsItselfStays) {
    // The other copy removed behind the program's back: the drop keeps the file. Without a
    // question the check comes right before the move, after the log line.
    fs::remove(dir.path() + "/keep/one.txt");
    trees.dirList.select(two);
    deletion.dropOnTrash(TreeId::DirList);
    EXPECT_TRUE(onDisk("keep/two.txt"));
    ASSERT_EQ(deletionBoxes().size(), 1u);
    EXPECT_EQ(deletionBoxes()[0], refusal("two.txt"));
    EXPECT_EQ(window.log.size(), 1u);
    EXPECT_TRUE(shell.questions.empty() && shellErrors().empty());
    EXPECT_TRUE(trees.dirList.isValid(two));
    EXPECT_EQ(trees.dblList.childCount(kNoNode), 2);

    // Back as a hard link of the file itself: one file under two names. The click on its
    // member is refused before the shell would ask.
    fs::create_hard_link(dir.path() + "/keep/two.txt", dir.path() + "/keep/one.txt");
    window.focus = TreeId::DblList;
    trees.dblList.select(trees.dirList.link(two));
    deletion.trashClick();
    EXPECT_TRUE(shell.questions.empty());
    EXPECT_EQ(deletionBoxes().size(), 2u);
    EXPECT_TRUE(onDisk("keep/two.txt"));

    // A real copy again: the click asks, and the file goes.
    fs::remove(dir.path() + "/keep/one.txt");
    dir.write("keep/one.txt", "twin");
    deletion.trashClick();
    EXPECT_EQ(shell.questions.size(), 1u);
    EXPECT_FALSE(onDisk("keep/two.txt"));
    EXPECT_TRUE(trash.holds("two.txt"));
    EXPECT_EQ(deletionBoxes().size(), 2u);
}

TEST_F(TrashDeletionTest, AnotherCopyIsAnotherRegularFileWithTheSameBytes) {
    dir.write("x/file", "abcd");
    dir.write("x/same", "abcd");
    dir.write("x/flipped", "abcD");
    dir.write("x/longer", "abcde");
    dir.mkdir("x/folder");
    fs::create_hard_link(dir.path() + "/x/file", dir.path() + "/x/link");
    fs::create_symlink(dir.path() + "/x/file", dir.path() + "/x/symlink");
    auto check = [this](const std::string& file, std::vector<std::string> others) {
        for (std::string& other : others) other = inRoot("x\\" + other);
        return findOtherCopyOnDisk(shell, inRoot("x\\" + file), others);
    };
    EXPECT_EQ(check("file", {"same"}), OtherCopy::Found);
    const std::vector<std::string> none{"flipped", "longer", "link", "symlink", "folder", "missing"};
    EXPECT_EQ(check("file", none), OtherCopy::NotFound);
    std::vector<std::string> last = none;
    last.push_back("same");
    EXPECT_EQ(check("file", last), OtherCopy::Found);   // any member will do
    EXPECT_EQ(check("file", {}), OtherCopy::NotFound);
    // The file itself: gone is the shell's to report; a folder now at its path is kept.
    EXPECT_EQ(check("missing", {"same"}), OtherCopy::FileGone);
    EXPECT_EQ(check("folder", {"same"}), OtherCopy::NotFound);
}

// The question waits, and meanwhile the other copy goes (another window, a shell): the
// answer Oui must not send the last copy away.
TEST_F(TrashDeletionTest, TheCheckRunsAgainAfterTheAnswer) {
    shell.onQuestion = [&](const std::string&) {
        fs::remove(dir.path() + "/keep/one.txt");
        return true;
    };
    window.focus = TreeId::DblList;
    trees.dblList.select(trees.dirList.link(two));
    deletion.trashClick();
    ASSERT_EQ(shell.questions.size(), 1u);   // asked: the other copy was there then
    EXPECT_TRUE(onDisk("keep/two.txt"));
    ASSERT_EQ(deletionBoxes().size(), 1u);
    EXPECT_EQ(deletionBoxes()[0], refusal("two.txt"));
    EXPECT_TRUE(trees.dirList.isValid(two));

    // Changed instead of removed, same size: kept as well.
    dir.write("keep/one.txt", "twin");
    shell.onQuestion = [&](const std::string&) {
        dir.write("keep/one.txt", "TWIN");
        return true;
    };
    deletion.trashClick();
    EXPECT_TRUE(onDisk("keep/two.txt"));
    EXPECT_EQ(deletionBoxes().size(), 2u);
}

// The other copy is held open through the check: written between its first and its last
// chunk (bytes already compared), it no longer counts, though every chunk read matched.
TEST_F(TrashDeletionTest, ACopyChangedDuringTheCheckDoesNotCount) {
    const std::string bytes(3 * kContentChunkSize + 100, 'q');
    dir.write("big/a", bytes);
    const std::string other = dir.write("big/b", bytes);
    const std::string a = inRoot("big\\a"), b = inRoot("big\\b");
    int turns = 0;
    const auto changeAfterFirstChunk = [&] {
        if (++turns == 2) {
            std::fstream f(other, std::ios::in | std::ios::out | std::ios::binary);
            f.write("Q", 1);   // byte 0, compared already
        }
        return true;
    };
    EXPECT_EQ(findOtherCopyOnDisk(shell, a, {b}, changeAfterFirstChunk), OtherCopy::NotFound);
    EXPECT_GE(turns, 4);
    // Unchanged, the same two files are copies; a turn that answers false ends the check.
    dir.write("big/b", bytes);
    EXPECT_EQ(findOtherCopyOnDisk(shell, a, {b}, [] { return true; }), OtherCopy::Found);
    EXPECT_EQ(findOtherCopyOnDisk(shell, a, {b}, [] { return false; }), OtherCopy::Interrupted);
}

// The file to delete is held through the check as well. Rewritten from one of the check's
// event turns (same size, bytes already compared), or another file put at its path (its
// folder swapped for another, the held file untouched), it stays: the other copy holds only
// the old bytes.
TEST_F(TrashDeletionTest, AFileChangedDuringItsCheckStays) {
    const std::string bytes(3 * kContentChunkSize + 100, 'q');
    const std::string a = dir.write("big/a", bytes);
    dir.write("twin/b", bytes);
    test::TreeBuilder b(trees);
    const NodeId fa = b.file(b.folder(root, "big"), "a");
    b.group(std::to_string(bytes.size()), {fa, b.file(b.folder(root, "twin"), "b")});
    const auto deleteDuringChange = [&](const std::function<void()>& change) {
        int turns = 0;
        window.turn = [&] {
            if (++turns == 2) change();
            return true;
        };
        trees.dirList.select(fa);
        deletion.dropOnTrash(TreeId::DirList);
        window.turn = nullptr;
        EXPECT_GE(turns, 4);
    };

    deleteDuringChange([&] {
        std::fstream f(a, std::ios::in | std::ios::out | std::ios::binary);
        f.write("Q", 1);
    });
    EXPECT_TRUE(onDisk("big/a"));
    EXPECT_FALSE(trash.holds("a"));
    EXPECT_EQ(deletionBoxes(), std::vector<std::string>{refusal("a")});

    dir.write("big/a", bytes);
    deleteDuringChange([&] {
        fs::rename(dir.path() + "/big", dir.path() + "/big.old");
        std::string other = bytes;
        other[0] = 'Q';
        dir.write("big/a", other);
    });
    EXPECT_TRUE(onDisk("big/a"));
    EXPECT_FALSE(trash.holds("a"));
    EXPECT_EQ(deletionBoxes().size(), 2u);
    EXPECT_TRUE(trees.dirList.isValid(fa));

    // Left alone, it goes.
    fs::remove_all(dir.path() + "/big");
    fs::rename(dir.path() + "/big.old", dir.path() + "/big");
    trees.dirList.select(fa);
    deletion.dropOnTrash(TreeId::DirList);
    EXPECT_TRUE(trash.holds("a"));
}

// The trees may pair a file with a copy in a trash (a stale search, a search of the home
// folder): that copy goes when the trash is emptied, so it never lets the file go. A trash
// is the home one, or .Trash-$uid and .Trash/$uid at a mounted file system's top.
TEST_F(TrashDeletionTest, ACopyInATrashFolderIsNoCopy) {
    dir.write("photo.jpg", "pixels");
    test::TreeBuilder b(trees);
    const NodeId photo = b.file(root, "photo.jpg");
    const std::string trashed = trash.files() + "/photo.jpg";
    fs::create_directories(trash.files());
    std::ofstream(trashed) << "pixels";
    ASSERT_TRUE(fs::exists(trashed));
    const NodeId inTrash = b.file(b.root(*shell.drives().toWindows(trash.files())), "photo.jpg");
    b.group("6", {photo, inTrash});
    trees.dirList.select(photo);
    deletion.dropOnTrash(TreeId::DirList);
    EXPECT_TRUE(onDisk("photo.jpg"));
    EXPECT_EQ(deletionBoxes(), std::vector<std::string>{refusal("photo.jpg")});
    EXPECT_TRUE(trees.dirList.isValid(photo));

    const std::string uid = std::to_string(::getuid());
    const std::string usb = dir.mkdir("usb");
    test::ScopedMount mount = test::ScopedMount::tmpfs(usb, "1m");
    if (!mount.ok()) GTEST_SKIP() << mount.why();
    dir.write("usb/.Trash-" + uid + "/files/photo.jpg", "pixels");
    dir.write("usb/.Trash/" + uid + "/files/photo.jpg", "pixels");
    dir.write("usb/backup/.Trash-" + uid + "/photo.jpg", "pixels");
    const std::vector<std::string> trashes{inRoot("usb\\.Trash-" + uid + "\\files\\photo.jpg"),
                                           inRoot("usb\\.Trash\\" + uid + "\\files\\photo.jpg")};
    EXPECT_EQ(findOtherCopyOnDisk(shell, inRoot("photo.jpg"), trashes), OtherCopy::NotFound);
    // A folder of that name below the top is an ordinary folder.
    EXPECT_EQ(findOtherCopyOnDisk(shell, inRoot("photo.jpg"), {inRoot("usb\\backup\\.Trash-" + uid + "\\photo.jpg")}),
              OtherCopy::Found);
}

// A file system that hands out at most 1,000 bytes per read (network, FUSE): the check still
// reads both files to their ends, so a difference in the last byte is seen.
ssize_t readAtMost1000(int fd, void* buffer, std::size_t count) { return ::read(fd, buffer, std::min<std::size_t>(count, 1000)); }

TEST_F(TrashDeletionTest, TheCheckReadsToTheEndThroughShortReads) {
    std::string bytes(200 * 1000, 'r');
    dir.write("short/a", bytes);
    bytes.back() = 's';
    dir.write("short/b", bytes);
    shell.readCall = readAtMost1000;
    EXPECT_EQ(findOtherCopyOnDisk(shell, inRoot("short\\a"), {inRoot("short\\b")}), OtherCopy::NotFound);
    dir.write("short/c", std::string(200 * 1000, 'r'));
    EXPECT_EQ(findOtherCopyOnDisk(shell, inRoot("short\\a"), {inRoot("short\\b"), inRoot("short\\c")}),
              OtherCopy::Found);
    shell.readCall = &::read;
}

// Trees that reach a reference folder through a bind mount the marks never located (no
// search found it): right before each move the disk's identities refuse its files, the
// folder showing it, and a walk over it.
TEST_F(TrashDeletionTest, TheDiskRefusesAReferenceFolderReachedUnderAnotherPath) {
    test::TempDir ref;
    ref.write("r.txt", "refc");
    dir.write("plain.txt", "refc");
    dir.mkdir("alias");
    test::ScopedMount mount = test::ScopedMount::bind(ref.path(), dir.path() + "/alias");
    if (!mount.ok()) GTEST_SKIP() << mount.why();
    ReferenceMarks marks;
    marks.mark(*shell.drives().toWindows(ref.path()), true);
    Deletion guarded(trees, window, shell, marks);
    test::TreeBuilder b(trees);
    const NodeId alias = b.folder(root, "alias");
    const NodeId r = b.file(alias, "r.txt");
    const NodeId plain = b.file(root, "plain.txt");
    b.group("4", {r, plain});
    ASSERT_FALSE(marks.holds(trees, r));   // the trees alone do not know

    trees.dirList.select(r);
    guarded.dropOnTrash(TreeId::DirList);
    trees.dirList.select(alias);
    guarded.dropOnTrash(TreeId::DirList);
    guarded.deleteDuplicatesOfDirectory();
    EXPECT_TRUE(fs::exists(ref.path() + "/r.txt"));
    EXPECT_TRUE(trees.dirList.isValid(r));
    const std::vector<std::string> boxes = deletionBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0], referenceRefusal("r.txt"));
    EXPECT_EQ(boxes[1], referenceRefusal("alias"));
    EXPECT_NE(boxes[2].find(referenceRefusal("r.txt")), std::string::npos) << boxes[2];
    EXPECT_TRUE(window.log.empty());

    // The plain copy still goes: only the reference is held back.
    trees.dirList.select(plain);
    guarded.dropOnTrash(TreeId::DirList);
    EXPECT_FALSE(onDisk("plain.txt"));
    EXPECT_TRUE(fs::exists(ref.path() + "/r.txt"));
}

}  // namespace
